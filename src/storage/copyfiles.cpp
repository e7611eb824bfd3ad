#include "storage/copyfiles.h"

#include "function.h"
#include "storage/copystop.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

#include <atomic>

namespace CopyFiles {

const QString READ_ONLY = QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000");
const QString SQLITE_DRIVER = QStringLiteral("QSQLITE");

OwnConnection::OwnConnection(const QString &path, const QString &options)
{
    // Copies may run in several threads at once (the daily copy).
    static std::atomic<int> counter{0};
    m_name = QStringLiteral("vedomer_copy_%1").arg(++counter);
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    db.setConnectOptions(options);
    opened = db.open();
    if (opened)
        CopyStop::watch(db);
}

OwnConnection::~OwnConnection()
{
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

QString quoted(const QString &path)
{
    return QStringLiteral("«") + QFileInfo(path).fileName() + QStringLiteral("»");
}

bool removeFile(const QString &path)
{
    return !QFileInfo::exists(path) || QFile::remove(path);
}

std::filesystem::path fsPath(const QString &name)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(name.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(name).toStdString());
#endif
}

bool snapshot(const QString &source, const QString &target, QSqlError *failure)
{
    OwnConnection c(source, READ_ONLY);
    if (!c.opened) {
        *failure = c.db.lastError();
        return false;
    }
    const QSqlQuery query = Function::Myquery(
        QString::fromLatin1(Sql::BACKUP_INTO).arg(Function::q(QFileInfo(target).absoluteFilePath())), c.db);
    *failure = query.lastError();
    return query.isActive();
}

} // namespace CopyFiles
