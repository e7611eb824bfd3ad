#include "voenosluga.h"
#include "ui_voenosluga.h"

#include "addcombat.h"
#include "function.h"

#include <QCloseEvent>
#include <QFont>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QSqlError>
#include <QTableWidgetItem>

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr int COLUMNS = 14;
constexpr int COL_VP = 0;
constexpr int COL_FIO = 3;
constexpr int COL_LN = 5;

} // namespace

voenosluga::voenosluga(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::voenosluga)
{
    ui->setupUi(this);
    QTableWidget *t = ui->tableWidget;
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    t->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    t->setColumnHidden(11, true);
    t->setColumnHidden(12, true);
    t->horizontalHeader()->setStyleSheet(QStringLiteral("border: 1px solid black"));
    t->verticalHeader()->setStyleSheet(QStringLiteral("border: 1px solid black"));
    // The name column is fitted to every name, not only to the first thousand.
    t->horizontalHeader()->setResizeContentsPrecision(-1);

    // The widths come before the first fill so that the row heights are
    // measured against the widths the user sees.
    t->setColumnWidth(0, 50);
    t->setColumnWidth(1, 100);
    t->setColumnWidth(2, 100);
    t->setColumnWidth(5, 100);
    t->setColumnWidth(4, 90);
    QFont headerFont(QStringLiteral("Times New Roman"), 11);
    headerFont.setWeight(QFont::Bold);
    for (int c = 0; c < t->columnCount(); ++c) {
        if (QTableWidgetItem *h = t->horizontalHeaderItem(c))
            h->setFont(headerFont);
    }
    for (int c = 6; c < t->columnCount(); ++c)
        t->setColumnHidden(c, true);
    t->horizontalHeaderItem(2)->setText(QStringLiteral("Воинское\nзвание"));
    t->horizontalHeaderItem(4)->setText(QStringLiteral("Дата\nрождения"));
    t->horizontalHeaderItem(5)->setText(QStringLiteral("Личный\nномер"));
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
        query = Function::Myquery(qstr);
        std::vector<std::array<QString, COLUMNS>> rows;
        while (query.next()) {
            std::array<QString, COLUMNS> row;
            for (int c = 0; c < COLUMNS; ++c)
                row[c] = query.value(c).toString();
            rows.push_back(std::move(row));
        }
        query.finish();

        // Servicemen whose unit number does not read as a non-zero whole
        // number come first, in natural order, equal numbers in the order of
        // the query; the others follow in the order of the query.
        std::vector<int> order;
        std::vector<int> others;
        order.reserve(rows.size());
        for (int i = 0; i < static_cast<int>(rows.size()); ++i)
            (rows[i][COL_VP].toInt() == 0 ? order : others).push_back(i);
        std::stable_sort(order.begin(), order.end(), [&rows](int x, int y) {
            return Function::compareStrings(rows[x][COL_VP], rows[y][COL_VP]);
        });
        order.insert(order.end(), others.begin(), others.end());

        const int count = static_cast<int>(order.size());
        t->setRowCount(count);
        // The cells go in without a notice each; the viewport is repainted
        // once they are all there.
        QSignalBlocker quiet(t->model());
        for (int r = 0; r < count; ++r) {
            const std::array<QString, COLUMNS> &row = rows[order[r]];
            for (int c = 0; c < COLUMNS; ++c) {
                auto *item = new QTableWidgetItem(row[c]);
                item->setTextAlignment(c >= 4 && c <= 11 ? Qt::AlignCenter : Qt::AlignVCenter);
                t->setItem(r, c, item);
            }
        }
        quiet.unblock();
        t->viewport()->update();
        Function::fitColumnWidth(t, COL_FIO);
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
    if (!Function::confirm(QStringLiteral("Вы точно уверены что надо удалить запись?")))
        return;
    QTableWidget *t = ui->tableWidget;
    const int row = t->currentRow();
    // No current row, or the trailing empty row: there is nobody to delete.
    QTableWidgetItem *cell = row < 0 || row == t->rowCount() - 1 ? nullptr : t->item(row, COL_LN);
    if (!cell)
        return;
    qstr = QString::fromLatin1(Sql::DELETE_COMBAT_LIST).arg(Function::q(cell->text()));
    query = Function::Myquery(qstr);
    if (!query.isActive())
        Function::warnFailure(this, QStringLiteral("Запись не удалена"), query.lastError());
    clear_tableWidget();
}

void voenosluga::closeEvent(QCloseEvent *event)
{
    emit sig_close();
    QMainWindow::closeEvent(event);
}
