#ifndef VOENOSLUGA_H
#define VOENOSLUGA_H

#include "storage/register/roster.h"

#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <vector>

class QCloseEvent;
class QKeyEvent;

QT_BEGIN_NAMESPACE
namespace Ui {
class voenosluga;
}
QT_END_NAMESPACE

// The servicemen list window: the roster with a trailing empty row; a
// double-click opens the serviceman form (on the empty row to add one, as
// "Добавить" does), "Удаление" deletes the serviceman of the current row.
// The search line above the table keeps only the servicemen whose name,
// personal number or unit number holds the text typed.
class voenosluga : public QMainWindow
{
    Q_OBJECT

public:
    explicit voenosluga(QWidget *parent = nullptr);
    ~voenosluga() override;

signals:
    // The window is closing; the roster may have changed.
    void sig_close();

private slots:
    void on_tableWidget_cellDoubleClicked(int row, int column);

public slots:
    void clear_tableWidget();

private slots:
    void on_action_del_triggered();
    // The service card of the serviceman of the current row.
    void on_action_card_triggered();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Opens the serviceman form: on row `row` of the roster to change that
    // serviceman, or empty to add one when row is -1.
    void openForm(int row);
    // Hides the rows the search line leaves out; the trailing empty row stays.
    void applySearch();

    Ui::voenosluga *ui;
    // Waits for a pause in typing before a long roster is searched.
    QTimer searchDelay;
    QString value;
    QString value_1;
    QString value_2;
    QString value_3;
    QString value_4;
    QString value_5;
    bool b = false;
    // The servicemen as read, row for row with the table.
    std::vector<Roster::Row> rows;
};

#endif // VOENOSLUGA_H
