#ifndef SERVERBACKUP_H
#define SERVERBACKUP_H

#include <QString>

class QSqlDatabase;

// The backup of a server's register as an SQLite file with its documents.
namespace ServerCopy {

// Writes the server's whole register, with the content of every document,
// into the new SQLite file `target` (never overwritten), its tables made by
// the SQLite descriptors of the working folder. A file cut short is removed.
bool backup(const QString &target, QString *error);
// The same from `from`, a connection to the same server of the calling
// thread's own (a copy made outside the window's thread).
bool backup(const QSqlDatabase &from, const QString &target, QString *error);

} // namespace ServerCopy

#endif // SERVERBACKUP_H
