#include "storage/copies/servercopy.h"

#include "function.h"
#include "storage/register/attachments.h"
#include "storage/db/errors.h"
#include "storage/history/historylog.h"
#include "storage/history/historytable.h"
#include "storage/setup/paths.h"
#include "storage/db/privateconnection.h"
#include "storage/db/errorlog.h"
#include "storage/db/quoting.h"
#include "storage/setup/schema.h"
#include "storage/copies/tablecopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

// The restore of a register file onto the server and the move of one onto
// an empty server database (the backup of a server is in serverbackup.cpp).

using namespace TableCopy;

namespace {

QSqlDatabase server()
{
    return QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
}

// The length of text at which a statement of documents is sent: each
// document's bytes go as twice as many hex digits.
constexpr qsizetype CONTENT_BATCH_TEXT = 8 << 20;
// The rows one statement deletes.
constexpr int DELETE_BATCH_ROWS = 25000;

// The documents of an SQLite register: its own copies (a file written from a
// server) or the files in a folder "files" beside it. They go to the server
// in statements of several megabytes.
bool copyDocumentsToServer(const QSqlDatabase &file, TableColumns &fileColumns, const QString &source,
                           QStringList *missing, QString *error, const ServerCopy::Progress &progress)
{
    const QSqlDatabase to = server();
    QStringList paths;
    QSqlQuery query(file);
    if (!run(QString::fromLatin1(Sql::SELECT_FILE_PATHS), file, error, &query))
        return false;
    while (query.next())
        paths.append(query.value(0).toString());
    const bool ownCopies = !fileColumns.of(QString::fromLatin1(Sql::CONTENT_TABLE)).isEmpty();
    if (ownCopies) {
        if (!run(QString::fromLatin1(Sql::SELECT_CONTENT_PATHS), file, error, &query))
            return false;
        while (query.next()) {
            if (!paths.contains(query.value(0).toString()))
                paths.append(query.value(0).toString());
        }
    }
    query = QSqlQuery();
    // Giper is relative to the working folder the register was used in: this
    // one, or the one above the file's folder (…/data/BaseDate.db).
    const QStringList bases{QDir::currentPath(), QFileInfo(source).absoluteDir().absolutePath() + QStringLiteral("/..")};
    const QString stage = QStringLiteral("Перенос документов");
    QStringList batch;
    qsizetype length = 0;
    auto flush = [&]() {
        const bool ok = batch.isEmpty() ||
                        run(QString::fromLatin1(Sql::INSERT_CONTENT_ROWS).arg(batch.join(QLatin1Char(','))), to, error);
        batch.clear();
        length = 0;
        return ok;
    };
    int done = 0;
    for (const QString &path : std::as_const(paths)) {
        if (progress && !progress(done++, static_cast<int>(paths.size()), stage))
            return stopped(error);
        if (path.isEmpty())
            continue;
        QByteArray content;
        bool found = false;
        if (ownCopies) {
            QSqlQuery copy;
            if (!run(QString::fromLatin1(Sql::SELECT_CONTENT).arg(Query::quote(path)), file, error, &copy))
                return false;
            if (copy.next()) {
                content = copy.value(0).toByteArray();
                found = true;
            }
        }
        for (const QString &base : bases) {
            const QString root = QDir::cleanPath(base);
            const QString candidate = QDir::cleanPath(root + QLatin1Char('/') + path);
            if (found || QDir::isAbsolutePath(path) || !candidate.startsWith(root + QLatin1Char('/')))
                continue;
            QFile f(candidate);
            if (f.size() <= Attachments::MAX_CONTENT && f.open(QIODevice::ReadOnly)) {
                content = f.readAll();
                found = f.error() == QFileDevice::NoError;
            }
        }
        if (!found) {
            missing->append(path);
            continue;
        }
        batch.append(QString::fromLatin1(Sql::CONTENT_ROW)
                         .arg(Query::quote(path), QString::fromLatin1(content.toHex())));
        length += batch.last().size();
        if (length >= CONTENT_BATCH_TEXT && !flush())
            return false;
    }
    return flush();
}

// After the register of `source` was put on the server: its history comes
// along where this role may write the history (its owner; the server's own
// entries of the replaced rows go then), and the restore or the move is
// entered. A move into a database without a history makes it first (its
// triggers then see only what follows the move). Another clerk's restore
// leaves the server's history as it is, with the triggers' entries of every
// row it replaced. Why the file's entries stayed behind goes to `counts`.
bool carryHistory(const QSqlDatabase &file, TableColumns &fileColumns, const QSqlDatabase &to,
                  TableColumns &toColumns, const QString &source, bool transfer, const QString &numbers,
                  ServerCopy::Counts *counts, QString *error)
{
    const QString table = QString::fromLatin1(History::TABLE);
    const bool fileHistory = !fileColumns.of(table).isEmpty();
    QList<int> held;
    if (fileHistory && !countRows(file, {table}, &held, error))
        return false;
    counts->historyEntries = held.value(0);
    bool there = !toColumns.of(table).isEmpty();
    QSqlError refusal;
    if (!there && transfer) {
        // Refused (a role that may not make functions), the move goes on
        // without the history.
        if (!run(QString::fromLatin1(Sql::SAVEPOINT_STEP), to, error))
            return false;
        there = History::installOnServer(to, &refusal);
        if (!run(QString::fromLatin1(there ? Sql::RELEASE_STEP : Sql::ROLLBACK_TO_STEP), to, error))
            return false;
    }
    if (!there) {
        const QString why =
            refusal.isValid()
                ? QStringLiteral("историю изменений на сервере не удалось создать (%1)")
                      .arg(Errors::describe(refusal, to.driverName()))
                : QStringLiteral("на сервере нет истории изменений (её создаёт запуск программы с параметром "
                                 "--ver владельцем базы данных)");
        if (counts->historyEntries > 0)
            counts->historyLeft = why;
        Query::appendLog(QStringLiteral("История изменений из %1 не перенесена на сервер: %2\n").arg(source, why));
        return true;
    }
    QSqlQuery writable(to);
    if (!run(QString::fromLatin1(Sql::HISTORY_WRITABLE), to, error, &writable))
        return false;
    if (writable.next() && writable.value(0).toBool()) {
        TableColumns serverColumns(to);
        if (!run(QString::fromLatin1(Sql::DELETE_ROWS).arg(table), to, error) ||
            (fileHistory && !copyRows(file, fileColumns, to, serverColumns, history(), error)) ||
            !run(QString::fromLatin1(Sql::RESTART_IDENTITY).arg(table), to, error))
            return false;
    } else if (counts->historyEntries > 0) {
        counts->historyLeft = QStringLiteral("историю изменений на сервере пишет только владелец базы данных, а "
                                             "не пользователь «%1»")
                                  .arg(to.userName());
        Query::appendLog(QStringLiteral("История изменений из %1 не перенесена на сервер: %2\n")
                             .arg(source, counts->historyLeft));
    }
    History::Entry entry;
    entry.action = QString::fromLatin1(transfer ? History::Action::TRANSFER : History::Action::RESTORE);
    entry.newValue = QFileInfo(source).absoluteFilePath();
    entry.oldValue = numbers;
    QSqlError failure;
    if (History::recordOn(to, {entry}, &failure))
        return true;
    *error = Errors::describe(failure, to.driverName());
    return false;
}

// A move goes into a server database without servicemen, orders and
// documents only.
bool serverEmpty(const QSqlDatabase &to, QString *error)
{
    QList<int> held;
    if (!countRows(to, {"Combat", "prikaz", "Files", "Kopii"}, &held, error))
        return false;
    if (held != QList<int>{0, 0, 0, 0}) {
        *error = QStringLiteral("в базе данных на сервере уже есть записи; перенос делается только в "
                                "пустую базу (заменить данные сервера можно восстановлением резервной "
                                "копии)");
        return false;
    }
    return true;
}

// Deletes the rows of the server's register; `replaced` gets how many each
// table held (Files, prikaz, Combat, Emploeses, Ranks, Kopii).
bool deleteServerRows(const QSqlDatabase &to, QList<int> *replaced, QString *error)
{
    // Each deleted row runs its trigger, and a statement the server works
    // on for long without a word is taken for a server that stopped
    // answering: a large table goes in several statements.
    for (const char *table : {"Files", "prikaz", "Combat", "Emploeses", "Ranks", "Kopii"}) {
        replaced->append(0);
        for (int deleted = DELETE_BATCH_ROWS; deleted == DELETE_BATCH_ROWS;) {
            QSqlQuery query(to);
            const QString sql = QString::fromLatin1(Sql::DELETE_SOME_ROWS)
                                    .arg(QString::fromLatin1(table), QString::number(DELETE_BATCH_ROWS));
            if (!run(sql, to, error, &query))
                return false;
            deleted = query.numRowsAffected();
            replaced->last() += deleted;
        }
    }
    return true;
}

// The copy is checked by the numbers of rows of the tables `names` before it
// is kept; `counts` gets the servicemen, orders and documents put in.
bool checkCopied(const QSqlDatabase &file, const QSqlDatabase &to, const QStringList &names,
                 ServerCopy::Counts *counts, QString *error)
{
    QList<int> there, here;
    if (!countRows(file, names, &there, error) || !countRows(to, names, &here, error))
        return false;
    for (int i = 0; i < names.size(); ++i) {
        if (there[i] != here[i]) {
            *error = QStringLiteral("в таблице %1 на сервере %2 строк вместо %3")
                         .arg(names[i])
                         .arg(here[i])
                         .arg(there[i]);
            return false;
        }
    }
    counts->servicemen = here[names.indexOf(QLatin1String("Combat"))];
    counts->orders = here[names.indexOf(QLatin1String("prikaz"))];
    counts->files = here[names.indexOf(QLatin1String("Files"))];
    return true;
}

// Puts the register of `source` in the place of the server's, in one
// transaction; `empty` first requires a server without servicemen, orders
// and documents. A restore (not `empty`) is the owner's or vedomer_admins'
// alone: the history's triggers are silent in its transaction, and one
// entry tells what it replaced.
bool replace(const QString &source, bool empty, ServerCopy::Counts *counts, QString *error,
             const ServerCopy::Progress &progress = {})
{
    if (!Sql::onServer(server()) || !server().isOpen()) {
        *error = QStringLiteral("программа не подключена к серверу базы данных");
        return false;
    }
    if (!empty && !ServerCopy::restorePossible(error))
        return false;
    PrivateConnection file(source, PrivateConnection::READ_ONLY);
    if (!file.db().isOpen()) {
        *error = Errors::describe(file.db().lastError(), file.db().driverName());
        return false;
    }
    TableColumns fileColumns(file.db());
    QStringList names;
    for (const Table &table : TABLES) {
        names.append(QString::fromLatin1(table.name));
        if (fileColumns.of(names.last()).isEmpty()) {
            *error = QStringLiteral("в файле нет таблицы %1").arg(names.last());
            return false;
        }
    }
    const QSqlDatabase to = server();
    auto steps = [&]() {
        // A new database gets its tables here, so that they go with the
        // register if it is not moved.
        if (empty && !Schema::createMissingTables(to, QString::fromLatin1(Paths::SERVER_TABLE_DESCRIPTOR),
                                                  &counts->createdTables, error))
            return false;
        TableColumns serverColumns(to);
        // Other clerks' changes wait until the register is in place; reading
        // goes on.
        if (!run(QString::fromLatin1(Sql::LOCK_REGISTER), to, error) ||
            (!empty && !run(QString::fromLatin1(Sql::HISTORY_RESTORING), to, error)))
            return false;
        QList<int> replaced;
        if ((empty && !serverEmpty(to, error)) || !deleteServerRows(to, &replaced, error))
            return false;
        QList<int> put;
        if (!countRows(file.db(), {"Combat", "prikaz", "Files"}, &put, error))
            return false;
        const QString numbers =
            QStringLiteral("было: военнослужащих %1, приказов %2, документов %3; стало: военнослужащих %4, "
                           "приказов %5, документов %6")
                .arg(replaced[2])
                .arg(replaced[1])
                .arg(replaced[0])
                .arg(put[0])
                .arg(put[1])
                .arg(put[2]);
        for (const Table &table : TABLES) {
            if (!copyRows(file.db(), fileColumns, to, serverColumns, table, error, progress))
                return false;
            if (table.ids &&
                !run(QString::fromLatin1(Sql::RESTART_IDENTITY).arg(QString::fromLatin1(table.name)), to, error))
                return false;
        }
        if (!copyDocumentsToServer(file.db(), fileColumns, source, &counts->missing, error, progress) ||
            !carryHistory(file.db(), fileColumns, to, serverColumns, source, empty, numbers, counts, error))
            return false;
        return checkCopied(file.db(), to, names, counts, error);
    };
    if (!run(QString::fromLatin1(Sql::BEGIN), to, error))
        return false;
    if (steps() && run(QString::fromLatin1(Sql::COMMIT), to, error))
        return true;
    Function::Myquery(QString::fromLatin1(Sql::ROLLBACK), to);
    counts->createdTables.clear();
    counts->historyLeft.clear();
    return false;
}

} // namespace

bool ServerCopy::restore(const QString &source, Counts *counts, QString *error)
{
    return replace(source, false, counts, error);
}

bool ServerCopy::transfer(const QString &source, Counts *counts, QString *error, const Progress &progress)
{
    bool stoppedByUser = false;
    const Progress told = [&](int done, int total, const QString &what) {
        stoppedByUser = progress && !progress(done, total, what);
        return !stoppedByUser;
    };
    const bool ok = replace(source, true, counts, error, progress ? told : Progress());
    counts->cancelled = !ok && stoppedByUser;
    return ok;
}

bool ServerCopy::restorePossible(QString *why)
{
    const QSqlDatabase to = server();
    QSqlQuery may(to);
    if (!run(QString::fromLatin1(Sql::MAY_RESTORE), to, why, &may) || !may.next())
        return false;
    if (may.value(0).toBool())
        return true;
    *why = QStringLiteral("восстанавливать базу данных на сервере может только её владелец или член группы "
                          "vedomer_admins, а не пользователь «%1»")
               .arg(may.value(1).toString());
    return false;
}

bool ServerCopy::transferPossible(QString *why)
{
    const QSqlDatabase to = server();
    if (!Sql::onServer(to) || !to.isOpen()) {
        *why = QStringLiteral("программа не подключена к серверу базы данных");
        return false;
    }
    QStringList missing;
    QString error;
    const QString descriptor = QString::fromLatin1(Paths::SERVER_TABLE_DESCRIPTOR);
    if (!Schema::missingTables(to, descriptor, &missing, &error)) {
        *why = QStringLiteral("таблицы базы данных на сервере не проверены: %1").arg(error);
        return false;
    }
    if (missing.isEmpty())
        return true;
    QSqlQuery may(to);
    if (!run(QString::fromLatin1(Sql::MAY_CREATE_TABLES), to, &error, &may) || !may.next()) {
        *why = error;
        return false;
    }
    if (may.value(1).toBool())
        return true;
    *why = QStringLiteral("в базе данных на сервере нет таблиц (%1), а у пользователя «%2» нет права их "
                          "создавать; таблицы создаёт владелец базы данных запуском программы с параметром "
                          "--ver")
               .arg(missing.join(QStringLiteral(", ")), may.value(0).toString());
    return false;
}
