// The names of the copies, their temporary files, and the backup itself.

#include "storage/copies/databasecopy.h"

#include "function.h"
#include "storage/copies/copyfiles.h"
#include "storage/db/errors.h"
#include "storage/db/privateconnection.h"
#include "storage/db/errorlog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#endif

using namespace CopyFiles;

namespace {

const char LIVE_FILE[] = "/BaseDate.db";
const char SAFETY_FILE[] = "/BaseDate_old.db";
const char DATE_FORMAT[] = "yyyy_MM_d_hh_mm_ss";

#ifdef Q_OS_UNIX
bool running(qint64 pid)
{
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}
#endif

} // namespace

QString DatabaseCopy::liveName(const QString &folder)
{
    return folder + QLatin1String(LIVE_FILE);
}

bool DatabaseCopy::keepAsSafetyCopy(const QString &made, const QString &safety, QString *reason)
{
    const QFileInfo earlier(safety);
    if (earlier.exists() || earlier.isSymLink()) {
        const QString kept =
            freeDatedName(earlier.absolutePath(), QStringLiteral("BaseDate_old_"), earlier.lastModified());
        if (!earlier.isFile() || !QFile::rename(safety, kept)) {
            *reason = QStringLiteral("прежнюю копию %1 не удалось сохранить под именем %2")
                          .arg(quoted(safety), quoted(kept));
            return false;
        }
    }
    if (!QFile::rename(made, safety)) {
        *reason = QStringLiteral("временный файл не переименован");
        return false;
    }
    return true;
}

QString DatabaseCopy::safetyName(const QString &folder)
{
    return folder + QLatin1String(SAFETY_FILE);
}

QString DatabaseCopy::backupName(const QString &folder, const QDateTime &when)
{
    return folder + QStringLiteral("/BaseDate") + when.toString(QLatin1String(DATE_FORMAT)) +
           QStringLiteral(".db");
}

QString DatabaseCopy::freeDatedName(const QString &folder, const QString &prefix, const QDateTime &when)
{
    const QString stem = folder + QLatin1Char('/') + prefix + when.toString(QLatin1String(DATE_FORMAT));
    QString name = stem + QStringLiteral(".db");
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = stem + QStringLiteral("_%1.db").arg(n);
    return name;
}

QString DatabaseCopy::partName(const QString &final)
{
    return final + QStringLiteral(".%1.part").arg(QCoreApplication::applicationPid());
}

void DatabaseCopy::removeStaleParts(const QString &folder)
{
    static const QRegularExpression part(QStringLiteral("^BaseDate.*\\.db\\.(\\d+)\\.part(-journal)?$"));
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = part.match(name);
        if (!match.hasMatch())
            continue;
        const qint64 pid = match.captured(1).toLongLong();
#ifdef Q_OS_UNIX
        const bool stale = pid == QCoreApplication::applicationPid() || !running(pid);
#else
        // No cheap way to ask whether that process lives: a part not
        // written to for a day is taken as left behind.
        Q_UNUSED(pid);
        const bool stale =
            QFileInfo(dir.filePath(name)).lastModified().secsTo(QDateTime::currentDateTime()) > 86400;
#endif
        if (stale && QFile::remove(dir.filePath(name)))
            Query::appendLog(
                QStringLiteral("Удалён незавершённый временный файл %1\n").arg(dir.filePath(name)));
    }
}

bool DatabaseCopy::backup(const QString &database, const QString &target, QString *error)
{
    // Opening a missing file would make an empty database of it.
    if (!QFileInfo(database).isFile()) {
        *error = QStringLiteral("нет файла базы данных «%1»").arg(QFileInfo(database).absoluteFilePath());
        return false;
    }
    if (QFileInfo::exists(target)) {
        *error = QStringLiteral("файл %1 уже есть (копии, сделанные в одну секунду, получают одно имя; "
                                "повторите через секунду)")
                     .arg(quoted(target));
        return false;
    }
    {
        // An empty file reads as a database without tables: its copy would
        // hold nothing.
        PrivateConnection c(database, PrivateConnection::READ_ONLY);
        QSqlQuery probe = Function::Myquery(Sql::text(Sql::PROBE, c.db()), c.db());
        if (!probe.isActive()) {
            *error = Errors::describe(c.opened() ? probe.lastError() : c.db().lastError(), SQLITE_DRIVER);
            return false;
        }
        if (probe.next() && probe.value(0).toInt() == 0) {
            *error = QStringLiteral("в файле базы данных «%1» нет ни одной таблицы")
                         .arg(QFileInfo(database).absoluteFilePath());
            return false;
        }
    }
    // Written under a temporary name: a copy cut short never looks like one.
    const QString absolute = QFileInfo(target).absoluteFilePath();
    const QString part = partName(absolute);
    QSqlError failure;
    if (!snapshot(database, part, &failure)) {
        *error = Errors::describe(failure, SQLITE_DRIVER);
        removeFile(part);
        return false;
    }
    if (!QFile::rename(part, absolute)) {
        *error = QFileInfo::exists(absolute) ? QStringLiteral("файл %1 уже есть").arg(quoted(target))
                                             : QStringLiteral("файл %1 не появился").arg(quoted(target));
        removeFile(part);
        return false;
    }
    return true;
}
