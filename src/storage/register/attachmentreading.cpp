#include "storage/register/attachmentreading.h"

#include "function.h"
#include "storage/db/errors.h"
#include "storage/db/errorlog.h"
#include "storage/db/query.h"
#include "storage/db/quoting.h"
#include "storage/register/attachmentfolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

namespace {

using AttachmentFolder::folder;
using AttachmentFolder::inStore;
using AttachmentFolder::insideFolder;
using AttachmentFolder::realPath;

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

bool localCopy(const QString &path, QString *file, QString *error)
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

bool leftOver(const QString &ln, const QString &code, const QString &number, QStringList *names,
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

} // namespace Attachments
