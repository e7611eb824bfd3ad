#include "storage/db/errorlog.h"

#include "storage/setup/paths.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QTextStream>

#include <filesystem>
#include <system_error>

bool Query::appendLog(const QString &text)
{
    // The daily copy writes from a thread of its own.
    static QMutex mutex;
    const QMutexLocker lock(&mutex);
    const QString name = QString::fromLatin1(Paths::LOG_FILE);
    const qint64 size = QFileInfo(name).size();
    if (size > 0 && size + text.toUtf8().size() > Paths::LOG_LIMIT) {
        // Replaced in one step: the older log is never missing.
        std::error_code failed;
        std::filesystem::rename(name.toStdString(), std::string(Paths::OLDER_LOG_FILE), failed);
    }
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    QTextStream out(&file);
    out << text;
    out.flush();
    return out.status() == QTextStream::Ok;
}
