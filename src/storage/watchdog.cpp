#include "storage/watchdog.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace Watchdog {

namespace {

using Clock = std::chrono::steady_clock;

// The milliseconds since the socket last received data, or -1 where the
// system does not tell.
qint64 sinceLastData(int socket)
{
#ifdef Q_OS_LINUX
    tcp_info info{};
    socklen_t size = sizeof info;
    if (getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 && size >= sizeof info)
        return info.tcpi_last_data_recv;
#else
    Q_UNUSED(socket);
#endif
    return -1;
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
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
        const quint64 id = ++m_last;
        m_entries[id] = Entry{socket, Clock::now(), false};
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

    bool fired(quint64 id) const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_entries.find(id);
        return it != m_entries.end() && it->second.fired;
    }

private:
    struct Entry
    {
        int socket;
        // Since when no answer has come, as far as is known.
        Clock::time_point quietSince;
        bool fired;
    };

    void run()
    {
        const auto limit = std::chrono::milliseconds(NO_ANSWER_MS);
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stop) {
            const Clock::time_point now = Clock::now();
            Clock::time_point next = Clock::time_point::max();
            for (auto &[id, entry] : m_entries) {
                if (entry.fired)
                    continue;
                if (now - entry.quietSince >= limit) {
                    const qint64 quiet = sinceLastData(entry.socket);
                    if (quiet >= 0 && quiet < NO_ANSWER_MS) {
                        // The answer is still coming.
                        entry.quietSince = now - std::chrono::milliseconds(quiet);
                    } else {
                        shutDown(entry.socket);
                        entry.fired = true;
                        continue;
                    }
                }
                next = std::min(next, entry.quietSince + limit);
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
    if (m_id)
        watch().remove(m_id);
}

bool Guard::fired() const
{
    return m_id && watch().fired(m_id);
}

} // namespace Watchdog
