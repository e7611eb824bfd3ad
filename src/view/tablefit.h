#ifndef TABLEFIT_H
#define TABLEFIT_H

#include <QStringList>

#include <vector>

class QTableView;

// Fitting of table rows and columns to their texts.
namespace TableFit {

// Gives every row (or only the rows `only`) the height
// QTableView::resizeRowsToContents() would give it, measuring only the rows
// whose texts do not fit on one line.
void fitRowHeights(QTableView *table, const std::vector<int> *only = nullptr);
// Gives a column the width QTableView::resizeColumnToContents() would give
// it, considering every row and measuring only the widest candidates.
// With `texts` the width is that which a column holding exactly those
// plain texts would get.
void fitColumnWidth(QTableView *table, int column, const QStringList *texts = nullptr);

} // namespace TableFit

#endif // TABLEFIT_H
