#include "storage/history/historylog.h"

#include "storage/history/historytable.h"
#include "storage/db/privateconnection.h"
#include "storage/db/errorlog.h"
#include "storage/db/sql.h"
#include "storage/db/transaction.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSysInfo>
#include <QVariant>

#include <algorithm>
#include <atomic>

namespace History {

namespace {

std::atomic<bool> writing{true};

QSqlDatabase program()
{
    return QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
}

// The register a connection works on, as the log names it.
QString registerName(const QSqlDatabase &db)
{
    if (Sql::onServer(db))
        return QStringLiteral("«%1» на сервере «%2»").arg(db.databaseName(), db.hostName());
    return QStringLiteral("«%1»").arg(QFileInfo(db.databaseName()).absoluteFilePath());
}

// Says once per register and run of the program that it keeps no history.
void tellOnce(const QSqlDatabase &db, const QSqlError &error)
{
    static QMutex mutex;
    static QSet<QString> told;
    const QString name = registerName(db);
    {
        const QMutexLocker lock(&mutex);
        if (told.contains(name))
            return;
        told.insert(name);
    }
    Query::appendLog(QStringLiteral("История изменений базы данных %1 не ведётся: таблицу истории не удалось "
                                    "создать (%2)\n")
                         .arg(name, error.text()));
}

bool exists(const QSqlDatabase &db)
{
    QSqlQuery query;
    return PrivateConnection::run(db, Sql::text(Sql::HISTORY_EXISTS, db), {}, &query, nullptr) &&
           query.next() && !query.value(0).isNull();
}

// The history is there, or made now; false with `error` when it could not be.
bool made(const QSqlDatabase &db, QSqlError *error)
{
    return exists(db) || (Sql::onServer(db) ? installOnServer(db, error) : ensureTable(db, error));
}

// On a file the history is made with the first change, in its transaction.
// Where it cannot be made the change is not written either: a failing or
// full disk refuses both, and SQLite may have rolled the whole transaction
// back already, so that what followed would be written piece by piece.
bool madeForChange(const QSqlDatabase &db, QSqlError *error)
{
    QSqlError refused;
    const bool ok = made(db, &refused);
    if (!ok && error)
        *error = refused;
    return ok;
}

bool isEvent(const QString &action)
{
    return action == QLatin1String(Action::RESTORE) || action == QLatin1String(Action::TRANSFER) ||
           action == QLatin1String(Action::IMPORT);
}

} // namespace

QString who()
{
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty())
        name = qEnvironmentVariable("USERNAME");
    return name;
}

QString workstation()
{
    return QSysInfo::machineHostName();
}

bool prepare(const QSqlDatabase &db)
{
    QSqlError error;
    if (made(db, &error))
        return true;
    tellOnce(db, error);
    return false;
}

bool installOnServer(const QSqlDatabase &db, QSqlError *error)
{
    if (!ensureTable(db, error) ||
        !PrivateConnection::run(db, QString::fromUtf8(Sql::CREATE_HISTORY_SILENCED_FUNCTION), {}, nullptr,
                                error) ||
        !PrivateConnection::run(db, QString::fromUtf8(Sql::CREATE_HISTORY_FUNCTION), {}, nullptr, error) ||
        !PrivateConnection::run(db, QString::fromUtf8(Sql::CREATE_HISTORY_ADDED_FUNCTION), {}, nullptr, error) ||
        !PrivateConnection::run(db, QString::fromUtf8(Sql::CREATE_HISTORY_EVENT_FUNCTION), {}, nullptr,
                                error) ||
        !PrivateConnection::run(db, QString::fromUtf8(Sql::CREATE_HISTORY_RESTORE_FUNCTION), {}, nullptr,
                                error) ||
        !PrivateConnection::run(db, QString::fromUtf8(Sql::CREATE_HISTORY_GROUP_FUNCTION), {}, nullptr, error))
        return false;
    for (const char *table : {"Combat", "prikaz", "Files", "Ranks", "Emploeses"}) {
        for (const char *trigger : {Sql::CREATE_HISTORY_ADDED_TRIGGER, Sql::CREATE_HISTORY_TRIGGER}) {
            if (!PrivateConnection::run(db, QString::fromLatin1(trigger).arg(QLatin1String(table)), {}, nullptr,
                                        error))
                return false;
        }
    }
    return PrivateConnection::run(db, QString::fromUtf8(Sql::HISTORY_PRIVILEGES), {}, nullptr, error);
}

bool recordOn(const QSqlDatabase &db, const QList<Entry> &entries, QSqlError *error)
{
    if (entries.isEmpty())
        return true;
    if (Sql::onServer(db)) {
        // A restore's entry carries the numbers of rows (its old value),
        // where the database has the function for it.
        for (const Entry &e : entries) {
            QSqlQuery found;
            const bool restore = e.action == QLatin1String(Action::RESTORE) &&
                                 PrivateConnection::run(db, QString::fromLatin1(Sql::HISTORY_RESTORE_EXISTS),
                                                        {}, &found, error) &&
                                 found.next() && found.value(0).toBool();
            if (isEvent(e.action) &&
                !PrivateConnection::run(
                    db,
                    QString::fromLatin1(restore ? Sql::INSERT_HISTORY_RESTORE : Sql::INSERT_HISTORY_EVENT),
                    restore ? QVariantList{e.newValue, e.oldValue} : QVariantList{e.action, e.newValue},
                    nullptr, error))
                return false;
        }
        return true;
    }
    if (!writing)
        return true;
    if (!madeForChange(db, error))
        return false;
    const QString at = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString user = who();
    const QString computer = workstation();
    const auto value = [](const QString &text) { return text.isNull() ? QVariant() : QVariant(text); };
    if (entries.size() == 1) {
        const Entry &e = entries.constFirst();
        return PrivateConnection::run(db, QString::fromLatin1(Sql::INSERT_HISTORY_NAMED),
                                      {at, user, computer, e.action, value(e.ln), value(e.ln), value(e.what),
                                       value(e.number), value(e.field), value(e.oldValue), value(e.newValue)},
                                      nullptr, error);
    }
    // Many entries (an import): up to 80 a statement (880 values, under
    // SQLite's oldest limit of 999), each statement prepared once.
    constexpr qsizetype ROWS = 80;
    QSqlQuery full(db);
    for (qsizetype first = 0; first < entries.size(); first += ROWS) {
        const qsizetype count = std::min(ROWS, entries.size() - first);
        QSqlQuery last(db);
        QSqlQuery &query = count == ROWS ? full : last;
        const QString sql = QString::fromLatin1(Sql::INSERT_HISTORY_NAMED_ROWS)
                                .arg(QStringList(count, QString::fromLatin1(Sql::INSERT_HISTORY_NAMED_ROW))
                                         .join(QStringLiteral(", ")));
        bool ok = (count == ROWS && first > 0) || query.prepare(sql);
        int v = 0;
        for (qsizetype i = first; ok && i < first + count; ++i) {
            const Entry &e = entries.at(i);
            for (const QVariant &x : {QVariant(at), QVariant(user), QVariant(computer), QVariant(e.action),
                                      value(e.ln), value(e.ln), value(e.what), value(e.number), value(e.field),
                                      value(e.oldValue), value(e.newValue)})
                query.bindValue(v++, x);
        }
        if (!ok || !query.exec()) {
            if (error)
                *error = query.lastError();
            Query::appendLog(query.lastError().text() + QStringLiteral("В запросе содержится ошибка.") + sql +
                             QStringLiteral(" Запрос"));
            return false;
        }
    }
    return true;
}

void changed(QList<Entry> &entries, const Entry &base, const char *field, const QString &was, const QString &now)
{
    if (was == now)
        return;
    Entry e = base;
    e.field = QString::fromLatin1(field);
    e.oldValue = was;
    e.newValue = now;
    entries.append(e);
}

bool record(const QList<Entry> &entries, QSqlError *error)
{
    return recordOn(program(), entries, error);
}

bool recordAdded(const char *statement, qint64 firstRow, QSqlError *error)
{
    const QSqlDatabase db = program();
    if (Sql::onServer(db) || !writing)
        return true;
    if (!madeForChange(db, error))
        return false;
    return PrivateConnection::run(
        db, QString::fromLatin1(statement),
        {QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), who(), workstation(), firstRow},
        nullptr, error);
}

bool record(const Entry &entry, QSqlError *error)
{
    return record(QList<Entry>{entry}, error);
}

bool referenceChange(const QString &table, const QVariant &id, const QSqlRecord &after, bool deleting,
                     const std::function<bool()> &write, QSqlError *error)
{
    if (Sql::onServer(program()))
        return write();
    const bool done = Transaction::run(
        [&](QSqlError &failure) {
            QSqlRecord before;
            if (!id.isNull()) {
                QSqlQuery row;
                if (!PrivateConnection::run(program(),
                                            QString::fromLatin1(Sql::SELECT_REFERENCE_ROW).arg(table), {id},
                                            &row, &failure))
                    return false;
                if (row.next())
                    before = row.record();
            }
            QList<Entry> entries;
            Entry base;
            base.action = QString::fromLatin1(Action::REFERENCE_CHANGED);
            base.what = table;
            // The name is the list's second column.
            const auto name = [](const QSqlRecord &r) {
                return r.count() > 1 ? r.value(1).toString() : QString();
            };
            if (deleting) {
                base.oldValue = name(before);
                entries.append(base);
            } else if (id.isNull()) {
                base.newValue = name(after);
                entries.append(base);
            } else {
                for (int i = 0; i < after.count(); ++i) {
                    const QString field = after.fieldName(i);
                    const QString was = before.value(field).toString();
                    const QString now = after.value(i).toString();
                    if (!after.isGenerated(i) || was == now)
                        continue;
                    Entry e = base;
                    e.field = field;
                    e.oldValue = was;
                    e.newValue = now;
                    entries.append(e);
                }
            }
            // The entries go first: the editor takes a new row's identity
            // from the connection's last insert, which must be the row's.
            return record(entries, &failure) && write();
        },
        *error);
    return done;
}

void setWriting(bool on)
{
    writing = on;
}

} // namespace History
