#ifndef GROUPLIFT_H
#define GROUPLIFT_H

#include "storage/register/grouporders.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

QT_BEGIN_NAMESPACE
namespace Ui {
class GroupLift;
}
QT_END_NAMESPACE

// Several penalties in force lifted by one order: the lifting order's number
// and date, and the penalties in force of the servicemen, found by unit and
// by a search text and ticked in a list. Each is lifted as the orders window
// lifts one, all of them in one transaction.
class GroupLift : public QWidget
{
    Q_OBJECT

public:
    // `servicemen`: the personal numbers whose penalties are listed (the
    // summary's shown or chosen rows); everyone's when empty.
    explicit GroupLift(const QStringList &servicemen = QStringList(), QWidget *parent = nullptr);
    ~GroupLift() override;

    // The identities of the penalties ticked, in the list's order.
    QStringList tickedPenalties() const;

signals:
    // Penalties of `lns` were lifted.
    void written(const QStringList &lns);

private:
    void load();
    void filter();
    void countTicked();
    void write();
    void say(const QString &text);

    Ui::GroupLift *ui;
    QStringList chosen;
    std::vector<GroupOrders::Penalty> penalties;
};

#endif // GROUPLIFT_H
