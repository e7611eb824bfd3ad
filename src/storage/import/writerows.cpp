#include "storage/import/writerows.h"

#include "function.h"
#include "storage/db/connection.h"
#include "storage/db/errorlog.h"
#include "storage/db/query.h"

#include <QSqlDatabase>
#include <QStringList>

#include <utility>

#include <sqlite3.h>

namespace Import::Detail {

namespace {

// The program's connection as the writers use it: never opened again here,
// so that a connection lost inside the import's transaction fails the rest
// of it rather than carrying it on in a new session outside it.
QSqlDatabase program()
{
    return QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
}

} // namespace

Batch::Batch(const char *statement, const char *row, int width)
    : m_statement(QString::fromLatin1(statement))
    , m_row(QString::fromLatin1(row))
    , m_width(width)
{
}

Batch::~Batch()
{
    for (const auto &statement : m_direct)
        sqlite3_finalize(statement.second);
}

bool Batch::flush(QSqlError &error)
{
    const int rows = static_cast<int>(m_values.size()) / m_width;
    if (rows == 0)
        return true;
    if (sqlite3 *file = Connection::fileHandle(program()))
        return flushDirect(file, rows, error);
    auto found = m_prepared.find(rows);
    if (found == m_prepared.end()) {
        QSqlQuery query(program());
        const QString sql = m_statement.arg(QStringList(rows, m_row).join(QStringLiteral(", ")));
        if (!query.prepare(sql)) {
            error = query.lastError();
            log(sql, error);
            return false;
        }
        found = m_prepared.emplace(rows, std::move(query)).first;
    }
    QSqlQuery &query = found->second;
    for (int i = 0; i < m_values.size(); ++i)
        query.bindValue(i, m_values.at(i));
    m_values.clear();
    if (!query.exec()) {
        error = query.lastError();
        log(query.lastQuery(), error);
        return false;
    }
    return true;
}

void Batch::log(const QString &sql, const QSqlError &error)
{
    Query::appendLog(error.text() + QStringLiteral("В запросе содержится ошибка.") + sql + QStringLiteral(" Запрос"));
}

// On a file the values go to SQLite as they are, the texts without a copy:
// the driver's binding of each value costs more than the insert itself
// (twice the plain insert's time for 200,000 orders). The values are bound
// as the driver binds them: a null text or an empty value as NULL, a number
// as an integer, a text as UTF-16.
bool Batch::flushDirect(sqlite3 *file, int rows, QSqlError &error)
{
    sqlite3_stmt *&statement = m_direct[rows];
    const QString sql = m_statement.arg(QStringList(rows, m_row).join(QStringLiteral(", ")));
    if (!statement && sqlite3_prepare16_v2(file, sql.utf16(), -1, &statement, nullptr) != SQLITE_OK)
        return failed(file, sql, error);
    int code = SQLITE_OK;
    for (int i = 0; i < m_values.size() && code == SQLITE_OK; ++i) {
        const QVariant &value = m_values.at(i);
        if (value.typeId() == QMetaType::Int) {
            code = sqlite3_bind_int(statement, i + 1, value.toInt());
        } else if (value.typeId() == QMetaType::QString && !value.isNull()) {
            const QString &text = *static_cast<const QString *>(value.constData());
            code = text.isNull() ? sqlite3_bind_null(statement, i + 1)
                                 : sqlite3_bind_text16(statement, i + 1, text.utf16(),
                                                       static_cast<int>(text.size() * 2), SQLITE_STATIC);
        } else {
            code = sqlite3_bind_null(statement, i + 1);
        }
    }
    if (code == SQLITE_OK)
        code = sqlite3_step(statement) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
    if (code != SQLITE_OK) {
        failed(file, sql, error);
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        m_values.clear();
        return false;
    }
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    m_values.clear();
    return true;
}

bool Batch::failed(sqlite3 *file, const QString &sql, QSqlError &error)
{
    error = QSqlError(QStringLiteral("Unable to fetch row"), QString::fromUtf8(sqlite3_errmsg(file)),
                      QSqlError::StatementError, QString::number(sqlite3_extended_errcode(file)));
    log(sql, error);
    return false;
}

bool CopyBatch::flush(QSqlError &error)
{
    if (m_rows.size() == 0)
        return true;
    const QSqlQuery query = Query::copy(m_statement, m_rows, program());
    m_rows.clear();
    if (!query.isActive()) {
        error = query.lastError();
        return false;
    }
    return true;
}

bool copyInChunks(const char *statement, const std::function<void(Query::CopyRows &)> &fill, Writing &writing)
{
    const QString sql = QString::fromLatin1(statement);
    Query::CopyRows rows;
    Query::CopyRows next;
    fill(rows);
    while (rows.size() > 0) {
        bool ready = false;
        const QSqlQuery query = Query::copy(sql, rows, program(), [&] {
            fill(next);
            ready = true;
        });
        if (!query.isActive()) {
            writing.error = query.lastError();
            return false;
        }
        if (!ready)
            fill(next);
        if (!writing.step(rows.size()))
            return false;
        std::swap(rows, next);
        next.clear();
    }
    return true;
}

bool run(const QString &sql, const QVariantList &values, QSqlError &error, QSqlQuery *result)
{
    QSqlQuery query = Function::Myquery(sql, values, QSqlDatabase());
    if (!query.isActive()) {
        error = query.lastError();
        return false;
    }
    if (result)
        *result = std::move(query);
    return true;
}

bool nextRow(const char *statement, qint64 *row, QSqlError &error)
{
    QSqlQuery query;
    if (!run(QString::fromLatin1(statement), {}, error, &query) || !query.next())
        return false;
    *row = query.value(0).toLongLong();
    return true;
}

} // namespace Import::Detail
