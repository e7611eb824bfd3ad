#include "storage/servercopy.h"

#include "function.h"
#include "storage/attachments.h"
#include "storage/databasecopy.h"
#include "storage/errors.h"
#include "storage/history/historylog.h"
#include "storage/history/historytable.h"
#include "storage/paths.h"
#include "storage/privateconnection.h"
#include "storage/query.h"
#include "storage/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <functional>

namespace {

// The tables of the register in the order they are filled; the reference
// tables keep their ids, which the serviceman form does not rely on but an
// administrator may.
struct Table
{
    const char *name;
    bool ids;
};
constexpr Table TABLES[] = {{"Ranks", true}, {"Emploeses", true}, {"Combat", false}, {"prikaz", false}, {"Files", false}};
// Rows put into one statement, and the length of text at which a statement
// is sent before that.
constexpr int BATCH_ROWS = 200;
constexpr int BATCH_TEXT = 1 << 20;

QString ident(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString program()
{
    return QString::fromLatin1(QSqlDatabase::defaultConnection);
}

QSqlDatabase server()
{
    return QSqlDatabase::database(program(), false);
}

// Runs one statement; on failure says why in `error`.
bool run(const QString &sql, const QSqlDatabase &db, QString *error, QSqlQuery *result = nullptr,
         const QVariantList &values = {})
{
    QSqlError failure;
    if (PrivateConnection::run(db, sql, values, result, &failure))
        return true;
    *error = Errors::describe(failure, db.driverName());
    return false;
}

QStringList columnsOf(const QSqlDatabase &db, const QString &table)
{
    QStringList names;
    QSqlQuery info = Function::Myquery(Sql::text(Sql::TABLE_INFO, db).arg(Query::quote(table)), db);
    const int field = info.record().indexOf(QStringLiteral("name"));
    while (info.next())
        names.append(info.value(field).toString());
    return names;
}

int countRows(const QSqlDatabase &db, const QString &table, QString *error)
{
    QSqlQuery query(db);
    if (!run(QString::fromLatin1(Sql::COUNT_ROWS).arg(table), db, error, &query) || !query.next())
        return -1;
    return query.value(0).toInt();
}

// What a progress box says while a table's rows are moved.
QString stageOf(const QString &table)
{
    if (table == QLatin1String("Combat"))
        return QStringLiteral("Перенос военнослужащих");
    if (table == QLatin1String("prikaz"))
        return QStringLiteral("Перенос приказов");
    if (table == QLatin1String("Files"))
        return QStringLiteral("Перенос записей о прикреплённых файлах");
    return QStringLiteral("Перенос справочников");
}

// The work was stopped by the user.
bool stopped(QString *error)
{
    *error = QStringLiteral("перенос остановлен");
    return false;
}

// Copies every row of a table, in the order the rows were added, through
// statements of many rows each.
bool copyRows(const QSqlDatabase &from, const QSqlDatabase &to, const Table &table, QString *error,
              const ServerCopy::Progress &progress = {})
{
    const QString name = QString::fromLatin1(table.name);
    const QStringList source = columnsOf(from, name);
    const QStringList target = columnsOf(to, name);
    QStringList read, written;
    for (const QString &column : source) {
        if (!table.ids && column.compare(QLatin1String("id"), Qt::CaseInsensitive) == 0)
            continue;
        for (const QString &t : target) {
            if (t.compare(column, Qt::CaseInsensitive) == 0) {
                read.append(ident(column));
                written.append(ident(t));
            }
        }
    }
    if (read.isEmpty()) {
        *error = QStringLiteral("в базе данных нет таблицы %1 (запустите программу с параметром --ver)").arg(name);
        return false;
    }
    // On the connection given: a query made without one would ask for the
    // program's connection, which belongs to the window's thread.
    QSqlQuery rows(from);
    if (!run(Sql::text(Sql::SELECT_ALL_ROWS, from).arg(name, read.join(QLatin1Char(','))), from, error, &rows))
        return false;
    const QString insert = QString::fromLatin1(Sql::INSERT_ROWS).arg(name, written.join(QLatin1Char(',')), QStringLiteral("%1"));
    QStringList batch;
    qsizetype length = 0;
    const QString stage = stageOf(name);
    const int total = progress ? countRows(from, name, error) : 0;
    int done = 0;
    if (progress && !progress(0, total, stage))
        return stopped(error);
    auto flush = [&]() {
        if (batch.isEmpty())
            return true;
        const bool ok = run(insert.arg(batch.join(QLatin1Char(','))), to, error);
        done += static_cast<int>(batch.size());
        batch.clear();
        length = 0;
        if (ok && progress && !progress(done, total, stage))
            return stopped(error);
        return ok;
    };
    while (rows.next()) {
        QStringList values;
        for (int c = 0; c < read.size(); ++c) {
            const QVariant v = rows.value(c);
            values.append(v.isNull() ? QStringLiteral("NULL")
                                     : QLatin1Char('\'') + Query::quote(v.toString()) + QLatin1Char('\''));
            length += values.last().size();
        }
        batch.append(QLatin1Char('(') + values.join(QLatin1Char(',')) + QLatin1Char(')'));
        if ((batch.size() >= BATCH_ROWS || length >= BATCH_TEXT) && !flush())
            return false;
    }
    if (!rows.isActive() || rows.lastError().isValid()) {
        *error = Errors::describe(rows.lastError(), from.driverName());
        return false;
    }
    return flush();
}

// The documents of an SQLite register: its own copies (a file written from a
// server) or the files in a folder "files" beside it.
bool copyDocumentsToServer(const QSqlDatabase &file, const QString &source, QStringList *missing,
                           QString *error, const ServerCopy::Progress &progress)
{
    const QSqlDatabase to = server();
    QStringList paths;
    QSqlQuery query(file);
    if (!run(QString::fromLatin1(Sql::SELECT_FILE_PATHS), file, error, &query))
        return false;
    while (query.next())
        paths.append(query.value(0).toString());
    const bool ownCopies = !columnsOf(file, QString::fromLatin1(Sql::CONTENT_TABLE)).isEmpty();
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
        if (!run(QString::fromLatin1(Sql::INSERT_CONTENT), to, error, nullptr, {path, content}))
            return false;
    }
    return true;
}

// The history of changes, copied with its ids as it is.
constexpr Table HISTORY{History::TABLE, true};

bool hasHistory(const QSqlDatabase &db)
{
    return !columnsOf(db, QString::fromLatin1(History::TABLE)).isEmpty();
}

// After the register of `source` was put on the server: its history comes
// along where this role may write the history (its owner; the server's own
// entries of the replaced rows go then), and the restore or the move is
// entered. Another clerk's restore leaves the server's history as it is, with
// the triggers' entries of every row it replaced.
bool carryHistory(const QSqlDatabase &file, const QSqlDatabase &to, const QString &source, bool transfer,
                  QString *error)
{
    if (!hasHistory(to)) {
        Query::appendLog(QStringLiteral("На сервере нет истории изменений (её создаёт запуск программы с "
                                        "параметром --ver владельцем базы); копия %1 перенесена без неё\n")
                             .arg(source));
        return true;
    }
    QSqlQuery writable(to);
    if (!run(QString::fromLatin1(Sql::HISTORY_WRITABLE), to, error, &writable))
        return false;
    if (writable.next() && writable.value(0).toBool()) {
        if (!run(QString::fromLatin1(Sql::DELETE_ROWS).arg(QString::fromLatin1(History::TABLE)), to, error) ||
            (hasHistory(file) && !copyRows(file, to, HISTORY, error)) ||
            !run(QString::fromLatin1(Sql::RESTART_IDENTITY).arg(QString::fromLatin1(History::TABLE)), to,
                 error))
            return false;
    }
    History::Entry entry;
    entry.action = QString::fromLatin1(transfer ? History::Action::TRANSFER : History::Action::RESTORE);
    entry.newValue = QFileInfo(source).absoluteFilePath();
    QSqlError failure;
    if (History::recordOn(to, {entry}, &failure))
        return true;
    *error = Errors::describe(failure, to.driverName());
    return false;
}

// Puts the register of `source` in the place of the server's, in one
// transaction; `empty` first requires a server without servicemen, orders
// and documents.
bool replace(const QString &source, bool empty, ServerCopy::Counts *counts, QString *error,
             const ServerCopy::Progress &progress = {})
{
    if (!Sql::onServer(server()) || !server().isOpen()) {
        *error = QStringLiteral("программа не подключена к серверу базы данных");
        return false;
    }
    PrivateConnection file(source, PrivateConnection::READ_ONLY);
    if (!file.db().isOpen()) {
        *error = Errors::describe(file.db().lastError(), file.db().driverName());
        return false;
    }
    for (const Table &table : TABLES) {
        if (columnsOf(file.db(), QString::fromLatin1(table.name)).isEmpty()) {
            *error = QStringLiteral("в файле нет таблицы %1").arg(QString::fromLatin1(table.name));
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
        // Other clerks' changes wait until the register is in place; reading
        // goes on.
        if (!run(QString::fromLatin1(Sql::LOCK_REGISTER), to, error))
            return false;
        if (empty) {
            int held = 0;
            for (const char *table : {"Combat", "prikaz", "Files", "Kopii"}) {
                const int n = countRows(to, QString::fromLatin1(table), error);
                if (n < 0)
                    return false;
                held += n;
            }
            if (held > 0) {
                *error = QStringLiteral("в базе данных на сервере уже есть записи; перенос делается только в "
                                        "пустую базу (заменить данные сервера можно восстановлением резервной "
                                        "копии)");
                return false;
            }
        }
        for (const char *table : {"Files", "prikaz", "Combat", "Emploeses", "Ranks", "Kopii"}) {
            if (!run(QString::fromLatin1(Sql::DELETE_ROWS).arg(QString::fromLatin1(table)), to, error))
                return false;
        }
        for (const Table &table : TABLES) {
            if (!copyRows(file.db(), to, table, error, progress))
                return false;
            if (table.ids &&
                !run(QString::fromLatin1(Sql::RESTART_IDENTITY).arg(QString::fromLatin1(table.name)), to, error))
                return false;
        }
        if (!copyDocumentsToServer(file.db(), source, &counts->missing, error, progress) ||
            !carryHistory(file.db(), to, source, empty, error))
            return false;
        // The copy is checked by the numbers of rows before it is kept.
        for (const Table &table : TABLES) {
            const QString name = QString::fromLatin1(table.name);
            const int there = countRows(file.db(), name, error);
            const int here = countRows(to, name, error);
            if (there < 0 || here < 0)
                return false;
            if (there != here) {
                *error = QStringLiteral("в таблице %1 на сервере %2 строк вместо %3").arg(name).arg(here).arg(there);
                return false;
            }
            if (name == QLatin1String("Combat"))
                counts->servicemen = here;
            else if (name == QLatin1String("prikaz"))
                counts->orders = here;
            else if (name == QLatin1String("Files"))
                counts->files = here;
        }
        return true;
    };
    if (!run(QString::fromLatin1(Sql::BEGIN), to, error))
        return false;
    if (steps() && run(QString::fromLatin1(Sql::COMMIT), to, error))
        return true;
    Function::Myquery(QString::fromLatin1(Sql::ROLLBACK), to);
    counts->createdTables.clear();
    return false;
}

// The register and the documents of the server into an SQLite file.
bool copyFromServer(const QSqlDatabase &from, const QSqlDatabase &to, QString *error)
{
    if (!run(QString::fromLatin1(Sql::BEGIN), to, error))
        return false;
    // The documents go into the file with the register.
    bool ok = run(QString::fromLatin1(Sql::CREATE_CONTENT_TABLE), to, error);
    // The new file's reference tables were seeded on creation; the server's
    // take their place.
    for (const Table &table : TABLES) {
        ok = ok && run(QString::fromLatin1(Sql::DELETE_ROWS).arg(QString::fromLatin1(table.name)), to, error) &&
             copyRows(from, to, table, error);
    }
    // The documents come in one result, one row at a time, so only one
    // document is in memory at once. A server's forward-only result is read
    // row by row, and any other statement on its connection would end it
    // there: none runs on `from` until the last row has come.
    // Queries name their connection: the daily copy runs this in a thread
    // of its own, where the program's default connection is not to be used.
    QSqlQuery documents(from);
    ok = ok && run(QString::fromLatin1(Sql::SELECT_ALL_CONTENT), from, error, &documents);
    while (ok && documents.next())
        ok = run(QString::fromLatin1(Sql::INSERT_CONTENT), to, error, nullptr,
                 {documents.value(0).toString(), documents.value(1).toByteArray()});
    if (ok && documents.lastError().isValid()) {
        *error = Errors::describe(documents.lastError(), from.driverName());
        ok = false;
    }
    documents = QSqlQuery(from);
    // The history of changes goes along where the server keeps one.
    const bool history = ok && hasHistory(from);
    if (history) {
        QSqlError failure;
        ok = History::ensureTable(to, &failure);
        if (!ok)
            *error = Errors::describe(failure, to.driverName());
        ok = ok && copyRows(from, to, HISTORY, error);
    }
    // The copy counts as made only when it holds every row and every
    // document the server has in the same picture of the register.
    for (const char *table : {"Ranks", "Emploeses", "Combat", "prikaz", "Files", "Kopii", "history"}) {
        if (!ok)
            break;
        if (!history && qstrcmp(table, History::TABLE) == 0)
            continue;
        const QString name = QString::fromLatin1(table);
        const int there = countRows(from, name, error);
        const int here = there < 0 ? -1 : countRows(to, name, error);
        if (there < 0 || here < 0) {
            ok = false;
        } else if (here != there) {
            *error = name == QLatin1String(Sql::CONTENT_TABLE)
                         ? QStringLiteral("в копию попало документов %1 из %2").arg(here).arg(there)
                         : QStringLiteral("в копию попало строк таблицы %1: %2 из %3")
                               .arg(name)
                               .arg(here)
                               .arg(there);
            ok = false;
        }
    }
    ok = ok && run(QString::fromLatin1(Sql::COMMIT), to, error);
    if (!ok)
        Function::Myquery(QString::fromLatin1(Sql::ROLLBACK), to);
    return ok;
}

} // namespace

bool ServerCopy::backup(const QString &target, QString *error)
{
    return backup(server(), target, error);
}

bool ServerCopy::backup(const QSqlDatabase &from, const QString &target, QString *error)
{
    if (QFileInfo::exists(target)) {
        *error = QStringLiteral("файл «%1» уже есть (копии, сделанные в одну секунду, получают одно имя; "
                                "повторите через секунду)")
                     .arg(QFileInfo(target).fileName());
        return false;
    }
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        *error = QStringLiteral("не удалось создать папку «%1»").arg(QFileInfo(target).absolutePath());
        return false;
    }
    bool ok = false;
    // Written under a temporary name and named once complete, so a copy cut
    // short by a crash never looks like a backup.
    const QString part = DatabaseCopy::partName(target);
    {
        PrivateConnection file(part, QString());
        const QSqlDatabase to = file.db();
        if (!to.isOpen()) {
            *error = Errors::describe(to.lastError(), to.driverName());
        } else {
            Schema::Report report;
            report.database = target;
            // A new file: there is nothing in it to drop.
            Schema::verifyOpen(to, QString::fromLatin1(Paths::TABLE_DESCRIPTOR),
                               QString::fromLatin1(Paths::COLUMN_DESCRIPTOR), report, Schema::Drops::Never);
            if (!report.refusedDescriptors.isEmpty())
                *error = report.refusedDescriptors.join(QLatin1Char(' '));
            // One consistent picture of the register, whatever the other
            // clerks change meanwhile.
            else if (run(QString::fromLatin1(Sql::BEGIN_SNAPSHOT), from, error))
                ok = copyFromServer(from, to, error);
            if (ok)
                Function::Myquery(QString::fromLatin1(Sql::COMMIT), from);
            else
                Function::Myquery(QString::fromLatin1(Sql::ROLLBACK), from);
        }
    }
    if (ok && !QFile::rename(part, target)) {
        *error = QStringLiteral("временный файл не переименован в «%1»").arg(QFileInfo(target).fileName());
        ok = false;
    }
    // A copy cut short is no backup.
    if (!ok)
        QFile::remove(part);
    return ok;
}

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
