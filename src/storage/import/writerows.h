#ifndef IMPORT_WRITEROWS_H
#define IMPORT_WRITEROWS_H

#include "storage/db/query.h"
#include "storage/import/write.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <functional>
#include <map>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

// What the steps of an import's writing share: the statements of many rows
// that add the servicemen and the orders, the single statements run on the
// program's connection, and the state of the writing itself.
namespace Import::Detail {

// Rows a multi-row statement carries on a file: the values stay under
// SQLite's oldest limit of 999 a statement.
constexpr int CHUNK = 90;
// Rows a COPY carries to a server: few round trips and few
// calls of the history's trigger, and still the progress moves and a cancel
// is heard every so often.
constexpr int SERVER_CHUNK = 10000;

// One import's writing as its steps go: where it writes, how far it got,
// and why it stopped.
struct Writing
{
    Written *written = nullptr;
    const Progress *progress = nullptr;
    bool server = false;
    // The rows between two steps of the progress: one statement's.
    int chunk = 0;
    int total = 0;
    int done = 0;
    bool cancelled = false;
    QSqlError error;
    bool listsChanged = false;
    // What the register no longer allows as checked, when that stopped it.
    QString stale;

    // Counts rows written and tells the progress; false when the user
    // stopped the import.
    bool step(int rows)
    {
        done += rows;
        if (*progress && !(*progress)(done, total))
            cancelled = true;
        return !cancelled;
    }
};

// Runs a statement of many rows, prepared once per size and reused, as the
// import's rows call for it. A failure goes to the log as the statement
// runner writes it.
class Batch
{
public:
    Batch(const char *statement, const char *row, int width);
    ~Batch();
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;

    bool add(const QVariantList &values, QSqlError &error)
    {
        m_values.append(values);
        return m_values.size() < CHUNK * m_width || flush(error);
    }
    bool flush(QSqlError &error);

private:
    static void log(const QString &sql, const QSqlError &error);
    bool flushDirect(sqlite3 *file, int rows, QSqlError &error);
    static bool failed(sqlite3 *file, const QString &sql, QSqlError &error);

    std::map<int, sqlite3_stmt *> m_direct;
    QString m_statement;
    QString m_row;
    int m_width;
    QVariantList m_values;
    std::map<int, QSqlQuery> m_prepared;
};

// The same rows to a server: COPY's stream, SERVER_CHUNK rows a statement.
class CopyBatch
{
public:
    explicit CopyBatch(const char *statement)
        : m_statement(QString::fromLatin1(statement))
    {
    }

    bool add(const QVariantList &values, QSqlError &error)
    {
        m_rows.add(values);
        return m_rows.size() < SERVER_CHUNK || flush(error);
    }
    bool flush(QSqlError &error);

private:
    QString m_statement;
    Query::CopyRows m_rows;
};

// The rows of a table an import adds: a statement of many rows on a file, a
// COPY on a server.
class TableRows
{
public:
    TableRows(bool server, const char *statement, const char *row, const char *copy, int width)
    {
        if (server)
            m_copy.emplace(copy);
        else
            m_rows.emplace(statement, row, width);
    }
    bool add(const QVariantList &values, QSqlError &error)
    {
        return m_copy ? m_copy->add(values, error) : m_rows->add(values, error);
    }
    bool flush(QSqlError &error) { return m_copy ? m_copy->flush(error) : m_rows->flush(error); }

private:
    std::optional<Batch> m_rows;
    std::optional<CopyBatch> m_copy;
};

// Sends the rows `fill` gives (up to SERVER_CHUNK at a call, none when all
// are given) by the COPY `statement`, a COPY a call; while the server writes
// one, the next are made ready. The progress moves by each COPY's rows.
bool copyInChunks(const char *statement, const std::function<void(Query::CopyRows &)> &fill,
                  Writing &writing);

// Runs one statement with its values; `result` takes the query when given.
bool run(const QString &sql, const QVariantList &values, QSqlError &error, QSqlQuery *result = nullptr);

// The identity the next row of a table takes (on a file).
bool nextRow(const char *statement, qint64 *row, QSqlError &error);

} // namespace Import::Detail

#endif // IMPORT_WRITEROWS_H
