#ifndef TRANSACTION_H
#define TRANSACTION_H

#include <QSqlError>

// A write transaction on the program's connection. It takes the write lock
// at once (another copy is waited for as any statement waits), so what is
// checked in it stays true until the commit; one that is not committed is
// rolled back when it goes.
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

private:
    bool m_open = false;
};

#endif // TRANSACTION_H
