#include "storage/register/referencemodel.h"

#include "storage/history/historylog.h"
#include "storage/db/sql.h"

#include <QSqlField>
#include <QSqlRecord>

#include <algorithm>

ReferenceModel::ReferenceModel(Refused refused)
    : QSqlTableModel(nullptr, QSqlDatabase())
    , m_refused(std::move(refused))
{
}

void ReferenceModel::setList(Servicemen::Reference list)
{
    setTable(Sql::text(list == Servicemen::Reference::Ranks ? Sql::RANKS_TABLE : Sql::POSITIONS_TABLE));
}

QString ReferenceModel::orderByClause() const
{
    return Sql::text(Sql::REFERENCE_ORDER);
}

bool ReferenceModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!QSqlTableModel::setData(index, value, role))
        return false;
    // A changed row that exists in the table has been written by now; a
    // new row is written on its first filled cell, the next cells update it.
    if (role == Qt::EditRole && editStrategy() != OnManualSubmit && isDirty(index))
        return submit();
    return true;
}

Qt::ItemFlags ReferenceModel::flags(const QModelIndex &index) const
{
    const Qt::ItemFlags stock = QSqlTableModel::flags(index);
    // The stock model locks every other row while one row has a pending
    // change. An empty new row has nothing pending to write, so it locks
    // nothing here (submit() writes around it).
    if ((stock & Qt::ItemIsEditable) || !index.isValid() || editStrategy() != OnFieldChange ||
        record().field(index.column()).isReadOnly() || dirtyRows() != 1)
        return stock;
    const int empty = emptyNewRow();
    return empty >= 0 && empty != index.row() ? stock | Qt::ItemIsEditable : stock;
}

bool ReferenceModel::removeRows(int row, int count, const QModelIndex &parent)
{
    // The stock model deletes nothing while another row has a pending
    // change. An empty new row holds nothing, so it is taken away first.
    const int empty = emptyNewRow();
    if (empty >= 0 && editStrategy() != OnManualSubmit && count == 1 && row != empty && !parent.isValid()) {
        revertRow(empty);
        if (empty < row)
            --row;
    }
    m_deleting = true;
    const bool ok = QSqlTableModel::removeRows(row, count, parent);
    m_deleting = false;
    return ok;
}

bool ReferenceModel::submit()
{
    if (editStrategy() == OnManualSubmit)
        return QSqlTableModel::submit();
    // A new row with no cell filled has nothing to write; the stock model
    // would fail on it and stop before the other rows. It is set aside
    // while they are written and then put back in its place (the stock
    // model adds no row while another change is pending).
    const int empty = emptyNewRow();
    bool ok = true;
    if (empty < 0) {
        ok = QSqlTableModel::submit();
    } else if (dirtyRows() > 1) {
        revertRow(empty);
        ok = QSqlTableModel::submit();
        if (ok)
            insertRow(std::min(empty, rowCount()));
    }
    if (!ok)
        m_refused(m_deleting ? QStringLiteral("Запись не удалена") : QStringLiteral("Изменение не сохранено"),
                  lastError());
    return ok;
}

int ReferenceModel::emptyNewRow() const
{
    for (int row = 0; row < rowCount(); ++row) {
        if (!isDirty(index(row, 0)))
            continue;
        const QSqlRecord values = record(row);
        bool filled = false;
        for (int c = 0; c < values.count() && !filled; ++c)
            filled = values.isGenerated(c);
        if (!filled)
            return row;
    }
    return -1;
}

bool ReferenceModel::insertRowIntoTable(const QSqlRecord &values)
{
    return withHistory(QVariant(), values, false, [&] { return QSqlTableModel::insertRowIntoTable(values); });
}

bool ReferenceModel::updateRowInTable(int row, const QSqlRecord &values)
{
    return withHistory(storedId(row), values, false,
                       [&] { return QSqlTableModel::updateRowInTable(row, values); });
}

bool ReferenceModel::deleteRowFromTable(int row)
{
    return withHistory(storedId(row), QSqlRecord(), true,
                       [&] { return QSqlTableModel::deleteRowFromTable(row); });
}

int ReferenceModel::dirtyRows() const
{
    int dirty = 0;
    for (int row = 0; row < rowCount(); ++row) {
        for (int c = 0; c < columnCount(); ++c) {
            if (isDirty(index(row, c))) {
                ++dirty;
                break;
            }
        }
    }
    return dirty;
}

QVariant ReferenceModel::storedId(int row) const
{
    const QSqlRecord key = primaryValues(row);
    return key.isEmpty() ? QVariant() : key.value(0);
}

bool ReferenceModel::withHistory(const QVariant &id, const QSqlRecord &values, bool deleting,
                                 const std::function<bool()> &write)
{
    QSqlError error;
    if (History::referenceChange(tableName(), id, values, deleting, write, &error))
        return true;
    if (error.isValid())
        setLastError(error);
    return false;
}
