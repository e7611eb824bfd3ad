#include "export/cardprint.h"

#include "export/printing.h"
#include "export/tableexport.h"
#include "view/dialogs.h"

#include <QDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

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

void fill(QTextDocument *text, const std::vector<Cards::Card> &cards, const QDate &made)
{
    text->setDefaultFont(font(11));
    QTextCursor cursor(text);
    QTextCharFormat plain;
    plain.setFont(font(11));
    QTextCharFormat strong;
    strong.setFont(font(11, true));
    QTextCharFormat titleFormat;
    titleFormat.setFont(font(14, true));
    QTextCharFormat headingFormat;
    headingFormat.setFont(font(12, true));
    QTextTableFormat tableFormat;
    tableFormat.setBorder(0.5);
    tableFormat.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    tableFormat.setCellPadding(2);
    tableFormat.setCellSpacing(0);
    tableFormat.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    auto put = [](QTextTable *table, int row, int column, const QString &value, const QTextCharFormat &format) {
        table->cellAt(row, column).firstCursorPosition().insertText(value, format);
    };
    const QStringList labels = headingLabels();
    bool first = true;
    for (const Cards::Card &card : cards) {
        QTextBlockFormat titleBlock;
        titleBlock.setAlignment(Qt::AlignHCenter);
        if (!first)
            titleBlock.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        if (first)
            cursor.setBlockFormat(titleBlock);
        else
            cursor.insertBlock(titleBlock);
        first = false;
        cursor.insertText(QStringLiteral("Служебная карточка"), titleFormat);

        QTextTable *particulars = cursor.insertTable(static_cast<int>(labels.size()), 2, tableFormat);
        const QStringList values = headingValues(card);
        for (int i = 0; i < labels.size(); ++i) {
            put(particulars, i, 0, labels.at(i), strong);
            put(particulars, i, 1, values.at(i), plain);
        }
        cursor.movePosition(QTextCursor::End);

        for (int s = 0; s < 6; ++s) {
            const std::vector<Cards::Order> &orders = card.orders[static_cast<size_t>(s)];
            QTextBlockFormat headingBlock;
            headingBlock.setTopMargin(10);
            cursor.insertBlock(headingBlock);
            cursor.insertText(sectionTitle(s, orders), headingFormat);
            if (orders.empty())
                continue;
            const QStringList heads = captions(s);
            QTextTableFormat withHeader = tableFormat;
            withHeader.setHeaderRowCount(1);
            QTextTable *table =
                cursor.insertTable(static_cast<int>(orders.size()) + 1, static_cast<int>(heads.size()), withHeader);
            for (int c = 0; c < heads.size(); ++c)
                put(table, 0, c, heads.at(c), strong);
            int n = 0;
            for (const Cards::Order &o : orders) {
                const QStringList row = cells(s, o);
                ++n;
                for (int c = 0; c < row.size(); ++c)
                    put(table, n, c, row.at(c), plain);
            }
            cursor.movePosition(QTextCursor::End);
        }
        QTextBlockFormat madeBlock;
        madeBlock.setTopMargin(12);
        cursor.insertBlock(madeBlock);
        cursor.insertText(madeLine(made), plain);
    }
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
                                    QTextDocument text;
                                    fill(&text, cards, made);
                                    QString why;
                                    if (!TableExport::writeOpenDocumentText(text, name, &why))
                                        Dialogs::warn(preview, QStringLiteral("%1 в файл «%2»: %3.")
                                                                            .arg(texts.notSaved,
                                                                                 QDir::toNativeSeparators(name), why));
                                }};
    Printing::preview(parent, doc, QPageLayout::Portrait, texts, {odt});
}

} // namespace CardPrint
