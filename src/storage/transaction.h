#ifndef TRANSACTION_H
#define TRANSACTION_H

#include <QSqlError>

#include <functional>

// Several statements on the program's connection that stand or fall together.
namespace Transaction {

// Runs `steps` between Sql::BEGIN_IMMEDIATE and COMMIT; when a step fails
// (returns false) everything is rolled back. On a server, a transaction that
// met another clerk's change at the same time (serialization failure,
// deadlock) is run once more from the start; a second such failure is
// reported. `error` holds the failing statement's error (none when a step
// failed without one).
bool run(const std::function<bool(QSqlError &error)> &steps, QSqlError &error);

} // namespace Transaction

#endif // TRANSACTION_H
