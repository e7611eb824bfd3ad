#ifndef REPORTCHARTS_H
#define REPORTCHARTS_H

#include "storage/reports/report.h"

#include <QFont>

class QChart;
class QPainter;
class QRectF;

// The commander's report as pictures, drawn with Qt Charts: bars per unit
// and lines by month. The same charts go on the screen and on paper.
namespace ReportCharts {

// Penalties imposed, lifted and in force, and incentives given, per unit
// (the units of the report; the total alone when it has none). A chart
// without a parent, for a chart view or for paint().
QChart *units(const Reports::Report &report, const QFont &font = QFont());
// The units' names behind the numbers under the bars, "Подразделения: 1 —
// ремонтный взвод; 2 — …", where the names are too long to stand there
// whole; else an empty text.
QString unitKey(const Reports::Report &report);
// Penalties imposed and lifted and incentives given, month by month.
QChart *months(const Reports::Report &report, const QFont &font = QFont());

// Paints a chart into `room` of any painter (a printer's, a PDF writer's):
// the chart is laid out as on a screen of the room's size in inches and
// scaled into it, so its texts keep their size relative to the chart. Give
// it a chart made with a font of a pixel size (see paperFont()): a font in
// points would be sized again for the printer. The chart is deleted.
void paint(QChart *chart, QPainter *painter, const QRectF &room);

// The font of charts that are painted on paper: that of the screen, in pixels.
QFont paperFont(const QFont &screen = QFont());

} // namespace ReportCharts

#endif // REPORTCHARTS_H
