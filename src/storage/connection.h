#ifndef CONNECTION_H
#define CONNECTION_H

#include <QString>

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

// Opens the closed default connection again, on `file`, and refuses it as
// open() does: for a database that could not be opened at start (locked by
// another program, or not there yet) and may be now.
bool openAgain(const QString &file, QString *reason);

} // namespace Connection

#endif // CONNECTION_H
