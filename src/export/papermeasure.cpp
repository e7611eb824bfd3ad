// The measuring of blocks against the width of the page: the lines of each
// text, the widths of a table's columns and the lines of every cell.
#include "export/paperlayout.h"

#include <algorithm>
#include <cmath>

namespace Paper {

namespace {

// What the texts of a table's columns need, in pixels: every text on one
// line (`comfortable`), the widest word (`minimum`), and the widths the
// table asks for (`natural`); with what was measured of every text.
struct ColumnNeeds
{
    std::vector<QHash<QString, Measure>> known;
    std::vector<qreal> comfortable;
    std::vector<qreal> minimum;
    std::vector<qreal> natural;
};

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

// The first pass over a table: what each column's texts need, the cell
// padding `pad` included. False when the progress stopped it.
bool measureColumns(const Table &table, Shaper &body, Shaper &head, qreal pt, qreal pad, qreal pageWidth,
                    Preparing &preparing, ColumnNeeds &needs)
{
    const size_t columns = table.widths.size();
    needs.known.resize(columns);
    needs.comfortable.assign(columns, 0);
    needs.minimum.assign(columns, 0);
    needs.natural.resize(columns);
    for (size_t c = 0; c < columns; ++c) {
        needs.natural[c] = table.widths[c] * pt;
        if (c < table.header.size()) {
            const Measure m = head.measure(table.header[c].text);
            const qreal one = m.oneLine >= 0 ? m.oneLine : 0;
            needs.comfortable[c] = std::max(needs.comfortable[c], std::max(one, m.widestWord));
            needs.minimum[c] = std::max(needs.minimum[c], m.widestWord);
        }
    }
    for (size_t r = 0; r < table.rows.size(); ++r) {
        const Row &row = table.rows[r];
        if (spansTable(row, columns))
            continue;
        for (size_t c = 0; c < columns && c < row.size(); ++c) {
            const QString &text = row[c].text;
            auto found = needs.known[c].constFind(text);
            if (found == needs.known[c].constEnd())
                found = needs.known[c].insert(text, body.measure(text));
            needs.comfortable[c] =
                std::max(needs.comfortable[c], std::max(found->oneLine, found->widestWord));
            needs.minimum[c] = std::max(needs.minimum[c], found->widestWord);
        }
        if ((r + 1) % REPORT_EVERY == 0 && !preparing.step(0))
            return false;
    }
    for (size_t c = 0; c < columns; ++c) {
        // The leeway Shaper::shape() asks of a text to keep it on one line.
        needs.comfortable[c] += needs.comfortable[c] / 50 + 1 + 2 * pad + 1;
        // A word wider than a third of the page breaks rather than
        // narrowing every other column.
        needs.minimum[c] = std::min(needs.minimum[c], pageWidth / 3) + 2 * pad + 1;
    }
    return true;
}

// The second pass over a table: the lines of every cell in its settled
// width, each distinct text of a column shaped once. False when the
// progress stopped it.
bool shapeCells(const Table &table, Shaper &body, Shaper &head,
                const std::vector<QHash<QString, Measure>> &known, const std::vector<qreal> &widths,
                Preparing &preparing, LaidTable &t)
{
    const size_t columns = table.widths.size();
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
        if (spansTable(row, columns)) {
            const QString &text = row.front().text;
            const Shape s = head.shape(text, head.measure(text).oneLine, t.x.back() - 2 * t.padX, t.pool);
            t.cells[r * columns] = s;
            // Counted in body lines, so that a page holds it whole.
            t.rowLines[r] =
                std::max(1, static_cast<int>(std::ceil(s.lines * head.lineHeight / body.lineHeight)));
            continue;
        }
        int lines = 1;
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
        if ((r + 1) % REPORT_EVERY == 0 && !preparing.step(REPORT_EVERY))
            return false;
    }
    return true;
}

// A table measured: its columns' widths settled within the page and every
// cell's lines. False when the progress stopped it.
bool layTable(const Table &table, Measures::Data &measures, qreal pageWidth, qreal pt, Preparing &preparing,
              LaidTable &t)
{
    Shaper &body = measures.shaper(table.font);
    Shaper &head = measures.shaper(table.headerFont);
    t.source = &table;
    t.padX = CELL_PADDING_X * pt;
    t.padY = CELL_PADDING_Y * pt;
    t.lineHeight = body.lineHeight;
    t.ascent = body.ascent;
    t.headerLineHeight = head.lineHeight;
    t.headerAscent = head.ascent;
    ColumnNeeds needs;
    if (!measureColumns(table, body, head, pt, t.padX, pageWidth, preparing, needs))
        return false;
    const std::vector<qreal> widths = fitWidths(needs.natural, needs.comfortable, needs.minimum, pageWidth);
    t.x.push_back(0);
    for (const qreal w : widths)
        t.x.push_back(t.x.back() + w);
    if (!shapeCells(table, body, head, needs.known, widths, preparing, t))
        return false;
    // The rows since the last report; a stop asked for now is seen at the next.
    preparing.step(static_cast<int>(table.rows.size() % REPORT_EVERY));
    return true;
}

// A text wrapped within the width of the page.
LaidText layText(const Text &text, Shaper &shaper, qreal pageWidth, qreal pt)
{
    LaidText t{&text, {}, shaper.lineHeight, shaper.ascent, text.spaceBefore * pt};
    qreal room = pageWidth;
    if (!text.trailing.isEmpty()) {
        t.trailingWidth = std::min(shaper.width(text.trailing), pageWidth / 2);
        room = std::max(pageWidth - t.trailingWidth - TRAILING_GAP * pt, pageWidth / 2);
    }
    const Shape s = shaper.shape(text.text, shaper.measure(text.text).oneLine, room, t.lines);
    if (s.first < 0 && s.lines == 1)
        t.lines.push_back(Line{0, static_cast<int>(text.text.size()), s.width});
    // The trailing text stands on a line of its own when the text is empty.
    if (!text.trailing.isEmpty() && t.lines.empty())
        t.lines.push_back(Line{0, 0, 0});
    return t;
}

} // namespace

bool measureBlocks(Layout::Data &layout, Measures::Data &measures, Preparing &preparing)
{
    const qreal pt = layout.dpi / 72.0;
    for (int p = layout.firstPart; p < layout.endPart; ++p) {
        const Part &part = layout.document->parts[static_cast<size_t>(p)];
        layout.lineBand =
            std::max(layout.lineBand, measures.shaper(part.lineFont).lineHeight + LINE_GAP * pt);
        for (const auto &block : part.blocks) {
            if (const Picture *picture = std::get_if<Picture>(&block)) {
                // Points to pixels, no wider than the page.
                const qreal width = std::max<qreal>(1, picture->width * pt);
                const qreal scale = std::min<qreal>(1, layout.pageWidth / width);
                layout.blockText.push_back(-1);
                layout.blockTable.push_back(-1);
                layout.blockPicture.push_back(static_cast<int>(layout.pictures.size()));
                layout.pictures.push_back(LaidPicture{picture, width * scale, picture->height * pt * scale});
                if (!preparing.step(1))
                    return false;
                continue;
            }
            if (const Text *text = std::get_if<Text>(&block)) {
                layout.blockText.push_back(static_cast<int>(layout.texts.size()));
                layout.blockTable.push_back(-1);
                layout.blockPicture.push_back(-1);
                layout.texts.push_back(layText(*text, measures.shaper(text->font), layout.pageWidth, pt));
                if (!preparing.step(1))
                    return false;
                continue;
            }
            LaidTable t;
            if (!layTable(std::get<Table>(block), measures, layout.pageWidth, pt, preparing, t))
                return false;
            layout.blockText.push_back(-1);
            layout.blockTable.push_back(static_cast<int>(layout.tables.size()));
            layout.blockPicture.push_back(-1);
            layout.tables.push_back(std::move(t));
        }
    }
    return true;
}

} // namespace Paper
