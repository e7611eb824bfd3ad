#include "export/cardprint.h"

#include "export/cardcontent.h"
#include "export/cardodt.h"
#include "export/odttext.h"
#include "export/printing.h"
#include "view/dialogs.h"

namespace CardPrint {

namespace {

QFont font(int points, bool bold = false)
{
    QFont f(OdtText::family(), points);
    f.setBold(bold);
    return f;
}

// One table of orders for all the sections, each under a heading row: the
// lifting of a penalty and the reason of a commendation share their columns.
Paper::Table ordersTable(const CardContent::Card &card, const QFont &body)
{
    Paper::Table table;
    table.font = body;
    table.headerFont = font(10, true);
    table.headerBackground = QColor(235, 235, 235);
    table.widths = {52, 48, 140, 96, 50, 68, 70};
    for (const QString &caption :
         {QStringLiteral("Дата"), QStringLiteral("Номер"), QStringLiteral("Наименование, за что"),
          QStringLiteral("Чей приказ"), QStringLiteral("Исх.№СУ"), QStringLiteral("Снятие"),
          QStringLiteral("Документы")})
        table.header.push_back(Paper::Cell{caption, QColor(), Qt::AlignCenter});
    const Qt::Alignment top = Qt::AlignLeft | Qt::AlignTop;
    for (const CardContent::Section &section : card.sections) {
        table.rows.push_back({Paper::Cell{section.heading, QColor(), Qt::AlignLeft | Qt::AlignVCenter}});
        for (const CardContent::Line &l : section.lines)
            table.rows.push_back({Paper::Cell{l.date, QColor(), top}, Paper::Cell{l.number, QColor(), top},
                                  Paper::Cell{l.name, QColor(), top}, Paper::Cell{l.issuer, QColor(), top},
                                  Paper::Cell{l.outgoing, QColor(), top},
                                  Paper::Cell{l.lifting, QColor(), top},
                                  Paper::Cell{l.documents, QColor(), top}});
    }
    return table;
}

// A card's page: the title, the particulars a line each, the orders' table
// and the date made; whose card it is at the foot.
Paper::Part part(const CardContent::Card &card)
{
    const QFont body = font(10);
    const QFont particulars = font(11);
    Paper::Part part;
    part.line = card.pageLine;
    part.lineAtTop = false;
    part.lineFont = font(9);
    part.blocks.reserve(card.particulars.size() + 4);
    part.blocks.emplace_back(Paper::Text{card.title, font(14, true), Qt::AlignHCenter, 0, true});
    for (size_t i = 0; i < card.particulars.size(); ++i)
        part.blocks.emplace_back(
            Paper::Text{card.particulars[i].label + QStringLiteral(": ") + card.particulars[i].value,
                        particulars, Qt::AlignLeft, i == 0 ? 8.0 : 2.0, i + 1 == card.particulars.size()});
    part.blocks.emplace_back(Paper::Text{QString(), body, Qt::AlignLeft, 4, false});
    part.blocks.emplace_back(ordersTable(card, body));
    part.blocks.emplace_back(Paper::Text{card.made, body, Qt::AlignLeft, 12, false});
    return part;
}

} // namespace

Paper::Document document(const std::vector<Cards::Card> &cards, const QDate &made)
{
    Paper::Document doc;
    doc.parts.reserve(cards.size());
    for (const CardContent::Card &card : CardContent::build(cards, made))
        doc.parts.push_back(part(card));
    return doc;
}

bool writeOpenDocument(const std::vector<Cards::Card> &cards, const QDate &made, const QString &fileName,
                       QString *error)
{
    return OdtText::write(CardOdt::content(CardContent::build(cards, made)), fileName, error);
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
                           (missing.size() > 5 ? QStringLiteral(" и ещё %1").arg(missing.size() - 5)
                                               : QString()));
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
    const Printing::Command odt =
        Printing::saveOpenDocument(texts.notSaved, [&](const QString &name, QString *why) {
            return writeOpenDocument(cards, made, name, why);
        });
    Printing::preview(parent, doc, QPageLayout::Portrait, texts, {odt});
}

} // namespace CardPrint
