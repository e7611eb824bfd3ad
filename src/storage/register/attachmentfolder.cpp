#include "storage/register/attachmentfolder.h"

#include "storage/register/attachments.h"
#include "storage/setup/paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace AttachmentFolder {

QString folder()
{
    return QString::fromLatin1(Paths::FILES_FOLDER);
}

QString realPath(const QString &path)
{
    if (path.isEmpty())
        return QString();
    QString head = QDir::isAbsolutePath(path) ? path : QDir::currentPath() + QLatin1Char('/') + path;
    QStringList tail;
    for (;;) {
        const QFileInfo info(head);
        if (info.exists()) {
            const QString real = info.canonicalFilePath();
            if (real.isEmpty())
                return QString();
            tail.prepend(real);
            return tail.join(QLatin1Char('/'));
        }
        const QString name = info.fileName();
        if (info.isSymLink() || name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
            return QString();
        tail.prepend(name);
        head = info.path();
    }
}

bool inStore(const QString &path, const QString &root)
{
    const QString base = QFileInfo(root).canonicalFilePath();
    const QString real = realPath(path);
    return !base.isEmpty() && !real.isEmpty() && real.startsWith(base + QLatin1Char('/'));
}

bool insideFolder(const QString &path)
{
    return inStore(path, folder());
}

QString detachedPlace(const QString &copy)
{
    return folder() + QLatin1Char('/') + QString::fromUtf8(Attachments::DETACHED_FOLDER) + QLatin1Char('/') +
           QFileInfo(copy).fileName();
}

bool taken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace AttachmentFolder
