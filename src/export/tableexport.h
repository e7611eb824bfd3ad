#ifndef TABLEEXPORT_H
#define TABLEEXPORT_H

#include <QList>
#include <QString>
#include <QStringList>

class QTextDocument;
class QTableWidget;

// The OpenDocument namespaces the program's own writers declare.
namespace Odf {
inline const QString OFFICE = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
inline const QString STYLE = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:style:1.0");
inline const QString TEXT = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
inline const QString TABLE = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
inline const QString FO = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0");
inline const QString SVG = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0");
} // namespace Odf

// The summary table as the user sees it (shown columns, every row the table
// holds) turned into the texts and files of the print and export commands.
class TableExport
{
public:
    // The shown columns of a table: their indexes, header texts and the
    // cell texts of every row (a cell without an item is an empty text).
    struct Grid
    {
        QList<int> columns;
        QStringList header;
        QList<QStringList> rows;
        // The sheet's name; empty: "Сводная таблица".
        QString sheet;
        // Lines above the header, the first one bold (a report's title and
        // what it covers); none for the summary table.
        QStringList title;
        // The columns (places in `header`) whose whole numbers are written as
        // numbers; empty: the summary's count columns, found by `columns`.
        QList<int> numbers;
    };
    enum class Format { Html, OpenDocumentText, OpenDocumentSpreadsheet, Workbook };

    static Grid grid(const QTableWidget *table);
    // One HTML table in one line: the header row, then a row per table row.
    // `borderColour` is "red" for printing and "black" for the export.
    static QString html(const QTableWidget *table, const QString &borderColour);
    // The name the export writes to: a name without one of the known
    // endings gets ".xls" appended.
    static QString exportFileName(const QString &chosen);
    // What is written, by the ending of the name (without regard to case).
    static Format format(const QString &fileName);
    // Writes the table to the file in the format its name asks for. On
    // failure returns false and says why in `error`; a file that existed
    // before is then left as it was.
    static bool write(const QTableWidget *table, const QString &fileName, QString *error);

    // Writes a text document as an OpenDocument text file; on failure returns
    // false, says why in `error` and leaves an earlier file as it was.
    static bool writeOpenDocumentText(const QTextDocument &document, const QString &fileName, QString *error);

    // The first row bold, count columns (6 to 11) holding whole numbers as
    // numbers, everything else as text, column widths fitted to the texts.
    static bool writeWorkbook(const Grid &grid, const QString &fileName, QString *error);
    static bool writeSpreadsheet(const Grid &grid, const QString &fileName, QString *error);
    // The same with a sheet per grid, in their order.
    static bool writeWorkbook(const QList<Grid> &grids, const QString &fileName, QString *error);
    static bool writeSpreadsheet(const QList<Grid> &grids, const QString &fileName, QString *error);

    // Writes an OpenDocument archive: the media type, content.xml and, when
    // given, styles.xml. On failure returns false, says why in `error` and
    // leaves an earlier file as it was.
    static bool writeOpenDocument(const QByteArray &mediaType, const QByteArray &content, const QByteArray &styles,
                                  const QString &fileName, QString *error);

    // The caption and filter of the export's save dialog.
    static const char SAVE_CAPTION[];
    static const char SAVE_FILTER[];
};

#endif // TABLEEXPORT_H
