#ifndef ADDCOMBAT_H
#define ADDCOMBAT_H

#include "storage/register/servicemen.h"

#include <QMainWindow>
#include <QString>

class QComboBox;
class QKeyEvent;

QT_BEGIN_NAMESPACE
namespace Ui {
class addCombat;
}
QT_END_NAMESPACE

// The serviceman form: adds one serviceman to Combat (add mode) or changes the
// one whose personal number it was opened with (change mode).
class addCombat : public QMainWindow
{
    Q_OBJECT

public:
    addCombat(QString value, QString value_1, QString value_2, QString value_3, QString value_4, bool b,
              QString value_5, QWidget *parent = nullptr);
    ~addCombat() override;

signals:
    // The form is done (saved, or left with "Так точно"); the roster may have changed.
    void sig_close();

private slots:
    void on_pushButton_2_clicked();
    void on_pushButton_clicked();

protected:
    void keyPressEvent(QKeyEvent *e) override;

private:
    // A stored name that the reference list no longer holds, with its stored number.
    struct Kept
    {
        QString name;
        int number = 0;
    };
    // The six texts a serviceman is shown with (unit number, position, rank,
    // full name, birth date, personal number), in the order of the list.
    using Fields = Servicemen::Fields;
    // Puts a serviceman's texts into the inputs; they are what a change
    // expects to find in the database when it writes.
    void setFields(const Fields &fields);
    // Shows the serviceman anew from the database after another user changed him.
    void reloadFields();
    // True when the orders a personal number holds without a serviceman may
    // go to the serviceman being saved (there are none, or the user says they
    // are his); otherwise the user has been told.
    bool claimOrphans(const QString &ln);
    bool pick(QComboBox *combo, const QString &name, Kept &kept);
    void chosen(const QComboBox *combo, const Kept &kept, QString &name, int &number) const;

    bool br;
    QString ln_old;
    Ui::addCombat *ui;

    Kept dol_kept;
    Kept zv_kept;
    // The stored birth date text, written back unless the user sets a date.
    QString data_kept;
    // The serviceman as the form was filled with him.
    Fields loaded;
};

#endif // ADDCOMBAT_H
