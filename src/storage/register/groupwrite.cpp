#include "storage/register/groupwrite.h"

#include "function.h"
#include "storage/db/errorlog.h"
#include "storage/db/privateconnection.h"
#include "storage/db/query.h"
#include "storage/db/sql.h"
#include "storage/db/transaction.h"
#include "storage/register/recount.h"
#include "storage/register/summarycolumns.h"

#include <QHash>
#include <QJsonDocument>
#include <QSet>

namespace GroupWrite {

using GroupOrders::Outcome;
using GroupOrders::Result;

// The values of a server's statement that are many travel as one JSON array.
QString json(const QJsonArray &array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

// A truth value as a server's statement gives it ("t" or "f").
bool yes(const QVariant &value)
{
    const QString text = value.toString();
    return text == QLatin1String("t") || text == QLatin1String("true");
}

// Runs one statement of a server with its values apart, and steps to its one
// row; false (with `error`) when it failed.
bool one(const char *statement, const QVariantList &values, QSqlQuery *query, QSqlError &error)
{
    *query = Query::numbered(QString::fromLatin1(statement), values);
    if (query->isActive() && query->next())
        return true;
    error = query->lastError();
    return false;
}

// On a server, after the write: the counts of `lns` in `code` written anew,
// with the group's entry of the history where the database has its
// function (`hasEntry`), in one statement.
bool finish(const QStringList &lns, const QString &code, bool hasEntry, const char *action,
            const QString &number, const QString &what, QSqlError &error)
{
    QSqlQuery query;
    if (lns.isEmpty()) {
        return !hasEntry || one(Sql::INSERT_HISTORY_GROUP,
                                {QString::fromLatin1(action), code, number, what}, &query, error);
    }
    const QString statement =
        QString::fromLatin1(Sql::GROUP_RECOUNT_AT_ONCE)
            .arg(code,
                 code == QLatin1String(Code::VZS) ? QString::fromLatin1(Sql::GROUP_PENALTIES_IN_FORCE) : QString(),
                 hasEntry ? QString::fromLatin1(Sql::GROUP_ENTRY) : QStringLiteral("NULL"));
    const QVariantList values = hasEntry
                                    ? QVariantList{lns, QString::fromLatin1(action), code, number, what}
                                    : QVariantList{lns};
    query = Query::numbered(statement, values);
    if (query.isActive())
        return true;
    error = query.lastError();
    return false;
}

// On a file: the counts written anew, in the write's transaction, counted
// as the orders window's recount counts one (a penalty while its flag reads
// as 1), in one pass over the orders.
bool recount(const QStringList &lns, const QString &code, QSqlError &error)
{
    // The code stands in the statement as a column name: only the six codes.
    if (!SummaryColumns::isCategory(code))
        return true;
    QHash<QString, int> counts;
    for (const QString &ln : lns)
        counts.insert(ln, 0);
    QSqlQuery flags;
    if (!PrivateConnection::run(QSqlDatabase(), QString::fromLatin1(Sql::SELECT_CATEGORY_FLAGS), {code}, &flags,
                                &error))
        return false;
    const bool penalties = code == QLatin1String(Code::VZS);
    while (flags.next()) {
        const auto count = counts.find(flags.value(0).toString());
        if (count != counts.end() && (!penalties || flags.value(1).toInt() == 1))
            ++*count;
    }
    if (flags.lastError().isValid()) {
        error = flags.lastError();
        return false;
    }
    flags = QSqlQuery();
    QSqlQuery write(QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false));
    if (!write.prepare(QString::fromLatin1(Sql::UPDATE_GROUP_COUNT).arg(code))) {
        error = write.lastError();
        return false;
    }
    for (auto c = counts.cbegin(); c != counts.cend(); ++c) {
        write.addBindValue(QString::number(c.value()));
        write.addBindValue(c.key());
        if (!write.exec()) {
            error = write.lastError();
            Query::appendLog(error.text() + QStringLiteral("В запросе содержится ошибка.") + write.lastQuery() +
                             QStringLiteral(" Запрос"));
            return false;
        }
    }
    return true;
}

// On a file: everyone's personal number, for the check of many servicemen.
bool registered(QSet<QString> *lns, QSqlError &error)
{
    QSqlQuery query;
    if (!PrivateConnection::run(QSqlDatabase(), QString::fromLatin1(Sql::SELECT_REGISTER_LNS), {}, &query, &error))
        return false;
    while (query.next())
        lns->insert(query.value(0).toString());
    error = query.lastError();
    return !error.isValid();
}

History::Entry groupEntry(const char *action, const QString &code, const QString &number, const QString &what)
{
    return {QString::fromLatin1(action), QString(), code, number, QString(), QString(), what};
}

// The personal numbers, each once, in their order.
QStringList distinct(const QStringList &lns)
{
    QStringList out;
    QSet<QString> seen;
    for (const QString &ln : lns) {
        if (!seen.contains(ln)) {
            seen.insert(ln);
            out.append(ln);
        }
    }
    return out;
}

// Runs `steps` in a transaction with the counts of (`lns`, `code`)
// unsettled until they are written anew in it.
Result run(const QStringList &lns, const QString &code, const std::function<bool(Result &, QSqlError &)> &steps)
{
    for (const QString &ln : lns)
        Recount::pending(ln, code);
    Result result;
    QSqlError error;
    const bool done = Transaction::run(
        [&](QSqlError &stepError) {
            result = Result();
            if (steps(result, stepError))
                return true;
            if (result.outcome != Outcome::Failed)
                stepError = QSqlError();
            return false;
        },
        error);
    if (done)
        result.outcome = Outcome::Done;
    else if (result.outcome == Outcome::Failed)
        result.error = error;
    // Written or not, nothing is left to put right: the counts were written
    // in the transaction, or nothing was.
    for (const QString &ln : lns)
        Recount::settled(ln, code);
    return result;
}


} // namespace GroupWrite
