#include "storage/copies/serverbackup.h"
#include "storage/copies/servercopy.h"

#include "function.h"
#include "storage/copies/databasecopy.h"
#include "storage/db/errors.h"
#include "storage/history/historylog.h"
#include "storage/history/historytable.h"
#include "storage/setup/paths.h"
#include "storage/db/privateconnection.h"
#include "storage/setup/schema.h"
#include "storage/copies/tablecopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

// The backup of a server as an SQLite file with its documents (the restore
// and the move onto a server are in servercopy.cpp).

using namespace TableCopy;

namespace {

// The register and the documents of the server into an SQLite file.
bool copyFromServer(const QSqlDatabase &from, const QSqlDatabase &to, QString *error)
{
    if (!run(QString::fromLatin1(Sql::BEGIN), to, error))
        return false;
    TableColumns serverColumns(from);
    TableColumns fileColumns(to);
    // The documents go into the file with the register.
    bool ok = run(QString::fromLatin1(Sql::CREATE_CONTENT_TABLE), to, error);
    // The new file's reference tables were seeded on creation; the server's
    // take their place.
    for (const Table &table : TABLES) {
        ok = ok && run(QString::fromLatin1(Sql::DELETE_ROWS).arg(QString::fromLatin1(table.name)), to, error) &&
             copyRows(from, serverColumns, to, fileColumns, table, error);
    }
    // The documents come in one result, one row at a time, so only one
    // document is in memory at once. A server's forward-only result is read
    // row by row, and any other statement on its connection would end it
    // there: none runs on `from` until the last row has come.
    // Queries name their connection: the daily copy runs this in a thread
    // of its own, where the program's default connection is not to be used.
    QSqlQuery documents(from);
    ok = ok && run(QString::fromLatin1(Sql::SELECT_ALL_CONTENT), from, error, &documents);
    while (ok && documents.next())
        ok = run(QString::fromLatin1(Sql::INSERT_CONTENT), to, error, nullptr,
                 {documents.value(0).toString(), documents.value(1).toByteArray()});
    if (ok && documents.lastError().isValid()) {
        *error = Errors::describe(documents.lastError(), from.driverName());
        ok = false;
    }
    documents = QSqlQuery(from);
    // The history of changes goes along where the server keeps one.
    const bool history = ok && !serverColumns.of(QString::fromLatin1(History::TABLE)).isEmpty();
    if (history) {
        QSqlError failure;
        ok = History::ensureTable(to, &failure);
        if (!ok)
            *error = Errors::describe(failure, to.driverName());
        ok = ok && copyRows(from, serverColumns, to, fileColumns, TableCopy::history(), error);
    }
    // The copy counts as made only when it holds every row and every
    // document the server has in the same picture of the register.
    QStringList names;
    for (const char *table : {"Ranks", "Emploeses", "Combat", "prikaz", "Files", "Kopii", "history"}) {
        if (history || qstrcmp(table, History::TABLE) != 0)
            names.append(QString::fromLatin1(table));
    }
    QList<int> there, here;
    ok = ok && countRows(from, names, &there, error) && countRows(to, names, &here, error);
    for (int i = 0; ok && i < names.size(); ++i) {
        if (here[i] != there[i]) {
            *error = names[i] == QLatin1String(Sql::CONTENT_TABLE)
                         ? QStringLiteral("в копию попало документов %1 из %2").arg(here[i]).arg(there[i])
                         : QStringLiteral("в копию попало строк таблицы %1: %2 из %3")
                               .arg(names[i])
                               .arg(here[i])
                               .arg(there[i]);
            ok = false;
        }
    }
    ok = ok && run(QString::fromLatin1(Sql::COMMIT), to, error);
    if (!ok)
        Function::Myquery(QString::fromLatin1(Sql::ROLLBACK), to);
    return ok;
}

} // namespace

bool ServerCopy::backup(const QString &target, QString *error)
{
    return backup(QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false), target,
                  error);
}

bool ServerCopy::backup(const QSqlDatabase &from, const QString &target, QString *error)
{
    if (QFileInfo::exists(target)) {
        *error = QStringLiteral("файл «%1» уже есть (копии, сделанные в одну секунду, получают одно имя; "
                                "повторите через секунду)")
                     .arg(QFileInfo(target).fileName());
        return false;
    }
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        *error = QStringLiteral("не удалось создать папку «%1»").arg(QFileInfo(target).absolutePath());
        return false;
    }
    bool ok = false;
    // Written under a temporary name and named once complete, so a copy cut
    // short by a crash never looks like a backup.
    const QString part = DatabaseCopy::partName(target);
    {
        PrivateConnection file(part, QString());
        const QSqlDatabase to = file.db();
        if (!to.isOpen()) {
            *error = Errors::describe(to.lastError(), to.driverName());
        } else {
            Schema::Report report;
            report.database = target;
            // A new file: there is nothing in it to drop.
            Schema::verifyOpen(to, QString::fromLatin1(Paths::TABLE_DESCRIPTOR),
                               QString::fromLatin1(Paths::COLUMN_DESCRIPTOR), report, Schema::Drops::Never);
            if (!report.refusedDescriptors.isEmpty())
                *error = report.refusedDescriptors.join(QLatin1Char(' '));
            // One consistent picture of the register, whatever the other
            // clerks change meanwhile.
            else if (run(QString::fromLatin1(Sql::BEGIN_SNAPSHOT), from, error))
                ok = copyFromServer(from, to, error);
            if (ok)
                Function::Myquery(QString::fromLatin1(Sql::COMMIT), from);
            else
                Function::Myquery(QString::fromLatin1(Sql::ROLLBACK), from);
        }
    }
    if (ok && !QFile::rename(part, target)) {
        *error = QStringLiteral("временный файл не переименован в «%1»").arg(QFileInfo(target).fileName());
        ok = false;
    }
    // A copy cut short is no backup.
    if (!ok)
        QFile::remove(part);
    return ok;
}

