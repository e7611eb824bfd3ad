#include "tableexport.h"

#include <QAbstractItemModel>
#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QSaveFile>
#include <QTableWidget>
#include <QTemporaryFile>
#include <QTextDocument>
#include <QTextDocumentWriter>
#include <QXmlStreamWriter>

#include <xlsxwriter.h>
#include <zlib.h>

#include <algorithm>

const char TableExport::SAVE_CAPTION[] = "Save as...";
const char TableExport::SAVE_FILTER[] = "EXCEL files (*.xls);;Excel 2007+ (*.xlsx);;ODS files (*.ods);;"
                                        "ODF files (*.odt);;HTML-Files (*.htm *.html);;All Files (*)";

namespace {

const QString SHEET_NAME = QStringLiteral("Сводная таблица");
constexpr int FIRST_COUNT_COLUMN = 6;
constexpr int LAST_COUNT_COLUMN = 11;
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
bool isCount(int column, const QString &text, double *value)
{
    if (column < FIRST_COUNT_COLUMN || column > LAST_COUNT_COLUMN || text.isEmpty() || text.size() > 9)
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

// A zip archive whose entries are stored uncompressed, in the order added:
// what OpenDocument needs (its "mimetype" entry must come first, stored).
class StoredZip
{
public:
    void add(const char *name, const QByteArray &data)
    {
        const QByteArray fileName(name);
        const quint32 crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef *>(data.constData()),
                                  static_cast<uInt>(data.size()));
        const quint32 offset = static_cast<quint32>(m_out.size());
        // Local file header.
        put32(m_out, 0x04034b50);
        putCommon(m_out, crc, data.size(), fileName.size());
        m_out += fileName;
        m_out += data;
        // Central directory entry.
        put32(m_central, 0x02014b50);
        put16(m_central, 20); // made by
        putCommon(m_central, crc, data.size(), fileName.size());
        put16(m_central, 0); // comment length
        put16(m_central, 0); // disk
        put16(m_central, 0); // internal attributes
        put32(m_central, 0); // external attributes
        put32(m_central, offset);
        m_central += fileName;
        ++m_entries;
    }

    QByteArray finish()
    {
        QByteArray out = m_out;
        const quint32 centralOffset = static_cast<quint32>(out.size());
        out += m_central;
        put32(out, 0x06054b50);
        put16(out, 0);
        put16(out, 0);
        put16(out, m_entries);
        put16(out, m_entries);
        put32(out, static_cast<quint32>(m_central.size()));
        put32(out, centralOffset);
        put16(out, 0);
        return out;
    }

private:
    static void put16(QByteArray &out, quint32 v)
    {
        out += char(v & 0xff);
        out += char((v >> 8) & 0xff);
    }
    static void put32(QByteArray &out, quint32 v)
    {
        put16(out, v & 0xffff);
        put16(out, v >> 16);
    }
    void putCommon(QByteArray &out, quint32 crc, qsizetype size, qsizetype nameSize) const
    {
        put16(out, 10); // version needed: stored entries
        put16(out, 0);  // flags
        put16(out, 0);  // method: stored
        put16(out, m_time);
        put16(out, m_date);
        put32(out, crc);
        put32(out, static_cast<quint32>(size));
        put32(out, static_cast<quint32>(size));
        put16(out, static_cast<quint32>(nameSize));
        put16(out, 0); // extra field length
    }

    QByteArray m_out;
    QByteArray m_central;
    quint32 m_entries = 0;
    const QDateTime m_now = QDateTime::currentDateTime();
    const quint32 m_time =
        quint32(m_now.time().hour() << 11 | m_now.time().minute() << 5 | m_now.time().second() / 2);
    const quint32 m_date = quint32((std::max(m_now.date().year(), 1980) - 1980) << 9 |
                                   m_now.date().month() << 5 | m_now.date().day());
};

QByteArray spreadsheetContent(const TableExport::Grid &grid)
{
    const QString office = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
    const QString style = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:style:1.0");
    const QString table = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
    const QString text = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
    const QString fo = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0");
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument();
    xml.writeNamespace(office, QStringLiteral("office"));
    xml.writeNamespace(style, QStringLiteral("style"));
    xml.writeNamespace(table, QStringLiteral("table"));
    xml.writeNamespace(text, QStringLiteral("text"));
    xml.writeNamespace(fo, QStringLiteral("fo"));
    xml.writeStartElement(office, QStringLiteral("document-content"));
    xml.writeAttribute(office, QStringLiteral("version"), QStringLiteral("1.2"));

    xml.writeStartElement(office, QStringLiteral("automatic-styles"));
    for (int i = 0; i < grid.columns.size(); ++i) {
        xml.writeStartElement(style, QStringLiteral("style"));
        xml.writeAttribute(style, QStringLiteral("name"), QStringLiteral("co%1").arg(i));
        xml.writeAttribute(style, QStringLiteral("family"), QStringLiteral("table-column"));
        xml.writeEmptyElement(style, QStringLiteral("table-column-properties"));
        // About a fifth of a centimetre per character of the default font.
        xml.writeAttribute(style, QStringLiteral("column-width"),
                           QStringLiteral("%1cm").arg(fittedWidth(grid, i) * 0.21, 0, 'f', 2));
        xml.writeEndElement();
    }
    xml.writeStartElement(style, QStringLiteral("style"));
    xml.writeAttribute(style, QStringLiteral("name"), QStringLiteral("header"));
    xml.writeAttribute(style, QStringLiteral("family"), QStringLiteral("table-cell"));
    xml.writeEmptyElement(style, QStringLiteral("text-properties"));
    xml.writeAttribute(fo, QStringLiteral("font-weight"), QStringLiteral("bold"));
    xml.writeEndElement();
    xml.writeEndElement(); // automatic-styles

    xml.writeStartElement(office, QStringLiteral("body"));
    xml.writeStartElement(office, QStringLiteral("spreadsheet"));
    xml.writeStartElement(table, QStringLiteral("table"));
    xml.writeAttribute(table, QStringLiteral("name"), SHEET_NAME);
    for (int i = 0; i < grid.columns.size(); ++i) {
        xml.writeEmptyElement(table, QStringLiteral("table-column"));
        xml.writeAttribute(table, QStringLiteral("style-name"), QStringLiteral("co%1").arg(i));
    }
    auto cell = [&](const QString &value, int column, bool header) {
        xml.writeStartElement(table, QStringLiteral("table-cell"));
        double number = 0;
        if (header) {
            xml.writeAttribute(table, QStringLiteral("style-name"), QStringLiteral("header"));
            xml.writeAttribute(office, QStringLiteral("value-type"), QStringLiteral("string"));
        } else if (isCount(column, value, &number)) {
            xml.writeAttribute(office, QStringLiteral("value-type"), QStringLiteral("float"));
            xml.writeAttribute(office, QStringLiteral("value"), value);
        } else {
            xml.writeAttribute(office, QStringLiteral("value-type"), QStringLiteral("string"));
        }
        // A paragraph per line of the text.
        const QStringList lines = (header ? oneLine(value) : value).split(QLatin1Char('\n'));
        for (const QString &line : lines)
            xml.writeTextElement(text, QStringLiteral("p"), line);
        xml.writeEndElement();
    };
    xml.writeStartElement(table, QStringLiteral("table-row"));
    for (int i = 0; i < grid.columns.size(); ++i)
        cell(grid.header.at(i), grid.columns.at(i), true);
    xml.writeEndElement();
    for (const QStringList &row : grid.rows) {
        xml.writeStartElement(table, QStringLiteral("table-row"));
        for (int i = 0; i < grid.columns.size(); ++i)
            cell(row.at(i), grid.columns.at(i), false);
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return out;
}

QByteArray spreadsheetManifest()
{
    return QByteArrayLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
        "manifest:version=\"1.2\">\n"
        " <manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.2\" "
        "manifest:media-type=\"application/vnd.oasis.opendocument.spreadsheet\"/>\n"
        " <manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>\n"
        "</manifest:manifest>\n");
}

// Writes bytes to a file through a temporary file that replaces it only
// when everything was written.
bool saveBytes(const QString &fileName, const QByteArray &data, QIODevice::OpenMode mode, QString *error)
{
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
    case Format::Html:
        break;
    }
    return saveBytes(fileName, html(table, QStringLiteral("black")).toUtf8(), QIODevice::Text, error);
}

bool TableExport::writeWorkbook(const Grid &grid, const QString &fileName, QString *error)
{
    // The workbook is built in a temporary file and put in its place when
    // done, so a failure leaves an earlier file as it was.
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
    const QByteArray sheetName = SHEET_NAME.toUtf8();
    lxw_worksheet *sheet = workbook_add_worksheet(book, sheetName.constData());
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
    for (int i = 0; i < grid.columns.size(); ++i) {
        text(0, i, oneLine(grid.header.at(i)), headerFormat);
        keep(worksheet_set_column(sheet, static_cast<lxw_col_t>(i), static_cast<lxw_col_t>(i),
                                  fittedWidth(grid, i), nullptr));
    }
    for (int r = 0; r < grid.rows.size(); ++r) {
        for (int i = 0; i < grid.columns.size(); ++i) {
            const QString &value = grid.rows.at(r).at(i);
            double number = 0;
            if (isCount(grid.columns.at(i), value, &number))
                keep(worksheet_write_number(sheet, static_cast<lxw_row_t>(r + 1), static_cast<lxw_col_t>(i),
                                            number, nullptr));
            else
                text(r + 1, i, value, textFormat);
        }
    }
    worksheet_freeze_panes(sheet, 1, 0);
    const lxw_error closed = workbook_close(book);
    keep(closed);
    bool ok = failed == LXW_NO_ERROR;
    if (!ok) {
        *error = QString::fromUtf8(lxw_strerror(failed));
    } else {
        QFile built(building);
        if (!built.open(QIODevice::ReadOnly)) {
            *error = built.errorString();
            ok = false;
        } else {
            const QByteArray data = built.readAll();
            ok = target.write(data) == data.size() && target.commit();
            if (!ok)
                *error = target.errorString();
        }
    }
    if (!ok)
        target.cancelWriting();
    return ok;
}

bool TableExport::writeSpreadsheet(const Grid &grid, const QString &fileName, QString *error)
{
    StoredZip zip;
    zip.add("mimetype", QByteArrayLiteral("application/vnd.oasis.opendocument.spreadsheet"));
    zip.add("content.xml", spreadsheetContent(grid));
    zip.add("META-INF/manifest.xml", spreadsheetManifest());
    return saveBytes(fileName, zip.finish(), QIODevice::NotOpen, error);
}
