#ifndef EXTRACTPRINT_H
#define EXTRACTPRINT_H

#include "export/paper.h"
#include "storage/register/extracts.h"

#include <QString>
#include <QStringList>

#include <vector>

class QWidget;

// The extract from an order ("Выписка из приказа") handed to a serviceman:
// a page of its own for each serviceman the order names, on the usual form:
// the unit's header lines, "ВЫПИСКА ИЗ ПРИКАЗА", who issued the order, its
// date and number, the order's text with the serviceman's rank, name and
// personal number, and "Верно:" with the position, rank and name of whoever
// signs the copy. A text longer than a page goes on over the next.
namespace ExtractPrint {

// What the unit fills once in «Настройки»; an empty value leaves a line to
// write in by hand.
struct Setup
{
    // The header lines that are filled, in their order (at most three).
    QStringList header;
    QString position;
    QString rank;
    QString name;

    // As settings.ini holds it now.
    static Setup stored();
};

// What a page says, paragraph by paragraph, the same on paper and in the
// text file.
struct Paragraph
{
    enum class Kind {
        Header,    // a line of the unit's header, centred
        Title,     // "ВЫПИСКА ИЗ ПРИКАЗА"
        Centered,  // who issued the order; its date and number
        Opening,   // the first line of the order's text
        Body,      // the order's text
        Signature, // "Верно:" and the position
        SignLine,  // the rank, with the name (`trailing`) at the right
    };
    Kind kind;
    QString text;
    QString trailing = QString();
};
std::vector<Paragraph> page(const Extracts::Extract &extract, const Setup &setup);

// The extracts on paper, each starting on a new page.
Paper::Document document(const std::vector<Extracts::Extract> &extracts, const Setup &setup);
// The same as an OpenDocument text file (.odt) to be edited before it is
// printed. On failure returns false, says why in `error` and leaves an
// earlier file as it was.
bool writeOpenDocument(const std::vector<Extracts::Extract> &extracts, const Setup &setup,
                       const QString &fileName, QString *error);

// The command of the orders window: reads the extracts of the order of the
// category `code`, `number` and `date` (of the serviceman `ln`, or of
// everyone the order names when `ln` is empty) and shows them in the print
// preview, from which they are printed or saved as PDF or OpenDocument
// text. Returns, for the window's line, why nothing was shown; empty when
// the preview was.
QString show(QWidget *parent, const QString &code, const QString &number, const QString &date,
             const QString &ln);

} // namespace ExtractPrint

#endif // EXTRACTPRINT_H
