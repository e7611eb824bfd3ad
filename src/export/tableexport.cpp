#include "export/tableexport.h"

#include "storage/setup/privacy.h"
#include "storage/register/summarycolumns.h"

#include <QAbstractItemModel>
#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QSaveFile>
#include <QTableWidget>
#include <QTemporaryFile>
#include <QTextDocument>
#include <QTextDocumentWriter>
#include <QXmlStreamWriter>

#include <xlsxwriter.h>
#include <zip.h>

#include <algorithm>

const char TableExport::SAVE_CAPTION[] = "Save as...";
const char TableExport::SAVE_FILTER[] = "EXCEL files (*.xls);;Excel 2007+ (*.xlsx);;ODS files (*.ods);;"
                                        "ODF files (*.odt);;HTML-Files (*.htm *.html);;All Files (*)";

namespace {

const QString SHEET_NAME = QStringLiteral("Сводная таблица");
// Longest text a spreadsheet cell holds.
constexpr int MAX_CELL_TEXT = 32767;

bool endsWith(const QString &name, const char *ending)
{
    return name.endsWith(QLatin1String(ending), Qt::CaseInsensitive);
}

// Header texts carry line breaks for the screen; a spreadsheet cell reads
// better on one line.
QString oneLine(const QString &text)
{
    return QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

// A count is written as a number so that it can be summed; anything that is
// not a plain whole number stays text.
bool isCount(const TableExport::Grid &grid, int index, const QString &text, double *value)
{
    if (index < 0)
        return false;
    if (grid.numbers.isEmpty()) {
        const int column = grid.columns.at(index);
        if (column < SummaryColumns::FIRST_COUNT || column > SummaryColumns::LAST_COUNT)
            return false;
    } else if (!grid.numbers.contains(index)) {
        return false;
    }
    if (text.isEmpty() || text.size() > 9)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    *value = text.toInt();
    return true;
}

// Width of a column in characters: its longest text, a little more for the
// bold header, within sensible bounds.
double fittedWidth(const TableExport::Grid &grid, int index)
{
    double widest = oneLine(grid.header.value(index)).size() * 1.15;
    for (const QStringList &row : grid.rows) {
        const QStringList lines = row.value(index).split(QLatin1Char('\n'));
        for (const QString &line : lines)
            widest = std::max(widest, double(line.size()));
    }
    return std::clamp(widest + 2.0, 4.0, 80.0);
}

// Column styles are named "co<column>" for the first sheet (as ever) and
// "co<sheet>.<column>" for the others.
QString columnStyle(int sheet, int column)
{
    return sheet == 0 ? QStringLiteral("co%1").arg(column) : QStringLiteral("co%1.%2").arg(sheet).arg(column);
}

// The columns' widths of every sheet, and the bold of the header.
void writeSpreadsheetStyles(QXmlStreamWriter &xml, const QList<TableExport::Grid> &grids)
{
    xml.writeStartElement(Odf::OFFICE, QStringLiteral("automatic-styles"));
    for (int g = 0; g < grids.size(); ++g) {
        for (int i = 0; i < grids.at(g).header.size(); ++i) {
            xml.writeStartElement(Odf::STYLE, QStringLiteral("style"));
            xml.writeAttribute(Odf::STYLE, QStringLiteral("name"), columnStyle(g, i));
            xml.writeAttribute(Odf::STYLE, QStringLiteral("family"), QStringLiteral("table-column"));
            xml.writeEmptyElement(Odf::STYLE, QStringLiteral("table-column-properties"));
            // About a fifth of a centimetre per character of the default font.
            xml.writeAttribute(Odf::STYLE, QStringLiteral("column-width"),
                               QStringLiteral("%1cm").arg(fittedWidth(grids.at(g), i) * 0.21, 0, 'f', 2));
            xml.writeEndElement();
        }
    }
    xml.writeStartElement(Odf::STYLE, QStringLiteral("style"));
    xml.writeAttribute(Odf::STYLE, QStringLiteral("name"), QStringLiteral("header"));
    xml.writeAttribute(Odf::STYLE, QStringLiteral("family"), QStringLiteral("table-cell"));
    xml.writeEmptyElement(Odf::STYLE, QStringLiteral("text-properties"));
    xml.writeAttribute(Odf::FO, QStringLiteral("font-weight"), QStringLiteral("bold"));
    xml.writeEndElement();
    xml.writeEndElement(); // automatic-styles
}

// A cell of the column `index` of the grid (-1: a title line): a header's
// bold, a count as a number, anything else text; a paragraph per line of the
// text.
void writeSpreadsheetCell(QXmlStreamWriter &xml, const TableExport::Grid &grid, const QString &value, int index,
                          bool header)
{
    xml.writeStartElement(Odf::TABLE, QStringLiteral("table-cell"));
    double number = 0;
    if (header) {
        xml.writeAttribute(Odf::TABLE, QStringLiteral("style-name"), QStringLiteral("header"));
        xml.writeAttribute(Odf::OFFICE, QStringLiteral("value-type"), QStringLiteral("string"));
    } else if (isCount(grid, index, value, &number)) {
        xml.writeAttribute(Odf::OFFICE, QStringLiteral("value-type"), QStringLiteral("float"));
        xml.writeAttribute(Odf::OFFICE, QStringLiteral("value"), value);
    } else {
        xml.writeAttribute(Odf::OFFICE, QStringLiteral("value-type"), QStringLiteral("string"));
    }
    const QStringList lines = (header ? oneLine(value) : value).split(QLatin1Char('\n'));
    for (const QString &line : lines)
        xml.writeTextElement(Odf::TEXT, QStringLiteral("p"), line);
    xml.writeEndElement();
}

// The sheet of the grid `g`: its title lines, the header and the rows.
void writeSheet(QXmlStreamWriter &xml, const TableExport::Grid &grid, int g)
{
    const QString &table = Odf::TABLE;
    xml.writeStartElement(table, QStringLiteral("table"));
    xml.writeAttribute(table, QStringLiteral("name"), grid.sheet.isEmpty() ? SHEET_NAME : grid.sheet);
    for (int i = 0; i < grid.header.size(); ++i) {
        xml.writeEmptyElement(table, QStringLiteral("table-column"));
        xml.writeAttribute(table, QStringLiteral("style-name"), columnStyle(g, i));
    }
    for (int t = 0; t < grid.title.size(); ++t) {
        xml.writeStartElement(table, QStringLiteral("table-row"));
        writeSpreadsheetCell(xml, grid, grid.title.at(t), -1, t == 0);
        xml.writeEndElement();
    }
    xml.writeStartElement(table, QStringLiteral("table-row"));
    for (int i = 0; i < grid.header.size(); ++i)
        writeSpreadsheetCell(xml, grid, grid.header.at(i), i, true);
    xml.writeEndElement();
    for (const QStringList &row : grid.rows) {
        xml.writeStartElement(table, QStringLiteral("table-row"));
        for (int i = 0; i < grid.header.size(); ++i)
            writeSpreadsheetCell(xml, grid, row.at(i), i, false);
        xml.writeEndElement();
    }
    xml.writeEndElement(); // table
}

QByteArray spreadsheetContent(const QList<TableExport::Grid> &grids)
{
    const QString &office = Odf::OFFICE;
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument();
    xml.writeNamespace(office, QStringLiteral("office"));
    xml.writeNamespace(Odf::STYLE, QStringLiteral("style"));
    xml.writeNamespace(Odf::TABLE, QStringLiteral("table"));
    xml.writeNamespace(Odf::TEXT, QStringLiteral("text"));
    xml.writeNamespace(Odf::FO, QStringLiteral("fo"));
    xml.writeStartElement(office, QStringLiteral("document-content"));
    xml.writeAttribute(office, QStringLiteral("version"), QStringLiteral("1.2"));
    writeSpreadsheetStyles(xml, grids);
    xml.writeStartElement(office, QStringLiteral("body"));
    xml.writeStartElement(office, QStringLiteral("spreadsheet"));
    for (int g = 0; g < grids.size(); ++g)
        writeSheet(xml, grids.at(g), g);
    xml.writeEndDocument();
    return out;
}

QByteArray openDocumentManifest(const QByteArray &mediaType, bool withStyles)
{
    return QByteArrayLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
               "manifest:version=\"1.2\">\n"
               " <manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.2\" "
               "manifest:media-type=\"") +
           mediaType +
           QByteArrayLiteral("\"/>\n"
                             " <manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>\n") +
           (withStyles ? QByteArrayLiteral(" <manifest:file-entry manifest:full-path=\"styles.xml\" "
                                           "manifest:media-type=\"text/xml\"/>\n")
                       : QByteArray()) +
           QByteArrayLiteral("</manifest:manifest>\n");
}

// Writes bytes to a file through a temporary file that replaces it only
// when everything was written.
bool saveBytes(const QString &fileName, const QByteArray &data, QIODevice::OpenMode mode, QString *error)
{
    const bool existed = QFileInfo::exists(fileName);
    QSaveFile file(fileName);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | mode)) {
        *error = file.errorString();
        return false;
    }
    if (file.write(data) != data.size() || !file.commit()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    Privacy::exported(fileName, existed);
    return true;
}

} // namespace

TableExport::Grid TableExport::grid(const QTableWidget *table)
{
    Grid g;
    const QAbstractItemModel *model = table->model();
    const int count = table->horizontalHeader()->count();
    for (int c = 0; c < count; ++c) {
        if (table->isColumnHidden(c))
            continue;
        g.columns.append(c);
        const QTableWidgetItem *h = table->horizontalHeaderItem(c);
        g.header.append(h ? h->text() : model->headerData(c, Qt::Horizontal).toString());
    }
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList row;
        for (const int c : std::as_const(g.columns)) {
            const QTableWidgetItem *item = table->item(r, c);
            row.append(item ? item->text() : QString());
        }
        g.rows.append(row);
    }
    return g;
}

QString TableExport::html(const QTableWidget *table, const QString &borderColour)
{
    const Grid g = grid(table);
    // The encoding is declared so that spreadsheet programs reading the file
    // do not take the Cyrillic texts for a legacy code page.
    QString out = QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                                 "charset=utf-8\"></head><body><table border=1 bordercolor=") +
                  borderColour + QStringLiteral(" cellpadding=5 >");
    auto row = [&out](const QStringList &cells) {
        out += QLatin1String("<tr>");
        for (const QString &cell : cells)
            out += QLatin1String("<td>") + cell.toHtmlEscaped() + QLatin1String("</td>");
        out += QLatin1String("</tr>");
    };
    row(g.header);
    for (const QStringList &cells : g.rows)
        row(cells);
    out += QLatin1String("</table></body></html>");
    return out;
}

QString TableExport::exportFileName(const QString &chosen)
{
    for (const char *ending : {".xls", ".xlsx", ".odt", ".htm", ".html", ".ods"}) {
        if (endsWith(chosen, ending))
            return chosen;
    }
    return chosen + QLatin1String(".xls");
}

TableExport::Format TableExport::format(const QString &fileName)
{
    if (endsWith(fileName, ".odt"))
        return Format::OpenDocumentText;
    if (endsWith(fileName, ".ods"))
        return Format::OpenDocumentSpreadsheet;
    if (endsWith(fileName, ".xlsx"))
        return Format::Workbook;
    return Format::Html;
}

bool TableExport::write(const QTableWidget *table, const QString &fileName, QString *error)
{
    switch (format(fileName)) {
    case Format::Workbook:
        return writeWorkbook(grid(table), fileName, error);
    case Format::OpenDocumentSpreadsheet:
        return writeSpreadsheet(grid(table), fileName, error);
    case Format::OpenDocumentText: {
        QTextDocument document;
        document.setHtml(html(table, QStringLiteral("black")));
        return writeOpenDocumentText(document, fileName, error);
    }
    case Format::Html:
        break;
    }
    return saveBytes(fileName, html(table, QStringLiteral("black")).toUtf8(), QIODevice::Text, error);
}

bool TableExport::writeOpenDocumentText(const QTextDocument &document, const QString &fileName, QString *error)
{
    // The writer closes its device when done, so it writes to memory.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QTextDocumentWriter writer(&buffer, QByteArrayLiteral("odf"));
    if (!writer.write(&document)) {
        *error = QStringLiteral("документ не составлен");
        return false;
    }
    return saveBytes(fileName, buffer.data(), QIODevice::NotOpen, error);
}

namespace {
// Writes the grid into one sheet of the book, its title lines and header
// bold, the rows above the first figures frozen; returns the first failure.
lxw_error fillSheet(lxw_workbook *book, const TableExport::Grid &grid)
{
    const QByteArray sheetName = (grid.sheet.isEmpty() ? SHEET_NAME : grid.sheet).toUtf8();
    lxw_worksheet *sheet = workbook_add_worksheet(book, sheetName.constData());
    if (!sheet)
        return LXW_ERROR_PARAMETER_VALIDATION;
    lxw_format *textFormat = workbook_add_format(book);
    format_set_num_format(textFormat, "@");
    lxw_format *headerFormat = workbook_add_format(book);
    format_set_bold(headerFormat);
    format_set_num_format(headerFormat, "@");

    lxw_error failed = LXW_NO_ERROR;
    auto keep = [&failed](lxw_error e) {
        if (failed == LXW_NO_ERROR)
            failed = e;
    };
    auto text = [&](int row, int column, const QString &value, lxw_format *format) {
        const QByteArray utf8 = value.left(MAX_CELL_TEXT).toUtf8();
        keep(worksheet_write_string(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column),
                                    utf8.constData(), format));
    };
    const int top = static_cast<int>(grid.title.size());
    for (int t = 0; t < top; ++t)
        text(t, 0, grid.title.at(t), t == 0 ? headerFormat : textFormat);
    for (int i = 0; i < grid.header.size(); ++i) {
        text(top, i, oneLine(grid.header.at(i)), headerFormat);
        keep(worksheet_set_column(sheet, static_cast<lxw_col_t>(i), static_cast<lxw_col_t>(i),
                                  fittedWidth(grid, i), nullptr));
    }
    for (int r = 0; r < grid.rows.size(); ++r) {
        for (int i = 0; i < grid.header.size(); ++i) {
            const QString &value = grid.rows.at(r).at(i);
            double number = 0;
            if (isCount(grid, i, value, &number))
                keep(worksheet_write_number(sheet, static_cast<lxw_row_t>(top + r + 1), static_cast<lxw_col_t>(i),
                                            number, nullptr));
            else
                text(top + r + 1, i, value, textFormat);
        }
    }
    worksheet_freeze_panes(sheet, static_cast<lxw_row_t>(top + 1), 0);
    return failed;
}

// Copies the finished temporary workbook into the target.
bool putInPlace(const QString &building, QSaveFile &target, QString *error)
{
    QFile built(building);
    if (!built.open(QIODevice::ReadOnly)) {
        *error = built.errorString();
        return false;
    }
    const QByteArray data = built.readAll();
    const bool ok = target.write(data) == data.size() && target.commit();
    if (!ok)
        *error = target.errorString();
    return ok;
}
} // namespace

bool TableExport::writeWorkbook(const Grid &grid, const QString &fileName, QString *error)
{
    return writeWorkbook(QList<Grid>{grid}, fileName, error);
}

bool TableExport::writeWorkbook(const QList<Grid> &grids, const QString &fileName, QString *error)
{
    // The workbook is built in a temporary file and put in its place when
    // done, so a failure leaves an earlier file as it was.
    const bool existed = QFileInfo::exists(fileName);
    QSaveFile target(fileName);
    target.setDirectWriteFallback(true);
    if (!target.open(QIODevice::WriteOnly)) {
        *error = target.errorString();
        return false;
    }
    QTemporaryFile part(QDir::temp().filePath(QStringLiteral("vedomer-XXXXXX.xlsx")));
    if (!part.open()) {
        *error = part.errorString();
        target.cancelWriting();
        return false;
    }
    const QString building = part.fileName();
    part.close();
    lxw_workbook *book = workbook_new(QFile::encodeName(building).constData());
    if (!book) {
        *error = QStringLiteral("не удалось создать книгу");
        target.cancelWriting();
        return false;
    }
    lxw_error failed = LXW_NO_ERROR;
    for (const Grid &grid : grids) {
        if (failed == LXW_NO_ERROR)
            failed = fillSheet(book, grid);
    }
    const lxw_error closed = workbook_close(book);
    if (failed == LXW_NO_ERROR)
        failed = closed;
    bool ok = failed == LXW_NO_ERROR;
    if (!ok)
        *error = QString::fromUtf8(lxw_strerror(failed));
    else
        ok = putInPlace(building, target, error);
    if (!ok)
        target.cancelWriting();
    else
        Privacy::exported(fileName, existed);
    return ok;
}

bool TableExport::writeSpreadsheet(const Grid &grid, const QString &fileName, QString *error)
{
    return writeSpreadsheet(QList<Grid>{grid}, fileName, error);
}

bool TableExport::writeSpreadsheet(const QList<Grid> &grids, const QString &fileName, QString *error)
{
    return writeOpenDocument(QByteArrayLiteral("application/vnd.oasis.opendocument.spreadsheet"),
                             spreadsheetContent(grids), QByteArray(), fileName, error);
}

bool TableExport::writeOpenDocument(const QByteArray &mediaType, const QByteArray &content, const QByteArray &styles,
                                    const QString &fileName, QString *error)
{
    // The archive is built in a temporary file and put in place when done.
    QTemporaryFile part(QDir::temp().filePath(QStringLiteral("vedomer-XXXXXX.zip")));
    if (!part.open()) {
        *error = part.errorString();
        return false;
    }
    const QString building = part.fileName();
    part.close();
    zipFile zip = zipOpen64(QFile::encodeName(building).constData(), APPEND_STATUS_CREATE);
    if (!zip) {
        *error = QStringLiteral("не удалось создать архив");
        return false;
    }
    const QDateTime now = QDateTime::currentDateTime();
    zip_fileinfo info{};
    info.tmz_date.tm_sec = static_cast<uInt>(now.time().second());
    info.tmz_date.tm_min = static_cast<uInt>(now.time().minute());
    info.tmz_date.tm_hour = static_cast<uInt>(now.time().hour());
    info.tmz_date.tm_mday = static_cast<uInt>(now.date().day());
    info.tmz_date.tm_mon = static_cast<uInt>(now.date().month() - 1);
    info.tmz_date.tm_year = static_cast<uInt>(now.date().year());
    bool ok = true;
    // OpenDocument wants "mimetype" first and stored uncompressed, so that
    // the type can be read at a fixed place; the rest is compressed.
    auto add = [&](const char *name, const QByteArray &data, bool compressed) {
        ok = ok &&
             zipOpenNewFileInZip64(zip, name, &info, nullptr, 0, nullptr, 0, nullptr, compressed ? Z_DEFLATED : 0,
                                   compressed ? Z_DEFAULT_COMPRESSION : Z_NO_COMPRESSION, 0) == ZIP_OK &&
             zipWriteInFileInZip(zip, data.constData(), static_cast<unsigned>(data.size())) == ZIP_OK &&
             zipCloseFileInZip(zip) == ZIP_OK;
    };
    add("mimetype", mediaType, false);
    add("content.xml", content, true);
    if (!styles.isEmpty())
        add("styles.xml", styles, true);
    add("META-INF/manifest.xml", openDocumentManifest(mediaType, !styles.isEmpty()), true);
    ok = zipClose(zip, nullptr) == ZIP_OK && ok;
    if (!ok) {
        *error = QStringLiteral("не удалось записать архив");
        return false;
    }
    QFile built(building);
    if (!built.open(QIODevice::ReadOnly)) {
        *error = built.errorString();
        return false;
    }
    return saveBytes(fileName, built.readAll(), QIODevice::NotOpen, error);
}
