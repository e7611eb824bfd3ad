#include "storage/setup/paths.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace Paths {

QString databaseFile(const QString &folder)
{
    return folder + QLatin1Char('/') + QLatin1String(DATABASE_FILE_NAME);
}

bool isVerifiedDatabase(const QString &file)
{
    const QFileInfo named(file);
    const QFileInfo verified(QString::fromLatin1(VERIFIED_DATABASE));
    if (named.exists() && verified.exists())
        return named.canonicalFilePath() == verified.canonicalFilePath();
    return QDir::cleanPath(named.absoluteFilePath()) == QDir::cleanPath(verified.absoluteFilePath());
}

void setHidden(const QString &fileName)
{
#ifdef Q_OS_WIN
    SetFileAttributesW(reinterpret_cast<LPCWSTR>(fileName.utf16()), FILE_ATTRIBUTE_HIDDEN);
#else
    // Elsewhere a file is hidden by its name alone; the program keeps its names.
    Q_UNUSED(fileName);
#endif
}

} // namespace Paths
