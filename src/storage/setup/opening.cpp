#include "storage/setup/opening.h"

#include "storage/db/connection.h"
#include "storage/history/historylog.h"
#include "storage/reports/reportday.h"

#include <QSqlDatabase>

void Opening::install()
{
    Connection::Hooks hooks;
    hooks.fileOpened = [](const QSqlDatabase &db) { Reports::addDayFunction(db); };
    hooks.historyMissing = [](const QSqlDatabase &db) { History::prepare(db); };
    Connection::setHooks(hooks);
}
