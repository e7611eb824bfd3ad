#include "storage/register/attachments.h"

#include "function.h"
#include "storage/db/errors.h"
#include "storage/setup/paths.h"
#include "storage/setup/privacy.h"
#include "storage/db/privateconnection.h"
#include "storage/db/errorlog.h"
#include "storage/db/quoting.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A fresh copy waits under this mark beside its place: ".name.attaching".
constexpr char PART_PREFIX[] = ".";
constexpr char PART_SUFFIX[] = ".attaching";
// The copies of a removal under way, one a line, until they are put aside.
constexpr char REMOVAL_MARKER[] = ".removing";

QString folder()
{
    return QString::fromLatin1(Paths::FILES_FOLDER);
}

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

// The place `path` names once symbolic links and ".." are resolved, as the
// system would resolve them; a part that does not exist yet is added to its
// nearest existing folder as it stands. Empty where no place can be named (a
// link that leads nowhere, a missing part "..").
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

// Whether `path` lies inside the folder `root` (which must exist) once
// symbolic links and ".." are resolved: the only places whose files the
// program opens, writes or moves for an attachment. A record may name any
// path (one restored from someone else's backup, for instance).
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

// A record's path that leads out of the store, as the refusal names it.
QString outsideReason(const QString &path, const QString &root)
{
    const QString real = realPath(path);
    return QStringLiteral("его копия «%1» лежит вне папки документов программы «%2», такие файлы не открываются")
        .arg(QDir::toNativeSeparators(real.isEmpty() ? path : real),
             QDir::toNativeSeparators(QDir(root).absolutePath()));
}

void logRefusal(const QString &path, const QString &reason)
{
    Query::appendLog(QStringLiteral("Документ «%1» не открыт: %2\n").arg(path, reason));
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

// Where a copy of the folder is kept once no attachment needs it.
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

bool hasContentTable()
{
    QSqlQuery info = Function::Myquery(Sql::text(Sql::TABLE_INFO).arg(QString::fromLatin1(Sql::CONTENT_TABLE)));
    return info.next();
}

// The content kept in the database for `path` written to `file`, which
// must lie inside the folder `root`.
bool writeContent(const QString &path, const QString &file, const QString &root, QString *error)
{
    if (!QDir().mkpath(root) || !inStore(file, root)) {
        *error = outsideReason(file, root);
        logRefusal(path, *error);
        return false;
    }
    QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::SELECT_CONTENT).arg(Query::quote(path)));
    if (!query.isActive()) {
        *error = Errors::describe(query.lastError());
        return false;
    }
    if (!query.next()) {
        *error = QStringLiteral("его копии «%1» нет в базе данных").arg(path);
        return false;
    }
    const QByteArray content = query.value(0).toByteArray();
    query.finish();
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size() || !out.commit()) {
        *error = QStringLiteral("не удалось записать его копию в «%1» (%2)")
                     .arg(QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath()), out.errorString());
        return false;
    }
    return true;
}

// The user's cache folder for the documents of the server the program works
// with.
QString cacheFolder()
{
    const QSqlDatabase db = QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
    QString server = QStringLiteral("%1_%2_%3").arg(db.hostName(), QString::number(db.port()), db.databaseName());
    server.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QLatin1Char('/') + server;
}

// The cache folder of the documents the user opened from a server: the
// user's alone (a folder made by an earlier version is closed again), and
// holding copies of documents that a record still names only. A copy whose
// attachment was removed meanwhile (here or by another clerk) goes.
void tidyCache(const QString &cache)
{
    const QFileDevice::Permissions own =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    QDir().mkpath(cache);
    for (const QString &folder : {QFileInfo(cache).absolutePath(), cache})
        QFile::setPermissions(folder, own);
    const QDir root(cache);
    QStringList names;
    QDirIterator files(cache, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (files.hasNext())
        names.append(root.relativeFilePath(files.next()));
    QDirIterator folders(cache, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                         QDirIterator::Subdirectories);
    while (folders.hasNext())
        QFile::setPermissions(folders.next(), own);
    // A few hundred names a statement, each bound.
    constexpr qsizetype BATCH = 500;
    for (qsizetype from = 0; from < names.size(); from += BATCH) {
        const QStringList batch = names.mid(from, BATCH);
        QStringList marks;
        QVariantList values;
        for (const QString &name : batch) {
            marks.append(QStringLiteral("?"));
            values.append(name);
        }
        QSqlQuery query = Function::Myquery(
            QString::fromLatin1(Sql::SELECT_NAMED_COPIES).arg(marks.join(QStringLiteral(", "))), values);
        // Without an answer nothing is known to be unused.
        if (!query.isActive())
            return;
        QSet<QString> named;
        while (query.next())
            named.insert(query.value(0).toString());
        if (query.lastError().isValid())
            return;
        for (const QString &name : batch) {
            if (!named.contains(name))
                QFile::remove(root.filePath(name));
        }
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
    return info.path() + QLatin1Char('/') + QLatin1String(PART_PREFIX) +
           QString::fromLatin1(QCryptographicHash::hash(info.fileName().toUtf8(), QCryptographicHash::Md5).toHex()) +
           QLatin1String(PART_SUFFIX);
}

void markRemoval(const QString &copy)
{
    if (Sql::onServer() || copy.isEmpty())
        return;
    // Where it cannot be written the removal goes on: only a stop before
    // the copy is put aside would leave it in its place.
    QFile marker(folder() + QLatin1Char('/') + QLatin1String(REMOVAL_MARKER));
    if (marker.open(QIODevice::Append) && marker.write((copy + QLatin1Char('\n')).toUtf8()) > 0 && marker.flush())
        ::fsync(marker.handle());
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

QStringList finishInterrupted()
{
    QStringList notes;
    if (Sql::onServer() || !QFileInfo(folder()).isDir())
        return notes;
    // Nothing left waiting: the register is not read at all.
    const QString partMark = QLatin1String(PART_PREFIX) + QLatin1Char('*') + QLatin1String(PART_SUFFIX);
    const QFileInfoList parts = QDir(folder()).entryInfoList({partMark}, QDir::Files | QDir::Hidden);
    QFile marker(folder() + QLatin1Char('/') + QLatin1String(REMOVAL_MARKER));
    if (parts.isEmpty() && !marker.exists())
        return notes;
    QHash<QString, QString> named;
    {
        QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::SELECT_FILE_COPIES));
        if (!query.isActive())
            return notes;
        while (query.next()) {
            const QString copy = query.value(0).toString();
            named.insert(partOf(copy), copy);
        }
    }
    // Copies an attachment left waiting: given their name where the record
    // was written, else removed.
    for (const QFileInfo &part : parts) {
        const QString path = folder() + QLatin1Char('/') + part.fileName();
        const QString target = named.value(path);
        if (!target.isEmpty() && insideFolder(target) && !taken(target) && QFile::rename(path, target)) {
            notes.append(QStringLiteral("Прикрепление документа «%1», прерванное при прошлом запуске, завершено.")
                             .arg(QFileInfo(target).fileName()));
        } else if (target.isEmpty() && QFile::remove(path)) {
            Query::appendLog(QStringLiteral("Недописанная копия документа %1 удалена: его прикрепление "
                                            "прервалось до записи в базу\n")
                                 .arg(part.fileName()));
        }
    }
    // Copies whose removal was written while the program stopped before it
    // could put them aside.
    if (marker.open(QIODevice::ReadOnly)) {
        QSet<QString> copies;
        for (const QByteArray &line : marker.readAll().split('\n'))
            if (!line.isEmpty())
                copies.insert(QString::fromUtf8(line));
        marker.close();
        for (const QString &copy : std::as_const(copies)) {
            const bool was = QFileInfo(copy).isFile();
            removeUnused({copy});
            if (was && !QFileInfo(copy).exists())
                notes.append(QStringLiteral("Откреплённый документ «%1» перенесён в папку «%2».")
                                 .arg(QFileInfo(copy).fileName(), QString::fromUtf8(DETACHED_FOLDER)));
        }
        marker.remove();
    }
    return notes;
}

void removeUnused(const QSet<QString> &copies)
{
    // On a server the content went in the removal's own transaction.
    if (Sql::onServer())
        return;
    for (const QString &copy : copies) {
        if (copy.isEmpty())
            continue;
        if (!insideFolder(copy)) {
            // Not the program's file (a record restored from someone else's
            // backup may name any): it is never moved or removed.
            if (QFileInfo::exists(copy) || QFileInfo(copy).isSymLink())
                Query::appendLog(
                    QStringLiteral("Файл «%1» не тронут при удалении вложения: он лежит вне папки документов "
                                   "программы\n")
                        .arg(copy));
            continue;
        }
        QSqlQuery query =
            Function::Myquery(QString::fromLatin1(Sql::COUNT_FILE_REFERENCES).arg(Query::quote(copy)));
        const bool unused = query.next() && query.value(0).toInt() == 0;
        query.finish();
        if (!unused || !QFileInfo(copy).isFile())
            continue;
        // A backup of the database may still refer to it: kept aside. Where
        // that fails it stays in its place, which loses nothing either.
        const QString aside = detachedPlace(copy);
        if (!QDir().mkpath(QFileInfo(aside).path()) || taken(aside) || !QFile::rename(copy, aside))
            qDebug() << "Копия оставлена на месте:" << copy;
    }
    forgetRemoval();
}

void forgetRemoval()
{
    if (!Sql::onServer())
        QFile::remove(folder() + QLatin1Char('/') + QLatin1String(REMOVAL_MARKER));
}

int recoverDetached()
{
    QStringList copies;
    {
        QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::SELECT_FILE_COPIES));
        while (query.next())
            copies.append(query.value(0).toString());
    }
    int recovered = 0;
    for (const QString &copy : std::as_const(copies)) {
        if (copy.isEmpty() || !insideFolder(copy) || taken(copy))
            continue;
        const QString aside = detachedPlace(copy);
        if (QFileInfo(aside).isFile() && QFile::rename(aside, copy))
            ++recovered;
    }
    return recovered;
}

} // namespace Attachments

void Attachments::discard(const QString &target)
{
    if (Sql::onServer())
        waiting().remove(target);
    else
        QFile::remove(partOf(target));
}

bool Attachments::localCopy(const QString &path, QString *file, QString *error)
{
    if (Sql::onServer()) {
        // The path is "files/…", made by the program; it is written into the
        // cache folder and opened from there only.
        const QString cache = cacheFolder();
        *file = cache + QLatin1Char('/') + path;
        if (path.isEmpty() || QDir::isAbsolutePath(path)) {
            *error = QStringLiteral("путь его копии «%1» не годится").arg(path);
            logRefusal(path, *error);
            return false;
        }
        tidyCache(cache);
        return writeContent(path, *file, cache, error);
    }
    *file = path;
    const QFileInfo info(path);
    const QString lexical = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    const QString store = QDir::cleanPath(QDir(folder()).absolutePath());
    // Only a copy of the folder is handed to the desktop: a record may name
    // any file (a program too), or a link from the folder to one.
    if (!path.isEmpty() && (!lexical.startsWith(store + QLatin1Char('/')) ||
                            ((info.exists() || info.isSymLink()) && !insideFolder(path)))) {
        *error = outsideReason(path, folder());
        logRefusal(path, *error);
        return false;
    }
    if (!path.isEmpty() && info.isFile())
        return true;
    // A copy written from a server keeps the documents in the file.
    if (!path.isEmpty() && hasContentTable() && writeContent(path, path, folder(), error))
        return true;
    *error = QStringLiteral("его копия «%1» не найдена").arg(path.isEmpty() ? path : info.absoluteFilePath());
    return false;
}

bool Attachments::leftOver(const QString &ln, const QString &code, const QString &number, QStringList *names,
                           QSqlError *error)
{
    QSqlQuery query = Function::Myquery(Sql::text(Sql::SELECT_LEFTOVER_FILES), {ln, code, number});
    if (!query.isActive()) {
        *error = query.lastError();
        return false;
    }
    names->clear();
    while (query.next())
        names->append(query.value(0).toString());
    // A failure met while the rows came ends them early.
    *error = query.lastError();
    return !error->isValid();
}
