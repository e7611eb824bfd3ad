#include "export/cardodt.h"

#include "export/odttext.h"
#include "export/tableexport.h"

#include <QFontMetricsF>
#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamWriter>

#include <functional>
#include <numeric>

namespace CardOdt {

namespace {

// A4 upright with margins of 2 cm, tables the width of the text.
using OdtText::centimetres;
using OdtText::paragraphStyle;
using OdtText::TEXT_WIDTH_CM;
// A cell's padding on both sides and its borders.
constexpr double CELL_EXTRA_CM = 0.25;

using Odf::FO;
using Odf::OFFICE;
using Odf::STYLE;
using Odf::TABLE;
using Odf::TEXT;

// Widths of texts in centimetres, in the card's font.
class TextWidths
{
public:
    // Measured at a hundred times the size, for precision: a pixel is then
    // a hundredth of a point.
    explicit TextWidths(bool bold)
        : m_metrics(scaled(bold))
    {
    }
    double cm(const QString &text) const { return m_metrics.horizontalAdvance(text) / 100.0 / 72.0 * 2.54; }

private:
    static QFont scaled(bool bold)
    {
        QFont f(OdtText::family());
        f.setPixelSize(1100);
        f.setBold(bold);
        return f;
    }
    QFontMetricsF m_metrics;
};

// Column widths by content within the text's width: each column at least its
// longest word (a word is never broken where the page allows it), the room
// left shared out by how much more each column's longest line wants; when
// every line fits, the rest by the lines' widths. The first row is the bold
// header.
QList<double> columnWidths(const QList<QStringList> &rows)
{
    const TextWidths plain(false);
    const TextWidths bold(true);
    const int columns = rows.isEmpty() ? 0 : static_cast<int>(rows.first().size());
    QList<double> least(columns, CELL_EXTRA_CM);
    QList<double> wanted(columns, CELL_EXTRA_CM);
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (int r = 0; r < rows.size(); ++r) {
        const TextWidths &widths = r == 0 ? bold : plain;
        for (int c = 0; c < columns && c < rows.at(r).size(); ++c) {
            for (const QString &line : rows.at(r).at(c).split(QLatin1Char('\n'))) {
                wanted[c] = std::max(wanted[c], widths.cm(line) + CELL_EXTRA_CM);
                for (const QString &word : line.split(blanks, Qt::SkipEmptyParts))
                    least[c] = std::max(least[c], widths.cm(word) + CELL_EXTRA_CM);
            }
        }
    }
    const double leastSum = std::accumulate(least.begin(), least.end(), 0.0);
    const double wantedSum = std::accumulate(wanted.begin(), wanted.end(), 0.0);
    QList<double> out(columns);
    for (int c = 0; c < columns; ++c) {
        if (leastSum >= TEXT_WIDTH_CM)
            out[c] = least[c] * TEXT_WIDTH_CM / leastSum;
        else if (wantedSum <= TEXT_WIDTH_CM)
            out[c] = wanted[c] * TEXT_WIDTH_CM / wantedSum;
        else
            out[c] = least[c] + (wanted[c] - least[c]) * (TEXT_WIDTH_CM - leastSum) / (wantedSum - leastSum);
    }
    return out;
}

// A table of the file: its rows (the first the header, repeated on every
// page and kept with the rows below it, when `header` is set) and its
// columns' widths.
struct Table
{
    QList<QStringList> rows;
    bool header = false;
    QList<double> widths;
};

// What the body holds in order: a paragraph (style, text) or a table (its
// index among the tables).
struct Part
{
    QString style;
    QString text;
    int table = -1;
};

struct Layout
{
    std::vector<Part> parts;
    QList<Table> tables;

    void paragraph(const QString &style, const QString &text) { parts.push_back({style, text}); }
    void table(Table t)
    {
        // (The particulars have no header: their first row is measured bold,
        // near enough for the bold labels.)
        t.widths = columnWidths(t.rows);
        parts.push_back({QString(), QString(), static_cast<int>(tables.size())});
        tables << std::move(t);
    }
};

// The columns of a section's orders: the lifting only for penalties.
QStringList captions(const CardContent::Section &section)
{
    QStringList out{QStringLiteral("Дата"), QStringLiteral("Номер"), section.nameCaption,
                    QStringLiteral("Чей приказ"), QStringLiteral("Исх.№СУ")};
    if (section.lifting)
        out << QStringLiteral("Снятие");
    out << QStringLiteral("Документы");
    return out;
}

QStringList cells(const CardContent::Section &section, const CardContent::Line &line)
{
    QStringList out{line.date, line.number, line.name, line.issuer, line.outgoing};
    if (section.lifting)
        out << line.lifting;
    out << line.documents;
    return out;
}

Layout layOut(const std::vector<CardContent::Card> &cards)
{
    Layout out;
    bool first = true;
    for (const CardContent::Card &card : cards) {
        out.paragraph(first ? QStringLiteral("Title") : QStringLiteral("TitleOnNewPage"), card.title);
        first = false;
        Table particulars;
        for (const CardContent::Particular &p : card.particulars)
            particulars.rows << QStringList{p.label, p.value};
        out.table(std::move(particulars));
        for (const CardContent::Section &section : card.sections) {
            out.paragraph(QStringLiteral("Heading"), section.heading);
            if (section.lines.empty())
                continue;
            Table orders;
            orders.header = true;
            orders.rows << captions(section);
            for (const CardContent::Line &line : section.lines)
                orders.rows << cells(section, line);
            out.table(std::move(orders));
        }
        out.paragraph(QStringLiteral("Made"), card.made);
    }
    return out;
}

void writeParagraphStyles(QXmlStreamWriter &xml)
{
    auto attribute = [&xml](const char *name, const QString &value) {
        xml.writeAttribute(FO, QString::fromLatin1(name), value);
    };
    auto title = [&] {
        attribute("text-align", QStringLiteral("center"));
        attribute("margin-bottom", centimetres(0.2));
        attribute("keep-with-next", QStringLiteral("always"));
    };
    paragraphStyle(xml, QStringLiteral("Title"), 14, true, title);
    paragraphStyle(xml, QStringLiteral("TitleOnNewPage"), 14, true, [&] {
        title();
        attribute("break-before", QStringLiteral("page"));
    });
    // A section's heading stands on the page of the section's first rows.
    paragraphStyle(xml, QStringLiteral("Heading"), 12, true, [&] {
        attribute("margin-top", centimetres(0.35));
        attribute("margin-bottom", centimetres(0.1));
        attribute("keep-with-next", QStringLiteral("always"));
    });
    paragraphStyle(xml, QStringLiteral("Made"), 11, false,
                   [&] { attribute("margin-top", centimetres(0.4)); });
    paragraphStyle(xml, QStringLiteral("Cell"), 11, false);
    paragraphStyle(xml, QStringLiteral("CellBold"), 11, true);
}

// A style `name` of the family `family`; `properties` writes the attributes
// of its properties element.
void writeStyle(QXmlStreamWriter &xml, const QString &name, const QString &family,
                const std::function<void()> &properties)
{
    xml.writeStartElement(STYLE, QStringLiteral("style"));
    xml.writeAttribute(STYLE, QStringLiteral("name"), name);
    xml.writeAttribute(STYLE, QStringLiteral("family"), family);
    xml.writeEmptyElement(STYLE, family + QStringLiteral("-properties"));
    properties();
    xml.writeEndElement();
}

void writeTableStyles(QXmlStreamWriter &xml, const QList<Table> &tables)
{
    writeStyle(xml, QStringLiteral("Box"), QStringLiteral("table-cell"), [&xml] {
        xml.writeAttribute(FO, QStringLiteral("padding"), centimetres(0.1));
        xml.writeAttribute(FO, QStringLiteral("border"), QStringLiteral("0.5pt solid #000000"));
    });
    writeStyle(xml, QStringLiteral("Row"), QStringLiteral("table-row"),
               [&xml] { xml.writeAttribute(FO, QStringLiteral("keep-together"), QStringLiteral("always")); });
    for (int t = 0; t < tables.size(); ++t) {
        const QString name = QStringLiteral("Table%1").arg(t + 1);
        writeStyle(xml, name, QStringLiteral("table"), [&xml] {
            xml.writeAttribute(STYLE, QStringLiteral("width"), centimetres(TEXT_WIDTH_CM));
            xml.writeAttribute(TABLE, QStringLiteral("align"), QStringLiteral("margins"));
            xml.writeAttribute(STYLE, QStringLiteral("may-break-between-rows"), QStringLiteral("true"));
        });
        const QList<double> &widths = tables.at(t).widths;
        for (int c = 0; c < widths.size(); ++c)
            writeStyle(
                xml, QStringLiteral("%1.%2").arg(name).arg(c + 1), QStringLiteral("table-column"), [&] {
                    xml.writeAttribute(STYLE, QStringLiteral("column-width"), centimetres(widths.at(c)));
                });
    }
}

// A row of cells, a paragraph per line of a cell's text; all bold (the
// header), or the first cell (a label of the particulars).
void writeRow(QXmlStreamWriter &xml, const QStringList &cells, bool bold, bool boldFirst)
{
    xml.writeStartElement(TABLE, QStringLiteral("table-row"));
    xml.writeAttribute(TABLE, QStringLiteral("style-name"), QStringLiteral("Row"));
    for (int c = 0; c < cells.size(); ++c) {
        xml.writeStartElement(TABLE, QStringLiteral("table-cell"));
        xml.writeAttribute(TABLE, QStringLiteral("style-name"), QStringLiteral("Box"));
        xml.writeAttribute(OFFICE, QStringLiteral("value-type"), QStringLiteral("string"));
        const QString style =
            bold || (boldFirst && c == 0) ? QStringLiteral("CellBold") : QStringLiteral("Cell");
        for (const QString &line : cells.at(c).split(QLatin1Char('\n')))
            OdtText::paragraph(xml, style, line);
        xml.writeEndElement();
    }
    xml.writeEndElement();
}

void writeTable(QXmlStreamWriter &xml, const Table &table, int index)
{
    const QString name = QStringLiteral("Table%1").arg(index + 1);
    xml.writeStartElement(TABLE, QStringLiteral("table"));
    xml.writeAttribute(TABLE, QStringLiteral("name"), name);
    xml.writeAttribute(TABLE, QStringLiteral("style-name"), name);
    for (int c = 0; c < table.widths.size(); ++c) {
        xml.writeEmptyElement(TABLE, QStringLiteral("table-column"));
        xml.writeAttribute(TABLE, QStringLiteral("style-name"), QStringLiteral("%1.%2").arg(name).arg(c + 1));
    }
    int r = 0;
    if (table.header) {
        xml.writeStartElement(TABLE, QStringLiteral("table-header-rows"));
        writeRow(xml, table.rows.first(), true, false);
        xml.writeEndElement();
        r = 1;
    }
    for (; r < table.rows.size(); ++r)
        writeRow(xml, table.rows.at(r), false, !table.header);
    xml.writeEndElement(); // table
}

} // namespace

QByteArray content(const std::vector<CardContent::Card> &cards)
{
    const Layout layout = layOut(cards);
    QByteArray out;
    QXmlStreamWriter xml(&out);
    OdtText::start(xml, QStringLiteral("document-content"));
    xml.writeStartElement(OFFICE, QStringLiteral("automatic-styles"));
    writeParagraphStyles(xml);
    writeTableStyles(xml, layout.tables);
    xml.writeEndElement(); // automatic-styles

    xml.writeStartElement(OFFICE, QStringLiteral("body"));
    xml.writeStartElement(OFFICE, QStringLiteral("text"));
    for (const Part &part : layout.parts) {
        if (part.table < 0)
            OdtText::paragraph(xml, part.style, part.text);
        else
            writeTable(xml, layout.tables.at(part.table), part.table);
    }
    xml.writeEndDocument();
    return out;
}

} // namespace CardOdt
