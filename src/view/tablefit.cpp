// Fitting of table rows and columns to their texts: the heights and widths
// the view's own measuring would give, found without measuring every cell.

#include "function.h"
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

void Function::fitRowHeights(QTableView *table, const std::vector<int> *only)
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
    std::vector<int> all;
    if (!only) {
        all.resize(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r)
            all[static_cast<size_t>(r)] = r;
    }
    const std::vector<int> &fitted = only ? *only : all;
    for (const int r : fitted) {
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
    for (const int r : fitted) {
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
