#ifndef SHEETFILE_H
#define SHEETFILE_H

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>
#include <QVector>

#include <initializer_list>

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

// One row of a sheet, kept sparse: only the cells that hold a text, by
// column, a run of equal cells (a repeat of .ods) as one. A row of a single
// cell in the last column of the sheet costs one cell, not sixteen thousand.
class Row
{
public:
    Row() = default;
    // A row read cell by cell (a line of a .csv); its empty cells count in
    // its size but are not stored.
    Row(const QStringList &cells);
    Row(std::initializer_list<QString> cells);

    // The columns the row spans: up to its last cell, or the fields of a
    // .csv line.
    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    // The text of a column (from 0); empty beyond the row's cells.
    QString value(qsizetype column) const;
    QString at(qsizetype column) const { return value(column); }
    // No cell holds more than blanks.
    bool blank() const;
    // The cells that hold a text: how many, and how many characters they
    // take (a run of repeats once).
    qsizetype storedCells() const { return m_runs.size(); }
    qsizetype characters() const;
    // Puts a text into `count` columns from `column`; an empty text only
    // widens the row. Placing in order costs no search.
    void set(int column, const QString &text, int count = 1);
    // Every column as a text, the empty ones included.
    QStringList toList() const;

    // The line of a .csv is in another encoding than the rest of the file:
    // its text is likely garbled.
    bool otherEncoding() const { return m_otherEncoding; }
    void setOtherEncoding(bool other) { m_otherEncoding = other; }

    bool operator==(const Row &other) const;
    bool operator!=(const Row &other) const { return !(*this == other); }

private:
    struct Run
    {
        int column;
        int count;
        QString text;
    };
    QVector<Run> m_runs;
    int m_size = 0;
    bool m_otherEncoding = false;
};

using Rows = QVector<Row>;

// A column's letters as spreadsheets show them: 0 is "A", 26 is "AA".
QString columnName(int column);

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
    Rows rows;
    // The columns that count: up to the last one holding a value in any row.
    int columns = 0;
    // For a .csv: the encoding and separator it was read with.
    CsvFormat csv;
    // Read, but not whole: the rows the file names that could not be read,
    // in plain Russian for the preview's line; empty when all were read.
    QString warning;
    // Why the file could not be read, in plain Russian; empty on success.
    // On failure the rows are empty: nothing half-read is ever given.
    QString error;
};

// Reads one sheet (the first by default) of the file; csv, when given,
// overrides the detected encoding and separator of a .csv.
SheetFile readSheet(const QString &path, int sheet = 0, const CsvFormat *csv = nullptr);

} // namespace Import

#endif // SHEETFILE_H
