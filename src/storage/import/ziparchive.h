#ifndef IMPORT_ZIPARCHIVE_H
#define IMPORT_ZIPARCHIVE_H

#include <QByteArray>
#include <QIODevice>
#include <QString>

// The archive of an .xlsx or .ods, read with minizip: its parts are found by
// name and read whole or as a stream for QXmlStreamReader.
namespace Import::Detail {

class ZipArchive
{
public:
    explicit ZipArchive(const QString &path);
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    // False when the file is not a readable archive (its directory at the
    // end is missing: a file cut short, or not an archive at all).
    bool isOpen() const { return m_zip != nullptr; }
    bool contains(const QString &name) const;
    // The whole part; false when it is missing, damaged or oversized.
    bool read(const QString &name, QByteArray *data);
    const QString &path() const { return m_path; }

private:
    friend class ZipPart;
    QString m_path;
    void *m_zip = nullptr;
};

// One part of the archive as a sequential device; only one is open at a
// time. damaged() tells, after reading, whether the part ended early or
// failed its check sum: QXmlStreamReader sees that only as a premature end.
class ZipPart : public QIODevice
{
public:
    ZipPart(ZipArchive &zip, const QString &name);
    ~ZipPart() override;
    bool isSequential() const override { return true; }
    bool damaged() const { return m_damaged; }
    // The part inflated past the bytes allowed, or past the allowed times
    // its compressed size: the reading stopped there (damaged() is true).
    bool oversized() const { return m_oversized != Oversized::No; }
    bool overRatio() const { return m_oversized == Oversized::Ratio; }
    // False when the part is missing.
    bool found() const { return m_found; }
    // The inflated size the archive's directory gives.
    qint64 expectedSize() const { return m_expectedSize; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    ZipArchive &m_archive;
    bool m_found = false;
    bool m_damaged = false;
    bool m_ended = false;
    bool m_open = false;
    qint64 m_expectedSize = 0;
    qint64 m_compressedSize = 0;
    qint64 m_inflated = 0;
    enum class Oversized { No, Bytes, Ratio } m_oversized = Oversized::No;
};

} // namespace Import::Detail

#endif // IMPORT_ZIPARCHIVE_H
