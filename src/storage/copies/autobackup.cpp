#include "storage/copies/autobackup.h"

#include "function.h"
#include "storage/copies/databasecopy.h"
#include "storage/db/errors.h"
#include "storage/db/privateconnection.h"
#include "storage/db/errorlog.h"
#include "storage/copies/servercopy.h"
#include "storage/copies/serverbackup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <map>

namespace {

const char PREFIX[] = "BaseDate_auto_";
const char DAY_FORMAT[] = "yyyy_MM_dd";

// Connections of their own, made in whichever thread the copy runs.
QString connectionName(const char *what)
{
    static std::atomic<int> counter{0};
    return QStringLiteral("vedomer_daily_%1_%2").arg(QLatin1String(what)).arg(++counter);
}

// Today's name, or with `n` > 1 the same with "_n" before ".db".
QString numbered(const QString &folder, const QDate &day, int n)
{
    const QString plain = AutoBackup::name(folder, day);
    return n == 1 ? plain : plain.chopped(3) + QStringLiteral("_%1.db").arg(n);
}

// Removes the program's own copies of the days beyond the newest `keep`,
// by the day in their names; `made`, the copy just made, stays whatever its
// day, and days after `today` are neither counted nor removed. A copy that
// cannot be removed is noted in the log.
void prune(const QString &folder, const QDate &today, int keep, const QString &made)
{
    static const QRegularExpression own(
        QStringLiteral("^BaseDate_auto_(\\d{4}_\\d{2}_\\d{2})(_\\d+)?\\.db$"));
    const QDir dir(folder);
    std::map<QDate, QStringList, std::greater<>> days;
    for (const QString &entry : dir.entryList({QStringLiteral("BaseDate_auto_*.db")}, QDir::Files)) {
        const QRegularExpressionMatch match = own.match(entry);
        const QDate day =
            match.hasMatch() ? QDate::fromString(match.captured(1), QLatin1String(DAY_FORMAT)) : QDate();
        if (day.isValid() && day <= today)
            days[day].append(entry);
    }
    int counted = 0;
    for (const auto &[day, entries] : days) {
        if (++counted <= keep)
            continue;
        for (const QString &entry : entries) {
            const QString path = dir.filePath(entry);
            if (QFileInfo(path).absoluteFilePath() == made)
                continue;
            if (!QFile::remove(path))
                Query::appendLog(
                    QStringLiteral("Старая автоматическая резервная копия %1 не удалена\n").arg(path));
        }
    }
}

} // namespace

namespace AutoBackup {

QString name(const QString &folder, const QDate &day)
{
    return folder + QLatin1Char('/') + QLatin1String(PREFIX) + day.toString(QLatin1String(DAY_FORMAT)) +
           QStringLiteral(".db");
}

bool isSoundCopy(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    {
        // Opening anything else would make an empty database of it.
        QFile file(path);
        static const QByteArray header("SQLite format 3\0", 16);
        if (!file.open(QIODevice::ReadOnly) || file.read(header.size()) != header)
            return false;
    }
    const PrivateConnection c(path, QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"),
                              PrivateConnection::Stop::Unwatched);
    if (!c.opened())
        return false;
    QSqlQuery look = Function::Myquery(QString::fromLatin1(Sql::COPY_LOOKS_WHOLE),
                                       {QStringLiteral("Combat"), QStringLiteral("prikaz")}, c.db());
    return look.next() && look.value(0).toInt() == 2 && look.value(1).toLongLong() == info.size();
}

Result make(const QString &folder, const QDate &today, int keep,
            const std::function<bool(const QString &target, QString *error)> &copy)
{
    Result result;
    if (keep <= 0)
        return result;
    // Today's copy is the first sound one of today's names; anything else
    // under them stays as it is, and the copy takes the first free name.
    QString target;
    for (int n = 1; target.isEmpty(); ++n) {
        const QString candidate = numbered(folder, today, n);
        const QFileInfo info(candidate);
        if (!info.exists() && !info.isSymLink()) {
            target = candidate;
        } else if (isSoundCopy(candidate)) {
            result.outcome = Outcome::MadeAlready;
            prune(folder, today, keep, info.absoluteFilePath());
            return result;
        } else {
            result.taken.append(info.absoluteFilePath());
        }
    }
    if (!copy(target, &result.error)) {
        // The database refuses to write into a folder it may not: the
        // folder is the cause the user can act on.
        const QFileInfo place(folder);
        if (place.isDir() && !place.isWritable())
            result.error = QStringLiteral("в папку «%1» нельзя записывать").arg(place.absoluteFilePath());
        result.outcome = Outcome::Failed;
        return result;
    }
    result.outcome = Outcome::Made;
    result.written = QFileInfo(target).absoluteFilePath();
    prune(folder, today, keep, result.written);
    return result;
}

Run::Run(const QString &folder, const QDate &today, int keep, const QString &database, QObject *parent)
    : QObject(parent)
    // The thread does not depend on the working folder staying the current one.
    , m_folder(QFileInfo(folder).absoluteFilePath())
    , m_today(today)
    , m_keep(keep)
    , m_database(database.isEmpty() ? QString() : QFileInfo(database).absoluteFilePath())
{
}

Run::~Run()
{
    stop();
    delete m_thread;
}

void Run::start()
{
    if (m_thread)
        return;
    m_running = true;
    m_thread = QThread::create([this] {
        const CopyStop::Scope scope(&m_stop);
        Result result;
        if (!m_database.isEmpty()) {
            result = make(m_folder, m_today, m_keep, [this](const QString &target, QString *error) {
                return DatabaseCopy::backup(m_database, target, error);
            });
        } else {
            // A connection to the server of this thread's own, with the
            // settings (and the password) of the program's.
            const QString name = connectionName("server");
            bool cloned = false;
            result = make(m_folder, m_today, m_keep, [&](const QString &target, QString *error) {
                QSqlDatabase from = QSqlDatabase::cloneDatabase(
                    QString::fromLatin1(QSqlDatabase::defaultConnection), name);
                cloned = true;
                if (!from.open()) {
                    *error = QStringLiteral("нет связи с сервером базы данных: %1")
                                 .arg(Errors::describe(from.lastError(), from.driverName()));
                    return false;
                }
                return ServerCopy::backup(from, target, error);
            });
            if (cloned) {
                QSqlDatabase::database(name, false).close();
                QSqlDatabase::removeDatabase(name);
            }
        }
        if (result.outcome == Outcome::Failed && m_stop.stopped())
            result.outcome = Outcome::Stopped;
        m_result = result;
    });
    m_thread->setObjectName(QStringLiteral("daily copy"));
    connect(m_thread, &QThread::finished, this, [this] {
        m_running = false;
        emit finished();
    });
    // The window's thread comes first.
    m_thread->start(QThread::LowPriority);
}

void Run::wait()
{
    if (m_thread)
        m_thread->wait();
}

void Run::stop()
{
    if (!m_thread || m_thread->isFinished())
        return;
    m_stop.stop();
    m_thread->wait();
    if (m_result.outcome == Outcome::Stopped)
        Query::appendLog(QStringLiteral("Ежедневная резервная копия базы данных прервана: программа "
                                           "закрыта до её окончания; незавершённый файл удалён.\n"));
}

} // namespace AutoBackup
