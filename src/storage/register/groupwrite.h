#ifndef GROUPWRITE_H
#define GROUPWRITE_H

#include "storage/history/historylog.h"
#include "storage/register/grouporders.h"

#include <QJsonArray>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>

// The steps the group writes share: the values of a server's statement, the
// counts written anew (on a server with the group's entry of the history),
// the check of many servicemen on a file, and the transaction they run in.
namespace GroupWrite {

// The values of a server's statement that are many travel as one JSON array.
QString json(const QJsonArray &array);

// A truth value as a server's statement gives it ("t" or "f").
bool yes(const QVariant &value);

// Runs one statement of a server with its values apart, and steps to its one
// row; false (with `error`) when it failed.
bool one(const char *statement, const QVariantList &values, QSqlQuery *query, QSqlError &error);

// On a server, after the write: the counts of `lns` in `code` written anew,
// with the group's entry of the history where the database has its
// function (`hasEntry`), in one statement.
bool finish(const QStringList &lns, const QString &code, bool hasEntry, const char *action,
            const QString &number, const QString &what, QSqlError &error);

// On a file: the counts of `lns` in `code` written anew, in the write's
// transaction.
bool recount(const QStringList &lns, const QString &code, QSqlError &error);

// On a file: everyone's personal number, for the check of many servicemen.
bool registered(QSet<QString> *lns, QSqlError &error);

// The group's own entry of the history.
History::Entry groupEntry(const char *action, const QString &code, const QString &number, const QString &what);

// The personal numbers, each once, in their order.
QStringList distinct(const QStringList &lns);

// Runs `steps` in a transaction with the counts of (`lns`, `code`)
// unsettled until they are written anew in it.
GroupOrders::Result run(const QStringList &lns, const QString &code,
                        const std::function<bool(GroupOrders::Result &, QSqlError &)> &steps);

} // namespace GroupWrite

#endif // GROUPWRITE_H
