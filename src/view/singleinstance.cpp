#include "view/singleinstance.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

const char LOCK_FILE[] = "vedomer.lock";

// The name the first copy listens under, one per working folder.
QString serverName(const QString &folder)
{
    const QByteArray path = QDir(folder).canonicalPath().toUtf8();
    return QStringLiteral("vedomer-") +
           QString::fromLatin1(QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex().left(16));
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

bool SingleInstance::acquire()
{
    if (!m_lock.tryLock()) {
        if (m_lock.error() == QLockFile::LockFailedError)
            return false;
        qDebug() << "Файл блокировки не создан в папке" << m_folder << "- работа без блокировки";
        return true;
    }
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
    return true;
}

bool SingleInstance::askToComeForward() const
{
    QLocalSocket socket;
    socket.connectToServer(serverName(m_folder));
    const bool reached = socket.waitForConnected(2000);
    socket.disconnectFromServer();
    return reached;
}
