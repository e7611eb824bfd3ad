#include "export/reporttables.h"

#include <array>

namespace ReportTables {

namespace {

constexpr std::array<const char *, 12> MONTHS{{"январь", "февраль", "март", "апрель", "май", "июнь", "июль",
                                                "август", "сентябрь", "октябрь", "ноябрь", "декабрь"}};
constexpr std::array<const char *, 4> QUARTERS{{"I", "II", "III", "IV"}};

QString number(int n)
{
    return QString::number(n);
}

QStringList figures(const QString &name, const Reports::UnitFigures &f)
{
    return {name,
            number(f.servicemen),
            number(f.penaltiesImposed),
            number(f.penaltiesLifted),
            number(f.penaltiesInForce),
            number(f.thanks),
            number(f.certificates),
            number(f.badges),
            number(f.stateAwards),
            number(f.veterans)};
}

} // namespace

QString title()
{
    return QStringLiteral("Воинская дисциплина и поощрения");
}

QString periodText(const Reports::Period &period)
{
    const QDate &from = period.from;
    const QDate &to = period.to;
    if (from.isValid() && to.isValid() && from.day() == 1 && to.addDays(1).day() == 1 && from.year() == to.year()) {
        const int months = to.month() - from.month() + 1;
        if (months == 1)
            return QStringLiteral("за %1 %2 г.").arg(QString::fromUtf8(MONTHS[from.month() - 1])).arg(from.year());
        if (months == 3 && (from.month() - 1) % 3 == 0)
            return QStringLiteral("за %1 квартал %2 г.")
                .arg(QString::fromUtf8(QUARTERS[(from.month() - 1) / 3]))
                .arg(from.year());
        if (months == 12)
            return QStringLiteral("за %1 г.").arg(from.year());
    }
    const QString format = QStringLiteral("dd.MM.yyyy");
    return QStringLiteral("с %1 по %2").arg(from.toString(format), to.toString(format));
}

QString unitText(const QString &unit)
{
    if (unit.isNull())
        return QStringLiteral("все подразделения");
    if (unit.isEmpty())
        return QStringLiteral("без подразделения");
    return QStringLiteral("подразделение %1").arg(unit);
}

QString unitName(const QString &unit)
{
    return unit.isEmpty() ? QStringLiteral("без подразделения") : unit;
}

QString monthName(const QDate &month)
{
    return QStringLiteral("%1 %2").arg(QString::fromUtf8(MONTHS[month.month() - 1])).arg(month.year());
}

QString undatedLine(const Reports::Report &report)
{
    return report.undated > 0 ? QStringLiteral("Приказов без даты: %1 (не учтены)").arg(report.undated) : QString();
}

Table summary(const Reports::Report &report)
{
    Table t;
    t.header = {QStringLiteral("Подразделение"),    QStringLiteral("Военнослужащих"),
                QStringLiteral("Взысканий наложено"), QStringLiteral("Взысканий снято"),
                QStringLiteral("Взысканий в силе"),   QStringLiteral("Благодарностей"),
                QStringLiteral("Грамот"),             QStringLiteral("Знаков отличия"),
                QStringLiteral("Гос. наград"),        QStringLiteral("Ветеранов военной службы")};
    for (const Reports::UnitFigures &f : report.units)
        t.rows.append(figures(unitName(f.unit), f));
    t.rows.append(figures(QStringLiteral("Итого"), report.total));
    return t;
}

Table top(const Reports::Report &report)
{
    Table t;
    t.header = {QStringLiteral("№"),          QStringLiteral("ФИО"),
                QStringLiteral("Личный номер"), QStringLiteral("№ ВП"),
                QStringLiteral("Воинское звание"), QStringLiteral("Взысканий в силе")};
    t.firstNumber = 5;
    int n = 0;
    for (const Reports::TopRow &row : report.top)
        t.rows.append({number(++n), row.fio, row.ln, unitName(row.unit), row.rank, number(row.penaltiesInForce)});
    return t;
}

Table months(const Reports::Report &report)
{
    Table t;
    t.header = {QStringLiteral("Месяц"), QStringLiteral("Взысканий наложено"), QStringLiteral("Взысканий снято"),
                QStringLiteral("Поощрений")};
    for (const Reports::MonthFigures &m : report.months)
        t.rows.append({monthName(m.month), number(m.penaltiesImposed), number(m.penaltiesLifted), number(m.incentives)});
    return t;
}

} // namespace ReportTables
