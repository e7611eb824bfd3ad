#include "storage/register/cards.h"

#include "function.h"
#include "storage/register/dates.h"
#include "storage/db/quoting.h"
#include "storage/register/summarycolumns.h"

#include <QHash>
#include <QSqlQuery>

#include <algorithm>

namespace Cards {

QString code(int section)
{
    return SummaryColumns::categoryOf(SummaryColumns::FIRST_COUNT + section);
}

namespace {
using Index = QHash<QString, int>;
// Orders by (personal number, code, number), for their documents.
using ByNumber = QHash<QString, std::vector<Order *>>;

QString quotedList(const QStringList &personalNumbers)
{
    QString list;
    list.reserve(personalNumbers.size() * 14);
    for (const QString &ln : personalNumbers) {
        if (!list.isEmpty())
            list += QLatin1Char(',');
        list += QLatin1Char('\'') + Query::quote(ln) + QLatin1Char('\'');
    }
    return list;
}

// Runs one of the card statements over the quoted personal numbers.
bool select(const Sql::Dialects &statement, const QString &list, QSqlQuery *query, QSqlError *error)
{
    *query = Function::Myquery(Sql::text(statement).arg(list));
    if (!query->isActive())
        *error = query->lastError();
    return query->isActive();
}

void readServicemen(QSqlQuery &query, std::vector<Card> *found, Index *index)
{
    while (query.next()) {
        Card card;
        card.vp = query.value(0).toString();
        card.position = query.value(1).toString();
        card.rank = query.value(2).toString();
        card.name = query.value(3).toString();
        card.birthDate = query.value(4).toString();
        card.ln = query.value(5).toString();
        if (!index->contains(card.ln)) {
            index->insert(card.ln, static_cast<int>(found->size()));
            found->push_back(std::move(card));
        }
    }
}

void readOrders(QSqlQuery &query, const Index &index, std::vector<Card> *found)
{
    QHash<QString, int> sections;
    for (int s = 0; s < 6; ++s)
        sections.insert(code(s), s);
    while (query.next()) {
        const auto owner = index.constFind(query.value(0).toString());
        const auto section = sections.constFind(query.value(1).toString());
        if (owner == index.constEnd() || section == sections.constEnd())
            continue;
        Order o;
        o.name = query.value(2).toString();
        o.date = query.value(3).toString();
        o.number = query.value(4).toString();
        o.issuer = query.value(5).toString();
        o.outgoing = query.value(6).toString();
        o.liftNumber = query.value(7).toString();
        o.liftDate = query.value(8).toString();
        // As the count reads it: in force is the value 1.
        o.inForce = query.value(9).toInt() == 1;
        (*found)[static_cast<size_t>(*owner)].orders[static_cast<size_t>(*section)].push_back(std::move(o));
    }
}

// Each section in date order, orders without a readable date last; the
// orders are then indexed by their number.
void sortByDate(Card &card, ByNumber *byNumber)
{
    for (int s = 0; s < 6; ++s) {
        std::vector<Order> &orders = card.orders[static_cast<size_t>(s)];
        std::vector<std::pair<QDate, size_t>> keys;
        keys.reserve(orders.size());
        for (size_t i = 0; i < orders.size(); ++i)
            keys.emplace_back(Dates::parse(orders[i].date), i);
        std::stable_sort(keys.begin(), keys.end(), [](const auto &a, const auto &b) {
            if (a.first.isValid() != b.first.isValid())
                return a.first.isValid();
            return a.first < b.first;
        });
        std::vector<Order> sorted;
        sorted.reserve(orders.size());
        for (const auto &key : keys)
            sorted.push_back(std::move(orders[key.second]));
        orders = std::move(sorted);
        for (Order &o : orders)
            (*byNumber)[card.ln + QChar(0) + code(s) + QChar(0) + o.number].push_back(&o);
    }
}

void readFiles(QSqlQuery &query, const ByNumber &byNumber)
{
    while (query.next()) {
        const QString key = query.value(0).toString() + QChar(0) + query.value(1).toString() + QChar(0) +
                            query.value(2).toString();
        const auto orders = byNumber.constFind(key);
        if (orders == byNumber.constEnd())
            continue;
        for (Order *o : *orders)
            o->files.append(query.value(3).toString());
    }
}
} // namespace

std::vector<Card> read(const QStringList &personalNumbers, QStringList *missing, QSqlError *error)
{
    std::vector<Card> cards;
    *error = QSqlError();
    missing->clear();
    if (personalNumbers.isEmpty())
        return cards;
    // One statement per table for all the cards, however many.
    const QString list = quotedList(personalNumbers);
    Index index;
    std::vector<Card> found;
    QSqlQuery query;
    if (!select(Sql::SELECT_CARD_SERVICEMEN, list, &query, error))
        return cards;
    readServicemen(query, &found, &index);
    if (!select(Sql::SELECT_CARD_ORDERS, list, &query, error))
        return cards;
    readOrders(query, index, &found);
    ByNumber byNumber;
    for (Card &card : found)
        sortByDate(card, &byNumber);
    if (!select(Sql::SELECT_CARD_FILES, list, &query, error))
        return cards;
    readFiles(query, byNumber);

    cards.reserve(found.size());
    for (const QString &ln : personalNumbers) {
        const auto at = index.constFind(ln);
        if (at == index.constEnd()) {
            missing->append(ln);
            continue;
        }
        cards.push_back(found[static_cast<size_t>(*at)]);
    }
    return cards;
}

} // namespace Cards
