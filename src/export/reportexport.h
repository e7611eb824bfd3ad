#ifndef REPORTEXPORT_H
#define REPORTEXPORT_H

#include "export/tableexport.h"
#include "storage/reports/report.h"

#include <QList>
#include <QString>
#include <QStringList>

// The commander's report as tables and files: a table per tab of the window
// (the units with the total, the servicemen with most penalties in force,
// the months), each under the report's title.
namespace ReportExport {

// The title lines, in the words the window and the paper use: the title
// with the period, the unit (or all), and the orders without a date when
// there are any.
QStringList title(const Reports::Report &report);
// The three tables, with the title above each.
QList<TableExport::Grid> grids(const Reports::Report &report);
// Writes the report as an Excel 2007+ workbook (.xlsx) or an OpenDocument
// spreadsheet (any other name, .ods), a sheet per table. On failure returns
// false, says why in `error` and leaves an earlier file as it was.
bool write(const Reports::Report &report, const QString &fileName, QString *error);

} // namespace ReportExport

#endif // REPORTEXPORT_H
