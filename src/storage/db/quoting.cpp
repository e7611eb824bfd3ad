#include "storage/db/quoting.h"

QString Query::quote(const QString &value)
{
    return QString(value).replace(QLatin1Char('\''), QStringLiteral("''"));
}
