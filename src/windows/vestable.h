#ifndef VESTABLE_H
#define VESTABLE_H

#include <QSqlError>
#include <QString>
#include <QWidget>

QT_BEGIN_NAMESPACE
namespace Ui {
class vestable;
}
QT_END_NAMESPACE

class QSqlTableModel;

// The reference tables editor: ranks (Ranks) and positions (Emploeses) with
// their ordering weights, edited cell by cell; every change goes to the
// database at once.
class vestable : public QWidget
{
    Q_OBJECT

public:
    explicit vestable(QWidget *parent = nullptr);
    ~vestable() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_comboBox_currentIndexChanged(int index);
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();

private:
    // A new model of the table chosen by the combo box index, read and shown
    // in place of the old one.
    void showTable(int index);
    // Hands the text of a cell being edited to the model.
    void commitOpenEditor();
    // A refused read or write, told once the current edit has finished.
    void reportLater(const QString &what, const QSqlError &error);
    void report();

    Ui::vestable *ui;
    QSqlTableModel *my_model = nullptr;
    QString failedWhat;
    QSqlError failure;
    bool reportPending = false;
};

#endif // VESTABLE_H
