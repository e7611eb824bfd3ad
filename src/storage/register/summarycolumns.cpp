#include "storage/register/summarycolumns.h"

namespace SummaryColumns {

QString categoryOf(int summaryColumn)
{
    if (summaryColumn < FIRST_COUNT || summaryColumn > LAST_COUNT)
        return QString();
    return QString::fromLatin1(SUMMARY[static_cast<size_t>(summaryColumn)].field);
}

bool isCategory(const QString &code)
{
    for (int c = FIRST_COUNT; c <= LAST_COUNT; ++c) {
        if (code == QLatin1String(SUMMARY[static_cast<size_t>(c)].field))
            return true;
    }
    return false;
}

} // namespace SummaryColumns
