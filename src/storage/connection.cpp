#include "storage/connection.h"

#include "function.h"

#include <QFileInfo>
#include <QSqlDriver>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <libpq-fe.h>

namespace Connection {

namespace {

// The answer of mayWrite() for the program's connection; empty while it
// may write.
QString &readOnlyNote()
{
    static QString note;
    return note;
}

// Opens the connection on its file. Opening succeeds on any file; the first
// read tells whether it is a database, and whether another program holds it
// locked. An empty file reads as a database without a single table.
bool openReadable(QSqlDatabase &db, QString *reason)
{
    if (!QFileInfo(db.databaseName()).isFile()) {
        *reason = QStringLiteral("файл не найден");
        return false;
    }
    if (!db.open()) {
        *reason = Function::describeError(db.lastError(), db.driverName());
        return false;
    }
    bool ok = false;
    {
        QSqlQuery probe = Function::Myquery(Sql::text(Sql::PROBE, db), db);
        const bool read = probe.isActive();
        ok = read && probe.next() && probe.value(0).toInt() > 0;
        if (!ok)
            *reason = read ? QStringLiteral("в файле нет ни одной таблицы")
                           : Function::describeError(probe.lastError(), db.driverName());
    }
    if (!ok)
        db.close();
    return ok;
}

} // namespace

bool open(const QString &file, QString *reason)
{
    readOnlyNote().clear();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(file);
    // A second copy of the program may be writing: wait for it a while
    // instead of failing at once.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    return openReadable(db, reason);
}

bool openAgain(const QString &file, QString *reason)
{
    readOnlyNote().clear();
    QSqlDatabase db = QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
    db.close();
    db.setDatabaseName(file);
    return openReadable(db, reason);
}

namespace {

// The password given at start, for the whole run of the program, and whose
// it is (user, database and server).
QString &rememberedPassword()
{
    static QString password;
    return password;
}

QString &rememberedFor()
{
    static QString who;
    return who;
}

QString who(const Paths::Server &server)
{
    return server.user + QLatin1Char('@') + describe(server);
}

// Whether the server asks for a password that libpq found nowhere (neither
// in ~/.pgpass nor in PGPASSWORD): libpq tells it, where Qt's driver has
// only the server's words.
bool serverWantsPassword(const Paths::Server &server)
{
    const QByteArray host = server.host.toUtf8();
    const QByteArray port = QByteArray::number(server.port);
    const QByteArray database = server.database.toUtf8();
    const QByteArray user = server.user.toUtf8();
    const char *keys[] = {"host", "port", "dbname", "user", "sslmode", "connect_timeout", nullptr};
    const char *values[] = {
        host.constData(), port.constData(), database.constData(), user.constData(), "prefer", "5", nullptr};
    PGconn *connection = PQconnectdbParams(keys, values, 0);
    const bool wants = PQstatus(connection) == CONNECTION_BAD && PQconnectionNeedsPassword(connection);
    PQfinish(connection);
    return wants;
}

} // namespace

bool mayWrite(const QSqlDatabase &db, QString *reason)
{
    if (!Sql::onServer(db))
        return true;
    QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::MAY_WRITE), db);
    if (!query.next() || query.value(1).toBool())
        return true;
    if (reason)
        *reason = QStringLiteral("Только просмотр: у пользователя «%1» нет права изменять базу данных")
                      .arg(query.value(0).toString());
    return false;
}

bool readOnly()
{
    return !readOnlyNote().isEmpty();
}

QString readOnlyReason()
{
    return readOnlyNote();
}

QString describe(const Paths::Server &server)
{
    return QStringLiteral("«%1» на сервере «%2:%3»")
        .arg(server.database, server.host.isEmpty() ? QStringLiteral("localhost") : server.host)
        .arg(server.port);
}

bool openServer(const Paths::Server &server, const QString &password, QString *reason, bool *needsPassword,
                const QString &name)
{
    *needsPassword = false;
    QSqlDatabase db = name.isEmpty() ? QSqlDatabase::addDatabase(QStringLiteral("QPSQL"))
                                     : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    if (!db.isValid()) {
        *reason = QStringLiteral("нет драйвера PostgreSQL для Qt (установите пакет libqt6sql6-psql)");
        return false;
    }
    db.setHostName(server.host);
    db.setPort(server.port);
    db.setDatabaseName(server.database);
    db.setUserName(server.user);
    if (!password.isEmpty())
        db.setPassword(password);
    // Encrypted where the server offers it. The values are put between single
    // quotes as typed, so a backslash must stay a backslash on every server.
    db.setConnectOptions(QStringLiteral("sslmode=prefer;connect_timeout=5;application_name=vedomer;"
                                        "options='-c standard_conforming_strings=on'"));
    if (!db.open()) {
        *reason = db.lastError().databaseText().trimmed();
        if (reason->isEmpty())
            *reason = db.lastError().text();
        *needsPassword = password.isEmpty() && serverWantsPassword(server);
        return false;
    }
    return true;
}

bool openChosenServer(const QString &name, QString *reason,
                      const std::function<bool(const Paths::Server &, QString *password)> &askPassword)
{
    const Paths::Server server = Paths::storedServer();
    bool needsPassword = false;
    const QString known = rememberedFor() == who(server) ? rememberedPassword() : QString();
    if (openServer(server, known, reason, &needsPassword, name))
        return true;
    if (!needsPassword || !askPassword)
        return false;
    QString password;
    if (!askPassword(server, &password) || password.isEmpty()) {
        *reason = QStringLiteral("пароль не введён");
        return false;
    }
    if (!openServer(server, password, reason, &needsPassword, name))
        return false;
    rememberedPassword() = password;
    rememberedFor() = who(server);
    return true;
}

bool openChosen(const std::function<bool(const Paths::Server &, QString *password)> &askPassword,
                QString *where, QString *reason)
{
    readOnlyNote().clear();
    if (Paths::serverChosen()) {
        *where = describe(Paths::storedServer());
        if (!openChosenServer(QString(), reason, askPassword))
            return false;
        // A database without tables is refused as an empty file is.
        QSqlDatabase db = QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
        QSqlQuery probe = Function::Myquery(Sql::text(Sql::PROBE, db), db);
        const bool read = probe.isActive();
        const bool ok = read && probe.next() && probe.value(0).toInt() > 0;
        if (!ok)
            *reason =
                read ? QStringLiteral("в базе данных нет ни одной таблицы (их создаёт запуск программы с "
                                      "параметром --ver)")
                     : Function::describeError(probe.lastError(), db.driverName());
        probe = QSqlQuery();
        if (!ok)
            db.close();
        else
            mayWrite(db, &readOnlyNote());
        return ok;
    }
    // Reading the settings also marks settings.ini hidden.
    const QString fileName = Paths::databaseFile();
    *where = QStringLiteral("«%1»").arg(QFileInfo(fileName).absoluteFilePath());
    return open(fileName, reason);
}

bool reopen(QString *reason)
{
    QSqlDatabase db = QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
    if (!QFileInfo(db.databaseName()).isFile()) {
        *reason = QStringLiteral("файл «%1» не найден").arg(QFileInfo(db.databaseName()).absoluteFilePath());
        return false;
    }
    if (!db.open()) {
        *reason = Function::describeError(db.lastError());
        return false;
    }
    return true;
}

} // namespace Connection
