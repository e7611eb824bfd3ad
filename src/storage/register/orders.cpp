#include "storage/register/orders.h"

#include "function.h"
#include "storage/db/errors.h"
#include "storage/register/attachmentreading.h"
#include "storage/register/attachments.h"
#include "storage/history/historylog.h"
#include "storage/history/historytable.h"
#include "storage/db/privateconnection.h"
#include "storage/db/query.h"
#include "storage/db/quoting.h"
#include "storage/register/recount.h"
#include "storage/register/roster.h"
#include "storage/db/transaction.h"

#include <QDebug>
#include <QSqlRecord>

#include <functional>

namespace {

using Orders::Outcome;
using Orders::Result;

// Runs `statement`, remembered as the last one; `affected` receives the
// number of rows it changed.
bool exec(Result &result, QSqlError &error, const QString &statement, int *affected = nullptr)
{
    result.statement = statement;
    QSqlQuery query;
    if (!PrivateConnection::run(QSqlDatabase(), statement, {}, &query, &error))
        return false;
    if (affected)
        *affected = query.numRowsAffected();
    return true;
}

// A change of one listed order conditioned on the values the list loaded:
// it must meet that order and no other. A deletion that finds the order
// gone already is no failure.
bool execLoaded(Result &result, QSqlError &error, const QString &statement, bool deleting = false,
                int *met = nullptr)
{
    int changed = 0;
    if (!exec(result, error, statement, &changed))
        return false;
    if (met)
        *met = changed;
    if (changed == 1 || (changed == 0 && deleting))
        return true;
    result.outcome = changed > 1 ? Outcome::Several : Outcome::Changed;
    return false;
}

// Runs `steps` in a transaction that first checks the serviceman is still
// there under `ln`; one that met another clerk's change at the same moment
// is run once more from the start.
Result write(const QString &ln, const std::function<bool(Result &, QSqlError &)> &steps)
{
    Result result;
    QSqlError error;
    const bool done = Transaction::run(
        [&](QSqlError &stepError) {
            result.outcome = Outcome::Failed;
            const int found = Roster::count(ln, &stepError);
            if (found == 0) {
                // Deleted, or given another personal number, elsewhere.
                result.outcome = Outcome::Gone;
                stepError = QSqlError();
            }
            return found > 0 && steps(result, stepError);
        },
        error);
    if (done)
        result.outcome = Outcome::Done;
    else if (result.outcome == Outcome::Failed)
        result.error = error;
    return result;
}

// Runs `statement` and gives the texts of its first field, in the order
// read; false (with `error`) when it failed.
bool firstField(const QString &statement, QStringList *values, QSqlError &error)
{
    QSqlQuery query;
    if (!PrivateConnection::run(QSqlDatabase(), statement, {}, &query, &error))
        return false;
    values->clear();
    while (query.next())
        values->append(query.value(0).toString());
    // A failure met while the rows came ends them early.
    error = query.lastError();
    return !error.isValid();
}

QString quoted(const QString &value)
{
    return Query::quote(value);
}

// The history entry of an order's change (the order `number` of the
// category `code`).
History::Entry entry(const char *action, const QString &ln, const QString &code, const QString &number,
                     const QString &field = QString(), const QString &was = QString(),
                     const QString &now = QString())
{
    return {QString::fromLatin1(action), ln, code, number, field, was, now};
}

// On a server: one statement that checks the serviceman, writes and tells
// the rest (see ADD_ORDER_AT_ONCE and the others), run once more when it met
// another clerk's change at the same moment (a deadlock). Its counts give
// the outcome; `texts` receive the texts of its fourth field, `count` its
// fifth of the first row.
Result atOnce(const char *statement, const QVariantList &values, bool deleting, QStringList *texts,
              int *count = nullptr)
{
    Result result;
    result.statement = QString::fromLatin1(statement);
    QSqlQuery query = Query::numbered(result.statement, values);
    if (!query.isActive() && Errors::isConflict(query.lastError(), QStringLiteral("QPSQL")))
        query = Query::numbered(result.statement, values);
    if (!query.isActive() || !query.next()) {
        result.error = query.lastError();
        return result;
    }
    const int found = query.value(0).toInt();
    const int aimed = query.value(1).toInt();
    const int written = query.value(2).toInt();
    if (count)
        *count = query.value(4).toInt();
    do {
        if (texts && !query.isNull(3))
            texts->append(query.value(3).toString());
    } while (query.next());
    if (found == 0)
        result.outcome = Outcome::Gone;
    else if (aimed > 1)
        result.outcome = Outcome::Several;
    else if (written == 1 || (written == 0 && aimed == 0 && deleting))
        result.outcome = Outcome::Done;
    else
        result.outcome = Outcome::Changed;
    return result;
}

} // namespace

Orders::List Orders::list(const QString &ln, const QString &code)
{
    List out;
    const auto load = [&](const Sql::Dialects &statement) {
        out.rows.clear();
        out.statement = Sql::text(statement).arg(QStringLiteral("prikaz"), quoted(ln), quoted(code));
        QSqlQuery query = Function::Myquery(out.statement);
        if (!query.isActive()) {
            out.read = false;
            out.error = query.lastError();
        }
        const int fields = std::min(query.record().count(), FIELDS);
        const bool identified = query.record().count() > FIELDS;
        while (query.next()) {
            Row row;
            for (int c = 0; c < fields; ++c)
                row.cells[static_cast<size_t>(c)] = query.value(c).toString();
            if (identified)
                row.id = query.value(FIELDS).toString();
            out.rows.push_back(std::move(row));
        }
        query.finish();
    };
    load(Sql::SELECT_ORDERS);
    QSet<QString> numbers;
    for (const Row &row : out.rows) {
        if (numbers.contains(row.cells[2])) {
            load(Sql::SELECT_ORDERS_WITH_ID);
            break;
        }
        numbers.insert(row.cells[2]);
    }
    return out;
}

bool Orders::numberDates(const QString &ln, const QString &code, const QString &number, QStringList *dates,
                         QSqlError *error, QString *statement)
{
    const QString text = Sql::text(Sql::SELECT_ORDER_DATES).arg(quoted(ln), quoted(code), quoted(number));
    if (statement)
        *statement = text;
    return firstField(text, dates, *error);
}

Orders::Result Orders::add(const QString &ln, const QString &code, const Fields &fields)
{
    // The category's count is unsettled until the window's recount.
    Recount::pending(ln, code);
    if (Sql::onServer()) {
        QStringList leftOver;
        Result result =
            atOnce(Sql::ADD_ORDER_AT_ONCE,
                   {ln, code, fields.date, fields.number, fields.issuer, fields.name, fields.outgoing}, false,
                   &leftOver);
        if (result.outcome == Outcome::Done)
            result.leftOver = leftOver;
        return result;
    }
    return write(ln, [&](Result &result, QSqlError &error) {
        return Attachments::leftOver(ln, code, fields.number, &result.leftOver, &error) &&
               exec(result, error,
                    Sql::text(Sql::INSERT_ORDER)
                        .arg(quoted(ln), quoted(code), quoted(fields.date), quoted(fields.number),
                             quoted(fields.issuer), quoted(fields.name), QStringLiteral("1"),
                             quoted(fields.outgoing))) &&
               History::record(entry(History::Action::ORDER_ADDED, ln, code, fields.number), &error);
    });
}

Orders::Result Orders::change(const QString &ln, const QString &code, const QString &old, const QString &id,
                              const Loaded &was, const Fields &fields)
{
    Recount::pending(ln, code);
    if (Sql::onServer()) {
        QStringList leftOver;
        Result result = atOnce(Sql::CHANGE_ORDER_AT_ONCE,
                               {ln, old, code, fields.date, fields.number, fields.issuer, fields.name,
                                fields.outgoing, was[0], was[1], was[2], was[3], was[4], was[5], was[6], id},
                               false, &leftOver);
        if (result.outcome == Outcome::Done)
            result.leftOver = leftOver;
        return result;
    }
    return write(ln, [&](Result &result, QSqlError &error) {
        result.leftOver.clear();
        const bool renumbered = fields.number != old;
        if (renumbered && !Attachments::leftOver(ln, code, fields.number, &result.leftOver, &error))
            return false;
        const auto fill = [&](const QString &statement, auto... row) {
            return statement.arg(quoted(ln), quoted(old), quoted(code), quoted(fields.date),
                                 quoted(fields.number), quoted(fields.issuer), quoted(fields.name),
                                 quoted(fields.outgoing), quoted(was[0]), quoted(was[1]), quoted(was[2]),
                                 quoted(was[3]), quoted(was[4]), quoted(was[5]), quoted(was[6]), row...);
        };
        const QString statement = id.isEmpty() ? fill(QString::fromLatin1(Sql::UPDATE_ORDER_UNCHANGED))
                                               : fill(Sql::text(Sql::UPDATE_ORDER_ROW), quoted(id));
        if (!execLoaded(result, error, statement))
            return false;
        QList<History::Entry> entries;
        const History::Entry base = entry(History::Action::ORDER_CHANGED, ln, code, fields.number);
        History::changed(entries, base, "prikaznom", old, fields.number);
        History::changed(entries, base, "Date_time", was[1], fields.date);
        History::changed(entries, base, "kemvidan", was[2], fields.issuer);
        History::changed(entries, base, "nameZO", was[0], fields.name);
        History::changed(entries, base, "ish_SU", was[3], fields.outgoing);
        if (!History::record(entries, &error))
            return false;
        if (!renumbered)
            return true;
        // The attached documents are kept under the number: they follow the
        // order to its new one, and while another order keeps the old
        // number both keep them.
        QStringList others;
        if (!id.isEmpty() && !numberDates(ln, code, old, &others, &error, &result.statement))
            return false;
        return exec(result, error,
                    QString::fromLatin1(others.isEmpty() ? Sql::RENUMBER_FILES : Sql::COPY_FILES_TO_NUMBER)
                        .arg(quoted(ln), quoted(code), quoted(old), quoted(fields.number)));
    });
}

Orders::Result Orders::lift(const QString &ln, const QString &code, const QString &number, const QString &id,
                            const Loaded &was, const QString &liftDate, const QString &liftNumber)
{
    Recount::pending(ln, code);
    if (Sql::onServer())
        return atOnce(Sql::LIFT_ORDER_AT_ONCE,
                      {QString::number(0), liftDate, liftNumber, ln, number, code, was[0], was[1], was[2],
                       was[3], was[4], was[5], was[6], id},
                      false, nullptr);
    return write(ln, [&](Result &result, QSqlError &error) {
        const auto fill = [&](const QString &statement, auto... row) {
            return statement.arg(QString::number(0), quoted(liftDate), quoted(liftNumber), quoted(ln),
                                 quoted(number), quoted(code), quoted(was[0]), quoted(was[1]), quoted(was[2]),
                                 quoted(was[3]), quoted(was[4]), quoted(was[5]), quoted(was[6]), row...);
        };
        if (!execLoaded(result, error,
                        id.isEmpty() ? fill(QString::fromLatin1(Sql::LIFT_ORDER_UNCHANGED))
                                     : fill(Sql::text(Sql::LIFT_ORDER_ROW), quoted(id))))
            return false;
        QList<History::Entry> entries;
        const History::Entry base = entry(History::Action::ORDER_LIFTED, ln, code, number);
        History::changed(entries, base, "actived_prikaz", was[6], QString::number(0));
        History::changed(entries, base, "Nomer_snytie", was[4], liftNumber);
        History::changed(entries, base, "Data_snytie", was[5], liftDate);
        return History::record(entries, &error);
    });
}

Orders::Result Orders::remove(const QString &ln, const QString &code, const QString &number,
                              const QString &id)
{
    Recount::pending(ln, code);
    if (Sql::onServer()) {
        QStringList others;
        int attached = 0;
        Result result = atOnce(Sql::DELETE_ORDER_AT_ONCE, {ln, code, number, id}, true, &others, &attached);
        if (result.outcome == Outcome::Done && !others.isEmpty()) {
            result.others = others;
            result.attached = attached;
        }
        return result;
    }
    return write(ln, [&](Result &result, QSqlError &error) {
        result.others.clear();
        result.attached = 0;
        const QString statement =
            id.isEmpty()
                ? QString::fromLatin1(Sql::DELETE_ORDER).arg(quoted(ln), quoted(code), quoted(number))
                : Sql::text(Sql::DELETE_ORDER_ROW).arg(quoted(ln), quoted(code), quoted(number), quoted(id));
        // The entry keeps the order's date and name beside its number.
        QSqlQuery gone;
        const QString anyRow = id.isEmpty() ? QStringLiteral("") : id;
        if (!PrivateConnection::run(QSqlDatabase(), QString::fromLatin1(Sql::SELECT_DELETED_ORDER),
                                    {ln, code, number, anyRow, anyRow}, &gone, &error))
            return false;
        const bool found = gone.next();
        const QList<History::Entry> entries{
            entry(History::Action::ORDER_DELETED, ln, code, number, QStringLiteral("Date_time"),
                  found ? gone.value(0).toString() : QString()),
            entry(History::Action::ORDER_DELETED, ln, code, number, QStringLiteral("nameZO"),
                  found ? gone.value(1).toString() : QString())};
        gone = QSqlQuery();
        // An order found gone already has its entry from whoever deleted it.
        int deleted = 0;
        if (!execLoaded(result, error, statement, true, &deleted) ||
            (deleted > 0 && !History::record(entries, &error)) ||
            (!id.isEmpty() && !numberDates(ln, code, number, &result.others, &error, &result.statement)))
            return false;
        if (result.others.isEmpty())
            return true;
        // The attachments are kept under the number, so they stay while
        // another order holds it.
        result.statement = Sql::text(Sql::SELECT_FILES)
                               .arg(QStringLiteral("Files"), quoted(ln), quoted(code), quoted(number));
        QStringList names;
        if (!firstField(result.statement, &names, error))
            return false;
        result.attached = static_cast<int>(names.size());
        return true;
    });
}

Orders::Result Orders::attach(const QString &ln, const QString &code, const QString &number,
                              const QString &target, const QString &name)
{
    return write(ln, [&](Result &result, QSqlError &error) {
        return Attachments::writeWaiting(target, &error) &&
               exec(result, error,
                    Sql::text(Sql::INSERT_FILE)
                        .arg(quoted(number), quoted(code), quoted(target), quoted(name), quoted(ln))) &&
               History::record(
                   entry(History::Action::DOCUMENT_ATTACHED, ln, code, number, QString(), QString(), name),
                   &error);
    });
}

Orders::Result Orders::detach(const QString &ln, const QString &code, const QString &number,
                              const QString &name, QSet<QString> *copies)
{
    return write(ln, [&](Result &result, QSqlError &error) {
        result.statement = QString::fromLatin1(Sql::SELECT_ORDER_FILE_PATH)
                               .arg(quoted(ln), quoted(code), quoted(number), quoted(name));
        QStringList paths;
        if (!firstField(result.statement, &paths, error))
            return false;
        *copies = QSet<QString>(paths.cbegin(), paths.cend());
        // The mark the deletion has always left in the debug output between
        // the lookup and the delete.
        qDebug() << "1";
        if (!exec(result, error,
                  QString::fromLatin1(Sql::DELETE_ORDER_FILE)
                      .arg(quoted(ln), quoted(code), quoted(number), quoted(name))) ||
            !History::record(entry(History::Action::DOCUMENT_DETACHED, ln, code, number, QString(), name),
                             &error))
            return false;
        // On a server the content is a row of Kopii: it goes in the same
        // transaction once no attachment names it, so that a stop after the
        // commit leaves no content that nothing names.
        if (Sql::onServer()) {
            for (const QString &copy : std::as_const(*copies)) {
                if (!exec(result, error, QString::fromLatin1(Sql::DELETE_UNUSED_CONTENT).arg(quoted(copy))))
                    return false;
            }
        }
        return true;
    });
}

bool Orders::documents(const QString &ln, const QString &code, const QString &number, QStringList *names,
                       QSqlError *error)
{
    QSqlQuery query = Function::Myquery(
        Sql::text(Sql::SELECT_FILES).arg(QStringLiteral("Files"), quoted(ln), quoted(code), quoted(number)));
    names->clear();
    if (!query.isActive()) {
        *error = query.lastError();
        return false;
    }
    while (query.next())
        names->append(query.value(0).toString());
    query.finish();
    return true;
}

Orders::Lookup Orders::storedCopy(const QString &ln, const QString &code, const QString &number,
                                  const QString &name, QString *path, QSqlError *error)
{
    QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::SELECT_ORDER_FILE_PATH)
                                            .arg(quoted(ln), quoted(code), quoted(number), quoted(name)));
    if (!query.isActive()) {
        *error = query.lastError();
        return Lookup::Failed;
    }
    bool found = false;
    while (query.next()) {
        found = true;
        *path = query.value(0).toString();
    }
    query.finish();
    return found ? Lookup::Found : Lookup::Missing;
}
