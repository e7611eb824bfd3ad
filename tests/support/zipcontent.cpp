#include "zipcontent.h"

#include <QStringList>
#include <QTemporaryFile>

#include <unzip.h>
#include <zip.h>

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

bool writeZip(const QString &path, const QList<QPair<QString, QByteArray>> &entries)
{
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool ok = true;
    for (const auto &[name, data] : entries) {
        zip_fileinfo info{};
        ok = ok &&
             zipOpenNewFileInZip64(zip, name.toUtf8().constData(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                   Z_DEFAULT_COMPRESSION, 0) == ZIP_OK &&
             zipWriteInFileInZip(zip, data.constData(), static_cast<unsigned>(data.size())) == ZIP_OK &&
             zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

} // namespace TestSupport
