#include "windows/settings.h"
#include "ui_settings.h"

#include "function.h"
#include "storage/paths.h"
#include "view/openwindows.h"
#include "windows/vestable.h"

#include <QFileDialog>
#include <QSignalBlocker>

settings::settings(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::settings)
{
    ui->setupUi(this);
    ui->lineEdit->setText(Paths::storedDatabaseFolder());
    ui->lineEdit_2->setText(QString::number(Paths::penaltyReminderMonths()));
}

settings::~settings()
{
    delete ui;
}

bool settings::store(const QString &folder)
{
    if (Paths::storeDatabaseFolder(folder))
        return true;
    // The box takes the focus from the field, which would report the same
    // text as finished again.
    const QSignalBlocker quiet(ui->lineEdit);
    Function::warn(this, QStringLiteral("Путь до базы не сохранён: файл настроек %1 не удалось записать.")
                             .arg(QString::fromLatin1(Paths::SETTINGS_FILE)));
    ui->lineEdit->setText(Paths::storedDatabaseFolder());
    return false;
}

void settings::on_pushButton_clicked()
{
    const QString folder =
        QFileDialog::getExistingDirectory(this, QString(), QString(), QFileDialog::ShowDirsOnly);
    // A cancelled dialog gives no folder: the stored one stays as it is.
    if (folder.isEmpty())
        return;
    if (store(folder))
        ui->lineEdit->setText(folder);
}

void settings::on_pushButton_3_clicked()
{
    if (store(QString::fromLatin1(Paths::DEFAULT_DATABASE_FOLDER)))
        ui->lineEdit->setText(Paths::storedDatabaseFolder());
}

void settings::on_pushButton_2_clicked()
{
    OpenWindows::show(new vestable(nullptr));
}

void settings::on_lineEdit_editingFinished()
{
    // The field reports every loss of focus, changed or not.
    const QString folder = ui->lineEdit->text();
    if (folder != Paths::storedDatabaseFolder())
        store(folder);
}

void settings::on_lineEdit_2_editingFinished()
{
    const QString text = ui->lineEdit_2->text();
    const int stored = Paths::penaltyReminderMonths();
    int months = stored;
    // The box takes the focus from the field, which would report the same
    // text as finished again.
    const QSignalBlocker quiet(ui->lineEdit_2);
    if (!Paths::parseReminderMonths(text, &months)) {
        Function::warn(this, QStringLiteral("Срок напоминания не сохранён: нужно целое число месяцев от 0 до %1 "
                                            "(0 — не напоминать о взысканиях), а введено «%2».")
                                 .arg(QString::number(Paths::MAX_PENALTY_REMINDER), text));
        ui->lineEdit_2->setText(QString::number(stored));
        return;
    }
    if (months != stored && !Paths::storePenaltyReminderMonths(months)) {
        Function::warn(this, QStringLiteral("Срок напоминания не сохранён: файл настроек %1 не удалось записать.")
                                 .arg(QString::fromLatin1(Paths::SETTINGS_FILE)));
        months = Paths::penaltyReminderMonths();
    }
    ui->lineEdit_2->setText(QString::number(months));
}
