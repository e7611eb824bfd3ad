#include "storage/register/attachments.h"

#include "function.h"
#include "storage/db/errors.h"
#include "storage/db/privateconnection.h"
#include "storage/db/errorlog.h"
#include "storage/db/quoting.h"
#include "storage/db/query.h"
#include "storage/register/attachmentfolder.h"
#include "storage/setup/privacy.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

using AttachmentFolder::detachedPlace;
using AttachmentFolder::folder;
using AttachmentFolder::taken;

bool sameContent(const QString &a, const QString &b)
{
    QFile fa(a);
    QFile fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    constexpr qint64 CHUNK = 1 << 16;
    while (!fa.atEnd()) {
        const QByteArray x = fa.read(CHUNK);
        if (x.isEmpty() || x != fb.read(CHUNK))
            return false;
    }
    return true;
}

// How many attachment records refer to the copy `path`; -1 (and the reason
// in `error`) when that could not be read.
int references(const QString &path, QString *error)
{
    // Without the register open there is no record to consult (the program
    // attaches only with it open).
    if (!QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false).isOpen())
        return 0;
    QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::COUNT_FILE_REFERENCES).arg(Query::quote(path)));
    if (!query.isActive() || !query.next()) {
        *error = Errors::describe(query.lastError());
        return -1;
    }
    return query.value(0).toInt();
}

// Syncs a folder, so that a name given in it stays after a power cut.
void syncFolder(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Copies `source` into the new file `copy`, private to the user, and puts it
// on the disk; a failure (a full disk among them) removes the copy and says
// why. Qt's own copy does not tell a failed sync.
bool writeCopy(const QString &source, const QString &copy, QString *error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = in.errorString();
        return false;
    }
    QFile::remove(copy);
    QFile out(copy);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        *error = out.errorString();
        return false;
    }
    Privacy::ownOnly(copy);
    constexpr qint64 CHUNK = 1 << 20;
    bool ok = true;
    while (ok && !in.atEnd()) {
        const QByteArray chunk = in.read(CHUNK);
        ok = !chunk.isEmpty() && out.write(chunk) == chunk.size();
    }
    ok = ok && in.error() == QFileDevice::NoError && out.flush();
    if (ok && ::fsync(out.handle()) != 0) {
        ok = false;
        *error = errno == ENOSPC ? QStringLiteral("на диске нет места")
                                 : QStringLiteral("не удалось записать на диск: %1").arg(QString::fromLocal8Bit(strerror(errno)));
    } else if (!ok) {
        *error = out.error() != QFileDevice::NoError ? out.errorString() : in.errorString();
    }
    out.close();
    if (!ok)
        QFile::remove(copy);
    return ok;
}

// An existing copy with the same content, or the first name never used: a
// name whose copy was moved aside still means that document, and so does a
// name that an attachment refers to although its copy went missing (a
// tidied folder), lest that attachment open another man's document.
bool copyTarget(const QString &source, const QString &name, QString *target, bool *fresh, QString *error)
{
    for (int n = 1;; ++n) {
        const QString candidate = folder() + QLatin1Char('/') + Attachments::numberedName(name, n);
        const QFileInfo info(candidate);
        if (!taken(candidate) && !taken(detachedPlace(candidate))) {
            const int used = references(candidate, error);
            if (used < 0)
                return false;
            if (used > 0)
                continue;
            *target = candidate;
            *fresh = true;
            return true;
        }
        if (info.isFile() && sameContent(source, candidate)) {
            *target = candidate;
            *fresh = false;
            return true;
        }
    }
}

// The content of a document for the database; false when it cannot be read
// or is too large.
bool readContent(const QString &source, QByteArray *content, QString *error)
{
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("не удалось прочитать файл (%1)").arg(file.errorString());
        return false;
    }
    if (file.size() > Attachments::MAX_CONTENT) {
        *error = QStringLiteral("файл больше %1 МБ").arg(Attachments::MAX_CONTENT / (1024 * 1024));
        return false;
    }
    *content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("не удалось прочитать файл (%1)").arg(file.errorString());
        return false;
    }
    return true;
}

// On a server, the contents of new copies chosen by store() and written by
// their attachment's transaction (writeWaiting()), by path.
QHash<QString, QByteArray> &waiting()
{
    static QHash<QString, QByteArray> contents;
    return contents;
}

// On a server: the copy is a row of Kopii. An identical content under the
// name is shared (compared by its fingerprint, without fetching it); a name
// taken by another content moves on to the next. A new row is written in
// the attachment's own transaction, so that a stop between the two never
// leaves a copy without its record.
bool storeOnServer(const QString &source, const QString &name, QString *target, bool *fresh, QString *error)
{
    QByteArray content;
    if (!readContent(source, &content, error))
        return false;
    const QString md5 = QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex());
    for (int n = 1;; ++n) {
        const QString candidate = folder() + QLatin1Char('/') + Attachments::numberedName(name, n);
        QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::SELECT_CONTENT_MD5).arg(Query::quote(candidate)));
        if (!query.isActive()) {
            *error = Errors::describe(query.lastError());
            return false;
        }
        if (query.next()) {
            if (query.value(0).toString() != md5)
                continue;
            *target = candidate;
            *fresh = false;
            return true;
        }
        query.finish();
        // A name an attachment refers to stays taken without its content.
        const int used = references(candidate, error);
        if (used < 0)
            return false;
        if (used > 0)
            continue;
        waiting().insert(candidate, content);
        *target = candidate;
        *fresh = true;
        return true;
    }
}

} // namespace

namespace Attachments {

QString numberedName(const QString &name, int n)
{
    if (n <= 1)
        return name;
    const QString mark = QStringLiteral(" (%1)").arg(n);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) + mark + name.mid(dot) : name + mark;
}

QString partOf(const QString &target)
{
    // Named by a fingerprint of the copy's name, which may be as long as the
    // file system allows.
    const QFileInfo info(target);
    return info.path() + QLatin1Char('/') + QLatin1String(AttachmentFolder::PART_PREFIX) +
           QString::fromLatin1(QCryptographicHash::hash(info.fileName().toUtf8(), QCryptographicHash::Md5).toHex()) +
           QLatin1String(AttachmentFolder::PART_SUFFIX);
}

bool store(const QString &source, const QString &name, QString *target, bool *fresh, QString *error)
{
    if (Sql::onServer())
        return storeOnServer(source, name, target, fresh, error);
    if (!QDir().mkpath(folder())) {
        *error = QStringLiteral("не удалось создать папку «%1»").arg(QDir(folder()).absolutePath());
        return false;
    }
    if (!copyTarget(source, name, target, fresh, error))
        return false;
    if (!*fresh)
        return true;
    // The copy waits beside its place until its record is written (settle);
    // it is on the disk before the record can be.
    if (!writeCopy(source, partOf(*target), error)) {
        *error = QStringLiteral("не удалось скопировать его в папку «%1» (%2)")
                     .arg(QDir(folder()).absolutePath(), *error);
        return false;
    }
    return true;
}

bool writeWaiting(const QString &target, QSqlError *error)
{
    const auto content = waiting().constFind(target);
    if (!Sql::onServer() || content == waiting().cend())
        return true;
    QSqlQuery query;
    if (!PrivateConnection::run(QSqlDatabase(), QString::fromLatin1(Sql::INSERT_CONTENT), {target, *content}, &query,
                                error))
        return false;
    if (query.numRowsAffected() > 0)
        return true;
    // Another clerk stored another document under the name meanwhile.
    *error = QSqlError(QString(), QStringLiteral("имя копии «%1» тем временем занял другой документ, прикрепите "
                                                 "файл ещё раз")
                                      .arg(target),
                       QSqlError::TransactionError);
    return false;
}

QByteArray waitingContent(const QString &target)
{
    return Sql::onServer() ? waiting().value(target) : QByteArray();
}

bool settle(const QString &target)
{
    if (Sql::onServer()) {
        waiting().remove(target);
        return true;
    }
    const QString part = partOf(target);
    if (!QFileInfo::exists(part))
        return true;
    if (taken(target) || !QFile::rename(part, target)) {
        Query::appendLog(QStringLiteral("Копия документа «%1» не получила своё имя; это сделает следующий запуск "
                                        "программы\n")
                             .arg(target));
        return false;
    }
    syncFolder(QFileInfo(target).path());
    return true;
}

void discard(const QString &target)
{
    if (Sql::onServer())
        waiting().remove(target);
    else
        QFile::remove(partOf(target));
}

} // namespace Attachments
