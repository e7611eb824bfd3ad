#include "storage/attachments.h"

#include "function.h"
#include "storage/paths.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

namespace {

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

bool insideFolder(const QString &path)
{
    const QString inside = QDir(folder()).absolutePath() + QLatin1Char('/');
    return QFileInfo(path).absoluteFilePath().startsWith(inside);
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

// An existing copy with the same content, or the first name never used: a
// name whose copy was moved aside still means that document.
QString copyTarget(const QString &source, const QString &name, bool *fresh)
{
    for (int n = 1;; ++n) {
        const QString candidate = folder() + QLatin1Char('/') + Attachments::numberedName(name, n);
        const QFileInfo info(candidate);
        if (!taken(candidate) && !taken(detachedPlace(candidate))) {
            *fresh = true;
            return candidate;
        }
        if (info.isFile() && sameContent(source, candidate)) {
            *fresh = false;
            return candidate;
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

bool store(const QString &source, const QString &name, QString *target, bool *fresh, QString *error)
{
    if (!QDir().mkpath(folder())) {
        *error = QStringLiteral("не удалось создать папку «%1»").arg(QDir(folder()).absolutePath());
        return false;
    }
    *target = copyTarget(source, name, fresh);
    if (!*fresh)
        return true;
    QFile file(source);
    if (!file.copy(*target)) {
        *error = QStringLiteral("не удалось скопировать его в папку «%1» (%2)")
                     .arg(QDir(folder()).absolutePath(), file.errorString());
        return false;
    }
    return true;
}

void removeUnused(const QSet<QString> &copies)
{
    for (const QString &copy : copies) {
        if (copy.isEmpty() || !insideFolder(copy))
            continue;
        QSqlQuery query =
            Function::Myquery(QString::fromLatin1(Sql::COUNT_FILE_REFERENCES).arg(Function::q(copy)));
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
