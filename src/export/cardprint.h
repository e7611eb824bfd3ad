#ifndef CARDPRINT_H
#define CARDPRINT_H

#include "export/paper.h"
#include "storage/register/cards.h"

#include <QDate>
#include <QStringList>

#include <vector>

class QWidget;

// The service card ("Служебная карточка") of a serviceman: his particulars,
// then a section per category with his orders in date order, their counts
// and the names of their documents, and the date the card was made.
namespace CardPrint {

// The cards on paper, each starting on a new page.
Paper::Document document(const std::vector<Cards::Card> &cards, const QDate &made);
// The same as an OpenDocument text file (.odt): the tables' columns as wide
// as their contents ask, no word broken where the page has room, a section's
// heading and header row kept with its first rows. On failure returns false,
// says why in `error` and leaves an earlier file as it was.
bool writeOpenDocument(const std::vector<Cards::Card> &cards, const QDate &made, const QString &fileName,
                       QString *error);

// The command of the windows: reads the cards of these servicemen and shows
// them in the print preview, from which they are printed or saved as PDF or
// OpenDocument text. Says plainly when a serviceman is no longer there.
void show(QWidget *parent, const QStringList &personalNumbers);

} // namespace CardPrint

#endif // CARDPRINT_H
