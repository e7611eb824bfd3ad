#include "windows/vestable.h"
#include "ui_vestable.h"

#include "function.h"
#include "storage/history/historylog.h"
#include "storage/sql.h"
#include "view/dialogs.h"
#include "view/readonly.h"

#include <QCloseEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QSqlField>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QStyledItemDelegate>

#include <algorithm>
#include <functional>
#include <limits>

namespace {

// The table model of the editor. Every cell goes to the database as soon as it
// is edited, a new row's cells included (the stock model keeps a new row back
// until the view leaves it and drops it when the table is switched); a row that
// was added but not yet filled does not stop the writes of the other rows; and
// every write the database refuses is handed to `refused`.
class ReferenceModel : public QSqlTableModel
{
public:
    using Refused = std::function<void(const QString &what, const QSqlError &error)>;

    explicit ReferenceModel(Refused refused)
        : QSqlTableModel(nullptr, QSqlDatabase())
        , m_refused(std::move(refused))
    {
    }

    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override
    {
        if (!QSqlTableModel::setData(index, value, role))
            return false;
        // A changed row that exists in the table has been written by now; a
        // new row is written on its first filled cell, the next cells update it.
        if (role == Qt::EditRole && editStrategy() != OnManualSubmit && isDirty(index))
            return submit();
        return true;
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
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

    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override
    {
        // The stock model deletes nothing while another row has a pending
        // change. An empty new row holds nothing, so it is taken away first.
        const int empty = emptyNewRow();
        if (empty >= 0 && editStrategy() != OnManualSubmit && count == 1 && row != empty &&
            !parent.isValid()) {
            revertRow(empty);
            if (empty < row)
                --row;
        }
        m_deleting = true;
        const bool ok = QSqlTableModel::removeRows(row, count, parent);
        m_deleting = false;
        return ok;
    }

    bool submit() override
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
            m_refused(m_deleting ? QStringLiteral("Запись не удалена")
                                 : QStringLiteral("Изменение не сохранено"),
                      lastError());
        return ok;
    }

    // The row added and not yet filled, or -1. There is at most one: the
    // stock model adds no row while another change is pending.
    int emptyNewRow() const
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

protected:
    QString orderByClause() const override { return Sql::text(Sql::REFERENCE_ORDER); }

    // Each write goes with its entry in the history of changes.
    bool insertRowIntoTable(const QSqlRecord &values) override
    {
        return withHistory(QVariant(), values, false,
                           [&] { return QSqlTableModel::insertRowIntoTable(values); });
    }
    bool updateRowInTable(int row, const QSqlRecord &values) override
    {
        return withHistory(storedId(row), values, false,
                           [&] { return QSqlTableModel::updateRowInTable(row, values); });
    }
    bool deleteRowFromTable(int row) override
    {
        return withHistory(storedId(row), QSqlRecord(), true,
                           [&] { return QSqlTableModel::deleteRowFromTable(row); });
    }

private:
    int dirtyRows() const
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

    QVariant storedId(int row) const
    {
        const QSqlRecord key = primaryValues(row);
        return key.isEmpty() ? QVariant() : key.value(0);
    }

    bool withHistory(const QVariant &id, const QSqlRecord &values, bool deleting,
                     const std::function<bool()> &write)
    {
        QSqlError error;
        if (History::referenceChange(tableName(), id, values, deleting, write, &error))
            return true;
        if (error.isValid())
            setLastError(error);
        return false;
    }

    Refused m_refused;
    bool m_deleting = false;
};

// Cell editors take a text of any length; a stock line edit stops at 32,767
// characters and would cut a longer text without a word.
class CellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            line->setMaxLength(std::numeric_limits<int>::max());
        return editor;
    }
};

} // namespace

vestable::vestable(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::vestable)
{
    ui->setupUi(this);
    ui->tableView->setItemDelegate(new CellDelegate(ui->tableView));
    // A viewer reads the lists and edits no cell.
    if (ReadOnly::disable({ui->pushButton, ui->pushButton_2}))
        ui->tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    showTable(ui->comboBox->currentIndex());
}

vestable::~vestable()
{
    delete ui;
    delete my_model;
}

void vestable::showTable(int index)
{
    auto *model =
        new ReferenceModel([this](const QString &what, const QSqlError &error) { reportLater(what, error); });
    if (index == 0)
        model->setTable(Sql::text(Sql::RANKS_TABLE));
    else if (index == 1)
        model->setTable(Sql::text(Sql::POSITIONS_TABLE));
    const bool read = model->select();
    model->setEditStrategy(QSqlTableModel::OnFieldChange);

    QItemSelectionModel *oldSelection = ui->tableView->selectionModel();
    QSqlTableModel *oldModel = my_model;
    my_model = model;
    ui->tableView->setModel(model);
    delete oldSelection;
    delete oldModel;

    if (!read && (index == 0 || index == 1))
        reportLater(QStringLiteral("Таблица не прочитана"), model->lastError());
}

void vestable::commitOpenEditor()
{
    QTableView *view = ui->tableView;
    const QModelIndex current = view->currentIndex();
    if (QWidget *editor = current.isValid() ? view->indexWidget(current) : nullptr)
        QMetaObject::invokeMethod(view, "commitData", Qt::DirectConnection, Q_ARG(QWidget *, editor));
}

void vestable::closeEvent(QCloseEvent *event)
{
    commitOpenEditor();
    QWidget::closeEvent(event);
}

void vestable::on_comboBox_currentIndexChanged(int index)
{
    // What is being typed into a cell belongs to the table being left.
    commitOpenEditor();
    showTable(index);
}

void vestable::on_pushButton_clicked()
{
    auto *model = static_cast<ReferenceModel *>(my_model);
    const int pending = model->emptyNewRow();
    if (pending >= 0) {
        // One empty row at a time: it moves to the new place.
        if (ui->tableView->currentIndex().row() == pending)
            return;
        model->revertRow(pending);
    }
    const int row = ui->tableView->currentIndex().row() + 1;
    if (model->insertRow(row))
        ui->tableView->scrollTo(model->index(row, 0));
}

void vestable::on_pushButton_2_clicked()
{
    const QModelIndex current = ui->tableView->currentIndex();
    // A refused delete is reported by the model.
    if (current.isValid())
        my_model->removeRow(current.row());
    if (!my_model->select())
        reportLater(QStringLiteral("Таблица не прочитана"), my_model->lastError());
}

void vestable::reportLater(const QString &what, const QSqlError &error)
{
    // Told after the edit in progress has finished, once per failure (the view
    // may try the same write again before then).
    if (reportPending)
        return;
    reportPending = true;
    failedWhat = what;
    failure = error;
    QMetaObject::invokeMethod(this, &vestable::report, Qt::QueuedConnection);
}

void vestable::report()
{
    // The table shows what is really stored before the reason is told.
    my_model->select();
    Dialogs::warnFailure(this, failedWhat, failure);
    reportPending = false;
}
