#include "zipcontent.h"

#include <QStringList>

#include <zlib.h>

namespace TestSupport {

namespace {

quint32 read16(const QByteArray &data, qsizetype at)
{
    if (at < 0 || at + 2 > data.size())
        return 0;
    return quint8(data[at]) | quint32(quint8(data[at + 1])) << 8;
}

quint32 read32(const QByteArray &data, qsizetype at)
{
    return read16(data, at) | read16(data, at + 2) << 16;
}

bool inflateRaw(const QByteArray &in, quint32 size, QByteArray *out)
{
    out->resize(size);
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
    stream.avail_in = static_cast<uInt>(in.size());
    stream.next_out = reinterpret_cast<Bytef *>(out->data());
    stream.avail_out = size;
    const int result = inflate(&stream, Z_FINISH);
    inflateEnd(&stream);
    return result == Z_STREAM_END && stream.total_out == size;
}

} // namespace

QMap<QString, QByteArray> zipContent(const QByteArray &archive, QStringList *order)
{
    QMap<QString, QByteArray> entries;
    const qsizetype end = archive.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0)
        return entries;
    const quint32 count = read16(archive, end + 10);
    qsizetype at = read32(archive, end + 16);
    for (quint32 i = 0; i < count; ++i) {
        if (read32(archive, at) != 0x02014b50)
            return {};
        const quint32 method = read16(archive, at + 10);
        const quint32 crc = read32(archive, at + 16);
        const quint32 compressed = read32(archive, at + 20);
        const quint32 size = read32(archive, at + 24);
        const quint32 nameLength = read16(archive, at + 28);
        const quint32 extraLength = read16(archive, at + 30);
        const quint32 commentLength = read16(archive, at + 32);
        const quint32 local = read32(archive, at + 42);
        const QString name = QString::fromUtf8(archive.mid(at + 46, nameLength));
        at += 46 + nameLength + extraLength + commentLength;
        if (read32(archive, local) != 0x04034b50)
            return {};
        const qsizetype data = local + 30 + read16(archive, local + 26) + read16(archive, local + 28);
        const QByteArray raw = archive.mid(data, compressed);
        QByteArray content;
        if (method == 0)
            content = raw;
        else if (method != 8 || !inflateRaw(raw, size, &content))
            return {};
        if (crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef *>(content.constData()),
                  static_cast<uInt>(content.size())) != crc)
            return {};
        entries.insert(name, content);
        if (order)
            order->append(name);
    }
    return entries;
}

} // namespace TestSupport
