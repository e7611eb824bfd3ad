#ifndef GROUPORDER_H
#define GROUPORDER_H

#include "storage/grouporders.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

QT_BEGIN_NAMESPACE
namespace Ui {
class GroupOrder;
}
QT_END_NAMESPACE

// One order entered once for several servicemen: the order's fields as the
// orders window has them, and the servicemen it names, found by unit and by
// a search text and ticked in a list.
class GroupOrder : public QWidget
{
    Q_OBJECT

public:
    // `ticked`: the personal numbers ticked at the start (the summary's
    // shown or chosen rows).
    explicit GroupOrder(const QStringList &ticked = QStringList(), QWidget *parent = nullptr);
    ~GroupOrder() override;

    // The personal numbers ticked, in the list's order.
    QStringList tickedNumbers() const;

signals:
    // Orders were written for `lns` in the category `code`.
    void written(const QStringList &lns, const QString &code);

private:
    void fillUnits();
    void filter();
    void countTicked();
    void write();
    QString fio(const QString &ln) const;
    void say(const QString &text);

    Ui::GroupOrder *ui;
    std::vector<GroupOrders::Man> men;
};

#endif // GROUPORDER_H
