#include "windows/vestable.h"
#include "ui_vestable.h"

#include "storage/register/referencemodel.h"
#include "view/dialogs.h"
#include "view/readonly.h"

#include <QCloseEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QSqlTableModel>
#include <QStyledItemDelegate>

#include <limits>

namespace {

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
        model->setList(Servicemen::Reference::Ranks);
    else if (index == 1)
        model->setList(Servicemen::Reference::Positions);
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
