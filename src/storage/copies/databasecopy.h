#ifndef DATABASECOPY_H
#define DATABASECOPY_H

#include <QString>

class QDateTime;

// Backup copies of the database file and the restoring of one of them.
// Every failure is said in plain Russian in `error`, fit to follow
// "Резервная копия не создана: " or "Резервная копия не восстановлена: ".
//
// A file is written under a temporary name (partName()) and takes its name
// only once complete, so a copy cut short by a crash never looks like a
// copy; removeStaleParts() clears what such a crash left.
namespace DatabaseCopy {
    // folder + "/BaseDate" + "yyyy_MM_d_hh_mm_ss" + ".db" (the day without a
    // leading zero).
QString backupName(const QString &folder, const QDateTime &when);
    // folder + "/" + prefix + "yyyy_MM_d_hh_mm_ss" + ".db", or, when that is
    // taken, the same with "_2", "_3"... before ".db": never an existing name.
QString freeDatedName(const QString &folder, const QString &prefix, const QDateTime &when);
    // A consistent snapshot of `database` made by SQLite itself into `target`,
    // through a read-only connection of its own. Never overwrites: an
    // existing `target` is refused. True only when the copy exists afterwards.
bool backup(const QString &database, const QString &target, QString *error);
    // The name a file is written under until it is complete:
    // final + "." + process id + ".part".
QString partName(const QString &final);
    // Removes from `folder` the temporary files of this program that no
    // running copy of it is writing (left by a crash or a kill).
void removeStaleParts(const QString &folder);

    // Puts the finished copy `made` in the place of the safety copy
    // `safety`, keeping an earlier one as "BaseDate_old_<date>.db".
bool keepAsSafetyCopy(const QString &made, const QString &safety, QString *reason);

QString liveName(const QString &folder);
QString safetyName(const QString &folder);
} // namespace DatabaseCopy

#endif // DATABASECOPY_H
