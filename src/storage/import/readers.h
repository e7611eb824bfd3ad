#ifndef IMPORT_READERS_H
#define IMPORT_READERS_H

#include "storage/import/sheetfile.h"

#include <QString>

// The readers behind readSheet, one per kind of file. Each fills the sheet
// names, the rows of the chosen sheet and, when the file cannot be read, the
// error; readSheet then drops the trailing empty rows, refuses an empty
// sheet and clears the rows of a failed read.
namespace Import::Detail {

// Sheets hold at most as many rows and columns as the office programs allow;
// a cell placed beyond them means a damaged file.
constexpr int MaxRows = 1048576;
constexpr int MaxColumns = 16384;

class ZipArchive;

void readXlsx(ZipArchive &zip, SheetFile &file);
void readOds(ZipArchive &zip, SheetFile &file);
void readXls(SheetFile &file);
void readCsv(const QByteArray &data, const CsvFormat *given, SheetFile &file);

// The file's name as the messages show it.
QString shownName(const QString &path);
// The messages every reader shares.
QString damagedMessage(const QString &path);
QString xmlMessage(const QString &path, const QString &part, qint64 line);
QString encryptedMessage(const QString &path);
QString noSheetMessage(const QString &path, int sheet);

// A date given by a spreadsheet as its day number (days since 1899-12-30, or
// since 1904-01-01 in a workbook that counts from 1904) as "yyyy-MM-dd"; a
// null text when the number is not a date.
QString serialDate(double serial, bool from1904);

// Puts a cell's text into row `row`, column `column` (both from 0) of rows,
// growing them as needed. Empty texts are not placed.
void placeCell(QVector<QStringList> &rows, int row, int column, const QString &text);

} // namespace Import::Detail

#endif // IMPORT_READERS_H
