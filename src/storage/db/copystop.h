#ifndef COPYSTOP_H
#define COPYSTOP_H

#include <atomic>

class QSqlDatabase;

// Stops a copy of the database that runs in a thread of its own (the daily
// copy) when the program closes. While a Scope lives in that thread, every
// SQLite connection a copy opens there is watched: once stop() is called,
// each statement on it ends within moments with SQLite's "interrupted", so
// the copy fails, removes its temporary file and the thread ends. A copy
// made outside a Scope (the backup command, the restore) is not watched.
class CopyStop
{
public:
    class Scope
    {
    public:
        explicit Scope(CopyStop *stop);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        CopyStop *m_previous;
    };

    // From any thread.
    void stop() { m_stopped = true; }
    bool stopped() const { return m_stopped; }

    // Called in the copy's thread on a connection it has just opened; the
    // connection must be closed before the Scope ends.
    static void watch(const QSqlDatabase &db);

private:
    std::atomic<bool> m_stopped{false};
};

#endif // COPYSTOP_H
