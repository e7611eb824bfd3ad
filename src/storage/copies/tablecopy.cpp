#include "storage/copies/tablecopy.h"

#include "function.h"
#include "storage/db/errors.h"
#include "storage/history/historytable.h"
#include "storage/db/privateconnection.h"
#include "storage/db/quoting.h"
#include "storage/db/sql.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace TableCopy {

namespace {

// Rows put into one statement, and the length of text at which a statement
// is sent before that. A server gets statements of megabytes: a register of
// 200,000 orders goes in a few dozen round trips rather than a thousand. An
// SQLite file is written on the spot and keeps statements short.
constexpr int FILE_BATCH_ROWS = 200;
constexpr qsizetype FILE_BATCH_TEXT = 1 << 20;
constexpr qsizetype SERVER_BATCH_TEXT = 4 << 20;

QString ident(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// What a progress box says while a table's rows are moved.
QString stageOf(const QString &table)
{
    if (table == QLatin1String("Combat"))
        return QStringLiteral("Перенос военнослужащих");
    if (table == QLatin1String("prikaz"))
        return QStringLiteral("Перенос приказов");
    if (table == QLatin1String("Files"))
        return QStringLiteral("Перенос записей о прикреплённых файлах");
    return QStringLiteral("Перенос справочников");
}

} // namespace

Table history()
{
    return {History::TABLE, true};
}

bool run(const QString &sql, const QSqlDatabase &db, QString *error, QSqlQuery *result, const QVariantList &values)
{
    QSqlError failure;
    if (PrivateConnection::run(db, sql, values, result, &failure))
        return true;
    *error = Errors::describe(failure, db.driverName());
    return false;
}

QStringList TableColumns::of(const QString &table)
{
    const QString key = table.toLower();
    if (Sql::onServer(m_db) && !m_allRead) {
        // A failed read leaves every table without columns: the copy stops
        // at the first one as at a missing table.
        QSqlQuery all = Function::Myquery(QString::fromLatin1(Sql::ALL_COLUMNS), m_db);
        while (all.next())
            m_tables[all.value(0).toString()].append(all.value(1).toString());
        m_allRead = true;
    }
    if (m_allRead || m_tables.contains(key))
        return m_tables.value(key);
    QStringList names;
    QSqlQuery info = Function::Myquery(Sql::text(Sql::TABLE_INFO, m_db).arg(Query::quote(table)), m_db);
    const int field = info.record().indexOf(QStringLiteral("name"));
    while (info.next())
        names.append(info.value(field).toString());
    m_tables.insert(key, names);
    return names;
}

bool countRows(const QSqlDatabase &db, const QStringList &tables, QList<int> *counts, QString *error)
{
    QStringList parts;
    for (const QString &table : tables)
        parts.append(QString::fromLatin1(Sql::COUNT_ROWS_PART).arg(table));
    QSqlQuery query(db);
    if (!run(QString::fromLatin1(Sql::COUNT_ROWS_OF).arg(parts.join(QLatin1Char(','))), db, error, &query))
        return false;
    if (!query.next()) {
        *error = Errors::describe(query.lastError(), db.driverName());
        return false;
    }
    counts->clear();
    for (int i = 0; i < tables.size(); ++i)
        counts->append(query.value(i).toInt());
    return true;
}

bool stopped(QString *error)
{
    *error = QStringLiteral("перенос остановлен");
    return false;
}

bool copyRows(const QSqlDatabase &from, TableColumns &fromColumns, const QSqlDatabase &to,
              TableColumns &toColumns, const Table &table, QString *error, const Progress &progress)
{
    const QString name = QString::fromLatin1(table.name);
    const QStringList source = fromColumns.of(name);
    const QStringList target = toColumns.of(name);
    QStringList read, written;
    for (const QString &column : source) {
        if (!table.ids && column.compare(QLatin1String("id"), Qt::CaseInsensitive) == 0)
            continue;
        for (const QString &t : target) {
            if (t.compare(column, Qt::CaseInsensitive) == 0) {
                read.append(ident(column));
                written.append(ident(t));
            }
        }
    }
    if (read.isEmpty()) {
        *error = QStringLiteral("в базе данных нет таблицы %1 (запустите программу с параметром --ver)").arg(name);
        return false;
    }
    // On the connection given: a query made without one would ask for the
    // program's connection, which belongs to the window's thread.
    QSqlQuery rows(from);
    if (!run(Sql::text(Sql::SELECT_ALL_ROWS, from).arg(name, read.join(QLatin1Char(','))), from, error, &rows))
        return false;
    const QString insert =
        QString::fromLatin1(Sql::INSERT_ROWS).arg(name, written.join(QLatin1Char(',')), QStringLiteral("%1"));
    const bool server = Sql::onServer(to);
    const int batchRows = server ? std::numeric_limits<int>::max() : FILE_BATCH_ROWS;
    const qsizetype batchText = server ? SERVER_BATCH_TEXT : FILE_BATCH_TEXT;
    QStringList batch;
    qsizetype length = 0;
    const QString stage = stageOf(name);
    QList<int> total{0};
    if (progress && !countRows(from, {name}, &total, error))
        return false;
    int done = 0;
    if (progress && !progress(0, total[0], stage))
        return stopped(error);
    auto flush = [&]() {
        if (batch.isEmpty())
            return true;
        const bool ok = run(insert.arg(batch.join(QLatin1Char(','))), to, error);
        done += static_cast<int>(batch.size());
        batch.clear();
        length = 0;
        if (ok && progress && !progress(done, total[0], stage))
            return stopped(error);
        return ok;
    };
    while (rows.next()) {
        QStringList values;
        for (int c = 0; c < read.size(); ++c) {
            const QVariant v = rows.value(c);
            values.append(v.isNull() ? QStringLiteral("NULL")
                                     : QLatin1Char('\'') + Query::quote(v.toString()) + QLatin1Char('\''));
            length += values.last().size() + 1;
        }
        batch.append(QLatin1Char('(') + values.join(QLatin1Char(',')) + QLatin1Char(')'));
        if ((batch.size() >= batchRows || length >= batchText) && !flush())
            return false;
    }
    if (!rows.isActive() || rows.lastError().isValid()) {
        *error = Errors::describe(rows.lastError(), from.driverName());
        return false;
    }
    return flush();
}

} // namespace TableCopy
