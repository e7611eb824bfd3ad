#include "storage/grouporders.h"

#include "storage/history/historylog.h"
#include "storage/history/historytable.h"
#include "storage/privateconnection.h"
#include "storage/recount.h"
#include "storage/roster.h"
#include "storage/sql.h"
#include "storage/summarycolumns.h"
#include "storage/transaction.h"

#include <QSqlQuery>

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
        out.push_back({row[Columns::VP], row[2], row[Columns::FIO], row[Columns::LN]});
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

GroupOrders::Result GroupOrders::add(const QStringList &lns, const QString &code,
                                     const Orders::Fields &fields)
{
    // The counts are unsettled until they are written anew below.
    for (const QString &ln : lns)
        Recount::pending(ln, code);
    Result result;
    QSqlError error;
    const bool done = Transaction::run(
        [&](QSqlError &stepError) {
            result = Result();
            // Checked again inside the transaction: another workstation may
            // have added the number meanwhile.
            QSet<QString> held;
            if (!holders(code, fields.number, lns, &held, &stepError))
                return false;
            QList<History::Entry> entries;
            for (const QString &ln : lns) {
                QSqlQuery query;
                if (!PrivateConnection::run(QSqlDatabase(), QString::fromLatin1(Sql::COUNT_SERVICEMAN_BOUND),
                                            {ln}, &query, &stepError))
                    return false;
                if (!query.next() || query.value(0).toInt() == 0) {
                    result.outcome = Outcome::Gone;
                    result.ln = ln;
                    stepError = QSqlError();
                    return false;
                }
                if (held.contains(ln)) {
                    result.outcome = Outcome::Taken;
                    result.ln = ln;
                    stepError = QSqlError();
                    return false;
                }
                if (!PrivateConnection::run(
                        QSqlDatabase(), QString::fromLatin1(Sql::INSERT_GROUP_ORDER),
                        {ln, code, fields.date, fields.number, fields.issuer, fields.name, fields.outgoing},
                        &query, &stepError))
                    return false;
                entries.append({QString::fromLatin1(History::Action::ORDER_ADDED), ln, code, fields.number,
                                QString(), QString(), QString()});
            }
            return History::record(entries, &stepError);
        },
        error);
    if (done)
        result.outcome = Outcome::Done;
    else if (result.outcome == Outcome::Failed)
        result.error = error;
    // Written or not, each count is read from the orders as they now are.
    for (const QString &ln : lns) {
        QSqlError recountError;
        if (Recount::category(ln, code, &recountError) == Recount::Result::Done)
            Recount::settled(ln, code);
        else if (done)
            result.notRecounted.append(ln);
    }
    return result;
}
