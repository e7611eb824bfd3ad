#include "windows/reports.h"
#include "ui_reports.h"

#include "export/printing.h"
#include "export/reportexport.h"
#include "export/reportcharts.h"
#include "export/reportprint.h"
#include "export/reporttables.h"
#include "storage/db/sql.h"
#include "view/openwindows.h"
#include "windows/addfile.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPageLayout>
#include <QPageSize>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidgetItem>
#include <QVBoxLayout>

#include <array>

namespace {

enum Kind { Month, Quarter, Year, Dates };

constexpr std::array<const char *, 12> MONTHS{{"Январь", "Февраль", "Март", "Апрель", "Май", "Июнь", "Июль",
                                                "Август", "Сентябрь", "Октябрь", "Ноябрь", "Декабрь"}};
constexpr std::array<const char *, 4> QUARTERS{{"I квартал", "II квартал", "III квартал", "IV квартал"}};

// A chart view in the room the form leaves for it.
QChartView *chartViewIn(QWidget *room)
{
    auto *layout = new QVBoxLayout(room);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *view = new QChartView(room);
    view->setRenderHint(QPainter::Antialiasing);
    layout->addWidget(view);
    return view;
}

} // namespace

ReportsWindow::ReportsWindow(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::reports)
{
    ui->setupUi(this);
    unitsView = chartViewIn(ui->chartUnits);
    // The units' names under the chart where their numbers stand on it.
    unitKey = new QLabel(ui->chartUnits);
    unitKey->setWordWrap(true);
    unitKey->setTextInteractionFlags(Qt::TextSelectableByMouse);
    unitKey->hide();
    ui->chartUnits->layout()->addWidget(unitKey);
    monthsView = chartViewIn(ui->chartMonths);
    for (QTableWidget *t : {ui->tableSummary, ui->tableTop, ui->tableMonths}) {
        t->verticalHeader()->setVisible(false);
        t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
        t->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    }
    ui->tableTop->installEventFilter(this);
    // The charts get the larger share of the tabs' height.
    ui->tabSummarySplitter->setSizes({260, 340});
    ui->tabMonthsSplitter->setSizes({200, 400});

    // The current quarter, for all units.
    const QDate today = QDate::currentDate();
    ui->spinYear->setValue(today.year());
    ui->dateFrom->setDate(QDate(today.year(), (today.month() - 1) / 3 * 3 + 1, 1));
    ui->dateTo->setDate(today);
    {
        const QSignalBlocker blocker(ui->comboKind);
        ui->comboKind->setCurrentIndex(Quarter);
    }
    fillParts();
    ui->comboPart->setCurrentIndex((today.month() - 1) / 3);
    fillUnits();
    refresh();

    // The report follows the choice after a short pause, so that stepping
    // through years or months counts only the last one.
    pause.setSingleShot(true);
    pause.setInterval(300);
    connect(&pause, &QTimer::timeout, this, &ReportsWindow::refresh);
    auto later = [this] { pause.start(); };
    connect(ui->comboKind, &QComboBox::currentIndexChanged, this, later);
    connect(ui->comboPart, &QComboBox::currentIndexChanged, this, later);
    connect(ui->comboUnit, &QComboBox::currentIndexChanged, this, later);
    connect(ui->spinYear, &QSpinBox::valueChanged, this, later);
    connect(ui->dateFrom, &QDateEdit::dateChanged, this, later);
    connect(ui->dateTo, &QDateEdit::dateChanged, this, later);
}

ReportsWindow::~ReportsWindow()
{
    delete ui;
}

ReportsWindow *ReportsWindow::open()
{
    auto *window = new ReportsWindow;
    OpenWindows::show(window);
    return window;
}

void ReportsWindow::fillParts()
{
    const int kind = ui->comboKind->currentIndex();
    const int previous = ui->comboPart->currentIndex();
    ui->comboPart->clear();
    if (kind == Month) {
        for (const char *name : MONTHS)
            ui->comboPart->addItem(QString::fromUtf8(name));
        // From a quarter to its first month.
        ui->comboPart->setCurrentIndex(std::max(previous, 0) * 3 % 12);
    } else if (kind == Quarter) {
        for (const char *name : QUARTERS)
            ui->comboPart->addItem(QString::fromUtf8(name));
        ui->comboPart->setCurrentIndex(std::max(previous, 0) / 3);
    }
    const bool dates = kind == Dates;
    ui->comboPart->setVisible(kind == Month || kind == Quarter);
    ui->spinYear->setVisible(!dates);
    for (QWidget *w : {static_cast<QWidget *>(ui->labelFrom), static_cast<QWidget *>(ui->dateFrom),
                       static_cast<QWidget *>(ui->labelTo), static_cast<QWidget *>(ui->dateTo)})
        w->setVisible(dates);
}

void ReportsWindow::fillUnits()
{
    ui->comboUnit->clear();
    // No data: all units. The servicemen without a unit are a row of the
    // report for all units, not a choice of their own: an empty unit asks
    // for all of them.
    ui->comboUnit->addItem(QStringLiteral("Все подразделения"));
    for (const QString &unit : Reports::units()) {
        if (!unit.isEmpty())
            ui->comboUnit->addItem(unit, unit);
    }
}

Reports::Period ReportsWindow::period() const
{
    const int year = ui->spinYear->value();
    const int part = std::max(ui->comboPart->currentIndex(), 0);
    QDate from;
    switch (ui->comboKind->currentIndex()) {
    case Month:
        from = QDate(year, part + 1, 1);
        return {from, from.addMonths(1).addDays(-1)};
    case Quarter:
        from = QDate(year, part * 3 + 1, 1);
        return {from, from.addMonths(3).addDays(-1)};
    case Year:
        return {QDate(year, 1, 1), QDate(year, 12, 31)};
    default:
        // The two dates in either order.
        return {std::min(ui->dateFrom->date(), ui->dateTo->date()), std::max(ui->dateFrom->date(), ui->dateTo->date())};
    }
}

QString ReportsWindow::unit() const
{
    const QVariant data = ui->comboUnit->currentData();
    return data.isValid() ? data.toString() : QString();
}

void ReportsWindow::refresh()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Reports::Report report = Reports::build(period(), unit());
    QApplication::restoreOverrideCursor();
    if (!report.error.isEmpty()) {
        // Nothing of an earlier report stays to be taken for this one.
        shown = Reports::Report();
        ui->labelTitle->clear();
        for (QTableWidget *t : {ui->tableSummary, ui->tableTop, ui->tableMonths})
            t->setRowCount(0);
        ui->labelUndated->clear();
        setChart(unitsView, nullptr);
        unitKey->hide();
        setChart(monthsView, nullptr);
        say(QStringLiteral("Отчёт не составлен: %1").arg(report.error), true);
        return;
    }
    shown = std::move(report);
    ui->labelTitle->setText(QStringLiteral("<b>%1</b> %2, %3")
                                .arg(ReportTables::title(), ReportTables::periodText(shown.period),
                                     ReportTables::unitText(shown.unit).toHtmlEscaped()));
    fill(ui->tableSummary, ReportTables::summary(shown));
    // The total row in bold.
    const int last = ui->tableSummary->rowCount() - 1;
    for (int c = 0; c < ui->tableSummary->columnCount(); ++c) {
        QTableWidgetItem *item = ui->tableSummary->item(last, c);
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
    }
    fill(ui->tableTop, ReportTables::top(shown));
    fill(ui->tableMonths, ReportTables::months(shown));
    const QString undated = ReportTables::undatedLine(shown);
    ui->labelUndated->setText(undated);
    ui->labelUndated->setVisible(!undated.isEmpty());
    setChart(unitsView, ReportCharts::units(shown, font()));
    unitKey->setText(ReportCharts::unitKey(shown));
    unitKey->setVisible(!unitKey->text().isEmpty());
    setChart(monthsView, ReportCharts::months(shown, font()));
    say(QString());
}

void ReportsWindow::fill(QTableWidget *table, const ReportTables::Table &source)
{
    table->clear();
    table->setColumnCount(static_cast<int>(source.header.size()));
    // Long headers on two lines, so that the numbers' columns stay narrow.
    QStringList header = source.header;
    for (QString &text : header) {
        const int blank = text.indexOf(QLatin1Char(' '));
        if (text.size() > 12 && blank > 0)
            text[blank] = QLatin1Char('\n');
    }
    table->setHorizontalHeaderLabels(header);
    table->setRowCount(static_cast<int>(source.rows.size()));
    for (int r = 0; r < source.rows.size(); ++r) {
        const QStringList &texts = source.rows.at(r);
        for (int c = 0; c < texts.size(); ++c) {
            auto *item = new QTableWidgetItem(texts.at(c));
            item->setTextAlignment((c >= source.firstNumber ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
            table->setItem(r, c, item);
        }
    }
    table->resizeColumnsToContents();
}

void ReportsWindow::setChart(QChartView *view, QChart *chart)
{
    QChart *old = view->chart();
    view->setChart(chart ? chart : new QChart);
    delete old;
}

void ReportsWindow::say(const QString &text, bool failure)
{
    ui->statusLine->setStyleSheet(failure ? QStringLiteral("color: #b00000;") : QString());
    ui->statusLine->setText(text);
    ui->statusLine->setToolTip(text);
}

void ReportsWindow::on_comboKind_currentIndexChanged(int)
{
    fillParts();
}

void ReportsWindow::on_buttonShow_clicked()
{
    // Counted again now, also when nothing was changed: the register may have.
    pause.stop();
    refresh();
}

void ReportsWindow::on_tableTop_cellDoubleClicked(int row, int)
{
    openOrders(row);
}

bool ReportsWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->tableTop && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && ui->tableTop->currentRow() >= 0) {
            openOrders(ui->tableTop->currentRow());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ReportsWindow::openOrders(int row)
{
    if (row < 0 || row >= shown.top.size())
        return;
    const Reports::TopRow &top = shown.top.at(row);
    // As the summary table opens them: the serviceman's penalties.
    auto *orders = new addfile(top.ln, QString::fromLatin1(Code::VZS), top.fio);
    OpenWindows::show(orders);
    emit ordersOpened(orders);
}

bool ReportsWindow::savePdf(const QString &fileName, QString *error)
{
    const Paper::Document document = ReportPrint::document(shown, QDate::currentDate(), font());
    const QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12),
                             QPageLayout::Millimeter);
    Printing::ProgressBox box(this, QStringLiteral("Сохранение в PDF"));
    return Printing::savePdf(document, fileName, layout, 300, false, box.progress(), error) ==
           Printing::Outcome::Done;
}

void ReportsWindow::on_buttonPrint_clicked()
{
    if (!shown.period.from.isValid()) {
        say(QStringLiteral("Отчёт не составлен: печатать нечего."), true);
        return;
    }
    QString error;
    const std::optional<Printing::Outcome> outcome = Printing::printAsked(
        this, QPageLayout::Landscape, [this] { return ReportPrint::document(shown, QDate::currentDate(), font()); },
        &error);
    if (!outcome)
        return;
    switch (*outcome) {
    case Printing::Outcome::Done:
        say(QStringLiteral("Отчёт отправлен на печать."));
        break;
    case Printing::Outcome::Cancelled:
        say(QStringLiteral("Печать отчёта отменена."));
        break;
    case Printing::Outcome::Failed:
        say(QStringLiteral("Отчёт не напечатан: %1.").arg(error), true);
        break;
    }
}

void ReportsWindow::on_buttonPdf_clicked()
{
    if (!shown.period.from.isValid()) {
        say(QStringLiteral("Отчёт не составлен: сохранять нечего."), true);
        return;
    }
    QString name = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить отчёт в PDF"), QString(),
                                                QStringLiteral("PDF (*.pdf)"));
    if (name.isEmpty())
        return;
    if (!name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        name += QLatin1String(".pdf");
    QString error;
    if (savePdf(name, &error))
        say(QStringLiteral("Отчёт сохранён в файл «%1».").arg(QDir::toNativeSeparators(name)));
    else if (!error.isEmpty())
        say(QStringLiteral("Отчёт не сохранён в файл «%1»: %2.").arg(QDir::toNativeSeparators(name), error), true);
}

void ReportsWindow::on_buttonExport_clicked()
{
    if (!shown.period.from.isValid()) {
        say(QStringLiteral("Отчёт не составлен: сохранять нечего."), true);
        return;
    }
    const QString xlsx = QStringLiteral("Excel 2007+ (*.xlsx)");
    const QString ods = QStringLiteral("OpenDocument (*.ods)");
    QString chosenFilter;
    QString name = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить отчёт"), QString(),
                                                xlsx + QStringLiteral(";;") + ods, &chosenFilter);
    if (name.isEmpty())
        return;
    if (!name.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive) &&
        !name.endsWith(QLatin1String(".ods"), Qt::CaseInsensitive))
        name += chosenFilter == ods ? QLatin1String(".ods") : QLatin1String(".xlsx");
    QString error;
    if (ReportExport::write(shown, name, &error))
        say(QStringLiteral("Отчёт сохранён в файл «%1».").arg(QDir::toNativeSeparators(name)));
    else
        say(QStringLiteral("Отчёт не сохранён в файл «%1»: %2").arg(QDir::toNativeSeparators(name), error), true);
}
