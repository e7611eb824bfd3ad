#ifndef IMPORT_XLSXREADER_H
#define IMPORT_XLSXREADER_H

#include "storage/import/readers.h"

namespace Import::Detail {

// An .xlsx workbook: its sheets as the workbook names them, the chosen one
// read into rows.
void readXlsx(ZipArchive &zip, SheetFile &file);

} // namespace Import::Detail

#endif // IMPORT_XLSXREADER_H
