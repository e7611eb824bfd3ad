#ifndef SERVERCOPY_H
#define SERVERCOPY_H

#include <QString>
#include <QStringList>

class QSqlDatabase;

// The register on a server and SQLite files: the backup of a server as an
// SQLite file with its documents (the SQLite mode opens it as it is), the
// restoring of such a file (or of any register file) onto the server, and the
// moving of an SQLite register onto an empty server database. Each works on
// the program's connection to the server and a connection of its own to the
// file. Failures are said in plain Russian in `error`.
namespace ServerCopy {

// Writes the server's whole register, with the content of every document,
// into the new SQLite file `target` (never overwritten), its tables made by
// the SQLite descriptors of the working folder. A file cut short is removed.
bool backup(const QString &target, QString *error);
// The same from `from`, a connection to the same server of the calling
// thread's own (a copy made outside the window's thread).
bool backup(const QSqlDatabase &from, const QString &target, QString *error);

struct Counts
{
    int servicemen = 0;
    int orders = 0;
    int files = 0;
    // Documents whose content was found neither in the file nor in the
    // folder "files": their Files rows are kept, as in the SQLite mode.
    QStringList missing;
};

// Replaces the server's data by the register of the SQLite file `source`, in
// one transaction (the server keeps what it had when anything fails). The
// documents come from the file's own copies, else from the folder "files" of
// the working folder or of the folder above the file's.
bool restore(const QString &source, Counts *counts, QString *error);

// The same into a server database that holds no serviceman, order or
// document yet; the numbers of rows are compared afterwards.
bool transfer(const QString &source, Counts *counts, QString *error);

} // namespace ServerCopy

#endif // SERVERCOPY_H
