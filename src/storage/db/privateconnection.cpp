#include "storage/db/privateconnection.h"

#include "function.h"
#include "storage/db/copystop.h"

#include <atomic>

const QString PrivateConnection::READ_ONLY = QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000");

PrivateConnection::PrivateConnection(const QString &path, const QString &options, Stop stop)
{
    // Connections may be opened in several threads at once (the daily copy).
    static std::atomic<int> counter{0};
    m_name = QStringLiteral("vedomer_private_%1").arg(++counter);
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(options);
    m_opened = m_db.open();
    if (m_opened && stop == Stop::Watched)
        CopyStop::watch(m_db);
}

PrivateConnection::~PrivateConnection()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool PrivateConnection::run(const QSqlDatabase &db, const QString &sql, const QVariantList &values,
                            QSqlQuery *result, QSqlError *error)
{
    QSqlQuery query = Function::Myquery(sql, values, db);
    if (!query.isActive()) {
        if (error)
            *error = query.lastError();
        return false;
    }
    if (result)
        *result = std::move(query);
    return true;
}
