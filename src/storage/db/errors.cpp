// Refused statements explained in plain Russian, by the database's own result
// code rather than by the words of its message: SQLite's result codes for an
// SQLite file, PostgreSQL's SQLSTATE for a server.

#include "storage/db/errors.h"
#include "storage/db/connection.h"
#include "storage/setup/paths.h"

#include <QSqlDatabase>
#include <QSqlError>

namespace {

// SQLite's primary result codes (the low byte of an extended code).
enum SqliteCode {
    SQLITE_ERROR = 1,
    SQLITE_PERM = 3,
    SQLITE_BUSY = 5,
    SQLITE_LOCKED = 6,
    SQLITE_NOMEM = 7,
    SQLITE_READONLY = 8,
    SQLITE_IOERR = 10,
    SQLITE_CORRUPT = 11,
    SQLITE_FULL = 13,
    SQLITE_CANTOPEN = 14,
    SQLITE_SCHEMA = 17,
    SQLITE_TOOBIG = 18,
    SQLITE_CONSTRAINT = 19,
    SQLITE_AUTH = 23,
    SQLITE_NOTADB = 26,
};
// Extended codes of SQLITE_CONSTRAINT.
constexpr int SQLITE_CONSTRAINT_PRIMARYKEY = SQLITE_CONSTRAINT | (6 << 8);
constexpr int SQLITE_CONSTRAINT_UNIQUE = SQLITE_CONSTRAINT | (8 << 8);
// Extended codes of SQLITE_IOERR for a write, a sync, a truncation or an
// unlink the disk refused.
constexpr int SQLITE_IOERR_WRITE = SQLITE_IOERR | (3 << 8);
constexpr int SQLITE_IOERR_FSYNC = SQLITE_IOERR | (4 << 8);
constexpr int SQLITE_IOERR_DIR_FSYNC = SQLITE_IOERR | (5 << 8);
constexpr int SQLITE_IOERR_TRUNCATE = SQLITE_IOERR | (6 << 8);
constexpr int SQLITE_IOERR_DELETE = SQLITE_IOERR | (10 << 8);

bool writeRefused(int code)
{
    return code == SQLITE_IOERR_WRITE || code == SQLITE_IOERR_FSYNC || code == SQLITE_IOERR_DIR_FSYNC ||
           code == SQLITE_IOERR_TRUNCATE || code == SQLITE_IOERR_DELETE;
}

const char NO_TABLE[] = "в базе данных нет нужной таблицы или столбца (запустите программу с параметром --ver)";

// The same for the program's SQLite file. "--ver" works on data/BaseDate.db
// alone: for a database kept in another folder it is no help.
QString noTableInFile()
{
    const QSqlDatabase db =
        QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
    if (!db.isValid() || db.databaseName().isEmpty() || Paths::isVerifiedDatabase(db.databaseName()))
        return QString::fromUtf8(NO_TABLE);
    return QStringLiteral("в базе данных нет нужной таблицы или столбца (восстановите базу из резервной копии "
                          "или выберите в настройках папку с исправной базой данных)");
}

// A statement naming a table or column that the register had when the
// program opened it and has no more: a verification (or another program)
// changed the tables under this copy, which reads them afresh only when it
// starts again.
const char CHANGED_WHILE_OPEN[] = "таблицы базы данных изменены, пока программа была открыта (проверкой "
                                  "таблиц --ver в другой копии Ведомера "
                                  "или другой программой); закройте эту программу и запустите её снова";

// PostgreSQL's SQLSTATE: two characters of class, three of condition.
QString serverReasonOf(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    const QString cls = code.left(2);
    // The program's own codes for a connection that broke inside a
    // transaction (the server undid it), and at its COMMIT.
    if (code == QLatin1String("08003"))
        return QStringLiteral("связь с сервером базы данных прервалась посреди записи, из неё ничего не "
                              "сохранено; повторите действие");
    if (code == QLatin1String("08007"))
        return QStringLiteral("связь с сервером базы данных прервалась при сохранении, и неизвестно, "
                              "сохранено ли; обновите таблицы и проверьте");
    // And for a server that stopped answering: the watchdog broke the
    // connection after a while without an answer.
    if (code == QLatin1String("08V00"))
        return QStringLiteral("сервер базы данных не отвечает, связь с ним прервана; проверьте сеть и "
                              "повторите действие");
    if (code == QLatin1String("08V03"))
        return QStringLiteral("сервер базы данных не отвечает, связь с ним прервана посреди записи, из неё "
                              "ничего не сохранено; проверьте сеть и повторите действие");
    if (code == QLatin1String("08V07"))
        return QStringLiteral("сервер базы данных не отвечает, связь с ним прервана при сохранении, и "
                              "неизвестно, сохранено ли; когда связь восстановится, обновите таблицы и "
                              "проверьте");
    if (code.isEmpty() || cls == QLatin1String("08") || code.startsWith(QLatin1String("57P")))
        return QStringLiteral("нет связи с сервером базы данных");
    if (code == QLatin1String("23P01"))
        // The personal number is kept unique by the register's one exclusion
        // constraint (a hash index takes a text of any length).
        return QStringLiteral("военнослужащий с таким личным номером уже есть");
    if (code == QLatin1String("23505"))
        return QStringLiteral("такая запись уже есть");
    if (cls == QLatin1String("23"))
        return QStringLiteral("запись нарушает правило базы данных");
    if (code == QLatin1String("42501")) {
        // The server refused for lack of a right (a viewer who may only
        // read, a table not granted): the user named, so that the
        // administrator knows whose rights to look at.
        const QSqlDatabase db =
            QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
        const QString user = db.driverName() == QLatin1String("QPSQL") ? db.userName() : QString();
        return QStringLiteral("у пользователя базы данных %1нет прав на это действие (права пользователей "
                              "даёт администратор сервера)")
            .arg(user.isEmpty() ? QString() : QStringLiteral("«%1» ").arg(user));
    }
    if (code == QLatin1String("25006"))
        return QStringLiteral("база данных открыта только для чтения");
    if (code == QLatin1String("42P01") || code == QLatin1String("42703"))
        return Connection::tablesChangedSinceOpen() ? QString::fromUtf8(CHANGED_WHILE_OPEN)
                                                    : QString::fromUtf8(NO_TABLE);
    if (code == QLatin1String("40001") || code == QLatin1String("40P01"))
        return QStringLiteral("те же записи одновременно изменил другой пользователь; повторите действие");
    if (code == QLatin1String("55P03"))
        return QStringLiteral("записи заняты другим пользователем; повторите действие");
    if (code == QLatin1String("53100"))
        return QStringLiteral("на сервере базы данных нет места");
    if (code == QLatin1String("53200"))
        return QStringLiteral("серверу базы данных не хватило памяти");
    if (code == QLatin1String("53300"))
        return QStringLiteral("к серверу подключено слишком много пользователей");
    // A text holding a NUL, refused by the server or before it was sent.
    if (code == QLatin1String("22021"))
        return QStringLiteral("в тексте есть нулевой символ, его нельзя сохранить; уберите его");
    // The program's own: a text with a backslash not sent to a server that
    // would take it as an escape.
    if (code == QLatin1String("22V01"))
        return QStringLiteral("сервер базы данных читает обратную косую черту «\\» в тексте как особый знак "
                              "(standard_conforming_strings выключен), и текст с ней не отправлен; "
                              "администратор сервера включает standard_conforming_strings");
    if (code == QLatin1String("54000") || code == QLatin1String("22001"))
        return QStringLiteral("текст слишком длинный для базы данных");
    if (cls == QLatin1String("22"))
        return QStringLiteral("значение не подходит для столбца базы данных");
    if (cls == QLatin1String("28"))
        return QStringLiteral("неверное имя пользователя или пароль");
    if (code == QLatin1String("3D000"))
        return QStringLiteral("на сервере нет такой базы данных");
    return QStringLiteral("база данных отказала");
}

QString reasonOf(const QSqlError &error)
{
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric);
    if (!numeric) {
        // No code from the database: the driver itself refused, as on a
        // connection that is not open.
        return error.type() == QSqlError::NoError ? QStringLiteral("база данных отказала")
                                                   : QStringLiteral("база данных недоступна");
    }
    if (code == SQLITE_CONSTRAINT_UNIQUE) {
        // Combat.LN is the one UNIQUE column of the register.
        return QStringLiteral("военнослужащий с таким личным номером уже есть");
    }
    switch (code & 0xff) {
    case SQLITE_CONSTRAINT:
        return code == SQLITE_CONSTRAINT_PRIMARYKEY || code == SQLITE_CONSTRAINT
                   ? QStringLiteral("такая запись уже есть")
                   : QStringLiteral("запись нарушает правило базы данных");
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("база данных открыта только для чтения");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("база данных занята другой программой");
    case SQLITE_FULL:
        return QStringLiteral("на диске нет места");
    case SQLITE_ERROR:
    case SQLITE_SCHEMA:
        // The program's statements are its own; one that SQLite cannot run
        // names a table or column the database lacks. When the program had
        // them at its start, they went while it was open: only a new start
        // reads the tables afresh.
        if (Connection::tablesChangedSinceOpen())
            return QString::fromUtf8(CHANGED_WHILE_OPEN);
        return noTableInFile();
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("файл базы данных повреждён");
    case SQLITE_IOERR:
        // A write the disk refused is the disk's fault, not the database's.
        if (writeRefused(code))
            return QStringLiteral("диск не дал записать файл (ошибка записи)");
        return QStringLiteral("база данных недоступна");
    case SQLITE_CANTOPEN:
        return QStringLiteral("база данных недоступна");
    case SQLITE_NOMEM:
        return QStringLiteral("не хватило памяти");
    case SQLITE_TOOBIG:
        return QStringLiteral("текст слишком длинный для базы данных");
    default:
        return QStringLiteral("база данных отказала");
    }
}

} // namespace

QString Errors::describe(const QSqlError &error)
{
    return describe(
        error, QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false).driverName());
}

bool Errors::isConflict(const QSqlError &error, const QString &driverName)
{
    // SQLite's writers wait for each other (BEGIN IMMEDIATE, the busy
    // timeout) and never meet such a failure.
    const QString code = error.nativeErrorCode();
    return driverName == QLatin1String("QPSQL") &&
           (code == QLatin1String("40001") || code == QLatin1String("40P01"));
}

QString Errors::describe(const QSqlError &error, const QString &driverName)
{
    return driverName == QLatin1String("QPSQL") ? serverReasonOf(error) : reasonOf(error);
}

bool Errors::isBusy(const QSqlError &error, const QString &driverName)
{
    if (driverName == QLatin1String("QPSQL"))
        return error.nativeErrorCode() == QLatin1String("55P03");
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric);
    return numeric && ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED);
}

bool Errors::isOutcomeUnknown(const QSqlError &error)
{
    // The program's own codes, given only to a server's writes (an SQLite
    // file's codes are numbers).
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("08007") || code == QLatin1String("08V07");
}

QString Errors::unknownOutcomeReason(const QSqlError &error)
{
    if (error.nativeErrorCode() == QLatin1String("08V07"))
        return QStringLiteral("сервер базы данных перестал отвечать во время сохранения и мог успеть его "
                              "закончить, связь с ним прервана; когда связь восстановится, обновите таблицы и "
                              "проверьте");
    return QStringLiteral("связь с сервером базы данных прервалась во время сохранения, и сервер мог успеть его "
                          "закончить; обновите таблицы и проверьте");
}

QString Errors::databaseWords(const QSqlError &error)
{
    return (error.databaseText().isEmpty() ? error.text() : error.databaseText()).trimmed();
}

bool Errors::isTakenPersonalNumber(const QSqlError &error)
{
    const QString driver =
        QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false).driverName();
    if (driver == QLatin1String("QPSQL"))
        return error.nativeErrorCode() == QLatin1String("23P01");
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric);
    return numeric && code == SQLITE_CONSTRAINT_UNIQUE;
}

bool Errors::isDiskWriteFault(const QSqlError &error)
{
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric);
    return numeric && ((code & 0xff) == SQLITE_FULL || writeRefused(code));
}
