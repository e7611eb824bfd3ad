#include "storage/setup/settings.h"

#include "storage/setup/paths.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>

namespace Settings {

QVariant setting(const char *key)
{
    QVariant value;
    {
        QSettings settings(QString::fromLatin1(Paths::SETTINGS_FILE), QSettings::IniFormat);
        value = settings.value(QString::fromLatin1(key));
    }
    Paths::setHidden(QString::fromLatin1(Paths::SETTINGS_FILE));
    return value;
}

bool storeSetting(const char *key, const QVariant &value)
{
    QSettings::Status status;
    {
        QSettings settings(QString::fromLatin1(Paths::SETTINGS_FILE), QSettings::IniFormat);
        settings.setValue(QString::fromLatin1(key), value);
        settings.sync();
        status = settings.status();
    }
    Paths::setHidden(QString::fromLatin1(Paths::SETTINGS_FILE));
    return status == QSettings::NoError;
}

QString storedDatabaseFolder()
{
    return setting(DATABASE_FOLDER_KEY).toString();
}

bool storeDatabaseFolder(const QString &folder)
{
    return storeSetting(DATABASE_FOLDER_KEY, folder);
}

int penaltyReminderMonths()
{
    int months = DEFAULT_PENALTY_REMINDER;
    return parseCount(setting(PENALTY_REMINDER_KEY).toString(), MAX_PENALTY_REMINDER, &months)
               ? months
               : DEFAULT_PENALTY_REMINDER;
}

bool parseCount(const QString &text, int largest, int *value)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok, 10);
    if (!ok || number < 0 || number > largest)
        return false;
    *value = number;
    return true;
}

int autoBackups()
{
    int copies = DEFAULT_AUTO_BACKUPS;
    return parseCount(setting(AUTO_BACKUP_KEY).toString(), MAX_AUTO_BACKUPS, &copies) ? copies
                                                                                      : DEFAULT_AUTO_BACKUPS;
}

bool serverChosen()
{
    return setting(KIND_KEY).toString() == QLatin1String(SERVER_KIND);
}

Server storedServer()
{
    Server server;
    server.host = setting(HOST_KEY).toString();
    bool number = false;
    const int port = setting(PORT_KEY).toString().toInt(&number);
    if (number && port > 0 && port < 65536)
        server.port = port;
    server.database = setting(NAME_KEY).toString();
    server.user = setting(USER_KEY).toString();
    server.encryption = encryptionOf(setting(ENCRYPTION_KEY).toString());
    server.caFile = setting(CA_FILE_KEY).toString();
    return server;
}

QString sslMode(Encryption encryption)
{
    switch (encryption) {
    case Encryption::Require:
        return QStringLiteral("require");
    case Encryption::VerifyFull:
        return QStringLiteral("verify-full");
    case Encryption::Prefer:
        break;
    }
    return QStringLiteral("prefer");
}

Encryption encryptionOf(const QString &sslMode)
{
    if (sslMode == QLatin1String("require"))
        return Encryption::Require;
    if (sslMode == QLatin1String("verify-full"))
        return Encryption::VerifyFull;
    return Encryption::Prefer;
}

QString databaseFolder()
{
    const QString folder = storedDatabaseFolder();
    return folder.isEmpty() ? QString::fromLatin1(DEFAULT_DATABASE_FOLDER) : folder;
}

QString databaseFile()
{
    return Paths::databaseFile(databaseFolder());
}

QString settingsProblem()
{
    const QFileInfo file(QString::fromLatin1(Paths::SETTINGS_FILE));
    if (!file.exists())
        return QString();
    // QSettings reads a folder as an empty file.
    if (file.isDir())
        return QStringLiteral("на его месте папка");
    QFile original(file.filePath());
    if (!original.open(QIODevice::ReadOnly))
        return QStringLiteral("нет доступа к файлу");
    // Qt parses a settings file once in a program and tells a format error
    // only to the reader that parsed it; a private copy is parsed afresh.
    QTemporaryFile copy;
    if (!copy.open() || copy.write(original.readAll()) < 0 || !copy.flush())
        return QString();
    QSettings settings(copy.fileName(), QSettings::IniFormat);
    settings.allKeys();
    if (settings.status() == QSettings::FormatError)
        return QStringLiteral("файл повреждён или это не файл настроек");
    return QString();
}

} // namespace Settings
