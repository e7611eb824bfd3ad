#ifndef IMPORT_READERS_H
#define IMPORT_READERS_H

#include "storage/import/sheetfile.h"

#include <QString>

// What the readers behind readSheet share, one reader per kind of file
// (csvreader.h, odsreader.h, xlsreader.h, xlsxreader.h). Each fills the
// sheet names, the rows of the chosen sheet and, when the file cannot be
// read, the error; readSheet then drops the trailing empty rows, refuses an
// empty sheet and clears the rows of a failed read.
namespace Import::Detail {

// Sheets hold at most as many rows and columns as the office programs allow;
// a cell placed beyond them means a damaged file.
constexpr int MaxRows = 1048576;
constexpr int MaxColumns = 16384;
// A cell holds at most as many characters as the office programs let it.
constexpr int MaxCellText = 32767;
// What one sheet may bring into memory: filled cells (a run of repeats is
// one) and their characters. A roster of 20,000 men with 200,000 orders
// takes a fraction of it; a file made to fill the memory meets it.
constexpr qint64 MaxCells = 5000000;
constexpr qint64 MaxCharacters = 64000000;
// The bytes one part of an archive may inflate to, and how many times its
// compressed size, counted once it is past RatioFrom bytes.
constexpr qint64 MaxPartBytes = qint64(256) << 20;
constexpr qint64 MaxPartRatio = 200;
constexpr qint64 RatioFrom = qint64(16) << 20;

class ZipArchive;

// The file's name as the messages show it.
QString shownName(const QString &path);
// The messages every reader shares.
QString damagedMessage(const QString &path);
QString xmlMessage(const QString &path, const QString &part, qint64 line);
QString encryptedMessage(const QString &path);
QString noSheetMessage(const QString &path, int sheet);
// A part of the archive inflates past MaxPartBytes (or MaxPartRatio times
// its compressed size when ratio is set).
QString oversizedMessage(const QString &path, const QString &part, bool ratio);

// A date given by a spreadsheet as its day number (days since 1899-12-30, or
// since 1904-01-01 in a workbook that counts from 1904) as "yyyy-MM-dd"; a
// null text when the number is not a date.
QString serialDate(double serial, bool from1904);

// Puts the cells of a sheet into its rows, counting them against the limits
// above. A failed place sets the file's error; the reader then stops.
class Placer
{
public:
    explicit Placer(SheetFile &file)
        : m_file(file)
    {
    }
    // A cell's text into row `row`, column `column` (both from 0), repeated
    // over `count` columns. Empty texts are not placed.
    bool place(int row, int column, const QString &text, int count = 1);
    // A whole row at `row`, repeated over `count` rows that share it.
    bool placeRow(int row, const Row &cells, int count = 1);
    // Whether a text of this size fits a cell (else the error is set).
    bool fits(int row, int column, qsizetype size);

private:
    bool counted(qint64 cells, qint64 characters);
    SheetFile &m_file;
    qint64 m_cells = 0;
    qint64 m_characters = 0;
};

} // namespace Import::Detail

#endif // IMPORT_READERS_H
