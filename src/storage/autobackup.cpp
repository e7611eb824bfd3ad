#include "storage/autobackup.h"

#include "function.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

const char PREFIX[] = "BaseDate_auto_";
const char DAY_FORMAT[] = "yyyy_MM_dd";

// Removes the program's own copies beyond the newest `keep`, by the day in
// their names; a copy that cannot be removed is noted in the log.
void prune(const QString &folder, int keep)
{
    static const QRegularExpression own(QStringLiteral("^BaseDate_auto_(\\d{4}_\\d{2}_\\d{2})\\.db$"));
    const QDir dir(folder);
    QStringList copies;
    for (const QString &entry : dir.entryList({QStringLiteral("BaseDate_auto_*.db")}, QDir::Files)) {
        const QRegularExpressionMatch match = own.match(entry);
        if (match.hasMatch() && QDate::fromString(match.captured(1), QLatin1String(DAY_FORMAT)).isValid())
            copies.append(entry);
    }
    // The day is written with its leading zeros: the names sort as the days.
    std::sort(copies.begin(), copies.end(), std::greater<>());
    for (int i = keep; i < copies.size(); ++i) {
        if (!QFile::remove(dir.filePath(copies.at(i))))
            Function::appendLog(QStringLiteral("Старая автоматическая резервная копия %1 не удалена\n")
                                    .arg(dir.filePath(copies.at(i))));
    }
}

} // namespace

namespace AutoBackup {

QString name(const QString &folder, const QDate &day)
{
    return folder + QLatin1Char('/') + QLatin1String(PREFIX) + day.toString(QLatin1String(DAY_FORMAT)) +
           QStringLiteral(".db");
}

Outcome make(const QString &folder, const QDate &today, int keep,
             const std::function<bool(const QString &target, QString *error)> &copy, QString *written,
             QString *error)
{
    if (keep <= 0)
        return Outcome::Off;
    const QString target = name(folder, today);
    Outcome outcome = Outcome::MadeAlready;
    if (!QFileInfo::exists(target)) {
        if (!copy(target, error)) {
            // The database refuses to write into a folder it may not: the
            // folder is the cause the user can act on.
            const QFileInfo place(folder);
            if (place.isDir() && !place.isWritable())
                *error = QStringLiteral("в папку «%1» нельзя записывать").arg(place.absoluteFilePath());
            return Outcome::Failed;
        }
        outcome = Outcome::Made;
        *written = QFileInfo(target).absoluteFilePath();
    }
    prune(folder, keep);
    return outcome;
}

} // namespace AutoBackup
