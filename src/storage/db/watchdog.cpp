#include "storage/db/watchdog.h"

#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

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

// Where a connection leads, as libpq tells it of the open connection: the
// address it reached (no name to look up again), the port, and the user and
// database, so that the server meets the question as it met the connection.
struct Target
{
    std::string host;
    std::string hostaddr;
    std::string port;
    std::string user;
    std::string dbname;
    bool operator==(const Target &other) const
    {
        return std::tie(host, hostaddr, port, user, dbname) ==
               std::tie(other.host, other.hostaddr, other.port, other.user, other.dbname);
    }
};

std::string text(const char *value)
{
    return value ? std::string(value) : std::string();
}

// Whether a server answers a new connection within PING_S seconds. A refusal
// (a wrong password, a server that is starting or stopping) is an answer
// too: the server is there. Nothing is encrypted, since only the answer
// counts, and no password is sent.
bool answers(const Target &target)
{
    const std::string timeout = std::to_string(PING_S);
    std::vector<const char *> keys;
    std::vector<const char *> values;
    const auto put = [&](const char *key, const std::string &value) {
        if (value.empty())
            return;
        keys.push_back(key);
        values.push_back(value.c_str());
    };
    put("host", target.host);
    put("hostaddr", target.hostaddr);
    put("port", target.port);
    put("user", target.user);
    put("dbname", target.dbname);
    put("connect_timeout", timeout);
    keys.insert(keys.end(), {"sslmode", "gssencmode", nullptr});
    values.insert(values.end(), {"disable", "disable", nullptr});
    const PGPing ping = PQpingParams(keys.data(), values.data(), 0);
    return ping == PQPING_OK || ping == PQPING_REJECT;
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
// again, under the watchdog's hands. The question to the server is asked
// outside the lock, so that a statement that ends meanwhile ends at once;
// the entries are looked up again by their numbers after it.
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

    quint64 add(int socket, Target target)
    {
        Traffic moved;
        const bool told = traffic(socket, &moved);
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
        const quint64 id = ++m_last;
        m_entries[id] = Entry{socket, std::move(target), Clock::now(), false, told, moved};
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
        Target target;
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
        const auto askAfter = std::chrono::milliseconds(ASK_AFTER_MS);
        constexpr auto LOOK = std::chrono::seconds(1);
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stop) {
            const Clock::time_point now = Clock::now();
            Clock::time_point next = Clock::time_point::max();
            std::vector<Target> asked;
            for (auto &[id, entry] : m_entries) {
                if (entry.fired)
                    continue;
                notice(entry, now);
                if (now - entry.quietSince >= askAfter) {
                    if (std::find(asked.begin(), asked.end(), entry.target) == asked.end())
                        asked.push_back(entry.target);
                    continue;
                }
                // Where the traffic is told, it is looked at every second.
                next = std::min(next, entry.quietSince + askAfter);
                if (entry.told)
                    next = std::min(next, now + LOOK);
            }
            if (!asked.empty()) {
                lock.unlock();
                std::vector<bool> answered;
                for (const Target &target : asked)
                    answered.push_back(answers(target));
                lock.lock();
                judge(asked, answered);
                continue;
            }
            if (next == Clock::time_point::max())
                m_wake.wait(lock);
            else
                m_wake.wait_until(lock, next);
        }
    }

    // After the question: every statement still standing and still quiet on
    // a server that was asked (those that came due while it was asked too)
    // waits anew where the server answered and is cut where it did not.
    // Another server's statements are asked of on the next round.
    void judge(const std::vector<Target> &asked, const std::vector<bool> &answered)
    {
        const Clock::time_point now = Clock::now();
        for (auto &[id, entry] : m_entries) {
            if (entry.fired)
                continue;
            notice(entry, now);
            const auto it = std::find(asked.begin(), asked.end(), entry.target);
            if (now - entry.quietSince < std::chrono::milliseconds(ASK_AFTER_MS) || it == asked.end())
                continue;
            if (answered[std::size_t(it - asked.begin())]) {
                entry.quietSince = now;
            } else {
                shutDown(entry.socket);
                entry.fired = true;
            }
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

Guard::Guard(const pg_conn *connection)
{
    const int socket = connection ? PQsocket(connection) : -1;
    if (socket < 0)
        return;
    m_id = watch().add(socket, Target{text(PQhost(connection)), text(PQhostaddr(connection)),
                                      text(PQport(connection)), text(PQuser(connection)),
                                      text(PQdb(connection))});
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
