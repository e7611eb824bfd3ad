// The natural order of unit numbers: the leading number first, then the rest
// of the text in code-unit order.

#include "storage/register/naturalorder.h"

#include "function.h"

#include <algorithm>
#include <climits>

int NaturalOrder::leadingNumber(QStringView s)
{
    qint64 value = 0;
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u < u'0' || u > u'9')
            break;
        value = value * 10 + (u - u'0');
        if (value > INT_MAX)
            return 0; // too long for 32 bits counts as no number
    }
    return static_cast<int>(value);
}

bool Function::compareStrings(const QStringView &a, const QStringView &b)
{
    const int na = NaturalOrder::leadingNumber(a);
    const int nb = NaturalOrder::leadingNumber(b);
    if (na != nb)
        return na < nb;
    auto rest = [](QStringView s) {
        qsizetype p = 0;
        while (p < s.size() && s.at(p).unicode() >= u'0' && s.at(p).unicode() <= u'9')
            ++p;
        return p == s.size() ? s : s.mid(p);
    };
    return rest(a).compare(rest(b), Qt::CaseSensitive) < 0;
}

void Function::sortQListQString(QList<QString> &list)
{
    std::sort(list.begin(), list.end(),
              [](const QString &a, const QString &b) { return compareStrings(a, b); });
}
