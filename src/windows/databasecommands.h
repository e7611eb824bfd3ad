#ifndef DATABASECOMMANDS_H
#define DATABASECOMMANDS_H

#include "storage/copies/servercopy.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace AutoBackup {
class Run;
}

class QMainWindow;

// The main window's commands on the database as a whole: the backup, the
// daily copy, the restore (from a file or onto a server) and the transfer
// of a file's register onto a server. They ask and tell through the window
// (its boxes and status bar) and work on the window's connection.
class DatabaseCommands : public QObject
{
    Q_OBJECT

public:
    // `connection` is the window's connection, read at each command;
    // `refillTable` empties and refills the window's table after the
    // database changed.
    DatabaseCommands(QMainWindow *owner, QSqlDatabase &connection, std::function<void()> refillTable);
    // A daily copy under way is stopped; its unfinished file goes.
    ~DatabaseCommands() override;

    // "Создать резервную копию": a copy of the database in use, after a
    // question, under today's dated name.
    void backup();
    // The daily copy, in a thread of its own; the status bar tells the end
    // (and a box, once a day, a failure).
    void backupDaily();
    // Until the end of the daily copy has been told.
    bool dailyCopyRunning() const;
    // "Восстановить резервную копию": the windows on the database closed,
    // a chosen copy put in the place of the database in use.
    void restore();
    // "Перенести базу на сервер": a chosen file's register onto the server,
    // into a database whose tables it makes itself where they are missing,
    // with a progress box that stops it without writing anything.
    void transfer();
    // Opens the window's database again once a transfer has filled a server
    // database that held no tables at start (the window then works on it as
    // if it had opened it at start).
    std::function<void()> openAgain;

private:
    // The restore on a server: the server's data replaced by a file's.
    void restoreOnServer(const QString &folder);
    // The restore's last word once the file has been replaced.
    void tellRestored(const QString &chosen);
    // The database file the program's connection is on: the table, backup
    // and restore all work on it, whatever folder settings.ini names since.
    QString openFile() const;
    // Where copies are written: beside that file, or, for a server, in the
    // local database folder.
    QString copyFolder() const;
    // The database in use, named for a message.
    QString databaseName() const;
    // A note that settings.ini now names another database folder, opened at
    // the next start; empty when it names the one in use.
    QString otherFolderNote() const;
    // A copy of the database in use into the new file `target`.
    bool copyInto(const QString &target, QString *error);
    // The daily copy's end, told in the status bar (and the log).
    void dailyCopyEnded();
    // Waits for a daily copy under way, under the wait cursor.
    void finishDailyCopy();
    // Opens the closed connection again on its file, if the file is there.
    static bool reopenDatabase();
    // Runs long work under the wait cursor.
    static bool busy(const std::function<bool()> &work);
    // The documents a copy onto the server did not find, for the report.
    static QString missingNote(const QStringList &missing);
    // The file's history of changes that stayed behind, and why.
    static QString historyNote(const ServerCopy::Counts &counts);

    QMainWindow *window;
    QSqlDatabase &db;
    std::function<void()> refill;
    std::unique_ptr<AutoBackup::Run> dailyCopy;
};

#endif // DATABASECOMMANDS_H
