#include "storage/recount.h"

#include "function.h"
#include "view/columns.h"

#include <QSqlQuery>

Recount::Result Recount::category(const QString &ln, const QString &code, QSqlError *error)
{
    // The code stands in the statement as a column name: only the six codes.
    if (!Columns::isCategory(code))
        return Result::NotACategory;
    int count = 0;
    QSqlQuery query;
    if (code == QLatin1String(Code::VZS)) {
        query = Function::Myquery(QString::fromLatin1(Sql::COUNT_VZS_1) + Function::q(ln) +
                                  QString::fromLatin1(Sql::COUNT_VZS_2) + Function::q(code) +
                                  QString::fromLatin1(Sql::COUNT_VZS_3));
        // Only penalties in force count; lifted ones hold 0.
        while (query.next()) {
            if (query.value(0).toInt() == 1)
                ++count;
        }
    } else {
        query = Function::Myquery(QString::fromLatin1(Sql::COUNT_OTHER_1).arg(QStringLiteral("prikaz")) +
                                  Function::q(ln) + QString::fromLatin1(Sql::COUNT_OTHER_2) + Function::q(code) +
                                  QString::fromLatin1(Sql::COUNT_OTHER_3));
        while (query.next())
            ++count;
    }
    if (!query.isActive()) {
        *error = query.lastError();
        return Result::NotCounted;
    }
    query.finish();
    query = Function::Myquery(QString::fromLatin1(Sql::UPDATE_COUNT_1) + code +
                              QString::fromLatin1(Sql::UPDATE_COUNT_2).arg(count) + Function::q(ln) +
                              QString::fromLatin1(Sql::UPDATE_COUNT_3));
    if (!query.isActive()) {
        *error = query.lastError();
        return Result::NotWritten;
    }
    return Result::Done;
}
