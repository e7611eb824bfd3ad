#include "view/columns.h"

#include <QFont>
#include <QHeaderView>
#include <QTableWidget>

#include <algorithm>
#include <vector>

namespace Columns {

Qt::GlobalColor countColour(int summaryColumn)
{
    const QString code = SummaryColumns::categoryOf(summaryColumn);
    if (code == QLatin1String(Code::VZS))
        return Qt::red;
    if (code == QLatin1String(Code::GR) || code == QLatin1String(Code::GOSNAG))
        return Qt::yellow;
    return Qt::cyan;
}

void fixHeaders(QTableWidget *table)
{
    for (QHeaderView *header : {table->horizontalHeader(), table->verticalHeader()}) {
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setStyleSheet(QStringLiteral("border: 1px solid black"));
    }
}

void applyLayout(QTableWidget *table, const Layout &layout)
{
    QFont headerFont(QStringLiteral("Times New Roman"), 11);
    headerFont.setWeight(QFont::Bold);
    for (int c = 0; c < table->columnCount() && c < SummaryColumns::COUNT; ++c) {
        const SummaryColumns::Column &column = layout[static_cast<size_t>(c)];
        if (column.width > 0)
            table->setColumnWidth(c, column.width);
        if (QTableWidgetItem *h = table->horizontalHeaderItem(c)) {
            h->setFont(headerFont);
            if (column.header)
                h->setText(QString::fromUtf8(column.header));
        }
    }
}

void shareWidth(QTableWidget *table, const Layout &layout, int fittedWidth, int available)
{
    std::vector<std::pair<int, int>> shown;
    long long total = 0;
    for (int c = 0; c < table->columnCount() && c < SummaryColumns::COUNT; ++c) {
        if (table->isColumnHidden(c))
            continue;
        const int natural = std::max(1, layout[static_cast<size_t>(c)].width > 0
                                            ? layout[static_cast<size_t>(c)].width
                                            : fittedWidth);
        shown.emplace_back(c, natural);
        total += natural;
    }
    if (shown.empty() || available <= 0)
        return;
    int given = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
        // The last shown column takes what rounding left over.
        const int width = i + 1 == shown.size()
                              ? available - given
                              : static_cast<int>(static_cast<long long>(shown[i].second) * available / total);
        table->setColumnWidth(shown[i].first, std::max(table->horizontalHeader()->minimumSectionSize(), width));
        given += width;
    }
}

void restoreWidths(QTableWidget *table, const Layout &layout, int fittedWidth)
{
    for (int c = 0; c < table->columnCount() && c < SummaryColumns::COUNT; ++c) {
        const int width = layout[static_cast<size_t>(c)].width;
        table->setColumnWidth(c, width > 0 ? width : fittedWidth);
    }
}

} // namespace Columns
