#ifndef DATABASERESTORE_H
#define DATABASERESTORE_H

#include <QString>

// The restoring of a backup copy into the working folder's database file.
namespace DatabaseCopy {

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
bool restore(const QString &chosen, const QString &folder, QString *error);

} // namespace DatabaseCopy

#endif // DATABASERESTORE_H
