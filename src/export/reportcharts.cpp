#include "export/reportcharts.h"

#include "export/reporttables.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QGraphicsScene>
#include <QLegend>
#include <QLineSeries>
#include <QPainter>
#include <QTextDocumentFragment>
#include <QValueAxis>

#include <algorithm>
#include <array>
#include <cmath>

namespace ReportCharts {

namespace {

// The logical resolution the chart is laid out at before it is scaled onto
// paper: that of an ordinary screen.
constexpr qreal SCREEN_DPI = 96;

// Whole numbers from 0 on a scale of at most five steps of 1, 2 or 5 × 10ⁿ,
// so that no label repeats and the top bar has room above it.
void countAxis(QValueAxis *axis, int highest)
{
    highest = std::max(highest, 1);
    qint64 step = 1;
    for (qint64 scale = 1;; scale *= 10) {
        const qint64 steps[] = {scale, 2 * scale, 5 * scale};
        const auto fits = std::find_if(std::begin(steps), std::end(steps),
                                       [highest](qint64 s) { return (highest + s - 1) / s <= 5; });
        if (fits != std::end(steps)) {
            step = *fits;
            break;
        }
    }
    const qint64 top = (highest + step - 1) / step * step;
    axis->setRange(0, static_cast<qreal>(top));
    axis->setTickCount(static_cast<int>(top / step) + 1);
    axis->setMinorTickCount(0);
    axis->setLabelFormat(QStringLiteral("%.0f"));
}

QChart *newChart(const QString &title, const QFont &font)
{
    auto *chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setTheme(QChart::ChartThemeLight);
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    QFont titleFont = font;
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setTitle(title);
    chart->legend()->setFont(font);
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

// Category labels (rich text: escaped, lines broken with <br>) turned when
// they would not stand side by side under a chart of a page's width.
void categoryLabels(QBarCategoryAxis *axis, const QStringList &labels, const QFont &font)
{
    axis->append(labels);
    axis->setLabelsFont(font);
    qsizetype longest = 0;
    for (const QString &label : labels)
        for (const QString &line : label.split(QStringLiteral("<br>")))
            longest = std::max(longest, QTextDocumentFragment::fromHtml(line).toPlainText().size());
    if (labels.size() * std::max<qsizetype>(longest, 3) > 75)
        axis->setLabelsAngle(-60);
}

// The units under the bars: each name whole, broken at its blanks into
// lines of at most the letters a unit's bars leave room for (reckoned for a
// chart across a landscape page, the narrowest it is drawn at), in at most
// three lines. Where a name does not fit so, the units are numbered on the
// axis and named in unitKey().
struct UnitAxis
{
    QStringList labels;
    QStringList names;
    bool numbered = false;
};

UnitAxis unitAxis(const Reports::Report &report)
{
    UnitAxis axis;
    if (report.units.isEmpty()) {
        axis.labels << QStringLiteral("Итого");
        return axis;
    }
    const int room = std::max(4, 110 / static_cast<int>(report.units.size()) - 1);
    for (const Reports::UnitFigures &f : report.units) {
        axis.names << ReportTables::unitName(f.unit);
        // Short on the axis, where every unit has a bar group's width.
        QStringList lines = f.unit.isEmpty() ? QStringList{QStringLiteral("без"), QStringLiteral("№ ВП")}
                                             : QStringList();
        for (const QString &word : f.unit.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (!lines.isEmpty() && lines.last().size() + 1 + word.size() <= room)
                lines.last() += QLatin1Char(' ') + word;
            else
                lines << word;
        }
        for (const QString &line : std::as_const(lines))
            axis.numbered = axis.numbered || line.size() > room;
        axis.numbered = axis.numbered || lines.size() > 3;
        for (QString &line : lines)
            line = line.toHtmlEscaped();
        axis.labels << lines.join(QStringLiteral("<br>"));
    }
    if (axis.numbered) {
        for (int i = 0; i < axis.labels.size(); ++i)
            axis.labels[i] = QString::number(i + 1);
    }
    return axis;
}

void valueAxis(QChart *chart, QValueAxis *axis, int highest, const QFont &font)
{
    countAxis(axis, highest);
    axis->setLabelsFont(font);
    chart->addAxis(axis, Qt::AlignLeft);
}

} // namespace

QChart *units(const Reports::Report &report, const QFont &font)
{
    QChart *chart = newChart(QStringLiteral("По подразделениям"), font);
    auto *imposed = new QBarSet(QStringLiteral("Взысканий наложено"));
    auto *lifted = new QBarSet(QStringLiteral("Взысканий снято"));
    auto *inForce = new QBarSet(QStringLiteral("Взысканий в силе"));
    auto *incentives = new QBarSet(QStringLiteral("Поощрений"));
    int highest = 0;
    const QVector<Reports::UnitFigures> shown =
        report.units.isEmpty() ? QVector<Reports::UnitFigures>{report.total} : report.units;
    for (const Reports::UnitFigures &f : shown) {
        const int given = f.thanks + f.certificates + f.badges + f.stateAwards + f.veterans;
        *imposed << f.penaltiesImposed;
        *lifted << f.penaltiesLifted;
        *inForce << f.penaltiesInForce;
        *incentives << given;
        highest = std::max({highest, f.penaltiesImposed, f.penaltiesLifted, f.penaltiesInForce, given});
    }
    auto *series = new QBarSeries;
    series->append({imposed, lifted, inForce, incentives});
    imposed->setColor(QColor(0xd9, 0x53, 0x4f));
    lifted->setColor(QColor(0x5c, 0xb8, 0x5c));
    inForce->setColor(QColor(0xf0, 0xad, 0x4e));
    incentives->setColor(QColor(0x33, 0x7a, 0xb7));
    chart->addSeries(series);
    auto *x = new QBarCategoryAxis;
    x->append(unitAxis(report).labels);
    x->setLabelsFont(font);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    auto *y = new QValueAxis;
    valueAxis(chart, y, highest, font);
    series->attachAxis(y);
    return chart;
}

QString unitKey(const Reports::Report &report)
{
    const UnitAxis axis = unitAxis(report);
    if (!axis.numbered)
        return QString();
    QStringList named;
    for (int i = 0; i < axis.names.size(); ++i)
        named << QStringLiteral("%1 — %2").arg(i + 1).arg(axis.names.at(i));
    return QStringLiteral("Подразделения: ") + named.join(QStringLiteral("; "));
}

QChart *months(const Reports::Report &report, const QFont &font)
{
    QChart *chart = newChart(QStringLiteral("По месяцам"), font);
    auto *imposed = new QLineSeries;
    imposed->setName(QStringLiteral("Взысканий наложено"));
    auto *lifted = new QLineSeries;
    lifted->setName(QStringLiteral("Взысканий снято"));
    auto *incentives = new QLineSeries;
    incentives->setName(QStringLiteral("Поощрений"));
    QStringList names;
    int highest = 0;
    for (int i = 0; i < report.months.size(); ++i) {
        const Reports::MonthFigures &m = report.months.at(i);
        imposed->append(i, m.penaltiesImposed);
        lifted->append(i, m.penaltiesLifted);
        incentives->append(i, m.incentives);
        highest = std::max({highest, m.penaltiesImposed, m.penaltiesLifted, m.incentives});
        names << ReportTables::monthName(m.month);
    }
    const std::array<std::pair<QLineSeries *, QColor>, 3> lines{{{imposed, QColor(0xd9, 0x53, 0x4f)},
                                                                  {lifted, QColor(0x5c, 0xb8, 0x5c)},
                                                                  {incentives, QColor(0x33, 0x7a, 0xb7)}}};
    auto *x = new QBarCategoryAxis;
    categoryLabels(x, names, font);
    chart->addAxis(x, Qt::AlignBottom);
    auto *y = new QValueAxis;
    valueAxis(chart, y, highest, font);
    for (const auto &[series, colour] : lines) {
        QPen pen(colour);
        pen.setWidthF(2);
        series->setPen(pen);
        // A period of one month is a point on each line.
        series->setPointsVisible(true);
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
    }
    return chart;
}

QFont paperFont(const QFont &screen)
{
    QFont font = screen;
    const qreal points = screen.pointSizeF() > 0 ? screen.pointSizeF() : 9;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(points * SCREEN_DPI / 72))));
    return font;
}

void paint(QChart *chart, QPainter *painter, const QRectF &room)
{
    const qreal dpi = painter->device() ? painter->device()->logicalDpiX() : SCREEN_DPI;
    const QSizeF logical = room.size() * (SCREEN_DPI / std::max<qreal>(dpi, 1));
    QGraphicsScene scene;
    scene.addItem(chart); // the scene deletes it
    chart->setGeometry(QRectF(QPointF(0, 0), logical));
    scene.setSceneRect(QRectF(QPointF(0, 0), logical));
    scene.render(painter, room, scene.sceneRect(), Qt::KeepAspectRatio);
}

} // namespace ReportCharts
