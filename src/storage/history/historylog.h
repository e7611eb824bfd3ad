#ifndef HISTORYLOG_H
#define HISTORYLOG_H

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <functional>

class QSqlError;
class QSqlRecord;

// Writing the history of changes. On an SQLite file the program writes each
// change's entries itself, in the transaction of the change; on a server the
// database's triggers write them (see Sql::CREATE_HISTORY_FUNCTION) and the
// program adds only the events no trigger sees: a restore, a move onto the
// server, an import.
namespace History {

// One entry; when, who and the workstation are filled in on writing. The
// serviceman's name is read from Combat by `ln` in the same statement.
struct Entry
{
    QString action;
    QString ln;
    QString what;
    QString number;
    QString field;
    QString oldValue;
    QString newValue;
};

// Appends to `entries` the entry of one field a change alters, `base` with
// the field and its values; nothing when the value stays.
void changed(QList<Entry> &entries, const Entry &base, const char *field, const QString &was, const QString &now);

// The computer's user and name, as the file's entries give them.
QString who();
QString workstation();

// Makes the history where the register lacks it, on opening. A register it
// cannot be made in (a read-only file, a server role without the right)
// works on without history: that is said once in the log, and the program's
// own writes skip their entries on it.
bool prepare(const QSqlDatabase &db);

// Makes the server's part of the history: the table, its trigger on each of
// the register's tables, the event function and the privileges. Run by the
// owner where the tables are made; false with `error` when refused.
bool installOnServer(const QSqlDatabase &db, QSqlError *error);

// Writes the entries of a change the program makes, on its own connection
// inside the change's transaction. Nothing on a server (its triggers write
// them) except events, nothing where the history could not be made. False
// with `error` when the database refused, so the change is rolled back.
bool record(const QList<Entry> &entries, QSqlError *error);
bool record(const Entry &entry, QSqlError *error);

// The entries of the rows an import added on a file, written from the rows
// themselves by `statement` (bound: when, who, the workstation and the first
// added row's identity `firstRow`), in the import's transaction. Nothing on
// a server (its triggers write them) or where the history could not be made.
bool recordAdded(const char *statement, qint64 firstRow, QSqlError *error);

// The same on the connection `db` (a restore writes on its own).
bool recordOn(const QSqlDatabase &db, const QList<Entry> &entries, QSqlError *error);

// A change of a row of the reference list `table` made by `write` (the
// editor's own statement): the row of the stored identity `id` (null for a
// new row) becomes `after` (only its generated fields count), or goes when
// `deleting`. On a file the entries are written beside it in one
// transaction, the old values read in it first; on a server `write` runs
// alone. False when `write` failed, or with `error` when the entries were
// refused (then the change is undone too).
bool referenceChange(const QString &table, const QVariant &id, const QSqlRecord &after, bool deleting,
                     const std::function<bool()> &write, QSqlError *error);

// Whether the program writes the entries of its file changes; on by default.
// The benchmark turns it off to time a write without its entry.
void setWriting(bool on);

} // namespace History

#endif // HISTORYLOG_H
