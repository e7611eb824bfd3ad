#ifndef SERVERCOPY_H
#define SERVERCOPY_H

#include <QString>
#include <QStringList>

#include <functional>

class QSqlDatabase;

// The register on a server and SQLite files: the backup of a server as an
// SQLite file with its documents (the SQLite mode opens it as it is), the
// restoring of such a file (or of any register file) onto the server, and the
// moving of an SQLite register onto an empty server database. Each works on
// the program's connection to the server and a connection of its own to the
// file. Failures are said in plain Russian in `error`.
namespace ServerCopy {


struct Counts
{
    int servicemen = 0;
    int orders = 0;
    int files = 0;
    // Documents whose content was found neither in the file nor in the
    // folder "files": their Files rows are kept, as in the SQLite mode.
    QStringList missing;
    // The transfer: the tables it made on the server first.
    QStringList createdTables;
    // The entries of the file's history of changes, and why they did not
    // come onto the server (empty when they did): the server has no history
    // and it could not be made, or only its owner may write it.
    int historyEntries = 0;
    QString historyLeft;
    // Stopped by the user: nothing was written.
    bool cancelled = false;
};

// Told of the rows moved so far: `done` of `total` of the stage `what`
// ("Перенос военнослужащих"); false stops the work.
using Progress = std::function<bool(int done, int total, const QString &what)>;

// Replaces the server's data by the register of the SQLite file `source`, in
// one transaction (the server keeps what it had when anything fails), as
// one entry of the history. Refused unless restorePossible(). The
// documents come from the file's own copies, else from the folder "files" of
// the working folder or of the folder above the file's.
bool restore(const QString &source, Counts *counts, QString *error);

// Whether the program's connection to the server may restore: only the
// database's owner and the members of vedomer_admins may. False with the
// cause in `why`.
bool restorePossible(QString *why);

// The same into a server database that holds no serviceman, order or
// document yet; the numbers of rows are compared afterwards. The tables the
// server lacks are made first from the server's table descriptor in the
// working folder (as "--ver" makes them), in the same transaction: a
// transfer stopped or refused leaves the server as it was.
bool transfer(const QString &source, Counts *counts, QString *error, const Progress &progress = {});

// Whether a transfer can work on the program's open connection to the
// server, asked before anything else: the descriptor is readable, and tables
// that are missing may be made by the connection's user. False with the
// cause in `why`.
bool transferPossible(QString *why);

} // namespace ServerCopy

#endif // SERVERCOPY_H
