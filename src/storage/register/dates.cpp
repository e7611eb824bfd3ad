// The text form of order dates, read and written without the general parser
// and the general debug stream, which dominate long order lists.

#include "storage/register/dates.h"

#include <QDebug>

#include <algorithm>
#include <iterator>

QDate Dates::parse(const QString &text)
{
    auto digit = [&text](int i) {
        const char16_t u = text.at(i).unicode();
        return u >= u'0' && u <= u'9' ? u - u'0' : -1;
    };
    if (text.size() == 10 && text.at(2) == QLatin1Char('.') && text.at(5) == QLatin1Char('.')) {
        const int d[] = {digit(0), digit(1), digit(3), digit(4), digit(6), digit(7), digit(8), digit(9)};
        if (std::all_of(std::begin(d), std::end(d), [](int x) { return x >= 0; }))
            return QDate(d[4] * 1000 + d[5] * 100 + d[6] * 10 + d[7], d[2] * 10 + d[3], d[0] * 10 + d[1]);
    }
    return QDate::fromString(text, QStringLiteral("dd.MM.yyyy"));
}

QString Dates::debugText(const QList<QDate> &dates)
{
    QString text;
    text.reserve(8 + dates.size() * 20);
    text += QLatin1String("QList(");
    for (qsizetype i = 0; i < dates.size(); ++i) {
        if (i > 0)
            text += QLatin1String(", ");
        const QDate &date = dates.at(i);
        if (!date.isValid()) {
            text += QLatin1String("QDate(Invalid)");
            continue;
        }
        const int y = date.year();
        if (y < 1 || y > 9999) {
            QDebug(&text).nospace() << date;
            continue;
        }
        const int m = date.month();
        const int d = date.day();
        const char16_t digits[] = {u'Q',
                                   u'D',
                                   u'a',
                                   u't',
                                   u'e',
                                   u'(',
                                   u'"',
                                   char16_t(u'0' + y / 1000),
                                   char16_t(u'0' + y / 100 % 10),
                                   char16_t(u'0' + y / 10 % 10),
                                   char16_t(u'0' + y % 10),
                                   u'-',
                                   char16_t(u'0' + m / 10),
                                   char16_t(u'0' + m % 10),
                                   u'-',
                                   char16_t(u'0' + d / 10),
                                   char16_t(u'0' + d % 10),
                                   u'"',
                                   u')'};
        text.append(reinterpret_cast<const QChar *>(digits), std::size(digits));
    }
    text += QLatin1Char(')');
    return text;
}
