// Fitting of table rows and columns to their texts: the heights and widths
// the view's own measuring would give, found without measuring every cell.

#include "function.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QHash>
#include <QHeaderView>
#include <QStyle>
#include <QTableView>
#include <QTableWidget>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

// Widths of texts in one font, from the advances of single characters and the
// adjustments of adjacent pairs (kerning, two-letter ligatures), each shaped
// once. Far cheaper than shaping every text of a large table.
class TextWidths
{
public:
    // The measures of one font, kept for the life of the program: the
    // advances and pair adjustments learned in one fill serve the next.
    static TextWidths &of(const QFont &font)
    {
        static std::vector<std::pair<QFont, std::unique_ptr<TextWidths>>> known;
        for (auto &entry : known)
            if (entry.first == font)
                return *entry.second;
        if (known.size() >= 8)
            known.erase(known.begin());
        known.emplace_back(font, std::make_unique<TextWidths>(font));
        return *known.back().second;
    }

    explicit TextWidths(const QFont &font)
        : m_metrics(font)
    {
    }

    // The width of a one-line text, or a negative value when the text holds
    // something the estimate does not cover (line breaks, tabs, characters the
    // font lacks, surrogates, combining marks).
    qreal estimate(QStringView text)
    {
        qreal width = 0;
        QChar previous;
        for (const QChar c : text) {
            if (!plain(c))
                return -1;
            width += advance(c);
            if (!previous.isNull())
                width += pair(previous, c);
            previous = c;
        }
        return width;
    }

    // The text with every ASCII digit replaced by the first digit that lays
    // out exactly like it (same advance, same adjustment beside every digit
    // and beside its neighbours in the text), so that texts differing only in
    // such digits share one measurement. Digits that kern differently (as
    // "11" does in some fonts) keep their own place.
    QString normalized(const QString &text)
    {
        classifyDigits();
        QString out = text;
        for (qsizetype i = 0; i < out.size(); ++i) {
            const QChar c = out.at(i);
            if (!isDigit(c) || m_digitClass[c.unicode() - u'0'] == c)
                continue;
            if ((i > 0 && !isDigit(text.at(i - 1)) && !neutralBeside(text.at(i - 1))) ||
                (i + 1 < text.size() && !isDigit(text.at(i + 1)) && !neutralBeside(text.at(i + 1))))
                return text;
            out[i] = m_digitClass[c.unicode() - u'0'];
        }
        return out;
    }

private:
    static bool isDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

    // Characters get small slots on first sight, so that their advances and
    // the adjustments of their pairs are found by index rather than hashing.
    static constexpr int SLOTS = 256;

    int slot(QChar c)
    {
        if (m_slots.empty())
            m_slots.assign(65536, -1);
        int s = m_slots[c.unicode()];
        if (s < 0 && static_cast<int>(m_chars.size()) < SLOTS) {
            s = static_cast<int>(m_chars.size());
            m_slots[c.unicode()] = static_cast<short>(s);
            m_chars.push_back(c);
            const bool ok = c.unicode() >= 0x20 && !c.isSurrogate() && !c.isMark() &&
                            c.category() != QChar::Separator_Line &&
                            c.category() != QChar::Separator_Paragraph && m_metrics.inFont(c);
            m_plainBySlot.push_back(ok);
            m_advanceBySlot.push_back(m_metrics.horizontalAdvance(QString(c)));
            if (m_pairBySlot.empty())
                m_pairBySlot.assign(SLOTS * SLOTS, std::numeric_limits<qreal>::quiet_NaN());
        }
        return s;
    }

    bool plain(QChar c)
    {
        const int s = slot(c);
        if (s >= 0)
            return m_plainBySlot[static_cast<size_t>(s)];
        return c.unicode() >= 0x20 && !c.isSurrogate() && !c.isMark() && m_metrics.inFont(c);
    }

    qreal advance(QChar c)
    {
        const int s = slot(c);
        return s >= 0 ? m_advanceBySlot[static_cast<size_t>(s)] : m_metrics.horizontalAdvance(QString(c));
    }

    qreal pair(QChar a, QChar b)
    {
        const int sa = slot(a);
        const int sb = slot(b);
        if (sa < 0 || sb < 0)
            return m_metrics.horizontalAdvance(QString(a) + b) - advance(a) - advance(b);
        qreal &p = m_pairBySlot[static_cast<size_t>(sa * SLOTS + sb)];
        if (std::isnan(p))
            p = m_metrics.horizontalAdvance(QString(a) + b) - advance(a) - advance(b);
        return p;
    }

    void classifyDigits()
    {
        if (m_classified)
            return;
        m_classified = true;
        for (int d = 0; d < 10; ++d) {
            const QChar dc(u'0' + d);
            m_digitClass[d] = dc;
            for (int e = 0; e < d; ++e) {
                const QChar ec(u'0' + e);
                if (m_digitClass[e] != ec || advance(dc) != advance(ec))
                    continue;
                bool same = true;
                for (int x = 0; x < 10 && same; ++x) {
                    const QChar xc(u'0' + x);
                    same = pair(dc, xc) == pair(ec, xc) && pair(xc, dc) == pair(xc, ec);
                }
                if (same) {
                    m_digitClass[d] = ec;
                    break;
                }
            }
        }
    }

    bool neutralBeside(QChar c)
    {
        const auto found = m_neutral.constFind(c.unicode());
        if (found != m_neutral.constEnd())
            return *found;
        bool ok = plain(c);
        for (int d = 0; ok && d < 10; ++d) {
            const QChar dc(u'0' + d);
            const QChar rc = m_digitClass[d];
            ok = pair(dc, c) == pair(rc, c) && pair(c, dc) == pair(c, rc);
        }
        m_neutral.insert(c.unicode(), ok);
        return ok;
    }

    QFontMetricsF m_metrics;
    std::vector<short> m_slots;
    std::vector<QChar> m_chars;
    std::vector<bool> m_plainBySlot;
    std::vector<qreal> m_advanceBySlot;
    std::vector<qreal> m_pairBySlot;
    QHash<char16_t, bool> m_neutral;
    QChar m_digitClass[10];
    bool m_classified = false;
};

} // namespace

namespace {
// The options a view paints its items with; the view keeps the function that
// makes them protected, and a pointer to it is taken through a subclass.
struct ViewOptions : QAbstractItemView
{
    static constexpr auto init = &ViewOptions::initViewItemOption;
};
} // namespace

void Function::fitRowHeights(QTableView *table)
{
    // A row's height is that of its tallest visible cell, or of its header
    // section. A cell whose text surely fits on one line is as tall as any
    // other one-line cell; every other cell is measured once per distinct
    // text (up to digits that lay out alike) by placing it in a probe row at
    // the end of the table and asking its delegate, with the view's options,
    // as the view does. The result is the height
    // QTableView::resizeRowsToContents() gives.
    auto *widget = qobject_cast<QTableWidget *>(table);
    if (!widget) {
        table->resizeRowsToContents();
        return;
    }
    const int rows = widget->rowCount();
    const int columns = widget->columnCount();
    if (rows == 0)
        return;
    const QHeaderView *header = widget->horizontalHeader();
    const int textMargin = widget->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    std::vector<int> visible;
    std::vector<qreal> room(static_cast<size_t>(columns), 0);
    for (int c = 0; c < columns; ++c) {
        if (header->isSectionHidden(c))
            continue;
        visible.push_back(c);
        room[static_cast<size_t>(c)] = header->sectionSize(c) - (widget->showGrid() ? 1 : 0) - 2 * textMargin;
    }
    if (visible.empty())
        return;
    TextWidths &widths = TextWidths::of(widget->font());
    std::vector<QHash<QString, int>> cellHeights(static_cast<size_t>(columns));
    const int probe = rows;
    bool probing = false;
    // The view measures a row by asking the delegate of each of its cells
    // for a size hint with the options it paints with; a cell alone is asked
    // the same way here, which spares the view's pass over the empty cells.
    QStyleOptionViewItem options;
    auto measureCell = [&](int c) {
        const QModelIndex index = widget->model()->index(probe, c);
        QStyleOptionViewItem option = options;
        if (widget->wordWrap()) {
            option.rect.setY(widget->rowViewportPosition(probe));
            option.rect.setHeight(std::max(1, widget->rowHeight(probe)));
            option.rect.setX(widget->columnViewportPosition(c));
            // The view wraps a text within the column less its grid line.
            option.rect.setWidth(widget->columnWidth(c) - (widget->showGrid() ? 1 : 0));
        }
        const int hint = widget->itemDelegateForIndex(index)->sizeHint(option, index).height();
        return widget->showGrid() ? hint + 1 : hint;
    };
    auto openProbe = [&] {
        if (!probing) {
            widget->setRowCount(rows + 1);
            probing = true;
            // As the view does before it measures: its style and font
            // settle when it is polished.
            widget->ensurePolished();
            (widget->*ViewOptions::init)(&options);
        }
    };
    auto measure = [&](int c, const QString &text) {
        openProbe();
        widget->setItem(probe, c, new QTableWidgetItem(text));
        const int h = measureCell(c);
        delete widget->takeItem(probe, c);
        return h;
    };
    // Height of one cell: 0 for a text that surely fits on one line.
    auto cellHeight = [&](int c, const QString &text) {
        QHash<QString, int> &cache = cellHeights[static_cast<size_t>(c)];
        auto found = cache.constFind(text);
        if (found != cache.constEnd())
            return *found;
        const qreal w = widths.estimate(text);
        // Room to spare absorbs what a pairwise estimate can miss.
        if (w >= 0 && w + 2 + w / 50 <= room[static_cast<size_t>(c)]) {
            cache.insert(text, 0);
            return 0;
        }
        const QString key = widths.normalized(text);
        found = cache.constFind(key);
        if (found == cache.constEnd())
            found = cache.insert(key, measure(c, text));
        const int h = *found;
        cache.insert(text, h);
        return h;
    };

    int oneLine = -1;
    std::vector<int> heights(static_cast<size_t>(rows), -1);
    for (int r = 0; r < rows; ++r) {
        bool styled = false;
        bool anyText = false;
        int tallest = 0;
        for (int c : visible) {
            const QTableWidgetItem *item = widget->item(r, c);
            if (!item)
                continue;
            if (item->data(Qt::FontRole).isValid() || item->data(Qt::DecorationRole).isValid() ||
                item->data(Qt::CheckStateRole).isValid()) {
                styled = true;
                break;
            }
            const QString text = item->text();
            if (text.isEmpty())
                continue;
            anyText = true;
            tallest = std::max(tallest, cellHeight(c, text));
        }
        if (styled || !anyText)
            continue; // measured below, after the probe row is gone
        if (oneLine < 0) {
            // A one-line row: its header section or its tallest cell, empty
            // cells included, as the view measures a row.
            openProbe();
            widget->setItem(probe, visible.front(), new QTableWidgetItem(QStringLiteral("0")));
            oneLine = widget->verticalHeader()->sectionSizeHint(probe);
            for (int c : visible)
                oneLine = std::max(oneLine, measureCell(c));
            delete widget->takeItem(probe, visible.front());
        }
        heights[static_cast<size_t>(r)] = std::max(tallest, oneLine);
    }
    if (probing)
        widget->setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        const int h = heights[static_cast<size_t>(r)];
        if (h < 0)
            widget->resizeRowToContents(r);
        else
            widget->setRowHeight(r, h);
    }
}

void Function::fitColumnWidth(QTableView *table, int column, const QStringList *texts)
{
    // The width QTableView::resizeColumnToContents() gives, taken over every
    // row: the texts are estimated cheaply and only those that may be the
    // widest are measured by the view.
    auto *widget = qobject_cast<QTableWidget *>(table);
    if (!widget) {
        table->resizeColumnToContents(column);
        return;
    }
    TextWidths &widths = TextWidths::of(widget->font());
    const int rows = widget->rowCount();
    const int count = texts ? static_cast<int>(texts->size()) : rows;
    std::vector<qreal> estimates(static_cast<size_t>(count), 0);
    qreal widest = 0;
    for (int r = 0; r < count; ++r) {
        qreal w = 0;
        if (texts) {
            w = widths.estimate(texts->at(r));
        } else if (const QTableWidgetItem *item = widget->item(r, column)) {
            const bool styled = item->data(Qt::FontRole).isValid() ||
                                item->data(Qt::DecorationRole).isValid() ||
                                item->data(Qt::CheckStateRole).isValid();
            w = styled ? -1 : widths.estimate(item->text());
        }
        estimates[static_cast<size_t>(r)] = w;
        widest = std::max(widest, w);
    }
    // Given texts are measured in a probe row at the end of the table.
    bool probing = false;
    auto measure = [&](int r) {
        if (!texts)
            return widget->sizeHintForIndex(widget->model()->index(r, column)).width();
        if (!probing) {
            widget->setRowCount(rows + 1);
            probing = true;
        }
        widget->setItem(rows, column, new QTableWidgetItem(texts->at(r)));
        const int w = widget->sizeHintForIndex(widget->model()->index(rows, column)).width();
        delete widget->takeItem(rows, column);
        return w;
    };
    int hint = 0;
    const qreal threshold = widest - 4 - widest / 25;
    for (int r = 0; r < count; ++r) {
        const qreal w = estimates[static_cast<size_t>(r)];
        if (w < 0 || (w >= threshold && (texts || widget->item(r, column))))
            hint = std::max(hint, measure(r));
    }
    if (probing)
        widget->setRowCount(rows);
    if (widget->showGrid())
        hint += 1;
    widget->horizontalHeader()->resizeSection(
        column, std::max(hint, widget->horizontalHeader()->sectionSizeHint(column)));
}
