#ifndef DATABASECOPY_H
#define DATABASECOPY_H

#include <QString>

class QDateTime;

// Backup copies of the database file and the restoring of one of them.
// Every failure is said in plain Russian in `error`, fit to follow
// "Резервная копия не создана: " or "Резервная копия не восстановлена: ".
class DatabaseCopy
{
public:
    // folder + "/BaseDate" + "yyyy_MM_d_hh_mm_ss" + ".db" (the day without a
    // leading zero).
    static QString backupName(const QString &folder, const QDateTime &when);
    // A consistent snapshot of `database` made by SQLite itself into `target`,
    // through a read-only connection of its own. Never overwrites: an
    // existing `target` is refused. True only when the copy exists afterwards.
    static bool backup(const QString &database, const QString &target, QString *error);
    // True when the file is an SQLite database that SQLite reads as sound.
    static bool isDatabase(const QString &path);
    // True when both names lead to one existing file (links, case of letters
    // on file systems that ignore it).
    static bool sameFile(const QString &a, const QString &b);
    // Puts `chosen` in the place of folder + "/BaseDate.db". The program's
    // connection must be closed. First the live file is saved as
    // "BaseDate_old.db" (an earlier one is replaced only once the new one is
    // complete); then the chosen file, copied completely beside the live one,
    // is renamed over it; then journal files of the old database are removed.
    // When it returns false, `replaced` tells whether the live file had
    // already been replaced (only a journal file could not be removed);
    // otherwise no file was changed.
    static bool restore(const QString &chosen, const QString &folder, bool *replaced, QString *error);

    static QString liveName(const QString &folder);
    static QString safetyName(const QString &folder);
};

#endif // DATABASECOPY_H
