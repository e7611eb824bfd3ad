#ifndef SERVICEMEN_H
#define SERVICEMEN_H

#include <QSqlError>
#include <QString>
#include <QStringList>

#include <array>

// One serviceman's own row in Combat: reading it, adding, changing and
// deleting it, and the orders his personal number holds without him.
namespace Servicemen {

// The six texts a serviceman is shown with, in the order of the list: unit
// number, position, rank, full name, birth date, personal number.
using Fields = std::array<QString, 6>;
enum Field { VP, DOL, VZ, FIO, BIRTH, LN };

// What the serviceman form writes: the six texts and the numbers of the
// position and rank (their places in the reference lists).
struct Entry
{
    Fields fields;
    int position = 0;
    int rank = 0;
};

// The longest text each field sensibly holds (in characters). A longer one
// is refused by the form and the import, never stored: a name of millions of
// characters would slow every later start of the program.
int maxLength(Field field);
// The first of the texts longer than its field holds, or -1.
int tooLong(const Fields &fields);
// The field's name as the form and the import's remarks call it.
QString fieldName(Field field);

// How a save ended.
enum class Outcome {
    Saved,
    // Nobody holds the personal number the change was for (deleted, or
    // given another number, meanwhile).
    Gone,
    // The row is no longer as it was loaded: another user changed it.
    Changed,
    // The database refused; the error says why.
    Failed
};

// The serviceman under `ln` as the list shows him; false when there is none
// or he could not be read.
bool read(const QString &ln, Fields *fields);

// The stored position and rank numbers of the serviceman under `ln`; false
// (and both left as they are) when there is none.
bool storedNumbers(const QString &ln, int *position, int *rank);

// The orders under a personal number that no serviceman holds (left by one
// who was deleted), or -1 with `error` set.
int orphanOrders(const QString &ln, QSqlError *error);

// The reference lists the form offers a position and a rank from.
enum class Reference { Positions, Ranks };
// The names of a reference list by ascending weight: a name's place in it,
// counted from 1, is the number a save writes beside the name. A list that
// could not be read is empty (the failure is in the log).
QStringList referenceNames(Reference list);

// Adds the serviceman (Saved or Failed). The statement goes to the debug
// output first.
Outcome add(const Entry &entry, QSqlError *error);

// Changes the serviceman under `lnOld` in one transaction, only while he is
// there and his row is as loaded; a new personal number goes along into his
// orders and attached files in the same transaction, so either all of them
// change or none does (on a server all of it is one statement). On a server a
// clash with another clerk's change is run once more. The new rank number
// and then the statement go to the debug output first.
Outcome change(const QString &lnOld, const Fields &loaded, const Entry &entry, QSqlError *error);

// The windows a serviceman is deleted from; each has its own statement.
enum class From {
    // The main window's summary table (Sql::DELETE_COMBAT_MAIN).
    Summary,
    // The servicemen list window (Sql::DELETE_COMBAT_LIST).
    List
};
// Deletes the serviceman under `ln` with the statement of the window `from`.
// Only the Combat row goes: his orders and attached files stay under the
// number. False with `error` set when refused.
bool remove(const QString &ln, From from, QSqlError *error);

} // namespace Servicemen

#endif // SERVICEMEN_H
