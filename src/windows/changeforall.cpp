#include "windows/changeforall.h"

#include "storage/db/errors.h"
#include "storage/register/grouporders.h"
#include "view/dialogs.h"

#include <QSqlError>

bool ChangeForAll::run(QWidget *parent, const QString &code, const QString &number, const QString &date,
                       const Orders::Fields &fields, QString *told)
{
    QStringList ids;
    QSqlError error;
    if (!GroupOrders::sameOrder(code, number, date, &ids, &error)) {
        *told = QStringLiteral("Приказы не изменены: не удалось прочитать приказы № %1 от %2: %3")
                    .arg(number, date, Errors::describe(error));
        return false;
    }
    if (ids.isEmpty()) {
        *told = QStringLiteral("Приказы не изменены: приказа № %1 от %2 нет в базе.").arg(number, date);
        return false;
    }
    if (!Dialogs::confirm(parent, QStringLiteral("Будет изменено приказов: %1 (№ %2 от %3 у всех "
                                                 "военнослужащих). Изменить?")
                                      .arg(ids.size())
                                      .arg(number, date))) {
        *told = QStringLiteral("Приказы не изменены.");
        return false;
    }
    const GroupOrders::Result result = GroupOrders::changeAll(code, number, date, ids, fields);
    switch (result.outcome) {
    case GroupOrders::Outcome::Done:
        *told = QStringLiteral("Изменено приказов: %1.").arg(result.written);
        return true;
    case GroupOrders::Outcome::Taken:
        *told = QStringLiteral("Приказы не изменены: у военнослужащего с личным номером %1 уже есть приказ № %2 "
                               "этого вида.")
                    .arg(result.ln, fields.number);
        break;
    case GroupOrders::Outcome::Gone:
    case GroupOrders::Outcome::Changed:
        *told = QStringLiteral("Приказы не изменены: приказы № %1 от %2 тем временем изменены на другом рабочем "
                               "месте. Повторите.")
                    .arg(number, date);
        break;
    case GroupOrders::Outcome::Failed:
        *told = QStringLiteral("Приказы не изменены: %1").arg(Errors::describe(result.error));
        break;
    }
    return false;
}
