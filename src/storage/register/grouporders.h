#ifndef GROUPORDERS_H
#define GROUPORDERS_H

#include "storage/register/orders.h"

#include <QList>
#include <QSet>
#include <QSqlError>
#include <QString>
#include <QStringList>

#include <vector>

// One order written for several servicemen at once: a unit's thanks to a
// platoon, a penalty to the men of one incident, the lifting of several
// penalties by one order, the change of every row of one order. It is stored
// as the orders window stores an order, one row per serviceman, each write
// in one transaction: either every row is written or none is. Each writes
// the history's entries of every row and one entry for the group.
//
// On a server a write takes at most four round trips whatever the number of
// rows: the transaction's start, one statement that checks and writes
// everything (its many values as one JSON array), one that writes the
// counts anew with the group's entry, and the commit.
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
    // The serviceman `ln` holds an order of that number (got it meanwhile,
    // or, for a change, holds the new number): nothing was written.
    Taken,
    // The rows are no longer as listed: the penalty `number` of `ln` was
    // lifted, changed or deleted meanwhile; or the order's rows changed.
    // Nothing was written.
    Changed,
};

struct Result
{
    Outcome outcome = Outcome::Failed;
    QSqlError error;
    // The serviceman who stopped the write (Gone, Taken, Changed), and the
    // number of his penalty (Changed, a lifting).
    QString ln;
    QString number;
    // Done: the rows written.
    int written = 0;
};

// A document attached once to every order of the group: one stored copy
// (Attachments::store()), one attachment record per serviceman. A `fresh`
// copy takes its name (Attachments::settle()) only after the commit.
struct Document
{
    QString target;
    QString name;
    bool fresh = false;
};

// Adds the order of the category `code` to each of `lns`, with `documents`
// attached to each, and writes their counts anew.
Result add(const QStringList &lns, const QString &code, const Orders::Fields &fields,
           const QList<Document> &documents = {});

// A penalty in force as the lifting lists it.
struct Penalty
{
    // The stored identity.
    QString id;
    QString ln;
    QString unit;
    QString fio;
    QString number;
    QString date;
    QString name;
    // The lifting fields as stored (empty while never lifted).
    QString liftNumber;
    QString liftDate;
};

// The penalties in force of the servicemen of the register, in the order
// they were added. False (with `error`) when they could not be read.
bool penaltiesInForce(std::vector<Penalty> *penalties, QSqlError *error);

// Lifts each of `penalties` by the order `liftNumber` of `liftDate`, as the
// orders window lifts one (the in-force flag 0, the lifting number and
// date), and writes the counts of their servicemen anew. Each must still be
// in force as listed.
Result lift(const std::vector<Penalty> &penalties, const QString &liftDate, const QString &liftNumber);

// The rows of one order: the category `code`, `number` and `date`, of the
// servicemen in the register; their identities in `ids`. False (with
// `error`) when they could not be read.
bool sameOrder(const QString &code, const QString &number, const QString &date, QStringList *ids,
               QSqlError *error);

// Changes every row `ids` of the order (`code`, `number`, `date`) to
// `fields`. Written only while the order has exactly those rows; the
// documents follow each row to a new number as the orders window's change
// takes them.
Result changeAll(const QString &code, const QString &number, const QString &date, const QStringList &ids,
                 const Orders::Fields &fields);

} // namespace GroupOrders

#endif // GROUPORDERS_H
