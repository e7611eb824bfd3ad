#ifndef PAPERLAYOUT_H
#define PAPERLAYOUT_H

// What the phases of laying out a document share: the measuring of texts
// (papertext.cpp), the measuring of blocks and columns (papermeasure.cpp),
// the breaking into pages (paperpages.cpp) and the painting of a page
// (paperpaint.cpp). Used by these files only; callers include paper.h.

#include "export/paper.h"

#include <QHash>
#include <QPair>

#include <algorithm>

class TextWidths;

namespace Paper {

// Room around a cell's text and the grid line, in points.
constexpr qreal CELL_PADDING_X = 2.5;
constexpr qreal CELL_PADDING_Y = 1.5;
constexpr qreal GRID_WIDTH = 0.5;
// Between the page line and the body, in points.
constexpr qreal LINE_GAP = 6;
// Between a text and the trailing text on its last line, in points.
constexpr qreal TRAILING_GAP = 12;
// Rows between two reports of progress while laying out.
constexpr int REPORT_EVERY = 512;

// One line of a wrapped text: a piece of the text and its width.
struct Line
{
    int start;
    int length;
    float width;
};

// How a text lies in its room: `lines` lines; with `first` < 0 the whole
// text on one line `width` wide, else lines[first .. first + lines) of the pool.
struct Shape
{
    float width = 0;
    int lines = 0;
    int first = -1;
};

// What is known of one text before the widths are settled.
struct Measure
{
    qreal oneLine = -1; // < 0: the text has line breaks of its own
    qreal widestWord = 0;
};

// Texts in one font on one device: measured once per distinct text.
class Shaper
{
public:
    Shaper(const QFont &font, const QPaintDevice *device);

    qreal width(const QString &text);
    Measure measure(const QString &text);
    // The lines of a text within `room` pixels, with its one-line width
    // known (or < 0 for a text with line breaks).
    Shape shape(const QString &text, qreal oneLine, qreal room, std::vector<Line> &pool);

    qreal lineHeight = 0;
    qreal ascent = 0;

private:
    Shape wrapWords(const QString &text, qreal room, std::vector<Line> &pool);
    Shape wrapLaidOut(const QString &text, qreal room, std::vector<Line> &pool);
    qreal widestWord(const QString &text);

    QFont m_font;
    const QPaintDevice *m_device;
    TextWidths &m_widths;
    // Texts already wrapped, by text and room.
    QHash<QPair<QString, int>, std::vector<Line>> m_wrapped;
};

struct Measures::Data
{
    const QPaintDevice *device = nullptr;
    std::vector<std::pair<QFont, std::unique_ptr<Shaper>>> shapers;

    // The shaper of a font, made on first use.
    Shaper &shaper(const QFont &font);
};

// A row of one cell in a table of several columns: a heading across it.
inline bool spansTable(const Row &row, size_t columns)
{
    return row.size() == 1 && columns > 1;
}

struct LaidText
{
    const Text *source;
    std::vector<Line> lines;
    qreal lineHeight;
    qreal ascent;
    qreal spaceBefore;
    // The room of the trailing text at the right of the last line.
    qreal trailingWidth = 0;
};

struct LaidTable
{
    const Table *source;
    std::vector<qreal> x; // left edge of every column, and the right edge of the last
    qreal padX, padY;
    qreal lineHeight, ascent, headerLineHeight, headerAscent;
    std::vector<Shape> header;
    std::vector<Shape> cells; // row by row
    std::vector<Line> pool;
    std::vector<int> rowLines;
    int headerLines = 0;

    qreal rowHeight(int lines) const { return std::max(lines, 1) * lineHeight + 2 * padY; }
    qreal headerHeight() const
    {
        return source->header.empty() ? 0 : std::max(headerLines, 1) * headerLineHeight + 2 * padY;
    }
};

struct LaidPicture
{
    const Picture *source;
    qreal width;
    qreal height;
};

// A piece of a page: the lines [firstLine, firstLine + lineCount) of a text,
// or a table row (row -1: the header row), whole (lineCount < 0) or the
// slice of its lines that fits when it is taller than a page.
struct Item
{
    int block;
    int row;
    int firstLine;
    int lineCount;
    qreal y;
    qreal height;
};

struct Page
{
    int part;
    int number;
    int count;
    std::vector<Item> items;
};

struct Layout::Data
{
    const Document *document = nullptr;
    qreal pageWidth = 0;
    qreal pageHeight = 0;
    qreal dpi = 0;
    // The height of the page line and the gap under (or over) it.
    qreal lineBand = 0;
    // Every block of the parts laid out, in order: an index into `texts`,
    // `tables` or `pictures`, the others -1.
    std::vector<int> blockText;
    std::vector<int> blockTable;
    std::vector<int> blockPicture;
    std::vector<LaidText> texts;
    std::vector<LaidTable> tables;
    std::vector<LaidPicture> pictures;
    std::vector<Page> pages;

    // The parts laid out: [firstPart, endPart).
    int firstPart = 0;
    int endPart = 0;
};

// The progress of laying out, counted in table rows (a text counts as one).
class Preparing
{
public:
    Preparing(const Progress &progress, int total)
        : m_progress(progress)
        , m_total(total)
    {
    }

    // Counts `rows` more done and tells it; false when the progress stopped.
    bool step(int rows)
    {
        m_done += rows;
        return !m_progress || m_progress(m_done, m_total, QStringLiteral("Подготовка страниц"));
    }

private:
    const Progress &m_progress;
    int m_total;
    int m_done = 0;
};

// Measures every block of the parts laid out against the width of the page:
// the lines of the texts, the widths of the table columns and the lines of
// every cell. False when the progress stopped it.
bool measureBlocks(Layout::Data &layout, Measures::Data &measures, Preparing &preparing);

// Breaks the measured blocks into pages. False when the progress stopped it.
bool breakPages(Layout::Data &layout, Preparing &preparing);

} // namespace Paper

#endif // PAPERLAYOUT_H
