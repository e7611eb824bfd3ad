#include "export/paper.h"

#include "view/textwidths.h"

#include <QHash>
#include <QLineF>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace Paper {

namespace {

// Room around a cell's text and the grid line, in points.
constexpr qreal CELL_PADDING_X = 2.5;
constexpr qreal CELL_PADDING_Y = 1.5;
constexpr qreal GRID_WIDTH = 0.5;
// Between the page line and the body, in points.
constexpr qreal LINE_GAP = 6;
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
    Shaper(const QFont &font, const QPaintDevice *device)
        : m_font(font)
        , m_device(device)
        , m_widths(TextWidths::of(font, device))
    {
        const QFontMetricsF &m = m_widths.metrics();
        lineHeight = m.lineSpacing();
        ascent = m.ascent();
    }

    qreal width(const QString &text)
    {
        const qreal w = m_widths.estimate(text);
        return w >= 0 ? w : m_widths.measure(text);
    }

    Measure measure(const QString &text)
    {
        Measure m;
        if (text.contains(QLatin1Char('\n'))) {
            for (const QString &piece : text.split(QLatin1Char('\n')))
                m.widestWord = std::max(m.widestWord, widestWord(piece));
            return m;
        }
        m.oneLine = width(text);
        m.widestWord = text.contains(QLatin1Char(' ')) ? widestWord(text) : m.oneLine;
        return m;
    }

    // The lines of a text within `room` pixels, with its one-line width
    // known (or < 0 for a text with line breaks).
    Shape shape(const QString &text, qreal oneLine, qreal room, std::vector<Line> &pool)
    {
        if (text.isEmpty())
            return Shape{0, 0, -1};
        // A pairwise estimate can miss a hair: only a text with room to
        // spare is taken as fitting without laying it out.
        if (oneLine >= 0 && oneLine + oneLine / 50 + 1 <= room)
            return Shape{static_cast<float>(oneLine), 1, -1};
        if (oneLine >= 0) {
            const Shape quick = wrapWords(text, room, pool);
            if (quick.lines > 0)
                return quick;
        }
        const QPair<QString, int> key(text, static_cast<int>(std::lround(room * 16)));
        const auto known = m_wrapped.constFind(key);
        if (known != m_wrapped.constEnd()) {
            Shape s;
            s.first = static_cast<int>(pool.size());
            for (const Line &line : *known) {
                pool.push_back(line);
                s.width = std::max(s.width, line.width);
                ++s.lines;
            }
            return s;
        }
        QString laid = text;
        laid.replace(QLatin1Char('\n'), QChar::LineSeparator);
        QTextLayout layout(laid, m_font, m_device);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        Shape s;
        s.first = static_cast<int>(pool.size());
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(std::max<qreal>(room, 1));
            const qreal w = line.naturalTextWidth();
            pool.push_back(Line{line.textStart(), line.textLength(), static_cast<float>(w)});
            s.width = std::max(s.width, static_cast<float>(w));
            ++s.lines;
        }
        layout.endLayout();
        if (m_wrapped.size() > 20000)
            m_wrapped.clear();
        m_wrapped.insert(key, std::vector<Line>(pool.begin() + s.first, pool.end()));
        return s;
    }

    qreal lineHeight = 0;
    qreal ascent = 0;

private:
    // Plain words wrapped at the blanks between them, measured by estimate:
    // what the text layout would give, far cheaper. No lines when a word is
    // wider than the room or holds what the estimate does not cover.
    Shape wrapWords(const QString &text, qreal room, std::vector<Line> &pool)
    {
        const size_t mark = pool.size();
        Shape s;
        s.first = static_cast<int>(mark);
        const int size = static_cast<int>(text.size());
        int lineStart = 0;
        int lineEnd = 0; // end of the last word that fits on the line
        qreal lineWidth = 0;
        int i = 0;
        auto fail = [&] {
            pool.resize(mark);
            return Shape{0, 0, -1};
        };
        while (i < size) {
            while (i < size && text.at(i) == QLatin1Char(' '))
                ++i;
            if (i >= size)
                break;
            int end = i;
            while (end < size && text.at(end) != QLatin1Char(' '))
                ++end;
            const qreal w = m_widths.estimate(QStringView(text).mid(lineStart, end - lineStart));
            if (w < 0)
                return fail();
            if (w + w / 50 + 1 <= room || lineEnd == lineStart) {
                if (lineEnd == lineStart && w + w / 50 + 1 > room)
                    return fail(); // a word wider than the room
                lineEnd = end;
                lineWidth = w;
            } else {
                pool.push_back(Line{lineStart, lineEnd - lineStart, static_cast<float>(lineWidth)});
                lineStart = i;
                const qreal word = m_widths.estimate(QStringView(text).mid(i, end - i));
                if (word < 0 || word + word / 50 + 1 > room)
                    return fail();
                lineEnd = end;
                lineWidth = word;
            }
            i = end;
        }
        if (lineEnd > lineStart)
            pool.push_back(Line{lineStart, lineEnd - lineStart, static_cast<float>(lineWidth)});
        for (size_t k = mark; k < pool.size(); ++k) {
            s.width = std::max(s.width, pool[k].width);
            ++s.lines;
        }
        return s;
    }

    qreal widestWord(const QString &text)
    {
        qreal widest = 0;
        for (const QStringView word : QStringView(text).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const qreal w = m_widths.estimate(word);
            widest = std::max(widest, w >= 0 ? w : m_widths.measure(word.toString()));
        }
        return widest;
    }

    QFont m_font;
    const QPaintDevice *m_device;
    TextWidths &m_widths;
    // Texts already wrapped, by text and room.
    QHash<QPair<QString, int>, std::vector<Line>> m_wrapped;
};

// The text of one line as it is painted: without the line break and the
// blanks at its end.
QString lineText(const QString &text, const Line &line)
{
    int end = line.start + line.length;
    while (end > line.start) {
        const QChar c = text.at(end - 1);
        if (c != QLatin1Char('\n') && c != QChar::LineSeparator && c != QLatin1Char(' '))
            break;
        --end;
    }
    return text.mid(line.start, end - line.start);
}

// Settles the widths of a table within `room`: natural widths where they
// fit, widened where a text would wrap and the page has room; else the room
// the texts leave unused goes first, then each column narrows down to its
// widest word, then all narrow alike.
std::vector<qreal> fitWidths(std::vector<qreal> natural, const std::vector<qreal> &comfortable,
                             const std::vector<qreal> &minimum, qreal room)
{
    const size_t n = natural.size();
    qreal total = 0;
    for (size_t i = 0; i < n; ++i) {
        natural[i] = std::max(natural[i], minimum[i]);
        total += natural[i];
    }
    if (total <= room) {
        // Room to spare goes to the columns whose texts would wrap.
        qreal wanted = 0;
        for (size_t i = 0; i < n; ++i)
            wanted += std::max<qreal>(0, comfortable[i] - natural[i]);
        const qreal share = wanted > 0 ? std::min<qreal>(1, (room - total) / wanted) : 0;
        for (size_t i = 0; i < n; ++i)
            natural[i] += std::max<qreal>(0, comfortable[i] - natural[i]) * share;
        return natural;
    }
    auto shrink = [&](const std::vector<qreal> &from, const std::vector<qreal> &to, qreal excess) {
        qreal slack = 0;
        for (size_t i = 0; i < n; ++i)
            slack += from[i] - to[i];
        std::vector<qreal> out(n);
        const qreal share = slack > 0 ? std::min<qreal>(1, excess / slack) : 0;
        for (size_t i = 0; i < n; ++i)
            out[i] = from[i] - (from[i] - to[i]) * share;
        return out;
    };
    std::vector<qreal> easy(n);
    qreal easyTotal = 0;
    for (size_t i = 0; i < n; ++i) {
        easy[i] = std::clamp(comfortable[i], minimum[i], natural[i]);
        easyTotal += easy[i];
    }
    if (easyTotal <= room)
        return shrink(natural, easy, total - room);
    qreal minimumTotal = 0;
    for (size_t i = 0; i < n; ++i)
        minimumTotal += minimum[i];
    if (minimumTotal <= room)
        return shrink(easy, minimum, easyTotal - room);
    std::vector<qreal> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = minimum[i] * room / minimumTotal;
    return out;
}

// Texts start on whole device pixels: on a printer's fine grid nothing
// shows, and the positions written into a PDF file come out short and alike,
// which keeps the file small.
QPointF at(qreal x, qreal y)
{
    return QPointF(std::round(x), std::round(y));
}

QColor opaque(const QColor &colour)
{
    if (colour.alpha() == 255)
        return colour;
    const qreal a = colour.alphaF();
    auto over = [a](int c) { return static_cast<int>(std::lround(c * a + 255 * (1 - a))); };
    return QColor(over(colour.red()), over(colour.green()), over(colour.blue()));
}

} // namespace

QColor greyOf(const QColor &colour)
{
    const int g = qGray(opaque(colour).rgb());
    return QColor(128 + g / 2, 128 + g / 2, 128 + g / 2);
}

struct Measures::Data
{
    const QPaintDevice *device = nullptr;
    std::vector<std::pair<QFont, std::unique_ptr<Shaper>>> shapers;
};

Measures::Measures()
    : d(std::make_unique<Data>())
{
}

Measures::~Measures() = default;

struct LaidText
{
    const Text *source;
    std::vector<Line> lines;
    qreal lineHeight;
    qreal ascent;
    qreal spaceBefore;
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
    const Document *document;
    qreal pageWidth;
    qreal pageHeight;
    qreal dpi;
    qreal lineBand;
    std::vector<int> blockPart;
    std::vector<int> blockText; // index into texts, or -1
    std::vector<int> blockTable; // index into tables, or -1
    std::vector<LaidText> texts;
    std::vector<LaidTable> tables;
    std::vector<Page> pages;
};

Layout::Layout(std::unique_ptr<Data> data)
    : d(std::move(data))
{
}

Layout::~Layout() = default;

int Layout::pageCount() const
{
    return static_cast<int>(d->pages.size());
}

std::unique_ptr<Layout> Layout::make(const Document &document, const QPaintDevice *device, qreal pageWidth,
                                     qreal pageHeight, const Progress &progress, int onlyPart, Measures *measures)
{
    auto data = std::make_unique<Data>();
    Data &l = *data;
    l.document = &document;
    l.pageWidth = pageWidth;
    l.pageHeight = pageHeight;
    l.dpi = device->logicalDpiY();
    const qreal pt = l.dpi / 72.0;

    // One shaper per font for the whole document, or for every part laid
    // out with the same measures.
    Measures own;
    if (measures && !measures->d->device)
        measures->d->device = device;
    if (!measures || measures->d->device != device) {
        measures = &own;
        measures->d->device = device;
    }
    std::vector<std::pair<QFont, std::unique_ptr<Shaper>>> &shapers = measures->d->shapers;
    auto shaperOf = [&](const QFont &font) -> Shaper & {
        for (auto &known : shapers)
            if (known.first == font)
                return *known.second;
        shapers.emplace_back(font, std::make_unique<Shaper>(font, device));
        return *shapers.back().second;
    };
    const int firstPart = onlyPart < 0 ? 0 : onlyPart;
    const int endPart = onlyPart < 0 ? static_cast<int>(document.parts.size()) : onlyPart + 1;

    int totalRows = 0;
    for (int p = firstPart; p < endPart; ++p)
        for (const auto &block : document.parts[static_cast<size_t>(p)].blocks)
            totalRows += std::holds_alternative<Table>(block) ? static_cast<int>(std::get<Table>(block).rows.size())
                                                             : 1;
    int doneRows = 0;
    const QString preparing = QStringLiteral("Подготовка страниц");
    auto report = [&](int step) {
        doneRows += step;
        return !progress || progress(doneRows, totalRows, preparing);
    };

    // Every block measured against the width of the page.
    for (int p = firstPart; p < endPart; ++p) {
        const Part &part = document.parts[static_cast<size_t>(p)];
        l.lineBand = std::max(l.lineBand, shaperOf(part.lineFont).lineHeight + LINE_GAP * pt);
        for (const auto &block : part.blocks) {
            l.blockPart.push_back(p);
            if (const Text *text = std::get_if<Text>(&block)) {
                Shaper &shaper = shaperOf(text->font);
                LaidText t{text, {}, shaper.lineHeight, shaper.ascent, text->spaceBefore * pt};
                const Shape s = shaper.shape(text->text, shaper.measure(text->text).oneLine, pageWidth, t.lines);
                if (s.first < 0 && s.lines == 1)
                    t.lines.push_back(Line{0, static_cast<int>(text->text.size()), s.width});
                l.blockText.push_back(static_cast<int>(l.texts.size()));
                l.blockTable.push_back(-1);
                l.texts.push_back(std::move(t));
                if (!report(1))
                    return nullptr;
                continue;
            }
            const Table &table = std::get<Table>(block);
            const size_t columns = table.widths.size();
            Shaper &body = shaperOf(table.font);
            Shaper &head = shaperOf(table.headerFont);
            LaidTable t;
            t.source = &table;
            t.padX = CELL_PADDING_X * pt;
            t.padY = CELL_PADDING_Y * pt;
            t.lineHeight = body.lineHeight;
            t.ascent = body.ascent;
            t.headerLineHeight = head.lineHeight;
            t.headerAscent = head.ascent;

            // First pass: what each column's texts need.
            std::vector<QHash<QString, Measure>> known(columns);
            std::vector<qreal> comfortable(columns, 0);
            std::vector<qreal> minimum(columns, 0);
            std::vector<qreal> natural(columns);
            for (size_t c = 0; c < columns; ++c) {
                natural[c] = table.widths[c] * pt;
                if (c < table.header.size()) {
                    const Measure m = head.measure(table.header[c].text);
                    const qreal one = m.oneLine >= 0 ? m.oneLine : 0;
                    comfortable[c] = std::max(comfortable[c], std::max(one, m.widestWord));
                    minimum[c] = std::max(minimum[c], m.widestWord);
                }
            }
            for (size_t r = 0; r < table.rows.size(); ++r) {
                const Row &row = table.rows[r];
                if (row.size() == 1 && columns > 1)
                    continue; // a heading across the table
                for (size_t c = 0; c < columns && c < row.size(); ++c) {
                    const QString &text = row[c].text;
                    auto found = known[c].constFind(text);
                    if (found == known[c].constEnd())
                        found = known[c].insert(text, body.measure(text));
                    comfortable[c] = std::max(comfortable[c], std::max(found->oneLine, found->widestWord));
                    minimum[c] = std::max(minimum[c], found->widestWord);
                }
                if ((r + 1) % REPORT_EVERY == 0 && !report(0))
                    return nullptr;
            }
            for (size_t c = 0; c < columns; ++c) {
                comfortable[c] += 2 * t.padX + 1;
                // A word wider than a third of the page breaks rather than
                // narrowing every other column.
                minimum[c] = std::min(minimum[c], pageWidth / 3) + 2 * t.padX + 1;
            }
            const std::vector<qreal> widths = fitWidths(natural, comfortable, minimum, pageWidth);
            t.x.push_back(0);
            for (const qreal w : widths)
                t.x.push_back(t.x.back() + w);

            // Second pass: the lines of every cell in its settled width.
            for (size_t c = 0; c < columns && c < table.header.size(); ++c) {
                const QString &text = table.header[c].text;
                const Shape s = head.shape(text, head.measure(text).oneLine, widths[c] - 2 * t.padX, t.pool);
                t.header.push_back(s);
                t.headerLines = std::max(t.headerLines, s.lines);
            }
            std::vector<QHash<QString, Shape>> shapes(columns);
            t.cells.resize(table.rows.size() * columns);
            t.rowLines.resize(table.rows.size());
            for (size_t r = 0; r < table.rows.size(); ++r) {
                const Row &row = table.rows[r];
                int lines = 1;
                if (row.size() == 1 && columns > 1) {
                    const QString &text = row.front().text;
                    const Shape s = head.shape(text, head.measure(text).oneLine, t.x.back() - 2 * t.padX, t.pool);
                    t.cells[r * columns] = s;
                    // Counted in body lines, so that a page holds it whole.
                    t.rowLines[r] = std::max(1, static_cast<int>(std::ceil(s.lines * head.lineHeight / body.lineHeight)));
                    continue;
                }
                for (size_t c = 0; c < columns && c < row.size(); ++c) {
                    const QString &text = row[c].text;
                    auto found = shapes[c].constFind(text);
                    if (found == shapes[c].constEnd())
                        found = shapes[c].insert(
                            text, body.shape(text, known[c].value(text).oneLine, widths[c] - 2 * t.padX, t.pool));
                    t.cells[r * columns + c] = *found;
                    lines = std::max(lines, found->lines);
                }
                t.rowLines[r] = lines;
                if ((r + 1) % REPORT_EVERY == 0 && !report(REPORT_EVERY))
                    return nullptr;
            }
            report(static_cast<int>(table.rows.size() % REPORT_EVERY));
            l.blockText.push_back(-1);
            l.blockTable.push_back(static_cast<int>(l.tables.size()));
            l.tables.push_back(std::move(t));
        }
    }

    // Pagination.
    const qreal fullHeight = pageHeight - l.lineBand;
    int block = 0;
    for (int p = firstPart; p < endPart; ++p) {
        const Part &part = document.parts[static_cast<size_t>(p)];
        const qreal top = part.lineAtTop ? l.lineBand : 0;
        const qreal bottom = top + fullHeight;
        const int firstPage = static_cast<int>(l.pages.size());
        qreal y = top;
        auto newPage = [&] {
            l.pages.push_back(Page{p, static_cast<int>(l.pages.size()) - firstPage + 1, 0, {}});
            y = top;
        };
        newPage();
        // The height the beginning of a block needs on the page it starts on.
        auto opening = [&](int b) -> qreal {
            if (l.blockText[static_cast<size_t>(b)] >= 0) {
                const LaidText &t = l.texts[static_cast<size_t>(l.blockText[static_cast<size_t>(b)])];
                return t.spaceBefore + std::min<qreal>(t.lines.size(), 2) * t.lineHeight;
            }
            const LaidTable &t = l.tables[static_cast<size_t>(l.blockTable[static_cast<size_t>(b)])];
            const qreal first = t.rowLines.empty() ? 0 : t.rowHeight(std::min(t.rowLines.front(), 2));
            return t.headerHeight() + first;
        };
        const int blocks = static_cast<int>(part.blocks.size());
        for (int i = 0; i < blocks; ++i, ++block) {
            const bool atTop = l.pages.back().items.empty();
            if (l.blockText[static_cast<size_t>(block)] >= 0) {
                const LaidText &t = l.texts[static_cast<size_t>(l.blockText[static_cast<size_t>(block)])];
                const int count = static_cast<int>(t.lines.size());
                qreal height = (atTop ? 0 : t.spaceBefore) + count * t.lineHeight;
                if (t.source->keepWithNext && i + 1 < blocks)
                    height += opening(block + 1);
                if (!atTop && y + std::min(height, fullHeight) > bottom) {
                    newPage();
                } else if (!atTop) {
                    y += t.spaceBefore;
                }
                int first = 0;
                while (first < count || count == 0) {
                    const int fit = std::max(1, static_cast<int>((bottom - y + 0.01) / t.lineHeight));
                    const int n = std::min(fit, count - first);
                    l.pages.back().items.push_back(Item{block, -1, first, std::max(n, 0), y, n * t.lineHeight});
                    y += std::max(n, 0) * t.lineHeight;
                    first += n;
                    if (count == 0)
                        break;
                    if (first < count)
                        newPage();
                }
                continue;
            }
            const LaidTable &t = l.tables[static_cast<size_t>(l.blockTable[static_cast<size_t>(block)])];
            const qreal headerHeight = t.headerHeight();
            if (!atTop && y + opening(block) > bottom)
                newPage();
            auto putHeader = [&] {
                if (headerHeight > 0) {
                    l.pages.back().items.push_back(Item{block, -1, 0, -1, y, headerHeight});
                    y += headerHeight;
                }
            };
            putHeader();
            const qreal bodyRoom = fullHeight - headerHeight;
            for (int r = 0; r < static_cast<int>(t.rowLines.size()); ++r) {
                const qreal h = t.rowHeight(t.rowLines[static_cast<size_t>(r)]);
                if (h <= bodyRoom) {
                    if (y + h > bottom + 0.01) {
                        newPage();
                        putHeader();
                    }
                    l.pages.back().items.push_back(Item{block, r, 0, -1, y, h});
                    y += h;
                } else {
                    // Taller than a page: it starts on a page of its own
                    // and goes on over as many as it needs, in whole lines.
                    if (y > top + headerHeight + 0.01) {
                        newPage();
                        putHeader();
                    }
                    const int lines = t.rowLines[static_cast<size_t>(r)];
                    int first = 0;
                    while (first < lines) {
                        const int fit =
                            std::max(1, static_cast<int>((bottom - y - 2 * t.padY + 0.01) / t.lineHeight));
                        const int n = std::min(fit, lines - first);
                        const qreal sliceHeight = n * t.lineHeight + 2 * t.padY;
                        l.pages.back().items.push_back(Item{block, r, first, n, y, sliceHeight});
                        y += sliceHeight;
                        first += n;
                        if (first < lines) {
                            newPage();
                            putHeader();
                        }
                    }
                }
                if ((r + 1) % REPORT_EVERY == 0 && progress && !progress(doneRows, totalRows, preparing))
                    return nullptr;
            }
        }
        const int count = static_cast<int>(l.pages.size()) - firstPage;
        for (int i = firstPage; i < static_cast<int>(l.pages.size()); ++i)
            l.pages[static_cast<size_t>(i)].count = count;
    }
    return std::unique_ptr<Layout>(new Layout(std::move(data)));
}

std::vector<std::vector<QString>> Layout::tableRows(int page) const
{
    std::vector<std::vector<QString>> out;
    for (const Item &item : d->pages[static_cast<size_t>(page)].items) {
        const int table = d->blockTable[static_cast<size_t>(item.block)];
        if (table < 0)
            continue;
        const Table &source = *d->tables[static_cast<size_t>(table)].source;
        const Row &row = item.row < 0 ? source.header : source.rows[static_cast<size_t>(item.row)];
        std::vector<QString> texts;
        for (const Cell &cell : row)
            texts.push_back(cell.text);
        out.push_back(std::move(texts));
    }
    return out;
}

void Layout::paint(QPainter *painter, int page, bool greyscale) const
{
    const Page &pg = d->pages[static_cast<size_t>(page)];
    const Part &part = d->document->parts[static_cast<size_t>(pg.part)];
    const qreal pt = d->dpi / 72.0;
    painter->save();
    painter->setPen(Qt::black);
    // Setting a font on the painter costs a lookup of the font; it is set
    // only when it changes.
    QFont lastFont;
    bool fontSet = false;
    auto use = [&](const QFont &font) {
        if (fontSet && font == lastFont)
            return;
        painter->setFont(font);
        lastFont = font;
        fontSet = true;
    };

    // The page line.
    {
        use(part.lineFont);
        const QFontMetricsF m(part.lineFont, painter->device());
        const QString number = QStringLiteral("стр. %1 из %2").arg(pg.number).arg(pg.count);
        const qreal numberWidth = m.horizontalAdvance(number);
        const qreal baseline = part.lineAtTop ? m.ascent() : d->pageHeight - m.descent();
        const QString line =
            m.elidedText(part.line, Qt::ElideRight, std::max<qreal>(0, d->pageWidth - numberWidth - 12 * pt));
        painter->drawText(QPointF(0, baseline), line);
        painter->drawText(QPointF(d->pageWidth - numberWidth, baseline), number);
    }

    const std::vector<Item> &items = pg.items;
    for (size_t i = 0; i < items.size();) {
        const Item &first = items[i];
        const int textIndex = d->blockText[static_cast<size_t>(first.block)];
        if (textIndex >= 0) {
            const LaidText &t = d->texts[static_cast<size_t>(textIndex)];
            use(t.source->font);
            for (int k = 0; k < first.lineCount; ++k) {
                const Line &line = t.lines[static_cast<size_t>(first.firstLine + k)];
                qreal x = 0;
                if (t.source->alignment & Qt::AlignHCenter)
                    x = (d->pageWidth - line.width) / 2;
                else if (t.source->alignment & Qt::AlignRight)
                    x = d->pageWidth - line.width;
                painter->drawText(at(x, first.y + k * t.lineHeight + t.ascent),
                                  lineText(t.source->text, line));
            }
            ++i;
            continue;
        }
        // A run of rows of one table: backgrounds (one fill per colour),
        // texts, then the grid over the whole run.
        const LaidTable &t = d->tables[static_cast<size_t>(d->blockTable[static_cast<size_t>(first.block)])];
        const size_t columns = t.x.size() - 1;
        size_t end = i;
        while (end < items.size() && items[end].block == first.block)
            ++end;
        auto rowOf = [&t](const Item &item) -> const Row & {
            return item.row < 0 ? t.source->header : t.source->rows[static_cast<size_t>(item.row)];
        };
        auto spans = [columns](const Row &row) { return row.size() == 1 && columns > 1; };
        std::vector<std::pair<QRgb, QVector<QRectF>>> fills;
        for (size_t k = i; k < end; ++k) {
            const Item &item = items[k];
            const Row &row = rowOf(item);
            for (size_t c = 0; c < columns && c < row.size(); ++c) {
                QColor background = row[c].background;
                if (!background.isValid() && item.row < 0)
                    background = t.source->headerBackground;
                if (!background.isValid())
                    continue;
                const QRgb colour = (greyscale ? greyOf(background) : opaque(background)).rgb();
                const qreal right = spans(row) ? t.x.back() : t.x[c + 1];
                auto at = std::find_if(fills.begin(), fills.end(), [colour](const auto &f) { return f.first == colour; });
                if (at == fills.end()) {
                    fills.emplace_back(colour, QVector<QRectF>());
                    at = fills.end() - 1;
                }
                // Cells of one colour side by side make one rectangle.
                QVector<QRectF> &rects = at->second;
                if (!rects.isEmpty() && rects.last().top() == item.y && std::abs(rects.last().right() - t.x[c]) < 0.01)
                    rects.last().setRight(right);
                else
                    rects.append(QRectF(t.x[c], item.y, right - t.x[c], item.height));
            }
        }
        painter->setPen(Qt::NoPen);
        for (const auto &fill : fills) {
            painter->setBrush(QColor(fill.first));
            painter->drawRects(fill.second);
        }
        painter->setBrush(Qt::NoBrush);
        painter->setPen(Qt::black);
        for (size_t k = i; k < end; ++k) {
            const Item &item = items[k];
            const Row &row = rowOf(item);
            const bool heading = item.row < 0 || spans(row);
            const qreal lineHeight = heading ? t.headerLineHeight : t.lineHeight;
            const qreal ascent = heading ? t.headerAscent : t.ascent;
            use(heading ? t.source->headerFont : t.source->font);
            for (size_t c = 0; c < columns && c < row.size(); ++c) {
                const Shape &s = item.row < 0 ? t.header[c] : t.cells[static_cast<size_t>(item.row) * columns + c];
                if (s.lines == 0)
                    continue;
                const Cell &cell = row[c];
                const int firstLine = item.lineCount < 0 ? 0 : item.firstLine;
                const int lines = item.lineCount < 0 ? s.lines : std::min(item.lineCount, s.lines - firstLine);
                if (lines <= 0)
                    continue;
                qreal top = item.y + t.padY;
                if (item.lineCount < 0 && (cell.alignment & Qt::AlignVCenter))
                    top = item.y + (item.height - lines * lineHeight) / 2;
                const qreal left = t.x[c] + t.padX;
                const qreal room = (spans(row) ? t.x.back() : t.x[c + 1]) - t.x[c] - 2 * t.padX;
                for (int n = 0; n < lines; ++n) {
                    QString text;
                    qreal width;
                    if (s.first < 0) {
                        text = cell.text;
                        width = s.width;
                    } else {
                        const Line &line = t.pool[static_cast<size_t>(s.first + firstLine + n)];
                        text = lineText(cell.text, line);
                        width = line.width;
                    }
                    qreal x = left;
                    if (cell.alignment & Qt::AlignHCenter)
                        x = left + std::max<qreal>(0, room - width) / 2;
                    else if (cell.alignment & Qt::AlignRight)
                        x = left + std::max<qreal>(0, room - width);
                    painter->drawText(at(x, top + n * lineHeight + ascent), text);
                }
            }
        }
        // The outer lines over the whole run, the inner ones where no
        // heading spans the table, a line under every row.
        QVector<QLineF> grid;
        const qreal runTop = items[i].y;
        const qreal runBottom = items[end - 1].y + items[end - 1].height;
        grid.append(QLineF(t.x.front(), runTop, t.x.front(), runBottom));
        grid.append(QLineF(t.x.back(), runTop, t.x.back(), runBottom));
        grid.append(QLineF(t.x.front(), runTop, t.x.back(), runTop));
        for (size_t k = i; k < end;) {
            if (spans(rowOf(items[k]))) {
                ++k;
                continue;
            }
            size_t stop = k;
            while (stop < end && !spans(rowOf(items[stop])))
                ++stop;
            const qreal top = items[k].y;
            const qreal bottom = items[stop - 1].y + items[stop - 1].height;
            for (size_t c = 1; c < columns; ++c)
                grid.append(QLineF(t.x[c], top, t.x[c], bottom));
            k = stop;
        }
        for (size_t k = i; k < end; ++k) {
            const qreal y = items[k].y + items[k].height;
            grid.append(QLineF(t.x.front(), y, t.x.back(), y));
        }
        painter->setPen(QPen(Qt::black, GRID_WIDTH * pt));
        painter->drawLines(grid);
        painter->setPen(Qt::black);
        i = end;
    }
    painter->restore();
}

} // namespace Paper
