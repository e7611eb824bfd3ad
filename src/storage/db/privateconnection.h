#ifndef PRIVATECONNECTION_H
#define PRIVATECONNECTION_H

// A connection of its own on one SQLite file, beside the program's: for the
// copies, the restore, the check of the schema and of a chosen file. Each is
// used only in the thread that opened it (the daily copy opens its own in a
// thread of its own), and goes, closed and removed, with the object.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

class PrivateConnection
{
public:
    // Read-only, waiting briefly for a writer.
    static const QString READ_ONLY;

    // Whether a stop of the daily copy interrupts the connection's
    // statements (see CopyStop): only where the thread runs a copy.
    enum class Stop { Watched, Unwatched };

    // Opens `path` with the driver's connect `options`; opened() tells
    // whether it worked, db().lastError() why not.
    PrivateConnection(const QString &path, const QString &options, Stop stop = Stop::Watched);
    // Queries made on db() must go first.
    ~PrivateConnection();
    PrivateConnection(const PrivateConnection &) = delete;
    PrivateConnection &operator=(const PrivateConnection &) = delete;

    const QSqlDatabase &db() const { return m_db; }
    bool opened() const { return m_opened; }

    // Runs one statement with its bound values on `db` (an invalid one means
    // the program's connection); a failure is written to the log. True when
    // it ran; `result` then takes the query; on failure `error` takes the
    // database's error.
    static bool run(const QSqlDatabase &db, const QString &sql, const QVariantList &values,
                    QSqlQuery *result, QSqlError *error);

private:
    QString m_name;
    QSqlDatabase m_db;
    bool m_opened = false;
};

#endif // PRIVATECONNECTION_H
