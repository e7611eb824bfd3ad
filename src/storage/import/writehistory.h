#ifndef IMPORT_WRITEHISTORY_H
#define IMPORT_WRITEHISTORY_H

#include "storage/history/historylog.h"
#include "storage/import/write.h"

// The history an import leaves beside the rows it adds (those entries are
// read from the rows themselves once written): the changes of each
// serviceman it updates, and the import's own event.
namespace Import::Detail {

// The entries of an update, read before it: one per changed column (on a
// file; a server's trigger writes its own).
QList<History::Entry> updateHistory(const ServicemanRow &row);

// The event of the whole import: the file's name and what was written.
History::Entry importEvent(const QString &source, const Written &written);

} // namespace Import::Detail

#endif // IMPORT_WRITEHISTORY_H
