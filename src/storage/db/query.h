#ifndef QUERY_H
#define QUERY_H

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <utility>

// What goes with the statement runner (Function::Myquery): a server's
// statements of one round trip, and the check of values no database keeps
// whole. The quoting of values is in quoting.h, the error log in errorlog.h.
namespace Query {

// Runs a statement of a server whose values stand as $1, $2… in its text,
// sending `values` apart from it (one round trip, no quoting), as
// Function::Myquery runs the others (`db` invalid: the program's
// connection); a failure is in the query's lastError(). A value that holds
// a QStringList goes as one array of texts (text[]): the statement reads it
// as a constant, so that `= ANY($n)` over a table's rows looks each row up
// in a hash of the list rather than searching the list for every row.
QSqlQuery numbered(const QString &sql, const QVariantList &values, const QSqlDatabase &db = QSqlDatabase());
// The caption of the first of `fields` (caption, text) whose text holds a
// character no database keeps whole (a NUL ends a server's text), or an
// empty text when all can be stored.
QString unstorable(const QList<std::pair<QString, QString>> &fields);

} // namespace Query

#endif // QUERY_H
