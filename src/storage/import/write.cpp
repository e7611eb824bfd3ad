#include "storage/import/write.h"

#include "function.h"
#include "storage/db/connection.h"
#include "storage/copies/databasecopy.h"
#include "storage/db/errors.h"
#include "storage/history/historylog.h"
#include "storage/history/historytable.h"
#include "storage/setup/settings.h"
#include "storage/db/errorlog.h"
#include "storage/register/recount.h"
#include "storage/copies/servercopy.h"
#include "storage/db/sql.h"
#include "storage/db/transaction.h"
#include "storage/copies/serverbackup.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSet>
#include <QSqlQuery>

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

namespace Import {

namespace {

// Rows a multi-row statement carries on a file: the values stay under
// SQLite's oldest limit of 999 a statement.
constexpr int CHUNK = 90;
// Rows a statement of arrays carries to a server: few round trips and few
// calls of the history's trigger, and still the progress moves and a cancel
// is heard every so often.
constexpr int SERVER_CHUNK = 10000;

// The copy of the register made before an import: the same backup as
// «Создать резервную копию», beside the database file (a server's into the
// local database folder).
bool backupFirst(QString *file, QString *error)
{
    const QSqlDatabase db = QSqlDatabase::database();
    const QDateTime now = QDateTime::currentDateTime();
    if (Sql::onServer(db)) {
        const QString folder = Settings::databaseFolder();
        QDir().mkpath(folder);
        *file = DatabaseCopy::freeDatedName(folder, QStringLiteral("BaseDate"), now);
        return ServerCopy::backup(*file, error);
    }
    const QString live = db.databaseName();
    *file = DatabaseCopy::freeDatedName(QFileInfo(live).absolutePath(), QStringLiteral("BaseDate"), now);
    return DatabaseCopy::backup(live, *file, error);
}

// The program's connection as the writers use it: never opened again here,
// so that a connection lost inside the import's transaction fails the rest
// of it rather than carrying it on in a new session outside it.
QSqlDatabase program()
{
    return QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
}

// Runs a statement of many rows, prepared once per size and reused, as the
// import's rows call for it. A failure goes to the log as the statement
// runner writes it.
class Batch
{
public:
    Batch(const char *statement, const char *row, int width)
        : m_statement(QString::fromLatin1(statement))
        , m_row(QString::fromLatin1(row))
        , m_width(width)
    {
    }

    bool add(const QVariantList &values, QSqlError &error)
    {
        m_values.append(values);
        return m_values.size() < CHUNK * m_width || flush(error);
    }

    ~Batch()
    {
        for (const auto &statement : m_direct)
            sqlite3_finalize(statement.second);
    }
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;

    bool flush(QSqlError &error)
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

    static void log(const QString &sql, const QSqlError &error)
    {
        Query::appendLog(error.text() + QStringLiteral("В запросе содержится ошибка.") + sql +
                         QStringLiteral(" Запрос"));
    }

private:
    // On a file the values go to SQLite as they are, the texts without a
    // copy: the driver's binding of each value costs more than the insert
    // itself (twice the plain insert's time for 200,000 orders). The values
    // are bound as the driver binds them: a null text or an empty value as
    // NULL, a number as an integer, a text as UTF-16.
    bool flushDirect(sqlite3 *file, int rows, QSqlError &error)
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

    static bool failed(sqlite3 *file, const QString &sql, QSqlError &error)
    {
        error = QSqlError(QStringLiteral("Unable to fetch row"),
                          QString::fromUtf8(sqlite3_errmsg(file)), QSqlError::StatementError,
                          QString::number(sqlite3_extended_errcode(file)));
        log(sql, error);
        return false;
    }

    std::map<int, sqlite3_stmt *> m_direct;
    QString m_statement;
    QString m_row;
    int m_width;
    QVariantList m_values;
    std::map<int, QSqlQuery> m_prepared;
};

// The same rows to a server: one array a column, the arrays bound as their
// texts, SERVER_CHUNK rows a statement.
class ArrayBatch
{
public:
    ArrayBatch(const char *statement, int width)
        : m_statement(QString::fromLatin1(statement))
        , m_arrays(static_cast<size_t>(width))
    {
    }

    bool add(const QVariantList &values, QSqlError &error)
    {
        for (size_t i = 0; i < m_arrays.size(); ++i) {
            QString &array = m_arrays[i];
            array += m_rows == 0 ? QLatin1Char('{') : QLatin1Char(',');
            append(array, values.at(static_cast<qsizetype>(i)));
        }
        return ++m_rows < SERVER_CHUNK || flush(error);
    }

    bool flush(QSqlError &error)
    {
        if (m_rows == 0)
            return true;
        if (!m_prepared) {
            m_query = QSqlQuery(program());
            if (!m_query.prepare(m_statement)) {
                error = m_query.lastError();
                Batch::log(m_statement, error);
                return false;
            }
            m_prepared = true;
        }
        for (size_t i = 0; i < m_arrays.size(); ++i) {
            m_arrays[i] += QLatin1Char('}');
            m_query.bindValue(static_cast<int>(i), m_arrays[i]);
            m_arrays[i].clear();
        }
        m_rows = 0;
        if (!m_query.exec()) {
            error = m_query.lastError();
            Batch::log(m_statement, error);
            return false;
        }
        return true;
    }

private:
    // An element as an array's text gives it: NULL for what the statement
    // of rows would bind as NULL (a null text), a number as it is, a text in
    // quotes with its quotes and backslashes escaped.
    static void append(QString &array, const QVariant &value)
    {
        if (value.typeId() == QMetaType::Int) {
            array += QString::number(value.toInt());
            return;
        }
        const QString text = value.toString();
        if (value.isNull() || text.isNull()) {
            array += QLatin1String("NULL");
            return;
        }
        array += QLatin1Char('"');
        for (const QChar c : text) {
            if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
                array += QLatin1Char('\\');
            array += c;
        }
        array += QLatin1Char('"');
    }

    QString m_statement;
    std::vector<QString> m_arrays;
    int m_rows = 0;
    bool m_prepared = false;
    QSqlQuery m_query;
};

// The rows of a table an import adds: a statement of many rows on a file, of
// arrays on a server.
class TableRows
{
public:
    TableRows(bool server, const char *statement, const char *row, const char *arrays, int width)
    {
        if (server)
            m_arrays.emplace(arrays, width);
        else
            m_rows.emplace(statement, row, width);
    }
    bool add(const QVariantList &values, QSqlError &error)
    {
        return m_arrays ? m_arrays->add(values, error) : m_rows->add(values, error);
    }
    bool flush(QSqlError &error) { return m_arrays ? m_arrays->flush(error) : m_rows->flush(error); }

private:
    std::optional<Batch> m_rows;
    std::optional<ArrayBatch> m_arrays;
};

bool run(const QString &sql, const QVariantList &values, QSqlError &error, QSqlQuery *result = nullptr);

// The identity the next row of a table takes (on a file).
bool nextRow(const char *statement, qint64 *row, QSqlError &error)
{
    QSqlQuery query;
    if (!run(QString::fromLatin1(statement), {}, error, &query) || !query.next())
        return false;
    *row = query.value(0).toLongLong();
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

// The personal numbers the register holds now.
bool currentNumbers(QSet<QString> *numbers, QSqlError &error)
{
    QSqlQuery query;
    if (!run(QString::fromLatin1(Sql::IMPORT_REGISTER_LNS), {}, error, &query))
        return false;
    while (query.next())
        numbers->insert(query.value(0).toString());
    return true;
}

QString orderKey(const QString &ln, const QString &code, const QString &number)
{
    return ln + QChar(0x1f) + code + QChar(0x1f) + number;
}

// The first servicemen's row the register no longer allows as checked: an
// added man already there, an updated one gone (deleted, or given another
// number, by another workstation since the check). Empty when none.
QString staleServicemen(const ServicemenCheck &check, const QSet<QString> &numbers)
{
    for (const ServicemanRow &r : check.rows) {
        const QString &ln = r.entry.fields[Servicemen::LN];
        if (r.action == Action::Add && numbers.contains(ln))
            return QStringLiteral("военнослужащий с личным номером «%1» (строка %2) тем временем внесён в реестр")
                .arg(ln, QString::number(r.line));
        if (r.action == Action::Update && !numbers.contains(ln))
            return QStringLiteral("военнослужащего с личным номером «%1» (строка %2) тем временем удалили из "
                                  "реестра или дали ему другой номер")
                .arg(ln, QString::number(r.line));
    }
    return QString();
}

// The first order the register no longer allows as checked: its serviceman
// gone, or the order itself already there (the same file imported at the same
// time elsewhere). Empty when none.
bool staleOrders(const OrdersCheck &check, const QSet<QString> &numbers, QString *stale, QSqlError &error)
{
    QSet<QString> present;
    QSqlQuery query;
    if (!run(QString::fromLatin1(Sql::IMPORT_REGISTER_ORDERS), {}, error, &query))
        return false;
    while (query.next())
        present.insert(orderKey(query.value(0).toString(), query.value(1).toString(), query.value(2).toString()));
    query.finish();
    for (const OrderRow &o : check.rows) {
        if (o.action != Action::Add)
            continue;
        if (!numbers.contains(o.ln)) {
            *stale = QStringLiteral("военнослужащего с личным номером «%1» (приказ в строке %2) тем временем "
                                    "удалили из реестра или дали ему другой номер")
                         .arg(o.ln, QString::number(o.line));
            return true;
        }
        if (present.contains(orderKey(o.ln, o.code, o.number))) {
            *stale = QStringLiteral("приказ № %1 военнослужащего с личным номером «%2» (строка %3) тем временем "
                                    "уже внесён в реестр")
                         .arg(o.number, o.ln, QString::number(o.line));
            return true;
        }
    }
    return true;
}

QVariant orNull(bool given, const QVariant &value)
{
    return given ? value : QVariant();
}

bool sameList(const char *statement, const QStringList &expected, QSqlError &error, bool *same)
{
    QSqlQuery query;
    if (!run(QString::fromLatin1(statement), {}, error, &query))
        return false;
    QStringList names;
    while (query.next())
        names.append(query.value(1).toString());
    *same = names == expected;
    return true;
}

// The new entries of a reference list, after its heaviest one.
bool addEntries(const char *maxWeight, const char *insert, const QStringList &names, QSqlError &error)
{
    if (names.isEmpty())
        return true;
    QSqlQuery query;
    if (!run(QString::fromLatin1(maxWeight), {}, error, &query) || !query.next())
        return false;
    const qlonglong heaviest = query.value(0).toLongLong();
    query.finish();
    for (int i = 0; i < names.size(); ++i) {
        if (!run(QString::fromLatin1(insert), {names.at(i), heaviest + 10 * (i + 1)}, error))
            return false;
    }
    return true;
}

// The history entries of an update, read before it: one per changed column.
QList<History::Entry> changes(const ServicemanRow &row)
{
    QList<History::Entry> entries;
    Servicemen::Fields before;
    int position = 0;
    int rank = 0;
    const QString &ln = row.entry.fields[Servicemen::LN];
    if (!Servicemen::read(ln, &before))
        return entries;
    Servicemen::storedNumbers(ln, &position, &rank);
    const std::pair<const char *, int> columns[] = {
        {"VP", Servicemen::VP}, {"Dol", Servicemen::DOL}, {"VZ", Servicemen::VZ},
        {"FIO", Servicemen::FIO}, {"Data_comb", Servicemen::BIRTH}};
    for (const auto &c : columns) {
        const QString now = row.entry.fields[static_cast<size_t>(c.second)];
        const QString was = before[static_cast<size_t>(c.second)];
        if (!row.given[static_cast<size_t>(c.second)] || now == was)
            continue;
        History::Entry e;
        e.action = QString::fromLatin1(History::Action::SERVICEMAN_CHANGED);
        e.ln = ln;
        e.field = QString::fromLatin1(c.first);
        e.oldValue = was;
        e.newValue = now;
        entries.append(e);
    }
    const std::pair<const char *, std::pair<int, int>> numbers[] = {
        {"Dolz_nom", {position, row.entry.position}}, {"Zvan_nom", {rank, row.entry.rank}}};
    const bool given[] = {row.given[Servicemen::DOL], row.given[Servicemen::VZ]};
    for (int i = 0; i < 2; ++i) {
        if (!given[i] || numbers[i].second.first == numbers[i].second.second)
            continue;
        History::Entry e;
        e.action = QString::fromLatin1(History::Action::SERVICEMAN_CHANGED);
        e.ln = ln;
        e.field = QString::fromLatin1(numbers[i].first);
        e.oldValue = QString::number(numbers[i].second.first);
        e.newValue = QString::number(numbers[i].second.second);
        entries.append(e);
    }
    return entries;
}

} // namespace

bool write(const ServicemenCheck *servicemen, const OrdersCheck *orders, const QString &source, Written *written,
           const Progress &progress)
{
    *written = Written();
    if ((servicemen && !servicemen->error.isEmpty()) || (orders && !orders->error.isEmpty())) {
        written->error = QStringLiteral("реестр не удалось прочитать при проверке");
        return false;
    }
    QString reason;
    if (!backupFirst(&written->backup, &reason)) {
        written->error = QStringLiteral("резервная копия не создана: %1").arg(reason);
        written->backup.clear();
        return false;
    }

    const bool server = Sql::onServer();
    // The rows between two steps of the progress: one statement's.
    const int chunk = server ? SERVER_CHUNK : CHUNK;
    const int total = (servicemen ? servicemen->added + servicemen->updated : 0) + (orders ? orders->added : 0);
    int done = 0;
    bool cancelled = false;
    const auto step = [&](int rows) {
        done += rows;
        if (progress && !progress(done, total))
            cancelled = true;
        return !cancelled;
    };

    QSqlError error;
    bool listsChanged = false;
    // What the register no longer allows as checked, when that stopped it.
    QString stale;
    Transaction transaction;
    const auto steps = [&]() -> bool {
        if (!transaction.begin(&error))
            return false;
        // Every serviceman and order is checked again against the register
        // as it is under the transaction's lock: another workstation may have
        // changed it since the check, and nothing is written on a stale one.
        QSet<QString> numbers;
        if (!currentNumbers(&numbers, error))
            return false;
        if (servicemen) {
            stale = staleServicemen(*servicemen, numbers);
            if (!stale.isEmpty())
                return false;
            // The places of the reference entries were counted on the lists
            // as they were at the check.
            bool same = true;
            if (!sameList(Sql::SELECT_RANKS, servicemen->ranks, error, &same))
                return false;
            if (same && !sameList(Sql::SELECT_POSITIONS, servicemen->positions, error, &same))
                return false;
            if (!same) {
                listsChanged = true;
                return false;
            }
            if (!addEntries(Sql::IMPORT_MAX_RANK_WEIGHT, Sql::IMPORT_INSERT_RANK, servicemen->newRanks, error) ||
                !addEntries(Sql::IMPORT_MAX_POSITION_WEIGHT, Sql::IMPORT_INSERT_POSITION,
                            servicemen->newPositions, error))
                return false;
            written->unchanged = servicemen->unchanged;
            written->ranks = static_cast<int>(servicemen->newRanks.size());
            written->positions = static_cast<int>(servicemen->newPositions.size());

            qint64 firstRow = 0;
            if (!server && !nextRow(Sql::IMPORT_NEXT_SERVICEMAN_ROW, &firstRow, error))
                return false;
            TableRows added(server, Sql::IMPORT_INSERT_SERVICEMEN, Sql::IMPORT_SERVICEMAN_ROW,
                       Sql::IMPORT_INSERT_SERVICEMEN_ARRAYS, 8);
            QList<History::Entry> history;
            int pending = 0;
            for (const ServicemanRow &r : servicemen->rows) {
                const Servicemen::Fields &f = r.entry.fields;
                if (r.action == Action::Add) {
                    if (!added.add({f[Servicemen::VP], f[Servicemen::DOL], f[Servicemen::VZ], f[Servicemen::LN],
                                    f[Servicemen::FIO], r.entry.position, r.entry.rank, f[Servicemen::BIRTH]},
                                   error))
                        return false;
                    ++written->added;
                } else if (r.action == Action::Update) {
                    if (!added.flush(error))
                        return false;
                    if (!server)
                        history.append(changes(r));
                    const auto &g = r.given;
                    if (!run(QString::fromLatin1(Sql::IMPORT_UPDATE_SERVICEMAN),
                             {orNull(g[Servicemen::VP], f[Servicemen::VP]),
                              orNull(g[Servicemen::DOL], f[Servicemen::DOL]),
                              orNull(g[Servicemen::VZ], f[Servicemen::VZ]),
                              orNull(g[Servicemen::FIO], f[Servicemen::FIO]),
                              orNull(g[Servicemen::DOL], r.entry.position),
                              orNull(g[Servicemen::VZ], r.entry.rank),
                              orNull(g[Servicemen::BIRTH], f[Servicemen::BIRTH]), f[Servicemen::LN]},
                             error))
                        return false;
                    ++written->updated;
                } else {
                    // Skipped, or the same as stored: nothing written, no history.
                    continue;
                }
                if (++pending == chunk) {
                    if (!added.flush(error) || !step(pending))
                        return false;
                    pending = 0;
                }
            }
            // The entries after the rows they name (the names are read from them).
            if (!added.flush(error) || !History::recordAdded(Sql::IMPORT_HISTORY_SERVICEMEN, firstRow, &error) ||
                !History::record(history, &error) || !step(pending))
                return false;
        }
        if (orders) {
            if (servicemen) {
                for (const ServicemanRow &r : servicemen->rows) {
                    if (r.action == Action::Add)
                        numbers.insert(r.entry.fields[Servicemen::LN]);
                }
            }
            if (!staleOrders(*orders, numbers, &stale, error))
                return false;
            if (!stale.isEmpty())
                return false;
            qint64 firstRow = 0;
            if (!server && !nextRow(Sql::IMPORT_NEXT_ORDER_ROW, &firstRow, error))
                return false;
            TableRows added(server, Sql::IMPORT_INSERT_ORDERS, Sql::IMPORT_ORDER_ROW, Sql::IMPORT_INSERT_ORDERS_ARRAYS,
                       10);
            int pending = 0;
            const auto text = [](const QString &t) { return t.isEmpty() ? QVariant() : QVariant(t); };
            for (const OrderRow &o : orders->rows) {
                if (o.action != Action::Add)
                    continue;
                if (!added.add({o.ln, o.code, o.date, o.number, o.issuer, o.name,
                                QString::fromLatin1(o.inForce ? "1" : "0"), o.outgoing, text(o.liftNumber),
                                text(o.liftDate)},
                               error))
                    return false;
                ++written->orders;
                if (++pending == chunk) {
                    if (!added.flush(error) || !step(pending))
                        return false;
                    pending = 0;
                }
            }
            if (!added.flush(error) || !History::recordAdded(Sql::IMPORT_HISTORY_ORDERS, firstRow, &error) ||
                !step(pending))
                return false;
        }
        History::Entry event;
        event.action = QString::fromLatin1(History::Action::IMPORT);
        event.newValue = QStringLiteral("Импорт из «%1»: добавлено %2, обновлено %3, приказов %4")
                             .arg(QFileInfo(source).fileName())
                             .arg(written->added)
                             .arg(written->updated)
                             .arg(written->orders);
        int corrected = 0;
        return History::record(event, &error) && Recount::wholeRegister(&corrected, &error) &&
               transaction.commit(&error);
    };
    if (steps())
        return true;
    transaction.rollback();
    const QString backup = written->backup;
    *written = Written();
    written->backup = backup;
    if (cancelled)
        written->cancelled = true;
    else if (!stale.isEmpty())
        written->error = stale + QStringLiteral("; проверьте файл ещё раз");
    else if (listsChanged)
        written->error = QStringLiteral("справочники званий или должностей изменились после проверки; "
                                        "проверьте файл ещё раз");
    else
        written->error = Errors::describe(error);
    written->unknown = Errors::isOutcomeUnknown(error);
    return false;
}

QVector<QStringList> skippedReport(const ServicemenCheck *servicemen, const OrdersCheck *orders)
{
    QVector<QStringList> out{{QStringLiteral("Лист"), QStringLiteral("Строка"), QStringLiteral("Личный номер"),
                              QStringLiteral("Причина")}};
    if (servicemen) {
        for (const ServicemanRow &r : servicemen->rows) {
            if (r.action == Action::Skip)
                out.append({QStringLiteral("Военнослужащие"), QString::number(r.line),
                            r.entry.fields[Servicemen::LN], r.reason});
        }
    }
    if (orders) {
        for (const OrderRow &o : orders->rows) {
            if (o.action == Action::Skip)
                out.append({QStringLiteral("Приказы"), QString::number(o.line), o.ln, o.reason});
        }
    }
    return out;
}

} // namespace Import
