#ifndef CONNECTION_H
#define CONNECTION_H

#include "storage/setup/settings.h"

#include <QString>

#include <functional>

class QSqlDatabase;
struct pg_conn;
struct sqlite3;

// The program's connection: the default connection of Qt's SQL module, on
// the database file that every statement of every window uses.
namespace Connection {

// Registers the default connection on `file` and opens it. SQLite would make
// an empty database of a missing file and opens any file at all, so a
// missing file, and one that does not read as a database or holds no table,
// are refused: the connection then stays registered but closed, and
// `reason` says why (the database's own words or a plain Russian text).
bool open(const QString &file, QString *reason);

// Opens the closed default connection again on its file, refusing a file
// that has gone.
bool reopen(QString *reason);


// Opens the program's default connection on the database settings.ini
// names: the SQLite file in the database folder, or the server (refused,
// like an empty file, when it has no tables yet). A server
// that wants a password ~/.pgpass does not give gets the one `askPassword`
// returns (asked once per run of the program and kept in memory only; false
// when the user gives none). `where` names the database for messages.
bool openChosen(const std::function<bool(const Settings::Server &, QString *password)> &askPassword,
                QString *where, QString *reason);


// True when a table or column that the program's connection had when it was
// opened has gone since (dropped by a verification of another copy of
// the program, or by another program): its statements are then refused
// until the program starts again.
bool tablesChangedSinceOpen();

// The libpq connection under a server connection, null when it is closed
// or is no server's.
pg_conn *serverHandle(const QSqlDatabase &db);
// The SQLite connection under a file connection (of the library the program
// is linked with), null when there is none.
sqlite3 *fileHandle(const QSqlDatabase &db);

// True when `db` is an open server connection that is not encrypted (the
// server offers no encryption and the settings do not demand it).
bool unencrypted(const QSqlDatabase &db);

// Whether the program's connection may only read the register: a server
// user without the right to add, change or delete rows (a viewer), asked
// once when openChosen() opens the connection. An SQLite file is never
// read-only by this.
bool readOnly();
// Why the commands that write are disabled while readOnly(): "Только
// просмотр: у пользователя «…» нет права изменять базу данных".
QString readOnlyReason();
// Asks the server of `db` whether its user may change the register; false
// (with the reason, as readOnlyReason() words it) for a viewer. A question
// the server does not answer counts as may write: its refusals are told
// where they come.
bool mayWrite(const QSqlDatabase &db, QString *reason = nullptr);


// Opens the closed default connection again, on `file`, and refuses it as
// open() does: for a database that could not be opened at start (locked by
// another program, or not there yet) and may be now.
bool openAgain(const QString &file, QString *reason);

// What the rooms above do as the program's connection opens, given once
// at start (Opening::install). `fileOpened` runs after each opening of the
// file by open(), openAgain(), reopen() and openChosen() (a new SQLite
// handle has none of the functions given to the one before);
// `historyMissing` after openChosen() opened a server's register that has
// no history of changes. An empty one is skipped.
struct Hooks
{
    std::function<void(const QSqlDatabase &db)> fileOpened;
    std::function<void(const QSqlDatabase &db)> historyMissing;
};
void setHooks(const Hooks &hooks);

} // namespace Connection

#endif // CONNECTION_H
