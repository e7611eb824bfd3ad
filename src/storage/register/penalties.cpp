#include "storage/register/penalties.h"

#include "function.h"
#include "storage/db/quoting.h"
#include "storage/register/dates.h"

#include <QSqlQuery>

namespace Penalties {

bool read(int months, const QDate &today, InForce *result, QSqlError *error)
{
    result->servicemen.clear();
    result->old.clear();
    QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::SELECT_PENALTIES_IN_FORCE)
                                            .arg(QLatin1String(Code::VZS), QLatin1String(IN_FORCE)));
    while (query.next()) {
        const QString ln = query.value(0).toString();
        result->servicemen.insert(ln);
        if (months > 0 && isOld(Dates::parse(query.value(1).toString()), months, today))
            ++result->old[ln];
    }
    if (!query.isActive()) {
        *error = query.lastError();
        return false;
    }
    return true;
}

bool recorded(QSet<QString> *servicemen, QSqlError *error)
{
    servicemen->clear();
    // On a server the code is quoted into the text: a bound value costs two
    // more round trips there (PREPARE and DEALLOCATE).
    const QString code = QString::fromLatin1(Code::VZS);
    QSqlQuery query =
        Sql::onServer()
            ? Function::Myquery(QString::fromLatin1(Sql::SELECT_WITH_ORDERS_QUOTED).arg(Query::quote(code)))
            : Function::Myquery(QString::fromLatin1(Sql::SELECT_WITH_ORDERS), QVariantList{code});
    while (query.next())
        servicemen->insert(query.value(0).toString());
    if (!query.isActive()) {
        *error = query.lastError();
        return false;
    }
    return true;
}

bool isOld(const QDate &date, int months, const QDate &today)
{
    if (months <= 0 || !date.isValid())
        return false;
    const QDate due = date.addMonths(months);
    return due.isValid() && due < today;
}

QString age(const QDate &date, const QDate &today)
{
    int months = (today.year() - date.year()) * 12 + today.month() - date.month();
    if (date.addMonths(months) > today)
        --months;
    const qint64 days = date.addMonths(months).daysTo(today);
    QString text = QStringLiteral("%1 мес.").arg(months);
    if (days > 0)
        text += QStringLiteral(" %1 дн.").arg(days);
    return text;
}

} // namespace Penalties
