#include "export/reportprint.h"

#include "export/reportcharts.h"
#include "export/reporttables.h"

#include <memory>

namespace ReportPrint {

namespace {

// A chart across a landscape page: 25 × 10.5 cm, narrowed with the page.
constexpr qreal CHART_WIDTH = 710;
constexpr qreal CHART_HEIGHT = 300;
// The tables' text, in points: ten columns of counts fit across the page.
constexpr qreal TABLE_POINTS = 10;

// A table of the report; with `total` its last row (the total) shaded.
Paper::Table paperTable(const ReportTables::Table &source, const QFont &font, const QFont &bold, bool total = false)
{
    Paper::Table t;
    t.font = font;
    t.headerFont = bold;
    t.headerBackground = QColor(235, 235, 235);
    for (const QString &text : source.header) {
        t.header.push_back(Paper::Cell{text, QColor(), Qt::AlignCenter});
        // Narrow to start with: the columns widen to what their texts need.
        t.widths.push_back(40);
    }
    for (const QStringList &texts : source.rows) {
        Paper::Row row;
        for (int c = 0; c < texts.size(); ++c) {
            const Qt::Alignment across = c >= source.firstNumber ? Qt::AlignRight : Qt::AlignLeft;
            row.push_back(Paper::Cell{texts.at(c), QColor(), across | Qt::AlignVCenter});
        }
        if (total && t.rows.size() + 1 == static_cast<size_t>(source.rows.size())) {
            for (Paper::Cell &cell : row)
                cell.background = t.headerBackground;
        }
        t.rows.push_back(std::move(row));
    }
    return t;
}

Paper::Text heading(const QString &text, const QFont &bold)
{
    return Paper::Text{text, bold, Qt::AlignLeft, 14, true};
}

} // namespace

Paper::Document document(const Reports::Report &report, const QDate &printed, const QFont &font)
{
    QFont body = font;
    body.setPointSizeF(TABLE_POINTS);
    QFont bold = body;
    bold.setBold(true);
    QFont large = bold;
    large.setPointSizeF(TABLE_POINTS * 1.5);
    const QString period = ReportTables::periodText(report.period);
    const QString unit = ReportTables::unitText(report.unit);

    Paper::Part part;
    part.line = QStringLiteral("%1 %2, %3 — %4")
                    .arg(ReportTables::title(), period, unit, printed.toString(QStringLiteral("dd.MM.yyyy")));
    part.lineAtTop = false;
    part.lineFont = body;
    part.blocks.emplace_back(Paper::Text{ReportTables::title(), large, Qt::AlignHCenter, 0, true});
    part.blocks.emplace_back(
        Paper::Text{QStringLiteral("%1, %2").arg(period, unit), bold, Qt::AlignHCenter, 4, true});

    // The report the charts are drawn from, shared by the pictures: the
    // paper may be painted again (the preview) after this returns.
    const auto shared = std::make_shared<const Reports::Report>(report);
    const QFont chartFont = ReportCharts::paperFont(body);
    auto chart = [shared, chartFont](QChart *(*make)(const Reports::Report &, const QFont &)) {
        return Paper::Picture{CHART_WIDTH, CHART_HEIGHT, [shared, chartFont, make](QPainter *p, const QRectF &room) {
                                  ReportCharts::paint(make(*shared, chartFont), p, room);
                              }};
    };

    part.blocks.emplace_back(heading(QStringLiteral("Сводка"), bold));
    part.blocks.emplace_back(paperTable(ReportTables::summary(report), body, bold, true));
    const QString undated = ReportTables::undatedLine(report);
    if (!undated.isEmpty())
        part.blocks.emplace_back(Paper::Text{undated, body, Qt::AlignLeft, 4, false});
    part.blocks.emplace_back(chart(&ReportCharts::units));
    const QString key = ReportCharts::unitKey(report);
    if (!key.isEmpty())
        part.blocks.emplace_back(Paper::Text{key, body, Qt::AlignLeft, 2, false});

    part.blocks.emplace_back(heading(QStringLiteral("Больше всего взысканий в силе"), bold));
    if (report.top.isEmpty())
        part.blocks.emplace_back(Paper::Text{QStringLiteral("Взысканий в силе нет."), body, Qt::AlignLeft, 4, false});
    else
        part.blocks.emplace_back(paperTable(ReportTables::top(report), body, bold));

    part.blocks.emplace_back(heading(QStringLiteral("По месяцам"), bold));
    part.blocks.emplace_back(paperTable(ReportTables::months(report), body, bold));
    part.blocks.emplace_back(chart(&ReportCharts::months));

    Paper::Document document;
    document.parts.push_back(std::move(part));
    return document;
}

} // namespace ReportPrint
