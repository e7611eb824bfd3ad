#ifndef WATCHDOG_H
#define WATCHDOG_H

#include <QtGlobal>

// A guard over one statement on a server connection. A server that stops
// answering (a network that drops packets, a computer that hangs) would keep
// the waiting call, and with it the window, blocked until the system gives
// up on the connection, which can take many minutes. While a guard stands,
// a thread of its own watches the connection's socket: after NO_ANSWER_MS
// without a byte from the server it shuts the socket down, and the waiting
// call returns at once with a broken connection. A long answer that keeps
// coming (a backup's documents), or a long statement that is still being
// sent, is not cut where the system tells the bytes that moved (Linux);
// elsewhere the time counts from the statement's start.
namespace Watchdog {

inline constexpr int NO_ANSWER_MS = 10000;

class Guard
{
public:
    // Watches the socket `socket` (libpq's PQsocket); nothing for -1.
    explicit Guard(int socket);
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
