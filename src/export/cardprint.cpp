#include "export/cardprint.h"

#include "export/odttext.h"
#include "export/printing.h"
#include "export/tableexport.h"
#include "view/dialogs.h"

#include <QDir>
#include <QFontMetricsF>
#include <QRegularExpression>
#include <QXmlStreamWriter>

#include <numeric>

namespace CardPrint {

namespace {

const QString FAMILY = QStringLiteral("Times New Roman");

// The sections in their order: title and the caption of the name column,
// as the orders window names them.
struct Section
{
    const char *title;
    const char *nameCaption;
};
constexpr Section SECTIONS[6] = {
    {"Взыскания", "Наименование"},
    {"Благодарности", "За что"},
    {"Грамоты", "За что"},
    {"Знаки отличия МО РФ", "Наименование"},
    {"Государственные награды", "Наименование"},
    {"Ветеран военной службы", "За что"},
};

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QStringList headingLabels()
{
    return {QStringLiteral("№ ВП"),          QStringLiteral("Должность"),     QStringLiteral("Воинское звание"),
            QStringLiteral("ФИО"),           QStringLiteral("Дата рождения"), QStringLiteral("Личный номер")};
}

QStringList headingValues(const Cards::Card &card)
{
    return {card.vp, card.position, card.rank, card.name, card.birthDate, card.ln};
}

QString sectionTitle(int s, const std::vector<Cards::Order> &orders)
{
    if (orders.empty())
        return text(SECTIONS[s].title) + QStringLiteral(" — записей нет");
    QString title = text(SECTIONS[s].title) + QStringLiteral(" (%1").arg(orders.size());
    if (s == 0) {
        const auto lifted =
            std::count_if(orders.begin(), orders.end(), [](const Cards::Order &o) { return !o.inForce; });
        if (lifted > 0)
            title += QStringLiteral(", из них снято %1").arg(lifted);
    }
    return title + QLatin1Char(')');
}

// The columns of the orders in the text document: the lifting only for
// penalties.
QStringList captions(int s)
{
    QStringList out{QStringLiteral("Дата"), QStringLiteral("Номер"), text(SECTIONS[s].nameCaption),
                    QStringLiteral("Чей приказ"), QStringLiteral("Исх.№СУ")};
    if (s == 0)
        out << QStringLiteral("Снятие");
    out << QStringLiteral("Документы");
    return out;
}

QString lifting(const Cards::Order &o)
{
    if (o.inForce)
        return QStringLiteral("в силе");
    QString out = QStringLiteral("снято");
    if (!o.liftNumber.isEmpty())
        out += QStringLiteral(" приказом № ") + o.liftNumber;
    if (!o.liftDate.isEmpty())
        out += QStringLiteral(" от ") + o.liftDate;
    return out;
}

QStringList cells(int s, const Cards::Order &o)
{
    QStringList out{o.date, o.number, o.name, o.issuer, o.outgoing};
    if (s == 0)
        out << lifting(o);
    out << o.files.join(QLatin1Char('\n'));
    return out;
}

QString madeLine(const QDate &made)
{
    return QStringLiteral("Карточка составлена ") + made.toString(QStringLiteral("dd.MM.yyyy"));
}

QFont font(int points, bool bold = false)
{
    QFont f(FAMILY, points);
    f.setBold(bold);
    return f;
}

} // namespace

Paper::Document document(const std::vector<Cards::Card> &cards, const QDate &made)
{
    Paper::Document doc;
    doc.parts.reserve(cards.size());
    const QFont body = font(10);
    const QFont bold = font(10, true);
    const QFont particularsFont = font(11);
    const QFont title = font(14, true);
    const QFont lineFont = font(9);
    const QStringList labels = headingLabels();
    // One table of orders for all the sections, each under a heading row:
    // the lifting of a penalty and the reason of a commendation share their
    // columns.
    Paper::Row header;
    for (const QString &caption : {QStringLiteral("Дата"), QStringLiteral("Номер"),
                                   QStringLiteral("Наименование, за что"), QStringLiteral("Чей приказ"),
                                   QStringLiteral("Исх.№СУ"), QStringLiteral("Снятие"), QStringLiteral("Документы")})
        header.push_back(Paper::Cell{caption, QColor(), Qt::AlignCenter});
    const Qt::Alignment top = Qt::AlignLeft | Qt::AlignTop;
    for (const Cards::Card &card : cards) {
        Paper::Part part;
        part.line = QStringLiteral("Служебная карточка — %1, личный номер %2").arg(card.name, card.ln);
        part.lineAtTop = false;
        part.lineFont = lineFont;
        part.blocks.reserve(10);
        part.blocks.emplace_back(Paper::Text{QStringLiteral("Служебная карточка"), title, Qt::AlignHCenter, 0, true});
        const QStringList values = headingValues(card);
        for (int i = 0; i < labels.size(); ++i)
            part.blocks.emplace_back(Paper::Text{labels.at(i) + QStringLiteral(": ") + values.at(i), particularsFont,
                                                 Qt::AlignLeft, i == 0 ? 8.0 : 2.0, i + 1 == labels.size()});
        Paper::Table table;
        table.font = body;
        table.headerFont = bold;
        table.headerBackground = QColor(235, 235, 235);
        table.widths = {52, 48, 140, 96, 50, 68, 70};
        table.header = header;
        for (int s = 0; s < 6; ++s) {
            const std::vector<Cards::Order> &orders = card.orders[static_cast<size_t>(s)];
            table.rows.push_back({Paper::Cell{sectionTitle(s, orders), QColor(), Qt::AlignLeft | Qt::AlignVCenter}});
            for (const Cards::Order &o : orders)
                table.rows.push_back({Paper::Cell{o.date, QColor(), top}, Paper::Cell{o.number, QColor(), top},
                                      Paper::Cell{o.name, QColor(), top}, Paper::Cell{o.issuer, QColor(), top},
                                      Paper::Cell{o.outgoing, QColor(), top},
                                      Paper::Cell{s == 0 ? lifting(o) : QString(), QColor(), top},
                                      Paper::Cell{o.files.join(QLatin1Char('\n')), QColor(), top}});
        }
        part.blocks.emplace_back(Paper::Text{QString(), body, Qt::AlignLeft, 4, false});
        part.blocks.emplace_back(std::move(table));
        part.blocks.emplace_back(Paper::Text{madeLine(made), body, Qt::AlignLeft, 12, false});
        doc.parts.push_back(std::move(part));
    }
    return doc;
}

namespace {

// The OpenDocument card: A4 upright with margins of 2 cm, tables the width
// of the text.
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
    explicit TextWidths(bool bold) : m_metrics(scaled(bold)) {}
    double cm(const QString &text) const { return m_metrics.horizontalAdvance(text) / 100.0 / 72.0 * 2.54; }

private:
    static QFont scaled(bool bold)
    {
        QFont f(FAMILY);
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

// One table of the card: its rows (the first the header, repeated on every
// page and kept with the rows below it, when `header` is set), columns by
// content, no row split over two pages.
struct OdtTable
{
    QList<QStringList> rows;
    bool header = false;
};

QByteArray odtContent(const std::vector<Cards::Card> &cards, const QDate &made)
{
    // The document's parts in order: a paragraph (style, text) or a table.
    struct Part
    {
        QString style;
        QString text;
        int table = -1;
    };
    std::vector<Part> parts;
    QList<OdtTable> tables;
    const QStringList labels = headingLabels();
    bool first = true;
    for (const Cards::Card &card : cards) {
        parts.push_back({first ? QStringLiteral("Title") : QStringLiteral("TitleOnNewPage"),
                         QStringLiteral("Служебная карточка")});
        first = false;
        OdtTable particulars;
        const QStringList values = headingValues(card);
        for (int i = 0; i < labels.size(); ++i)
            particulars.rows << QStringList{labels.at(i), values.at(i)};
        parts.push_back({QString(), QString(), static_cast<int>(tables.size())});
        tables << particulars;
        for (int s = 0; s < 6; ++s) {
            const std::vector<Cards::Order> &orders = card.orders[static_cast<size_t>(s)];
            parts.push_back({QStringLiteral("Heading"), sectionTitle(s, orders)});
            if (orders.empty())
                continue;
            OdtTable section;
            section.header = true;
            section.rows << captions(s);
            for (const Cards::Order &o : orders)
                section.rows << cells(s, o);
            parts.push_back({QString(), QString(), static_cast<int>(tables.size())});
            tables << section;
        }
        parts.push_back({QStringLiteral("Made"), madeLine(made)});
    }

    QByteArray out;
    QXmlStreamWriter xml(&out);
    OdtText::start(xml, QStringLiteral("document-content"));
    xml.writeStartElement(OFFICE, QStringLiteral("automatic-styles"));
    auto centred = [&xml] { xml.writeAttribute(FO, QStringLiteral("text-align"), QStringLiteral("center")); };
    paragraphStyle(xml, QStringLiteral("Title"), 14, true, [&] {
        centred();
        xml.writeAttribute(FO, QStringLiteral("margin-bottom"), centimetres(0.2));
        xml.writeAttribute(FO, QStringLiteral("keep-with-next"), QStringLiteral("always"));
    });
    paragraphStyle(xml, QStringLiteral("TitleOnNewPage"), 14, true, [&] {
        centred();
        xml.writeAttribute(FO, QStringLiteral("margin-bottom"), centimetres(0.2));
        xml.writeAttribute(FO, QStringLiteral("keep-with-next"), QStringLiteral("always"));
        xml.writeAttribute(FO, QStringLiteral("break-before"), QStringLiteral("page"));
    });
    // A section's heading stands on the page of the section's first rows.
    paragraphStyle(xml, QStringLiteral("Heading"), 12, true, [&] {
        xml.writeAttribute(FO, QStringLiteral("margin-top"), centimetres(0.35));
        xml.writeAttribute(FO, QStringLiteral("margin-bottom"), centimetres(0.1));
        xml.writeAttribute(FO, QStringLiteral("keep-with-next"), QStringLiteral("always"));
    });
    paragraphStyle(xml, QStringLiteral("Made"), 11, false,
                   [&] { xml.writeAttribute(FO, QStringLiteral("margin-top"), centimetres(0.4)); });
    paragraphStyle(xml, QStringLiteral("Cell"), 11, false);
    paragraphStyle(xml, QStringLiteral("CellBold"), 11, true);
    xml.writeStartElement(STYLE, QStringLiteral("style"));
    xml.writeAttribute(STYLE, QStringLiteral("name"), QStringLiteral("Box"));
    xml.writeAttribute(STYLE, QStringLiteral("family"), QStringLiteral("table-cell"));
    xml.writeEmptyElement(STYLE, QStringLiteral("table-cell-properties"));
    xml.writeAttribute(FO, QStringLiteral("padding"), centimetres(0.1));
    xml.writeAttribute(FO, QStringLiteral("border"), QStringLiteral("0.5pt solid #000000"));
    xml.writeEndElement();
    xml.writeStartElement(STYLE, QStringLiteral("style"));
    xml.writeAttribute(STYLE, QStringLiteral("name"), QStringLiteral("Row"));
    xml.writeAttribute(STYLE, QStringLiteral("family"), QStringLiteral("table-row"));
    xml.writeEmptyElement(STYLE, QStringLiteral("table-row-properties"));
    xml.writeAttribute(FO, QStringLiteral("keep-together"), QStringLiteral("always"));
    xml.writeEndElement();
    QList<QList<double>> widths;
    for (int t = 0; t < tables.size(); ++t) {
        // (The particulars have no header: their first row is measured bold,
        // near enough for the bold labels.)
        widths << columnWidths(tables.at(t).rows);
        xml.writeStartElement(STYLE, QStringLiteral("style"));
        xml.writeAttribute(STYLE, QStringLiteral("name"), QStringLiteral("Table%1").arg(t + 1));
        xml.writeAttribute(STYLE, QStringLiteral("family"), QStringLiteral("table"));
        xml.writeEmptyElement(STYLE, QStringLiteral("table-properties"));
        xml.writeAttribute(STYLE, QStringLiteral("width"), centimetres(TEXT_WIDTH_CM));
        xml.writeAttribute(TABLE, QStringLiteral("align"), QStringLiteral("margins"));
        xml.writeAttribute(STYLE, QStringLiteral("may-break-between-rows"), QStringLiteral("true"));
        xml.writeEndElement();
        for (int c = 0; c < widths.last().size(); ++c) {
            xml.writeStartElement(STYLE, QStringLiteral("style"));
            xml.writeAttribute(STYLE, QStringLiteral("name"), QStringLiteral("Table%1.%2").arg(t + 1).arg(c + 1));
            xml.writeAttribute(STYLE, QStringLiteral("family"), QStringLiteral("table-column"));
            xml.writeEmptyElement(STYLE, QStringLiteral("table-column-properties"));
            xml.writeAttribute(STYLE, QStringLiteral("column-width"), centimetres(widths.last().at(c)));
            xml.writeEndElement();
        }
    }
    xml.writeEndElement(); // automatic-styles

    xml.writeStartElement(OFFICE, QStringLiteral("body"));
    xml.writeStartElement(OFFICE, QStringLiteral("text"));
    auto row = [&xml](const QStringList &cells, bool bold, bool boldFirst) {
        xml.writeStartElement(TABLE, QStringLiteral("table-row"));
        xml.writeAttribute(TABLE, QStringLiteral("style-name"), QStringLiteral("Row"));
        for (int c = 0; c < cells.size(); ++c) {
            xml.writeStartElement(TABLE, QStringLiteral("table-cell"));
            xml.writeAttribute(TABLE, QStringLiteral("style-name"), QStringLiteral("Box"));
            xml.writeAttribute(OFFICE, QStringLiteral("value-type"), QStringLiteral("string"));
            const bool strong = bold || (boldFirst && c == 0);
            for (const QString &line : cells.at(c).split(QLatin1Char('\n'))) {
                xml.writeStartElement(TEXT, QStringLiteral("p"));
                xml.writeAttribute(TEXT, QStringLiteral("style-name"),
                                   strong ? QStringLiteral("CellBold") : QStringLiteral("Cell"));
                xml.writeCharacters(line);
                xml.writeEndElement();
            }
            xml.writeEndElement();
        }
        xml.writeEndElement();
    };
    for (const Part &part : parts) {
        if (part.table < 0) {
            xml.writeStartElement(TEXT, QStringLiteral("p"));
            xml.writeAttribute(TEXT, QStringLiteral("style-name"), part.style);
            xml.writeCharacters(part.text);
            xml.writeEndElement();
            continue;
        }
        const OdtTable &table = tables.at(part.table);
        const QString name = QStringLiteral("Table%1").arg(part.table + 1);
        xml.writeStartElement(TABLE, QStringLiteral("table"));
        xml.writeAttribute(TABLE, QStringLiteral("name"), name);
        xml.writeAttribute(TABLE, QStringLiteral("style-name"), name);
        for (int c = 0; c < widths.at(part.table).size(); ++c) {
            xml.writeEmptyElement(TABLE, QStringLiteral("table-column"));
            xml.writeAttribute(TABLE, QStringLiteral("style-name"), QStringLiteral("%1.%2").arg(name).arg(c + 1));
        }
        int r = 0;
        if (table.header) {
            xml.writeStartElement(TABLE, QStringLiteral("table-header-rows"));
            row(table.rows.first(), true, false);
            xml.writeEndElement();
            r = 1;
        }
        for (; r < table.rows.size(); ++r)
            row(table.rows.at(r), false, !table.header);
        xml.writeEndElement(); // table
    }
    xml.writeEndDocument();
    return out;
}

} // namespace

bool writeOpenDocument(const std::vector<Cards::Card> &cards, const QDate &made, const QString &fileName,
                       QString *error)
{
    return OdtText::write(odtContent(cards, made), fileName, error);
}

void show(QWidget *parent, const QStringList &personalNumbers)
{
    QStringList missing;
    QSqlError error;
    const std::vector<Cards::Card> cards = Cards::read(personalNumbers, &missing, &error);
    if (error.isValid()) {
        Dialogs::warnFailure(parent, QStringLiteral("Служебная карточка не составлена"), error);
        return;
    }
    if (!missing.isEmpty()) {
        QStringList named;
        for (int i = 0; i < missing.size() && i < 5; ++i)
            named << QStringLiteral("«%1»").arg(missing.at(i));
        QString message =
            missing.size() == 1
                ? QStringLiteral("Военнослужащего с личным номером %1 нет в базе: его запись удалена или "
                                 "изменена после того, как таблица была заполнена. Обновите таблицу.")
                      .arg(named.first())
                : QStringLiteral("Военнослужащих с личными номерами %1 нет в базе: их записи удалены или "
                                 "изменены после того, как таблица была заполнена. Обновите таблицу.")
                      .arg(named.join(QStringLiteral(", ")) +
                           (missing.size() > 5 ? QStringLiteral(" и ещё %1").arg(missing.size() - 5) : QString()));
        if (!cards.empty())
            message += QStringLiteral(" Карточки остальных составлены.");
        Dialogs::warn(parent, message);
        if (cards.empty())
            return;
    }
    const QDate made = QDate::currentDate();
    const Paper::Document doc = document(cards, made);
    Printing::Texts texts;
    texts.title = cards.size() == 1 ? QStringLiteral("Служебная карточка")
                                    : QStringLiteral("Служебные карточки (%1)").arg(cards.size());
    texts.notPrinted = cards.size() == 1 ? QStringLiteral("Карточка не напечатана")
                                         : QStringLiteral("Карточки не напечатаны");
    texts.notSaved =
        cards.size() == 1 ? QStringLiteral("Карточка не сохранена") : QStringLiteral("Карточки не сохранены");
    const Printing::Command odt{QStringLiteral("Сохранить в .odt…"), [&](QWidget *preview) {
                                    const QString name =
                                        Printing::askFileName(preview, QStringLiteral("Сохранить в .odt"),
                                                              QStringLiteral("ODF files (*.odt)"), QStringLiteral(".odt"));
                                    if (name.isEmpty())
                                        return;
                                    QString why;
                                    if (!writeOpenDocument(cards, made, name, &why))
                                        Dialogs::warn(preview, QStringLiteral("%1 в файл «%2»: %3.")
                                                                            .arg(texts.notSaved,
                                                                                 QDir::toNativeSeparators(name), why));
                                }};
    Printing::preview(parent, doc, QPageLayout::Portrait, texts, {odt});
}

} // namespace CardPrint
