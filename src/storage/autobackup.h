#ifndef AUTOBACKUP_H
#define AUTOBACKUP_H

#include <QString>

#include <functional>

class QDate;

// The copies of the database the program makes by itself, one a day. They
// lie beside the user's own copies and are told apart from them by their
// name alone, "BaseDate_auto_<yyyy_MM_dd>.db": only files of that name are
// ever removed, the oldest first, so that a set number of them stays.
namespace AutoBackup {

enum class Outcome { Off, MadeAlready, Made, Failed };

// folder + "/BaseDate_auto_" + "yyyy_MM_dd" + ".db".
QString name(const QString &folder, const QDate &day);

// Makes the copy of `today` in `folder` with `copy` (which writes a new file
// under the name given, or says in plain Russian why not) unless it is there
// already, then removes the oldest copies beyond `keep`. With `keep` 0
// nothing is made or removed. `written` is the file made; a failure is said
// in `error`, fit to follow "Автоматическая резервная копия не создана: ".
Outcome make(const QString &folder, const QDate &today, int keep,
             const std::function<bool(const QString &target, QString *error)> &copy, QString *written,
             QString *error);

} // namespace AutoBackup

#endif // AUTOBACKUP_H
