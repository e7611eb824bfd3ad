#include "storage/history/historyread.h"

#include "storage/history/historytable.h"
#include "storage/privateconnection.h"
#include "storage/sql.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariantList>

namespace History {

namespace {

// The statement of one batch and its bound values.
QString statement(const Filter &filter, qint64 olderThan, QVariantList *values)
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
    sql += QString::fromLatin1(Sql::HISTORY_PAGE);
    return sql;
}

bool found(const Entry &e, const QString &search)
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
    qint64 from = olderThan;
    for (;;) {
        QVariantList values;
        const QString sql = statement(filter, from, &values);
        values.append(size);
        QSqlQuery query;
        if (!PrivateConnection::run(db, sql, values, &query, error))
            return false;
        int read = 0;
        while (query.next()) {
            ++read;
            Entry e;
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

bool readAll(const QSqlDatabase &db, const Filter &filter, std::vector<Entry> *entries, QSqlError *error)
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

} // namespace History
