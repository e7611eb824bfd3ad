#include "windows/addcombat.h"
#include "ui_addcombat.h"

#include "storage/db/query.h"
#include "storage/register/servicemen.h"
#include "view/dialogs.h"
#include "view/readonly.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QSqlError>
#include <QStatusBar>

namespace {

// Item data of the extra combo entry that shows a stored name missing from
// the reference list.
constexpr int KEPT_ROLE = Qt::UserRole + 1;

const char NOT_SAVED[] = "Запись не сохранена";

// "приказ", "приказа" or "приказов", as the number asks.
QString orders(int n)
{
    const int tens = n % 100;
    const int units = n % 10;
    const char *word = "приказов";
    if (units == 1 && tens != 11)
        word = "приказ";
    else if (units >= 2 && units <= 4 && (tens < 12 || tens > 14))
        word = "приказа";
    return QString::number(n) + QLatin1Char(' ') + QString::fromUtf8(word);
}

} // namespace

addCombat::addCombat(QString value, QString value_1, QString value_2, QString value_3, QString value_4,
                     bool b, QString value_5, QWidget *parent)
    : QMainWindow(parent)
    , br(b)
    , ui(new Ui::addCombat)
{
    ui->setupUi(this);
    ln_old = value_5;
    if (br) {
        // Until the user sets a date the stored text is written back as it
        // stands, also when it does not read as a date.
        connect(ui->dateTimeEdit, &QDateTimeEdit::dateTimeChanged, this, [this] {
            data_kept.clear();
            ui->dateTimeEdit->setToolTip(QString());
        });
    }
    ui->cb_dol->addItems(Servicemen::referenceNames(Servicemen::Reference::Positions));
    ui->cb_zv->addItems(Servicemen::referenceNames(Servicemen::Reference::Ranks));
    setFields({value, value_1, value_2, value_3, value_4, value_5});
    // A viewer sees the serviceman as stored and saves nothing.
    ReadOnly::disable({ui->pushButton_2});
}

void addCombat::setFields(const Fields &fields)
{
    loaded = fields;
    ui->lineEdit_VP->setText(fields[0]);
    ui->lineEdit_LN->setText(fields[5]);
    ui->lineEdit_FIO->setText(fields[3]);

    // The field shows the locale's short date-and-time form, the form in
    // which saving writes the text; texts written with a one-digit hour are
    // read as well.
    const QString &birth = fields[4];
    const QLocale locale = ui->dateTimeEdit->locale();
    const QString format = ui->dateTimeEdit->displayFormat();
    QDateTime date = locale.toDateTime(birth, format);
    if (!date.isValid())
        date = locale.toDateTime(birth, QString(format).replace(QLatin1String("HH"), QLatin1String("H")));
    if (date.isValid()) {
        const QSignalBlocker quiet(ui->dateTimeEdit);
        ui->dateTimeEdit->setDateTime(date);
    }
    data_kept.clear();
    ui->dateTimeEdit->setToolTip(QString());
    if (br && !birth.isEmpty()) {
        data_kept = birth;
        if (!date.isValid())
            ui->dateTimeEdit->setToolTip(
                QStringLiteral(
                    "Сохранённая дата «%1» не распознана и останется прежней, пока не выбрана другая")
                    .arg(birth));
    }

    // Entries added for names missing from a reference list go with the
    // serviceman they were added for.
    for (QComboBox *combo : {ui->cb_dol, ui->cb_zv}) {
        for (int i = combo->count() - 1; i >= 0; --i) {
            if (combo->itemData(i, KEPT_ROLE).isValid())
                combo->removeItem(i);
        }
    }
    dol_kept = Kept();
    zv_kept = Kept();
    const bool zv_missing = pick(ui->cb_zv, fields[2], zv_kept);
    const bool dol_missing = pick(ui->cb_dol, fields[1], dol_kept);

    if (zv_missing || dol_missing) {
        // A stored name that is not in its reference list is written back
        // with its stored number unless the user picks another entry.
        Servicemen::storedNumbers(ln_old, &dol_kept.number, &zv_kept.number);
    }
}

void addCombat::reloadFields()
{
    Fields fields;
    if (Servicemen::read(ln_old, &fields))
        setFields(fields);
}

bool addCombat::claimOrphans(const QString &ln)
{
    QSqlError error;
    const int count = Servicemen::orphanOrders(ln, &error);
    if (count < 0) {
        Dialogs::warnFailure(this, QString::fromUtf8(NOT_SAVED), error);
        return false;
    }
    // A serviceman deleted earlier leaves his orders and documents under his
    // number; a new holder of the number would take them over unasked.
    if (count == 0 || Dialogs::confirm(this, QStringLiteral("У личного номера «%1» есть %2 без "
                                                             "военнослужащего. Это его приказы?")
                                                  .arg(ln, orders(count))))
        return true;
    Dialogs::inform(this, QString::fromUtf8(NOT_SAVED) +
                               QStringLiteral(": приказы личного номера «%1» принадлежат не этому "
                                              "военнослужащему. Проверьте личный номер.")
                                   .arg(ln));
    return false;
}

addCombat::~addCombat()
{
    delete ui;
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
    // A text longer than its field holds is refused before anything is
    // asked; the form stays open with what was typed.
    const Fields typed{ui->lineEdit_VP->text(), QString(), QString(), ui->lineEdit_FIO->text(), QString(),
                       ui->lineEdit_LN->text()};
    const int tooLong = Servicemen::tooLong(typed);
    if (tooLong >= 0) {
        const auto field = static_cast<Servicemen::Field>(tooLong);
        statusBar()->showMessage(QStringLiteral("Не сохранено: %1 длиннее %2 знаков. Сократите его.")
                                     .arg(Servicemen::fieldName(field), QString::number(Servicemen::maxLength(field))));
        return;
    }
    if (!Dialogs::confirm(this, QStringLiteral("Вы точно уверены что надо сохранить?"))) {
        close();
        return;
    }
    Servicemen::Entry entry;
    Fields &f = entry.fields;
    f[Servicemen::VP] = ui->lineEdit_VP->text();
    f[Servicemen::LN] = ui->lineEdit_LN->text();
    f[Servicemen::FIO] = ui->lineEdit_FIO->text();
    f[Servicemen::BIRTH] = data_kept.isEmpty() ? ui->dateTimeEdit->text() : data_kept;
    chosen(ui->cb_dol, dol_kept, f[Servicemen::DOL], entry.position);
    chosen(ui->cb_zv, zv_kept, f[Servicemen::VZ], entry.rank);
    const QString &ln = f[Servicemen::LN];
    const QString what = QString::fromUtf8(NOT_SAVED);
    const QString field = Query::unstorable({{QStringLiteral("№ВП"), f[Servicemen::VP]},
                                             {QStringLiteral("ФИО"), f[Servicemen::FIO]},
                                             {QStringLiteral("Личный номер"), ln}});
    if (!field.isEmpty()) {
        Dialogs::warn(this,
                      what + QStringLiteral(": в поле «%1» есть знак, который нельзя сохранить (нулевой "
                                            "символ). Уберите его и сохраните снова.")
                                 .arg(field));
        return;
    }

    if ((!br || ln != ln_old) && !claimOrphans(ln))
        return;
    QSqlError error;
    Servicemen::Outcome outcome;
    if (!br)
        outcome = Servicemen::add(entry, &error);
    else
        outcome = Servicemen::change(ln_old, loaded, entry, &error);
    switch (outcome) {
    case Servicemen::Outcome::Saved:
        break;
    case Servicemen::Outcome::Gone:
        // Deleted, or given another personal number, in another window or
        // copy of the program.
        Dialogs::warnServicemanGone(this, loaded[Servicemen::FIO], ln_old, what);
        break;
    case Servicemen::Outcome::Changed:
        Dialogs::warn(this, what + QStringLiteral(": сведения о военнослужащем тем временем изменил другой "
                                                   "пользователь. Они будут показаны заново."));
        reloadFields();
        return;
    case Servicemen::Outcome::Failed:
        Dialogs::warnFailure(this, {what, QStringLiteral("Неизвестно, сохранена ли запись")}, error, ln);
        return;
    }
    emit sig_close();
    close();
}

void addCombat::on_pushButton_clicked()
{
    if (!Dialogs::confirm(this, QStringLiteral("Вы точно уверены что надо выйти?")))
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
