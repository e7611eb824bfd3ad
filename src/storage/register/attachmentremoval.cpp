#include "storage/register/attachmentremoval.h"

#include "function.h"
#include "storage/db/errorlog.h"
#include "storage/db/query.h"
#include "storage/db/quoting.h"
#include "storage/register/attachmentfolder.h"
#include "storage/register/attachments.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlQuery>

#include <unistd.h>

namespace {

// The copies of a removal under way, one a line, until they are put aside.
constexpr char REMOVAL_MARKER[] = ".removing";

} // namespace

namespace Attachments {

using AttachmentFolder::detachedPlace;
using AttachmentFolder::folder;
using AttachmentFolder::insideFolder;
using AttachmentFolder::taken;

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

QStringList finishInterrupted()
{
    QStringList notes;
    if (Sql::onServer() || !QFileInfo(folder()).isDir())
        return notes;
    // Nothing left waiting: the register is not read at all.
    const QString partMark = QLatin1String(AttachmentFolder::PART_PREFIX) + QLatin1Char('*') +
                             QLatin1String(AttachmentFolder::PART_SUFFIX);
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
