#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include <functional>

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
    void on_action_21_triggered();

private:
    void openDatabase();
    void reportDatabaseFailure(const QString &where, const QString &reason);
    // The restore on a server: the server's data replaced by a file's.
    void restoreOnServer(const QString &folder);
    // Runs long work under the wait cursor.
    static bool busy(const std::function<bool()> &work);
    // The documents a copy onto the server did not find, for the report.
    static QString missingNote(const QStringList &missing);

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
    // Returns the error of a read that failed.
    QSqlError fill(const QString &filter);
};

#endif // MAINWINDOW_H
