#ifndef IMPORT_ODSREADER_H
#define IMPORT_ODSREADER_H

#include "storage/import/readers.h"

namespace Import::Detail {

// An .ods: the tables of its content, the chosen one read into rows.
void readOds(ZipArchive &zip, SheetFile &file);

} // namespace Import::Detail

#endif // IMPORT_ODSREADER_H
