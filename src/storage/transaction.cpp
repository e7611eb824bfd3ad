#include "storage/transaction.h"

#include "function.h"

namespace {

bool once(const std::function<bool(QSqlError &)> &steps, QSqlError &error)
{
    error = QSqlError();
    QSqlQuery begin = Function::Myquery(Sql::text(Sql::BEGIN_IMMEDIATE));
    if (!begin.isActive()) {
        error = begin.lastError();
        return false;
    }
    bool ok = steps(error);
    if (ok) {
        const QSqlQuery commit = Function::Myquery(QString::fromLatin1(Sql::COMMIT));
        ok = commit.isActive();
        if (!ok)
            error = commit.lastError();
    }
    // The failing statement's error is the one to report, not the rollback's.
    if (!ok)
        Function::Myquery(QString::fromLatin1(Sql::ROLLBACK));
    return ok;
}

} // namespace

bool Transaction::run(const std::function<bool(QSqlError &)> &steps, QSqlError &error)
{
    const QString driver = QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false).driverName();
    if (once(steps, error))
        return true;
    if (!Function::isConflict(error, driver))
        return false;
    return once(steps, error);
}
