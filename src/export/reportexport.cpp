#include "export/reportexport.h"

#include <QLocale>

namespace ReportExport {

namespace {

QString dateText(const QDate &date)
{
    return date.toString(QStringLiteral("dd.MM.yyyy"));
}

QString number(int n)
{
    return QString::number(n);
}

QStringList unitRow(const QString &name, const Reports::UnitFigures &u)
{
    return {name,           number(u.servicemen), number(u.penaltiesImposed), number(u.penaltiesLifted),
            number(u.penaltiesInForce), number(u.thanks), number(u.certificates), number(u.badges),
            number(u.stateAwards),      number(u.veterans)};
}

// "Январь 2026".
QString monthName(const QDate &month)
{
    QString name = QLocale(QLocale::Russian).standaloneMonthName(month.month(), QLocale::LongFormat);
    if (!name.isEmpty())
        name[0] = name.at(0).toUpper();
    return name + QLatin1Char(' ') + number(month.year());
}

} // namespace

QString unitName(const QString &unit)
{
    return unit.isEmpty() ? QStringLiteral("без подразделения") : unit;
}

QStringList title(const Reports::Report &report)
{
    QStringList lines{QStringLiteral("Дисциплина и поощрения с %1 по %2")
                          .arg(dateText(report.period.from), dateText(report.period.to)),
                      report.unit.isEmpty() ? QStringLiteral("Подразделения: все")
                                            : QStringLiteral("Подразделение: %1").arg(report.unit)};
    if (report.undated > 0)
        lines << QStringLiteral("Приказов без даты (учтены отдельно): %1").arg(report.undated);
    return lines;
}

QList<TableExport::Grid> grids(const Reports::Report &report)
{
    const QStringList lines = title(report);
    TableExport::Grid units;
    units.sheet = QStringLiteral("Подразделения");
    units.title = lines;
    units.header = {QStringLiteral("№ ВП"),
                    QStringLiteral("Военнослужащих"),
                    QStringLiteral("Взысканий наложено"),
                    QStringLiteral("Взысканий снято"),
                    QStringLiteral("Взысканий в силе на конец периода"),
                    QStringLiteral("Благодарности"),
                    QStringLiteral("Грамоты"),
                    QStringLiteral("Знаки отличия МО РФ"),
                    QStringLiteral("Государственные награды"),
                    QStringLiteral("Ветеран военной службы")};
    units.numbers = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    for (const Reports::UnitFigures &u : report.units)
        units.rows << unitRow(unitName(u.unit), u);
    units.rows << unitRow(QStringLiteral("Итого"), report.total);

    TableExport::Grid top;
    top.sheet = QStringLiteral("Больше всего взысканий");
    top.title = lines;
    top.header = {QStringLiteral("№"),    QStringLiteral("Личный номер"), QStringLiteral("ФИО"),
                  QStringLiteral("Воинское звание"), QStringLiteral("№ ВП"), QStringLiteral("Взысканий в силе")};
    top.numbers = {0, 5};
    for (int i = 0; i < report.top.size(); ++i) {
        const Reports::TopRow &t = report.top.at(i);
        top.rows << QStringList{number(i + 1), t.ln, t.fio, t.rank, unitName(t.unit), number(t.penaltiesInForce)};
    }

    TableExport::Grid months;
    months.sheet = QStringLiteral("По месяцам");
    months.title = lines;
    months.header = {QStringLiteral("Месяц"), QStringLiteral("Взысканий наложено"), QStringLiteral("Взысканий снято"),
                     QStringLiteral("Поощрений")};
    months.numbers = {1, 2, 3};
    for (const Reports::MonthFigures &m : report.months)
        months.rows << QStringList{monthName(m.month), number(m.penaltiesImposed), number(m.penaltiesLifted),
                                   number(m.incentives)};
    return {units, top, months};
}

bool write(const Reports::Report &report, const QString &fileName, QString *error)
{
    if (TableExport::format(fileName) == TableExport::Format::Workbook)
        return TableExport::writeWorkbook(grids(report), fileName, error);
    return TableExport::writeSpreadsheet(grids(report), fileName, error);
}

} // namespace ReportExport
