// The commander's report: one statement counts it. It gives a row per
// serviceman with his figures for the period (the database sums his orders),
// from which the units, the total and the list of those with most penalties
// in force are added up here, and a row per pair of months.

#include "storage/reports/report.h"

#include "function.h"
#include "storage/db/errors.h"
#include "storage/db/sql.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace Reports {

namespace {

// A day as the statements compare days: yyyymmdd.
int dayKey(const QDate &date)
{
    return date.year() * 10000 + date.month() * 100 + date.day();
}

void add(UnitFigures &to, const UnitFigures &from)
{
    to.servicemen += from.servicemen;
    to.penaltiesImposed += from.penaltiesImposed;
    to.penaltiesLifted += from.penaltiesLifted;
    to.penaltiesInForce += from.penaltiesInForce;
    to.thanks += from.thanks;
    to.certificates += from.certificates;
    to.badges += from.badges;
    to.stateAwards += from.stateAwards;
    to.veterans += from.veterans;
}

QString failed(const QSqlQuery &query)
{
    return QStringLiteral("Отчёт не посчитан: %1").arg(Errors::describe(query.lastError()));
}

// A row of a pair of months: the penalties and incentives of the orders'
// month, the liftings of the liftings' month.
void addMonths(Report &report, const QHash<int, int> &monthIndex, const QSqlQuery &query)
{
    if (!query.value(5).isNull()) {
        MonthFigures &m = report.months[monthIndex.value(query.value(5).toInt())];
        m.penaltiesImposed += query.value(7).toInt();
        m.incentives += query.value(8).toInt();
    }
    if (!query.value(6).isNull())
        report.months[monthIndex.value(query.value(6).toInt())].penaltiesLifted += query.value(9).toInt();
}

// A serviceman's row: his figures go to his unit's, and he to the list of
// penalties in force when he has any.
void addServiceman(Report &report, QHash<QString, int> &unitIndex, const QSqlQuery &query)
{
    UnitFigures man;
    man.servicemen = 1;
    man.penaltiesImposed = query.value(5).toInt();
    man.penaltiesLifted = query.value(6).toInt();
    man.penaltiesInForce = query.value(7).toInt();
    man.thanks = query.value(8).toInt();
    man.certificates = query.value(9).toInt();
    man.badges = query.value(10).toInt();
    man.stateAwards = query.value(11).toInt();
    man.veterans = query.value(12).toInt();
    report.undated += query.value(13).toInt();
    const QString vp = query.value(1).toString();
    auto at = unitIndex.constFind(vp);
    if (at == unitIndex.constEnd()) {
        at = unitIndex.insert(vp, static_cast<int>(report.units.size()));
        report.units.append(UnitFigures());
        report.units.last().unit = vp;
    }
    add(report.units[*at], man);
    if (man.penaltiesInForce > 0)
        report.top.append({query.value(2).toString(), query.value(3).toString(), vp,
                           query.value(4).toString(), man.penaltiesInForce});
}

// The units in their natural order with the total of them, and the
// `topCount` servicemen with most penalties in force (all of them when
// negative).
void finish(Report &report, int topCount)
{
    std::sort(report.units.begin(), report.units.end(), [](const UnitFigures &a, const UnitFigures &b) {
        return Function::compareStrings(a.unit, b.unit);
    });
    for (const UnitFigures &u : std::as_const(report.units))
        add(report.total, u);
    // Most penalties in force first; among equals by name, then personal number.
    const auto byForce = [](const TopRow &a, const TopRow &b) {
        if (a.penaltiesInForce != b.penaltiesInForce)
            return a.penaltiesInForce > b.penaltiesInForce;
        if (a.fio != b.fio)
            return a.fio < b.fio;
        return a.ln < b.ln;
    };
    const qsizetype keep =
        topCount < 0 ? report.top.size() : std::min<qsizetype>(topCount, report.top.size());
    std::partial_sort(report.top.begin(), report.top.begin() + keep, report.top.end(), byForce);
    report.top.resize(keep);
}

} // namespace

Report build(const Period &period, const QString &unit, int topCount)
{
    Report report;
    report.period = period;
    report.unit = unit;
    if (!period.from.isValid() || !period.to.isValid()) {
        report.error = QStringLiteral("Не задан период отчёта.");
        return report;
    }
    if (period.from > period.to) {
        report.error = QStringLiteral("Начало периода позже его конца.");
        return report;
    }
    // A null text would be bound as NULL, which equals nothing.
    const QString chosen = unit.isEmpty() ? QStringLiteral("") : unit;
    const QVariantList values{dayKey(period.from), dayKey(period.to), chosen, chosen, chosen};

    // Every month of the period, the empty ones too.
    QHash<int, int> monthIndex;
    for (QDate m(period.from.year(), period.from.month(), 1); m <= period.to; m = m.addMonths(1)) {
        monthIndex.insert(m.year() * 100 + m.month(), static_cast<int>(report.months.size()));
        report.months.append({m, 0, 0, 0});
    }
    QSqlQuery query = Function::Myquery(Sql::text(Sql::SELECT_REPORT), values);
    QHash<QString, int> unitIndex;
    while (query.next()) {
        // A pair of months (the orders' days and the liftings'), or a
        // serviceman.
        if (query.value(0).toInt() == 1)
            addMonths(report, monthIndex, query);
        else
            addServiceman(report, unitIndex, query);
    }
    if (!query.isActive()) {
        // No figures at all rather than some of them.
        Report none;
        none.period = period;
        none.unit = unit;
        none.error = failed(query);
        return none;
    }
    finish(report, topCount);
    return report;
}

QStringList units()
{
    QStringList list;
    QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::SELECT_REPORT_UNITS));
    while (query.next())
        list.append(query.value(0).toString());
    Function::sortQListQString(list);
    return list;
}

} // namespace Reports
