#include "storage/copystop.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

namespace {

thread_local CopyStop *active = nullptr;

// Asked by SQLite every STEPS steps of a statement; non-zero interrupts it.
int interrupted(void *stop)
{
    return static_cast<const CopyStop *>(stop)->stopped() ? 1 : 0;
}

// A step may carry a whole row, a document of megabytes among them: the
// question comes often, and costs next to nothing.
constexpr int STEPS = 8;

} // namespace

CopyStop::Scope::Scope(CopyStop *stop)
    : m_previous(active)
{
    active = stop;
}

CopyStop::Scope::~Scope()
{
    active = m_previous;
}

void CopyStop::watch(const QSqlDatabase &db)
{
    if (!active || !db.isOpen() || db.driverName() != QLatin1String("QSQLITE"))
        return;
    // Qt's SQLite driver hands out its handle of the library the program is
    // linked with (the system's SQLite).
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return;
    if (sqlite3 *connection = *static_cast<sqlite3 *const *>(handle.constData()))
        sqlite3_progress_handler(connection, STEPS, &interrupted, active);
}
