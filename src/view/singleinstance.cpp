#include "view/singleinstance.h"

#include "storage/setup/paths.h"

#include "storage/db/errorlog.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSysInfo>
#include <QThread>

namespace {

using Paths::LOCK_FILE;

// The name the first copy listens under, one per working folder.
QString serverName(const QString &folder)
{
    const QByteArray path = QDir(folder).canonicalPath().toUtf8();
    return QStringLiteral("vedomer-") +
           QString::fromLatin1(QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex().left(16));
}

// A lock file as QLockFile writes it: the process number, the program, the
// computer's name, its unique id and the id of its boot, one a line.
struct LockContent
{
    // Empty when the file names a copy; otherwise what is wrong with it.
    QString damage;
    qint64 pid = 0;
    QString host;
    QByteArray hostId;
};

LockContent readLock(const QString &file)
{
    LockContent content;
    if (QFileInfo(file).isDir()) {
        content.damage = QStringLiteral("на месте файла блокировки папка");
        return content;
    }
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        content.damage = QStringLiteral("файл блокировки не читается");
        return content;
    }
    const QByteArray text = f.read(4096);
    const QList<QByteArray> lines = text.split('\n');
    bool number = false;
    content.pid = lines.value(0).trimmed().toLongLong(&number);
    if (text.isEmpty())
        content.damage = QStringLiteral("файл блокировки пуст");
    else if (!number || content.pid <= 0)
        content.damage = QStringLiteral("файл блокировки повреждён");
    content.host = QString::fromUtf8(lines.value(2).trimmed());
    content.hostId = lines.value(3).trimmed();
    return content;
}

// Decided as QLockFile decides it: by the computer's unique id where the
// lock has one, by its name otherwise.
bool sameComputer(const LockContent &content)
{
    if (!content.hostId.isEmpty())
        return content.hostId == QSysInfo::machineUniqueId();
    return content.host.isEmpty() || content.host == QSysInfo::machineHostName();
}

} // namespace

SingleInstance::SingleInstance(const QString &folder, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_lock(QDir(folder).filePath(QString::fromLatin1(LOCK_FILE)))
{
    // Only a lock whose copy no longer runs is stale, however old it is.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Outcome SingleInstance::tryAcquire()
{
    const QString file = QDir(m_folder).filePath(QString::fromLatin1(LOCK_FILE));
    LockContent content;
    // A copy starting at this very moment has made its lock file and not yet
    // written it: such a file is read once more before it counts as damaged.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0)
            QThread::msleep(300);
        if (m_lock.tryLock()) {
            listen();
            return Outcome::Acquired;
        }
        if (m_lock.error() != QLockFile::LockFailedError) {
            qDebug() << "Файл блокировки не создан в папке" << m_folder << "- работа без блокировки";
            return Outcome::WithoutLock;
        }
        content = readLock(file);
        if (content.damage.isEmpty())
            break;
    }
    if (!content.damage.isEmpty())
        return takeOverDamaged(content.damage);
    m_holder.host = content.host;
    m_holder.pid = content.pid;
    m_holder.since = QFileInfo(file).lastModified();
    // QLockFile takes over the lock of a copy of this computer that no longer
    // runs; what it leaves is held by one that does.
    return sameComputer(content) ? Outcome::HeldHere : Outcome::HeldElsewhere;
}

bool SingleInstance::acquire()
{
    const Outcome outcome = tryAcquire();
    return outcome == Outcome::Acquired || outcome == Outcome::WithoutLock;
}

SingleInstance::Outcome SingleInstance::takeOverDamaged(const QString &why)
{
    const QString file = QDir(m_folder).filePath(QString::fromLatin1(LOCK_FILE));
    // QLockFile removes the file only while no running copy holds it.
    bool removed = m_lock.removeStaleLockFile();
    if (!removed && QFileInfo(file).isDir())
        removed = QDir(m_folder).rmdir(QString::fromLatin1(LOCK_FILE));
    else if (!removed && !QFileInfo(file).isWritable())
        removed = QFile::remove(file);
    if (removed && m_lock.tryLock()) {
        Query::appendLog(QStringLiteral("Файл блокировки %1: %2; его не держит ни одна программа, "
                                           "блокировка снята\n")
                                .arg(QDir::toNativeSeparators(file), why));
        listen();
        return Outcome::Acquired;
    }
    const LockContent now = readLock(file);
    if (m_lock.error() == QLockFile::LockFailedError && now.damage.isEmpty()) {
        // Another copy has just written it.
        m_holder.host = now.host;
        m_holder.pid = now.pid;
        m_holder.since = QFileInfo(file).lastModified();
        return sameComputer(now) ? Outcome::HeldHere : Outcome::HeldElsewhere;
    }
    Query::appendLog(QStringLiteral("Файл блокировки %1: %2, и снять его не удалось; программа работает без "
                                       "блокировки\n")
                            .arg(QDir::toNativeSeparators(file), why));
    return Outcome::WithoutLock;
}

bool SingleInstance::takeOver()
{
    m_overAnother = true;
    const QString file = QDir(m_folder).filePath(QString::fromLatin1(LOCK_FILE));
    const bool taken = m_lock.removeStaleLockFile() && m_lock.tryLock();
    const QString who =
        QStringLiteral("компьютера «%1» (процесс %2, с %3)")
            .arg(m_holder.host, QString::number(m_holder.pid), m_holder.since.toString(QStringLiteral("dd.MM.yyyy hh:mm")));
    if (taken) {
        Query::appendLog(QStringLiteral("Блокировка %1 %2 снята: пользователь открыл папку на этом компьютере\n")
                                .arg(QDir::toNativeSeparators(file), who));
        listen();
    } else {
        Query::appendLog(QStringLiteral("Блокировку %1 %2 снять не удалось; пользователь открыл папку без "
                                           "блокировки\n")
                                .arg(QDir::toNativeSeparators(file), who));
    }
    return taken;
}

void SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    const QString name = serverName(m_folder);
    // A name left behind by a copy that was killed is free again.
    QLocalServer::removeServer(name);
    if (m_server->listen(name)) {
        connect(m_server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket *socket = m_server->nextPendingConnection()) {
                connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
                emit comeForward();
            }
        });
    }
}

bool SingleInstance::askToComeForward() const
{
    QLocalSocket socket;
    socket.connectToServer(serverName(m_folder));
    const bool reached = socket.waitForConnected(2000);
    socket.disconnectFromServer();
    return reached;
}
