#ifndef PGSERVER_H
#define PGSERVER_H

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>

namespace TestSupport {

// A private PostgreSQL cluster of the tests' own: initdb and pg_ctl of the
// Debian package in a temporary folder, run as the unprivileged user "nobody"
// when the tests run as root, listening on 127.0.0.1 at a free port, stopped
// and removed when it goes. Two roles: "clerk" owns the databases the tests
// make, "reader" may only read; their passwords are in a password file that
// PGPASSFILE names, as ~/.pgpass would hold them.
class PgServer
{
public:
    // Starts the cluster; where it cannot, missing() says what to install.
    PgServer();
    ~PgServer();
    PgServer(const PgServer &) = delete;
    PgServer &operator=(const PgServer &) = delete;

    bool running() const { return m_running; }
    QString missing() const { return m_missing; }
    int port() const { return m_port; }

    // Stops and starts the server again (the same cluster and port).
    bool stop();
    bool start();
    // The roles' passwords are given for another port of this computer as
    // well (a proxy in front of the server).
    void allowPort(int port) const;
    // Runs one statement as the cluster's superuser.
    bool admin(const QString &sql, const QString &database = QStringLiteral("postgres"));
    // A new empty database owned by "clerk", readable by "reader".
    QString createDatabase();
    // Restarts the server with encryption (ssl = on) with this certificate
    // and key, or, with empty names, without encryption.
    bool useSsl(const QString &certificate, const QString &key);
    // settings.ini of the current folder names the server's database, on
    // the server's port or another (a proxy's).
    void pointSettingsAt(const QString &database, const QString &user = QStringLiteral("clerk"), int port = 0) const;
    // Runs an SQL script with psql as the cluster's superuser, as an
    // administrator would.
    bool runScript(const QString &file, const QString &database);
    // A user who logs in with a password the password file holds, made a
    // member of `group`.
    bool createUser(const QString &name, const QString &group);
    // A connection of its own to a database as "clerk" (another clerk's
    // workstation) or `user`, opened.
    QSqlDatabase connect(const QString &name, const QString &database,
                         const QString &user = QStringLiteral("clerk")) const;

private:
    bool ctl(const QStringList &arguments);

    QTemporaryDir m_dir;
    QString m_bin;
    QString m_missing;
    int m_port = 0;
    bool m_running = false;
    QString m_ssl;
    int m_databases = 0;
};

} // namespace TestSupport

#endif // PGSERVER_H
