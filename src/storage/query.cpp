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
    // An invalid connection means the default one.
    QSqlQuery query(db);
    query.setForwardOnly(true);
    bool ok = query.prepare(sql);
    QSqlError error;
    if (!ok) {
        qDebug() << false << "prepare";
        // The reason preparing gave (such as "no such table") is the one worth
        // logging; executing an unprepared query would only say "No query".
        error = query.lastError();
    } else {
        ok = query.exec();
        if (!ok)
            error = query.lastError();
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
