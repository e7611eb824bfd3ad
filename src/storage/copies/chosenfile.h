#ifndef CHOSENFILE_H
#define CHOSENFILE_H

#include <QString>

// A file the clerk chose to restore or to move onto a server: whether it is
// a database, whether it is the open one, and its copy checked against the
// working folder's descriptors.
namespace DatabaseCopy {

// True when the file is an SQLite database that SQLite reads as sound.
bool isDatabase(const QString &path);
// True when both names lead to one existing file (links, case of letters
// on file systems that ignore it).
bool sameFile(const QString &a, const QString &b);

} // namespace DatabaseCopy

namespace CopyFiles {

// Checks the temporary copy `copy` of the chosen file against the table and
// column descriptors of the working folder and brings it in line with them;
// false with the reason, naming `chosen`, when it is not the program's.
bool checkChosen(const QString &copy, const QString &chosen, QString *error);

} // namespace CopyFiles

#endif // CHOSENFILE_H
