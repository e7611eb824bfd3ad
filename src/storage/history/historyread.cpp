#include "storage/history/historyread.h"

#include "storage/db/connection.h"
#include "storage/history/historytable.h"
#include "storage/db/privateconnection.h"
#include "storage/db/sql.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariantList>

#include <sqlite3.h>

namespace History {

namespace {

// history_found(text, column…): whether any of the columns contains the
// text, without regard to case as Qt folds letters (Cyrillic too).
void historyFound(sqlite3_context *context, int count, sqlite3_value **values)
{
    const auto *needle = reinterpret_cast<const char *>(sqlite3_value_text(values[0]));
    const QString text = QString::fromUtf8(needle ? needle : "");
    for (int i = 1; i < count; ++i) {
        const auto *value = reinterpret_cast<const char *>(sqlite3_value_text(values[i]));
        if (value && QString::fromUtf8(value, sqlite3_value_bytes(values[i])).contains(text, Qt::CaseInsensitive)) {
            sqlite3_result_int(context, 1);
            return;
        }
    }
    sqlite3_result_int(context, 0);
}

// Gives an SQLite connection the search's function; false on a server (or
// where the driver's handle is not SQLite's), where the program matches the
// rows it reads.
bool searchInDatabase(const QSqlDatabase &db)
{
    sqlite3 *connection = Connection::fileHandle(db);
    return connection && sqlite3_create_function_v2(connection, "history_found", 6,
                                                    SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, &historyFound,
                                                    nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The statement of one batch and its bound values.
QString statement(const Filter &filter, qint64 olderThan, bool searchHere, QVariantList *values)
{
    QString sql = QString::fromLatin1(Sql::SELECT_HISTORY);
    auto add = [&](const char *condition, const QVariant &value) {
        sql += QString::fromLatin1(condition);
        values->append(value);
    };
    if (olderThan > 0)
        add(Sql::HISTORY_OLDER_THAN, olderThan);
    if (!filter.LN.isEmpty())
        add(Sql::HISTORY_OF_LN, filter.LN);
    // "at" is "yyyy-MM-dd HH:mm:ss": its texts sort as its times do.
    if (filter.from.isValid())
        add(Sql::HISTORY_FROM, filter.from.toString(QStringLiteral("yyyy-MM-dd")));
    if (filter.to.isValid())
        add(Sql::HISTORY_BEFORE, filter.to.addDays(1).toString(QStringLiteral("yyyy-MM-dd")));
    if (!filter.who.isEmpty())
        add(Sql::HISTORY_OF_WHO, filter.who);
    if (!filter.action.isEmpty())
        add(Sql::HISTORY_OF_ACTION, filter.action);
    if (!filter.what.isEmpty())
        add(Sql::HISTORY_OF_WHAT, filter.what);
    if (searchHere)
        add(Sql::HISTORY_FOUND, filter.search.trimmed());
    sql += QString::fromLatin1(Sql::HISTORY_PAGE);
    return sql;
}

bool found(const Record &e, const QString &search)
{
    for (const QString *text : {&e.FIO, &e.LN, &e.prikaznom, &e.oldValue, &e.newValue}) {
        if (text->contains(search, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

bool exists(const QSqlDatabase &db)
{
    return db.tables().contains(QString::fromLatin1(TABLE), Qt::CaseInsensitive);
}

bool readPage(const QSqlDatabase &db, const Filter &filter, qint64 olderThan, int size, Page *page,
              QSqlError *error)
{
    page->entries.clear();
    page->next = 0;
    const QString search = filter.search.trimmed();
    const bool searchHere = !search.isEmpty() && searchInDatabase(db);
    qint64 from = olderThan;
    for (;;) {
        QVariantList values;
        const QString sql = statement(filter, from, searchHere, &values);
        values.append(size);
        QSqlQuery query;
        if (!PrivateConnection::run(db, sql, values, &query, error))
            return false;
        int read = 0;
        while (query.next()) {
            ++read;
            Record e;
            e.id = query.value(0).toLongLong();
            e.at = query.value(1).toString();
            e.who = query.value(2).toString();
            e.workstation = query.value(3).toString();
            e.action = query.value(4).toString();
            e.LN = query.value(5).toString();
            e.FIO = query.value(6).toString();
            e.what = query.value(7).toString();
            e.prikaznom = query.value(8).toString();
            e.field = query.value(9).toString();
            e.oldValue = query.value(10).toString();
            e.newValue = query.value(11).toString();
            from = e.id;
            if (search.isEmpty() || found(e, search))
                page->entries.push_back(std::move(e));
            if (static_cast<int>(page->entries.size()) == size) {
                page->next = from;
                return true;
            }
        }
        // A batch shorter than asked for was the last.
        if (read < size)
            return true;
    }
}

bool readAll(const QSqlDatabase &db, const Filter &filter, std::vector<Record> *entries, QSqlError *error)
{
    entries->clear();
    Page page;
    qint64 olderThan = 0;
    do {
        if (!readPage(db, filter, olderThan, PAGE_SIZE * 10, &page, error))
            return false;
        entries->insert(entries->end(), std::make_move_iterator(page.entries.begin()),
                        std::make_move_iterator(page.entries.end()));
        olderThan = page.next;
    } while (olderThan > 0);
    return true;
}

bool readUsers(const QSqlDatabase &db, QStringList *users, QSqlError *error)
{
    users->clear();
    QSqlQuery query;
    if (!PrivateConnection::run(db, QString::fromLatin1(Sql::SELECT_HISTORY_USERS), {}, &query, error))
        return false;
    while (query.next())
        users->append(query.value(0).toString());
    return true;
}

bool readReferences(const QSqlDatabase &db, References *lists, QSqlError *error)
{
    for (auto [statement, names] : {std::pair{Sql::SELECT_RANKS, &lists->ranks},
                                    std::pair{Sql::SELECT_POSITIONS, &lists->positions}}) {
        names->clear();
        QSqlQuery query;
        if (!PrivateConnection::run(db, QString::fromLatin1(statement), {}, &query, error))
            return false;
        // The name is the list's second column.
        while (query.next())
            names->append(query.value(1).toString());
    }
    return true;
}

} // namespace History
