#include "storage/connection.h"

#include "function.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace Connection {

namespace {

// Opens the connection on its file. Opening succeeds on any file; the first
// read tells whether it is a database, and whether another program holds it
// locked. An empty file reads as a database without a single table.
bool openReadable(QSqlDatabase &db, QString *reason)
{
    if (!QFileInfo(db.databaseName()).isFile()) {
        *reason = QStringLiteral("файл не найден");
        return false;
    }
    if (!db.open()) {
        *reason = db.lastError().databaseText();
        return false;
    }
    bool ok = false;
    {
        QSqlQuery probe = Function::Myquery(QString::fromLatin1(Sql::PROBE), db);
        const bool read = probe.isActive();
        ok = read && probe.next() && probe.value(0).toInt() > 0;
        if (!ok)
            *reason = read ? QStringLiteral("в файле нет ни одной таблицы")
                           : Function::describeError(probe.lastError());
    }
    if (!ok)
        db.close();
    return ok;
}

} // namespace

bool open(const QString &file, QString *reason)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(file);
    // A second copy of the program may be writing: wait for it a while
    // instead of failing at once.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    return openReadable(db, reason);
}

bool openAgain(const QString &file, QString *reason)
{
    QSqlDatabase db = QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
    db.close();
    db.setDatabaseName(file);
    return openReadable(db, reason);
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
