#ifndef IMPORT_WRITEREFERENCES_H
#define IMPORT_WRITEREFERENCES_H

#include "storage/import/writerows.h"

// The reference entries of ranks and positions an import adds, after the
// lists it was checked on.
namespace Import::Detail {

// Adds the new ranks and positions of the roster after their lists, once
// both lists are found as they were at the check (the places of the entries
// were counted on them); a list changed since sets `listsChanged` and writes
// nothing.
bool writeReferences(const ServicemenCheck &servicemen, Writing &writing);

} // namespace Import::Detail

#endif // IMPORT_WRITEREFERENCES_H
