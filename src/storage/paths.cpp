#include "storage/paths.h"

#include "function.h"

#include <QSettings>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace Paths {

QString storedDatabaseFolder()
{
    QString folder;
    {
        QSettings settings(QString::fromLatin1(SETTINGS_FILE), QSettings::IniFormat);
        folder = settings.value(QString::fromLatin1(DATABASE_FOLDER_KEY)).toString();
    }
    Function::setHidden(QString::fromLatin1(SETTINGS_FILE));
    return folder;
}

bool storeDatabaseFolder(const QString &folder)
{
    return store(DATABASE_FOLDER_KEY, folder);
}

bool store(const char *key, const QString &value)
{
    QSettings::Status status;
    {
        QSettings settings(QString::fromLatin1(SETTINGS_FILE), QSettings::IniFormat);
        settings.setValue(QString::fromLatin1(key), value);
        settings.sync();
        status = settings.status();
    }
    Function::setHidden(QString::fromLatin1(SETTINGS_FILE));
    return status == QSettings::NoError;
}

bool serverChosen()
{
    bool server = false;
    {
        QSettings settings(QString::fromLatin1(SETTINGS_FILE), QSettings::IniFormat);
        server = settings.value(QString::fromLatin1(KIND_KEY)).toString() == QLatin1String(SERVER_KIND);
    }
    Function::setHidden(QString::fromLatin1(SETTINGS_FILE));
    return server;
}

Server storedServer()
{
    Server server;
    {
        QSettings settings(QString::fromLatin1(SETTINGS_FILE), QSettings::IniFormat);
        server.host = settings.value(QString::fromLatin1(HOST_KEY)).toString();
        bool number = false;
        const int port = settings.value(QString::fromLatin1(PORT_KEY)).toString().toInt(&number);
        if (number && port > 0 && port < 65536)
            server.port = port;
        server.database = settings.value(QString::fromLatin1(NAME_KEY)).toString();
        server.user = settings.value(QString::fromLatin1(USER_KEY)).toString();
    }
    Function::setHidden(QString::fromLatin1(SETTINGS_FILE));
    return server;
}

QString databaseFolder()
{
    const QString folder = storedDatabaseFolder();
    return folder.isEmpty() ? QString::fromLatin1(DEFAULT_DATABASE_FOLDER) : folder;
}

QString databaseFile(const QString &folder)
{
    return folder + QLatin1Char('/') + QLatin1String(DATABASE_FILE_NAME);
}

QString databaseFile()
{
    return databaseFile(databaseFolder());
}

} // namespace Paths

void Function::setHidden(const QString &fileName)
{
#ifdef Q_OS_WIN
    SetFileAttributesW(reinterpret_cast<LPCWSTR>(fileName.utf16()), FILE_ATTRIBUTE_HIDDEN);
#else
    // Elsewhere a file is hidden by its name alone; the program keeps its names.
    Q_UNUSED(fileName);
#endif
}

QString Function::databaseFolder()
{
    return Paths::databaseFolder();
}
