// The connection to a PostgreSQL server: libpq's parameters, the probes
// that tell a refused encryption or a missing password apart, and the
// password given at start.

#include "storage/db/serverconnection.h"

#include "storage/db/connection.h"
#include "function.h"
#include "storage/db/errors.h"
#include "storage/setup/settings.h"
#include "storage/db/errorlog.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDriver>

#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QThread>
#include <libpq-fe.h>

#include <vector>

namespace Connection {

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

QString who(const Settings::Server &server)
{
    return server.user + QLatin1Char('@') + describe(server);
}

// libpq's parameters of a connection to the server, without a password:
// the one Qt's driver makes and the probes below.
struct Parameters
{
    QList<QByteArray> keys;
    QList<QByteArray> values;
    void add(const char *key, const QString &value)
    {
        keys << QByteArray(key);
        values << value.toUtf8();
    }
    // libpq's lists of keys and of values, each ended by a null, pointing
    // into these.
    std::pair<std::vector<const char *>, std::vector<const char *>> arrays() const
    {
        std::vector<const char *> k, v;
        for (int i = 0; i < keys.size(); ++i) {
            k.push_back(keys[i].constData());
            v.push_back(values[i].constData());
        }
        k.push_back(nullptr);
        v.push_back(nullptr);
        return {k, v};
    }
};

// The keep-alives and timeouts that give up a server that stops answering
// within about ten seconds: the connection's making, a connection that
// waits for an answer (keep-alives), and data sent but never acknowledged.
constexpr int CONNECT_TIMEOUT_S = 5;
const char *const TIMEOUTS[][2] = {{"connect_timeout", "5"}, {"keepalives", "1"},  {"keepalives_idle", "5"},
                                   {"keepalives_interval", "2"}, {"keepalives_count", "3"},
                                   {"tcp_user_timeout", "10000"}};

// No encryption by Kerberos: libpq would otherwise spend a round trip on
// asking the server for it whenever the user holds a Kerberos ticket, and a
// connection so encrypted would pass for an unencrypted one (the program's
// encryption is the one of the settings, by TLS).
const char GSS_ENCRYPTION[] = "disable";

// For the certificate authority's file in the settings: a file name that
// libpq cannot take (Qt's driver parts its options at ';').
bool usableCaFile(const QString &file)
{
    return !file.contains(QLatin1Char(';'));
}

Parameters parameters(const Settings::Server &server, const QString &sslMode)
{
    Parameters p;
    p.add("host", server.host);
    p.add("port", QString::number(server.port));
    p.add("dbname", server.database);
    p.add("user", server.user);
    p.add("sslmode", sslMode);
    p.add("gssencmode", QString::fromLatin1(GSS_ENCRYPTION));
    if (sslMode == QLatin1String("verify-full"))
        p.add("sslrootcert", server.caFile);
    for (const auto &timeout : TIMEOUTS)
        p.add(timeout[0], QString::fromLatin1(timeout[1]));
    return p;
}

// Connects with libpq itself, where Qt's driver tells only the server's
// words: the connection as the driver makes it, or with another sslmode.
// `withoutPassword` keeps the password back (~/.pgpass is not read, and
// the program's own is not given): a probe of a server whose certificate is
// in doubt must not be given one.
PGconn *probe(const Settings::Server &server, const QString &sslMode, bool withoutPassword)
{
    Parameters p = parameters(server, sslMode);
    if (withoutPassword) {
        const QString nowhere = QDir(QDir::tempPath()).filePath(QStringLiteral("vedomer-no-such-file"));
        p.add("passfile", nowhere);
        // "require" checks the server's certificate after all when a root
        // certificate file is found; the probe wants the encryption alone.
        if (sslMode != QLatin1String("verify-full"))
            p.add("sslrootcert", nowhere);
    }
    const auto [keys, values] = p.arrays();
    return PQconnectdbParams(keys.data(), values.data(), 0);
}

// Whether the server asks for a password that libpq found nowhere (neither
// in ~/.pgpass nor in PGPASSWORD): libpq tells it, where Qt's driver has
// only the server's words.
bool serverWantsPassword(const Settings::Server &server)
{
    PGconn *connection = probe(server, Settings::sslMode(server.encryption), false);
    const bool wants = PQstatus(connection) == CONNECTION_BAD && PQconnectionNeedsPassword(connection);
    PQfinish(connection);
    return wants;
}

// Whether the server at the settings' address answers at all, by libpq's
// ping: any answer of the server, even a refusal, counts; no password is
// given.
bool answers(const Settings::Server &server)
{
    Parameters p = parameters(server, QStringLiteral("prefer"));
    const QString nowhere = QDir(QDir::tempPath()).filePath(QStringLiteral("vedomer-no-such-file"));
    p.add("passfile", nowhere);
    p.add("sslrootcert", nowhere);
    const auto [keys, values] = p.arrays();
    return PQpingParams(keys.data(), values.data(), 0) != PQPING_NO_RESPONSE;
}

// Why a server that does not answer was not connected to, and what to look
// at.
QString noAnswer(const QString &words)
{
    // libpq's own words (English) are kept in the log for support.
    Query::appendLog(words + QLatin1Char('\n'));
    return QStringLiteral("сервер не отвечает (он не запущен, нет связи по сети или в окне «Настройки» указаны "
                          "не тот адрес или порт сервера)");
}

// Whether a connection with `sslMode` gets as far as the server's asking
// for a password (or needs none): the encryption, and the server's
// certificate where it is checked, were accepted.
bool gotPastEncryption(const Settings::Server &server, const QString &sslMode)
{
    PGconn *connection = probe(server, sslMode, true);
    const bool past = PQstatus(connection) == CONNECTION_OK || PQconnectionNeedsPassword(connection);
    PQfinish(connection);
    return past;
}

// Why a connection that demands encryption was refused, when the
// encryption is the cause; empty otherwise. The reason is found by trying
// again without a password: a connection that gets through without the
// certificate's check (or without encryption) where the demanded one does
// not was refused for it. No words of libpq's message are read.
QString encryptionRefusal(const Settings::Server &server)
{
    if (server.encryption == Settings::Encryption::Prefer ||
        gotPastEncryption(server, Settings::sslMode(server.encryption)))
        return QString();
    if (server.encryption == Settings::Encryption::VerifyFull &&
        gotPastEncryption(server, QStringLiteral("require")))
        return QStringLiteral("сертификат сервера не удалось подтвердить: он не подписан центром сертификации "
                              "из файла «%1» или выдан не на имя «%2». Соединение не установлено, чтобы не "
                              "передавать данные чужому серверу; проверьте файл центра сертификации и имя "
                              "сервера в настройках")
            .arg(QDir::toNativeSeparators(server.caFile), server.host);
    if (gotPastEncryption(server, QStringLiteral("disable")))
        return QStringLiteral("сервер не шифрует соединения, а в настройках шифрование обязательно (включите "
                              "шифрование на сервере или выберите «если сервер поддерживает»)");
    return QString();
}
} // namespace

QString describe(const Settings::Server &server)
{
    return QStringLiteral("«%1» на сервере «%2:%3»")
        .arg(server.database, server.host.isEmpty() ? QStringLiteral("localhost") : server.host)
        .arg(server.port);
}

bool openServer(const Settings::Server &server, const QString &password, QString *reason, bool *needsPassword,
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
    const bool verify = server.encryption == Settings::Encryption::VerifyFull;
    if (verify && server.caFile.isEmpty()) {
        *reason = QStringLiteral("в настройках не выбран файл центра сертификации, которым проверяется "
                                 "сертификат сервера");
        return false;
    }
    if (verify && (!QFileInfo(server.caFile).isFile() || !usableCaFile(server.caFile))) {
        *reason = QStringLiteral("файл центра сертификации «%1» не найден")
                      .arg(QDir::toNativeSeparators(server.caFile));
        return false;
    }
    // The encryption the settings ask for, and the timeouts. The values are
    // put between single quotes as typed, so a backslash must stay a
    // backslash on every server.
    QStringList options{QStringLiteral("sslmode=") + Settings::sslMode(server.encryption),
                        QStringLiteral("gssencmode=") + QString::fromLatin1(GSS_ENCRYPTION)};
    if (verify) {
        QString file = server.caFile;
        file.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
        options << QStringLiteral("sslrootcert='%1'").arg(file);
    }
    for (const auto &timeout : TIMEOUTS)
        options << QString::fromLatin1(timeout[0]) + QLatin1Char('=') + QString::fromLatin1(timeout[1]);
    // The workstation's name goes with every statement: the server's history
    // of changes records it beside the role, as a file's entries name it.
    QString workstation = QSysInfo::machineHostName();
    if (workstation.isEmpty())
        workstation = QStringLiteral("vedomer");
    workstation.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('\''), QStringLiteral("\\'"));
    options << QStringLiteral("application_name='%1'").arg(workstation)
            << QStringLiteral("options='-c standard_conforming_strings=on'");
    db.setConnectOptions(options.join(QLatin1Char(';')));
    QElapsedTimer clock;
    clock.start();
    if (!db.open()) {
        *reason = db.lastError().databaseText().trimmed();
        if (reason->isEmpty())
            *reason = db.lastError().text();
        // A server that did not answer within the connection's timeout is
        // not asked again: each question would wait as long.
        if (clock.elapsed() >= CONNECT_TIMEOUT_S * 1000 - 500 || !answers(server)) {
            *reason = noAnswer(*reason);
            return false;
        }
        *needsPassword = password.isEmpty() && serverWantsPassword(server);
        if (!*needsPassword) {
            const QString refusal = encryptionRefusal(server);
            if (!refusal.isEmpty())
                *reason = refusal;
        }
        return false;
    }
    return true;
}

bool openChosenServer(const QString &name, QString *reason,
                      const std::function<bool(const Settings::Server &, QString *password)> &askPassword)
{
    const Settings::Server server = Settings::storedServer();
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

} // namespace Connection
