#ifndef GROUPORDERS_H
#define GROUPORDERS_H

#include "storage/orders.h"

#include <QSet>
#include <QSqlError>
#include <QString>
#include <QStringList>

#include <vector>

// One order written for several servicemen at once: a unit's thanks to a
// platoon, a penalty to the men of one incident. It is stored as the orders
// window stores an order, one row per serviceman, all of them in one
// transaction: either every man named gets his row or none does.
namespace GroupOrders {

// A serviceman as the choice of the group shows him.
struct Man
{
    QString unit;
    QString rank;
    QString name;
    QString ln;
};

// Everyone in the register, in the summary's order; no one (with `error`)
// when it could not be read.
std::vector<Man> servicemen(QSqlError *error);

// Which of `lns` already hold an order of the category `code` and `number`.
// False (with `error`) when that could not be read.
bool holders(const QString &code, const QString &number, const QStringList &lns, QSet<QString> *held,
             QSqlError *error);

enum class Outcome {
    Done,
    // A statement or the commit failed: `error` says why.
    Failed,
    // The serviceman `ln` is no longer there under his number (deleted or
    // renumbered at another workstation meanwhile): nothing was written.
    Gone,
    // The serviceman `ln` got an order of that number meanwhile: nothing was
    // written.
    Taken,
};

struct Result
{
    Outcome outcome = Outcome::Failed;
    QSqlError error;
    // The serviceman who stopped the write (Gone, Taken).
    QString ln;
    // Done: the servicemen whose count could not be written anew (the count
    // is put right at the next start).
    QStringList notRecounted;
};

// Adds the order of the category `code` to each of `lns` and writes their
// counts anew.
Result add(const QStringList &lns, const QString &code, const Orders::Fields &fields);

} // namespace GroupOrders

#endif // GROUPORDERS_H
