#ifndef REPORTTABLES_H
#define REPORTTABLES_H

#include "storage/reports/report.h"

#include <QStringList>
#include <QVector>

// The commander's report as texts: its title, its period and unit in words
// and its three tables, as the window shows them and the paper prints them.
namespace ReportTables {

struct Table
{
    QStringList header;
    QVector<QStringList> rows;
    // Columns holding numbers (aligned right).
    int firstNumber = 1;
};

// "Воинская дисциплина и поощрения".
QString title();
// "за март 2026 г.", "за I квартал 2026 г.", "за 2026 г." when the period is
// a whole month, quarter or year, else "с 01.02.2026 по 15.03.2026".
QString periodText(const Reports::Period &period);
// A null text: "все подразделения"; an empty one: "без подразделения".
QString unitText(const QString &unit);
// A unit's name in a table or on a chart: the number, or "без подразделения".
QString unitName(const QString &unit);
// "март 2026".
QString monthName(const QDate &month);
// "Приказов без даты: N (не учтены)", or an empty text when there are none.
QString undatedLine(const Reports::Report &report);

// Per unit and the total ("Итого").
Table summary(const Reports::Report &report);
// The servicemen with most penalties in force, numbered.
Table top(const Reports::Report &report);
// Month by month.
Table months(const Reports::Report &report);

} // namespace ReportTables

#endif // REPORTTABLES_H
