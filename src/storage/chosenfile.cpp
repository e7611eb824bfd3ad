// The check of a file the user chose: is it a sound database, is it the one
// in use, and does it hold the program's tables.

#include "storage/copyfiles.h"
#include "storage/privateconnection.h"
#include "storage/databasecopy.h"

#include "function.h"
#include "storage/paths.h"
#include "storage/schema.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
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
    return true;
}
