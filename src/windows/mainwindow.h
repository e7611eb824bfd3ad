#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <memory>

class DatabaseCommands;
class SummaryTable;

QT_BEGIN_NAMESPACE
class QAction;
class QLabel;
class QSqlError;
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

    // Until the end of the daily copy (below) has been told.
    bool dailyCopyRunning() const;

    // The daily copy of the database, made at the first start of each day
    // once the window is shown, and the oldest such copies removed beyond the
    // number the settings keep, in a thread of its own; the status bar tells
    // the end. Says so once a day in a box when it fails.
    void backupDaily();
    // Tells what the start found (what "--ver" dropped, settings that could
    // not be read) in the status bar, where it stays, and in the log.
    void tellAtStart(const QStringList &notes);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

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
    // The row filters beside the category list; each refills the table and
    // keeps the search that is shown.
    void on_checkBox_clicked();
    void on_comboBox_2_activated(int index);
    void on_checkBox_2_clicked();
    void on_action_21_triggered();
    // Print preview of the summary table.
    void on_action_preview_triggered();
    void on_action_reports_triggered();
    // The service card of the serviceman of the current row.
    void on_action_card_triggered();
    // The service cards of every serviceman the table shows.
    void on_action_cards_triggered();
    void on_tableWidget_6_customContextMenuRequested(const QPoint &position);

private:
    // Opens the database named in the settings, at start or, with `again`,
    // when it could not be opened then; false when it did not open (the
    // user has been told why).
    bool openDatabase(bool again = false);
    // The window of one order for several servicemen, `lns` ticked.
    void openGroupOrder(const QStringList &lns);
    // The lifting of several penalties by one order, the penalties of `lns`
    // listed (everyone's when empty).
    void openGroupLift(const QStringList &lns);
    // The summary's chosen rows, or when at most one is, the rows shown.
    QStringList summaryChoice() const;
    void reportDatabaseFailure(const QString &where, const QString &reason);
    // On a connection that may only read: the commands that write disabled
    // with the reason, and "Только просмотр" in the status bar.
    void showReadOnly();

    Ui::MainWindow *ui;
    // The status bar's line for what the start found.
    QLabel *startNote = nullptr;
    // Says that the connection to the server is not encrypted.
    QLabel *plainNote = nullptr;
    // "Только просмотр" while the connection may only read.
    QLabel *readOnlyNote = nullptr;
    QSqlDatabase db;
    QString LN;
    QString WTS;

    // Shows or hides a column of the summary table as the action is checked.
    void toggleColumn(const QAction *action, int column);
    // Enter on a count cell, Ctrl+F.
    void setUpKeys();
    // "По ширине окна" as the settings keep it, and its command.
    void setUpFitToWindow();
    // Backup, daily copy, restore and transfer to a server.
    std::unique_ptr<DatabaseCommands> commands;
    // The rows of the summary table, its widths and the status bar's lines
    // on what it shows.
    SummaryTable *summary = nullptr;
};

#endif // MAINWINDOW_H
