#include "storage/servicemen.h"

#include "function.h"
#include "storage/privateconnection.h"
#include "storage/roster.h"
#include "storage/transaction.h"

#include <QSqlQuery>

namespace Servicemen {

namespace {

QString q(const Fields &fields, Field field)
{
    return Function::q(fields[field]);
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

// On a server the change is one statement, one round trip (see
// CHANGE_SERVICEMAN_AT_ONCE); it is run once more when it met another
// clerk's change at the same moment (a deadlock).
Outcome changeAtOnce(const QString &lnOld, const Fields &loaded, const Entry &entry, QSqlError *error)
{
    const Fields &f = entry.fields;
    // Quoted rather than bound: the driver spends three round trips on bound values.
    const QString statement = QString::fromLatin1(Sql::CHANGE_SERVICEMAN_AT_ONCE)
                                  .arg(q(f, VP), q(f, DOL), q(f, VZ), q(f, FIO), q(f, LN),
                                       QString::number(entry.position), QString::number(entry.rank),
                                       Function::q(lnOld), q(f, BIRTH), q(loaded, VP), q(loaded, DOL),
                                       q(loaded, VZ), q(loaded, FIO), q(loaded, BIRTH));
    QSqlQuery query;
    bool ran = PrivateConnection::run(QSqlDatabase(), statement, {}, &query, error);
    if (!ran && Function::isConflict(*error, QStringLiteral("QPSQL")))
        ran = PrivateConnection::run(QSqlDatabase(), statement, {}, &query, error);
    if (!ran)
        return Outcome::Failed;
    if (!query.next()) {
        *error = query.lastError();
        return Outcome::Failed;
    }
    if (query.value(0).toInt() == 0)
        return Outcome::Gone;
    return query.value(1).toInt() == 0 ? Outcome::Changed : Outcome::Saved;
}

} // namespace

bool read(const QString &ln, Fields *fields)
{
    QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::SELECT_SERVICEMAN).arg(Function::q(ln)));
    if (!query.next())
        return false;
    for (int i = 0; i < static_cast<int>(fields->size()); ++i)
        (*fields)[static_cast<size_t>(i)] = query.value(i).toString();
    return true;
}

bool storedNumbers(const QString &ln, int *position, int *rank)
{
    QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::SELECT_COMBAT_NUMBERS).arg(Function::q(ln)));
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
             QString::number(entry.rank), Function::q(lnOld), q(f, BIRTH), q(loaded, VP), q(loaded, DOL),
             q(loaded, VZ), q(loaded, FIO), q(loaded, BIRTH));
}

Outcome add(const Entry &entry, QSqlError *error)
{
    return run(insertStatement(entry), *error) ? Outcome::Saved : Outcome::Failed;
}

Outcome change(const QString &lnOld, const Fields &loaded, const Entry &entry, QSqlError *error)
{
    const QString ln = entry.fields[LN];
    if (Sql::onServer())
        return changeAtOnce(lnOld, loaded, entry, error);
    const QString statement = changeStatement(lnOld, loaded, entry);
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
        int changed = 0;
        if (!run(statement, failure, &changed))
            return false;
        if (changed == 0) {
            outcome = Outcome::Changed;
            return false;
        }
        return ln == lnOld ||
               (run(QString::fromLatin1(Sql::UPDATE_ORDERS_LN).arg(Function::q(ln), Function::q(lnOld)), failure) &&
                run(QString::fromLatin1(Sql::UPDATE_FILES_LN).arg(Function::q(ln), Function::q(lnOld)), failure));
    };
    if (Transaction::run(steps, *error))
        return Outcome::Saved;
    return outcome == Outcome::Saved ? Outcome::Failed : outcome;
}

bool remove(const char *statement, const QString &ln, QString *text, QSqlError *error)
{
    *text = QString::fromLatin1(statement).arg(Function::q(ln));
    return run(*text, *error);
}

} // namespace Servicemen
