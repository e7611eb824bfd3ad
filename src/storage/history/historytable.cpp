#include "storage/history/historytable.h"

#include "storage/db/privateconnection.h"
#include "storage/db/sql.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace History {

bool ensureTable(const QSqlDatabase &db, QSqlError *error)
{
    return PrivateConnection::run(db, Sql::text(Sql::CREATE_HISTORY, db), {}, nullptr, error) &&
           PrivateConnection::run(db, QString::fromLatin1(Sql::CREATE_HISTORY_LN_INDEX), {}, nullptr, error) &&
           PrivateConnection::run(db, QString::fromLatin1(Sql::CREATE_HISTORY_WHO_INDEX), {}, nullptr, error);
}

QString unfit(const QSqlDatabase &db)
{
    QSqlQuery kind(db);
    if (!kind.exec(QString::fromLatin1(Sql::HISTORY_KIND)) || !kind.next())
        return QString();
    if (kind.value(0).toString() != QLatin1String("table"))
        return QStringLiteral("«history» в нём не таблица, а представление");
    // The columns every entry fills.
    QStringList missing{
        QStringLiteral("at"),        QStringLiteral("who"),       QStringLiteral("workstation"),
        QStringLiteral("action"),    QStringLiteral("LN"),        QStringLiteral("FIO"),
        QStringLiteral("what"),      QStringLiteral("prikaznom"), QStringLiteral("field"),
        QStringLiteral("old_value"), QStringLiteral("new_value")};
    const QStringList filled = missing;
    QStringList unfilled;
    QSqlQuery info(db);
    if (!info.exec(Sql::text(Sql::TABLE_INFO, db).arg(QLatin1String(TABLE))))
        return QString();
    const QSqlRecord record = info.record();
    const int name = record.indexOf(QStringLiteral("name"));
    const int notNull = record.indexOf(QStringLiteral("notnull"));
    const int byDefault = record.indexOf(QStringLiteral("dflt_value"));
    const int key = record.indexOf(QStringLiteral("pk"));
    while (info.next()) {
        const QString column = info.value(name).toString();
        missing.removeIf([&](const QString &c) { return c.compare(column, Qt::CaseInsensitive) == 0; });
        const bool ours = filled.contains(column, Qt::CaseInsensitive);
        if (!ours && info.value(notNull).toInt() != 0 && info.value(byDefault).isNull() &&
            info.value(key).toInt() == 0)
            unfilled.append(column);
    }
    QStringList why;
    if (!missing.isEmpty())
        why.append(
            QStringLiteral("в таблице history нет столбцов %1").arg(missing.join(QStringLiteral(", "))));
    if (!unfilled.isEmpty())
        why.append(
            QStringLiteral("столбцы %1 таблицы history должны быть заполнены, а программа их не заполняет")
                .arg(unfilled.join(QStringLiteral(", "))));
    return why.join(QStringLiteral("; "));
}

} // namespace History
