#ifndef SERVERSEND_H
#define SERVERSEND_H

#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <functional>

// The statement runner's ways to a server that pass by Qt's driver: libpq
// itself sends the statement, and the result is the program's own. Each
// returns false with `error` (the server's code, or the program's) when the
// statement failed or was not sent.
namespace ServerSend {

// `sql` with its values as $1, $2… sent apart from its text (see
// Query::numbered).
bool numbered(const QSqlDatabase &db, const QString &sql, const QVariantList &values, QSqlQuery *query,
              QSqlError *error);
// `sql`, a COPY … FROM STDIN, with `rows` in COPY's text form as its data
// (see Query::copy); `meanwhile`, when given, runs once the rows are sent,
// while the server writes them.
bool copy(const QSqlDatabase &db, const QString &sql, const QByteArray &rows,
          const std::function<void()> &meanwhile, QSqlQuery *query, QSqlError *error);
// The error of either asked of a file's connection.
QSqlError notOnServer();

} // namespace ServerSend

#endif // SERVERSEND_H
