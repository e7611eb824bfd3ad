// The breaking of measured blocks into pages: each part starts on a page of
// its own, a text keeps its first lines together (and with the next block
// when asked), a table repeats its header row on every page and never splits
// a row, except one taller than a page, which goes on in slices of whole lines.
#include "export/paperlayout.h"

#include <algorithm>

namespace Paper {

namespace {

class Pages
{
public:
    Pages(Layout::Data &layout, Preparing &preparing)
        : m_layout(layout)
        , m_preparing(preparing)
        , m_fullHeight(layout.pageHeight - layout.lineBand)
    {
    }

    // Lays the blocks of one part out on pages numbered from 1; `block` is
    // the index of its first block, and on return that of the next part's.
    // False when the progress stopped it.
    bool breakPart(int part, int &block)
    {
        const Part &source = m_layout.document->parts[static_cast<size_t>(part)];
        m_part = part;
        m_top = source.lineAtTop ? m_layout.lineBand : 0;
        m_bottom = m_top + m_fullHeight;
        m_firstPage = static_cast<int>(m_layout.pages.size());
        newPage();
        const int blocks = static_cast<int>(source.blocks.size());
        for (int i = 0; i < blocks; ++i, ++block) {
            if (m_layout.blockText[static_cast<size_t>(block)] >= 0) {
                placeText(block, i + 1 < blocks);
            } else if (m_layout.blockPicture[static_cast<size_t>(block)] >= 0) {
                placePicture(block);
            } else if (!placeTable(block)) {
                return false;
            }
        }
        const int count = static_cast<int>(m_layout.pages.size()) - m_firstPage;
        for (int i = m_firstPage; i < static_cast<int>(m_layout.pages.size()); ++i)
            m_layout.pages[static_cast<size_t>(i)].count = count;
        return true;
    }

private:
    const LaidText &textOf(int block) const
    {
        return m_layout.texts[static_cast<size_t>(m_layout.blockText[static_cast<size_t>(block)])];
    }

    const LaidTable &tableOf(int block) const
    {
        return m_layout.tables[static_cast<size_t>(m_layout.blockTable[static_cast<size_t>(block)])];
    }

    bool atTop() const { return m_layout.pages.back().items.empty(); }

    void newPage()
    {
        m_layout.pages.push_back(
            Page{m_part, static_cast<int>(m_layout.pages.size()) - m_firstPage + 1, 0, {}});
        m_y = m_top;
    }

    void place(const Item &item)
    {
        m_layout.pages.back().items.push_back(item);
        m_y += item.height;
    }

    const LaidPicture &pictureOf(int block) const
    {
        return m_layout.pictures[static_cast<size_t>(m_layout.blockPicture[static_cast<size_t>(block)])];
    }

    // The height the beginning of a block needs on the page it starts on.
    qreal opening(int block) const
    {
        if (m_layout.blockPicture[static_cast<size_t>(block)] >= 0)
            return std::min(pictureOf(block).height, m_fullHeight);
        if (m_layout.blockText[static_cast<size_t>(block)] >= 0) {
            const LaidText &t = textOf(block);
            return t.spaceBefore + std::min<qreal>(t.lines.size(), 2) * t.lineHeight;
        }
        const LaidTable &t = tableOf(block);
        const qreal first = t.rowLines.empty() ? 0 : t.rowHeight(std::min(t.rowLines.front(), 2));
        return t.headerHeight() + first;
    }

    // A text, on a new page when it (with the next block's beginning, if it
    // keeps with it and one follows) does not fit, its lines over as many
    // pages as they need. A text taller than a page is broken wherever it
    // starts: it starts where it stands when its first two lines fit.
    void placeText(int block, bool followed)
    {
        const LaidText &t = textOf(block);
        const bool top = atTop();
        const int count = static_cast<int>(t.lines.size());
        qreal height = (top ? 0 : t.spaceBefore) + count * t.lineHeight;
        if (t.source->keepWithNext && followed)
            height += opening(block + 1);
        if (height > m_fullHeight)
            height = (top ? 0 : t.spaceBefore) + std::min(count, 2) * t.lineHeight;
        if (!top && m_y + height > m_bottom) {
            newPage();
        } else if (!top) {
            m_y += t.spaceBefore;
        }
        int first = 0;
        while (first < count || count == 0) {
            const int fit = std::max(1, static_cast<int>((m_bottom - m_y + 0.01) / t.lineHeight));
            const int n = std::min(fit, count - first);
            // An empty text takes a place of no height: the space before it stays.
            place(Item{block, -1, first, std::max(n, 0), m_y, std::max(n, 0) * t.lineHeight});
            first += n;
            if (count == 0)
                break;
            if (first < count)
                newPage();
        }
    }

    // A picture whole: made smaller, down to two thirds of its height, to
    // fit the room left on the page, else on a new page; one taller than a
    // page is painted into the page's height.
    void placePicture(int block)
    {
        qreal height = std::min(pictureOf(block).height, m_fullHeight);
        const qreal room = m_bottom - m_y;
        if (!atTop() && height > room + 0.01) {
            if (room >= height * 2 / 3)
                height = room;
            else
                newPage();
        }
        place(Item{block, -1, 0, -1, m_y, height});
    }

    void placeHeader(int block, qreal headerHeight)
    {
        if (headerHeight > 0)
            place(Item{block, -1, 0, -1, m_y, headerHeight});
    }

    // A table goes on on a new page, under its header row.
    void continueTable(int block, qreal headerHeight)
    {
        newPage();
        placeHeader(block, headerHeight);
    }

    // A table's rows, on a new page when its header and first row do not
    // fit. False when the progress stopped it.
    bool placeTable(int block)
    {
        const LaidTable &t = tableOf(block);
        const qreal headerHeight = t.headerHeight();
        if (!atTop() && m_y + opening(block) > m_bottom)
            newPage();
        placeHeader(block, headerHeight);
        const qreal bodyRoom = m_fullHeight - headerHeight;
        for (int r = 0; r < static_cast<int>(t.rowLines.size()); ++r) {
            const qreal h = t.rowHeight(t.rowLines[static_cast<size_t>(r)]);
            if (h <= bodyRoom) {
                if (m_y + h > m_bottom + 0.01)
                    continueTable(block, headerHeight);
                place(Item{block, r, 0, -1, m_y, h});
            } else {
                placeTallRow(block, r, headerHeight);
            }
            if ((r + 1) % REPORT_EVERY == 0 && !m_preparing.step(0))
                return false;
        }
        return true;
    }

    // A row taller than a page: it starts on a page of its own and goes on
    // over as many as it needs, in whole lines.
    void placeTallRow(int block, int row, qreal headerHeight)
    {
        const LaidTable &t = tableOf(block);
        if (m_y > m_top + headerHeight + 0.01)
            continueTable(block, headerHeight);
        const int lines = t.rowLines[static_cast<size_t>(row)];
        int first = 0;
        while (first < lines) {
            const int fit =
                std::max(1, static_cast<int>((m_bottom - m_y - 2 * t.padY + 0.01) / t.lineHeight));
            const int n = std::min(fit, lines - first);
            place(Item{block, row, first, n, m_y, n * t.lineHeight + 2 * t.padY});
            first += n;
            if (first < lines)
                continueTable(block, headerHeight);
        }
    }

    Layout::Data &m_layout;
    Preparing &m_preparing;
    const qreal m_fullHeight;
    int m_part = 0;
    qreal m_top = 0;
    qreal m_bottom = 0;
    qreal m_y = 0;
    int m_firstPage = 0;
};

} // namespace

bool breakPages(Layout::Data &layout, Preparing &preparing)
{
    Pages pages(layout, preparing);
    int block = 0;
    for (int p = layout.firstPart; p < layout.endPart; ++p)
        if (!pages.breakPart(p, block))
            return false;
    return true;
}

} // namespace Paper
