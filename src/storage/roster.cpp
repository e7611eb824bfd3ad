#include "storage/roster.h"

#include "function.h"
#include "storage/query.h"

#include <QSqlQuery>

#include <algorithm>

namespace Roster {

std::vector<Row> read(const QString &statement, QSqlError *error)
{
    QSqlQuery query = Function::Myquery(statement);
    std::vector<Row> rows;
    while (query.next()) {
        Row row;
        for (int c = 0; c < static_cast<int>(row.size()); ++c)
            row[static_cast<size_t>(c)] = query.value(c).toString();
        rows.push_back(std::move(row));
    }
    if (error)
        *error = query.lastError();
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
