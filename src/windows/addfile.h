#ifndef ADDFILE_H
#define ADDFILE_H

#include <QMainWindow>
#include "storage/register/orders.h"

#include <QString>

class QCloseEvent;
class QEvent;
class QKeyEvent;
class QLabel;
class OrderDocuments;

namespace Dialogs {
struct Write;
}

QT_BEGIN_NAMESPACE
namespace Ui {
class addfile;
}
QT_END_NAMESPACE

// The orders of one serviceman in one category: the list, the editing of
// orders, the lifting of penalties and the documents attached to an order.
// When it closes it reports the serviceman and the category through wtf() and
// then destroys itself.
class addfile : public QMainWindow
{
    Q_OBJECT

public:
    addfile(const QString &ln, const QString &code, const QString &fio, QWidget *parent = nullptr);
    ~addfile() override;

signals:
    void wtf(QString ln, QString code);

public slots:
    void clearTable();

private slots:
    void on_pushButton_7_clicked();
    void on_pushButton_4_clicked();
    void on_pushButton_6_clicked();
    void on_checkBox_stateChanged(int arg1);
    void on_tableWidget_2_cellClicked(int row, int column);
    void on_tabWidget_currentChanged(int index);
    void on_action_2_triggered(bool checked);
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void on_pushButton_3_clicked();
    void on_pushButton_5_clicked();
    void on_tableWidget_cellDoubleClicked(int row, int column);
    void on_action_triggered();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    // Typing into the date field while it shows a stored text that is not a
    // date starts a new date, as typing over a date does.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Empties the order list and loads it again. When the command before it
    // wrote nothing (refused, or answered "Никак нет"), what the user typed
    // stays in the fields and the chosen order stays chosen.
    void reload();
    // Applies the window title, texts and visibility of the category.
    void applyPresentation();
    // The tool bar's command of the serviceman's history of changes.
    void addHistoryCommand();
    // The tool bar's command that changes the chosen order in every row of
    // its number and date (a group order) to what the fields hold.
    void addChangeForAllCommand();
    // The extract from the chosen order, on the tool bar and the list's
    // context menu: this serviceman's, or one for everyone the order names
    // (the rows of its category, number and date).
    void addExtractCommands();
    // Says in the window's status line what a command did not do and why,
    // until the next command.
    void say(const QString &text);
    // After an order came under `number`: names, in the status line, the
    // documents `names` that a deleted order of that number left there.
    void tellLeftOver(const QString &number, const QStringList &names);
    // Shows what a write came to; true when it was done. `number` names the order in the messages. When the
    // serviceman is gone the window closes.
    bool written(const Orders::Result &result, const Dialogs::Write &what, const QString &number);
    // The list row of an order number, the current row first; -1 when none,
    // and when several orders hold it (`several` set) and none is current.
    int rowOf(const QString &number, bool *several) const;
    // The stored identity of the order of a list row; read only while the
    // list holds two orders of one number, empty otherwise.
    QString rowId(int row) const;
    // Asks before a second order of a number already held; false when the
    // user declines or the orders could not be read.
    bool numberFree(const QString &number, const QString &what);
    // Lifts the penalty of the number in the field.
    void liftOrder();
    // What the fields hold for an add or a change.
    Orders::Fields typedFields() const;
    // False, with the reason in the window's line after `notDone`, when a
    // typed field (with the lifting number when `lifting`) holds a
    // character that cannot be stored.
    bool storable(const QString &notDone, bool lifting);
    // Shows an order's stored date text in the date field; the text is kept
    // for writing back until the user sets a date.
    void keepDate(const QString &stored);
    void forgetDate();
    // The date text an add or a change writes.
    QString orderDate() const;
    void askAndExit();

    QString ln;
    QString wt;
    QString fio;
    Ui::addfile *ui;
    // The stored date text of the clicked order (null once the user set a date).
    QString date_kept;
    // Set once the serviceman was found gone: the window is closing.
    bool closing = false;
    // Set once the command under way has committed its write.
    bool saved = false;
    // The window's status line.
    QLabel *status = nullptr;
    // The page "Файлы": the documents of the chosen order.
    OrderDocuments *documents = nullptr;
};

#endif // ADDFILE_H
