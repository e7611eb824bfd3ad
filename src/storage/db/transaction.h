#ifndef TRANSACTION_H
#define TRANSACTION_H

#include <QSqlError>

#include <functional>

// A write transaction on the program's connection. It takes the write lock
// at once (another copy is waited for as any statement waits; on a server it
// is serializable), so what is checked in it stays true until the commit;
// one that is not committed is rolled back when it goes.
class Transaction
{
public:
    Transaction() = default;
    ~Transaction() { rollback(); }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool begin(QSqlError *error);
    // On failure the transaction is rolled back and `error` says why.
    bool commit(QSqlError *error);
    void rollback();

    // Runs `steps` in a transaction; when a step fails (returns false)
    // everything is rolled back. On a server, a transaction that met another
    // clerk's change at the same time (serialization failure, deadlock) is
    // run once more from the start; a second such failure is reported.
    // `error` holds the failing statement's error (none when a step failed
    // without one).
    static bool run(const std::function<bool(QSqlError &error)> &steps, QSqlError &error);

private:
    bool m_open = false;
};

#endif // TRANSACTION_H
