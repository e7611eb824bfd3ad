#ifndef IMPORT_XLSREADER_H
#define IMPORT_XLSREADER_H

#include "storage/import/readers.h"

namespace Import::Detail {

// A legacy .xls workbook (Excel 97-2003 and older), read from its path.
void readXls(SheetFile &file);

} // namespace Import::Detail

#endif // IMPORT_XLSREADER_H
