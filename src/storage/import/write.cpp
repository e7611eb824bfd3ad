#include "storage/import/write.h"

#include "storage/copies/databasecopy.h"
#include "storage/copies/serverbackup.h"
#include "storage/db/errors.h"
#include "storage/db/sql.h"
#include "storage/db/transaction.h"
#include "storage/import/writehistory.h"
#include "storage/import/writeorders.h"
#include "storage/import/writerows.h"
#include "storage/import/writeservicemen.h"
#include "storage/register/recount.h"
#include "storage/setup/settings.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>

namespace Import {

using namespace Detail;

namespace {

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

// The steps of the import inside its transaction: false at the first that
// fails, the writing telling why.
bool writeSteps(const ServicemenCheck *servicemen, const OrdersCheck *orders, const QString &source,
                Transaction &transaction, Writing &writing)
{
    QSqlError &error = writing.error;
    if (!transaction.begin(&error))
        return false;
    // Every serviceman and order is checked again against the register as
    // it is under the transaction's lock: another workstation may have
    // changed it since the check, and nothing is written on a stale one.
    QSet<QString> numbers;
    if (!currentNumbers(&numbers, error))
        return false;
    if (servicemen && !writeServicemen(*servicemen, orders, numbers, writing))
        return false;
    if (orders && !writeOrders(*orders, servicemen, numbers, writing))
        return false;
    int corrected = 0;
    return History::record(importEvent(source, *writing.written), &error) &&
           Recount::wholeRegister(&corrected, &error) && transaction.commit(&error);
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

    Writing writing;
    writing.written = written;
    writing.progress = &progress;
    writing.server = Sql::onServer();
    writing.chunk = writing.server ? SERVER_CHUNK : CHUNK;
    writing.total = (servicemen ? servicemen->added + servicemen->updated : 0) + (orders ? orders->added : 0);
    Transaction transaction;
    if (writeSteps(servicemen, orders, source, transaction, writing))
        return true;
    transaction.rollback();
    const QString backup = written->backup;
    *written = Written();
    written->backup = backup;
    if (writing.cancelled)
        written->cancelled = true;
    else if (!writing.stale.isEmpty())
        written->error = writing.stale + QStringLiteral("; проверьте файл ещё раз");
    else if (writing.listsChanged)
        written->error = QStringLiteral("справочники званий или должностей изменились после проверки; "
                                        "проверьте файл ещё раз");
    else
        written->error = Errors::describe(writing.error);
    written->unknown = Errors::isOutcomeUnknown(writing.error);
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
