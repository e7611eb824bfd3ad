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
class DatabaseCopy
{
public:
    // folder + "/BaseDate" + "yyyy_MM_d_hh_mm_ss" + ".db" (the day without a
    // leading zero).
    static QString backupName(const QString &folder, const QDateTime &when);
    // folder + "/" + prefix + "yyyy_MM_d_hh_mm_ss" + ".db", or, when that is
    // taken, the same with "_2", "_3"... before ".db": never an existing name.
    static QString freeDatedName(const QString &folder, const QString &prefix, const QDateTime &when);
    // A consistent snapshot of `database` made by SQLite itself into `target`,
    // through a read-only connection of its own. Never overwrites: an
    // existing `target` is refused. True only when the copy exists afterwards.
    static bool backup(const QString &database, const QString &target, QString *error);
    // True when the file is an SQLite database that SQLite reads as sound.
    static bool isDatabase(const QString &path);
    // True when both names lead to one existing file (links, case of letters
    // on file systems that ignore it).
    static bool sameFile(const QString &a, const QString &b);
    // Puts the content of `chosen` in the place of folder + "/BaseDate.db".
    // The program's own connection must be closed.
    //  1. The chosen file is copied by SQLite into a temporary file and
    //     checked against the table and column descriptors of the working
    //     folder: a file without any of the program's tables is refused, one
    //     that lacks tables or columns is brought in line on the copy.
    //  2. A connection of its own takes the live database's write lock
    //     (another program writing: refused, nothing changed).
    //  3. Holding it, the live database is copied by SQLite as the new
    //     "BaseDate_old.db"; an earlier one is kept as
    //     "BaseDate_old_<date>.db".
    //  4. The checked copy replaces the content of the live database in one
    //     transaction, so that other connections on the file see the restored
    //     content and a crash leaves the old one whole. A live file that is
    //     not a readable database is itself moved aside as "BaseDate_old.db"
    //     (its journal files with it) and the checked copy takes its place.
    // No journal file is ever deleted. False: no file was changed, except
    // that the safety copy may already have been made.
    static bool restore(const QString &chosen, const QString &folder, QString *error);
    // The name a file is written under until it is complete:
    // final + "." + process id + ".part".
    static QString partName(const QString &final);
    // Removes from `folder` the temporary files of this program that no
    // running copy of it is writing (left by a crash or a kill).
    static void removeStaleParts(const QString &folder);

    // Puts the finished copy `made` in the place of the safety copy
    // `safety`, keeping an earlier one as "BaseDate_old_<date>.db".
    static bool keepAsSafetyCopy(const QString &made, const QString &safety, QString *reason);

    static QString liveName(const QString &folder);
    static QString safetyName(const QString &folder);
};

#endif // DATABASECOPY_H
