#include "storage/databasecopy.h"

#include "function.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <filesystem>
#include <system_error>

namespace {

const char LIVE_FILE[] = "/BaseDate.db";
const char SAFETY_FILE[] = "/BaseDate_old.db";

QString quoted(const QString &path)
{
    return QStringLiteral("«") + QFileInfo(path).fileName() + QStringLiteral("»");
}

// A connection name not used by anyone else.
QString connectionName()
{
    static int counter = 0;
    return QStringLiteral("vedomer_copy_%1").arg(++counter);
}

// Runs `work` with a read-only connection of its own on `path`; false when
// the file cannot be opened.
template <typename Work>
bool withReadOnlyConnection(const QString &path, QString *error, Work work)
{
    const QString name = connectionName();
    bool ok = false;
    {
        QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        connection.setDatabaseName(path);
        connection.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        if (connection.open()) {
            ok = work(connection);
            connection.close();
        } else if (error) {
            *error = Function::describeError(connection.lastError());
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

// Copies the whole content of one open file into another.
bool copyContent(QFile &from, QFileDevice &to)
{
    QByteArray buffer;
    while (!from.atEnd()) {
        buffer = from.read(1 << 20);
        if (buffer.isEmpty() && from.error() != QFileDevice::NoError)
            return false;
        // A short write (the disk filled up) sets no error; writing the
        // rest does, so the reason can be told.
        for (qint64 done = 0; done < buffer.size();) {
            const qint64 written = to.write(buffer.constData() + done, buffer.size() - done);
            if (written <= 0)
                return false;
            done += written;
        }
    }
    return from.error() == QFileDevice::NoError;
}

std::filesystem::path fsPath(const QString &name)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(name.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(name).toStdString());
#endif
}

} // namespace

QString DatabaseCopy::liveName(const QString &folder)
{
    return folder + QLatin1String(LIVE_FILE);
}

QString DatabaseCopy::safetyName(const QString &folder)
{
    return folder + QLatin1String(SAFETY_FILE);
}

QString DatabaseCopy::backupName(const QString &folder, const QDateTime &when)
{
    return folder + QStringLiteral("/BaseDate") + when.toString(QStringLiteral("yyyy_MM_d_hh_mm_ss")) +
           QStringLiteral(".db");
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
    const QString absolute = QFileInfo(target).absoluteFilePath();
    bool made = withReadOnlyConnection(database, error, [&](QSqlDatabase &connection) {
        // An empty file reads as a database without tables: its copy would
        // hold nothing.
        QSqlQuery probe = Function::Myquery(Sql::text(Sql::PROBE, connection), connection);
        if (probe.isActive() && probe.next() && probe.value(0).toInt() == 0) {
            *error = QStringLiteral("в файле базы данных «%1» нет ни одной таблицы")
                         .arg(QFileInfo(database).absoluteFilePath());
            return false;
        }
        probe = QSqlQuery();
        const QSqlQuery query =
            Function::Myquery(QString::fromLatin1(Sql::BACKUP_INTO).arg(Function::q(absolute)), connection);
        if (query.isActive())
            return true;
        const QSqlError failure = query.lastError();
        *error = Function::describeError(failure);
        // A copy cut short is no backup; a file someone else made meanwhile
        // is left alone.
        if (!failure.databaseText().contains(QLatin1String("already exists")))
            QFile::remove(absolute);
        return false;
    });
    if (made && !QFileInfo(absolute).isFile()) {
        *error = QStringLiteral("файл %1 не появился").arg(quoted(target));
        made = false;
    }
    return made;
}

bool DatabaseCopy::isDatabase(const QString &path)
{
    {
        QFile file(path);
        if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
            return false;
        static const QByteArray header("SQLite format 3\0", 16);
        if (file.read(header.size()) != header)
            return false;
    }
    return withReadOnlyConnection(path, nullptr, [](QSqlDatabase &connection) {
        QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::QUICK_CHECK), connection);
        return query.isActive() && query.next() && query.value(0).toString() == QLatin1String("ok");
    });
}

bool DatabaseCopy::sameFile(const QString &a, const QString &b)
{
    const QFileInfo fa(a);
    const QFileInfo fb(b);
    if (!fa.exists() || !fb.exists())
        return false;
    if (fa.canonicalFilePath() == fb.canonicalFilePath())
        return true;
    std::error_code failed;
    const bool same = std::filesystem::equivalent(fsPath(a), fsPath(b), failed);
    return same && !failed;
}

bool DatabaseCopy::restore(const QString &chosen, const QString &folder, bool *replaced, QString *error)
{
    *replaced = false;
    const QString live = liveName(folder);
    const QString safety = safetyName(folder);

    // The chosen file is read completely into a temporary file beside the
    // live one before anything else changes, so it may even be the safety
    // copy that is replaced next.
    QFile source(chosen);
    if (!source.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("не удалось прочитать файл %1: %2").arg(quoted(chosen), source.errorString());
        return false;
    }
    QSaveFile replacement(live);
    if (!replacement.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("не удалось создать временный файл в папке базы данных: %1")
                     .arg(replacement.errorString());
        return false;
    }
    if (!copyContent(source, replacement)) {
        *error =
            QStringLiteral("не удалось скопировать файл %1 в папку базы данных: %2")
                .arg(quoted(chosen), replacement.error() != QFileDevice::NoError ? replacement.errorString()
                                                                                 : source.errorString());
        replacement.cancelWriting();
        return false;
    }
    source.close();

    if (QFileInfo::exists(live)) {
        QFile current(live);
        QSaveFile copy(safety);
        const bool saved = current.open(QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly) &&
                           copyContent(current, copy) && copy.commit();
        if (!saved) {
            const QString reason =
                copy.error() != QFileDevice::NoError ? copy.errorString() : current.errorString();
            *error = QStringLiteral("не удалось сохранить текущую базу данных в файл %1: %2")
                         .arg(quoted(safety), reason);
            copy.cancelWriting();
            replacement.cancelWriting();
            return false;
        }
    }

    if (!replacement.commit()) {
        *error =
            QStringLiteral("не удалось заменить файл %1: %2").arg(quoted(live), replacement.errorString());
        return false;
    }
    *replaced = true;

    // Journal files left by the old database would be applied to the new one.
    QStringList left;
    for (const char *suffix : {"-journal", "-wal", "-shm"}) {
        const QString journal = live + QLatin1String(suffix);
        if (QFileInfo::exists(journal) && !QFile::remove(journal))
            left.append(quoted(journal));
    }
    if (!left.isEmpty()) {
        *error = QStringLiteral("файл базы данных заменён, но не удалось удалить файлы журнала прежней "
                                "базы: %1; удалите их и запустите программу заново")
                     .arg(left.join(QStringLiteral(", ")));
        return false;
    }
    return true;
}
