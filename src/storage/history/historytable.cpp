#include "storage/history/historytable.h"

#include "storage/privateconnection.h"
#include "storage/sql.h"

#include <QSqlError>

namespace History {

bool ensureTable(const QSqlDatabase &db, QSqlError *error)
{
    return PrivateConnection::run(db, Sql::text(Sql::CREATE_HISTORY, db), {}, nullptr, error) &&
           PrivateConnection::run(db, QString::fromLatin1(Sql::CREATE_HISTORY_LN_INDEX), {}, nullptr, error) &&
           PrivateConnection::run(db, QString::fromLatin1(Sql::CREATE_HISTORY_WHO_INDEX), {}, nullptr, error);
}

} // namespace History
