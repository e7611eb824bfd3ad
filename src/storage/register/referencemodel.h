#ifndef REFERENCEMODEL_H
#define REFERENCEMODEL_H

#include "storage/register/servicemen.h"

#include <QSqlError>
#include <QSqlTableModel>
#include <QString>
#include <QVariant>

#include <functional>

// The table model of the reference tables editor, over the ranks or the
// positions. Every cell goes to the database as soon as it is edited, a new
// row's cells included (the stock model keeps a new row back until the view
// leaves it and drops it when the table is switched); a row that was added
// but not yet filled does not stop the writes of the other rows; every write
// goes with its entry in the history of changes; and every write the
// database refuses is handed to `refused`.
class ReferenceModel : public QSqlTableModel
{
public:
    using Refused = std::function<void(const QString &what, const QSqlError &error)>;

    explicit ReferenceModel(Refused refused);

    // The table of the list, in the order its rows were added; select()
    // reads it.
    void setList(Servicemen::Reference list);

    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    bool submit() override;

    // The row added and not yet filled, or -1. There is at most one: the
    // stock model adds no row while another change is pending.
    int emptyNewRow() const;

protected:
    QString orderByClause() const override;
    bool insertRowIntoTable(const QSqlRecord &values) override;
    bool updateRowInTable(int row, const QSqlRecord &values) override;
    bool deleteRowFromTable(int row) override;

private:
    int dirtyRows() const;
    QVariant storedId(int row) const;
    bool withHistory(const QVariant &id, const QSqlRecord &values, bool deleting,
                     const std::function<bool()> &write);

    Refused m_refused;
    bool m_deleting = false;
};

#endif // REFERENCEMODEL_H
