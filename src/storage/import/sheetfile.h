#ifndef SHEETFILE_H
#define SHEETFILE_H

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>
#include <QVector>

// Reading a spreadsheet a unit already keeps (.xlsx, .ods, legacy .xls,
// .csv) into plain rows of text, the first step of an import. No database
// here: what the rows mean is decided by the import's check.
namespace Import {

// How a .csv is read: "UTF-8" or "windows-1251", and ';', ',' or '\t'.
// Found from the file when not given; shown to the user, who may change it.
struct CsvFormat
{
    QByteArray encoding;
    QChar separator;
};

struct SheetFile
{
    QString path;
    // The names of the sheets, in the file's order (a .csv has one).
    QStringList sheets;
    // The sheet read into rows.
    int sheet = 0;
    // Its cells as text, row by row, from the first row of the sheet; a
    // cell the file marks as a date comes as "yyyy-MM-dd", other numbers as
    // the file writes them (a date typed as a plain number stays a number).
    // Rows may be of different lengths; trailing empty rows are dropped.
    QVector<QStringList> rows;
    // For a .csv: the encoding and separator it was read with.
    CsvFormat csv;
    // Why the file could not be read, in plain Russian; empty on success.
    // On failure the rows are empty: nothing half-read is ever given.
    QString error;
};

// Reads one sheet (the first by default) of the file; csv, when given,
// overrides the detected encoding and separator of a .csv.
SheetFile readSheet(const QString &path, int sheet = 0, const CsvFormat *csv = nullptr);

} // namespace Import

#endif // SHEETFILE_H
