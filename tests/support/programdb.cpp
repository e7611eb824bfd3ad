#include "programdb.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>

namespace TestSupport {

bool openProgramDb()
{
    QSqlDatabase db = QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
    if (!db.isValid())
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    db.setDatabaseName(QDir::current().absoluteFilePath(QStringLiteral("data/BaseDate.db")));
    if (!db.open()) {
        qWarning("program database not opened: %s", qPrintable(db.lastError().text()));
        return false;
    }
    return true;
}

} // namespace TestSupport
