#ifndef NETPROXY_H
#define NETPROXY_H

#include <QAtomicInt>
#include <QThread>

namespace TestSupport {

class NetProxyWorker;

// A TCP proxy on 127.0.0.1 in a thread of its own, between the program and a
// server: it delays what passes by half a round trip in each direction,
// counts the round trips, and can play the faults of a network (a cable cut,
// a server that stops answering). Its own thread keeps it moving while the
// program waits for an answer on its own thread.
class NetProxy
{
public:
    // Forwards to 127.0.0.1:`targetPort` with `roundTripMs` added to every
    // exchange.
    explicit NetProxy(int targetPort, int roundTripMs = 0);
    ~NetProxy();
    NetProxy(const NetProxy &) = delete;
    NetProxy &operator=(const NetProxy &) = delete;

    // The port the program connects to (0 when the proxy could not listen).
    int port() const { return m_port; }
    void setRoundTrip(int ms);
    // The round trips since the last reset: every time the client speaks
    // after the server has answered (or first on a connection) counts one.
    int roundTrips() const { return m_roundTrips.loadRelaxed(); }
    void resetRoundTrips() { m_roundTrips.storeRelaxed(0); }
    // Connections made through the proxy since it started.
    int connections() const { return m_connections.loadRelaxed(); }
    // Closes both sides of every open connection at once (a cable pulled);
    // new connections are accepted as before.
    void cut();
    // Silent: nothing passes in either direction and new connections reach
    // nobody, while every socket stays open (a server that stops answering,
    // packets dropped without a reset). Off again lets everything through.
    void setSilent(bool silent);

private:
    friend class NetProxyWorker;
    QThread m_thread;
    NetProxyWorker *m_worker = nullptr;
    int m_port = 0;
    QAtomicInt m_roundTrips;
    QAtomicInt m_connections;
};

} // namespace TestSupport

#endif // NETPROXY_H
