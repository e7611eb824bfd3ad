#include "export/reportexport.h"

#include "export/reporttables.h"

namespace ReportExport {

namespace {

TableExport::Grid grid(const QString &sheet, const QStringList &title, const ReportTables::Table &table)
{
    TableExport::Grid g;
    g.sheet = sheet;
    g.title = title;
    g.header = table.header;
    g.rows = QList<QStringList>(table.rows.cbegin(), table.rows.cend());
    for (int c = table.firstNumber; c < table.header.size(); ++c)
        g.numbers << c;
    return g;
}

} // namespace

QStringList title(const Reports::Report &report)
{
    // The same words as on paper and in the window.
    QString unit = ReportTables::unitText(report.unit.isEmpty() ? QString() : report.unit);
    unit[0] = unit.at(0).toUpper();
    QStringList lines{ReportTables::title() + QLatin1Char(' ') + ReportTables::periodText(report.period), unit};
    const QString undated = ReportTables::undatedLine(report);
    if (!undated.isEmpty())
        lines << undated;
    return lines;
}

QList<TableExport::Grid> grids(const Reports::Report &report)
{
    const QStringList lines = title(report);
    return {grid(QStringLiteral("Подразделения"), lines, ReportTables::summary(report)),
            grid(QStringLiteral("Больше всего взысканий"), lines, ReportTables::top(report)),
            grid(QStringLiteral("По месяцам"), lines, ReportTables::months(report))};
}

bool write(const Reports::Report &report, const QString &fileName, QString *error)
{
    if (TableExport::format(fileName) == TableExport::Format::Workbook)
        return TableExport::writeWorkbook(grids(report), fileName, error);
    return TableExport::writeSpreadsheet(grids(report), fileName, error);
}

} // namespace ReportExport
