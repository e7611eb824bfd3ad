#include "view/rowfilter.h"

#include "function.h"
#include "storage/register/summarycolumns.h"

#include <algorithm>

namespace RowFilter {

bool counts(const QString &count)
{
    return !count.isEmpty() && count != QLatin1String("0");
}

bool keeps(const Filter &filter, const Roster::Row &row)
{
    if (filter.onlyWithRecords) {
        const bool one = filter.category >= 1 &&
                         filter.category <= SummaryColumns::LAST_COUNT - SummaryColumns::FIRST_COUNT + 1;
        const int first =
            one ? SummaryColumns::FIRST_COUNT - 1 + filter.category : SummaryColumns::FIRST_COUNT;
        const int last = one ? first : SummaryColumns::LAST_COUNT;
        bool any = false;
        for (int c = first; c <= last && !any; ++c)
            any = counts(row[static_cast<size_t>(c)]);
        if (!any && first == SummaryColumns::FIRST_COUNT && filter.withPenalties)
            any = filter.withPenalties->contains(row[SummaryColumns::LN]);
        if (!any)
            return false;
    }
    if (filter.unit && row[SummaryColumns::VP] != *filter.unit)
        return false;
    if (filter.servicemen && !filter.servicemen->contains(row[SummaryColumns::LN]))
        return false;
    if (!filter.text.isEmpty())
        return std::any_of(row.begin(), row.end(), [&filter](const QString &cell) {
            return cell.contains(filter.text, Qt::CaseInsensitive);
        });
    return true;
}

std::vector<int> apply(const Filter &filter, const std::vector<Roster::Row> &rows)
{
    std::vector<int> kept;
    kept.reserve(rows.size());
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        if (keeps(filter, rows[static_cast<size_t>(r)]))
            kept.push_back(r);
    }
    return kept;
}

QStringList units(const std::vector<Roster::Row> &rows, const std::optional<QString> &also)
{
    QSet<QString> seen;
    QStringList list;
    auto add = [&seen, &list](const QString &unit) {
        if (!seen.contains(unit)) {
            seen.insert(unit);
            list.append(unit);
        }
    };
    for (const Roster::Row &row : rows)
        add(row[SummaryColumns::VP]);
    if (also)
        add(*also);
    // Texts the natural order takes as equal ("1а" and "01а") keep a fixed
    // order between them.
    std::sort(list.begin(), list.end(), [](const QString &a, const QString &b) {
        if (Function::compareStrings(a, b))
            return true;
        return !Function::compareStrings(b, a) && a < b;
    });
    return list;
}

} // namespace RowFilter
