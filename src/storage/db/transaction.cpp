#include "storage/db/transaction.h"

#include "function.h"
#include "storage/db/errors.h"

#include <utility>

bool Transaction::begin(QSqlError *error)
{
    const QSqlQuery query = Function::Myquery(Sql::text(Sql::BEGIN_IMMEDIATE));
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

namespace {

bool once(const std::function<bool(QSqlError &)> &steps, QSqlError &error)
{
    error = QSqlError();
    Transaction transaction;
    // The failing statement's error is the one to report, not the rollback's.
    return transaction.begin(&error) && steps(error) && transaction.commit(&error);
}

} // namespace

bool Transaction::run(const std::function<bool(QSqlError &)> &steps, QSqlError &error)
{
    if (once(steps, error))
        return true;
    const QString driver =
        QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false).driverName();
    if (!Errors::isConflict(error, driver))
        return false;
    return once(steps, error);
}
