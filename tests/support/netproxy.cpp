#include "netproxy.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <deque>
#include <memory>
#include <vector>

namespace TestSupport {

// One direction of one connection: what was read, each piece with the time
// it may be written on.
struct Lane
{
    QPointer<QTcpSocket> from;
    QPointer<QTcpSocket> to;
    std::deque<std::pair<qint64, QByteArray>> queue;
};

struct Link
{
    Lane up;   // client to server
    Lane down; // server to client
    bool serverSpoke = true; // the client's next words start a round trip
};

class NetProxyWorker : public QObject
{
public:
    NetProxyWorker(NetProxy *owner, int targetPort, int roundTripMs)
        : m_owner(owner), m_target(targetPort), m_roundTrip(roundTripMs), m_timer(this)
    {
        m_clock.start();
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] { flush(); });
    }

    int listen()
    {
        m_server = new QTcpServer(this);
        if (!m_server->listen(QHostAddress::LocalHost))
            return 0;
        connect(m_server, &QTcpServer::newConnection, this, [this] { accept(); });
        return m_server->serverPort();
    }

    void setRoundTrip(int ms) { m_roundTrip = ms; }

    void cut()
    {
        const auto links = std::move(m_links);
        m_links.clear();
        for (const auto &link : links) {
            for (QTcpSocket *socket : {link->up.from.data(), link->up.to.data()}) {
                if (!socket)
                    continue;
                socket->disconnect(this);
                socket->abort();
                socket->deleteLater();
            }
        }
    }

    void setSilent(bool silent)
    {
        m_silent = silent;
        if (!silent) {
            for (const auto &link : m_links) {
                read(*link, link->up, true);
                read(*link, link->down, false);
            }
        }
    }

    void stop()
    {
        cut();
        delete m_server;
        m_server = nullptr;
    }

private:
    void accept()
    {
        while (QTcpSocket *client = m_server->nextPendingConnection()) {
            m_owner->m_connections.ref();
            auto link = std::make_shared<Link>();
            auto *server = new QTcpSocket(this);
            client->setParent(this);
            link->up.from = client;
            link->up.to = server;
            link->down.from = server;
            link->down.to = client;
            Link *raw = link.get();
            // Each piece goes out as it is due, as the server and libpq send
            // theirs (both turn Nagle's algorithm off): a piece held back for
            // the acknowledgement of the one before would add tens of
            // milliseconds the network does not.
            client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            connect(server, &QTcpSocket::connected, server,
                    [server] { server->setSocketOption(QAbstractSocket::LowDelayOption, 1); });
            connect(client, &QTcpSocket::readyRead, this, [this, raw] { read(*raw, raw->up, true); });
            connect(server, &QTcpSocket::readyRead, this, [this, raw] { read(*raw, raw->down, false); });
            // One side gone closes the other, as a real connection does.
            connect(client, &QTcpSocket::disconnected, this, [this, raw] { drop(raw); });
            connect(server, &QTcpSocket::disconnected, this, [this, raw] { drop(raw); });
            m_links.push_back(link);
            // A silent proxy reaches the server only once it speaks again.
            if (!m_silent)
                server->connectToHost(QHostAddress::LocalHost, quint16(m_target));
        }
    }

    void read(Link &link, Lane &lane, bool fromClient)
    {
        if (m_silent || !lane.from)
            return;
        if (lane.to && lane.to->state() == QAbstractSocket::UnconnectedState && fromClient)
            lane.to->connectToHost(QHostAddress::LocalHost, quint16(m_target));
        const QByteArray data = lane.from->readAll();
        if (data.isEmpty())
            return;
        if (fromClient && link.serverSpoke)
            m_owner->m_roundTrips.ref();
        link.serverSpoke = !fromClient;
        lane.queue.emplace_back(m_clock.elapsed() + m_roundTrip / 2, data);
        flush();
    }

    void flush()
    {
        const qint64 now = m_clock.elapsed();
        qint64 next = -1;
        for (const auto &link : m_links) {
            for (Lane *lane : {&link->up, &link->down}) {
                while (!lane->queue.empty() && lane->queue.front().first <= now && lane->to) {
                    lane->to->write(lane->queue.front().second);
                    lane->queue.pop_front();
                }
                if (!lane->queue.empty() && (next < 0 || lane->queue.front().first < next))
                    next = lane->queue.front().first;
            }
        }
        if (next >= 0)
            m_timer.start(int(qMax<qint64>(0, next - now)));
    }

    void drop(Link *raw)
    {
        for (auto it = m_links.begin(); it != m_links.end(); ++it) {
            if (it->get() != raw)
                continue;
            const std::shared_ptr<Link> link = *it;
            m_links.erase(it);
            // What is still queued toward the side that stays is delivered
            // first, as the network would.
            for (Lane *lane : {&raw->up, &raw->down}) {
                while (!lane->queue.empty() && lane->to && lane->to->state() == QAbstractSocket::ConnectedState) {
                    lane->to->write(lane->queue.front().second);
                    lane->queue.pop_front();
                }
            }
            for (QTcpSocket *socket : {raw->up.from.data(), raw->up.to.data()}) {
                if (!socket)
                    continue;
                socket->disconnect(this);
                socket->disconnectFromHost();
                socket->deleteLater();
            }
            return;
        }
    }

    NetProxy *m_owner;
    int m_target;
    int m_roundTrip;
    bool m_silent = false;
    QTcpServer *m_server = nullptr;
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::vector<std::shared_ptr<Link>> m_links;
};

NetProxy::NetProxy(int targetPort, int roundTripMs)
{
    m_worker = new NetProxyWorker(this, targetPort, roundTripMs);
    m_worker->moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(m_worker, [this] { m_port = m_worker->listen(); }, Qt::BlockingQueuedConnection);
}

NetProxy::~NetProxy()
{
    QMetaObject::invokeMethod(m_worker, [this] { m_worker->stop(); delete m_worker; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void NetProxy::setRoundTrip(int ms)
{
    QMetaObject::invokeMethod(m_worker, [this, ms] { m_worker->setRoundTrip(ms); }, Qt::BlockingQueuedConnection);
}

void NetProxy::cut()
{
    QMetaObject::invokeMethod(m_worker, [this] { m_worker->cut(); }, Qt::BlockingQueuedConnection);
}

void NetProxy::setSilent(bool silent)
{
    QMetaObject::invokeMethod(m_worker, [this, silent] { m_worker->setSilent(silent); }, Qt::BlockingQueuedConnection);
}

} // namespace TestSupport
