#include "storage/db/sql.h"

#include <QSqlDatabase>

namespace Sql {

bool onServer(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL");
}

bool onServer()
{
    return onServer(QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false));
}

QString text(const char *statement)
{
    return QString::fromUtf8(statement);
}

QString text(const Dialects &statement, const QSqlDatabase &db)
{
    return QString::fromUtf8(onServer(db) ? statement.postgresql : statement.sqlite);
}

QString text(const Dialects &statement)
{
    return QString::fromUtf8(onServer() ? statement.postgresql : statement.sqlite);
}

} // namespace Sql
