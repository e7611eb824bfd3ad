#include "storage/schema.h"

#include "function.h"
#include "storage/connection.h"
#include "storage/descriptor.h"
#include "storage/sql.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace {

// A descriptor that cannot be read changes nothing; the log keeps why.
void refuse(const QString &error, Schema::Report &report)
{
    Function::appendLog(error + QLatin1Char('\n'));
    qDebug() << error;
    report.refusedDescriptors.append(error);
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

bool readTables(const QSqlDatabase &db, QList<TableInfo> &tables)
{
    QSqlQuery query = Function::Myquery(Sql::text(Sql::SELECT_TABLES, db), db);
    if (!query.isActive())
        return false;
    while (query.next())
        tables.append({query.value(0).toString(), query.value(1).toString()});
    return true;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Phase 1: creates the declared tables that are missing and drops the tables
// that the descriptor does not declare.
void verifyTables(const QSqlDatabase &db, const QList<TableInfo> &tables, const QString &descriptor,
                  Schema::Report &report)
{
    QList<Descriptor::Element> elements;
    QString error;
    if (!Descriptor::read(descriptor, elements, error)) {
        refuse(error, report);
        return;
    }
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
        // The creation statement first, then what fills the new table; stop at
        // the first failure so nothing runs against a table that was not made.
        bool created = false;
        for (const auto &attribute : e.attributes) {
            if (!Function::Myquery(attribute.second, db).isActive())
                break;
            created = true;
        }
        if (created)
            report.createdTables.append(e.name);
    }
    for (const QString &name : remaining) {
        if (Function::Myquery(QString::fromLatin1(Sql::DROP_TABLE).arg(ident(name)), db).isActive()) {
            report.droppedTables.append(name);
            Function::appendLog(QStringLiteral("Таблица %1 удалена: её нет в %2\n").arg(name, descriptor));
        }
    }
}

// Phase 2: adds the declared columns that are missing and drops the columns
// whose names the descriptor does not declare.
void verifyColumns(const QSqlDatabase &db, const QString &descriptor, Schema::Report &report)
{
    QList<Descriptor::Element> elements;
    QString error;
    if (!Descriptor::read(descriptor, elements, error)) {
        refuse(error, report);
        return;
    }
    QList<TableInfo> tables;
    if (!readTables(db, tables))
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
        QSqlQuery info = Function::Myquery(Sql::text(Sql::TABLE_INFO, db).arg(Function::q(table.name)), db);
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
            if (Function::Myquery(QString::fromLatin1(Sql::ADD_COLUMN).arg(ident(table.name), definition), db)
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
            if (Function::Myquery(QString::fromLatin1(Sql::DROP_COLUMN).arg(ident(table.name), ident(name)), db)
                    .isActive()) {
                report.droppedColumns.append(table.name + QLatin1Char('.') + name);
                Function::appendLog(
                    QStringLiteral("Столбец %1 таблицы %2 удалён: его нет в %3\n").arg(name, table.name, descriptor));
            }
        }
    }
}

} // namespace

void Schema::verifyOpen(const QSqlDatabase &db, const QString &tableDescriptor, const QString &columnDescriptor,
                        Report &report)
{
    report.opened = true;
    QList<TableInfo> tables;
    if (readTables(db, tables)) {
        verifyTables(db, tables, tableDescriptor, report);
        verifyColumns(db, columnDescriptor, report);
    } else {
        report.unreadable = true;
    }
}

Schema::Report Schema::verify(const QString &database, const QString &tableDescriptor,
                              const QString &columnDescriptor)
{
    Report report;
    report.database = database;
    QDir().mkpath(QFileInfo(database).path());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(database);
        if (!db.open()) {
            report.openError = db.lastError().text();
            qDebug() << report.openError << "Обращение к базе завершено  с ошибкой";
        } else {
            verifyOpen(db, tableDescriptor, columnDescriptor, report);
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QString::fromLatin1(QSqlDatabase::defaultConnection));
    return report;
}

Schema::Report Schema::verifyServer(const QString &tableDescriptor, const QString &columnDescriptor,
                                    const std::function<bool(const Paths::Server &, QString *)> &askPassword)
{
    Report report;
    report.database = Connection::describe(Paths::storedServer());
    {
        if (!Connection::openChosenServer(QString(), &report.openError, askPassword)) {
            qDebug() << report.openError << "Обращение к базе завершено  с ошибкой";
        } else {
            QSqlDatabase db = QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
            verifyOpen(db, tableDescriptor, columnDescriptor, report);
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QString::fromLatin1(QSqlDatabase::defaultConnection));
    return report;
}
