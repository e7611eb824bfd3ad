#ifndef SCHEMA_H
#define SCHEMA_H

#include "storage/paths.h"

#include <QString>
#include <QStringList>

#include <functional>

class QSqlDatabase;

// The schema verification: brings a database into line with the table and
// column descriptors. It shows nothing itself; what it did and what stopped
// it come back in a report, and the caller tells the user.
namespace Schema {

struct Report
{
    // The database worked on (a file, or "«name» на сервере «host:port»").
    QString database;
    // False when the connection did not open (`openError` says why).
    bool opened = false;
    QString openError;
    // True when the file opened but does not read as a database: it is left
    // as it is.
    bool unreadable = false;
    // One entry per descriptor that could not be read or is not well-formed,
    // naming the file and the reason; nothing was dropped on its account.
    QStringList refusedDescriptors;
    // What changed: "table X" created or dropped, "X.column" added or dropped.
    QStringList createdTables;
    QStringList droppedTables;
    QStringList addedColumns;
    QStringList droppedColumns;
};

// Verifies `database` against the descriptors on the program's default
// connection, which is registered for it and removed again afterwards.
Report verify(const QString &database, const QString &tableDescriptor, const QString &columnDescriptor);

// Verifies the server settings.ini names, on the default connection (asking
// for the password as the program does at start).
Report verifyServer(const QString &tableDescriptor, const QString &columnDescriptor,
                    const std::function<bool(const Paths::Server &, QString *)> &askPassword);

// Verifies an open connection of any kind.
void verifyOpen(const QSqlDatabase &db, const QString &tableDescriptor, const QString &columnDescriptor,
                Report &report);

} // namespace Schema

#endif // SCHEMA_H
