#include "storage/setup/schema.h"

#include "function.h"
#include "storage/db/connection.h"
#include "storage/copies/databasecopy.h"
#include "storage/setup/descriptor.h"
#include "storage/db/errors.h"
#include "storage/history/historylog.h"
#include "storage/history/historytable.h"
#include "storage/setup/settings.h"
#include "storage/db/privateconnection.h"
#include "storage/db/errorlog.h"
#include "storage/db/quoting.h"
#include "storage/copies/servercopy.h"
#include "storage/db/sql.h"
#include "storage/copies/serverbackup.h"
#include "storage/db/serverconnection.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace {

// Reads a descriptor. One that cannot be read changes nothing; the log and
// the report keep why.
bool readDescriptor(const QString &descriptor, QList<Descriptor::Element> &elements, Schema::Report &report)
{
    QString error;
    if (Descriptor::read(descriptor, elements, error))
        return true;
    Query::appendLog(error + QLatin1Char('\n'));
    qDebug() << error;
    report.refusedDescriptors.append(error);
    return false;
}

// An SQL identifier in double quotes.
QString ident(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

struct TableInfo
{
    QString name;
    QString sql;
};

bool readTables(const QSqlDatabase &db, QList<TableInfo> &tables, QSqlError *error = nullptr)
{
    QSqlQuery query = Function::Myquery(Sql::text(Sql::SELECT_TABLES, db), db);
    if (!query.isActive()) {
        if (error)
            *error = query.lastError();
        return false;
    }
    while (query.next())
        tables.append({query.value(0).toString(), query.value(1).toString()});
    return true;
}

// One verification: its connection, what it reports, and the copy made
// before the first drop.
struct Run
{
    QSqlDatabase db;
    QString database;
    Schema::Drops drops;
    Schema::Report &report;

    // True when a drop may go ahead: the copy exists (made now if it is the
    // first drop). Otherwise the drop is noted as not done.
    bool mayDrop(const QString &what)
    {
        if (drops == Schema::Drops::Never)
            return false;
        if (report.copyBeforeDrops.isEmpty() && report.dropsRefused.isEmpty()) {
            // A register on a server is copied into the local database folder.
            const bool server = Sql::onServer(db);
            const QString target = DatabaseCopy::freeDatedName(
                server ? Settings::databaseFolder() : QFileInfo(database).absolutePath(),
                QStringLiteral("BaseDate_before_ver_"), QDateTime::currentDateTime());
            QString error;
            if (server ? ServerCopy::backup(target, &error)
                       : DatabaseCopy::backup(database, target, &error)) {
                report.copyBeforeDrops = target;
                Query::appendLog(
                    QStringLiteral("Перед удалением таблиц и столбцов, которых нет в описаниях, база данных "
                                   "сохранена в файле %1\n")
                        .arg(target));
            } else {
                report.dropsRefused = error;
                Query::appendLog(
                    QStringLiteral("Таблицы и столбцы, которых нет в описаниях, не удалены: не "
                                   "удалось сохранить копию базы данных (%1)\n")
                        .arg(error));
            }
        }
        if (!report.copyBeforeDrops.isEmpty())
            return true;
        report.notDropped.append(what);
        return false;
    }

    // A drop the database refused (its transaction undone): what stayed is
    // told at the start, not only in the log.
    void dropFailed(const QString &what, const QSqlError &error)
    {
        report.failedDrops.append(what);
        if (!report.dropFailure.isEmpty())
            return;
        // A full or failing disk is named; another refusal of SQLite (an
        // index or a view on the column) has its own words in the log.
        const bool server = Sql::onServer(db);
        report.dropFailure =
            server || Errors::isDiskWriteFault(error) || Errors::isBusy(error, db.driverName())
                ? Errors::describe(error, db.driverName())
                : QStringLiteral("база данных отказала (её ответ записан в файл log)");
    }
};

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Phase 1: creates the declared tables that are missing and drops the tables
// that the descriptor does not declare.
void verifyTables(Run &run, const QList<TableInfo> &tables, const QString &descriptor)
{
    Schema::Report &report = run.report;
    QList<Descriptor::Element> elements;
    if (!readDescriptor(descriptor, elements, report))
        return;
    QStringList remaining;
    for (const TableInfo &t : tables)
        remaining.append(t.name);
    QStringList seen;
    for (const Descriptor::Element &e : elements) {
        const bool again =
            std::any_of(seen.cbegin(), seen.cend(), [&](const QString &s) { return sameName(s, e.name); });
        if (again) {
            qDebug().noquote() << "Таблица " + e.name + " объявлена повторно; повтор пропущен";
            continue;
        }
        seen.append(e.name);
        const bool exists = std::any_of(tables.cbegin(), tables.cend(),
                                        [&](const TableInfo &t) { return sameName(t.name, e.name); });
        if (exists) {
            remaining.removeIf([&](const QString &s) { return sameName(s, e.name); });
            qDebug().noquote() << "Таблица " + e.name + " верификацию прошла";
            continue;
        }
        if (e.attributes.isEmpty())
            continue;
        // The creation statement and what fills the new table stand or fall
        // together: a table is there filled, or not at all.
        if (!Function::Myquery(Sql::text(Sql::BEGIN_IMMEDIATE, run.db), run.db).isActive())
            continue;
        bool ok = true;
        for (const auto &attribute : e.attributes) {
            if (!Function::Myquery(attribute.second, run.db).isActive()) {
                ok = false;
                break;
            }
        }
        if (ok && Function::Myquery(QString::fromLatin1(Sql::COMMIT), run.db).isActive())
            report.createdTables.append(e.name);
        else
            Function::Myquery(QString::fromLatin1(Sql::ROLLBACK), run.db);
    }
    // The copies of documents in a backup written from a server are not
    // declared for an SQLite file, yet they are the program's own.
    if (!Sql::onServer(run.db))
        remaining.removeIf([](const QString &s) { return sameName(s, QString::fromLatin1(Sql::CONTENT_TABLE)); });
    // The history of changes is the program's own too, made where the
    // register opens: it is never dropped.
    remaining.removeIf([](const QString &s) { return sameName(s, QString::fromLatin1(History::TABLE)); });
    for (const QString &name : remaining) {
        if (!run.mayDrop(QStringLiteral("таблица ") + name))
            continue;
        const QSqlQuery drop =
            Function::Myquery(QString::fromLatin1(Sql::DROP_TABLE).arg(ident(name)), run.db);
        if (drop.isActive()) {
            report.droppedTables.append(name);
            Query::appendLog(QStringLiteral("Таблица %1 удалена: её нет в %2\n").arg(name, descriptor));
        } else {
            run.dropFailed(QStringLiteral("таблица ") + name, drop.lastError());
        }
    }
}

// Phase 2: adds the declared columns that are missing and drops the columns
// whose names the descriptor does not declare.
void verifyColumns(Run &run, const QString &descriptor)
{
    Schema::Report &report = run.report;
    QList<Descriptor::Element> elements;
    if (!readDescriptor(descriptor, elements, report))
        return;
    QList<TableInfo> tables;
    if (!readTables(run.db, tables))
        return;
    const QString attributeName = QStringLiteral("AtributSql");
    for (const TableInfo &table : tables) {
        QStringList definitions;
        for (const Descriptor::Element &e : elements) {
            if (!sameName(e.name, table.name))
                continue;
            for (const auto &attribute : e.attributes) {
                if (attribute.first == attributeName && !Descriptor::columnName(attribute.second).isEmpty())
                    definitions.append(attribute.second);
            }
        }
        if (definitions.isEmpty()) {
            // Nothing declared for this table: leave its columns alone rather
            // than treat every one of them as undeclared.
            qDebug().noquote() << "Столбцы таблицы " + table.name + " не описаны; таблица не изменена";
            continue;
        }
        QStringList present;
        QSqlQuery info =
            Function::Myquery(Sql::text(Sql::TABLE_INFO, run.db).arg(Query::quote(table.name)), run.db);
        if (!info.isActive())
            continue;
        const int nameField = info.record().indexOf(QStringLiteral("name"));
        while (info.next())
            present.append(info.value(nameField).toString());
        info.finish();

        auto has = [](const QStringList &list, const QString &name) {
            return std::any_of(list.cbegin(), list.cend(),
                               [&](const QString &s) { return sameName(s, name); });
        };
        QStringList declared;
        for (const QString &definition : std::as_const(definitions)) {
            const QString name = Descriptor::columnName(definition);
            declared.append(name);
            if (has(present, name))
                continue;
            qDebug().noquote() << table.sql;
            if (Function::Myquery(QString::fromLatin1(Sql::ADD_COLUMN).arg(ident(table.name), definition),
                                  run.db)
                    .isActive()) {
                present.append(name);
                report.addedColumns.append(table.name + QLatin1Char('.') + name);
            }
        }
        QStringList leftovers;
        for (const QString &name : std::as_const(present)) {
            if (!has(declared, name))
                leftovers.append(name);
        }
        qDebug() << leftovers;
        for (const QString &name : std::as_const(leftovers)) {
            if (!run.mayDrop(table.name + QLatin1Char('.') + name))
                continue;
            const QSqlQuery drop = Function::Myquery(
                QString::fromLatin1(Sql::DROP_COLUMN).arg(ident(table.name), ident(name)), run.db);
            if (drop.isActive()) {
                report.droppedColumns.append(table.name + QLatin1Char('.') + name);
                Query::appendLog(QStringLiteral("Столбец %1 таблицы %2 удалён: его нет в %3\n")
                                        .arg(name, table.name, descriptor));
            } else {
                run.dropFailed(table.name + QLatin1Char('.') + name, drop.lastError());
            }
        }
    }
}

// A writer holding the file is waited for briefly.
const QString BUSY_TIMEOUT = QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000");

} // namespace

void Schema::verifyOpen(const QSqlDatabase &db, const QString &tableDescriptor,
                        const QString &columnDescriptor, Report &report, Drops drops)
{
    Run run{db, report.database, drops, report};
    report.opened = true;
    QList<TableInfo> tables;
    QSqlError error;
    if (readTables(run.db, tables, &error)) {
        verifyTables(run, tables, tableDescriptor);
        verifyColumns(run, columnDescriptor);
        // On a server the history is written by the database: its table,
        // triggers and rights are made (again) by the owner here.
        if (Sql::onServer(db) && !History::installOnServer(db, &error))
            Query::appendLog(QStringLiteral("История изменений на сервере не настроена: %1\n")
                                 .arg(Errors::describe(error, db.driverName())));
    } else if (Errors::isBusy(error, db.driverName())) {
        report.busy = true;
    } else {
        report.unreadable = true;
    }
}

Schema::Report Schema::verify(const QString &database, const QString &tableDescriptor,
                              const QString &columnDescriptor, Drops drops)
{
    Report report;
    report.database = database;
    QDir().mkpath(QFileInfo(database).path());
    const PrivateConnection c(database, BUSY_TIMEOUT, PrivateConnection::Stop::Unwatched);
    if (!c.opened()) {
        report.openError = c.db().lastError().text();
        qDebug() << report.openError << "Обращение к базе завершено  с ошибкой";
    } else {
        verifyOpen(c.db(), tableDescriptor, columnDescriptor, report, drops);
    }
    return report;
}

Schema::Report
Schema::verifyServer(const QString &tableDescriptor, const QString &columnDescriptor,
                     const std::function<bool(const Settings::Server &, QString *)> &askPassword)
{
    Report report;
    report.database = Connection::describe(Settings::storedServer());
    {
        if (!Connection::openChosenServer(QString(), &report.openError, askPassword)) {
            qDebug() << report.openError << "Обращение к базе завершено  с ошибкой";
        } else {
            QSqlDatabase db =
                QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
            // A viewer changes no table: the verification is left to a user
            // who may write.
            QString viewer;
            if (Connection::mayWrite(db, &viewer))
                verifyOpen(db, tableDescriptor, columnDescriptor, report, Drops::AfterCopy);
            else {
                report.opened = true;
                report.refused = QStringLiteral("Проверка таблиц (--ver) не выполнена. %1.").arg(viewer);
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QString::fromLatin1(QSqlDatabase::defaultConnection));
    return report;
}

bool Schema::missingTables(const QString &database, const QString &tableDescriptor, QStringList *declared,
                           QStringList *missing, QString *error)
{
    QList<Descriptor::Element> elements;
    if (!Descriptor::read(tableDescriptor, elements, *error))
        return false;
    declared->clear();
    missing->clear();
    for (const Descriptor::Element &e : std::as_const(elements)) {
        if (!e.attributes.isEmpty())
            declared->append(e.name);
    }
    bool read = false;
    QList<TableInfo> tables;
    // Opening a missing file would make an empty database of it.
    if (!QFileInfo(database).isFile()) {
        *error = QStringLiteral("файл %1 не найден").arg(database);
    } else {
        const PrivateConnection c(database, BUSY_TIMEOUT, PrivateConnection::Stop::Unwatched);
        if (!c.opened())
            *error = Errors::describe(c.db().lastError());
        else if (!readTables(c.db(), tables))
            *error = QStringLiteral("файл %1 не читается как база данных").arg(database);
        else
            read = true;
    }
    for (const QString &table : std::as_const(*declared)) {
        if (read && std::none_of(tables.cbegin(), tables.cend(),
                                 [&](const TableInfo &t) { return sameName(t.name, table); }))
            missing->append(table);
    }
    return read;
}

namespace {

// The elements of the table descriptor that `db` lacks, each once.
bool missingElements(const QSqlDatabase &db, const QString &tableDescriptor,
                     QList<Descriptor::Element> *missing, QString *error)
{
    QList<Descriptor::Element> elements;
    if (!Descriptor::read(tableDescriptor, elements, *error))
        return false;
    QList<TableInfo> tables;
    QSqlError failure;
    if (!readTables(db, tables, &failure)) {
        *error = Errors::describe(failure, db.driverName());
        return false;
    }
    for (const Descriptor::Element &e : std::as_const(elements)) {
        auto named = [&](const QString &name) { return sameName(name, e.name); };
        const bool there =
            std::any_of(tables.cbegin(), tables.cend(), [&](const TableInfo &t) { return named(t.name); }) ||
            std::any_of(missing->cbegin(), missing->cend(),
                        [&](const Descriptor::Element &m) { return named(m.name); });
        if (!e.attributes.isEmpty() && !there)
            missing->append(e);
    }
    return true;
}

} // namespace

bool Schema::missingTables(const QSqlDatabase &db, const QString &tableDescriptor, QStringList *missing,
                           QString *error)
{
    QList<Descriptor::Element> elements;
    if (!missingElements(db, tableDescriptor, &elements, error))
        return false;
    missing->clear();
    for (const Descriptor::Element &e : std::as_const(elements))
        missing->append(e.name);
    return true;
}

bool Schema::createMissingTables(const QSqlDatabase &db, const QString &tableDescriptor, QStringList *created,
                                 QString *error)
{
    QList<Descriptor::Element> elements;
    if (!missingElements(db, tableDescriptor, &elements, error))
        return false;
    for (const Descriptor::Element &e : std::as_const(elements)) {
        for (const auto &attribute : e.attributes) {
            QSqlError failure;
            if (!PrivateConnection::run(db, attribute.second, {}, nullptr, &failure)) {
                *error = QStringLiteral("таблица %1 не создана: %2")
                             .arg(e.name, Errors::describe(failure, db.driverName()));
                return false;
            }
        }
        created->append(e.name);
    }
    return true;
}
