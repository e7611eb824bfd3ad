#include "storage/register/grouporders.h"

#include "function.h"
#include "storage/register/attachments.h"
#include "storage/register/groupwrite.h"
#include "storage/history/historylog.h"
#include "storage/history/historytable.h"
#include "storage/db/privateconnection.h"
#include "storage/register/roster.h"
#include "storage/db/sql.h"
#include "storage/register/summarycolumns.h"

#include <QJsonArray>
#include <QSqlQuery>

namespace {

using GroupWrite::distinct;
using GroupWrite::finish;
using GroupWrite::groupEntry;
using GroupWrite::json;
using GroupWrite::one;
using GroupWrite::recount;
using GroupWrite::registered;
using GroupWrite::run;
using GroupWrite::yes;

// A row of one order on a file, as the change of all its rows finds it.
struct OrderRow
{
    QString id, ln, name, date, issuer, outgoing;
};

// On a file: the rows of the order (`code`, `number`, `date`).
bool readOrder(const QString &code, const QString &number, const QString &date, std::vector<OrderRow> *found,
               QSqlError &error)
{
    QSqlQuery rows;
    if (!PrivateConnection::run(QSqlDatabase(), Sql::text(Sql::SELECT_SAME_ORDER), {code, number, date}, &rows,
                                &error))
        return false;
    while (rows.next())
        found->push_back({rows.value(0).toString(), rows.value(1).toString(), rows.value(2).toString(),
                          rows.value(3).toString(), rows.value(4).toString(), rows.value(5).toString()});
    error = rows.lastError();
    return !error.isValid();
}

// On a file: each row of the order given `fields`, with the orders window's
// entries of a change, one per changed field.
bool changeRows(const std::vector<OrderRow> &found, const QString &code, const QString &number,
                const Orders::Fields &fields, QList<History::Entry> &entries, QSqlError &error)
{
    for (const OrderRow &row : found) {
        if (!PrivateConnection::run(
                QSqlDatabase(), QString::fromLatin1(Sql::UPDATE_GROUP_ORDER_ROW),
                {fields.date, fields.number, fields.issuer, fields.name, fields.outgoing, row.id}, nullptr, &error))
            return false;
        const History::Entry base{QString::fromLatin1(History::Action::ORDER_CHANGED), row.ln, code, fields.number,
                                  QString(), QString(), QString()};
        const auto changed = [&](const char *field, const QString &was, const QString &now) {
            History::changed(entries, base, field, was, now);
        };
        changed("prikaznom", number, fields.number);
        changed("Date_time", row.date, fields.date);
        changed("kemvidan", row.issuer, fields.issuer);
        changed("nameZO", row.name, fields.name);
        changed("ish_SU", row.outgoing, fields.outgoing);
    }
    return true;
}

// On a file, after a change of number: the documents are kept under the
// number, so they follow each serviceman's row to its new one; while another
// order of his keeps the old number, both keep them.
bool followDocuments(const QStringList &lns, const QString &code, const QString &number, const QString &renumbered,
                     QSqlError &error)
{
    for (const QString &ln : lns) {
        QSqlQuery kept;
        if (!PrivateConnection::run(QSqlDatabase(), QString::fromLatin1(Sql::COUNT_ORDERS_OF_NUMBER),
                                    {ln, code, number}, &kept, &error))
            return false;
        const bool copy = kept.next() && kept.value(0).toInt() > 0;
        kept = QSqlQuery();
        if (!PrivateConnection::run(QSqlDatabase(),
                                    QString::fromLatin1(copy ? Sql::COPY_GROUP_FILES : Sql::MOVE_GROUP_FILES),
                                    copy ? QVariantList{renumbered, ln, code, number, renumbered}
                                         : QVariantList{renumbered, ln, code, number},
                                    nullptr, &error))
            return false;
    }
    return true;
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
                     {lns, code, fields.date, fields.number, fields.issuer, fields.name, fields.outgoing,
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
        for (const Penalty &p : penalties)
            chosen.append(QJsonArray{p.id, p.ln, p.number, p.liftNumber, p.liftDate});
        return run(lns, code, [&](Result &result, QSqlError &error) {
            QSqlQuery query;
            if (!one(Sql::GROUP_LIFT_AT_ONCE, {json(chosen), code, off, liftDate, liftNumber, lns}, &query,
                     error))
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
                     {ids, code, number, date, fields.date, fields.number, fields.issuer, fields.name,
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
        std::vector<OrderRow> found;
        if (!readOrder(code, number, date, &found, error))
            return false;
        QStringList foundIds;
        QStringList lns;
        for (const OrderRow &row : found) {
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
        if (!changeRows(found, code, number, fields, entries, error) ||
            (renumbered && !followDocuments(lns, code, number, fields.number, error)))
            return false;
        entries.append(groupEntry(History::Action::GROUP_ORDER_CHANGED, code, fields.number, what));
        result.written = static_cast<int>(found.size());
        return History::record(entries, &error);
    });
}
