#ifndef IMPORT_WRITESERVICEMEN_H
#define IMPORT_WRITESERVICEMEN_H

#include "storage/import/writerows.h"

#include <QSet>

// The servicemen of an import: added in statements of many rows, updated one
// by one, with their reference entries and history.
namespace Import::Detail {

// Writes the roster's servicemen when the register (its personal numbers
// now, `numbers`) still allows every row as checked; else sets the
// writing's `stale` and writes nothing. On a server a new serviceman comes
// with the counts of the import's `orders` of his.
bool writeServicemen(const ServicemenCheck &servicemen, const OrdersCheck *orders,
                     const QSet<QString> &numbers, Writing &writing);

} // namespace Import::Detail

#endif // IMPORT_WRITESERVICEMEN_H
