#include "storage/copies/copyfiles.h"

#include "function.h"
#include "storage/db/privateconnection.h"
#include "storage/db/quoting.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

namespace CopyFiles {

const QString SQLITE_DRIVER = QStringLiteral("QSQLITE");

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
    PrivateConnection c(source, PrivateConnection::READ_ONLY);
    if (!c.opened()) {
        *failure = c.db().lastError();
        return false;
    }
    const QSqlQuery query = Function::Myquery(
        QString::fromLatin1(Sql::BACKUP_INTO).arg(Query::quote(QFileInfo(target).absoluteFilePath())), c.db());
    *failure = query.lastError();
    return query.isActive();
}

} // namespace CopyFiles
