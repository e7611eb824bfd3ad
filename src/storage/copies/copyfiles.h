#ifndef COPYFILES_H
#define COPYFILES_H

// What the backup, the restore and the check of a chosen file share:
// SQLite's copy through a connection of its own, and the files' names. Used
// only by the files of DatabaseCopy.

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include <filesystem>

namespace CopyFiles {

// The backup also runs outside the window's thread, where the program's
// connection cannot be asked for its driver.
extern const QString SQLITE_DRIVER;

// The file's name in «», for a message.
QString quoted(const QString &path);
// True when the file is gone afterwards (or was never there).
bool removeFile(const QString &path);
std::filesystem::path fsPath(const QString &name);
// SQLite's own consistent copy of `source` into `target`, which must not
// exist. On failure `failure` holds the database's error.
bool snapshot(const QString &source, const QString &target, QSqlError *failure);

} // namespace CopyFiles

#endif // COPYFILES_H
