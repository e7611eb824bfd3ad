#include "windows/mainwindow.h"
#include "ui_mainwindow.h"

#include "export/cardprint.h"
#include "export/printing.h"
#include "export/tableexport.h"
#include "export/tableprint.h"
#include "function.h"
#include "storage/connection.h"
#include "storage/databasecopy.h"
#include "storage/paths.h"
#include "storage/recount.h"
#include "storage/roster.h"
#include "view/columns.h"
#include "view/openwindows.h"
#include "windows/abprog.h"
#include "windows/addfile.h"
#include "windows/settings.h"
#include "windows/voenosluga.h"

#include <QBrush>
#include <QCloseEvent>
#include <QColor>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QSignalBlocker>
#include <QSqlError>
#include <QTableWidgetItem>

#include <algorithm>
#include <vector>


MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    Columns::fixHeaders(ui->tableWidget_6);
    ui->tableWidget_6->setColumnHidden(Columns::POSITION_NUMBER, true);
    ui->tableWidget_6->setColumnHidden(Columns::RANK_NUMBER, true);
    openDatabase();
}

MainWindow::~MainWindow()
{
    // The windows it opened do not outlive it.
    OpenWindows::deleteAll();
    delete ui;
}

void MainWindow::openDatabase()
{
    // Reading the settings also marks settings.ini hidden.
    const QString fileName = Paths::databaseFile();
    QString reason;
    const bool opened = Connection::open(fileName, &reason);
    db = QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
    if (!opened) {
        reportDatabaseFailure(fileName, reason);
        return;
    }
    // The widths are set before the first fill so that the row heights are
    // measured against the widths the user sees.
    Columns::applyLayout(ui->tableWidget_6, Columns::SUMMARY);
    clear_tableWidgets();
}

void MainWindow::reportDatabaseFailure(const QString &fileName, const QString &reason)
{
    const QString tail = QStringLiteral("Обращение к базе завершено  с ошибкой");
    Function::appendLog(reason + tail + QLatin1Char('\n'));
    qDebug() << reason << tail;
    Function::warn(this, QStringLiteral("Не удалось открыть базу данных «%1»: %2.\n\n"
                                        "Проверьте путь до базы в настройках. Новую базу данных "
                                        "создаёт запуск программы с параметром --ver.")
                             .arg(QFileInfo(fileName).absoluteFilePath(), reason));
}

void MainWindow::recordfile(const QString &ln, const QString &code)
{
    QSqlError error;
    switch (Recount::category(ln, code, &error)) {
    case Recount::Result::NotACategory:
        return;
    case Recount::Result::NotCounted:
        Function::warnFailure(this, QStringLiteral("Количество приказов не пересчитано"), error);
        break;
    case Recount::Result::NotWritten:
        Function::warnFailure(this, QStringLiteral("Количество приказов не записано"), error);
        break;
    case Recount::Result::Done:
        break;
    }
    clear_tableWidgets();
}

void MainWindow::clear_tableWidgets()
{
    fill(QString());
}

void MainWindow::fill(const QString &filter)
{
    QTableWidget *t = ui->tableWidget_6;
    t->setUpdatesEnabled(false);
    t->setRowCount(0);

    qstr = QString::fromLatin1(Sql::SELECT_SUMMARY);
    const std::vector<Roster::Row> rows = Roster::read(qstr);

    // The places in the full table of the rows that are put in.
    std::vector<int> kept;
    kept.reserve(rows.size());
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const Roster::Row &row = rows[static_cast<size_t>(r)];
        if (filter.isEmpty() || std::any_of(row.begin(), row.end(), [&filter](const QString &cell) {
                return cell.contains(filter, Qt::CaseInsensitive);
            }))
            kept.push_back(r);
    }

    const QBrush stripe(QColor(240, 240, 240, 226), Qt::SolidPattern);
    QBrush countBrushes[Columns::COUNT];
    for (int c = Columns::FIRST_COUNT; c <= Columns::LAST_COUNT; ++c)
        countBrushes[c] = QBrush(Columns::countColour(c), Qt::SolidPattern);
    t->setRowCount(static_cast<int>(kept.size()));
    // The view learns of the new rows above; telling it of every cell put
    // into them one by one would cost more than the cells themselves, so the
    // model is quiet while they go in and the viewport is repainted after.
    QSignalBlocker quiet(t->model());
    for (int k = 0; k < static_cast<int>(kept.size()); ++k) {
        const int r = kept[k];
        const Roster::Row &row = rows[static_cast<size_t>(r)];
        for (int c = 0; c < Columns::COUNT; ++c) {
            auto *item = new QTableWidgetItem(row[c]);
            if (r % 2 == 0)
                item->setBackground(stripe);
            if (c >= Columns::FIRST_COUNT && c <= Columns::LAST_COUNT) {
                str_3 = row[c];
                if (str_3 != QLatin1String("0") && !str_3.isEmpty())
                    item->setBackground(countBrushes[c]);
            }
            if (c >= Columns::LN && c <= Columns::POSITION_NUMBER)
                item->setTextAlignment(Qt::AlignCenter);
            t->setItem(k, c, item);
        }
    }
    quiet.unblock();
    t->horizontalHeader()->setStretchLastSection(false);
    // The name column fits every name of the full table, also those a search
    // leaves out, and is fitted first so that the row heights follow it.
    QStringList names;
    names.reserve(static_cast<qsizetype>(rows.size()));
    for (const Roster::Row &row : rows)
        names.append(row[Columns::FIO]);
    Function::fitColumnWidth(t, Columns::FIO, &names);
    Function::fitRowHeights(t);
    t->setUpdatesEnabled(true);
    t->viewport()->update();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (Function::confirm(this, QStringLiteral("Вы планируете выйти из программы?")))
        event->accept();
    else
        event->ignore();
}

void MainWindow::on_pushButton_clicked()
{
    const QString text = ui->lineEdit->text().trimmed();
    if (text.isEmpty()) {
        clear_tableWidgets();
        Function::warn(this, QStringLiteral("Поиск пуст"));
        return;
    }
    ui->lineEdit->clear();
    // The full table refilled with only the rows that hold the text, in one
    // pass: the same rows, in the same order and look, as removing the others
    // from the full table.
    fill(text);
}

void MainWindow::on_pushButton_2_clicked()
{
    clear_tableWidgets();
    Function::inform(this, QStringLiteral("Сброс выполнен"));
}

void MainWindow::on_tableWidget_6_cellDoubleClicked(int row, int column)
{
    // Only the count columns open a serviceman's orders.
    const QString code = Columns::categoryOf(column);
    if (code.isEmpty())
        return;
    QTableWidget *t = ui->tableWidget_6;
    auto text = [t, row](int c) {
        const QTableWidgetItem *item = t->item(row, c);
        return item ? item->text() : QString();
    };
    LN = text(Columns::LN);
    WTS = code;
    auto *orders = new addfile(LN, WTS, text(Columns::FIO));
    OpenWindows::show(orders);
    connect(orders, SIGNAL(wtf(QString, QString)), this, SLOT(recordfile(QString, QString)));
}

void MainWindow::on_comboBox_activated(int index)
{
    // Item 0 shows every category column, item 1 to 6 only the column 5 + index.
    if (index < 0 || index > 6)
        return;
    for (int c = Columns::FIRST_COUNT; c <= Columns::LAST_COUNT; ++c)
        ui->tableWidget_6->setColumnHidden(c, index != 0 && c != Columns::FIRST_COUNT - 1 + index);
}

void MainWindow::on_action_Exel_triggered()
{
    QString name = QFileDialog::getSaveFileName(this, tr(TableExport::SAVE_CAPTION), QString(),
                                                tr(TableExport::SAVE_FILTER));
    if (name.isEmpty())
        return;
    name = TableExport::exportFileName(name);
    QString error;
    if (!TableExport::write(ui->tableWidget_6, name, &error))
        Function::warn(this, QStringLiteral("Таблица не сохранена в файл «%1»: %2.")
                                 .arg(QDir::toNativeSeparators(name), error));
}

void MainWindow::on_action_2_triggered()
{
    if (!Function::confirm(this, QStringLiteral("Вы точно уверены что надо обновить таблицы?")))
        return;
    clear_tableWidgets();
    Function::inform(this, QStringLiteral("Таблицы обновлены"));
}

void MainWindow::on_action_6_triggered()
{
    // Without a current row there is nobody to delete: say so rather than
    // ask about nothing.
    QTableWidget *t = ui->tableWidget_6;
    // Several rows can be selected for the service cards; a deletion stays
    // one serviceman at a time.
    if (t->selectionModel()->selectedRows().size() > 1) {
        Function::inform(this, QStringLiteral("Выделено несколько записей. Удаляется одна запись за раз: "
                                              "выделите строку одного военнослужащего."));
        return;
    }
    const QTableWidgetItem *item = t->currentRow() < 0 ? nullptr : t->item(t->currentRow(), 5);
    if (!item) {
        Function::inform(this, QStringLiteral("Запись не выбрана: выделите в таблице строку "
                                                "военнослужащего, которого надо удалить."));
        return;
    }
    if (!Function::confirm(this, QStringLiteral("Вы точно уверены что надо удалить?")))
        return;
    const QString ln = item->text();
    qDebug() << ln;
    qstr = QString::fromLatin1(Sql::DELETE_COMBAT_MAIN).arg(Function::q(ln));
    const QSqlQuery query = Function::Myquery(qstr);
    if (!query.isActive())
        Function::warnFailure(this, QStringLiteral("Запись не удалена"), query.lastError());
    clear_tableWidgets();
}

void MainWindow::on_action_triggered()
{
    if (!Function::confirm(this, QStringLiteral("Вы точно уверены что надо создать резервную копию?")))
        return;
    const QString folder = Function::databaseFolder();
    const QString target = DatabaseCopy::backupName(folder, QDateTime::currentDateTime());
    QString error;
    if (DatabaseCopy::backup(DatabaseCopy::liveName(folder), target, &error))
        Function::inform(this, QStringLiteral("Резервная копия создана"));
    else
        Function::warn(this, QStringLiteral("Резервная копия не создана: %1.").arg(error));
}

void MainWindow::on_action_9_triggered()
{
    if (!Function::confirm(this, QStringLiteral("Вы точно уверены что востановить резервную копию?")))
        return;
    const QString folder = Function::databaseFolder();
    db.close();
    const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("Open file»"), folder,
                                                        QStringLiteral("File Base (*.db)"));
    // Refused: nothing chosen, the live file under its own name or another
    // name for it, or a file that is not a sound database.
    if (chosen.isEmpty() || chosen.section(QLatin1Char('/'), -1, -1) == QLatin1String("BaseDate.db") ||
        DatabaseCopy::sameFile(chosen, DatabaseCopy::liveName(folder)) || !DatabaseCopy::isDatabase(chosen)) {
        Function::warn(this, QStringLiteral("Некорректный формат базы данных"));
        reopenDatabase();
        return;
    }
    QString error;
    bool replaced = false;
    if (!DatabaseCopy::restore(chosen, folder, &replaced, &error)) {
        // Untouched, the live file is opened again; a replaced one is not
        // opened beside the old journal files.
        if (!replaced)
            reopenDatabase();
        Function::warn(this, QStringLiteral("Резервная копия не восстановлена: %1.").arg(error));
        return;
    }
    QString reason;
    if (!Connection::reopen(&reason)) {
        clear_tableWidgets();
        Function::warn(this, QStringLiteral("База данных заменена копией «%1», но не открылась: %2. "
                                            "Прежняя база сохранена в файле «BaseDate_old.db».")
                                 .arg(QFileInfo(chosen).fileName(), reason));
        return;
    }
    clear_tableWidgets();
    Function::inform(this, QStringLiteral("База восстановлена"));
}

void MainWindow::on_action_3_triggered()
{
    if (!Function::confirm(this, QStringLiteral("Вы точно уверены что вывести на печать?")))
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    // Twelve columns fit across a page only when it lies on its side; the
    // dialog lets the user choose otherwise.
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const Paper::Document document = TablePrint::document(ui->tableWidget_6, QDate::currentDate());
    Printing::ProgressBox box(this, QStringLiteral("Печать"));
    QString error;
    if (Printing::print(document, &printer, box.progress(), &error) == Printing::Outcome::Failed)
        Function::warn(this, QStringLiteral("Таблица не напечатана: %1.").arg(error));
}

void MainWindow::on_action_preview_triggered()
{
    const Paper::Document document = TablePrint::document(ui->tableWidget_6, QDate::currentDate());
    Printing::preview(this, document, QPageLayout::Landscape,
                      {QStringLiteral("Предварительный просмотр"), QStringLiteral("Таблица не напечатана"),
                       QStringLiteral("Таблица не сохранена")});
}

QStringList MainWindow::chosenPersonalNumbers() const
{
    const QTableWidget *t = ui->tableWidget_6;
    QList<int> rows;
    for (const QModelIndex &index : t->selectionModel()->selectedRows())
        rows.append(index.row());
    if (rows.isEmpty() && t->currentRow() >= 0)
        rows.append(t->currentRow());
    std::sort(rows.begin(), rows.end());
    QStringList numbers;
    for (const int r : std::as_const(rows)) {
        if (const QTableWidgetItem *item = t->item(r, Columns::LN))
            numbers.append(item->text());
    }
    return numbers;
}

void MainWindow::on_action_card_triggered()
{
    const QStringList numbers = chosenPersonalNumbers();
    if (numbers.isEmpty()) {
        Function::inform(this, QStringLiteral("Запись не выбрана: выделите в таблице строку военнослужащего, "
                                              "чью служебную карточку надо составить."));
        return;
    }
    CardPrint::show(this, numbers);
}

void MainWindow::on_tableWidget_6_customContextMenuRequested(const QPoint &position)
{
    if (ui->tableWidget_6->rowAt(position.y()) < 0)
        return;
    QMenu menu(this);
    menu.addAction(ui->action_card);
    menu.exec(ui->tableWidget_6->viewport()->mapToGlobal(position));
}

void MainWindow::on_action_5_triggered()
{
    if (Function::confirm(this, QStringLiteral("Вы точно уверены что надо выйти?")))
        close();
}

void MainWindow::on_action_8_triggered()
{
    auto *about = new abprog(nullptr);
    OpenWindows::show(about);
    connect(about, SIGNAL(tap()), this, SLOT(visible_set()));
}

void MainWindow::on_action_4_triggered()
{
    // A window of its own, without an owner; closing it refills the summary table.
    auto *list = new voenosluga(nullptr);
    OpenWindows::show(list);
    connect(list, SIGNAL(sig_close()), this, SLOT(clear_tableWidgets()));
}

void MainWindow::on_action_10_triggered()
{
    OpenWindows::show(new settings(nullptr));
}

void MainWindow::on_action_7_triggered()
{
    toggleColumn(ui->action_7, 0);
}

void MainWindow::on_action_11_triggered()
{
    toggleColumn(ui->action_11, 1);
}

void MainWindow::on_action_12_triggered()
{
    toggleColumn(ui->action_12, 2);
}

void MainWindow::on_action_18_triggered()
{
    toggleColumn(ui->action_18, 3);
}

void MainWindow::on_action_19_triggered()
{
    toggleColumn(ui->action_19, 5);
}

void MainWindow::visible_set()
{
    qDebug() << "1";
    ui->action_10->setVisible(true);
}

void MainWindow::on_action_20_triggered()
{
    toggleColumn(ui->action_20, 4);
}

void MainWindow::toggleColumn(const QAction *action, int column)
{
    ui->tableWidget_6->setColumnHidden(column, !action->isChecked());
    // The menu opens again at its place, so that several columns can be
    // chosen one after another.
    ui->menu_4->show();
}

bool MainWindow::reopenDatabase()
{
    QString reason;
    if (Connection::reopen(&reason))
        return true;
    qDebug() << reason;
    return false;
}
