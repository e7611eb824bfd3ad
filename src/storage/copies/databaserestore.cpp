// The restore of a chosen copy in the place of the live database.

#include "storage/copies/databaserestore.h"
#include "storage/copies/databasecopy.h"

#include "function.h"
#include "storage/copies/copyfiles.h"
#include "storage/history/historylog.h"
#include "storage/history/historytable.h"
#include "storage/db/privateconnection.h"
#include "storage/setup/privacy.h"
#include "storage/db/errorlog.h"
#include "storage/db/quoting.h"
#include "storage/db/errors.h"
#include "storage/copies/chosenfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <system_error>

using namespace CopyFiles;

namespace {

// The journal files SQLite keeps beside a database.
const char *const JOURNALS[] = {"-journal", "-wal", "-shm"};

// SQLite's primary result codes that the restore tells apart.
enum : int { SQLITE_BUSY = 5, SQLITE_LOCKED = 6, SQLITE_CORRUPT = 11, SQLITE_NOTADB = 26 };

int primaryCode(const QSqlError &error)
{
    return error.nativeErrorCode().toInt() & 0xff;
}

bool isBusy(const QSqlError &error)
{
    const int code = primaryCode(error);
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

bool isDamaged(const QSqlError &error)
{
    const int code = primaryCode(error);
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

const QString &busyText()
{
    static const QString text = QStringLiteral(
        "база данных занята: в неё сейчас пишет другая программа (другая копия Ведомера или иная). "
        "Ничего не изменено; повторите восстановление, когда она закончит");
    return text;
}

// Renames `from` over `to`, replacing it in one step.
bool replaceFile(const QString &from, const QString &to, QString *error)
{
    std::error_code failed;
    std::filesystem::rename(fsPath(from), fsPath(to), failed);
    if (failed)
        *error = QString::fromLocal8Bit(failed.message().c_str());
    return !failed;
}

// The live database as a new safety copy, written under a temporary name
// and renamed once complete; an earlier safety copy is first kept under a
// name of its own, so that no safety copy is ever overwritten. `raw`
// copies the file as it is (a file SQLite cannot read). A failure is said
// after "не удалось сохранить текущую базу данных в файл «BaseDate_old.db»".
bool makeSafetyCopy(const QString &live, const QString &safety, bool raw, QSqlError *failure, QString *reason)
{
    const QString part = DatabaseCopy::partName(safety);
    const bool made = raw ? QFile::copy(live, part) : snapshot(live, part, failure);
    // A file copy takes the rights of a database an earlier version left open.
    if (made && raw)
        Privacy::ownOnly(part);
    if (!made) {
        if (raw)
            *reason = QStringLiteral("файл не скопирован");
        else
            *reason = Errors::describe(*failure);
        removeFile(part);
        return false;
    }
    if (!DatabaseCopy::keepAsSafetyCopy(part, safety, reason)) {
        removeFile(part);
        return false;
    }
    return true;
}

// Checks the temporary copy of the chosen file against the descriptors and

// Runs one statement of the restore's transaction; false with the error.
bool step(const QString &sql, const QSqlDatabase &db, QSqlError *failure)
{
    return PrivateConnection::run(db, sql, {}, nullptr, failure);
}

// An SQL identifier in double quotes.
QString ident(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

// Inside the open transaction: everything the live database holds goes, and
// everything of the attached copy comes in.
bool replaceContent(const QSqlDatabase &db, QSqlError *failure)
{
    QList<QPair<QString, QString>> live;
    {
        QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::SELECT_LIVE_OBJECTS), db);
        if (!query.isActive()) {
            *failure = query.lastError();
            return false;
        }
        while (query.next())
            live.append({query.value(0).toString(), query.value(1).toString()});
    }
    // Views first: a view may name a table.
    std::stable_sort(live.begin(), live.end(), [](const auto &a, const auto &b) {
        return a.first == QLatin1String("view") && b.first != QLatin1String("view");
    });
    for (const auto &object : std::as_const(live)) {
        const QString kind =
            object.first == QLatin1String("view") ? QStringLiteral("VIEW") : QStringLiteral("TABLE");
        if (!step(QString::fromLatin1(Sql::DROP_LIVE_OBJECT).arg(kind, ident(object.second)), db, failure))
            return false;
    }
    QList<QStringList> restored;
    {
        QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::SELECT_RESTORED_OBJECTS), db);
        if (!query.isActive()) {
            *failure = query.lastError();
            return false;
        }
        while (query.next())
            restored.append(
                {query.value(0).toString(), query.value(1).toString(), query.value(2).toString()});
    }
    for (const QStringList &object : std::as_const(restored)) {
        if (!step(object.at(2), db, failure))
            return false;
        if (object.at(0) == QLatin1String("table") &&
            !step(QString::fromLatin1(Sql::COPY_RESTORED_ROWS).arg(ident(object.at(1))), db, failure))
            return false;
    }
    return true;
}

// A live file that SQLite cannot read: it is kept as the safety copy
// together with its journal files (which belong to it), and the checked copy
// takes its place. A missing live file is simply made; journal files left
// without their database are kept under a name of their own, as they would
// be applied to the new file.
bool replaceDamaged(const QString &live, const QString &safety, const QString &copy, QString *error)
{
    const bool exists = QFileInfo::exists(live);
    if (exists) {
        QSqlError unused;
        QString reason;
        if (!makeSafetyCopy(live, safety, true, &unused, &reason)) {
            *error = QStringLiteral("не удалось сохранить текущую базу данных в файл %1: %2")
                         .arg(quoted(safety), reason);
            return false;
        }
    }
    const QString aside = exists ? safety
                                 : DatabaseCopy::freeDatedName(QFileInfo(live).absolutePath(),
                                                               QStringLiteral("BaseDate_journal_"),
                                                               QDateTime::currentDateTime());
    for (const char *suffix : JOURNALS) {
        const QString journal = live + QLatin1String(suffix);
        if (QFileInfo::exists(journal) && !QFile::rename(journal, aside + QLatin1String(suffix))) {
            *error = QStringLiteral("файл журнала %1 не удалось перенести в %2")
                         .arg(quoted(journal), quoted(aside + QLatin1String(suffix)));
            return false;
        }
    }
    QString reason;
    if (!replaceFile(copy, live, &reason)) {
        *error = QStringLiteral("не удалось заменить файл %1: %2").arg(quoted(live), reason);
        return false;
    }
    return true;
}

// True when the live database of `db` holds the restored content.
bool landed(const QSqlDatabase &db)
{
    QSqlQuery query;
    return PrivateConnection::run(db, QString::fromLatin1(Sql::RESTORE_LANDED), {}, &query, nullptr) &&
           query.next() && query.value(0).toInt() == 1;
}

// Holding the live database's write lock, keeps it as the safety copy and
// puts the checked copy's content in its place in one transaction. True when
// done; otherwise `damaged` tells a live file SQLite cannot read (to be
// replaced as a file), or `error` says why nothing was changed.
bool replaceContentOf(const QString &live, const QString &safety, const QString &copy, bool *damaged,
                      QString *error)
{
    QSqlError failure;
    // Waits briefly for another writer, then gives up rather than hang.
    PrivateConnection c(live, QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    const bool locked =
        c.opened() && step(QString::fromLatin1(Sql::RESTORE_CACHE), c.db(), &failure) &&
        step(QString::fromLatin1(Sql::ATTACH_RESTORED).arg(Query::quote(copy)), c.db(), &failure) &&
        step(Sql::text(Sql::BEGIN_IMMEDIATE, c.db()), c.db(), &failure);
    if (!c.opened())
        failure = c.db().lastError();
    if (!locked) {
        *damaged = isDamaged(failure);
        if (!*damaged)
            *error = isBusy(failure) ? busyText()
                                     : QStringLiteral("не удалось открыть базу данных: %1")
                                           .arg(Errors::describe(failure));
        return false;
    }
    // From here until the commit no one else can write, so the safety copy
    // holds the last word of every other writer.
    QString reason;
    bool done = makeSafetyCopy(live, safety, false, &failure, &reason);
    if (!done) {
        *damaged = isDamaged(failure);
        if (!*damaged)
            *error = QStringLiteral("не удалось сохранить текущую базу данных в файл %1: %2")
                         .arg(quoted(safety), reason);
    } else {
        done = replaceContent(c.db(), &failure) && step(QString::fromLatin1(Sql::COMMIT), c.db(), &failure);
        // A disk that fails once the commit has taken effect (removing the
        // journal, say) makes the COMMIT fail although the database is the
        // restored one: it is read again (a journal left behind is rolled
        // back first) to tell which.
        if (!done && Errors::isDiskWriteFault(failure) && landed(c.db())) {
            Query::appendLog(QStringLiteral("Восстановление записано, хотя диск сообщил об ошибке при его "
                                            "завершении: %1\n")
                                 .arg(Errors::databaseWords(failure)));
            done = true;
        }
        if (!done) {
            *damaged = isDamaged(failure);
            if (!*damaged)
                *error =
                    isBusy(failure)
                        ? busyText()
                        : QStringLiteral("база данных не заменена: %1").arg(Errors::describe(failure));
        }
    }
    if (!done)
        Function::Myquery(QString::fromLatin1(Sql::ROLLBACK), c.db());
    Function::Myquery(QString::fromLatin1(Sql::DETACH_RESTORED), c.db());
    return done;
}

// The restore's own entry goes into the checked copy before it takes the
// live database's place, so the restored register holds it whichever way it
// is put in place; a copy from an earlier version gets an empty history.
// A restore that cannot enter itself in the history is not made: the
// history would hide it.
bool noteRestore(const QString &copy, const QString &chosen, QString *error)
{
    QSqlError failure;
    bool noted = false;
    {
        const PrivateConnection c(copy, QString(), PrivateConnection::Stop::Unwatched);
        History::Entry entry;
        entry.action = QString::fromLatin1(History::Action::RESTORE);
        entry.newValue = QFileInfo(chosen).absoluteFilePath();
        noted = c.opened() && History::ensureTable(c.db(), &failure) && History::recordOn(c.db(), {entry}, &failure);
        if (!c.opened())
            failure = c.db().lastError();
    }
    if (!noted)
        *error = QStringLiteral("восстановление не удалось записать в историю изменений (%1), поэтому база "
                                "данных не изменена")
                     .arg(Errors::describe(failure));
    return noted;
}

// Why the chosen file could not be copied beside the live one: the copy's
// write, where the chosen file reads well (the backup is then not at fault),
// else the chosen file itself.
QString copyFailure(const QString &chosen, const QString &copy, const QSqlError &failure)
{
    if (!QFileInfo(chosen).isFile())
        return QStringLiteral("не удалось прочитать файл %1: файл не найден").arg(quoted(chosen));
    bool readable = false;
    if (Errors::isDiskWriteFault(failure)) {
        PrivateConnection c(chosen, PrivateConnection::READ_ONLY);
        readable = c.opened() && Function::Myquery(Sql::text(Sql::PROBE, c.db()), c.db()).next();
    }
    if (!readable)
        return QStringLiteral("не удалось прочитать файл %1: %2").arg(quoted(chosen), Errors::describe(failure));
    return QStringLiteral("не удалось записать её временную копию в папку базы данных «%1»: %2. Сама резервная "
                          "копия %3 в порядке")
        .arg(QDir::toNativeSeparators(QFileInfo(copy).absolutePath()), Errors::describe(failure), quoted(chosen));
}

} // namespace

bool DatabaseCopy::restore(const QString &chosen, const QString &folder, QString *error)
{
    const QString live = QFileInfo(liveName(folder)).absoluteFilePath();
    const QString safety = QFileInfo(safetyName(folder)).absoluteFilePath();
    // The chosen file, copied by SQLite beside the live one; it goes in
    // every case once the restore is over.
    const QString copy = partName(live);
    struct RemoveCopy
    {
        QString path;
        ~RemoveCopy() { removeFile(path); }
    } removeCopy{copy};

    QSqlError failure;
    if (!QFileInfo(chosen).isFile() || !snapshot(chosen, copy, &failure)) {
        *error = copyFailure(chosen, copy, failure);
        return false;
    }
    if (!checkChosen(copy, chosen, error) || !noteRestore(copy, chosen, error))
        return false;
    const QFileInfo earlier(safety);
    if ((earlier.exists() || earlier.isSymLink()) && !earlier.isFile()) {
        *error = QStringLiteral("не удалось сохранить текущую базу данных в файл %1: под этим именем уже "
                                "есть не файл")
                     .arg(quoted(safety));
        return false;
    }
    if (!QFileInfo::exists(live))
        return replaceDamaged(live, safety, copy, error);

    bool damaged = false;
    if (replaceContentOf(live, safety, copy, &damaged, error))
        return true;
    if (damaged)
        return replaceDamaged(live, safety, copy, error);
    return false;
}
