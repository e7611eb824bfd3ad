#include "storage/watchdog.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#endif
#ifdef Q_OS_LINUX
// The kernel's own header: its tcp_info tells the bytes moved, which the C
// library's copy lacks.
#include <linux/tcp.h>
#endif

namespace Watchdog {

namespace {

using Clock = std::chrono::steady_clock;

// What the system tells of a connection's traffic: the bytes received and
// the bytes of the program's own that the other side acknowledged. Only
// Linux tells it.
struct Traffic
{
    quint64 received = 0;
    quint64 acknowledged = 0;
    bool operator!=(const Traffic &other) const
    {
        return received != other.received || acknowledged != other.acknowledged;
    }
};

bool traffic(int socket, Traffic *t)
{
#ifdef Q_OS_LINUX
    tcp_info info{};
    socklen_t size = sizeof info;
    if (getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &size) != 0 || size < sizeof info)
        return false;
    t->received = info.tcpi_bytes_received;
    t->acknowledged = info.tcpi_bytes_acked;
    return true;
#else
    Q_UNUSED(socket);
    Q_UNUSED(t);
    return false;
#endif
}

void shutDown(int socket)
{
#ifdef Q_OS_WIN
    ::shutdown(static_cast<SOCKET>(socket), SD_BOTH);
#else
    ::shutdown(socket, SHUT_RDWR);
#endif
}

// The statements being watched, and the thread that watches them. The
// thread starts with the first guard and ends with the program. A socket is
// shut down only while its guard stands, under the lock that the guard's end
// takes too: the connection cannot be closed, and its socket number used
// again, under the watchdog's hands.
class Watch
{
public:
    ~Watch()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    quint64 add(int socket)
    {
        Traffic moved;
        const bool told = traffic(socket, &moved);
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
        const quint64 id = ++m_last;
        m_entries[id] = Entry{socket, Clock::now(), false, told, moved};
        m_wake.notify_all();
        return id;
    }

    bool remove(quint64 id)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_entries.find(id);
        if (it == m_entries.end())
            return false;
        const bool fired = it->second.fired;
        m_entries.erase(it);
        return fired;
    }

private:
    struct Entry
    {
        int socket;
        // Since when nothing has moved, as far as is known.
        Clock::time_point quietSince;
        bool fired;
        // The traffic when it was last looked at, where the system tells it.
        bool told;
        Traffic moved;
    };

    // A long answer still coming, or a long statement still going out (a
    // document restored), is no silence: the time counts from the last
    // look that found bytes moved.
    static void notice(Entry &entry, Clock::time_point now)
    {
        Traffic moved;
        if (!entry.told || !traffic(entry.socket, &moved) || !(moved != entry.moved))
            return;
        entry.moved = moved;
        entry.quietSince = now;
    }

    void run()
    {
        const auto limit = std::chrono::milliseconds(NO_ANSWER_MS);
        constexpr auto LOOK = std::chrono::seconds(1);
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stop) {
            const Clock::time_point now = Clock::now();
            Clock::time_point next = Clock::time_point::max();
            for (auto &[id, entry] : m_entries) {
                if (entry.fired)
                    continue;
                notice(entry, now);
                if (now - entry.quietSince >= limit) {
                    shutDown(entry.socket);
                    entry.fired = true;
                    continue;
                }
                // Where the traffic is told, it is looked at every second.
                next = std::min(next, entry.quietSince + limit);
                if (entry.told)
                    next = std::min(next, now + LOOK);
            }
            if (next == Clock::time_point::max())
                m_wake.wait(lock);
            else
                m_wake.wait_until(lock, next);
        }
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::map<quint64, Entry> m_entries;
    quint64 m_last = 0;
    bool m_stop = false;
    std::thread m_thread;
};

Watch &watch()
{
    static Watch instance;
    return instance;
}

} // namespace

Guard::Guard(int socket)
{
    if (socket >= 0)
        m_id = watch().add(socket);
}

Guard::~Guard()
{
    end();
}

bool Guard::end()
{
    return m_id && watch().remove(std::exchange(m_id, 0));
}

} // namespace Watchdog
