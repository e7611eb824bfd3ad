#ifndef FUNCTION_H
#define FUNCTION_H

#include "storage/db/sql.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringView>
#include <QVariantList>

// The statement runner and the natural order of unit numbers. The
// program's other helpers live in the headers of their rooms
// (storage/db/query.h, storage/db/quoting.h, storage/db/errorlog.h,
// storage/db/errors.h, storage/register/dates.h,
// storage/register/naturalorder.h, storage/setup/paths.h,
// storage/setup/settings.h, view/dialogs.h, view/tablefit.h,
// view/application.h, which also holds Function::ver, the schema
// verification: it shows its boxes, so it is built with the widgets).
// Defined in:
//   storage/db/query.cpp               Myquery
//   storage/register/naturalorder.cpp  compareStrings, sortQListQString
namespace Function {

// Runs one statement on the default connection and logs a failure to "log".
QSqlQuery Myquery(QString sql);
// The same on a connection of its own (backups, checks of other files).
QSqlQuery Myquery(QString sql, const QSqlDatabase &db);
// With values bound to its "?" places in order (contents of documents).
QSqlQuery Myquery(QString sql, const QVariantList &values, const QSqlDatabase &db = QSqlDatabase());
// Natural order: leading number first, then the rest in code-unit order.
bool compareStrings(const QStringView &a, const QStringView &b);
void sortQListQString(QList<QString> &list);

} // namespace Function

#endif // FUNCTION_H
