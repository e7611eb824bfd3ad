#ifndef COLUMNS_H
#define COLUMNS_H

#include "storage/register/summarycolumns.h"

#include <Qt>

#include <array>

class QTableWidget;

// What the servicemen tables do with the column definitions of
// storage/summarycolumns.h on screen.
namespace Columns {

// The columns of one of the two tables (SummaryColumns::SUMMARY or LIST).
using Layout = std::array<SummaryColumns::Column, SummaryColumns::COUNT>;

// Background of a non-zero count in a count column of the summary.
Qt::GlobalColor countColour(int summaryColumn);

// Both headers of a servicemen table: fixed sections that the user cannot
// drag, framed by a black line.
void fixHeaders(QTableWidget *table);
// The widths, the bold header font and the header texts of a layout.
void applyLayout(QTableWidget *table, const Layout &layout);

// Shares `available` pixels among the shown columns of a table in
// proportion to their widths in the layout (a fitted column counts with
// `fittedWidth`).
void shareWidth(QTableWidget *table, const Layout &layout, int fittedWidth, int available);
// The widths of the layout again (a fitted column gets `fittedWidth`).
void restoreWidths(QTableWidget *table, const Layout &layout, int fittedWidth);

} // namespace Columns

#endif // COLUMNS_H
