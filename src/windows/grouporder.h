#ifndef GROUPORDER_H
#define GROUPORDER_H

#include "storage/register/grouporders.h"

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
    // Adds the files to the documents attached to every order written (one
    // of a name already chosen is left out).
    void addDocuments(const QStringList &files);

signals:
    // Orders were written for `lns` in the category `code`.
    void written(const QStringList &lns, const QString &code);

private:
    void fillUnits();
    void filter();
    void countTicked();
    void write();
    // Stores a copy of each chosen document; false (told, nothing kept)
    // when one could not be stored.
    bool storeDocuments(QList<GroupOrders::Document> *documents);
    // False, told in the window's line, when no serviceman is ticked, the
    // number is empty or a field holds a character that cannot be stored.
    bool writable(const QStringList &lns, const Orders::Fields &fields);
    // Leaves out of `lns` those who already hold an order of the number and
    // asks before the write; false (told) when the check failed or the user
    // declined.
    bool confirmed(const QString &code, const Orders::Fields &fields, QStringList *lns);
    // Gives the fresh copies their names once the orders are written
    // (`done`), or takes them back; false when a copy could not get its name yet.
    static bool settleDocuments(const QList<GroupOrders::Document> &documents, bool done);
    // Says what the write came to, and reports the orders written.
    void tellWritten(const GroupOrders::Result &result, const QStringList &lns, const QString &code,
                     qsizetype documents, bool settled);
    QString fio(const QString &ln) const;
    void say(const QString &text);

    Ui::GroupOrder *ui;
    std::vector<GroupOrders::Man> men;
};

#endif // GROUPORDER_H
