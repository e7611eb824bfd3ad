#ifndef RECOUNT_H
#define RECOUNT_H

#include <QSqlError>
#include <QString>

// The counts of the summary table are kept in Combat, one column per
// category; the recount writes one of them anew from the orders.
namespace Recount {

enum class Result {
    Done,
    // The code is not one of the six categories: nothing was done.
    NotACategory,
    // The orders could not be counted: nothing was written (a count that
    // could not be read is never written as 0).
    NotCounted,
    // Counted, but the count could not be written.
    NotWritten,
};

// Counts the serviceman's orders of the category (penalties only while in
// force) and writes the count into his row of Combat.
Result category(const QString &ln, const QString &code, QSqlError *error);

// Puts right, in one statement, every count of the register that differs
// from the orders as category() counts them: the counts a program left wrong
// when it ended (a crash, a lost connection) with an orders window open. An
// empty count of a serviceman without orders of its category stays empty.
// `corrected` is the number of servicemen whose row was written. False, with
// `error`, when the statement failed; nothing was then written.
bool wholeRegister(int *corrected, QSqlError *error);

// The same at the start of the program, when the last run left counts
// unsettled (see pending()): how many were put right (nothing when none) goes
// to the log. A register whose counts were never
// left unsettled by this program is shown as its counts are stored. Gives,
// for the user, why the counts could not be checked (empty when they were).
QString atStart();

// The orders window is about to change the orders of (ln, code): their count
// is unsettled until the recount at the window's closing. While any count is
// unsettled a marker file lies beside the database, so that a run that ends
// before the recount (a crash, a killed program, a lost connection) leaves
// the next start a sign to put the counts right.
void pending(const QString &ln, const QString &code);
// The recount of (ln, code) is written: it counted every order of theirs
// written so far, by any window. The marker goes with the last unsettled
// pair; a later change calls pending() again.
void settled(const QString &ln, const QString &code);

} // namespace Recount

#endif // RECOUNT_H
