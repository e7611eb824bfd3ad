#ifndef WATCHDOG_H
#define WATCHDOG_H

#include <QtGlobal>

struct pg_conn;

// A guard over one statement on a server connection. A server that stops
// answering (a network that drops packets, a computer that hangs) would keep
// the waiting call, and with it the window, blocked until the system gives
// up on the connection, which can take many minutes. While a guard stands,
// a thread of its own watches the connection's socket. After ASK_AFTER_MS
// without a byte from the server it asks whether the server is there, with a
// new connection to the same address that may take PING_S seconds: a server
// that answers is busy (a statement waiting on a row another clerk holds, a
// large statement on a loaded server) and the statement goes on waiting, the
// quiet time starting again; of one that does not, the socket is shut down
// and the waiting call returns at once with a broken connection. A silent
// server is so left within NO_ANSWER_MS. A long answer that keeps coming (a
// backup's documents), or a long statement that is still being sent, is no
// silence where the system tells the bytes that moved (Linux); elsewhere the
// time counts from the statement's start.
namespace Watchdog {

inline constexpr int NO_ANSWER_MS = 10000;
inline constexpr int PING_S = 3;
inline constexpr int ASK_AFTER_MS = NO_ANSWER_MS - PING_S * 1000;

class Guard
{
public:
    // Watches the socket of libpq's connection `connection`; nothing for
    // null or a connection without a socket.
    explicit Guard(const pg_conn *connection);
    ~Guard();
    Guard(const Guard &) = delete;
    Guard &operator=(const Guard &) = delete;

    // Ends the watch; true when the guard shut the socket down for want of
    // an answer.
    bool end();

private:
    quint64 m_id = 0;
};

} // namespace Watchdog

#endif // WATCHDOG_H
