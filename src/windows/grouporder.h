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
    QString fio(const QString &ln) const;
    void say(const QString &text);

    Ui::GroupOrder *ui;
    std::vector<GroupOrders::Man> men;
};

#endif // GROUPORDER_H
