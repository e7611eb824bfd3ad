#ifndef SCHEMA_H
#define SCHEMA_H

#include <QString>
#include <QStringList>

// The schema verification: brings a database into line with the table and
// column descriptors. It shows nothing itself; what it did and what stopped
// it come back in a report, and the caller tells the user.
namespace Schema {

struct Report
{
    // The database file worked on.
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

} // namespace Schema

#endif // SCHEMA_H
