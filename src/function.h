#ifndef FUNCTION_H
#define FUNCTION_H

#include "storage/schema.h"
#include "storage/sql.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringView>
#include <QVariantList>

// The statement runner, the natural order of unit numbers and the schema
// verification, static only. The program's other helpers live in the
// headers of their rooms (storage/query.h, storage/errors.h,
// storage/dates.h, storage/naturalorder.h, storage/paths.h, view/dialogs.h,
// view/tablefit.h, view/application.h). Defined in:
//   storage/query.cpp         Myquery
//   storage/naturalorder.cpp  compareStrings, sortQListQString
//   view/application.cpp      ver (it shows its boxes, so it is built with
//                             the widgets; whatever calls it links vedomer_view)
class Function
{
public:
    // Runs one statement on the default connection and logs a failure to "log".
    static QSqlQuery Myquery(QString sql);
    // The same on a connection of its own (backups, checks of other files).
    static QSqlQuery Myquery(QString sql, const QSqlDatabase &db);
    // With values bound to its "?" places in order (contents of documents).
    static QSqlQuery Myquery(QString sql, const QVariantList &values, const QSqlDatabase &db = QSqlDatabase());
    // Natural order: leading number first, then the rest in code-unit order.
    static bool compareStrings(const QStringView &a, const QStringView &b);
    static void sortQListQString(QList<QString> &list);
    // Brings the schema of data/BaseDate.db into line with the descriptors
    // and tells the user what stopped it; what it changed is in the report.
    static Schema::Report ver();
};

#endif // FUNCTION_H
