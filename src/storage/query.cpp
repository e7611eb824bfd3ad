// The one way statements reach the database, and the one writer of the error
// log "log".

#include "function.h"

#include "storage/paths.h"

#include <QDebug>
#include <QFile>
#include <QSqlError>
#include <QTextStream>

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
    // An invalid connection means the default one.
    QSqlDatabase connection =
        db.isValid() ? db : QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
    const bool server = Sql::onServer(connection);
    // A server connection that broke (the server was restarted, the network
    // was down) is closed by the driver; the next statement connects again.
    if (server && !connection.isOpen())
        connection.open();
    QSqlQuery query(connection);
    query.setForwardOnly(true);
    bool ok = true;
    QSqlError error;
    if (server && values.isEmpty()) {
        // PostgreSQL prepares only queries, not BEGIN or CREATE TABLE: a
        // statement without bound values runs as it stands.
        ok = query.exec(sql);
        if (!ok)
            error = query.lastError();
    } else {
        ok = query.prepare(sql);
        if (!ok) {
            qDebug() << false << "prepare";
            // The reason preparing gave (such as "no such table") is the one
            // worth logging; executing an unprepared query would only say "No query".
            error = query.lastError();
        } else {
            for (const QVariant &value : values)
                query.addBindValue(value);
            ok = query.exec();
            if (!ok)
                error = query.lastError();
        }
    }
    if (ok) {
        qDebug() << "Запрос успешен." + sql;
        return query;
    }
    const QString message = QStringLiteral("В запросе содержится ошибка.") + sql;
    // The entries run on in one line, without separators.
    if (appendLog(error.text() + message + QStringLiteral(" Запрос")))
        qDebug() << error.text() << message + QStringLiteral(" Запрос");
    qDebug() << error.text() << message + QStringLiteral(" Запрос ");
    return query;
}

QString Function::q(const QString &value)
{
    return QString(value).replace(QLatin1Char('\''), QStringLiteral("''"));
}

bool Function::appendLog(const QString &text)
{
    QFile file(QString::fromLatin1(Paths::LOG_FILE));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    QTextStream out(&file);
    out << text;
    out.flush();
    return out.status() == QTextStream::Ok;
}
