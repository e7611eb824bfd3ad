#include "windows/addcombat.h"
#include "ui_addcombat.h"

#include "function.h"
#include "storage/transaction.h"

#include <QDateTime>
#include <QDebug>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QSqlError>

namespace {

// Item data of the extra combo entry that shows a stored name missing from
// the reference list.
constexpr int KEPT_ROLE = Qt::UserRole + 1;

const char NOT_SAVED[] = "Запись не сохранена";

} // namespace

addCombat::addCombat(QString value, QString value_1, QString value_2, QString value_3, QString value_4,
                     bool b, QString value_5, QWidget *parent)
    : QMainWindow(parent)
    , br(b)
    , ui(new Ui::addCombat)
{
    ui->setupUi(this);
    ui->lineEdit_VP->setText(value);
    ui->lineEdit_LN->setText(value_5);

    // The field shows the locale's short date-and-time form, the form in
    // which saving writes the text; texts written with a one-digit hour are
    // read as well.
    const QLocale locale = ui->dateTimeEdit->locale();
    const QString format = ui->dateTimeEdit->displayFormat();
    QDateTime date = locale.toDateTime(value_4, format);
    if (!date.isValid())
        date = locale.toDateTime(value_4, QString(format).replace(QLatin1String("HH"), QLatin1String("H")));
    if (date.isValid())
        ui->dateTimeEdit->setDateTime(date);
    if (br && !value_4.isEmpty()) {
        // Until the user sets a date the stored text is written back as it
        // stands, also when it does not read as a date.
        data_kept = value_4;
        if (!date.isValid())
            ui->dateTimeEdit->setToolTip(
                QStringLiteral(
                    "Сохранённая дата «%1» не распознана и останется прежней, пока не выбрана другая")
                    .arg(value_4));
        connect(ui->dateTimeEdit, &QDateTimeEdit::dateTimeChanged, this, [this] {
            data_kept.clear();
            ui->dateTimeEdit->setToolTip(QString());
        });
    }

    ln_old = value_5;
    ui->lineEdit_FIO->setText(value_3);

    fillList(ui->cb_dol, Sql::SELECT_POSITIONS);
    fillList(ui->cb_zv, Sql::SELECT_RANKS);
    const bool zv_missing = pick(ui->cb_zv, value_2, zv_kept);
    const bool dol_missing = pick(ui->cb_dol, value_1, dol_kept);

    if (zv_missing || dol_missing) {
        // A stored name that is not in its reference list is written back
        // with its stored number unless the user picks another entry.
        qstr = QString::fromLatin1(Sql::SELECT_COMBAT_NUMBERS).arg(Function::q(ln_old));
        QSqlQuery query = Function::Myquery(qstr);
        if (query.next()) {
            dol_kept.number = query.value(0).toInt();
            zv_kept.number = query.value(1).toInt();
        }
        query.finish();
    }
}

addCombat::~addCombat()
{
    delete ui;
}

void addCombat::fillList(QComboBox *combo, const char *statement)
{
    qstr = QString::fromLatin1(statement);
    QSqlQuery query = Function::Myquery(qstr);
    while (query.next())
        combo->addItem(query.value(1).toString());
    query.finish();
}

bool addCombat::pick(QComboBox *combo, const QString &name, Kept &kept)
{
    const int index = combo->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    combo->setCurrentIndex(index);
    if (index >= 0 || !br)
        return false;
    kept.name = name;
    if (name.isEmpty())
        return true;
    // Shown after the reference entries so that their places (the numbers
    // written on save) stay as they are.
    combo->addItem(name + QStringLiteral(" (нет в справочнике)"));
    const int extra = combo->count() - 1;
    combo->setItemData(extra, true, KEPT_ROLE);
    combo->setItemData(extra,
                       QStringLiteral("«%1» нет в справочнике; при записи останется прежним").arg(name),
                       Qt::ToolTipRole);
    combo->setCurrentIndex(extra);
    return true;
}

void addCombat::chosen(const QComboBox *combo, const Kept &kept, QString &name, int &number) const
{
    const int index = combo->currentIndex();
    if (index >= 0 && !combo->itemData(index, KEPT_ROLE).isValid()) {
        name = combo->itemText(index);
        number = index + 1;
    } else if (br) {
        name = kept.name;
        number = kept.number;
    } else {
        name.clear();
        number = 0;
    }
}

void addCombat::on_pushButton_2_clicked()
{
    if (!Function::confirm(this, QStringLiteral("Вы точно уверены что надо сохранить?"))) {
        close();
        return;
    }
    const QString vp = ui->lineEdit_VP->text();
    const QString ln = ui->lineEdit_LN->text();
    const QString fio = ui->lineEdit_FIO->text();
    const QString data_comb = data_kept.isEmpty() ? ui->dateTimeEdit->text() : data_kept;
    QString dol;
    QString vz;
    int dol_nom = 0;
    int zvan_nom = 0;
    chosen(ui->cb_dol, dol_kept, dol, dol_nom);
    chosen(ui->cb_zv, zv_kept, vz, zvan_nom);

    if (!br) {
        qstr = (Sql::text(Sql::INSERT_COMBAT_1) + QString::number(zvan_nom) +
                QString::fromLatin1(Sql::INSERT_COMBAT_2))
                   .arg(Function::q(vp), Function::q(vz), Function::q(ln), Function::q(fio), Function::q(dol),
                        QString::number(dol_nom), Function::q(data_comb));
        qDebug() << qstr;
        const QSqlQuery query = Function::Myquery(qstr);
        if (!query.isActive()) {
            Function::warnFailure(this, QString::fromUtf8(NOT_SAVED), query.lastError());
            return;
        }
    } else {
        qDebug() << zvan_nom;
        const QString statement =
            QString::fromLatin1(Sql::UPDATE_COMBAT)
                .arg(Function::q(vp), Function::q(dol), Function::q(vz), Function::q(fio), Function::q(ln),
                     QString::number(dol_nom), QString::number(zvan_nom), Function::q(ln_old),
                     Function::q(data_comb));
        qDebug() << statement;
        if (!saveChange(ln, statement))
            return;
    }
    emit sig_close();
    close();
}

bool addCombat::runStep(const QString &statement, QSqlError &error, int *affected)
{
    qstr = statement;
    const QSqlQuery query = Function::Myquery(qstr);
    if (query.isActive()) {
        if (affected)
            *affected = query.numRowsAffected();
        return true;
    }
    error = query.lastError();
    return false;
}

// The Combat row changes; a new personal number is carried over to the
// serviceman's orders and attached files in the same transaction, so either
// all of them change or none does.
bool addCombat::saveChange(const QString &ln, const QString &statement)
{
    const bool moving = ln != ln_old;
    bool gone = false;
    auto steps = [&](QSqlError &error) {
        int changed = 0;
        if (!runStep(statement, error, &changed))
            return false;
        gone = changed == 0;
        if (gone || !moving)
            return !gone;
        return runStep(QString::fromLatin1(Sql::UPDATE_ORDERS_LN).arg(Function::q(ln), Function::q(ln_old)),
                       error) &&
               runStep(QString::fromLatin1(Sql::UPDATE_FILES_LN).arg(Function::q(ln), Function::q(ln_old)),
                       error);
    };
    QSqlError error;
    const bool ok = moving ? Transaction::run(steps, error) : steps(error);
    if (gone) {
        Function::warn(this, QString::fromUtf8(NOT_SAVED) +
                                 QStringLiteral(": военнослужащего с личным номером «%1» уже нет в базе "
                                                "данных (его удалили в другом окне).")
                                     .arg(ln_old));
        return false;
    }
    if (!ok)
        Function::warnFailure(this, QString::fromUtf8(NOT_SAVED), error);
    return ok;
}

void addCombat::on_pushButton_clicked()
{
    if (!Function::confirm(this, QStringLiteral("Вы точно уверены что надо выйти?")))
        return;
    emit sig_close();
    close();
}

void addCombat::keyPressEvent(QKeyEvent *e)
{
    QMainWindow::keyPressEvent(e);
    // Return in any input saves; the keypad Enter does not.
    if (e->key() == Qt::Key_Return)
        ui->pushButton_2->click();
    // Esc leaves through "Выйти" and its question.
    else if (e->key() == Qt::Key_Escape)
        ui->pushButton->click();
}
