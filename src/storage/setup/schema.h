#ifndef SCHEMA_H
#define SCHEMA_H

#include "storage/setup/settings.h"

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
    // True when another program held the database locked, so that it could
    // not be read: nothing was changed.
    bool busy = false;
    // Why the verification did not run at all; empty when it ran.
    QString refused;
    // One entry per descriptor that could not be read or is not well-formed,
    // naming the file and the reason; nothing was dropped on its account.
    QStringList refusedDescriptors;
    // What changed: "table X" created or dropped, "X.column" added or dropped.
    QStringList createdTables;
    QStringList droppedTables;
    QStringList addedColumns;
    QStringList droppedColumns;
    // The copy of the database made by SQLite before the first drop
    // ("BaseDate_before_ver_<date>.db" beside it), empty when nothing was to
    // be dropped.
    QString copyBeforeDrops;
    // When that copy could not be made: why. Nothing was dropped then, and
    // `notDropped` names what stayed ("table X", "X.column").
    QString dropsRefused;
    QStringList notDropped;
    // Drops the database refused (a failing or full disk): what stayed
    // ("table X", "X.column") and why, in plain Russian.
    QStringList failedDrops;
    QString dropFailure;
};

// What becomes of the tables and columns the descriptors do not declare.
enum class Drops {
    // Dropped, after a copy of the database has been made; never without it.
    AfterCopy,
    // Kept (a copy being checked, whose original stays as it is).
    Never,
};

// Verifies `database` against the descriptors on a connection of its own.
// A declared table that is missing is made and filled in one transaction,
// so that a crash leaves it either whole or not there at all.
Report verify(const QString &database, const QString &tableDescriptor, const QString &columnDescriptor,
              Drops drops = Drops::AfterCopy);

// Verifies the server settings.ini names, on the default connection (asking
// for the password as the program does at start); before the first drop the
// register is copied into an SQLite file in the local database folder.
Report verifyServer(const QString &tableDescriptor, const QString &columnDescriptor,
                    const std::function<bool(const Settings::Server &, QString *)> &askPassword);

// Verifies an open connection of any kind; `report.database` names it.
void verifyOpen(const QSqlDatabase &db, const QString &tableDescriptor, const QString &columnDescriptor,
                Report &report, Drops drops);

// The tables the table descriptor declares (the elements that carry a
// creation statement), in `declared`, and those of them that `database`
// lacks, in `missing`. False when the descriptor or the database cannot be
// read; `error` says why.
bool missingTables(const QString &database, const QString &tableDescriptor, QStringList *declared,
                   QStringList *missing, QString *error);

// The declared tables that the open connection `db` lacks, in the order the
// table descriptor declares them. False when the descriptor or the database
// cannot be read; `error` says why.
bool missingTables(const QSqlDatabase &db, const QString &tableDescriptor, QStringList *missing,
                   QString *error);

// Makes the declared tables that `db` lacks by their statements in the table
// descriptor (the creation, then its indexes and first rows), inside the
// transaction the caller has begun, as the verification makes them;
// `created` names them. False at the first statement refused (the caller
// rolls back), with `error` saying why.
bool createMissingTables(const QSqlDatabase &db, const QString &tableDescriptor, QStringList *created,
                         QString *error);

} // namespace Schema

#endif // SCHEMA_H
