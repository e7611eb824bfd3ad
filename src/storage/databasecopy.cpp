#include "storage/databasecopy.h"

#include "function.h"
#include "storage/copystop.h"
#include "storage/paths.h"
#include "storage/privacy.h"
#include "storage/schema.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#endif

namespace {

const char LIVE_FILE[] = "/BaseDate.db";
const char SAFETY_FILE[] = "/BaseDate_old.db";
const char DATE_FORMAT[] = "yyyy_MM_d_hh_mm_ss";
// The journal files SQLite keeps beside a database.
const char *const JOURNALS[] = {"-journal", "-wal", "-shm"};

// SQLite's primary result codes that the restore tells apart.
enum : int { SQLITE_BUSY = 5, SQLITE_LOCKED = 6, SQLITE_CORRUPT = 11, SQLITE_NOTADB = 26 };

QString quoted(const QString &path)
{
    return QStringLiteral("«") + QFileInfo(path).fileName() + QStringLiteral("»");
}

int primaryCode(const QSqlError &error)
{
    return error.nativeErrorCode().toInt() & 0xff;
}

bool isBusy(const QSqlError &error)
{
    const int code = primaryCode(error);
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

bool isDamaged(const QSqlError &error)
{
    const int code = primaryCode(error);
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

const QString &busyText()
{
    static const QString text = QStringLiteral(
        "база данных занята: в неё сейчас пишет другая программа (другая копия Ведомера или иная). "
        "Ничего не изменено; повторите восстановление, когда она закончит");
    return text;
}

// A connection of its own on one file, removed again when it goes. Queries
// made on it must go first.
class OwnConnection
{
public:
    OwnConnection(const QString &path, const QString &options)
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
    ~OwnConnection()
    {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    OwnConnection(const OwnConnection &) = delete;
    OwnConnection &operator=(const OwnConnection &) = delete;

    QSqlDatabase db;
    bool opened = false;

private:
    QString m_name;
};

const QString READ_ONLY = QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000");
// The backup also runs outside the window's thread, where the program's
// connection cannot be asked for its driver.
const QString SQLITE_DRIVER = QStringLiteral("QSQLITE");

// SQLite's own consistent copy of `source` into `target`, which must not
// exist. On failure `failure` holds the database's error.
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

// Renames `from` over `to`, replacing it in one step.
bool replaceFile(const QString &from, const QString &to, QString *error)
{
    std::error_code failed;
    std::filesystem::rename(fsPath(from), fsPath(to), failed);
    if (failed)
        *error = QString::fromLocal8Bit(failed.message().c_str());
    return !failed;
}

// The live database as a new safety copy, written under a temporary name
// and renamed once complete; an earlier safety copy is first kept under a
// name of its own, so that no safety copy is ever overwritten. `raw`
// copies the file as it is (a file SQLite cannot read). A failure is said
// after "не удалось сохранить текущую базу данных в файл «BaseDate_old.db»".
bool makeSafetyCopy(const QString &live, const QString &safety, bool raw, QSqlError *failure, QString *reason)
{
    const QString part = DatabaseCopy::partName(safety);
    const bool made = raw ? QFile::copy(live, part) : snapshot(live, part, failure);
    // A file copy takes the rights of a database an earlier version left open.
    if (made && raw)
        Privacy::ownOnly(part);
    if (!made) {
        if (raw)
            *reason = QStringLiteral("файл не скопирован");
        else
            *reason = Function::describeError(*failure);
        removeFile(part);
        return false;
    }
    if (!DatabaseCopy::keepAsSafetyCopy(part, safety, reason)) {
        removeFile(part);
        return false;
    }
    return true;
}

// Checks the temporary copy of the chosen file against the descriptors and
// brings it in line with them.
bool checkCopy(const QString &copy, const QString &chosen, QString *error)
{
    const QString tables = QString::fromLatin1(Paths::TABLE_DESCRIPTOR);
    const QString columns = QString::fromLatin1(Paths::COLUMN_DESCRIPTOR);
    QStringList declared;
    QStringList missing;
    QString reason;
    if (!Schema::missingTables(copy, tables, &declared, &missing, &reason)) {
        *error = QStringLiteral("файл %1 не удалось проверить: %2").arg(quoted(chosen), reason);
        return false;
    }
    if (declared.isEmpty()) {
        *error = QStringLiteral("файл %1 не с чем сравнить: описание таблиц %2 не называет ни одной таблицы")
                     .arg(quoted(chosen), tables);
        return false;
    }
    if (missing.size() == declared.size()) {
        *error = QStringLiteral("в файле %1 нет ни одной таблицы этой программы (%2): это не её база данных")
                     .arg(quoted(chosen), declared.join(QStringLiteral(", ")));
        return false;
    }
    const Schema::Report report = Schema::verify(copy, tables, columns, Schema::Drops::Never);
    if (!report.refusedDescriptors.isEmpty() ||
        !Schema::missingTables(copy, tables, &declared, &missing, &reason) || !missing.isEmpty()) {
        *error = QStringLiteral("файл %1 не удалось дополнить недостающими таблицами и столбцами: %2")
                     .arg(quoted(chosen), report.refusedDescriptors.isEmpty()
                                              ? reason + missing.join(QStringLiteral(", "))
                                              : report.refusedDescriptors.join(QStringLiteral("; ")));
        return false;
    }
    if (!report.createdTables.isEmpty() || !report.addedColumns.isEmpty())
        qDebug() << "В восстанавливаемой копии дополнены:" << report.createdTables << report.addedColumns;
    return true;
}

// Runs one statement of the restore's transaction; false with the error.
bool step(const QString &sql, const QSqlDatabase &db, QSqlError *failure)
{
    const QSqlQuery query = Function::Myquery(sql, db);
    if (!query.isActive())
        *failure = query.lastError();
    return query.isActive();
}

// An SQL identifier in double quotes.
QString ident(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

// Inside the open transaction: everything the live database holds goes, and
// everything of the attached copy comes in.
bool replaceContent(const QSqlDatabase &db, QSqlError *failure)
{
    QList<QPair<QString, QString>> live;
    {
        QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::SELECT_LIVE_OBJECTS), db);
        if (!query.isActive()) {
            *failure = query.lastError();
            return false;
        }
        while (query.next())
            live.append({query.value(0).toString(), query.value(1).toString()});
    }
    // Views first: a view may name a table.
    std::stable_sort(live.begin(), live.end(), [](const auto &a, const auto &b) {
        return a.first == QLatin1String("view") && b.first != QLatin1String("view");
    });
    for (const auto &object : std::as_const(live)) {
        const QString kind =
            object.first == QLatin1String("view") ? QStringLiteral("VIEW") : QStringLiteral("TABLE");
        if (!step(QString::fromLatin1(Sql::DROP_LIVE_OBJECT).arg(kind, ident(object.second)), db, failure))
            return false;
    }
    QList<QStringList> restored;
    {
        QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::SELECT_RESTORED_OBJECTS), db);
        if (!query.isActive()) {
            *failure = query.lastError();
            return false;
        }
        while (query.next())
            restored.append(
                {query.value(0).toString(), query.value(1).toString(), query.value(2).toString()});
    }
    for (const QStringList &object : std::as_const(restored)) {
        if (!step(object.at(2), db, failure))
            return false;
        if (object.at(0) == QLatin1String("table") &&
            !step(QString::fromLatin1(Sql::COPY_RESTORED_ROWS).arg(ident(object.at(1))), db, failure))
            return false;
    }
    return true;
}

// A live file that SQLite cannot read: it is kept as the safety copy
// together with its journal files (which belong to it), and the checked copy
// takes its place. A missing live file is simply made; journal files left
// without their database are kept under a name of their own, as they would
// be applied to the new file.
bool replaceDamaged(const QString &live, const QString &safety, const QString &copy, QString *error)
{
    const bool exists = QFileInfo::exists(live);
    if (exists) {
        QSqlError unused;
        QString reason;
        if (!makeSafetyCopy(live, safety, true, &unused, &reason)) {
            *error = QStringLiteral("не удалось сохранить текущую базу данных в файл %1: %2")
                         .arg(quoted(safety), reason);
            return false;
        }
    }
    const QString aside = exists ? safety
                                 : DatabaseCopy::freeDatedName(QFileInfo(live).absolutePath(),
                                                               QStringLiteral("BaseDate_journal_"),
                                                               QDateTime::currentDateTime());
    for (const char *suffix : JOURNALS) {
        const QString journal = live + QLatin1String(suffix);
        if (QFileInfo::exists(journal) && !QFile::rename(journal, aside + QLatin1String(suffix))) {
            *error = QStringLiteral("файл журнала %1 не удалось перенести в %2")
                         .arg(quoted(journal), quoted(aside + QLatin1String(suffix)));
            return false;
        }
    }
    QString reason;
    if (!replaceFile(copy, live, &reason)) {
        *error = QStringLiteral("не удалось заменить файл %1: %2").arg(quoted(live), reason);
        return false;
    }
    return true;
}

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
            Function::appendLog(
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
        OwnConnection c(database, READ_ONLY);
        QSqlQuery probe = Function::Myquery(Sql::text(Sql::PROBE, c.db), c.db);
        if (!probe.isActive()) {
            *error = Function::describeError(c.opened ? probe.lastError() : c.db.lastError(), SQLITE_DRIVER);
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
        *error = Function::describeError(failure, SQLITE_DRIVER);
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
    OwnConnection c(path, READ_ONLY);
    QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::QUICK_CHECK), c.db);
    return c.opened && query.isActive() && query.next() && query.value(0).toString() == QLatin1String("ok");
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

bool DatabaseCopy::restore(const QString &chosen, const QString &folder, QString *error)
{
    const QString live = QFileInfo(liveName(folder)).absoluteFilePath();
    const QString safety = QFileInfo(safetyName(folder)).absoluteFilePath();
    // The chosen file, copied by SQLite beside the live one; it goes in
    // every case once the restore is over.
    const QString copy = partName(live);
    struct RemoveCopy
    {
        QString path;
        ~RemoveCopy() { removeFile(path); }
    } removeCopy{copy};

    QSqlError failure;
    if (!QFileInfo(chosen).isFile() || !snapshot(chosen, copy, &failure)) {
        *error = QStringLiteral("не удалось прочитать файл %1: %2")
                     .arg(quoted(chosen), QFileInfo(chosen).isFile() ? Function::describeError(failure)
                                                                     : QStringLiteral("файл не найден"));
        return false;
    }
    if (!checkCopy(copy, chosen, error))
        return false;
    const QFileInfo earlier(safety);
    if ((earlier.exists() || earlier.isSymLink()) && !earlier.isFile()) {
        *error = QStringLiteral("не удалось сохранить текущую базу данных в файл %1: под этим именем уже "
                                "есть не файл")
                     .arg(quoted(safety));
        return false;
    }
    if (!QFileInfo::exists(live))
        return replaceDamaged(live, safety, copy, error);

    bool damaged = false;
    {
        // Waits briefly for another writer, then gives up rather than hang.
        OwnConnection c(live, QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        const bool locked =
            c.opened && step(QString::fromLatin1(Sql::RESTORE_CACHE), c.db, &failure) &&
            step(QString::fromLatin1(Sql::ATTACH_RESTORED).arg(Function::q(copy)), c.db, &failure) &&
            step(Sql::text(Sql::BEGIN_IMMEDIATE, c.db), c.db, &failure);
        if (!c.opened)
            failure = c.db.lastError();
        if (!locked) {
            damaged = isDamaged(failure);
            if (!damaged) {
                *error = isBusy(failure) ? busyText()
                                         : QStringLiteral("не удалось открыть базу данных: %1")
                                               .arg(Function::describeError(failure));
                return false;
            }
        } else {
            // From here until the commit no one else can write, so the safety
            // copy holds the last word of every other writer.
            QString reason;
            bool done = makeSafetyCopy(live, safety, false, &failure, &reason);
            if (!done) {
                damaged = isDamaged(failure);
                if (!damaged)
                    *error = QStringLiteral("не удалось сохранить текущую базу данных в файл %1: %2")
                                 .arg(quoted(safety), reason);
            } else {
                done =
                    replaceContent(c.db, &failure) && step(QString::fromLatin1(Sql::COMMIT), c.db, &failure);
                if (!done) {
                    damaged = isDamaged(failure);
                    if (!damaged)
                        *error = isBusy(failure) ? busyText()
                                                 : QStringLiteral("база данных не заменена: %1")
                                                       .arg(Function::describeError(failure));
                }
            }
            if (!done)
                Function::Myquery(QString::fromLatin1(Sql::ROLLBACK), c.db);
            Function::Myquery(QString::fromLatin1(Sql::DETACH_RESTORED), c.db);
            if (done)
                return true;
        }
    }
    if (damaged)
        return replaceDamaged(live, safety, copy, error);
    return false;
}
