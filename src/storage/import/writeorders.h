#ifndef IMPORT_WRITEORDERS_H
#define IMPORT_WRITEORDERS_H

#include "storage/import/writerows.h"

#include <QSet>

// The orders of an import, added in statements of many rows with their
// history.
namespace Import::Detail {

// Writes the orders the check lets through when the register still allows
// every one as checked: their servicemen among `numbers` (the register's
// personal numbers, to which the roster's added servicemen are joined, when
// there is one) and no order already there; else sets the writing's `stale`
// and writes nothing.
bool writeOrders(const OrdersCheck &orders, const ServicemenCheck *servicemen, QSet<QString> &numbers,
                 Writing &writing);

} // namespace Import::Detail

#endif // IMPORT_WRITEORDERS_H
