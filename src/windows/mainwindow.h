#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QSqlDatabase>
#include <QString>

QT_BEGIN_NAMESPACE
class QAction;
namespace Ui {
class MainWindow;
}
QT_END_NAMESPACE

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

protected:
    void closeEvent(QCloseEvent *event) override;

public slots:
    void recordfile(const QString &ln, const QString &code);
    void clear_tableWidgets();

private slots:
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void on_tableWidget_6_cellDoubleClicked(int row, int column);
    void on_comboBox_activated(int index);
    void on_action_Exel_triggered();
    void on_action_2_triggered();
    void on_action_6_triggered();
    void on_action_triggered();
    void on_action_9_triggered();
    void on_action_3_triggered();
    void on_action_5_triggered();
    void on_action_8_triggered();
    void on_action_4_triggered();
    void on_action_10_triggered();
    void on_action_7_triggered();
    void on_action_11_triggered();
    void on_action_12_triggered();
    void on_action_18_triggered();
    void on_action_19_triggered();

public slots:
    void visible_set();

private slots:
    void on_action_20_triggered();
    // Print preview of the summary table.
    void on_action_preview_triggered();
    // The service cards of the selected servicemen (or of the current one).
    void on_action_card_triggered();
    void on_tableWidget_6_customContextMenuRequested(const QPoint &position);

private:
    void openDatabase();
    void reportDatabaseFailure(const QString &fileName, const QString &reason);

    Ui::MainWindow *ui;
    QSqlDatabase db;
    QString LN;
    QString WTS;
    QString qstr;
    QString str_3;

    // Shows or hides a column of the summary table as the action is checked.
    void toggleColumn(const QAction *action, int column);
    // Opens the closed connection again on its file, if the file is there.
    bool reopenDatabase();
    // Fills the summary table from the database. With a filter text only the
    // rows holding it in some cell are put in, each looking exactly as it
    // would in the full table (its stripe, colours and height).
    void fill(const QString &filter);
    // The personal numbers of the selected rows in table order, or of the
    // current row when none is selected.
    QStringList chosenPersonalNumbers() const;
};

#endif // MAINWINDOW_H
