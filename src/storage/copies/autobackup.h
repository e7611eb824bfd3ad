#ifndef AUTOBACKUP_H
#define AUTOBACKUP_H

#include <QDate>
#include <QObject>
#include <QString>

#include "storage/db/copystop.h"

#include <functional>

class QThread;

// The copies of the database the program makes by itself, one a day. They
// lie beside the user's own copies and are told apart from them by their
// name alone, "BaseDate_auto_<yyyy_MM_dd>.db" (or, when that name is taken
// by something that is not a sound copy, the same with "_2", "_3"... before
// ".db"): only files of such names are ever removed, the oldest days first,
// so that the copies of a set number of days stay. The copy just made is
// never removed, and copies dated after today (a clock that was once wrong)
// are not counted as newer than it: they are left as they are.
namespace AutoBackup {

enum class Outcome { Off, MadeAlready, Made, Failed, Stopped };

struct Result
{
    Outcome outcome = Outcome::Off;
    // The file made.
    QString written;
    // Today's names that were taken by something other than a sound copy
    // (an empty or damaged file, a folder), left untouched.
    QStringList taken;
    // Why no copy was made, fit to follow "… копия … не создана: ".
    QString error;
};

// folder + "/BaseDate_auto_" + "yyyy_MM_dd" + ".db".
QString name(const QString &folder, const QDate &day);

// True when `path` is a whole SQLite database with the register's tables
// (a cheap look: the header, the tables, the length by the pages; not a
// check of every page).
bool isSoundCopy(const QString &path);

// Makes the copy of `today` in `folder` with `copy` (which writes a new file
// under the name given, or says in plain Russian why not) unless a sound one
// is there already, then removes the oldest copies beyond `keep` days. With
// `keep` 0 nothing is made or removed. Runs in any thread.
Result make(const QString &folder, const QDate &today, int keep,
            const std::function<bool(const QString &target, QString *error)> &copy);

// The daily copy in a thread of its own, with connections of its own: of
// the SQLite file `database`, or, when it is empty, of the server the
// program's connection is on. finished() comes in the thread that made the
// Run; going, the Run stops a copy under way (no unfinished file stays).
class Run : public QObject
{
    Q_OBJECT
public:
    Run(const QString &folder, const QDate &today, int keep, const QString &database,
        QObject *parent = nullptr);
    ~Run() override;

    void start();
    // Until finished() has been sent.
    bool running() const { return m_running; }
    // Waits for the copy to end by itself.
    void wait();
    // Stops a copy under way and waits for its thread: the unfinished file
    // is removed, the outcome is Stopped (or Made when the copy was whole).
    void stop();
    const Result &result() const { return m_result; }

signals:
    void finished();

private:
    const QString m_folder;
    const QDate m_today;
    const int m_keep;
    const QString m_database;
    CopyStop m_stop;
    QThread *m_thread = nullptr;
    bool m_running = false;
    Result m_result;
};

} // namespace AutoBackup

#endif // AUTOBACKUP_H
