#ifndef COPYFILES_H
#define COPYFILES_H

// What the backup, the restore and the check of a chosen file share: a
// connection of their own on one file and SQLite's copy through it. Used
// only by the files of DatabaseCopy.

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include <filesystem>

namespace CopyFiles {

// Read-only, waiting briefly for a writer.
extern const QString READ_ONLY;
// The backup also runs outside the window's thread, where the program's
// connection cannot be asked for its driver.
extern const QString SQLITE_DRIVER;

// A connection of its own on one file, removed again when it goes. Queries
// made on it must go first.
class OwnConnection
{
public:
    OwnConnection(const QString &path, const QString &options);
    ~OwnConnection();
    OwnConnection(const OwnConnection &) = delete;
    OwnConnection &operator=(const OwnConnection &) = delete;

    QSqlDatabase db;
    bool opened = false;

private:
    QString m_name;
};

// The file's name in «», for a message.
QString quoted(const QString &path);
// True when the file is gone afterwards (or was never there).
bool removeFile(const QString &path);
std::filesystem::path fsPath(const QString &name);
// SQLite's own consistent copy of `source` into `target`, which must not
// exist. On failure `failure` holds the database's error.
bool snapshot(const QString &source, const QString &target, QSqlError *failure);
// Checks the temporary copy `copy` of the chosen file against the table and
// column descriptors of the working folder and brings it in line with them;
// false with the reason, naming `chosen`, when it is not the program's.
bool checkChosen(const QString &copy, const QString &chosen, QString *error);

} // namespace CopyFiles

#endif // COPYFILES_H
