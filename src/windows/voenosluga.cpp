#include "windows/voenosluga.h"
#include "ui_voenosluga.h"

#include "export/cardprint.h"
#include "storage/register/roster.h"
#include "storage/register/servicemen.h"
#include "view/columns.h"
#include "view/dialogs.h"
#include "view/readonly.h"
#include "view/tablefit.h"
#include "windows/addcombat.h"
#include "windows/history.h"

#include <QAction>
#include <QCloseEvent>
#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSqlError>
#include <QStatusBar>
#include <QTableWidgetItem>

#include <vector>

namespace {

// From this many servicemen on, the search waits for a pause in typing.
constexpr size_t LongRoster = 3000;

} // namespace

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
    Columns::applyLayout(t, SummaryColumns::LIST);
    for (int c = SummaryColumns::LIST_FIRST_HIDDEN; c < t->columnCount(); ++c)
        t->setColumnHidden(c, true);
    // A viewer opens the form to read a serviceman; the form saves nothing.
    ReadOnly::disable({ui->pushButton_add}, {ui->action_del});
    connect(ui->pushButton_add, &QPushButton::clicked, this, [this] { openForm(-1); });
    // A short roster is searched at every key; a long one once typing
    // pauses, so that the letters appear without waiting for the table.
    searchDelay.setSingleShot(true);
    searchDelay.setInterval(300);
    connect(&searchDelay, &QTimer::timeout, this, &voenosluga::applySearch);
    // The window opens with the focus in the table, as before the search
    // line was there; Ctrl+F goes to the search line, as in the main window.
    t->setFocus();
    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        ui->lineEdit_search->setFocus(Qt::ShortcutFocusReason);
        ui->lineEdit_search->selectAll();
    });
    connect(ui->lineEdit_search, &QLineEdit::textChanged, this, [this] {
        if (rows.size() >= LongRoster)
            searchDelay.start();
        else
            applySearch();
    });
    // The history of the serviceman of the current row, on the list's
    // context menu.
    auto *history = new QAction(QStringLiteral("История изменений"), this);
    history->setObjectName(QStringLiteral("action_history"));
    history->setToolTip(QStringLiteral("Кто, когда и что изменил в записях выбранного военнослужащего"));
    t->setContextMenuPolicy(Qt::ActionsContextMenu);
    t->addAction(history);
    connect(history, &QAction::triggered, this, [this] {
        const int row = ui->tableWidget->currentRow();
        if (row < 0 || row >= static_cast<int>(rows.size())) {
            statusBar()->showMessage(QStringLiteral("Запись не выбрана: выделите строку военнослужащего, "
                                                    "чью историю изменений надо показать."),
                                     10000);
            return;
        }
        const Roster::Row &stored = rows[static_cast<size_t>(row)];
        HistoryWindow::open(stored[SummaryColumns::LN], stored[SummaryColumns::FIO]);
    });
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

        rows = Roster::read(Roster::Table::List);

        const int count = static_cast<int>(rows.size());
        t->setRowCount(count);
        // The cells go in without a notice each; the viewport is repainted
        // once they are all there.
        QSignalBlocker quiet(t->model());
        for (int r = 0; r < count; ++r) {
            const Roster::Row &row = rows[static_cast<size_t>(r)];
            for (int c = 0; c < SummaryColumns::COUNT; ++c) {
                auto *item = new QTableWidgetItem(row[c]);
                item->setTextAlignment(c >= 4 && c <= 11 ? Qt::AlignCenter : Qt::AlignVCenter);
                t->setItem(r, c, item);
            }
        }
        quiet.unblock();
        t->viewport()->update();
        TableFit::fitColumnWidth(t, SummaryColumns::FIO);
        TableFit::fitRowHeights(t);
        t->horizontalHeader()->setStretchLastSection(false);
        // The trailing empty row, without cells: a double-click on it adds a serviceman.
        t->insertRow(count);
    }
    // A reload keeps the search the user typed.
    if (!ui->lineEdit_search->text().trimmed().isEmpty())
        applySearch();
    t->setUpdatesEnabled(true);
}

void voenosluga::applySearch()
{
    searchDelay.stop();
    QTableWidget *t = ui->tableWidget;
    const QString text = ui->lineEdit_search->text().trimmed();
    int found = 0;
    t->setUpdatesEnabled(false);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const Roster::Row &row = rows[static_cast<size_t>(r)];
        const bool keep = text.isEmpty() || row[SummaryColumns::FIO].contains(text, Qt::CaseInsensitive) ||
                          row[SummaryColumns::LN].contains(text, Qt::CaseInsensitive) ||
                          row[SummaryColumns::VP].contains(text, Qt::CaseInsensitive);
        if (t->isRowHidden(r) == keep)
            t->setRowHidden(r, !keep);
        found += keep;
    }
    // A row the search hides is no longer current: "Удаление" must not
    // delete a serviceman the user does not see.
    if (t->currentRow() >= 0 && t->isRowHidden(t->currentRow())) {
        t->setCurrentCell(-1, -1);
        t->clearSelection();
    }
    t->setUpdatesEnabled(true);
    if (text.isEmpty())
        statusBar()->clearMessage();
    else if (found == 0)
        statusBar()->showMessage(
            QStringLiteral("Никто не найден по «%1»: проверьте написание или очистите строку поиска.").arg(text));
    else
        statusBar()->showMessage(QStringLiteral("Найдено: %1 из %2.").arg(found).arg(rows.size()));
}

void voenosluga::on_tableWidget_cellDoubleClicked(int row, int column)
{
    QTableWidget *t = ui->tableWidget;
    b = row != t->rowCount() - 1;
    if (column > 4)
        return;
    openForm(b ? row : -1);
}

void voenosluga::openForm(int row)
{
    b = row >= 0 && row < static_cast<int>(rows.size());
    if (b) {
        // The values as stored, whatever the cells show.
        const Roster::Row &stored = rows[static_cast<size_t>(row)];
        value = stored[0];
        value_1 = stored[1];
        value_2 = stored[2];
        value_3 = stored[3];
        value_4 = stored[4];
        value_5 = stored[SummaryColumns::LN];
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
    if (!Dialogs::confirm(this, QStringLiteral("Вы точно уверены что надо удалить запись?")))
        return;
    const int row = ui->tableWidget->currentRow();
    // No current row, or the trailing empty row: there is nobody to delete.
    if (row < 0 || row >= static_cast<int>(rows.size()))
        return;
    // The personal number as stored, whatever the cell shows.
    QSqlError error;
    if (!Servicemen::remove(rows[static_cast<size_t>(row)][SummaryColumns::LN], Servicemen::From::List,
                            &error))
        Dialogs::warnFailure(
            this, {QStringLiteral("Запись не удалена"), QStringLiteral("Неизвестно, удалена ли запись")}, error);
    clear_tableWidget();
}

void voenosluga::keyPressEvent(QKeyEvent *event)
{
    QMainWindow::keyPressEvent(event);
    if (event->key() != Qt::Key_Escape)
        return;
    // Escape in a search line with text clears the search; otherwise it
    // closes the window.
    if (ui->lineEdit_search->hasFocus() && !ui->lineEdit_search->text().isEmpty())
        ui->lineEdit_search->clear();
    else
        close();
}

void voenosluga::on_action_card_triggered()
{
    const int row = ui->tableWidget->currentRow();
    if (row < 0 || row >= static_cast<int>(rows.size())) {
        Dialogs::inform(this, QStringLiteral("Запись не выбрана: выделите строку военнослужащего, "
                                              "чью служебную карточку надо составить."));
        return;
    }
    // The personal number as stored, whatever the cell shows.
    CardPrint::show(this, {rows[static_cast<size_t>(row)][SummaryColumns::LN]});
}

void voenosluga::closeEvent(QCloseEvent *event)
{
    emit sig_close();
    QMainWindow::closeEvent(event);
}
