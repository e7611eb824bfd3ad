#include "storage/import/ziparchive.h"
#include "storage/import/readers.h"

#include <QFile>

#include <unzip.h>

namespace Import::Detail {

namespace {

// Part names are compared without case, as office programs do.
constexpr int CaseInsensitive = 2;

unzFile handle(void *zip)
{
    return static_cast<unzFile>(zip);
}

} // namespace

ZipArchive::ZipArchive(const QString &path)
    : m_path(path)
    , m_zip(unzOpen64(QFile::encodeName(path).constData()))
{
}

ZipArchive::~ZipArchive()
{
    if (m_zip)
        unzClose(handle(m_zip));
}

bool ZipArchive::contains(const QString &name) const
{
    return m_zip && unzLocateFile(handle(m_zip), name.toUtf8().constData(), CaseInsensitive) == UNZ_OK;
}

bool ZipArchive::read(const QString &name, QByteArray *data)
{
    ZipPart part(*this, name);
    if (!part.found())
        return false;
    // The size the archive gives is only a hint: a damaged one may lie.
    data->clear();
    data->reserve(static_cast<qsizetype>(qBound<qint64>(0, part.expectedSize(), qint64(1) << 30)));
    char buffer[1 << 16];
    for (;;) {
        const qint64 read = part.read(buffer, sizeof buffer);
        if (read <= 0)
            break;
        data->append(buffer, static_cast<qsizetype>(read));
    }
    return !part.damaged();
}

ZipPart::ZipPart(ZipArchive &zip, const QString &name)
    : m_archive(zip)
{
    unzFile file = handle(zip.m_zip);
    m_found = file && unzLocateFile(file, name.toUtf8().constData(), CaseInsensitive) == UNZ_OK &&
              unzOpenCurrentFile(file) == UNZ_OK;
    m_open = m_found;
    unz_file_info64 info{};
    if (m_found && unzGetCurrentFileInfo64(file, &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK) {
        m_expectedSize = static_cast<qint64>(info.uncompressed_size);
        m_compressedSize = static_cast<qint64>(info.compressed_size);
    }
    if (m_found)
        open(QIODevice::ReadOnly);
}

ZipPart::~ZipPart()
{
    if (m_open)
        unzCloseCurrentFile(handle(m_archive.m_zip));
}

qint64 ZipPart::readData(char *data, qint64 maxSize)
{
    if (!m_open || m_damaged || m_ended)
        return -1;
    // QIODevice asks for nothing at times; a read of nothing is not the end.
    if (maxSize <= 0)
        return 0;
    const unsigned chunk = static_cast<unsigned>(qMin<qint64>(maxSize, 1 << 20));
    const int read = unzReadCurrentFile(handle(m_archive.m_zip), data, chunk);
    if (read < 0) {
        m_damaged = true;
        return -1;
    }
    // A part may say anything of its sizes: what counts is what it inflates
    // to, stopped at the limit before it fills the memory or the hours.
    m_inflated += read;
    if (m_inflated > MaxPartBytes)
        m_oversized = Oversized::Bytes;
    else if (m_inflated > RatioFrom && m_inflated / MaxPartRatio > m_compressedSize)
        m_oversized = Oversized::Ratio;
    if (m_oversized != Oversized::No) {
        m_damaged = true;
        return -1;
    }
    if (read == 0) {
        m_ended = true;
        // Closing checks the part's check sum against its inflated bytes.
        m_damaged = unzCloseCurrentFile(handle(m_archive.m_zip)) != UNZ_OK;
        m_open = false;
        return -1;
    }
    return read;
}

} // namespace Import::Detail
