#include "export/cardcontent.h"

#include <algorithm>

namespace CardContent {

namespace {

// The sections in their order: title and the caption of the name column,
// as the orders window names them.
struct Category
{
    const char *title;
    const char *nameCaption;
};
constexpr Category CATEGORIES[6] = {
    {"Взыскания", "Наименование"},
    {"Благодарности", "За что"},
    {"Грамоты", "За что"},
    {"Знаки отличия МО РФ", "Наименование"},
    {"Государственные награды", "Наименование"},
    {"Ветеран военной службы", "За что"},
};

QString heading(int s, const std::vector<Cards::Order> &orders)
{
    const QString title = QString::fromUtf8(CATEGORIES[s].title);
    if (orders.empty())
        return title + QStringLiteral(" — записей нет");
    QString out = title + QStringLiteral(" (%1").arg(orders.size());
    if (s == 0) {
        const auto lifted =
            std::count_if(orders.begin(), orders.end(), [](const Cards::Order &o) { return !o.inForce; });
        if (lifted > 0)
            out += QStringLiteral(", из них снято %1").arg(lifted);
    }
    return out + QLatin1Char(')');
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

Section section(int s, const std::vector<Cards::Order> &orders)
{
    Section out;
    out.heading = heading(s, orders);
    out.nameCaption = QString::fromUtf8(CATEGORIES[s].nameCaption);
    out.lifting = s == 0;
    out.lines.reserve(orders.size());
    for (const Cards::Order &o : orders)
        out.lines.push_back({o.date, o.number, o.name, o.issuer, o.outgoing,
                             out.lifting ? lifting(o) : QString(), o.files.join(QLatin1Char('\n'))});
    return out;
}

} // namespace

Card build(const Cards::Card &card, const QDate &made)
{
    Card out;
    out.title = QStringLiteral("Служебная карточка");
    out.pageLine = QStringLiteral("Служебная карточка — %1, личный номер %2").arg(card.name, card.ln);
    out.particulars = {{QStringLiteral("№ ВП"), card.vp},
                       {QStringLiteral("Должность"), card.position},
                       {QStringLiteral("Воинское звание"), card.rank},
                       {QStringLiteral("ФИО"), card.name},
                       {QStringLiteral("Дата рождения"), card.birthDate},
                       {QStringLiteral("Личный номер"), card.ln}};
    out.sections.reserve(card.orders.size());
    for (int s = 0; s < 6; ++s)
        out.sections.push_back(section(s, card.orders[static_cast<size_t>(s)]));
    out.made = QStringLiteral("Карточка составлена ") + made.toString(QStringLiteral("dd.MM.yyyy"));
    return out;
}

std::vector<Card> build(const std::vector<Cards::Card> &cards, const QDate &made)
{
    std::vector<Card> out;
    out.reserve(cards.size());
    for (const Cards::Card &card : cards)
        out.push_back(build(card, made));
    return out;
}

} // namespace CardContent
