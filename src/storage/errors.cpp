// Refused statements explained in plain Russian, by the database's own result
// code rather than by the words of its message.

#include "function.h"

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
    SQLITE_TOOBIG = 18,
    SQLITE_CONSTRAINT = 19,
    SQLITE_AUTH = 23,
    SQLITE_NOTADB = 26,
};
// Extended codes of SQLITE_CONSTRAINT.
constexpr int SQLITE_CONSTRAINT_PRIMARYKEY = SQLITE_CONSTRAINT | (6 << 8);
constexpr int SQLITE_CONSTRAINT_UNIQUE = SQLITE_CONSTRAINT | (8 << 8);

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
        // The program's statements are its own; one that SQLite cannot run
        // names a table or column the database lacks.
        return QStringLiteral("в базе данных нет нужной таблицы или столбца (запустите программу с "
                              "параметром --ver)");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("файл базы данных повреждён");
    case SQLITE_IOERR:
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

QString Function::describeError(const QSqlError &error)
{
    const QString reason = reasonOf(error);
    const QString text = (error.databaseText().isEmpty() ? error.text() : error.databaseText()).trimmed();
    return text.isEmpty() ? reason : reason + QStringLiteral(" (") + text + QLatin1Char(')');
}
