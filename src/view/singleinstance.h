#ifndef SINGLEINSTANCE_H
#define SINGLEINSTANCE_H

#include <QDateTime>
#include <QLockFile>
#include <QObject>
#include <QString>

class QLocalServer;

// One copy of the program per working folder: the first copy holds a lock
// file there and listens for a later copy, which asks it to come forward
// instead of opening a second window on the same database. A lock left by a
// copy that no longer runs, and an empty, damaged or unreadable lock file
// (a power cut while it was written), are taken over. The lock of a copy on
// another computer (a folder on a flash drive or a shared disk) cannot be
// checked from here: the user decides.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        // This copy holds the lock.
        Acquired,
        // The folder allows no lock file at all (a read-only folder), which
        // is no reason not to run.
        WithoutLock,
        // A copy that runs on this computer holds it.
        HeldHere,
        // A copy on another computer holds it, or held it when that
        // computer was left without closing the program: holder() says
        // which computer and since when.
        HeldElsewhere,
    };
    // What the lock file of another copy says.
    struct Holder
    {
        QString host;
        qint64 pid = 0;
        // When the lock file was written.
        QDateTime since;
    };

    explicit SingleInstance(const QString &folder, QObject *parent = nullptr);
    ~SingleInstance() override;

    Outcome tryAcquire();
    // True when this copy may run without asking anybody (Acquired or
    // WithoutLock).
    bool acquire();
    const Holder &holder() const { return m_holder; }
    // Replaces the lock of another computer by this copy's own, once the
    // user has said that nothing runs there any more; false when the lock
    // could not be taken.
    bool takeOver();
    // True when this copy runs in a folder whose lock another computer held
    // and the user opened it anyway: its database may be in use there.
    bool openedOverAnotherLock() const { return m_overAnother; }
    // Asks the copy that holds the lock to bring its window forward; false
    // when it could not be reached.
    bool askToComeForward() const;

signals:
    // A later copy asked this one to bring its window forward.
    void comeForward();

private:
    // Removes a lock file that names no copy at all and takes the lock.
    Outcome takeOverDamaged(const QString &why);
    void listen();

    QString m_folder;
    QLockFile m_lock;
    QLocalServer *m_server = nullptr;
    Holder m_holder;
    bool m_overAnother = false;
};

#endif // SINGLEINSTANCE_H
