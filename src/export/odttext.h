#ifndef ODTTEXT_H
#define ODTTEXT_H

#include <QByteArray>
#include <QString>

#include <functional>

class QXmlStreamWriter;

// What the program's OpenDocument text files (.odt) share: an A4 upright
// page with margins of 2 cm, the font "Times New Roman" declared once,
// paragraph styles written one way, and the archive written whole or not at
// all.
namespace OdtText {

inline constexpr double PAGE_WIDTH_CM = 21.0;
inline constexpr double PAGE_HEIGHT_CM = 29.7;
inline constexpr double MARGIN_CM = 2.0;
inline constexpr double TEXT_WIDTH_CM = PAGE_WIDTH_CM - 2 * MARGIN_CM;

// The one font family of the documents.
QString family();

// A length as the files write it: "1.250cm".
QString centimetres(double cm);

// Begins a part of the file (content.xml or styles.xml): the namespaces,
// the root element `root` (left open) and the declaration of the font.
void start(QXmlStreamWriter &xml, const QString &root);

// An automatic paragraph style `name` in the font at `points`, bold when
// asked; `paragraphProperties` writes the attributes of its
// paragraph-properties element when given.
void paragraphStyle(QXmlStreamWriter &xml, const QString &name, double points, bool bold,
                    const std::function<void()> &paragraphProperties = {});

// A paragraph of the style `name`; `trailing`, when given, follows the text
// after a tab.
void paragraph(QXmlStreamWriter &xml, const QString &style, const QString &text,
               const QString &trailing = QString());

// styles.xml: the page and the default paragraph font (11 points, Russian).
QByteArray styles();

// Writes the text file of `content` (content.xml) with styles(). On failure
// returns false, says why in `error` and leaves an earlier file as it was.
bool write(const QByteArray &content, const QString &fileName, QString *error);

} // namespace OdtText

#endif // ODTTEXT_H
