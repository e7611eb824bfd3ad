#ifndef FAULTS_H
#define FAULTS_H

// Faults of the file system made real for the program under test: files and
// folders it cannot write, a small disk that fills up, another process that
// holds the database's write lock. Each undoes itself when it goes.

#include <QString>

class QProcess;

namespace TestSupport {

// Makes a file or folder unwritable for this process, root included, until it
// goes. Write permission is taken away; a process running as root (as tests
// do in CI) also gives up, for this thread, the privileges that ignore
// permissions; where that does not stop a write the file is marked immutable
// (chattr +i). Every way is checked by trying to write.
class Unwritable
{
public:
    explicit Unwritable(const QString &path);
    ~Unwritable();
    Unwritable(const Unwritable &) = delete;
    Unwritable &operator=(const Unwritable &) = delete;

    bool ok() const { return m_ok; }
    // How the path was made unwritable, or why it could not be.
    QString how() const { return m_how; }

private:
    void undo();

    QString m_path;
    bool m_ok = false;
    bool m_chmod = false;
    bool m_dropped = false;
    bool m_immutable = false;
    unsigned m_mode = 0;
    QString m_how;
};

// True when nothing can be created or written at `path` (a file or folder).
bool cannotWrite(const QString &path);

// A small memory file system (tmpfs) mounted on an empty folder, for a disk
// that fills up. Needs the privilege to mount; ok() says whether it worked.
class SmallDisk
{
public:
    SmallDisk(const QString &folder, int kilobytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool ok() const { return m_ok; }
    QString why() const { return m_why; }
    // Fills what is left with a file "filler" until the disk is full.
    bool fill();
    // Frees `kilobytes` of the filler again.
    bool free(int kilobytes);

private:
    QString m_folder;
    bool m_ok = false;
    QString m_why;
};

// Another process with a connection of its own on a database, holding the
// write lock as a second copy of the program does during its write. The
// test executable runs as that process when holdLockMain() takes over its
// main().
class LockHolder
{
public:
    // Starts the process and returns once it holds the lock. With `row` it
    // adds that rank inside its transaction. It commits on release() or,
    // with `releaseAfterMs` >= 0, by itself after that time. An exclusive
    // lock keeps readers out as well, as a program writing out its changes does.
    LockHolder(const QString &database, int releaseAfterMs, const QString &row = QString(),
               bool exclusive = false);
    ~LockHolder();
    LockHolder(const LockHolder &) = delete;
    LockHolder &operator=(const LockHolder &) = delete;

    bool locked() const { return m_locked; }
    QString error() const { return m_error; }
    // Ends the transaction (committing it) and waits for the process to end.
    bool release();

private:
    QProcess *m_process = nullptr;
    bool m_locked = false;
    QString m_error;
};

// Runs the lock holder when the environment asks for it; returns -1 when
// this process is an ordinary test run.
int holdLockMain(int argc, char *argv[]);

// Gives this process mounts of its own where the system allows it, so that
// a small disk mounted by a test goes with the process even when it dies.
// Call first in main(), before any thread starts.
void privateMounts();

// The running count of faults made, for the summary the tests print.
void countFault();
int faultsInjected();

} // namespace TestSupport

#endif // FAULTS_H
