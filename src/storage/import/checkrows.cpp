#include "storage/import/checkrows.h"

#include "function.h"
#include "storage/db/sql.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace Import {

namespace {

// A two-digit year: this century up to the current year, else the last one.
int fullYear(int year, int digits)
{
    if (digits != 2)
        return year;
    const int now = QDate::currentDate().year();
    return 2000 + year <= now ? 2000 + year : 1900 + year;
}

} // namespace

QDate readDate(const QString &text, bool *impossible)
{
    if (impossible)
        *impossible = false;
    const QString t = text.trimmed();
    // "dd.MM.yyyy", the common case, read without the patterns.
    if (t.size() == 10 && t.at(2) == QLatin1Char('.') && t.at(5) == QLatin1Char('.')) {
        int d[8];
        int k = 0;
        for (const int i : {0, 1, 3, 4, 6, 7, 8, 9}) {
            const char16_t u = t.at(i).unicode();
            d[k++] = u >= u'0' && u <= u'9' ? u - u'0' : -1;
        }
        if (std::all_of(d, d + 8, [](int x) { return x >= 0; })) {
            const QDate date(d[4] * 1000 + d[5] * 100 + d[6] * 10 + d[7], d[2] * 10 + d[3], d[0] * 10 + d[1]);
            if (!date.isValid() && impossible)
                *impossible = true;
            return date;
        }
    }
    static const QRegularExpression dotted(QStringLiteral("^(\\d{1,2})\\.(\\d{1,2})\\.(\\d{4}|\\d{2})(?:\\s+\\d{1,2}:\\d{2}(?::\\d{2})?)?$"));
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})(?:[T ]\\d{1,2}:\\d{2}(?::\\d{2}(?:\\.\\d+)?)?)?$"));
    // Day numbers of five digits and more (from 18.05.1927): a year typed
    // alone ("1991") is not taken for a day of 1905.
    static const QRegularExpression serial(QStringLiteral("^(\\d{5,7})(?:[.,]\\d+)?$"));
    QRegularExpressionMatch m = dotted.match(t);
    int y = 0;
    int mo = 0;
    int d = 0;
    if (m.hasMatch()) {
        d = m.captured(1).toInt();
        mo = m.captured(2).toInt();
        y = fullYear(m.captured(3).toInt(), static_cast<int>(m.captured(3).size()));
    } else if ((m = iso.match(t)).hasMatch()) {
        y = m.captured(1).toInt();
        mo = m.captured(2).toInt();
        d = m.captured(3).toInt();
    } else if ((m = serial.match(t)).hasMatch()) {
        // A spreadsheet's day number: 1 is 31.12.1899, 2958465 is 31.12.9999.
        const int days = m.captured(1).toInt();
        if (days >= 1 && days <= 2958465)
            return QDate(1899, 12, 30).addDays(days);
        if (impossible)
            *impossible = true;
        return QDate();
    } else {
        return QDate();
    }
    const QDate date(y, mo, d);
    if (!date.isValid() && impossible)
        *impossible = true;
    return date;
}

QString birthText(const QDate &date)
{
    return QLocale().toString(QDateTime(date, QTime(0, 0)), QLocale::ShortFormat);
}

namespace Detail {

QString squeezed(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (!c.isSpace())
            out.append(c.toLower());
    }
    return out;
}

const QString &otherEncodingProblem()
{
    static const QString text = QStringLiteral("строка записана в другой кодировке, чем остальной файл "
                                               "(её текст искажён)");
    return text;
}

QString tooLongProblem(const QString &what, int limit, int column)
{
    return QStringLiteral("%1 длиннее %2 знаков (столбец %3)").arg(what, QString::number(limit), columnName(column));
}

QString dateProblem(const QString &what, const QString &text, bool impossible)
{
    return impossible ? QStringLiteral("%1 «%2» не существует").arg(what, text)
                      : QStringLiteral("%1 «%2» не распознана").arg(what, text);
}

bool readNumbers(QSet<QString> *numbers, QString *error)
{
    QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::IMPORT_REGISTER_LNS));
    if (!query.isActive()) {
        *error = query.lastError().text();
        return false;
    }
    while (query.next())
        numbers->insert(query.value(0).toString());
    return true;
}

} // namespace Detail

} // namespace Import
