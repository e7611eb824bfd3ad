#include "settings.h"
#include "ui_settings.h"

#include "function.h"
#include "vestable.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QSettings>
#include <QSignalBlocker>

namespace {

const char SETTINGS_FILE[] = "settings.ini";
const char FOLDER_KEY[] = "Path/db";

// The folder as settings.ini names it (empty when it names none).
QString storedFolder()
{
    QString folder;
    {
        QSettings file(QString::fromLatin1(SETTINGS_FILE), QSettings::IniFormat);
        folder = file.value(QString::fromLatin1(FOLDER_KEY)).toString();
    }
    Function::setHidden(QString::fromLatin1(SETTINGS_FILE));
    return folder;
}

} // namespace

settings::settings(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::settings)
{
    ui->setupUi(this);
    ui->lineEdit->setText(storedFolder());
}

settings::~settings()
{
    delete ui;
}

bool settings::store(const QString &folder)
{
    QSettings::Status status;
    {
        QSettings file(QString::fromLatin1(SETTINGS_FILE), QSettings::IniFormat);
        file.setValue(QString::fromLatin1(FOLDER_KEY), folder);
        file.sync();
        status = file.status();
    }
    Function::setHidden(QString::fromLatin1(SETTINGS_FILE));
    if (status == QSettings::NoError)
        return true;
    // The box takes the focus from the field, which would report the same
    // text as finished again.
    const QSignalBlocker quiet(ui->lineEdit);
    QMessageBox::warning(this, QStringLiteral("Ошибка"),
                         QStringLiteral("Путь до базы не сохранён: файл настроек %1 не удалось записать.")
                             .arg(QString::fromLatin1(SETTINGS_FILE)),
                         QMessageBox::Ok);
    ui->lineEdit->setText(storedFolder());
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
    if (store(QStringLiteral("data")))
        ui->lineEdit->setText(storedFolder());
}

void settings::on_pushButton_2_clicked()
{
    auto *editor = new vestable(nullptr);
    editor->show();
}

void settings::on_lineEdit_editingFinished()
{
    // The field reports every loss of focus, changed or not.
    const QString folder = ui->lineEdit->text();
    if (folder != storedFolder())
        store(folder);
}
