#ifndef REPORTPRINT_H
#define REPORTPRINT_H

#include "export/paper.h"
#include "storage/reports/report.h"

#include <QDate>
#include <QFont>

// The commander's report on paper: the title with the period and the unit,
// the summary per unit with its bar chart, the servicemen with most
// penalties in force and the course by month with its line chart; on every
// page the title line and "стр. N из M". Laid out for landscape pages.
namespace ReportPrint {

Paper::Document document(const Reports::Report &report, const QDate &printed, const QFont &font = QFont());

} // namespace ReportPrint

#endif // REPORTPRINT_H
