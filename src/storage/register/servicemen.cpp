#include "storage/register/servicemen.h"

#include "function.h"
#include "storage/db/errors.h"
#include "storage/history/historylog.h"
#include "storage/history/historytable.h"
#include "storage/db/privateconnection.h"
#include "storage/db/query.h"
#include "storage/db/quoting.h"
#include "storage/register/roster.h"
#include "storage/db/transaction.h"

#include <QDebug>
#include <QSqlQuery>

namespace Servicemen {

namespace {

QString q(const Fields &fields, Field field)
{
    return Query::quote(fields[field]);
}

// Runs one statement of a transaction; `affected` takes the rows it changed.
bool run(const QString &statement, QSqlError &error, int *affected = nullptr)
{
    QSqlQuery query;
    if (!PrivateConnection::run(QSqlDatabase(), statement, {}, &query, &error))
        return false;
    if (affected)
        *affected = query.numRowsAffected();
    return true;
}

History::Entry entryOf(const char *action, const QString &ln)
{
    History::Entry e;
    e.action = QString::fromLatin1(action);
    e.ln = ln;
    return e;
}

// The history of a change: one entry per column whose value it alters.
QList<History::Entry> changes(const QString &lnOld, const Fields &loaded, int position, int rank,
                              const Entry &entry)
{
    const Fields &f = entry.fields;
    const QString ln = f[LN];
    const std::pair<const char *, std::pair<QString, QString>> columns[] = {
        {"VP", {loaded[VP], f[VP]}},
        {"Dol", {loaded[DOL], f[DOL]}},
        {"VZ", {loaded[VZ], f[VZ]}},
        {"FIO", {loaded[FIO], f[FIO]}},
        {"Data_comb", {loaded[BIRTH], f[BIRTH]}},
        {"LN", {lnOld, ln}},
        {"Dolz_nom", {QString::number(position), QString::number(entry.position)}},
        {"Zvan_nom", {QString::number(rank), QString::number(entry.rank)}},
    };
    QList<History::Entry> entries;
    for (const auto &column : columns) {
        if (column.second.first == column.second.second)
            continue;
        History::Entry e = entryOf(History::Action::SERVICEMAN_CHANGED, ln);
        e.field = QString::fromLatin1(column.first);
        e.oldValue = column.second.first;
        e.newValue = column.second.second;
        entries.append(e);
    }
    return entries;
}

// On a server the change is one statement, one round trip (see
// CHANGE_SERVICEMAN_AT_ONCE); it is run once more when it met another
// clerk's change at the same moment (a deadlock).
Outcome changeAtOnce(const QString &lnOld, const Fields &loaded, const Entry &entry, QSqlError *error)
{
    const Fields &f = entry.fields;
    // The values travel apart from the text; $6 stands nowhere.
    const QString statement = QString::fromLatin1(Sql::CHANGE_SERVICEMAN_AT_ONCE);
    const QVariantList values{f[VP], f[DOL], f[VZ], f[FIO], f[LN], QString(),
                              QString::number(entry.position), QString::number(entry.rank), lnOld, f[BIRTH],
                              loaded[VP], loaded[DOL], loaded[VZ], loaded[FIO], loaded[BIRTH]};
    QSqlQuery query = Query::numbered(statement, values);
    if (!query.isActive() && Errors::isConflict(query.lastError(), QStringLiteral("QPSQL")))
        query = Query::numbered(statement, values);
    if (!query.isActive()) {
        *error = query.lastError();
        return Outcome::Failed;
    }
    if (!query.next()) {
        *error = query.lastError();
        return Outcome::Failed;
    }
    if (query.value(0).toInt() == 0)
        return Outcome::Gone;
    return query.value(1).toInt() == 0 ? Outcome::Changed : Outcome::Saved;
}

// The statements a save runs, as it runs them: the insert of a new
// serviceman, and the change of the one under `lnOld` while his row holds
// the `loaded` texts.
QString insertStatement(const Entry &entry)
{
    // The rank number stands between the statement's two pieces.
    const Fields &f = entry.fields;
    return (Sql::text(Sql::INSERT_COMBAT_1) + QString::number(entry.rank) + QString::fromLatin1(Sql::INSERT_COMBAT_2))
        .arg(q(f, VP), q(f, VZ), q(f, LN), q(f, FIO), q(f, DOL), QString::number(entry.position), q(f, BIRTH));
}

QString changeStatement(const QString &lnOld, const Fields &loaded, const Entry &entry)
{
    const Fields &f = entry.fields;
    return QString::fromLatin1(Sql::UPDATE_COMBAT_UNCHANGED)
        .arg(q(f, VP), q(f, DOL), q(f, VZ), q(f, FIO), q(f, LN), QString::number(entry.position),
             QString::number(entry.rank), Query::quote(lnOld), q(f, BIRTH), q(loaded, VP), q(loaded, DOL),
             q(loaded, VZ), q(loaded, FIO), q(loaded, BIRTH));
}

} // namespace

int maxLength(Field field)
{
    switch (field) {
    case VP:
        return 100;
    case DOL:
    case VZ:
    case FIO:
        return 255;
    case BIRTH:
    case LN:
        return 50;
    }
    return 255;
}

int tooLong(const Fields &fields)
{
    for (int f = 0; f < static_cast<int>(fields.size()); ++f) {
        if (fields[static_cast<size_t>(f)].size() > maxLength(static_cast<Field>(f)))
            return f;
    }
    return -1;
}

QString fieldName(Field field)
{
    switch (field) {
    case VP:
        return QStringLiteral("№ ВП");
    case DOL:
        return QStringLiteral("должность");
    case VZ:
        return QStringLiteral("воинское звание");
    case FIO:
        return QStringLiteral("ФИО");
    case BIRTH:
        return QStringLiteral("дата рождения");
    case LN:
        return QStringLiteral("личный номер");
    }
    return QString();
}

bool read(const QString &ln, Fields *fields)
{
    QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::SELECT_SERVICEMAN).arg(Query::quote(ln)));
    if (!query.next())
        return false;
    for (int i = 0; i < static_cast<int>(fields->size()); ++i)
        (*fields)[static_cast<size_t>(i)] = query.value(i).toString();
    return true;
}

bool storedNumbers(const QString &ln, int *position, int *rank)
{
    QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::SELECT_COMBAT_NUMBERS).arg(Query::quote(ln)));
    if (!query.next())
        return false;
    *position = query.value(0).toInt();
    *rank = query.value(1).toInt();
    return true;
}

int orphanOrders(const QString &ln, QSqlError *error)
{
    return Roster::countOf(Sql::COUNT_ORPHAN_ORDERS, ln, error);
}

QStringList referenceNames(Reference list)
{
    QSqlQuery query = Function::Myquery(
        QString::fromLatin1(list == Reference::Positions ? Sql::SELECT_POSITIONS : Sql::SELECT_RANKS));
    // The name is the list's second column.
    QStringList names;
    while (query.next())
        names.append(query.value(1).toString());
    query.finish();
    return names;
}

Outcome add(const Entry &entry, QSqlError *error)
{
    const QString statement = insertStatement(entry);
    qDebug() << statement;
    // On a file the history entry goes in the same transaction; a server's
    // triggers write it.
    if (Sql::onServer())
        return run(statement, *error) ? Outcome::Saved : Outcome::Failed;
    const bool saved = Transaction::run(
        [&](QSqlError &failure) {
            return run(statement, failure) &&
                   History::record(entryOf(History::Action::SERVICEMAN_ADDED, entry.fields[LN]), &failure);
        },
        *error);
    return saved ? Outcome::Saved : Outcome::Failed;
}

Outcome change(const QString &lnOld, const Fields &loaded, const Entry &entry, QSqlError *error)
{
    const QString ln = entry.fields[LN];
    if (Sql::onServer())
        return changeAtOnce(lnOld, loaded, entry, error);
    qDebug() << entry.rank;
    const QString statement = changeStatement(lnOld, loaded, entry);
    qDebug() << statement;
    Outcome outcome = Outcome::Saved;
    // Run once more from the start when a server met another clerk's change
    // at the same moment.
    auto steps = [&](QSqlError &failure) {
        outcome = Outcome::Saved;
        const int found = Roster::count(lnOld, &failure);
        if (found < 0)
            return false;
        if (found == 0) {
            outcome = Outcome::Gone;
            return false;
        }
        // The stored numbers before the change, for the history of a file.
        int position = entry.position;
        int rank = entry.rank;
        if (!Sql::onServer())
            storedNumbers(lnOld, &position, &rank);
        int changed = 0;
        if (!run(statement, failure, &changed))
            return false;
        if (changed == 0) {
            outcome = Outcome::Changed;
            return false;
        }
        return (ln == lnOld ||
                (run(QString::fromLatin1(Sql::UPDATE_ORDERS_LN).arg(Query::quote(ln), Query::quote(lnOld)),
                     failure) &&
                 run(QString::fromLatin1(Sql::UPDATE_FILES_LN).arg(Query::quote(ln), Query::quote(lnOld)),
                     failure))) &&
               History::record(changes(lnOld, loaded, position, rank, entry), &failure);
    };
    if (Transaction::run(steps, *error))
        return Outcome::Saved;
    return outcome == Outcome::Saved ? Outcome::Failed : outcome;
}

bool remove(const QString &ln, From from, QSqlError *error)
{
    const QString text =
        QString::fromLatin1(from == From::Summary ? Sql::DELETE_COMBAT_MAIN : Sql::DELETE_COMBAT_LIST)
            .arg(Query::quote(ln));
    if (Sql::onServer())
        return run(text, *error);
    // On a file the entry is written first, while his name is still there
    // to be read, and stays only when the row went in the same transaction.
    bool gone = false;
    const bool removed = Transaction::run(
        [&](QSqlError &failure) {
            int deleted = 0;
            if (!History::record(entryOf(History::Action::SERVICEMAN_DELETED, ln), &failure) ||
                !run(text, failure, &deleted))
                return false;
            gone = deleted == 0;
            return !gone;
        },
        *error);
    return removed || gone;
}

} // namespace Servicemen
