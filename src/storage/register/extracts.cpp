#include "storage/register/extracts.h"

#include "storage/db/privateconnection.h"
#include "storage/db/sql.h"

#include <QCollator>
#include <QLocale>
#include <QSqlQuery>

#include <algorithm>

namespace Extracts {

std::vector<Extract> read(const QString &code, const QString &number, const QString &date, const QString &ln,
                          QSqlError *error)
{
    std::vector<Extract> out;
    *error = QSqlError();
    QVariantList values{code, number, date};
    if (!ln.isEmpty())
        values << ln;
    QSqlQuery query;
    if (!PrivateConnection::run(
            QSqlDatabase(),
            QString::fromLatin1(ln.isEmpty() ? Sql::SELECT_EXTRACTS_ALL : Sql::SELECT_EXTRACT_ONE), values,
            &query, error))
        return out;
    while (query.next()) {
        Extract e;
        e.code = code;
        e.number = number;
        e.date = date;
        e.rank = query.value(0).toString();
        e.name = query.value(1).toString();
        e.ln = query.value(2).toString();
        e.title = query.value(3).toString();
        e.issuer = query.value(4).toString();
        e.outgoing = query.value(5).toString();
        e.liftNumber = query.value(6).toString();
        e.liftDate = query.value(7).toString();
        // As the count reads it: in force is the value 1.
        e.inForce = query.value(8).toInt() == 1;
        out.push_back(std::move(e));
    }
    if (query.lastError().isValid()) {
        *error = query.lastError();
        out.clear();
        return out;
    }
    // By name as a Russian reader sorts (Ё with Е), then by personal number.
    QCollator collator{QLocale(QLocale::Russian, QLocale::Russia)};
    std::stable_sort(out.begin(), out.end(), [&collator](const Extract &a, const Extract &b) {
        const int byName = collator.compare(a.name, b.name);
        return byName != 0 ? byName < 0 : a.ln < b.ln;
    });
    return out;
}

} // namespace Extracts
