#ifndef PAPER_H
#define PAPER_H

#include <QColor>
#include <QFont>
#include <QString>

#include <functional>
#include <memory>
#include <variant>
#include <vector>

class QPaintDevice;
class QPainter;
class QRectF;

// A document laid out page by page on any paint device (printer, PDF file,
// print preview) and painted with QPainter: paragraphs and tables whose
// header row repeats on every page, rows never split across pages (a row
// taller than a page is the one exception), long texts wrapped and never cut.
namespace Paper {

struct Cell
{
    QString text;
    QColor background; // invalid: none
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
};
using Row = std::vector<Cell>;

struct Table
{
    QFont font;
    QFont headerFont;
    // Natural widths in points (1/72 inch). A table wider than the page is
    // narrowed: first the room its texts do not use, then down to the
    // widest word of each column, then every column alike.
    std::vector<qreal> widths;
    Row header; // empty: no header row
    QColor headerBackground;
    // A row of one cell in a table of several columns spans them all, in the
    // header font (a heading within the table).
    std::vector<Row> rows;
};

struct Text
{
    QString text;
    QFont font;
    Qt::Alignment alignment = Qt::AlignLeft;
    qreal spaceBefore = 0; // points
    // Kept on one page with the beginning of the next block.
    bool keepWithNext = false;
    // Painted flush right on the text's last line (a signature's name across
    // from the rank), at most half the page wide; the text wraps short of it.
    QString trailing = QString();
};

// A picture painted by its owner into the room given (a chart): `width` ×
// `height` points, narrowed to the page's width with its height in
// proportion. Never split: where it does not fit it is made smaller, down to
// two thirds of its height, or goes to the next page.
struct Picture
{
    qreal width = 0;
    qreal height = 0;
    std::function<void(QPainter *painter, const QRectF &room)> paint;
};

// A run of pages: it starts on a new page and numbers its own pages. Every
// page carries a line with `line` on the left and "стр. N из M" on the right.
struct Part
{
    QString line;
    bool lineAtTop = true;
    QFont lineFont;
    std::vector<std::variant<Text, Table, Picture>> blocks;
};

struct Document
{
    std::vector<Part> parts;
};

// Told how far the work is (`done` of `total`, what is being done); answers
// false to stop it.
using Progress = std::function<bool(int done, int total, const QString &what)>;

// What laying out has measured on one paint device, kept from one part to
// the next: cards repeat the same issuers and reasons.
class Measures
{
public:
    Measures();
    ~Measures();
    Measures(const Measures &) = delete;
    Measures &operator=(const Measures &) = delete;

    struct Data;
    std::unique_ptr<Data> d;
};

// A document laid out for one paint device.
class Layout
{
public:
    // Lays the document out for pages of `pageWidth` × `pageHeight` device
    // pixels (the printable area). Returns null when the progress stopped it.
    // With `part` >= 0 only that part is laid out (the parts number their
    // pages each on its own, so a long run of parts goes one at a time).
    static std::unique_ptr<Layout> make(const Document &document, const QPaintDevice *device, qreal pageWidth,
                                        qreal pageHeight, const Progress &progress = {}, int part = -1,
                                        Measures *measures = nullptr);
    ~Layout();

    int pageCount() const;
    // The texts of one page's table rows, header rows included, as painted
    // (for checking pagination): one list of cell texts per row.
    std::vector<std::vector<QString>> tableRows(int page) const;

    // Paints one page with its top left corner at the painter's origin.
    // Greyscale makes the backgrounds light greys that keep the text legible.
    void paint(QPainter *painter, int page, bool greyscale) const;

    struct Data;

private:
    explicit Layout(std::unique_ptr<Data> data);
    std::unique_ptr<Data> d;
};

// The grey a background colour prints as on a greyscale printer: light
// enough for black text, the colours still told apart.
QColor greyOf(const QColor &colour);

} // namespace Paper

#endif // PAPER_H
