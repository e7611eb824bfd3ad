#include "export/tableprint.h"

#include "storage/register/summarycolumns.h"

#include <QHeaderView>
#include <QTableWidget>

namespace TablePrint {

QString shownCategory(const QTableWidget *table)
{
    QString shown;
    int count = 0;
    for (int c = SummaryColumns::FIRST_COUNT; c <= SummaryColumns::LAST_COUNT && c < table->columnCount();
         ++c) {
        if (table->isColumnHidden(c))
            continue;
        ++count;
        const QTableWidgetItem *h = table->horizontalHeaderItem(c);
        shown = h ? h->text() : QString();
    }
    return count == 1 ? shown.replace(QLatin1Char('\n'), QLatin1Char(' ')) : QString();
}

Paper::Document document(const QTableWidget *table, const QDate &printed)
{
    Paper::Part part;
    const QString category = shownCategory(table);
    part.line = QStringLiteral("Сводная таблица") +
                (category.isEmpty() ? QString() : QStringLiteral(" — ") + category) + QStringLiteral(" — ") +
                printed.toString(QStringLiteral("dd.MM.yyyy"));
    part.lineAtTop = true;
    part.lineFont = table->font();

    Paper::Table t;
    t.font = table->font();
    t.headerFont = table->horizontalHeader()->font();
    t.headerBackground = QColor(235, 235, 235);
    // Screen pixels to points.
    const qreal toPoints = 72.0 / std::max(1, table->logicalDpiX());
    std::vector<int> columns;
    for (int c = 0; c < table->columnCount(); ++c) {
        if (table->isColumnHidden(c))
            continue;
        columns.push_back(c);
        t.widths.push_back(table->columnWidth(c) * toPoints);
        const QTableWidgetItem *h = table->horizontalHeaderItem(c);
        Paper::Cell cell;
        cell.text = h ? h->text() : QString::number(c + 1);
        cell.alignment = Qt::AlignCenter;
        if (h && h->data(Qt::FontRole).isValid())
            t.headerFont = h->font();
        t.header.push_back(std::move(cell));
    }
    const int rows = table->rowCount();
    t.rows.reserve(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        Paper::Row row;
        row.reserve(columns.size());
        for (const int c : columns) {
            Paper::Cell cell;
            if (const QTableWidgetItem *item = table->item(r, c)) {
                cell.text = item->text();
                const QVariant background = item->data(Qt::BackgroundRole);
                if (background.isValid()) {
                    const QBrush brush = background.value<QBrush>();
                    if (brush.style() != Qt::NoBrush)
                        cell.background = brush.color();
                }
                const QVariant alignment = item->data(Qt::TextAlignmentRole);
                if (alignment.isValid())
                    cell.alignment = Qt::Alignment(alignment.toInt());
                if (!(cell.alignment & Qt::AlignVertical_Mask))
                    cell.alignment |= Qt::AlignVCenter;
            }
            row.push_back(std::move(cell));
        }
        t.rows.push_back(std::move(row));
    }
    part.blocks.emplace_back(std::move(t));
    Paper::Document document;
    document.parts.push_back(std::move(part));
    return document;
}

} // namespace TablePrint
