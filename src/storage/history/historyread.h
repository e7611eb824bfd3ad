#ifndef HISTORYREAD_H
#define HISTORYREAD_H

#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <vector>

class QSqlError;

// Reading the history of changes for its window: pages newest first, the
// filters and the names of the users.
namespace History {

// What to show; an empty text or an invalid date does not narrow.
struct Filter
{
    QString LN;     // one serviceman
    QDate from;     // the period, both days included
    QDate to;
    QString who;    // one user
    QString action; // one of History::Action's codes
    QString what;   // one category's code
    // Found in the name, the personal number, the order's number or the old
    // or new value, without regard to case (Cyrillic too).
    QString search;
};

struct Record
{
    qint64 id = 0;
    QString at;
    QString who;
    QString workstation;
    QString action;
    QString LN;
    QString FIO;
    QString what;
    QString prikaznom;
    QString field;
    QString oldValue;
    QString newValue;
};

struct Page
{
    std::vector<Record> entries;
    // Where the next page starts (the entries older than this id); 0 when
    // there are no more.
    qint64 next = 0;
};

// How many entries a page holds.
inline constexpr int PAGE_SIZE = 500;

// The names of the reference lists in the order their numbers count: a
// serviceman's rank and position numbers are places in them, from 1.
struct References
{
    QStringList ranks;
    QStringList positions;
};

// True when the database has the table (a register of an earlier version,
// or a server made without it, has none).
bool exists(const QSqlDatabase &db);

// Up to `size` entries matching the filter that are older than the id
// `olderThan` (0: from the newest). SQLite's own comparison without regard
// to case knows only Latin letters: on a file the search is a function of
// the program's that SQLite calls; on a server the rows the other filters
// leave are read a batch at a time and matched here until the page is full.
// False with `error` when the database refused.
bool readPage(const QSqlDatabase &db, const Filter &filter, qint64 olderThan, int size, Page *page,
              QSqlError *error);
// Every entry matching the filter, newest first (for the export).
bool readAll(const QSqlDatabase &db, const Filter &filter, std::vector<Record> *entries, QSqlError *error);
// The users who made changes, in order.
bool readUsers(const QSqlDatabase &db, QStringList *users, QSqlError *error);
// The ranks and positions of the reference lists, to name the numbers the
// entries hold.
bool readReferences(const QSqlDatabase &db, References *lists, QSqlError *error);

} // namespace History

#endif // HISTORYREAD_H
