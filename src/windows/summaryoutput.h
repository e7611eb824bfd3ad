#ifndef SUMMARYOUTPUT_H
#define SUMMARYOUTPUT_H

class QTableWidget;
class QWidget;

// What the main window makes of its summary table as shown: a file, paper,
// and the service cards of its servicemen. Each asks and tells through boxes
// over `parent`.
namespace SummaryOutput {

// The table saved as a file of the type the user chooses by its name.
void toFile(QWidget *parent, const QTableWidget *table);
// The table printed, once the user confirms it; the page lies on its side
// unless the print dialog says otherwise.
void print(QWidget *parent, const QTableWidget *table);
// The table's print preview.
void preview(QWidget *parent, const QTableWidget *table);
// The service card of the serviceman of the current row.
void cardOfCurrent(QWidget *parent, const QTableWidget *table);
// The service cards of every serviceman the table shows.
void cardsOfShown(QWidget *parent, const QTableWidget *table);

} // namespace SummaryOutput

#endif // SUMMARYOUTPUT_H
