#include "storage/register/roster.h"

#include "function.h"
#include "storage/db/quoting.h"
#include "storage/db/sql.h"

#include <QSqlQuery>

#include <QByteArray>

#include <algorithm>

namespace Roster {

namespace {

// The columns of both roster statements that order them.
constexpr int UNIT = 0;
constexpr int NAME = 3;
constexpr int POSITION_NUMBER = 12;
constexpr int RANK_NUMBER = 13;

bool digit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

bool blank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// A unit number that SQLite's affinity keeps as a number (blanks around it,
// a sign, digits with a point, an exponent of up to four digits), as a
// value 0.digits x 10^exponent with neither leading nor trailing zeros in
// `digits` (none for zero), so that two of them compare exactly.
struct Number
{
    int sign = 0;
    int exponent = 0;
    QByteArray digits;
};

bool number(QStringView text, Number *n)
{
    qsizetype i = 0, end = text.size();
    while (i < end && blank(text[i]))
        ++i;
    while (end > i && blank(text[end - 1]))
        --end;
    int sign = 1;
    if (i < end && (text[i] == u'+' || text[i] == u'-'))
        sign = text[i++] == u'-' ? -1 : 1;
    QByteArray all;
    qsizetype whole = 0;
    bool point = false;
    for (; i < end && (digit(text[i]) || (text[i] == u'.' && !point)); ++i) {
        if (text[i] == u'.')
            point = true;
        else {
            all.append(char(text[i].unicode()));
            whole += point ? 0 : 1;
        }
    }
    if (all.isEmpty())
        return false;
    int exponent = 0;
    if (i < end && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        int expSign = 1;
        if (i < end && (text[i] == u'+' || text[i] == u'-'))
            expSign = text[i++] == u'-' ? -1 : 1;
        int places = 0;
        for (; i < end && digit(text[i]); ++i, ++places)
            exponent = exponent * 10 + (text[i].unicode() - '0');
        if (places < 1 || places > 4)
            return false;
        exponent *= expSign;
    }
    if (i != end)
        return false;
    qsizetype zeros = 0;
    while (zeros < all.size() && all[zeros] == '0')
        ++zeros;
    all = all.mid(zeros);
    while (!all.isEmpty() && all.back() == '0')
        all.chop(1);
    n->sign = all.isEmpty() ? 0 : sign;
    n->exponent = all.isEmpty() ? 0 : int(whole - zeros) + exponent;
    n->digits = all;
    return true;
}

int compareNumbers(const Number &a, const Number &b)
{
    if (a.sign != b.sign)
        return a.sign < b.sign ? -1 : 1;
    int magnitude = a.exponent != b.exponent ? (a.exponent < b.exponent ? -1 : 1) : a.digits.compare(b.digits);
    magnitude = magnitude < 0 ? -1 : magnitude > 0 ? 1 : 0;
    return a.sign * magnitude;
}

// What orders a row: its unit number (none, a number, or a text compared by
// its bytes), the position and rank numbers, then the full name by its bytes,
// each missing value first.
struct Place
{
    int unitKind = 0; // 0 none, 1 a number, 2 a text
    Number unit;
    QByteArray unitText;
    bool position = false;
    qlonglong positionNumber = 0;
    bool rank = false;
    qlonglong rankNumber = 0;
    bool named = false;
    QByteArray name;
};

bool before(const Place &a, const Place &b)
{
    if (a.unitKind != b.unitKind)
        return a.unitKind < b.unitKind;
    if (a.unitKind == 1) {
        if (const int c = compareNumbers(a.unit, b.unit))
            return c < 0;
    } else if (a.unitKind == 2 && a.unitText != b.unitText) {
        return a.unitText < b.unitText;
    }
    if (a.position != b.position)
        return !a.position;
    if (a.positionNumber != b.positionNumber)
        return a.positionNumber < b.positionNumber;
    if (a.rank != b.rank)
        return !a.rank;
    if (a.rankNumber != b.rankNumber)
        return a.rankNumber < b.rankNumber;
    if (a.named != b.named)
        return !a.named;
    return a.name < b.name;
}

} // namespace

std::vector<Row> read(Table table, QSqlError *error)
{
    return read(Sql::text(table == Table::Summary ? Sql::SELECT_SUMMARY : Sql::SELECT_ROSTER), error);
}

std::vector<Row> read(const QString &statement, QSqlError *error)
{
    QSqlQuery query = Function::Myquery(statement);
    const bool server = Sql::onServer();
    std::vector<Row> rows;
    std::vector<Place> places;
    while (query.next()) {
        Row row;
        for (int c = 0; c < static_cast<int>(row.size()); ++c)
            row[static_cast<size_t>(c)] = query.value(c).toString();
        if (server) {
            Place p;
            if (!query.isNull(UNIT))
                p.unitKind = number(row[UNIT], &p.unit) ? 1 : 2;
            if (p.unitKind == 2)
                p.unitText = row[UNIT].toUtf8();
            p.position = !query.isNull(POSITION_NUMBER);
            p.positionNumber = row[POSITION_NUMBER].toLongLong();
            p.rank = !query.isNull(RANK_NUMBER);
            p.rankNumber = row[RANK_NUMBER].toLongLong();
            p.named = !query.isNull(NAME);
            p.name = row[NAME].toUtf8();
            places.push_back(std::move(p));
        }
        rows.push_back(std::move(row));
    }
    if (error)
        *error = query.lastError();
    // The server gives the rows unordered (see Sql::SELECT_SUMMARY): they are
    // put in the file's order here.
    if (server) {
        std::vector<size_t> order(rows.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&places](size_t a, size_t b) { return before(places[a], places[b]); });
        std::vector<Row> ordered;
        ordered.reserve(rows.size());
        for (const size_t i : order)
            ordered.push_back(std::move(rows[i]));
        rows = std::move(ordered);
    }
    unitOrder(rows);
    return rows;
}

void unitOrder(std::vector<Row> &rows)
{
    std::vector<size_t> order;
    std::vector<size_t> others;
    order.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        (rows[i][0].toInt() == 0 ? order : others).push_back(i);
    std::stable_sort(order.begin(), order.end(), [&rows](size_t a, size_t b) {
        return Function::compareStrings(rows[a][0], rows[b][0]);
    });
    order.insert(order.end(), others.begin(), others.end());
    std::vector<Row> ordered;
    ordered.reserve(rows.size());
    for (const size_t i : order)
        ordered.push_back(std::move(rows[i]));
    rows = std::move(ordered);
}

int countOf(const char *statement, const QString &ln, QSqlError *error)
{
    QSqlQuery query = Function::Myquery(QString::fromLatin1(statement).arg(Query::quote(ln)));
    if (!query.next()) {
        *error = query.lastError();
        return -1;
    }
    return query.value(0).toInt();
}

int count(const QString &ln, QSqlError *error)
{
    return countOf(Sql::COUNT_SERVICEMAN, ln, error);
}

} // namespace Roster
