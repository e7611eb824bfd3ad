#ifndef IMPORT_CHECK_H
#define IMPORT_CHECK_H

// The check of every row of an import before anything is written: what each
// row will do (be added, update a serviceman, be skipped) and why a skipped
// row is skipped, in plain Russian. Reads the register; writes nothing.
// checkrows.h holds what both checks share, checkservicemen.h the roster's,
// checkorders.h the orders'.
#include "storage/import/checkorders.h"
#include "storage/import/checkrows.h"
#include "storage/import/checkservicemen.h"

#endif // IMPORT_CHECK_H
