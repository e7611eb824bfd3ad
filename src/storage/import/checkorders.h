#ifndef IMPORT_CHECKORDERS_H
#define IMPORT_CHECKORDERS_H

#include "storage/import/checkservicemen.h"

#include <QString>
#include <QVector>

// The check of a sheet of orders: each order added or skipped, against the
// register and the roster checked with it.
namespace Import {

struct OrderRow
{
    int line = 0;
    Action action = Action::Skip;
    QString reason;
    QString ln;
    QString code;
    QString date;
    QString number;
    QString issuer;
    QString name;
    QString outgoing;
    QString liftNumber;
    QString liftDate;
    bool inForce = true;
};

struct OrdersCheck
{
    QVector<OrderRow> rows;
    int added = 0;
    int skipped = 0;
    QString error;
};

// The category code ("vzs" …) a text names: the categories' Russian names
// as the program shows them, or the codes, without case and blanks; empty
// when none.
QString categoryCode(const QString &text);

// Checks the orders of a sheet below its header row against the register
// and the roster checked with them (the servicemen it adds, and the rows it
// skips, named by an order of a serviceman who is only there).
OrdersCheck checkOrders(const Rows &rows, const Matching &matching,
                        const ServicemenCheck &roster);

} // namespace Import

#endif // IMPORT_CHECKORDERS_H
