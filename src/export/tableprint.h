#ifndef TABLEPRINT_H
#define TABLEPRINT_H

#include "export/paper.h"

#include <QDate>

class QTableWidget;

// The summary table on paper.
namespace TablePrint {

// The pages of a table as the user sees it: the rows it holds and the
// columns it shows, in its fonts and cell colours, the header row on every
// page, and on every page the line "Сводная таблица", the category shown when
// the table shows only one, the date of printing and the page number.
Paper::Document document(const QTableWidget *table, const QDate &printed);

// The category the table is narrowed to (the header of the one count column
// shown, on one line), or an empty text when it shows them all or none.
QString shownCategory(const QTableWidget *table);

} // namespace TablePrint

#endif // TABLEPRINT_H
