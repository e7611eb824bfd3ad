#include "storage/import/writeservicemen.h"

#include "storage/db/sql.h"
#include "storage/import/writehistory.h"
#include "storage/import/writereferences.h"

#include <QHash>

#include <algorithm>
#include <array>

namespace Import::Detail {

namespace {

// The first servicemen's row the register no longer allows as checked: an
// added man already there, an updated one gone (deleted, or given another
// number, by another workstation since the check). Empty when none.
QString staleServicemen(const ServicemenCheck &check, const QSet<QString> &numbers)
{
    for (const ServicemanRow &r : check.rows) {
        const QString &ln = r.entry.fields[Servicemen::LN];
        if (r.action == Action::Add && numbers.contains(ln))
            return QStringLiteral("военнослужащий с личным номером «%1» (строка %2) тем временем внесён в реестр")
                .arg(ln, QString::number(r.line));
        if (r.action == Action::Update && !numbers.contains(ln))
            return QStringLiteral("военнослужащего с личным номером «%1» (строка %2) тем временем удалили из "
                                  "реестра или дали ему другой номер")
                .arg(ln, QString::number(r.line));
    }
    return QString();
}

QVariant orNull(bool given, const QVariant &value)
{
    return given ? value : QVariant();
}

// An update writes the texts the file gives and keeps the others.
bool update(const ServicemanRow &r, QSqlError &error)
{
    const Servicemen::Fields &f = r.entry.fields;
    const auto &g = r.given;
    return run(QString::fromLatin1(Sql::IMPORT_UPDATE_SERVICEMAN),
               {orNull(g[Servicemen::VP], f[Servicemen::VP]), orNull(g[Servicemen::DOL], f[Servicemen::DOL]),
                orNull(g[Servicemen::VZ], f[Servicemen::VZ]), orNull(g[Servicemen::FIO], f[Servicemen::FIO]),
                orNull(g[Servicemen::DOL], r.entry.position), orNull(g[Servicemen::VZ], r.entry.rank),
                orNull(g[Servicemen::BIRTH], f[Servicemen::BIRTH]), f[Servicemen::LN]},
               error);
}

// The six counts the import's own orders give each serviceman, in the order
// of Combat's columns, counted as the recount counts them (a penalty while
// in force, every other order).
using Counts = std::array<int, 6>;
QHash<QString, Counts> importedCounts(const OrdersCheck *orders)
{
    static const std::array<QString, 6> codes{
        QString::fromLatin1(Code::VZS),  QString::fromLatin1(Code::BLAG),   QString::fromLatin1(Code::GR),
        QString::fromLatin1(Code::ZOMO), QString::fromLatin1(Code::GOSNAG), QString::fromLatin1(Code::POSH)};
    QHash<QString, Counts> counts;
    if (!orders)
        return counts;
    for (const OrderRow &o : orders->rows) {
        const auto code = std::find(codes.cbegin(), codes.cend(), o.code);
        if (o.action != Action::Add || code == codes.cend() || (code == codes.cbegin() && !o.inForce))
            continue;
        ++counts[o.ln][static_cast<size_t>(code - codes.cbegin())];
    }
    return counts;
}

} // namespace

bool writeServicemen(const ServicemenCheck &servicemen, const OrdersCheck *orders,
                     const QSet<QString> &numbers, Writing &writing)
{
    Written *written = writing.written;
    QSqlError &error = writing.error;
    writing.stale = staleServicemen(servicemen, numbers);
    if (!writing.stale.isEmpty())
        return false;
    if (!writeReferences(servicemen, writing))
        return false;
    written->unchanged = servicemen.unchanged;
    written->ranks = static_cast<int>(servicemen.newRanks.size());
    written->positions = static_cast<int>(servicemen.newPositions.size());

    qint64 firstRow = 0;
    if (!writing.server && !nextRow(Sql::IMPORT_NEXT_SERVICEMAN_ROW, &firstRow, error))
        return false;
    TableRows added(writing.server, Sql::IMPORT_INSERT_SERVICEMEN, Sql::IMPORT_SERVICEMAN_ROW,
                    Sql::IMPORT_COPY_SERVICEMEN, 8);
    const QHash<QString, Counts> counts = writing.server ? importedCounts(orders) : QHash<QString, Counts>();
    QList<History::Entry> history;
    int pending = 0;
    for (const ServicemanRow &r : servicemen.rows) {
        const Servicemen::Fields &f = r.entry.fields;
        if (r.action == Action::Add) {
            QVariantList row{f[Servicemen::VP],  f[Servicemen::DOL], f[Servicemen::VZ], f[Servicemen::LN],
                             f[Servicemen::FIO], r.entry.position,   r.entry.rank,      f[Servicemen::BIRTH]};
            if (writing.server) {
                for (const int n : counts.value(f[Servicemen::LN], Counts{}))
                    row.append(QString::number(n));
            }
            if (!added.add(row, error))
                return false;
            ++written->added;
        } else if (r.action == Action::Update) {
            if (!added.flush(error))
                return false;
            if (!writing.server)
                history.append(updateHistory(r));
            if (!update(r, error))
                return false;
            ++written->updated;
        } else {
            // Skipped, or the same as stored: nothing written, no history.
            continue;
        }
        if (++pending == writing.chunk) {
            if (!added.flush(error) || !writing.step(pending))
                return false;
            pending = 0;
        }
    }
    // The entries after the rows they name (the names are read from them).
    return added.flush(error) && History::recordAdded(Sql::IMPORT_HISTORY_SERVICEMEN, firstRow, &error) &&
           History::record(history, &error) && writing.step(pending);
}

} // namespace Import::Detail
