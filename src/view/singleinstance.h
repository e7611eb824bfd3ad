#ifndef SINGLEINSTANCE_H
#define SINGLEINSTANCE_H

#include <QLockFile>
#include <QObject>
#include <QString>

class QLocalServer;

// One copy of the program per working folder: the first copy holds a lock
// file there (a lock left by a copy that no longer runs is taken over) and
// listens for a later copy, which asks it to come forward instead of
// opening a second window on the same database.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString &folder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this copy may run: it holds the lock, or the folder allows
    // no lock file at all (a read-only folder), which is no reason not to run.
    bool acquire();
    // Asks the copy that holds the lock to bring its window forward; false
    // when it could not be reached.
    bool askToComeForward() const;

signals:
    // A later copy asked this one to bring its window forward.
    void comeForward();

private:
    QString m_folder;
    QLockFile m_lock;
    QLocalServer *m_server = nullptr;
};

#endif // SINGLEINSTANCE_H
