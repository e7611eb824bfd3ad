// The painting of a laid-out page: the page line, the lines of texts and the
// runs of table rows (backgrounds, texts, grid).
#include "export/paperlayout.h"

#include <QLineF>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace Paper {

namespace {

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

// Where a line starts in a room from `left` that it leaves `spare` wide.
qreal aligned(Qt::Alignment alignment, qreal left, qreal spare)
{
    if (alignment & Qt::AlignHCenter)
        return left + spare / 2;
    if (alignment & Qt::AlignRight)
        return left + spare;
    return left;
}

// One page painted. Setting a font on the painter costs a lookup of the
// font; it is set only when it changes.
class PagePainter
{
public:
    PagePainter(const Layout::Data &layout, QPainter *painter, bool greyscale)
        : m_layout(layout)
        , m_painter(painter)
        , m_greyscale(greyscale)
        , m_pt(layout.dpi / 72.0)
    {
    }

    void paint(const Page &page)
    {
        paintPageLine(page);
        const std::vector<Item> &items = page.items;
        for (size_t i = 0; i < items.size();) {
            const int textIndex = m_layout.blockText[static_cast<size_t>(items[i].block)];
            if (textIndex >= 0) {
                paintText(m_layout.texts[static_cast<size_t>(textIndex)], items[i]);
                ++i;
                continue;
            }
            const int pictureIndex = m_layout.blockPicture[static_cast<size_t>(items[i].block)];
            if (pictureIndex >= 0) {
                paintPicture(m_layout.pictures[static_cast<size_t>(pictureIndex)], items[i]);
                ++i;
                continue;
            }
            size_t end = i;
            while (end < items.size() && items[end].block == items[i].block)
                ++end;
            paintTableRun(items, i, end);
            i = end;
        }
    }

private:
    void use(const QFont &font)
    {
        if (m_fontSet && font == m_font)
            return;
        m_painter->setFont(font);
        m_font = font;
        m_fontSet = true;
    }

    // The page line, at the top or the bottom: the part's line on the left,
    // cut short where it would reach the page number on the right.
    void paintPageLine(const Page &page)
    {
        const Part &part = m_layout.document->parts[static_cast<size_t>(page.part)];
        use(part.lineFont);
        const QFontMetricsF m(part.lineFont, m_painter->device());
        const QString number = QStringLiteral("стр. %1 из %2").arg(page.number).arg(page.count);
        const qreal numberWidth = m.horizontalAdvance(number);
        const qreal baseline = part.lineAtTop ? m.ascent() : m_layout.pageHeight - m.descent();
        const QString line = m.elidedText(part.line, Qt::ElideRight,
                                          std::max<qreal>(0, m_layout.pageWidth - numberWidth - 12 * m_pt));
        m_painter->drawText(QPointF(0, baseline), line);
        m_painter->drawText(QPointF(m_layout.pageWidth - numberWidth, baseline), number);
    }

    void paintText(const LaidText &t, const Item &item)
    {
        use(t.source->font);
        for (int k = 0; k < item.lineCount; ++k) {
            const Line &line = t.lines[static_cast<size_t>(item.firstLine + k)];
            const qreal x = aligned(t.source->alignment, 0, m_layout.pageWidth - line.width);
            m_painter->drawText(at(x, item.y + k * t.lineHeight + t.ascent), lineText(t.source->text, line));
        }
        const int end = item.firstLine + item.lineCount;
        if (t.source->trailing.isEmpty() || item.lineCount <= 0 || end != static_cast<int>(t.lines.size()))
            return;
        const QFontMetricsF m(t.source->font, m_painter->device());
        const QString trailing = m.elidedText(t.source->trailing, Qt::ElideRight, t.trailingWidth + 1);
        m_painter->drawText(at(m_layout.pageWidth - m.horizontalAdvance(trailing),
                               item.y + (item.lineCount - 1) * t.lineHeight + t.ascent),
                            trailing);
    }

    // A picture in the middle of the page's width, in the height its item
    // was given. The owner paints with a painter as it was handed over; the
    // font set here is set again after it.
    void paintPicture(const LaidPicture &p, const Item &item)
    {
        if (!p.source->paint)
            return;
        const qreal scale = std::min<qreal>(1, item.height / std::max<qreal>(1, p.height));
        const qreal width = p.width * scale;
        m_painter->save();
        p.source->paint(m_painter, QRectF((m_layout.pageWidth - width) / 2, item.y, width, item.height));
        m_painter->restore();
        m_fontSet = false;
    }

    // A run of rows of one table, items[begin, end): backgrounds (one fill
    // per colour), texts, then the grid over the whole run.
    void paintTableRun(const std::vector<Item> &items, size_t begin, size_t end)
    {
        const LaidTable &t =
            m_layout
                .tables[static_cast<size_t>(m_layout.blockTable[static_cast<size_t>(items[begin].block)])];
        paintBackgrounds(t, items, begin, end);
        m_painter->setBrush(Qt::NoBrush);
        m_painter->setPen(Qt::black);
        for (size_t k = begin; k < end; ++k)
            paintRowTexts(t, items[k]);
        paintGrid(t, items, begin, end);
    }

    static const Row &rowOf(const LaidTable &t, const Item &item)
    {
        return item.row < 0 ? t.source->header : t.source->rows[static_cast<size_t>(item.row)];
    }

    static bool spans(const LaidTable &t, const Item &item)
    {
        return spansTable(rowOf(t, item), t.x.size() - 1);
    }

    void paintBackgrounds(const LaidTable &t, const std::vector<Item> &items, size_t begin, size_t end)
    {
        const size_t columns = t.x.size() - 1;
        std::vector<std::pair<QRgb, QVector<QRectF>>> fills;
        for (size_t k = begin; k < end; ++k) {
            const Item &item = items[k];
            const Row &row = rowOf(t, item);
            for (size_t c = 0; c < columns && c < row.size(); ++c) {
                QColor background = row[c].background;
                if (!background.isValid() && item.row < 0)
                    background = t.source->headerBackground;
                if (!background.isValid())
                    continue;
                const QRgb colour = (m_greyscale ? greyOf(background) : opaque(background)).rgb();
                const qreal right = spans(t, item) ? t.x.back() : t.x[c + 1];
                auto at = std::find_if(fills.begin(), fills.end(),
                                       [colour](const auto &f) { return f.first == colour; });
                if (at == fills.end()) {
                    fills.emplace_back(colour, QVector<QRectF>());
                    at = fills.end() - 1;
                }
                // Cells of one colour side by side make one rectangle.
                QVector<QRectF> &rects = at->second;
                if (!rects.isEmpty() && rects.last().top() == item.y &&
                    std::abs(rects.last().right() - t.x[c]) < 0.01)
                    rects.last().setRight(right);
                else
                    rects.append(QRectF(t.x[c], item.y, right - t.x[c], item.height));
            }
        }
        m_painter->setPen(Qt::NoPen);
        for (const auto &fill : fills) {
            m_painter->setBrush(QColor(fill.first));
            m_painter->drawRects(fill.second);
        }
    }

    // The texts of one row, or of the slice of its lines on this page.
    void paintRowTexts(const LaidTable &t, const Item &item)
    {
        const size_t columns = t.x.size() - 1;
        const Row &row = rowOf(t, item);
        const bool heading = item.row < 0 || spans(t, item);
        const qreal lineHeight = heading ? t.headerLineHeight : t.lineHeight;
        const qreal ascent = heading ? t.headerAscent : t.ascent;
        use(heading ? t.source->headerFont : t.source->font);
        for (size_t c = 0; c < columns && c < row.size(); ++c) {
            const Shape &s =
                item.row < 0 ? t.header[c] : t.cells[static_cast<size_t>(item.row) * columns + c];
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
            const qreal room = (spans(t, item) ? t.x.back() : t.x[c + 1]) - t.x[c] - 2 * t.padX;
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
                m_painter->drawText(at(aligned(cell.alignment, left, std::max<qreal>(0, room - width)),
                                       top + n * lineHeight + ascent),
                                    text);
            }
        }
    }

    // The outer lines over the whole run, the inner ones where no heading
    // spans the table, a line under every row.
    void paintGrid(const LaidTable &t, const std::vector<Item> &items, size_t begin, size_t end)
    {
        const size_t columns = t.x.size() - 1;
        QVector<QLineF> grid;
        const qreal runTop = items[begin].y;
        const qreal runBottom = items[end - 1].y + items[end - 1].height;
        grid.append(QLineF(t.x.front(), runTop, t.x.front(), runBottom));
        grid.append(QLineF(t.x.back(), runTop, t.x.back(), runBottom));
        grid.append(QLineF(t.x.front(), runTop, t.x.back(), runTop));
        for (size_t k = begin; k < end;) {
            if (spans(t, items[k])) {
                ++k;
                continue;
            }
            size_t stop = k;
            while (stop < end && !spans(t, items[stop]))
                ++stop;
            const qreal top = items[k].y;
            const qreal bottom = items[stop - 1].y + items[stop - 1].height;
            for (size_t c = 1; c < columns; ++c)
                grid.append(QLineF(t.x[c], top, t.x[c], bottom));
            k = stop;
        }
        for (size_t k = begin; k < end; ++k) {
            const qreal y = items[k].y + items[k].height;
            grid.append(QLineF(t.x.front(), y, t.x.back(), y));
        }
        m_painter->setPen(QPen(Qt::black, GRID_WIDTH * m_pt));
        m_painter->drawLines(grid);
        m_painter->setPen(Qt::black);
    }

    const Layout::Data &m_layout;
    QPainter *m_painter;
    const bool m_greyscale;
    const qreal m_pt;
    QFont m_font;
    bool m_fontSet = false;
};

} // namespace

QColor greyOf(const QColor &colour)
{
    const int g = qGray(opaque(colour).rgb());
    return QColor(128 + g / 2, 128 + g / 2, 128 + g / 2);
}

void Layout::paint(QPainter *painter, int page, bool greyscale) const
{
    painter->save();
    painter->setPen(Qt::black);
    PagePainter(*d, painter, greyscale).paint(d->pages[static_cast<size_t>(page)]);
    painter->restore();
}

} // namespace Paper
