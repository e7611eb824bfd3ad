#ifndef STORED_SETTINGS_H
#define STORED_SETTINGS_H

#include <QString>
#include <QVariant>

// The program's settings: the keys of settings.ini (Paths::SETTINGS_FILE in
// the working folder), their defaults and limits, and the reading of their
// values. Every read and write of settings.ini goes through setting() and
// storeSetting(); the keys with a reading of their own (the database folder,
// the server, the counts) have it here too.
namespace Settings {

// A value of settings.ini (invalid when absent), and writing one; false
// when settings.ini could not be written. Either marks the file hidden.
QVariant setting(const char *key);
bool storeSetting(const char *key, const QVariant &value);

// The database folder, and the folder used when settings.ini names none.
inline constexpr char DATABASE_FOLDER_KEY[] = "Path/db";
inline constexpr char DEFAULT_DATABASE_FOLDER[] = "data";
// How old, in months, a penalty in force is when the program reminds of it
// (0: no reminder), and the value used when settings.ini has none.
inline constexpr char PENALTY_REMINDER_KEY[] = "Reminder/penalty_months";
inline constexpr int DEFAULT_PENALTY_REMINDER = 12;
// The largest value the setting takes: a hundred years.
inline constexpr int MAX_PENALTY_REMINDER = 1200;
// How many of its daily copies of the database the program keeps (0: it
// makes none), the value used when settings.ini has none, and the largest
// (ten years of days). The day the user was last told that the daily copy
// failed, so that he is told once a day.
inline constexpr char AUTO_BACKUP_KEY[] = "Backup/auto_copies";
inline constexpr int DEFAULT_AUTO_BACKUPS = 30;
inline constexpr int MAX_AUTO_BACKUPS = 3650;
inline constexpr char AUTO_BACKUP_TOLD_KEY[] = "Backup/auto_failure_told";
// "По ширине окна": the summary shares the window's width among its columns.
inline constexpr char FIT_TO_WINDOW_KEY[] = "View/fitToWindow";
// The import's matchings of columns the user chose, by the file's headers.
inline constexpr char IMPORT_COLUMNS_KEY[] = "Import/columns";
// The extract from an order, filled once by the unit: the header lines above
// it (the unit's name, up to three lines) and who signs it as a true copy
// ("Верно:"): position, rank and name. None is needed: an empty one leaves a
// line to write in by hand.
inline constexpr int EXTRACT_HEADER_LINES = 3;
inline constexpr const char *EXTRACT_HEADER_KEYS[EXTRACT_HEADER_LINES] = {
    "Extract/header1", "Extract/header2", "Extract/header3"};
inline constexpr char EXTRACT_POSITION_KEY[] = "Extract/position";
inline constexpr char EXTRACT_RANK_KEY[] = "Extract/rank";
inline constexpr char EXTRACT_NAME_KEY[] = "Extract/name";

// The kind of database: "Database/kind" holds "postgresql" for a server;
// anything else, and no value at all, means the SQLite file in the database
// folder. The server's address and the user's name are kept beside it; the
// password never is (libpq reads ~/.pgpass, or the program asks for it).
inline constexpr char KIND_KEY[] = "Database/kind";
inline constexpr char SERVER_KIND[] = "postgresql";
inline constexpr char HOST_KEY[] = "Database/host";
inline constexpr char PORT_KEY[] = "Database/port";
inline constexpr char NAME_KEY[] = "Database/name";
inline constexpr char USER_KEY[] = "Database/user";
inline constexpr int DEFAULT_PORT = 5432;
// The encryption of the connection to the server, in libpq's words
// ("prefer": encrypted where the server offers it, the value when none is
// stored; "require"; "verify-full": the server's certificate checked against
// the certificate authority's file kept beside it, host name included).
inline constexpr char ENCRYPTION_KEY[] = "Database/sslmode";
inline constexpr char CA_FILE_KEY[] = "Database/sslrootcert";

enum class Encryption { Prefer, Require, VerifyFull };
// libpq's sslmode for an encryption, and back (anything unknown is "prefer").
QString sslMode(Encryption encryption);
Encryption encryptionOf(const QString &sslMode);

struct Server
{
    QString host;
    int port = DEFAULT_PORT;
    QString database;
    QString user;
    Encryption encryption = Encryption::Prefer;
    // The certificate authority's file that "verify-full" checks the
    // server's certificate against.
    QString caFile;
};

// True when settings.ini names a server.
bool serverChosen();
Server storedServer();

// The value of "Path/db" as settings.ini holds it (empty when absent).
QString storedDatabaseFolder();
// Writes "Path/db"; false when settings.ini could not be written.
bool storeDatabaseFolder(const QString &folder);
// The database folder: "Path/db", or "data" when it names none.
QString databaseFolder();
// The database file of the folder settings.ini names now.
QString databaseFile();
// The reminder's months: the stored value, or the default when settings.ini
// holds none or a value that is not a whole number from 0 to the largest.
int penaltyReminderMonths();
// The number of daily copies kept: the stored value, or the default when
// settings.ini holds none or one that is not a whole number from 0 to the
// largest.
int autoBackups();
// A whole number from 0 to `largest` typed by the user; false for anything
// else.
bool parseCount(const QString &text, int largest, int *value);
// Why settings.ini, which is there, cannot be read (a folder in its place,
// no right to read it, not a settings file): the program then goes on with
// the standard database folder. Empty when it reads, and when there is none.
QString settingsProblem();

} // namespace Settings

#endif // STORED_SETTINGS_H
