#ifndef REPORTS_H
#define REPORTS_H

#include "storage/reports/report.h"

#include <QTimer>
#include <QWidget>

class QChart;
class QChartView;
class QLabel;
class QTableWidget;
class addfile;

namespace ReportTables {
struct Table;
}

QT_BEGIN_NAMESPACE
namespace Ui {
class reports;
}
QT_END_NAMESPACE

// The window "Отчёты": discipline and incentives over a period (a month, a
// quarter, a year or two dates) for all units or one. Its tabs: the summary
// per unit with a bar chart, the servicemen with most penalties in force
// (double-click or Enter opens their penalties), and the course by month with
// a line chart. The report follows the choice of period and unit; «Показать»
// counts it again. It is printed, saved as PDF or as a spreadsheet. It only
// reads the register.
class ReportsWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ReportsWindow(QWidget *parent = nullptr);
    ~ReportsWindow() override;

    // Opens the window as the program's windows open (deleted when closed).
    static ReportsWindow *open();

    // The period and the unit chosen (a null text: all units).
    Reports::Period period() const;
    QString unit() const;
    // Counts the report for the period and unit chosen and shows it.
    void refresh();
    const Reports::Report &report() const { return shown; }

    // Writes the report's pages to a PDF file; false with the reason.
    bool savePdf(const QString &fileName, QString *error);

signals:
    // An orders window opened from the list, for whoever recounts the
    // serviceman's penalties when it closes.
    void ordersOpened(addfile *orders);

private slots:
    void on_comboKind_currentIndexChanged(int index);
    void on_buttonShow_clicked();
    void on_buttonPrint_clicked();
    void on_buttonPdf_clicked();
    void on_buttonExport_clicked();
    void on_tableTop_cellDoubleClicked(int row, int column);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillParts();
    void fillUnits();
    void fill(QTableWidget *table, const ReportTables::Table &source);
    void setChart(QChartView *view, QChart *chart);
    void openOrders(int row);
    void say(const QString &text, bool failure = false);

    Ui::reports *ui;
    QChartView *unitsView;
    QLabel *unitKey;
    QChartView *monthsView;
    Reports::Report shown;
    QTimer pause;
};

#endif // REPORTS_H
