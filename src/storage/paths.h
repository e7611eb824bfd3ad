#ifndef PATHS_H
#define PATHS_H

#include <QString>
#include <QVariant>

// Where the program keeps its files, all relative to the working folder, and
// the one key of settings.ini. Every reader and writer of these names goes
// through here.
namespace Paths {

// The error log.
inline constexpr char LOG_FILE[] = "log";
// The settings file and its key naming the database folder.
inline constexpr char SETTINGS_FILE[] = "settings.ini";
inline constexpr char DATABASE_FOLDER_KEY[] = "Path/db";
// The folder used when settings.ini names none.
inline constexpr char DEFAULT_DATABASE_FOLDER[] = "data";
// The database file inside the database folder.
inline constexpr char DATABASE_FILE_NAME[] = "BaseDate.db";
// The database the schema verification works on, whatever settings.ini says.
inline constexpr char VERIFIED_DATABASE[] = "data/BaseDate.db";
// The table and column descriptors read by the schema verification.
inline constexpr char TABLE_DESCRIPTOR[] = "settingstab.conf";
inline constexpr char COLUMN_DESCRIPTOR[] = "settings.conf";
// "По ширине окна": the summary shares the window's width among its columns.
inline constexpr char FIT_TO_WINDOW_KEY[] = "View/fitToWindow";
// Copies of the documents attached to orders.
inline constexpr char FILES_FOLDER[] = "files";

// A value of settings.ini (invalid when absent), and writing one; false
// when settings.ini could not be written.
QVariant setting(const char *key);
bool storeSetting(const char *key, const QVariant &value);

// The value of "Path/db" as settings.ini holds it (empty when absent).
QString storedDatabaseFolder();
// Writes "Path/db"; false when settings.ini could not be written.
bool storeDatabaseFolder(const QString &folder);
// The database folder: "Path/db", or "data" when it names none.
QString databaseFolder();
// folder + "/BaseDate.db".
QString databaseFile(const QString &folder);
// The database file of the folder settings.ini names now.
QString databaseFile();

} // namespace Paths

#endif // PATHS_H
