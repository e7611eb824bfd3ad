#ifndef CHANGEFORALL_H
#define CHANGEFORALL_H

#include "storage/register/orders.h"

#include <QString>

class QWidget;

// «Изменить для всех по этому приказу…» of the orders window: the number,
// date, issuer, title or outgoing number of one order changed in every row
// with the same category, number and date (one per serviceman of a group
// order), after the clerk is told how many rows it changes.
namespace ChangeForAll {

// Asks over `parent` and changes the order (`code`, `number`, `date`) to
// `fields`; true when it was written. `told` receives what to say in the
// window's status line.
bool run(QWidget *parent, const QString &code, const QString &number, const QString &date,
         const Orders::Fields &fields, QString *told);

} // namespace ChangeForAll

#endif // CHANGEFORALL_H
