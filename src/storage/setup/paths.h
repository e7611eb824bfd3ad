#ifndef PATHS_H
#define PATHS_H

#include <QString>
#include <QtGlobal>

// The names of the program's files and folders, all relative to the working
// folder, and of the files inside the database folder. The keys of
// settings.ini and the reading of their values are in settings.h; the
// database folder itself is a setting (Settings::databaseFolder()).
namespace Paths {

// The error log, kept to about LOG_LIMIT bytes: once it would grow past
// that, it becomes the one older log (replacing the one before) and a new
// one is begun.
inline constexpr char LOG_FILE[] = "log";
inline constexpr char OLDER_LOG_FILE[] = "log.1";
inline constexpr qint64 LOG_LIMIT = 1024 * 1024;
// The settings file (see settings.h).
inline constexpr char SETTINGS_FILE[] = "settings.ini";
// The lock that keeps one copy of the program per working folder.
inline constexpr char LOCK_FILE[] = "vedomer.lock";
// The database file inside the database folder.
inline constexpr char DATABASE_FILE_NAME[] = "BaseDate.db";
// The database the schema verification works on, whatever settings.ini says.
inline constexpr char VERIFIED_DATABASE[] = "data/BaseDate.db";
// The table and column descriptors read by the schema verification.
inline constexpr char TABLE_DESCRIPTOR[] = "settingstab.conf";
inline constexpr char COLUMN_DESCRIPTOR[] = "settings.conf";
// The descriptors of the server's tables (PostgreSQL's types).
inline constexpr char SERVER_TABLE_DESCRIPTOR[] = "settingstab-postgresql.conf";
inline constexpr char SERVER_COLUMN_DESCRIPTOR[] = "settings-postgresql.conf";
// Beside the database while an orders window's changes await their recount.
inline constexpr char COUNTS_UNSETTLED_FILE[] = "BaseDate_counts_unsettled";
// Copies of the documents attached to orders.
inline constexpr char FILES_FOLDER[] = "files";

// Marks a file hidden where the file system knows such a mark (Windows).
void setHidden(const QString &fileName);
// folder + "/BaseDate.db".
QString databaseFile(const QString &folder);
// True when `file` is the database the schema verification works on
// (data/BaseDate.db of the working folder).
bool isVerifiedDatabase(const QString &file);

} // namespace Paths

#endif // PATHS_H
