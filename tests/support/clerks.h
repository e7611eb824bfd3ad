#ifndef CLERKS_H
#define CLERKS_H

#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace TestSupport {

// Many clerks writing into one server register at once, each in a process
// of its own through the program's own storage functions: orders added,
// changed and lifted and their counts recounted on each clerk's own
// serviceman and on one all of them share, and the shared serviceman's form
// saved by all in turn. Each clerk reports what it believes it wrote; the
// check then looks for every one of those in the database.
namespace Clerks {

struct Outcome
{
    // Writes the clerks were told were done, and those refused (each with
    // the reason the program shows).
    int written = 0;
    int refused = 0;
    // How often each reason was told.
    QMap<QString, int> reasons;
    double seconds = 0;
    // What the check found wrong: a write lost or changed, one refused
    // without a reason, a clerk that hung, counts that disagree.
    QStringList problems;
};

// In a process started by run(): the clerk's work; its exit code. -1 when
// the arguments do not ask for a clerk.
int clientMain(int argc, char **argv);

// Starts `clients` clerks of `program` in the current folder (settings.ini
// names the server) for `seconds` each, after making their servicemen
// through `db`, and checks `db` once all are done.
Outcome run(const QString &program, const QSqlDatabase &db, int clients, int seconds);

} // namespace Clerks

} // namespace TestSupport

#endif // CLERKS_H
