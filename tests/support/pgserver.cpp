#include "pgserver.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>

#include <pwd.h>
#include <unistd.h>

namespace TestSupport {

namespace {
const char ADMIN_PASSWORD[] = "admin-secret";
const char PASSWORDS[] = "127.0.0.1:%1:*:clerk:clerk-secret\n127.0.0.1:%1:*:reader:reader-secret\n";
} // namespace

PgServer::PgServer()
{
    const QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &v : versions) {
        if (QFile::exists(QStringLiteral("/usr/lib/postgresql/%1/bin/initdb").arg(v)))
            m_bin = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(v);
    }
    m_missing = QStringLiteral("no PostgreSQL server here: install the Debian packages postgresql and "
                               "libqt6sql6-psql (./dev installs them)");
    if (m_bin.isEmpty() || !QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")) || !m_dir.isValid())
        return;
    // PostgreSQL refuses to run as root: the cluster belongs to "nobody".
    if (geteuid() == 0) {
        const passwd *nobody = getpwnam("nobody");
        if (!nobody || chown(qPrintable(m_dir.path()), nobody->pw_uid, nobody->pw_gid) != 0)
            return;
    }
    QFile pw(m_dir.filePath(QStringLiteral("pw")));
    if (!pw.open(QIODevice::WriteOnly) || pw.write(ADMIN_PASSWORD) < 0)
        return;
    pw.close();
    pw.setPermissions(QFile::ReadOwner | QFile::ReadOther);
    QProcess init;
    QStringList args{QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-U"),
                     QStringLiteral("admin"), QStringLiteral("--auth-local=trust"),
                     QStringLiteral("--auth-host=scram-sha-256"), QStringLiteral("--pwfile=") + pw.fileName(),
                     QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8")};
    if (geteuid() == 0)
        init.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"), m_bin + QStringLiteral("initdb")} + args);
    else
        init.start(m_bin + QStringLiteral("initdb"), args);
    if (!init.waitForFinished(120000) || init.exitCode() != 0) {
        m_missing = QStringLiteral("initdb failed: ") + QString::fromLocal8Bit(init.readAllStandardError());
        return;
    }
    // A free port, taken from the system; another test may take it first, so
    // a failed start tries another.
    for (int attempt = 0; attempt < 3 && !m_running; ++attempt) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        m_port = probe.serverPort();
        probe.close();
        m_running = start();
    }
    if (!m_running)
        return;
    QFile passwords(m_dir.filePath(QStringLiteral("pgpass")));
    passwords.open(QIODevice::WriteOnly);
    passwords.write(QString::fromLatin1(PASSWORDS).arg(m_port).toUtf8());
    passwords.close();
    passwords.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    qputenv("PGPASSFILE", passwords.fileName().toLocal8Bit());
    m_running = admin(QStringLiteral("CREATE ROLE clerk LOGIN PASSWORD 'clerk-secret'")) &&
                admin(QStringLiteral("CREATE ROLE reader LOGIN PASSWORD 'reader-secret'"));
}

void PgServer::allowPort(int port) const
{
    QFile passwords(m_dir.filePath(QStringLiteral("pgpass")));
    if (passwords.open(QIODevice::Append))
        passwords.write(QString::fromLatin1(PASSWORDS).arg(port).toUtf8());
}

PgServer::~PgServer()
{
    if (m_running)
        stop();
    QSqlDatabase::removeDatabase(QStringLiteral("pgserver-admin"));
}

bool PgServer::ctl(const QStringList &arguments)
{
    QProcess p;
    const QStringList args = QStringList{QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")),
                                         QStringLiteral("-l"), m_dir.filePath(QStringLiteral("log")), QStringLiteral("-w")} +
                             arguments;
    if (geteuid() == 0)
        p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"), m_bin + QStringLiteral("pg_ctl")} + args);
    else
        p.start(m_bin + QStringLiteral("pg_ctl"), args);
    return p.waitForFinished(60000) && p.exitCode() == 0;
}

bool PgServer::start()
{
    m_running = ctl({QStringLiteral("-o"),
                     QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off").arg(m_port).arg(m_dir.path()) + m_ssl,
                     QStringLiteral("start")});
    return m_running;
}

bool PgServer::stop()
{
    m_running = false;
    return ctl({QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("stop")});
}

bool PgServer::admin(const QString &sql, const QString &database)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("pgserver-admin"));
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(m_port);
        db.setDatabaseName(database);
        db.setUserName(QStringLiteral("admin"));
        db.setPassword(QString::fromLatin1(ADMIN_PASSWORD));
        QSqlQuery q(db);
        ok = db.open() && q.exec(sql);
        if (!ok)
            qWarning("server statement failed: %s: %s", qPrintable(sql), qPrintable(db.isOpen() ? q.lastError().text() : db.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pgserver-admin"));
    return ok;
}

QString PgServer::createDatabase()
{
    const QString name = QStringLiteral("vedomer_%1").arg(++m_databases);
    if (!admin(QStringLiteral("CREATE DATABASE %1 OWNER clerk").arg(name)) ||
        !admin(QStringLiteral("GRANT CONNECT ON DATABASE %1 TO reader").arg(name)) ||
        !admin(QStringLiteral("ALTER DEFAULT PRIVILEGES FOR ROLE clerk IN SCHEMA public GRANT SELECT ON TABLES TO reader"), name))
        return QString();
    return name;
}

bool PgServer::useSsl(const QString &certificate, const QString &key)
{
    stop();
    m_ssl.clear();
    if (!certificate.isEmpty()) {
        // The key is read by the cluster's user alone, as the server demands.
        const QString crt = m_dir.filePath(QStringLiteral("server.crt"));
        const QString pem = m_dir.filePath(QStringLiteral("server.key"));
        QFile::remove(crt);
        QFile::remove(pem);
        if (!QFile::copy(certificate, crt) || !QFile::copy(key, pem) ||
            !QFile::setPermissions(pem, QFile::ReadOwner | QFile::WriteOwner))
            return false;
        if (geteuid() == 0) {
            const passwd *nobody = getpwnam("nobody");
            for (const QString &file : {crt, pem})
                if (!nobody || chown(qPrintable(file), nobody->pw_uid, nobody->pw_gid) != 0)
                    return false;
        }
        m_ssl = QStringLiteral(" -c ssl=on -c ssl_cert_file=%1 -c ssl_key_file=%2").arg(crt, pem);
    }
    return start();
}

void PgServer::pointSettingsAt(const QString &database, const QString &user, int port) const
{
    QSettings s(QStringLiteral("settings.ini"), QSettings::IniFormat);
    s.setValue(QStringLiteral("Database/kind"), QStringLiteral("postgresql"));
    s.setValue(QStringLiteral("Database/host"), QStringLiteral("127.0.0.1"));
    s.setValue(QStringLiteral("Database/port"), QString::number(port ? port : m_port));
    s.setValue(QStringLiteral("Database/name"), database);
    s.setValue(QStringLiteral("Database/user"), user);
}

bool PgServer::runScript(const QString &file, const QString &database)
{
    QProcess psql;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), QString::fromLatin1(ADMIN_PASSWORD));
    psql.setProcessEnvironment(env);
    psql.start(m_bin + QStringLiteral("psql"),
               {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-U"), QStringLiteral("admin"),
                QStringLiteral("-d"), database, QStringLiteral("-f"), file});
    const bool ok = psql.waitForFinished(60000) && psql.exitCode() == 0;
    if (!ok)
        qWarning("psql failed: %s", psql.readAllStandardError().constData());
    return ok;
}

bool PgServer::createUser(const QString &name, const QString &group)
{
    QFile passwords(QString::fromLocal8Bit(qgetenv("PGPASSFILE")));
    return admin(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%1-secret' IN ROLE %2").arg(name, group)) &&
           passwords.open(QIODevice::Append) &&
           passwords.write(QStringLiteral("127.0.0.1:%1:*:%2:%2-secret\n").arg(m_port).arg(name).toUtf8()) > 0;
}

QSqlDatabase PgServer::connect(const QString &name, const QString &database, const QString &user) const
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(QStringLiteral("127.0.0.1"));
    db.setPort(m_port);
    db.setDatabaseName(database);
    db.setUserName(user);
    db.open();
    return db;
}

} // namespace TestSupport
