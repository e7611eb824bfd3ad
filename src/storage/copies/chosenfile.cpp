// The check of a file the user chose: is it a sound database, is it the one
// in use, and does it hold the program's tables.

#include "storage/copies/chosenfile.h"
#include "storage/copies/copyfiles.h"
#include "storage/db/privateconnection.h"
#include "storage/copies/databasecopy.h"

#include "function.h"
#include "storage/db/errors.h"
#include "storage/history/historytable.h"
#include "storage/setup/paths.h"
#include "storage/db/errorlog.h"
#include "storage/setup/schema.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <system_error>

using namespace CopyFiles;

bool DatabaseCopy::isDatabase(const QString &path)
{
    {
        QFile file(path);
        if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
            return false;
        static const QByteArray header("SQLite format 3\0", 16);
        if (file.read(header.size()) != header)
            return false;
    }
    PrivateConnection c(path, PrivateConnection::READ_ONLY);
    QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::QUICK_CHECK), c.db());
    return c.opened() && query.isActive() && query.next() && query.value(0).toString() == QLatin1String("ok");
}

bool DatabaseCopy::sameFile(const QString &a, const QString &b)
{
    const QFileInfo fa(a);
    const QFileInfo fb(b);
    if (!fa.exists() || !fb.exists())
        return false;
    if (fa.canonicalFilePath() == fb.canonicalFilePath())
        return true;
    std::error_code failed;
    const bool same = std::filesystem::equivalent(fsPath(a), fsPath(b), failed);
    return same && !failed;
}

namespace {

// An SQL identifier in double quotes.
QString ident(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

// Leaves in the temporary copy only the program's tables (those the
// descriptor declares, the history and the copies of documents) with their
// rows: a trigger, a view, an index or another table of the chosen file would
// otherwise come into the register with it and act there (a trigger deleting
// rows at every entry of the history). A history the program cannot write
// into is refused before, in plain words.
bool keepProgramTables(const QString &copy, const QString &chosen, const QStringList &declared,
                       QString *error)
{
    const PrivateConnection c(copy, QString(), PrivateConnection::Stop::Unwatched);
    if (!c.opened()) {
        *error = QStringLiteral("файл %1 не удалось проверить: %2")
                     .arg(quoted(chosen), Errors::describe(c.db().lastError(), c.db().driverName()));
        return false;
    }
    if (const QString unfit = History::unfit(c.db()); !unfit.isEmpty()) {
        *error =
            QStringLiteral("в файле %1 история изменений не такая, какую ведёт программа: %2. Восстановление "
                           "нельзя записать в историю изменений такой копии (она сделана не этой программой "
                           "или изменена), поэтому база данных не изменена")
                .arg(quoted(chosen), unfit);
        return false;
    }
    QStringList own = declared;
    own << QString::fromLatin1(History::TABLE) << QString::fromLatin1(Sql::CONTENT_TABLE);
    QList<QPair<QString, QString>> foreign;
    {
        QSqlQuery query(c.db());
        if (!query.exec(QString::fromLatin1(Sql::SELECT_COPY_OBJECTS))) {
            *error = QStringLiteral("файл %1 не удалось проверить: %2")
                         .arg(quoted(chosen), Errors::describe(query.lastError(), c.db().driverName()));
            return false;
        }
        while (query.next()) {
            const QString kind = query.value(0).toString();
            const QString name = query.value(1).toString();
            if (kind != QLatin1String("table") || !own.contains(name, Qt::CaseInsensitive))
                foreign.append({kind, name});
        }
    }
    QStringList dropped;
    for (const auto &object : std::as_const(foreign)) {
        QSqlError failure;
        if (!PrivateConnection::run(
                c.db(),
                QString::fromLatin1(Sql::DROP_COPY_OBJECT).arg(object.first.toUpper(), ident(object.second)),
                {}, nullptr, &failure)) {
            *error = QStringLiteral("файл %1 не удалось подготовить к восстановлению: %2")
                         .arg(quoted(chosen), Errors::describe(failure, c.db().driverName()));
            return false;
        }
        dropped.append(object.first + QLatin1Char(' ') + object.second);
    }
    if (!dropped.isEmpty())
        Query::appendLog(
            QStringLiteral("Из файла %1 при восстановлении взяты только таблицы программы, не взяты: "
                           "%2\n")
                .arg(quoted(chosen), dropped.join(QStringLiteral(", "))));
    return true;
}

} // namespace

bool CopyFiles::checkChosen(const QString &copy, const QString &chosen, QString *error)
{
    const QString tables = QString::fromLatin1(Paths::TABLE_DESCRIPTOR);
    const QString columns = QString::fromLatin1(Paths::COLUMN_DESCRIPTOR);
    QStringList declared;
    QStringList missing;
    QString reason;
    if (!Schema::missingTables(copy, tables, &declared, &missing, &reason)) {
        *error = QStringLiteral("файл %1 не удалось проверить: %2").arg(quoted(chosen), reason);
        return false;
    }
    if (declared.isEmpty()) {
        *error = QStringLiteral("файл %1 не с чем сравнить: описание таблиц %2 не называет ни одной таблицы")
                     .arg(quoted(chosen), tables);
        return false;
    }
    if (missing.size() == declared.size()) {
        *error = QStringLiteral("в файле %1 нет ни одной таблицы этой программы (%2): это не её база данных")
                     .arg(quoted(chosen), declared.join(QStringLiteral(", ")));
        return false;
    }
    const Schema::Report report = Schema::verify(copy, tables, columns, Schema::Drops::Never);
    if (!report.refusedDescriptors.isEmpty() ||
        !Schema::missingTables(copy, tables, &declared, &missing, &reason) || !missing.isEmpty()) {
        *error = QStringLiteral("файл %1 не удалось дополнить недостающими таблицами и столбцами: %2")
                     .arg(quoted(chosen), report.refusedDescriptors.isEmpty()
                                              ? reason + missing.join(QStringLiteral(", "))
                                              : report.refusedDescriptors.join(QStringLiteral("; ")));
        return false;
    }
    if (!report.createdTables.isEmpty() || !report.addedColumns.isEmpty())
        qDebug() << "В восстанавливаемой копии дополнены:" << report.createdTables << report.addedColumns;
    return keepProgramTables(copy, chosen, declared, error);
}
