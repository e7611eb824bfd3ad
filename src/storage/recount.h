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

} // namespace Recount

#endif // RECOUNT_H
