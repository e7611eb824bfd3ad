#include "storage/connection.h"

#include "function.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace Connection {

bool open(const QString &file, QString *reason)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(file);
    // A second copy of the program may be writing: wait for it a while
    // instead of failing at once.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!QFileInfo(file).isFile()) {
        *reason = QStringLiteral("файл не найден");
        return false;
    }
    if (!db.open()) {
        *reason = db.lastError().databaseText();
        return false;
    }
    // Opening succeeds on any file; the first read tells whether it is a
    // database. An empty file reads as a database without a single table.
    bool ok = false;
    {
        QSqlQuery probe = Function::Myquery(QString::fromLatin1(Sql::PROBE));
        const bool read = probe.isActive();
        ok = read && probe.next() && probe.value(0).toInt() > 0;
        if (!ok)
            *reason = read ? QStringLiteral("в файле нет ни одной таблицы") : probe.lastError().databaseText();
    }
    if (!ok)
        db.close();
    return ok;
}

bool reopen(QString *reason)
{
    QSqlDatabase db = QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
    if (!QFileInfo(db.databaseName()).isFile()) {
        *reason = QStringLiteral("файл «%1» не найден").arg(QFileInfo(db.databaseName()).absoluteFilePath());
        return false;
    }
    if (!db.open()) {
        *reason = Function::describeError(db.lastError());
        return false;
    }
    return true;
}

} // namespace Connection
