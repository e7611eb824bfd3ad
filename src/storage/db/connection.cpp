#include "storage/db/connection.h"

#include "function.h"
#include "storage/db/errors.h"
#include "storage/setup/settings.h"
#include "storage/db/serverconnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDriver>

#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <libpq-fe.h>

#include <vector>

namespace Connection {

namespace {

Hooks &hooks()
{
    static Hooks given;
    return given;
}

void fileOpened(const QSqlDatabase &db)
{
    if (hooks().fileOpened)
        hooks().fileOpened(db);
}

// The answer of mayWrite() for the program's connection; empty while it
// may write.
QString &readOnlyNote()
{
    static QString note;
    return note;
}

// The tables and columns of the file as the program's connection last
// opened it.
QSet<QString> &columnsAtOpen()
{
    static QSet<QString> columns;
    return columns;
}

QSet<QString> readColumns(const QSqlDatabase &db)
{
    QSet<QString> columns;
    QSqlQuery query(db);
    const bool server = db.driverName() == QLatin1String("QPSQL");
    if (query.exec(QString::fromLatin1(server ? Sql::ALL_COLUMNS : Sql::SELECT_TABLE_COLUMNS))) {
        while (query.next())
            columns.insert(server ? query.value(0).toString() + QLatin1Char('.') +
                                        query.value(1).toString().toLower()
                                  : query.value(0).toString());
    }
    return columns;
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
        *reason = Errors::describe(db.lastError(), db.driverName());
        return false;
    }
    fileOpened(db);
    bool ok = false;
    {
        QSqlQuery probe = Function::Myquery(Sql::text(Sql::PROBE, db), db);
        const bool read = probe.isActive();
        ok = read && probe.next() && probe.value(0).toInt() > 0;
        if (!ok)
            *reason = read ? QStringLiteral("в файле нет ни одной таблицы")
                           : Errors::describe(probe.lastError(), db.driverName());
    }
    if (!ok)
        db.close();
    else
        columnsAtOpen() = readColumns(db);
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

QString readOnlyReasonFor(const QString &user)
{
    return QStringLiteral("Только просмотр: у пользователя «%1» нет права изменять базу данных").arg(user);
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
        *reason = readOnlyReasonFor(query.value(0).toString());
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

bool openChosen(const std::function<bool(const Settings::Server &, QString *password)> &askPassword,
                QString *where, QString *reason)
{
    readOnlyNote().clear();
    if (Settings::serverChosen()) {
        *where = describe(Settings::storedServer());
        if (!openChosenServer(QString(), reason, askPassword))
            return false;
        // A database without tables is refused as an empty file is. The
        // tables, the user's rights and the history are asked in one
        // statement: over a network each question costs a round trip.
        QSqlDatabase db = QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
        QSqlQuery probe = Function::Myquery(QString::fromLatin1(Sql::AT_CONNECTION), db);
        const bool read = probe.isActive();
        const bool ok = read && probe.next() && probe.value(0).toInt() > 0;
        if (!ok)
            *reason =
                read ? QStringLiteral("в базе данных нет ни одной таблицы (их создаёт запуск программы с "
                                      "параметром --ver владельцем базы или перенос на сервер базы из файла "
                                      "командой «Файл» → «Перенести базу на сервер»)")
                     : Errors::describe(probe.lastError(), db.driverName());
        const QString user = ok ? probe.value(1).toString() : QString();
        // An answer that is not there counts as may write, as in mayWrite().
        const bool writer = !ok || probe.value(2).isNull() || probe.value(2).toBool();
        const bool history = ok && !probe.value(3).isNull();
        // The tables and columns as "table.column" joined by a control
        // character: what a later refusal is compared with.
        const QStringList columns =
            ok ? probe.value(4).toString().split(QChar(1), Qt::SkipEmptyParts) : QStringList();
        probe = QSqlQuery();
        if (!ok) {
            db.close();
        } else {
            if (!writer)
                readOnlyNote() = readOnlyReasonFor(user);
            if (!history && hooks().historyMissing)
                hooks().historyMissing(db);
            columnsAtOpen() = QSet<QString>(columns.begin(), columns.end());
        }
        // A file is left as it is on opening: its history is made with its
        // first change, in that change's transaction.
        return ok;
    }
    // Reading the settings also marks settings.ini hidden.
    const QString fileName = Settings::databaseFile();
    *where = QStringLiteral("«%1»").arg(QFileInfo(fileName).absoluteFilePath());
    return open(fileName, reason);
}

pg_conn *serverHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    // The driver names the type by the struct's own name.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(handle.constData());
}

sqlite3 *fileHandle(const QSqlDatabase &db)
{
    if (db.driverName() != QLatin1String("QSQLITE") || !db.driver())
        return nullptr;
    // Qt's SQLite driver hands out its handle of the library the program is
    // linked with (the system's SQLite).
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

bool unencrypted(const QSqlDatabase &db)
{
    PGconn *handle = db.isOpen() ? serverHandle(db) : nullptr;
    return handle && PQstatus(handle) == CONNECTION_OK && !PQsslInUse(handle);
}

bool reopen(QString *reason)
{
    QSqlDatabase db = QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
    if (!QFileInfo(db.databaseName()).isFile()) {
        *reason = QStringLiteral("файл «%1» не найден").arg(QFileInfo(db.databaseName()).absoluteFilePath());
        return false;
    }
    if (!db.open()) {
        *reason = Errors::describe(db.lastError());
        return false;
    }
    fileOpened(db);
    columnsAtOpen() = readColumns(db);
    return true;
}

void setHooks(const Hooks &given)
{
    hooks() = given;
}

bool tablesChangedSinceOpen()
{
    // The program's connection belongs to the window's thread.
    if (!QCoreApplication::instance() || QThread::currentThread() != QCoreApplication::instance()->thread())
        return false;
    const QSqlDatabase db =
        QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
    if (!db.isOpen() || columnsAtOpen().isEmpty())
        return false;
    const QSet<QString> now = readColumns(db);
    return !now.isEmpty() && !now.contains(columnsAtOpen());
}

} // namespace Connection
