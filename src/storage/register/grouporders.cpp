#include "storage/register/grouporders.h"

#include "function.h"
#include "storage/register/attachments.h"
#include "storage/history/historylog.h"
#include "storage/history/historytable.h"
#include "storage/db/privateconnection.h"
#include "storage/db/errorlog.h"
#include "storage/db/query.h"
#include "storage/register/recount.h"
#include "storage/register/roster.h"
#include "storage/db/sql.h"
#include "storage/register/summarycolumns.h"
#include "storage/db/transaction.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlQuery>

#include <functional>

namespace {

using GroupOrders::Outcome;
using GroupOrders::Result;


// The values of a server's statement that are many travel as one JSON array.
QString json(const QJsonArray &array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

// A list of texts as a server's array (text[]): each in double quotes, a
// quote or a backslash in it escaped, as the array's own syntax wants
// whatever the server's settings (it travels apart from the statement).
QString array(const QStringList &texts)
{
    QStringList items;
    items.reserve(texts.size());
    for (QString text : texts) {
        text.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
        items.append(QLatin1Char('"') + text + QLatin1Char('"'));
    }
    return QLatin1Char('{') + items.join(QLatin1Char(',')) + QLatin1Char('}');
}

// A truth value as a server's statement gives it ("t" or "f").
bool yes(const QVariant &value)
{
    const QString text = value.toString();
    return text == QLatin1String("t") || text == QLatin1String("true");
}

// Runs one statement of a server with its values apart, and steps to its one
// row; false (with `error`) when it failed.
bool one(const char *statement, const QVariantList &values, QSqlQuery *query, QSqlError &error)
{
    *query = Query::numbered(QString::fromLatin1(statement), values);
    if (query->isActive() && query->next())
        return true;
    error = query->lastError();
    return false;
}

// On a server, after the write: the counts of `lns` in `code` written anew,
// with the group's entry of the history where the database has its
// function (`hasEntry`), in one statement.
bool finish(const QStringList &lns, const QString &code, bool hasEntry, const char *action,
            const QString &number, const QString &what, QSqlError &error)
{
    QSqlQuery query;
    if (lns.isEmpty()) {
        return !hasEntry || one(Sql::INSERT_HISTORY_GROUP,
                                {QString::fromLatin1(action), code, number, what}, &query, error);
    }
    const QString statement =
        QString::fromLatin1(Sql::GROUP_RECOUNT_AT_ONCE)
            .arg(code,
                 code == QLatin1String(Code::VZS) ? QString::fromLatin1(Sql::GROUP_PENALTIES_IN_FORCE) : QString(),
                 hasEntry ? QString::fromLatin1(Sql::GROUP_ENTRY) : QStringLiteral("NULL"));
    const QVariantList values = hasEntry
                                    ? QVariantList{array(lns), QString::fromLatin1(action), code, number, what}
                                    : QVariantList{array(lns)};
    query = Query::numbered(statement, values);
    if (query.isActive())
        return true;
    error = query.lastError();
    return false;
}

// On a file: the counts written anew, in the write's transaction, counted
// as the orders window's recount counts one (a penalty while its flag reads
// as 1), in one pass over the orders.
bool recount(const QStringList &lns, const QString &code, QSqlError &error)
{
    // The code stands in the statement as a column name: only the six codes.
    if (!SummaryColumns::isCategory(code))
        return true;
    QHash<QString, int> counts;
    for (const QString &ln : lns)
        counts.insert(ln, 0);
    QSqlQuery flags;
    if (!PrivateConnection::run(QSqlDatabase(), QString::fromLatin1(Sql::SELECT_CATEGORY_FLAGS), {code}, &flags,
                                &error))
        return false;
    const bool penalties = code == QLatin1String(Code::VZS);
    while (flags.next()) {
        const auto count = counts.find(flags.value(0).toString());
        if (count != counts.end() && (!penalties || flags.value(1).toInt() == 1))
            ++*count;
    }
    if (flags.lastError().isValid()) {
        error = flags.lastError();
        return false;
    }
    flags = QSqlQuery();
    QSqlQuery write(QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false));
    if (!write.prepare(QString::fromLatin1(Sql::UPDATE_GROUP_COUNT).arg(code))) {
        error = write.lastError();
        return false;
    }
    for (auto c = counts.cbegin(); c != counts.cend(); ++c) {
        write.addBindValue(QString::number(c.value()));
        write.addBindValue(c.key());
        if (!write.exec()) {
            error = write.lastError();
            Query::appendLog(error.text() + QStringLiteral("В запросе содержится ошибка.") + write.lastQuery() +
                             QStringLiteral(" Запрос"));
            return false;
        }
    }
    return true;
}

// On a file: everyone's personal number, for the check of many servicemen.
bool registered(QSet<QString> *lns, QSqlError &error)
{
    QSqlQuery query;
    if (!PrivateConnection::run(QSqlDatabase(), QString::fromLatin1(Sql::SELECT_REGISTER_LNS), {}, &query, &error))
        return false;
    while (query.next())
        lns->insert(query.value(0).toString());
    error = query.lastError();
    return !error.isValid();
}

History::Entry groupEntry(const char *action, const QString &code, const QString &number, const QString &what)
{
    return {QString::fromLatin1(action), QString(), code, number, QString(), QString(), what};
}

// The personal numbers, each once, in their order.
QStringList distinct(const QStringList &lns)
{
    QStringList out;
    QSet<QString> seen;
    for (const QString &ln : lns) {
        if (!seen.contains(ln)) {
            seen.insert(ln);
            out.append(ln);
        }
    }
    return out;
}

// Runs `steps` in a transaction with the counts of (`lns`, `code`)
// unsettled until they are written anew in it.
Result run(const QStringList &lns, const QString &code, const std::function<bool(Result &, QSqlError &)> &steps)
{
    for (const QString &ln : lns)
        Recount::pending(ln, code);
    Result result;
    QSqlError error;
    const bool done = Transaction::run(
        [&](QSqlError &stepError) {
            result = Result();
            if (steps(result, stepError))
                return true;
            if (result.outcome != Outcome::Failed)
                stepError = QSqlError();
            return false;
        },
        error);
    if (done)
        result.outcome = Outcome::Done;
    else if (result.outcome == Outcome::Failed)
        result.error = error;
    // Written or not, nothing is left to put right: the counts were written
    // in the transaction, or nothing was.
    for (const QString &ln : lns)
        Recount::settled(ln, code);
    return result;
}

} // namespace

std::vector<GroupOrders::Man> GroupOrders::servicemen(QSqlError *error)
{
    std::vector<Man> out;
    QSqlError failure;
    const std::vector<Roster::Row> rows = Roster::read(Sql::text(Sql::SELECT_SUMMARY), &failure);
    if (failure.isValid()) {
        *error = failure;
        return out;
    }
    out.reserve(rows.size());
    for (const Roster::Row &row : rows)
        out.push_back({row[SummaryColumns::VP], row[2], row[SummaryColumns::FIO], row[SummaryColumns::LN]});
    return out;
}

bool GroupOrders::holders(const QString &code, const QString &number, const QStringList &lns,
                          QSet<QString> *held, QSqlError *error)
{
    QSqlQuery query;
    if (!PrivateConnection::run(QSqlDatabase(), QString::fromLatin1(Sql::SELECT_ORDER_HOLDERS),
                                {code, number}, &query, error))
        return false;
    const QSet<QString> chosen(lns.cbegin(), lns.cend());
    held->clear();
    while (query.next()) {
        const QString ln = query.value(0).toString();
        if (chosen.contains(ln))
            held->insert(ln);
    }
    *error = query.lastError();
    return !error->isValid();
}

GroupOrders::Result GroupOrders::add(const QStringList &chosen, const QString &code, const Orders::Fields &fields,
                                     const QList<Document> &documents)
{
    const QStringList lns = distinct(chosen);
    const QString what = QStringLiteral("Добавлено приказов: %1").arg(lns.size());
    if (Sql::onServer()) {
        QJsonArray docs;
        QJsonArray contents;
        for (const Document &d : documents) {
            docs.append(QJsonArray{d.target, d.name});
            if (d.fresh)
                contents.append(
                    QJsonArray{d.target, QString::fromLatin1(Attachments::waitingContent(d.target).toHex())});
        }
        return run(lns, code, [&](Result &result, QSqlError &error) {
            QSqlQuery query;
            if (!one(Sql::GROUP_ADD_AT_ONCE,
                     {array(lns), code, fields.date, fields.number, fields.issuer, fields.name, fields.outgoing,
                      json(docs), json(contents)},
                     &query, error))
                return false;
            if (!query.isNull(2) || !query.isNull(3)) {
                result.outcome = query.isNull(2) ? Outcome::Taken : Outcome::Gone;
                result.ln = query.value(query.isNull(2) ? 3 : 2).toString();
                return false;
            }
            if (query.value(1).toInt() != contents.size()) {
                // Another clerk stored another document under a new name
                // meanwhile.
                error = QSqlError(QString(),
                                  QStringLiteral("имя копии документа тем временем занял другой документ, "
                                                 "выберите документы ещё раз"),
                                  QSqlError::TransactionError);
                return false;
            }
            result.written = query.value(0).toInt();
            return finish(lns, code, yes(query.value(4)), History::Action::GROUP_ORDER_ADDED, fields.number,
                          what, error);
        });
    }
    return run(lns, code, [&](Result &result, QSqlError &error) {
        // Checked again inside the transaction: another workstation may
        // have added the number meanwhile.
        QSet<QString> held;
        QSet<QString> present;
        if (!holders(code, fields.number, lns, &held, &error) || !registered(&present, error))
            return false;
        QList<History::Entry> entries;
        for (const QString &ln : lns) {
            if (!present.contains(ln) || held.contains(ln)) {
                result.outcome = held.contains(ln) ? Outcome::Taken : Outcome::Gone;
                result.ln = ln;
                return false;
            }
            if (!PrivateConnection::run(
                    QSqlDatabase(), QString::fromLatin1(Sql::INSERT_GROUP_ORDER),
                    {ln, code, fields.date, fields.number, fields.issuer, fields.name, fields.outgoing}, nullptr,
                    &error))
                return false;
            entries.append({QString::fromLatin1(History::Action::ORDER_ADDED), ln, code, fields.number, QString(),
                            QString(), QString()});
            for (const Document &d : documents) {
                if (!PrivateConnection::run(QSqlDatabase(), QString::fromLatin1(Sql::INSERT_GROUP_FILE),
                                            {fields.number, code, d.target, d.name, ln}, nullptr, &error))
                    return false;
                entries.append({QString::fromLatin1(History::Action::DOCUMENT_ATTACHED), ln, code, fields.number,
                                QString(), QString(), d.name});
            }
        }
        entries.append(groupEntry(History::Action::GROUP_ORDER_ADDED, code, fields.number, what));
        result.written = static_cast<int>(lns.size());
        return recount(lns, code, error) && History::record(entries, &error);
    });
}

bool GroupOrders::penaltiesInForce(std::vector<Penalty> *penalties, QSqlError *error)
{
    penalties->clear();
    QSqlQuery query;
    if (!PrivateConnection::run(QSqlDatabase(), Sql::text(Sql::SELECT_GROUP_PENALTIES),
                                {QString::fromLatin1(Code::VZS)}, &query, error))
        return false;
    while (query.next()) {
        Penalty p;
        p.id = query.value(0).toString();
        p.ln = query.value(1).toString();
        p.unit = query.value(2).toString();
        p.fio = query.value(3).toString();
        p.number = query.value(4).toString();
        p.date = query.value(5).toString();
        p.name = query.value(6).toString();
        p.liftNumber = query.value(7).toString();
        p.liftDate = query.value(8).toString();
        penalties->push_back(std::move(p));
    }
    *error = query.lastError();
    return !error->isValid();
}

GroupOrders::Result GroupOrders::lift(const std::vector<Penalty> &penalties, const QString &liftDate,
                                      const QString &liftNumber)
{
    const QString code = QString::fromLatin1(Code::VZS);
    const QString off = QString::number(0);
    QStringList all;
    for (const Penalty &p : penalties)
        all.append(p.ln);
    const QStringList lns = distinct(all);
    const QString what = QStringLiteral("Снято взысканий: %1").arg(penalties.size());
    if (Sql::onServer()) {
        QJsonArray chosen;
        QStringList ids;
        for (const Penalty &p : penalties) {
            chosen.append(QJsonArray{p.id, p.ln, p.number, p.liftNumber, p.liftDate});
            ids.append(p.id);
        }
        return run(lns, code, [&](Result &result, QSqlError &error) {
            QSqlQuery query;
            if (!one(Sql::GROUP_LIFT_AT_ONCE, {json(chosen), code, off, liftDate, liftNumber, array(ids), array(lns)}, &query, error))
                return false;
            if (!query.isNull(1) || !query.isNull(2)) {
                result.outcome = query.isNull(1) ? Outcome::Changed : Outcome::Gone;
                result.ln = query.value(query.isNull(1) ? 2 : 1).toString();
                result.number = query.value(3).toString();
                return false;
            }
            result.written = query.value(0).toInt();
            return finish(lns, code, yes(query.value(4)), History::Action::GROUP_LIFTED, liftNumber, what,
                          error);
        });
    }
    return run(lns, code, [&](Result &result, QSqlError &error) {
        QList<History::Entry> entries;
        QSet<QString> present;
        if (!registered(&present, error))
            return false;
        for (const Penalty &p : penalties) {
            QSqlQuery query;
            if (!present.contains(p.ln)) {
                result.outcome = Outcome::Gone;
                result.ln = p.ln;
                return false;
            }
            if (!PrivateConnection::run(
                    QSqlDatabase(), QString::fromLatin1(Sql::LIFT_GROUP_PENALTY),
                    {off, liftDate, liftNumber, p.id, p.ln, code, p.number, p.liftNumber, p.liftDate}, &query,
                    &error))
                return false;
            if (query.numRowsAffected() != 1) {
                result.outcome = Outcome::Changed;
                result.ln = p.ln;
                result.number = p.number;
                return false;
            }
            // The entries of the orders window's lifting: one per changed
            // field.
            const History::Entry base{QString::fromLatin1(History::Action::ORDER_LIFTED), p.ln, code, p.number,
                                      QString(), QString(), QString()};
            const auto changed = [&](const char *field, const QString &was, const QString &now) {
                History::changed(entries, base, field, was, now);
            };
            changed("actived_prikaz", QStringLiteral("1"), off);
            changed("Nomer_snytie", p.liftNumber, liftNumber);
            changed("Data_snytie", p.liftDate, liftDate);
        }
        entries.append(groupEntry(History::Action::GROUP_LIFTED, code, liftNumber, what));
        result.written = static_cast<int>(penalties.size());
        return recount(lns, code, error) && History::record(entries, &error);
    });
}

bool GroupOrders::sameOrder(const QString &code, const QString &number, const QString &date, QStringList *ids,
                            QSqlError *error)
{
    ids->clear();
    QSqlQuery query;
    if (!PrivateConnection::run(QSqlDatabase(), Sql::text(Sql::SELECT_SAME_ORDER), {code, number, date}, &query,
                                error))
        return false;
    while (query.next())
        ids->append(query.value(0).toString());
    *error = query.lastError();
    return !error->isValid();
}

GroupOrders::Result GroupOrders::changeAll(const QString &code, const QString &number, const QString &date,
                                           const QStringList &ids, const Orders::Fields &fields)
{
    const QString what = QStringLiteral("Изменено приказов: %1").arg(ids.size());
    if (Sql::onServer()) {
        return run({}, code, [&](Result &result, QSqlError &error) {
            QSqlQuery query;
            if (!one(Sql::GROUP_CHANGE_AT_ONCE,
                     {array(ids), code, number, date, fields.date, fields.number, fields.issuer, fields.name,
                      fields.outgoing},
                     &query, error))
                return false;
            if (!yes(query.value(1)) || !query.isNull(2)) {
                result.outcome = query.isNull(2) ? Outcome::Changed : Outcome::Taken;
                result.ln = query.value(2).toString();
                return false;
            }
            result.written = query.value(0).toInt();
            return finish({}, code, yes(query.value(3)), History::Action::GROUP_ORDER_CHANGED, fields.number,
                          what, error);
        });
    }
    return run({}, code, [&](Result &result, QSqlError &error) {
        QSqlQuery rows;
        if (!PrivateConnection::run(QSqlDatabase(), Sql::text(Sql::SELECT_SAME_ORDER), {code, number, date},
                                    &rows, &error))
            return false;
        struct Row
        {
            QString id, ln, name, date, issuer, outgoing;
        };
        std::vector<Row> found;
        while (rows.next())
            found.push_back({rows.value(0).toString(), rows.value(1).toString(), rows.value(2).toString(),
                             rows.value(3).toString(), rows.value(4).toString(), rows.value(5).toString()});
        if (rows.lastError().isValid()) {
            error = rows.lastError();
            return false;
        }
        rows = QSqlQuery();
        QStringList foundIds;
        QStringList lns;
        for (const Row &row : found) {
            foundIds.append(row.id);
            lns.append(row.ln);
        }
        if (foundIds != ids) {
            result.outcome = Outcome::Changed;
            return false;
        }
        lns = distinct(lns);
        const bool renumbered = fields.number != number;
        if (renumbered) {
            QSet<QString> held;
            if (!holders(code, fields.number, lns, &held, &error))
                return false;
            if (!held.isEmpty()) {
                result.outcome = Outcome::Taken;
                result.ln = *held.cbegin();
                return false;
            }
        }
        QList<History::Entry> entries;
        for (const Row &row : found) {
            if (!PrivateConnection::run(
                    QSqlDatabase(), QString::fromLatin1(Sql::UPDATE_GROUP_ORDER_ROW),
                    {fields.date, fields.number, fields.issuer, fields.name, fields.outgoing, row.id}, nullptr,
                    &error))
                return false;
            const History::Entry base{QString::fromLatin1(History::Action::ORDER_CHANGED), row.ln, code,
                                      fields.number, QString(), QString(), QString()};
            const auto changed = [&](const char *field, const QString &was, const QString &now) {
                History::changed(entries, base, field, was, now);
            };
            changed("prikaznom", number, fields.number);
            changed("Date_time", row.date, fields.date);
            changed("kemvidan", row.issuer, fields.issuer);
            changed("nameZO", row.name, fields.name);
            changed("ish_SU", row.outgoing, fields.outgoing);
        }
        // The documents are kept under the number: they follow each row to
        // its new one, and while another order of the serviceman keeps the
        // old number both keep them.
        for (const QString &ln : std::as_const(lns)) {
            if (!renumbered)
                break;
            QSqlQuery kept;
            if (!PrivateConnection::run(QSqlDatabase(), QString::fromLatin1(Sql::COUNT_ORDERS_OF_NUMBER),
                                        {ln, code, number}, &kept, &error))
                return false;
            const bool copy = kept.next() && kept.value(0).toInt() > 0;
            kept = QSqlQuery();
            if (!PrivateConnection::run(
                    QSqlDatabase(), QString::fromLatin1(copy ? Sql::COPY_GROUP_FILES : Sql::MOVE_GROUP_FILES),
                    copy ? QVariantList{fields.number, ln, code, number, fields.number}
                         : QVariantList{fields.number, ln, code, number},
                    nullptr, &error))
                return false;
        }
        entries.append(groupEntry(History::Action::GROUP_ORDER_CHANGED, code, fields.number, what));
        result.written = static_cast<int>(found.size());
        return History::record(entries, &error);
    });
}
