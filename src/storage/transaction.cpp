#include "storage/transaction.h"

#include "function.h"

#include <utility>

bool Transaction::begin(QSqlError *error)
{
    const QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::BEGIN_IMMEDIATE));
    m_open = query.isActive();
    if (!m_open)
        *error = query.lastError();
    return m_open;
}

bool Transaction::commit(QSqlError *error)
{
    const QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::COMMIT));
    if (query.isActive()) {
        m_open = false;
        return true;
    }
    *error = query.lastError();
    rollback();
    return false;
}

void Transaction::rollback()
{
    if (std::exchange(m_open, false))
        Function::Myquery(QString::fromLatin1(Sql::ROLLBACK));
}
