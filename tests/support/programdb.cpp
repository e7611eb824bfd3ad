#include "programdb.h"

#include "storage/db/connection.h"
#include "storage/setup/settings.h"

#include <QDir>

namespace TestSupport {

bool openProgramDb()
{
    QString reason;
    // A test whose settings.ini names a server opens it as the program does.
    QString where;
    const bool opened =
        Settings::serverChosen()
            ? Connection::openChosen({}, &where, &reason)
            : Connection::open(QDir::current().absoluteFilePath(QStringLiteral("data/BaseDate.db")), &reason);
    if (!opened) {
        qWarning("program database not opened: %s", qPrintable(reason));
        return false;
    }
    return true;
}

} // namespace TestSupport
