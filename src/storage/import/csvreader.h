#ifndef IMPORT_CSVREADER_H
#define IMPORT_CSVREADER_H

#include "storage/import/readers.h"

#include <QByteArray>

namespace Import::Detail {

// A .csv: text in UTF-8 or Windows-1251 (the encoding and separator given,
// or found from the text), read into the one sheet named after the file.
void readCsv(const QByteArray &data, const CsvFormat *given, SheetFile &file);

} // namespace Import::Detail

#endif // IMPORT_CSVREADER_H
