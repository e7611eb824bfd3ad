#include "windows/settings.h"
#include "ui_settings.h"

#include "storage/setup/paths.h"
#include "storage/setup/settings.h"
#include "view/dialogs.h"
#include "view/openwindows.h"
#include "windows/extractsettings.h"
#include "windows/vestable.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLayout>
#include <QShowEvent>
#include <QSignalBlocker>

#include <algorithm>

settings::settings(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::settings)
{
    ui->setupUi(this);
    ui->lineEdit->setText(Settings::storedDatabaseFolder());
    ui->lineEdit_2->setText(QString::number(Settings::penaltyReminderMonths()));
    ui->lineEdit_3->setText(QString::number(Settings::autoBackups()));
    showServer();
    // The header and signature of the extract from an order.
    ui->verticalLayout->addWidget(new ExtractSettings(this));
}

void settings::showEvent(QShowEvent *event)
{
    // The form's size is that of the folder alone; the kind of database and
    // the server's fields get the room they ask for.
    if (!event->spontaneous())
        resize(size().expandedTo(sizeHint()));
    QWidget::showEvent(event);
}

void settings::showServer()
{
    const bool server = Settings::serverChosen();
    const Settings::Server s = Settings::storedServer();
    const QSignalBlocker quiet(ui->spinBox_port);
    ui->comboBox_kind->setCurrentIndex(server ? 1 : 0);
    ui->lineEdit_host->setText(s.host);
    ui->spinBox_port->setValue(s.port);
    ui->lineEdit_name->setText(s.database);
    ui->lineEdit_user->setText(s.user);
    ui->comboBox_ssl->setCurrentIndex(static_cast<int>(s.encryption));
    ui->lineEdit_ca->setText(QDir::toNativeSeparators(s.caFile));
    showEncryption(s.encryption == Settings::Encryption::VerifyFull);
    showKind(server);
}

void settings::showEncryption(bool verify)
{
    ui->label_ca->setEnabled(verify);
    ui->lineEdit_ca->setEnabled(verify);
    ui->pushButton_ca->setEnabled(verify);
    ui->label_ca_note->setVisible(!ui->label_ca_note->text().isEmpty());
}

void settings::on_comboBox_ssl_activated(int index)
{
    const auto encryption = static_cast<Settings::Encryption>(index);
    storeServer(Settings::ENCRYPTION_KEY, Settings::sslMode(encryption));
    // The note about the file concerns the check alone.
    if (encryption != Settings::Encryption::VerifyFull)
        ui->label_ca_note->clear();
    showEncryption(encryption == Settings::Encryption::VerifyFull);
    if (encryption == Settings::Encryption::VerifyFull && ui->lineEdit_ca->text().trimmed().isEmpty()) {
        showCaNote(QStringLiteral("Выберите файл центра сертификации: без него программа не соединится с "
                                  "сервером."));
    }
}

void settings::showCaNote(const QString &text)
{
    ui->label_ca_note->setText(text);
    ui->label_ca_note->show();
    // The window's layout does not grow the window for the lines a wrapped
    // note needs at its width: the window is made as tall as they are.
    layout()->activate();
    const int needed = std::max(layout()->totalHeightForWidth(width()), layout()->totalMinimumSize().height());
    if (height() < needed)
        resize(width(), needed);
}

void settings::storeCaFile(const QString &file)
{
    const QString stored = Settings::storedServer().caFile;
    if (QDir::fromNativeSeparators(file) == stored && !file.isEmpty())
        return;
    QString problem;
    if (file.isEmpty())
        problem = QStringLiteral("Файл центра сертификации не выбран");
    else if (!QFileInfo(file).isFile())
        problem = QStringLiteral("Файл «%1» не найден").arg(file);
    else if (file.contains(QLatin1Char(';')))
        problem = QStringLiteral("Имя файла «%1» содержит «;», которую не принимает подключение к серверу; "
                                 "переложите файл в другое место")
                      .arg(file);
    if (!problem.isEmpty()) {
        showCaNote(problem + (stored.isEmpty() ? QStringLiteral(", настройка не сохранена.")
                                               : QStringLiteral(", сохранённым остаётся «%1».")
                                                     .arg(QDir::toNativeSeparators(stored))));
        return;
    }
    ui->label_ca_note->clear();
    ui->label_ca_note->hide();
    storeServer(Settings::CA_FILE_KEY, QDir::fromNativeSeparators(file));
    ui->lineEdit_ca->setText(QDir::toNativeSeparators(Settings::storedServer().caFile));
}

void settings::on_lineEdit_ca_editingFinished()
{
    storeCaFile(ui->lineEdit_ca->text().trimmed());
}

void settings::on_pushButton_ca_clicked()
{
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Файл центра сертификации"), QFileInfo(ui->lineEdit_ca->text()).path(),
        QStringLiteral("Сертификаты (*.crt *.pem *.cer);;Все файлы (*)"));
    // A cancelled dialog leaves the stored file as it is.
    if (file.isEmpty())
        return;
    ui->lineEdit_ca->setText(QDir::toNativeSeparators(file));
    storeCaFile(file);
}

void settings::showKind(bool server)
{
    // The server's fields are shown only for a server.
    ui->widget_server->setVisible(server);
    ui->label_note->setVisible(server);
}

void settings::storeServer(const char *key, const QString &value)
{
    if (Settings::storeSetting(key, value))
        return;
    Dialogs::warn(this, QStringLiteral("Настройка не сохранена: файл настроек %1 не удалось записать.")
                             .arg(QString::fromLatin1(Paths::SETTINGS_FILE)));
    showServer();
}

void settings::on_comboBox_kind_activated(int index)
{
    storeServer(Settings::KIND_KEY,
                index == 1 ? QString::fromLatin1(Settings::SERVER_KIND) : QStringLiteral("sqlite"));
    showKind(Settings::serverChosen());
    resize(width(), sizeHint().height());
}

void settings::on_lineEdit_host_editingFinished()
{
    storeServer(Settings::HOST_KEY, ui->lineEdit_host->text().trimmed());
}

void settings::on_spinBox_port_editingFinished()
{
    storeServer(Settings::PORT_KEY, QString::number(ui->spinBox_port->value()));
}

void settings::on_lineEdit_name_editingFinished()
{
    storeServer(Settings::NAME_KEY, ui->lineEdit_name->text().trimmed());
}

void settings::on_lineEdit_user_editingFinished()
{
    storeServer(Settings::USER_KEY, ui->lineEdit_user->text().trimmed());
}

settings::~settings()
{
    delete ui;
}

bool settings::store(const QString &folder)
{
    if (Settings::storeDatabaseFolder(folder))
        return true;
    // The box takes the focus from the field, which would report the same
    // text as finished again.
    const QSignalBlocker quiet(ui->lineEdit);
    Dialogs::warn(this, QStringLiteral("Путь до базы не сохранён: файл настроек %1 не удалось записать.")
                             .arg(QString::fromLatin1(Paths::SETTINGS_FILE)));
    ui->lineEdit->setText(Settings::storedDatabaseFolder());
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
    if (store(QString::fromLatin1(Settings::DEFAULT_DATABASE_FOLDER)))
        ui->lineEdit->setText(Settings::storedDatabaseFolder());
}

void settings::on_pushButton_2_clicked()
{
    OpenWindows::show(new vestable(nullptr));
}

void settings::on_lineEdit_editingFinished()
{
    // The field reports every loss of focus, changed or not.
    const QString folder = ui->lineEdit->text();
    if (folder != Settings::storedDatabaseFolder())
        store(folder);
}

void settings::on_lineEdit_2_editingFinished()
{
    storeCount(ui->lineEdit_2, Settings::PENALTY_REMINDER_KEY, Settings::penaltyReminderMonths,
               Settings::MAX_PENALTY_REMINDER, QStringLiteral("Срок напоминания не сохранён"),
               QStringLiteral("нужно целое число месяцев от 0 до %1 (0 — не напоминать о взысканиях)")
                   .arg(Settings::MAX_PENALTY_REMINDER));
}

void settings::on_lineEdit_3_editingFinished()
{
    storeCount(ui->lineEdit_3, Settings::AUTO_BACKUP_KEY, Settings::autoBackups, Settings::MAX_AUTO_BACKUPS,
               QStringLiteral("Число ежедневных копий не сохранено"),
               QStringLiteral("нужно целое число от 0 до %1 (0 — не делать ежедневных копий)")
                   .arg(Settings::MAX_AUTO_BACKUPS));
}

void settings::storeCount(QLineEdit *field, const char *key, int (*stored)(), int largest, const QString &notSaved,
                          const QString &wanted)
{
    const QString text = field->text();
    const int before = stored();
    int value = before;
    // The box takes the focus from the field, which would report the same
    // text as finished again.
    const QSignalBlocker quiet(field);
    if (!Settings::parseCount(text, largest, &value)) {
        Dialogs::warn(this, QStringLiteral("%1: %2, а введено «%3».").arg(notSaved, wanted, text));
        field->setText(QString::number(before));
        return;
    }
    if (value != before && !Settings::storeSetting(key, value)) {
        Dialogs::warn(this, QStringLiteral("%1: файл настроек %2 не удалось записать.")
                                 .arg(notSaved, QString::fromLatin1(Paths::SETTINGS_FILE)));
        value = stored();
    }
    field->setText(QString::number(value));
}
