// A server's statements sent by libpq itself rather than through Qt's
// driver: with their values apart from their text, and COPY with its rows.

#include "storage/db/serversend.h"

#include "storage/db/connection.h"
#include "storage/db/query.h"

#include <QSqlDriver>
#include <QSqlResult>

#include <libpq-fe.h>

#include <algorithm>
#include <vector>

namespace {

// PostgreSQL's type of texts.
constexpr Oid TEXT_OID = 25;
constexpr Oid TEXT_ARRAY_OID = 1009;

// A list of texts in the server's syntax of an array: each in double quotes,
// a quote or a backslash in it escaped, as the array's own syntax wants
// whatever the server's settings (it travels apart from the statement).
QString arrayLiteral(const QStringList &texts)
{
    QStringList items;
    items.reserve(texts.size());
    for (QString text : texts) {
        text.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
        items.append(QLatin1Char('"') + text + QLatin1Char('"'));
    }
    return QLatin1Char('{') + items.join(QLatin1Char(',')) + QLatin1Char('}');
}

// The result of a statement libpq sent itself (with its values apart from
// its text, or a COPY): the rows as texts, NULL as a null value.
class ParamsResult : public QSqlResult
{
public:
    ParamsResult(const QSqlDriver *driver, const QString &sql, PGresult *result)
        : QSqlResult(driver)
        , m_result(result)
    {
        setQuery(sql);
        setActive(true);
        setSelect(PQresultStatus(result) == PGRES_TUPLES_OK);
    }
    ~ParamsResult() override { PQclear(m_result); }
    ParamsResult(const ParamsResult &) = delete;
    ParamsResult &operator=(const ParamsResult &) = delete;

protected:
    QVariant data(int field) override
    {
        if (isNull(field))
            return QVariant(QMetaType(QMetaType::QString));
        return QString::fromUtf8(PQgetvalue(m_result, at(), field));
    }
    bool isNull(int field) override { return PQgetisnull(m_result, at(), field) != 0; }
    bool reset(const QString &) override { return false; }
    bool fetch(int row) override
    {
        if (row < 0 || row >= PQntuples(m_result))
            return false;
        setAt(row);
        return true;
    }
    bool fetchFirst() override { return fetch(0); }
    bool fetchLast() override { return fetch(PQntuples(m_result) - 1); }
    int size() override { return PQntuples(m_result); }
    int numRowsAffected() override { return QByteArray(PQcmdTuples(m_result)).toInt(); }

private:
    PGresult *m_result;
};

QSqlError noConnection()
{
    return QSqlError(QStringLiteral("Нет связи с сервером"), QString(), QSqlError::ConnectionError,
                     QStringLiteral("08003"));
}

QSqlError nulError()
{
    return QSqlError(QStringLiteral("В тексте нулевой символ"),
                     QStringLiteral("в тексте есть нулевой символ, его нельзя сохранить"),
                     QSqlError::StatementError, QStringLiteral("22021"));
}

// A failed statement's error, told by the server's code; `result` freed.
bool failed(PGconn *handle, PGresult *result, QSqlError *error)
{
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    *error = QSqlError(QStringLiteral("Ошибка выполнения запроса"),
                       QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(handle)),
                       QSqlError::StatementError, QString::fromLatin1(state ? state : ""));
    PQclear(result);
    return false;
}

// What Qt's driver left unread of an earlier statement goes first: one
// command at a time.
void dropUnread(PGconn *handle)
{
    while (PGresult *left = PQgetResult(handle))
        PQclear(left);
}

// What stands for a byte in COPY's text form, or null for the byte itself.
const char *escaped(char c)
{
    switch (c) {
    case '\\':
        return "\\\\";
    case '\t':
        return "\\t";
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    default:
        return nullptr;
    }
}

// A text as COPY's text form carries it: the runs between escapes at once.
void appendText(QByteArray &data, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    qsizetype from = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (const char *escape = escaped(bytes.at(i))) {
            data.append(bytes.constData() + from, i - from).append(escape);
            from = i + 1;
        }
    }
    data.append(bytes.constData() + from, bytes.size() - from);
}

} // namespace

namespace ServerSend {

// Sends `sql`, whose values stand as $1, $2… in its text, with `values` as
// texts apart from it, in one round trip: no quoting is involved, whatever
// the server's standard_conforming_strings. A text holding a NUL, which
// libpq would cut short, is not sent (the program's code 22021, as the
// server's for a character it cannot take).
bool numbered(const QSqlDatabase &db, const QString &sql, const QVariantList &values, QSqlQuery *query,
              QSqlError *error)
{
    PGconn *handle = Connection::serverHandle(db);
    if (!handle) {
        *error = noConnection();
        return false;
    }
    std::vector<QByteArray> texts;
    texts.reserve(static_cast<size_t>(values.size()));
    std::vector<const char *> pointers;
    std::vector<Oid> types;
    types.reserve(static_cast<size_t>(values.size()));
    for (const QVariant &value : values) {
        const bool list = value.typeId() == QMetaType::QStringList;
        types.push_back(list ? TEXT_ARRAY_OID : TEXT_OID);
        const QString text = list ? arrayLiteral(value.toStringList()) : value.toString();
        if (text.contains(QChar::Null)) {
            *error = nulError();
            return false;
        }
        texts.push_back(text.toUtf8());
        pointers.push_back(value.isNull() ? nullptr : texts.back().constData());
    }
    dropUnread(handle);
    const QByteArray text = sql.toUtf8();
    PGresult *result = PQexecParams(handle, text.constData(), static_cast<int>(pointers.size()), types.data(),
                                    pointers.data(), nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) {
        *query = QSqlQuery(new ParamsResult(db.driver(), sql, result));
        return true;
    }
    return failed(handle, result, error);
}
bool copy(const QSqlDatabase &db, const QString &sql, const QByteArray &rows,
          const std::function<void()> &meanwhile, QSqlQuery *query, QSqlError *error)
{
    PGconn *handle = Connection::serverHandle(db);
    if (!handle) {
        *error = noConnection();
        return false;
    }
    if (rows.contains('\0')) {
        *error = nulError();
        return false;
    }
    dropUnread(handle);
    PGresult *result = PQexec(handle, sql.toUtf8().constData());
    if (PQresultStatus(result) != PGRES_COPY_IN)
        return failed(handle, result, error);
    PQclear(result);
    // The rows in pieces of a megabyte; where one cannot be sent (the
    // connection broke) the end asks the server to undo the COPY, and its
    // answer tells why.
    constexpr qsizetype PIECE = 1 << 20;
    bool sent = true;
    for (qsizetype at = 0; sent && at < rows.size(); at += PIECE)
        sent = PQputCopyData(handle, rows.constData() + at,
                             static_cast<int>(std::min(PIECE, rows.size() - at))) == 1;
    if (PQputCopyEnd(handle, sent ? nullptr : "rows not sent") == 1 && sent && meanwhile)
        meanwhile();
    result = PQgetResult(handle);
    // Whatever follows the answer is read to its end; a COPY that still
    // waits for rows is not waited for again (the connection is gone).
    while (PGresult *more = PQgetResult(handle)) {
        const bool waiting = PQresultStatus(more) == PGRES_COPY_IN;
        PQclear(more);
        if (waiting)
            break;
    }
    if (PQresultStatus(result) == PGRES_COMMAND_OK) {
        *query = QSqlQuery(new ParamsResult(db.driver(), sql, result));
        return true;
    }
    return failed(handle, result, error);
}

QSqlError notOnServer()
{
    return QSqlError(QStringLiteral("Только на сервере"),
                     QStringLiteral("команда выполняется только на сервере"), QSqlError::StatementError,
                     QStringLiteral("0A000"));
}

} // namespace ServerSend

void Query::CopyRows::add(const QVariantList &values)
{
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            m_data += '\t';
        const QVariant &value = values.at(i);
        if (value.isNull() || (value.typeId() == QMetaType::QString && value.toString().isNull()))
            m_data += "\\N";
        else if (value.typeId() == QMetaType::Int)
            m_data += QByteArray::number(value.toInt());
        else
            appendText(m_data, value.toString());
    }
    m_data += '\n';
    ++m_rows;
}
