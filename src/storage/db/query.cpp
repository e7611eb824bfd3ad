// The statement runner (Function::Myquery, Query::numbered, Query::copy):
// on a server it keeps a transaction that went with its connection from
// going on on a new one, watches for a server that stops answering, and
// refuses what such a server would read otherwise; every failure goes to the
// error log. Most statements run here. A few run prepared queries of their
// own on the same connections: the writers of many rows (the history's
// entries, the import's rows on a file, the counts of a group order), which
// prepare a statement
// once and run it again with new values and log their failures themselves,
// and the reads of a connection's tables and columns as it opens or is
// checked (the history's table, a chosen file's objects).

#include "storage/db/query.h"

#include "function.h"
#include "storage/db/connection.h"
#include "storage/db/errorlog.h"
#include "storage/db/errors.h"
#include "storage/db/serversend.h"
#include "storage/db/watchdog.h"

#include <QDebug>
#include <QMutex>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlResult>

#include <libpq-fe.h>

#include <algorithm>

namespace {

using Connection::serverHandle;

// How a statement goes to a server: through Qt's driver, or by libpq with
// its values apart ($1, $2…), or as a COPY with its rows.
enum class Sending { Driver, Numbered, Copy };
// The way, with what a COPY runs while the server writes its rows.
struct Way
{
    Sending how;
    const std::function<void()> &meanwhile;
};

QSqlQuery runStatement(QString sql, const QVariantList &values, const QSqlDatabase &db, Sending how,
                       const std::function<void()> &meanwhile = {});

// The names of the server connections that are inside a transaction. A
// connection that breaks keeps its mark until the transaction is ended
// (ROLLBACK, or COMMIT): the server has already undone it, and no statement
// of it may run on a new connection, outside any transaction, and COMMIT
// there as if the whole had been written. Connections of other threads (a
// copy made beside the window) run their statements here too.
class Marks
{
public:
    bool contains(const QString &name) const
    {
        const QMutexLocker lock(&m_mutex);
        return m_names.contains(name);
    }
    void insert(const QString &name)
    {
        const QMutexLocker lock(&m_mutex);
        m_names.insert(name);
    }
    void remove(const QString &name)
    {
        const QMutexLocker lock(&m_mutex);
        m_names.remove(name);
    }

private:
    mutable QMutex m_mutex;
    QSet<QString> m_names;
};

Marks &inTransaction()
{
    static Marks names;
    return names;
}

bool begins(const QString &sql)
{
    return sql.startsWith(QLatin1String("BEGIN"));
}

bool ends(const QString &sql)
{
    return sql == QLatin1String(Sql::COMMIT) || sql == QLatin1String(Sql::ROLLBACK);
}

// After a statement: the program's transactions begin and end by the
// catalogue's statements; libpq tells the state where it knows it (a result
// still being read leaves it unknown).
void noteTransaction(const QSqlDatabase &db, const QString &sql, bool ok)
{
    if (ok && begins(sql))
        inTransaction().insert(db.connectionName());
    else if (ends(sql))
        inTransaction().remove(db.connectionName());
    PGconn *handle = serverHandle(db);
    if (!handle)
        return;
    switch (PQtransactionStatus(handle)) {
    case PQTRANS_INTRANS:
    case PQTRANS_INERROR:
        inTransaction().insert(db.connectionName());
        break;
    case PQTRANS_IDLE:
        inTransaction().remove(db.connectionName());
        break;
    default:
        // A statement still running or a broken connection: as it was.
        break;
    }
}

// True when the connection broke inside a transaction that has not been
// ended yet.
bool lostInTransaction(const QSqlDatabase &db)
{
    if (!inTransaction().contains(db.connectionName()))
        return false;
    PGconn *handle = serverHandle(db);
    if (handle && PQstatus(handle) == CONNECTION_BAD)
        return true;
    // Closed on purpose, or open again: the mark is stale.
    if (!handle)
        inTransaction().remove(db.connectionName());
    return false;
}

// The result of a statement that was not sent: on a connection that broke
// inside a transaction, or refused before it was (see mayReadAlike). A
// failure carries the program's own error, told by its code (08003, or
// 08007 when the COMMIT itself met the break and whether it was written is
// not known); the ROLLBACK of such a transaction is done without the
// server, which has undone it already.
class LostResult : public QSqlResult
{
public:
    LostResult(const QSqlDriver *driver, const QString &sql, const QSqlError &error)
        : QSqlResult(driver)
    {
        setQuery(sql);
        setLastError(error);
        setActive(!error.isValid());
    }

protected:
    QVariant data(int) override { return {}; }
    bool isNull(int) override { return true; }
    bool reset(const QString &) override { return false; }
    bool fetch(int) override { return false; }
    bool fetchFirst() override { return false; }
    bool fetchLast() override { return false; }
    int size() override { return -1; }
    int numRowsAffected() override { return -1; }
};


// A statement whose text or values hold a backslash reads otherwise on a
// connection where the server takes it as an escape in quoted texts
// (standard_conforming_strings off: the start-up option that asks for it
// may have been dropped on the way, by a connection pooler). Such a
// statement is not sent (the program's code 22V01); any other reads alike
// either way. The setting is the one the server last reported, no round
// trip.
bool mayReadAlike(const QSqlDatabase &db, const QString &sql, const QVariantList &values)
{
    PGconn *handle = serverHandle(db);
    const char *setting = handle ? PQparameterStatus(handle, "standard_conforming_strings") : nullptr;
    if (!setting || qstrcmp(setting, "on") == 0)
        return true;
    if (sql.contains(QLatin1Char('\\')))
        return false;
    return std::none_of(values.cbegin(), values.cend(),
                        [](const QVariant &v) { return v.toString().contains(QLatin1Char('\\')); });
}

QSqlError backslashError()
{
    return QSqlError(QStringLiteral("standard_conforming_strings = off"),
                     QStringLiteral("сервер читает обратную косую черту в тексте как особый знак "
                                    "(standard_conforming_strings = off); текст с ней не отправлен"),
                     QSqlError::StatementError, QStringLiteral("22V01"));
}

// Whether a statement may change the register: anything but a plain read
// and the ends of a transaction.
bool mayWrite(const QString &sql)
{
    const QString head = sql.trimmed().section(QLatin1Char(' '), 0, 0).toUpper();
    return head != QLatin1String("SELECT") && head != QLatin1String("BEGIN") &&
           head != QLatin1String("ROLLBACK") && head != QLatin1String("COMMIT");
}

QSqlError lostError(bool unknown, const QString &words, bool noAnswer = false)
{
    // A connection the watchdog shut down because the server gave no answer
    // is told as such (the program's codes 08V03 and 08V07).
    const QString code = noAnswer ? (unknown ? QStringLiteral("08V07") : QStringLiteral("08V03"))
                                  : (unknown ? QStringLiteral("08007") : QStringLiteral("08003"));
    return QSqlError(noAnswer ? QStringLiteral("Сервер не ответил, соединение прервано внутри транзакции")
                              : QStringLiteral("Соединение с сервером потеряно внутри транзакции"),
                     words.isEmpty() ? QStringLiteral("запрос не отправлен: соединение с сервером потеряно "
                                                      "внутри транзакции")
                                     : words,
                     QSqlError::ConnectionError, code);
}

// A statement outside a transaction whose connection the watchdog shut
// down (the program's code 08V00).
QSqlError noAnswerError(const QString &words)
{
    return QSqlError(QStringLiteral("Сервер не ответил, соединение прервано"), words, QSqlError::ConnectionError,
                     QStringLiteral("08V00"));
}

} // namespace

QSqlQuery Function::Myquery(QString sql)
{
    return Myquery(std::move(sql), QSqlDatabase());
}

QSqlQuery Function::Myquery(QString sql, const QSqlDatabase &db)
{
    return Myquery(std::move(sql), QVariantList(), db);
}

QSqlQuery Function::Myquery(QString sql, const QVariantList &values, const QSqlDatabase &db)
{
    return runStatement(std::move(sql), values, db, Sending::Driver);
}

QSqlQuery Query::numbered(const QString &sql, const QVariantList &values, const QSqlDatabase &db)
{
    return runStatement(sql, values, db, Sending::Numbered);
}

QSqlQuery Query::copy(const QString &sql, const CopyRows &rows, const QSqlDatabase &db,
                      const std::function<void()> &meanwhile)
{
    return runStatement(sql, {rows.data()}, db, Sending::Copy, meanwhile);
}

namespace {

// What became of a statement: whether it ran, and when it did not, whether
// it was kept from the server (`refused`) or met a connection that broke
// (`lost`); both give a result of the program's own error.
struct Outcome
{
    bool ok = true;
    bool lost = false;
    bool refused = false;
    QSqlError error;
};

// Before a statement on a server: true when it belongs to a transaction that
// went with its connection, and is not sent. A connection the driver closed
// after a break is opened again here otherwise.
bool lostBeforeSending(QSqlDatabase &connection, const QString &sql)
{
    bool lost = false;
    if (lostInTransaction(connection)) {
        // The transaction is gone with the connection, undone by the server:
        // none of its statements runs on a new connection. Its end (a
        // ROLLBACK, done without the server, or a COMMIT, refused) lifts the
        // mark; the next command connects again.
        if (ends(sql) || begins(sql))
            inTransaction().remove(connection.connectionName());
        lost = !begins(sql);
    }
    // A server connection that broke (the server was restarted, the network
    // was down) is closed by the driver; the next statement connects again.
    if (!lost && !connection.isOpen()) {
        // A new connection is in no transaction.
        inTransaction().remove(connection.connectionName());
        connection.open();
    }
    return lost;
}

// Runs the statement the way its connection and values call for.
void execute(QSqlQuery &query, const QSqlDatabase &connection, const QString &sql, const QVariantList &values,
             bool server, const Way &way, Outcome &out)
{
    const Sending how = way.how;
    if (out.lost) {
        out.ok = sql == QLatin1String(Sql::ROLLBACK);
        if (!out.ok)
            out.error = lostError(false, QString());
    } else if (how != Sending::Driver) {
        // Sent by libpq, on a server only; a failure is told by the
        // program's own result.
        out.ok = server &&
                 (how == Sending::Numbered ? ServerSend::numbered(connection, sql, values, &query, &out.error)
                                           : ServerSend::copy(connection, sql, values.value(0).toByteArray(),
                                                              way.meanwhile, &query, &out.error));
        if (!server)
            out.error = ServerSend::notOnServer();
        out.refused = !out.ok;
    } else if (server && !mayReadAlike(connection, sql, values)) {
        out.ok = false;
        out.refused = true;
        out.error = backslashError();
    } else if (server && values.isEmpty()) {
        // PostgreSQL prepares only queries, not BEGIN or CREATE TABLE: a
        // statement without bound values runs as it stands.
        out.ok = query.exec(sql);
        if (!out.ok)
            out.error = query.lastError();
    } else {
        out.ok = query.prepare(sql);
        if (!out.ok) {
            qDebug() << false << "prepare";
            // The reason preparing gave (such as "no such table") is the one
            // worth logging; executing an unprepared query would only say "No query".
            out.error = query.lastError();
        } else {
            for (const QVariant &value : values)
                query.addBindValue(value);
            out.ok = query.exec();
            if (!out.ok)
                out.error = query.lastError();
        }
    }
}

// After a statement sent to a server: a failure that met a broken
// connection, or one the watchdog broke (`noAnswer`), is told as such, and
// the connection's transaction is noted.
void afterSending(const QSqlDatabase &connection, const QString &sql, bool wasInTransaction, bool noAnswer,
                  Outcome &out)
{
    // The statement that met the break inside a transaction is told as
    // such: nothing of the transaction was written (of a COMMIT, it is
    // not known).
    const PGconn *handle = serverHandle(connection);
    const bool broken = handle && PQstatus(handle) == CONNECTION_BAD;
    if (!out.ok && wasInTransaction && broken) {
        out.error =
            lostError(sql == QLatin1String(Sql::COMMIT), out.error.databaseText().trimmed(), noAnswer);
        out.lost = true;
    } else if (!out.ok && broken && mayWrite(sql)) {
        // A write of one statement outside a transaction commits by
        // itself: the server may have done it before the break, so
        // whether it was saved is not known.
        out.error = lostError(true, out.error.databaseText().trimmed(), noAnswer);
        out.lost = true;
    } else if (!out.ok && noAnswer) {
        out.error = noAnswerError(Errors::databaseWords(out.error));
        out.lost = true;
    }
    noteTransaction(connection, sql, out.ok);
}

void logFailure(const QSqlError &error, const QString &sql)
{
    const QString message = QStringLiteral("В запросе содержится ошибка.") + sql;
    // The entries run on in one line, without separators.
    if (Query::appendLog(error.text() + message + QStringLiteral(" Запрос")))
        qDebug() << error.text() << message + QStringLiteral(" Запрос");
    qDebug() << error.text() << message + QStringLiteral(" Запрос ");
}

QSqlQuery runStatement(QString sql, const QVariantList &values, const QSqlDatabase &db, Sending how,
                       const std::function<void()> &meanwhile)
{
    // An invalid connection means the default one.
    QSqlDatabase connection =
        db.isValid() ? db
                     : QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
    const bool server = Sql::onServer(connection);
    Outcome out;
    out.lost = server && lostBeforeSending(connection, sql);
    const bool wasInTransaction = server && inTransaction().contains(connection.connectionName());
    QSqlQuery query(connection);
    query.setForwardOnly(true);
    // A server that stops answering does not hold the statement for long:
    // the watchdog breaks the connection, and the statement fails. A server
    // that is only busy is waited for.
    const PGconn *watched = server && !out.lost ? serverHandle(connection) : nullptr;
    Watchdog::Guard guard(watched);
    execute(query, connection, sql, values, server, {how, meanwhile}, out);
    const bool noAnswer = guard.end();
    if (server && !out.lost)
        afterSending(connection, sql, wasInTransaction, noAnswer, out);
    if (out.lost || out.refused)
        query = QSqlQuery(new LostResult(connection.driver(), sql, out.error));
    if (out.ok) {
        qDebug() << "Запрос успешен." + sql;
        return query;
    }
    logFailure(out.error, sql);
    return query;
}

} // namespace

QString Query::unstorable(const QList<std::pair<QString, QString>> &fields)
{
    for (const auto &[caption, text] : fields) {
        if (text.contains(QChar::Null))
            return caption;
    }
    return QString();
}
