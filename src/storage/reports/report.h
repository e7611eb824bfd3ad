#ifndef REPORT_H
#define REPORT_H

#include <QDate>
#include <QString>
#include <QVector>

// The commander's report: discipline and incentives over a period, per unit
// (the serviceman's "№ ВП") and in total. Storage only: the figures are
// counted by the database in as few statements as it can; the window, the
// charts, the paper and the files take them from here.
namespace Reports {

// Both ends included; dates are compared as dates, never as texts.
struct Period
{
    QDate from;
    QDate to;
};

// The figures of one unit, or of all of them (the total row).
struct UnitFigures
{
    QString unit;            // "№ ВП"; empty for servicemen without a unit
    int servicemen = 0;
    int penaltiesImposed = 0; // penalty orders dated in the period
    int penaltiesLifted = 0;  // penalties whose lifting is dated in the period
    int penaltiesInForce = 0; // imposed by the period's end and not lifted by then
    int thanks = 0;           // given in the period, one per category
    int certificates = 0;
    int badges = 0;
    int stateAwards = 0;
    int veterans = 0;
};

// A serviceman among those with most penalties in force at the period's end.
struct TopRow
{
    QString ln;
    QString fio;
    QString unit;
    QString rank;
    int penaltiesInForce = 0;
};

// One month of the period (the first and last may be partial).
struct MonthFigures
{
    QDate month; // the month's first day
    int penaltiesImposed = 0;
    int penaltiesLifted = 0;
    int incentives = 0; // thanks, certificates, badges, state awards, veterans
};

struct Report
{
    Period period;
    QString unit;                // empty: all units
    QVector<UnitFigures> units;  // in the units' natural order
    UnitFigures total;
    QVector<TopRow> top;         // most penalties in force first
    QVector<MonthFigures> months;
    int undated = 0;             // orders whose stored date is not a date
    QString error;               // plain Russian; empty on success
};

// Counts the report over the program's connection (a file or a server).
// unit empty: all units; topCount: how many rows the second tab lists
// (negative: every serviceman with a penalty in force, as the window, the
// paper and the files list them).
Report build(const Period &period, const QString &unit = QString(), int topCount = -1);

// The units present in the register, in their natural order (for the
// window's choice of unit).
QStringList units();

} // namespace Reports

#endif // REPORT_H
