// Fitting of table rows and columns to their texts: the heights and widths
// the view's own measuring would give, found without measuring every cell.

#include "view/tablefit.h"
#include "view/textwidths.h"

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
// The options a view paints its items with; the view keeps the function that
// makes them protected, and a pointer to it is taken through a subclass.
struct ViewOptions : QAbstractItemView
{
    static constexpr auto init = &ViewOptions::initViewItemOption;
};
} // namespace

namespace {
// Measures the rows of one table widget: the columns it shows, the room a
// text has in each, and the heights found so far per column and text.
class RowFitter
{
public:
    explicit RowFitter(QTableWidget *widget)
        : m_widget(widget)
        , m_rows(widget->rowCount())
        , m_widths(TextWidths::of(widget->font()))
        , m_cellHeights(static_cast<size_t>(widget->columnCount()))
        , m_room(static_cast<size_t>(widget->columnCount()), 0)
    {
        const QHeaderView *header = widget->horizontalHeader();
        const int textMargin =
            widget->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        for (int c = 0; c < widget->columnCount(); ++c) {
            if (header->isSectionHidden(c))
                continue;
            m_visible.push_back(c);
            m_room[static_cast<size_t>(c)] =
                header->sectionSize(c) - (widget->showGrid() ? 1 : 0) - 2 * textMargin;
        }
    }

    bool anyVisible() const { return !m_visible.empty(); }

    // The height of row r, or -1 for a row the view measures itself (a
    // styled cell, or no text at all).
    int rowHeight(int r)
    {
        bool anyText = false;
        int tallest = 0;
        for (int c : m_visible) {
            const QTableWidgetItem *item = m_widget->item(r, c);
            if (!item)
                continue;
            if (item->data(Qt::FontRole).isValid() || item->data(Qt::DecorationRole).isValid() ||
                item->data(Qt::CheckStateRole).isValid())
                return -1;
            const QString text = item->text();
            if (text.isEmpty())
                continue;
            anyText = true;
            tallest = std::max(tallest, cellHeight(c, text));
        }
        if (!anyText)
            return -1;
        return std::max(tallest, oneLineHeight());
    }

    // Removes the probe row, if one was added.
    void closeProbe()
    {
        if (m_probing)
            m_widget->setRowCount(m_rows);
        m_probing = false;
    }

private:
    // The view measures a row by asking the delegate of each of its cells
    // for a size hint with the options it paints with; a cell alone is asked
    // the same way here, which spares the view's pass over the empty cells.
    int measureCell(int c) const
    {
        const int probe = m_rows;
        const QModelIndex index = m_widget->model()->index(probe, c);
        QStyleOptionViewItem option = m_options;
        if (m_widget->wordWrap()) {
            option.rect.setY(m_widget->rowViewportPosition(probe));
            option.rect.setHeight(std::max(1, m_widget->rowHeight(probe)));
            option.rect.setX(m_widget->columnViewportPosition(c));
            // The view wraps a text within the column less its grid line.
            option.rect.setWidth(m_widget->columnWidth(c) - (m_widget->showGrid() ? 1 : 0));
        }
        const int hint = m_widget->itemDelegateForIndex(index)->sizeHint(option, index).height();
        return m_widget->showGrid() ? hint + 1 : hint;
    }

    void openProbe()
    {
        if (m_probing)
            return;
        m_widget->setRowCount(m_rows + 1);
        m_probing = true;
        // As the view does before it measures: its style and font settle
        // when it is polished.
        m_widget->ensurePolished();
        (m_widget->*ViewOptions::init)(&m_options);
    }

    int measure(int c, const QString &text)
    {
        openProbe();
        m_widget->setItem(m_rows, c, new QTableWidgetItem(text));
        const int h = measureCell(c);
        delete m_widget->takeItem(m_rows, c);
        return h;
    }

    // Height of one cell: 0 for a text that surely fits on one line.
    int cellHeight(int c, const QString &text)
    {
        QHash<QString, int> &cache = m_cellHeights[static_cast<size_t>(c)];
        auto found = cache.constFind(text);
        if (found != cache.constEnd())
            return *found;
        const qreal w = m_widths.estimate(text);
        // Room to spare absorbs what a pairwise estimate can miss.
        if (w >= 0 && w + 2 + w / 50 <= m_room[static_cast<size_t>(c)]) {
            cache.insert(text, 0);
            return 0;
        }
        const QString key = m_widths.normalized(text);
        found = cache.constFind(key);
        if (found == cache.constEnd())
            found = cache.insert(key, measure(c, text));
        const int h = *found;
        cache.insert(text, h);
        return h;
    }

    // A one-line row: its header section or its tallest cell, empty cells
    // included, as the view measures a row. Measured once.
    int oneLineHeight()
    {
        if (m_oneLine >= 0)
            return m_oneLine;
        openProbe();
        m_widget->setItem(m_rows, m_visible.front(), new QTableWidgetItem(QStringLiteral("0")));
        m_oneLine = m_widget->verticalHeader()->sectionSizeHint(m_rows);
        for (int c : m_visible)
            m_oneLine = std::max(m_oneLine, measureCell(c));
        delete m_widget->takeItem(m_rows, m_visible.front());
        return m_oneLine;
    }

    QTableWidget *m_widget;
    const int m_rows;
    TextWidths &m_widths;
    std::vector<QHash<QString, int>> m_cellHeights;
    std::vector<int> m_visible;
    std::vector<qreal> m_room;
    QStyleOptionViewItem m_options;
    bool m_probing = false;
    int m_oneLine = -1;
};
} // namespace

void TableFit::fitRowHeights(QTableView *table, const std::vector<int> *only)
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
    if (rows == 0)
        return;
    RowFitter fitter(widget);
    if (!fitter.anyVisible())
        return;
    std::vector<int> all;
    if (!only) {
        all.resize(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r)
            all[static_cast<size_t>(r)] = r;
    }
    const std::vector<int> &fitted = only ? *only : all;
    std::vector<int> heights(static_cast<size_t>(rows), -1);
    for (const int r : fitted)
        heights[static_cast<size_t>(r)] = fitter.rowHeight(r);
    // The rows the view measures itself, after the probe row is gone.
    fitter.closeProbe();
    for (const int r : fitted) {
        const int h = heights[static_cast<size_t>(r)];
        if (h < 0)
            widget->resizeRowToContents(r);
        else
            widget->setRowHeight(r, h);
    }
}

void TableFit::fitColumnWidth(QTableView *table, int column, const QStringList *texts)
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
