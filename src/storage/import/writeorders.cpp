#include "storage/import/writeorders.h"

#include "storage/db/sql.h"
#include "storage/history/historylog.h"

namespace Import::Detail {

namespace {

QString orderKey(const QString &ln, const QString &code, const QString &number)
{
    return ln + QChar(0x1f) + code + QChar(0x1f) + number;
}

// The first order the register no longer allows as checked: its serviceman
// gone, or the order itself already there (the same file imported at the same
// time elsewhere). Empty when none.
bool staleOrders(const OrdersCheck &check, const QSet<QString> &numbers, QString *stale, QSqlError &error)
{
    QSet<QString> present;
    QSqlQuery query;
    if (!run(QString::fromLatin1(Sql::IMPORT_REGISTER_ORDERS), {}, error, &query))
        return false;
    while (query.next())
        present.insert(orderKey(query.value(0).toString(), query.value(1).toString(), query.value(2).toString()));
    query.finish();
    for (const OrderRow &o : check.rows) {
        if (o.action != Action::Add)
            continue;
        if (!numbers.contains(o.ln)) {
            *stale = QStringLiteral("военнослужащего с личным номером «%1» (приказ в строке %2) тем временем "
                                    "удалили из реестра или дали ему другой номер")
                         .arg(o.ln, QString::number(o.line));
            return true;
        }
        if (!present.isEmpty() && present.contains(orderKey(o.ln, o.code, o.number))) {
            *stale = QStringLiteral("приказ № %1 военнослужащего с личным номером «%2» (строка %3) тем временем "
                                    "уже внесён в реестр")
                         .arg(o.number, o.ln, QString::number(o.line));
            return true;
        }
    }
    return true;
}

// An order's values in the order of the statements' columns.
QVariantList orderValues(const OrderRow &o)
{
    const auto text = [](const QString &t) { return t.isEmpty() ? QVariant() : QVariant(t); };
    const QString inForce = QString::fromLatin1(o.inForce ? "1" : "0");
    return {o.ln,   o.code,  o.date,     o.number,           o.issuer,
            o.name, inForce, o.outgoing, text(o.liftNumber), text(o.liftDate)};
}

} // namespace

bool writeOrders(const OrdersCheck &orders, const ServicemenCheck *servicemen, QSet<QString> &numbers,
                 Writing &writing)
{
    QSqlError &error = writing.error;
    if (servicemen) {
        for (const ServicemanRow &r : servicemen->rows) {
            if (r.action == Action::Add)
                numbers.insert(r.entry.fields[Servicemen::LN]);
        }
    }
    if (!staleOrders(orders, numbers, &writing.stale, error))
        return false;
    if (!writing.stale.isEmpty())
        return false;
    if (writing.server) {
        // SERVER_CHUNK rows a COPY; the next ones made ready while the
        // server writes the last.
        qsizetype next = 0;
        const auto fill = [&](Query::CopyRows &rows) {
            for (; next < orders.rows.size() && rows.size() < SERVER_CHUNK; ++next) {
                if (orders.rows.at(next).action == Action::Add) {
                    rows.add(orderValues(orders.rows.at(next)));
                    ++writing.written->orders;
                }
            }
        };
        return copyInChunks(Sql::IMPORT_COPY_ORDERS, fill, writing);
    }
    qint64 firstRow = 0;
    if (!nextRow(Sql::IMPORT_NEXT_ORDER_ROW, &firstRow, error))
        return false;
    Batch added(Sql::IMPORT_INSERT_ORDERS, Sql::IMPORT_ORDER_ROW, 10);
    int pending = 0;
    for (const OrderRow &o : orders.rows) {
        if (o.action != Action::Add)
            continue;
        if (!added.add(orderValues(o), error))
            return false;
        ++writing.written->orders;
        if (++pending == writing.chunk) {
            if (!added.flush(error) || !writing.step(pending))
                return false;
            pending = 0;
        }
    }
    return added.flush(error) && History::recordAdded(Sql::IMPORT_HISTORY_ORDERS, firstRow, &error) &&
           writing.step(pending);
}

} // namespace Import::Detail
