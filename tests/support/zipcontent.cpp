#include "zipcontent.h"

#include <QStringList>
#include <QTemporaryFile>

#include <unzip.h>

namespace TestSupport {

QMap<QString, QByteArray> zipContent(const QByteArray &archive, QStringList *order)
{
    QMap<QString, QByteArray> entries;
    QTemporaryFile file;
    if (!file.open() || file.write(archive) != archive.size() || !file.flush())
        return entries;
    unzFile zip = unzOpen64(QFile::encodeName(file.fileName()).constData());
    if (!zip)
        return entries;
    bool ok = true;
    for (int at = unzGoToFirstFile(zip); ok && at == UNZ_OK; at = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        char name[1024];
        ok = unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) == UNZ_OK &&
             unzOpenCurrentFile(zip) == UNZ_OK;
        if (!ok)
            break;
        QByteArray data(static_cast<qsizetype>(info.uncompressed_size), Qt::Uninitialized);
        const int read = unzReadCurrentFile(zip, data.data(), static_cast<unsigned>(data.size()));
        // Closing checks the entry's CRC.
        ok = read == data.size() && unzCloseCurrentFile(zip) == UNZ_OK;
        entries.insert(QString::fromUtf8(name), data);
        if (order)
            order->append(QString::fromUtf8(name));
    }
    unzClose(zip);
    if (!ok) {
        entries.clear();
        if (order)
            order->clear();
    }
    return entries;
}

} // namespace TestSupport
