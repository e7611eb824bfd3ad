#include "storage/db/copystop.h"

#include "storage/db/connection.h"

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
    if (!active || !db.isOpen())
        return;
    if (sqlite3 *connection = Connection::fileHandle(db))
        sqlite3_progress_handler(connection, STEPS, &interrupted, active);
}
