#include "programdb.h"

#include "storage/connection.h"

#include <QDir>

namespace TestSupport {

bool openProgramDb()
{
    QString reason;
    if (!Connection::open(QDir::current().absoluteFilePath(QStringLiteral("data/BaseDate.db")), &reason)) {
        qWarning("program database not opened: %s", qPrintable(reason));
        return false;
    }
    return true;
}

} // namespace TestSupport
