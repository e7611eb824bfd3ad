#include "windows/voenosluga.h"
#include "ui_voenosluga.h"

#include "export/cardprint.h"
#include "function.h"
#include "storage/roster.h"
#include "view/columns.h"
#include "windows/addcombat.h"

#include <QCloseEvent>
#include <QFont>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QSqlError>
#include <QTableWidgetItem>

#include <vector>

voenosluga::voenosluga(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::voenosluga)
{
    ui->setupUi(this);
    QTableWidget *t = ui->tableWidget;
    Columns::fixHeaders(t);
    // The name column is fitted to every name, not only to the first thousand.
    t->horizontalHeader()->setResizeContentsPrecision(-1);
    // The widths come before the first fill so that the row heights are
    // measured against the widths the user sees.
    Columns::applyLayout(t, Columns::LIST);
    for (int c = Columns::LIST_FIRST_HIDDEN; c < t->columnCount(); ++c)
        t->setColumnHidden(c, true);
    clear_tableWidget();
}

voenosluga::~voenosluga()
{
    delete ui;
}

void voenosluga::clear_tableWidget()
{
    QTableWidget *t = ui->tableWidget;
    t->setUpdatesEnabled(false);
    {
        const QSignalBlocker blocker(t);
        t->setRowCount(0);

        qstr = QString::fromLatin1(Sql::SELECT_ROSTER);
        const std::vector<Roster::Row> rows = Roster::read(qstr);

        const int count = static_cast<int>(rows.size());
        t->setRowCount(count);
        // The cells go in without a notice each; the viewport is repainted
        // once they are all there.
        QSignalBlocker quiet(t->model());
        for (int r = 0; r < count; ++r) {
            const Roster::Row &row = rows[static_cast<size_t>(r)];
            for (int c = 0; c < Columns::COUNT; ++c) {
                auto *item = new QTableWidgetItem(row[c]);
                item->setTextAlignment(c >= 4 && c <= 11 ? Qt::AlignCenter : Qt::AlignVCenter);
                t->setItem(r, c, item);
            }
        }
        quiet.unblock();
        t->viewport()->update();
        Function::fitColumnWidth(t, Columns::FIO);
        Function::fitRowHeights(t);
        t->horizontalHeader()->setStretchLastSection(false);
        // The trailing empty row, without cells: a double-click on it adds a serviceman.
        t->insertRow(count);
    }
    t->setUpdatesEnabled(true);
}

void voenosluga::on_tableWidget_cellDoubleClicked(int row, int column)
{
    QTableWidget *t = ui->tableWidget;
    b = row != t->rowCount() - 1;
    if (column > 4)
        return;
    if (b) {
        auto text = [t, row](int c) { return t->item(row, c) ? t->item(row, c)->text() : QString(); };
        value = text(0);
        value_1 = text(1);
        value_2 = text(2);
        value_3 = text(3);
        value_4 = text(4);
        value_5 = text(5);
    } else {
        value.clear();
        value_1.clear();
        value_2.clear();
        value_3.clear();
        value_4.clear();
        value_5.clear();
    }
    auto *form = new addCombat(value, value_1, value_2, value_3, value_4, b, value_5, this);
    // A closed form is not used again.
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    connect(form, SIGNAL(sig_close()), this, SLOT(clear_tableWidget()));
}

void voenosluga::on_action_del_triggered()
{
    if (!Function::confirm(this, QStringLiteral("Вы точно уверены что надо удалить запись?")))
        return;
    QTableWidget *t = ui->tableWidget;
    const int row = t->currentRow();
    // No current row, or the trailing empty row: there is nobody to delete.
    QTableWidgetItem *cell = row < 0 || row == t->rowCount() - 1 ? nullptr : t->item(row, Columns::LN);
    if (!cell)
        return;
    qstr = QString::fromLatin1(Sql::DELETE_COMBAT_LIST).arg(Function::q(cell->text()));
    const QSqlQuery query = Function::Myquery(qstr);
    if (!query.isActive())
        Function::warnFailure(this, QStringLiteral("Запись не удалена"), query.lastError());
    clear_tableWidget();
}

void voenosluga::on_action_card_triggered()
{
    QTableWidget *t = ui->tableWidget;
    const int row = t->currentRow();
    const QTableWidgetItem *cell = row < 0 || row == t->rowCount() - 1 ? nullptr : t->item(row, Columns::LN);
    if (!cell) {
        Function::inform(this, QStringLiteral("Запись не выбрана: выделите строку военнослужащего, "
                                              "чью служебную карточку надо составить."));
        return;
    }
    CardPrint::show(this, {cell->text()});
}

void voenosluga::closeEvent(QCloseEvent *event)
{
    emit sig_close();
    QMainWindow::closeEvent(event);
}
