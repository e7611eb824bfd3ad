#ifndef QUERY_H
#define QUERY_H

#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <functional>
#include <utility>

// What goes with the statement runner (Function::Myquery): a server's
// statements of one round trip, its rows sent in bulk, and the check of
// values no database keeps whole. The quoting of values is in quoting.h, the error log in errorlog.h.
namespace Query {

// Runs a statement of a server whose values stand as $1, $2… in its text,
// sending `values` apart from it (one round trip, no quoting), as
// Function::Myquery runs the others (`db` invalid: the program's
// connection); a failure is in the query's lastError(). A value that holds
// a QStringList goes as one array of texts (text[]): the statement reads it
// as a constant, so that `= ANY($n)` over a table's rows looks each row up
// in a hash of the list rather than searching the list for every row.
QSqlQuery numbered(const QString &sql, const QVariantList &values, const QSqlDatabase &db = QSqlDatabase());
// Rows for a server's COPY … FROM STDIN, in its text form: a line a row, its
// values apart by tabs, NULL as \N, a number as it reads, a text in UTF-8
// with its backslashes, tabs, newlines and carriage returns escaped. The
// rows travel as one stream, parsed by the server as they come: many times
// cheaper than the same rows as statements' values.
class CopyRows
{
public:
    void add(const QVariantList &values);
    int size() const { return m_rows; }
    const QByteArray &data() const { return m_data; }
    void clear()
    {
        m_data.clear();
        m_rows = 0;
    }

private:
    QByteArray m_data;
    int m_rows = 0;
};
// Runs `sql`, a server's COPY … FROM STDIN, with `rows` as its data, as
// Function::Myquery runs the other statements (`db` invalid: the program's
// connection); a failure is in the query's lastError(). A text that holds a
// NUL, which no server's text keeps, is not sent (code 22021). `meanwhile`,
// when given, runs once the rows are sent, while the server writes them (the
// next rows made ready then cost no time); it must not use the connection.
QSqlQuery copy(const QString &sql, const CopyRows &rows, const QSqlDatabase &db = QSqlDatabase(),
               const std::function<void()> &meanwhile = {});
// The caption of the first of `fields` (caption, text) whose text holds a
// character no database keeps whole (a NUL ends a server's text), or an
// empty text when all can be stored.
QString unstorable(const QList<std::pair<QString, QString>> &fields);

} // namespace Query

#endif // QUERY_H
