#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "abprog.h"
#include "addfile.h"
#include "databasecopy.h"
#include "function.h"
#include "settings.h"
#include "tableexport.h"
#include "voenosluga.h"

#include <QBrush>
#include <QCloseEvent>
#include <QColor>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QSettings>
#include <QSignalBlocker>
#include <QSqlError>
#include <QTableWidgetItem>
#include <QTextDocument>
#include <QTextOption>
#include <QTextStream>

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr int COLUMNS = 14;
constexpr int COL_VP = 0;
constexpr int COL_FIO = 3;
constexpr int COL_FIRST_COUNT = 6;
constexpr int COL_LAST_COUNT = 11;

// Background of a non-zero count, by column 6 to 11.
Qt::GlobalColor countColour(int column)
{
    switch (column) {
    case 6:
        return Qt::red;
    case 8:
    case 10:
        return Qt::yellow;
    default:
        return Qt::cyan;
    }
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , filename(QStringLiteral("log"))
{
    ui->setupUi(this);
    QHeaderView *horizontal = ui->tableWidget_6->horizontalHeader();
    QHeaderView *vertical = ui->tableWidget_6->verticalHeader();
    horizontal->setSectionResizeMode(QHeaderView::Fixed);
    vertical->setSectionResizeMode(QHeaderView::Fixed);
    horizontal->setStyleSheet(QStringLiteral("border: 1px solid black"));
    vertical->setStyleSheet(QStringLiteral("border: 1px solid black"));
    ui->tableWidget_6->setColumnHidden(12, true);
    ui->tableWidget_6->setColumnHidden(13, true);
    openDatabase();
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::openDatabase()
{
    // Reading the settings also marks settings.ini hidden.
    const QString fileName = Function::databaseFolder() + QStringLiteral("/BaseDate.db");
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(fileName);
    // A second copy of the program may be writing: wait for it a while
    // instead of failing at once.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    // SQLite would silently create an empty database where none exists.
    if (!QFileInfo(fileName).isFile()) {
        reportDatabaseFailure(fileName, QStringLiteral("файл не найден"));
        return;
    }
    if (!db.open()) {
        reportDatabaseFailure(fileName, db.lastError().databaseText());
        return;
    }
    // Opening succeeds on any file; the first read tells whether it is a
    // database. An empty file reads as a database without a single table.
    QSqlQuery probe = Function::Myquery(QString::fromLatin1(Sql::PROBE));
    const bool read = probe.isActive();
    if (!read || (probe.next() && probe.value(0).toInt() == 0)) {
        const QString reason =
            read ? QStringLiteral("в файле нет ни одной таблицы") : probe.lastError().databaseText();
        probe = QSqlQuery();
        db.close();
        reportDatabaseFailure(fileName, reason);
        return;
    }
    probe = QSqlQuery();

    QTableWidget *t = ui->tableWidget_6;
    t->setColumnWidth(0, 50);
    t->setColumnWidth(1, 100);
    t->setColumnWidth(2, 100);
    t->setColumnWidth(5, 100);
    t->setColumnWidth(4, 90);
    QFont headerFont(QStringLiteral("Times New Roman"), 11);
    headerFont.setBold(true);
    for (int c = 0; c < t->columnCount(); ++c) {
        if (QTableWidgetItem *h = t->horizontalHeaderItem(c))
            h->setFont(headerFont);
    }
    for (int c = COL_FIRST_COUNT; c < t->columnCount(); ++c)
        t->setColumnWidth(c, 130);
    const std::array<std::pair<int, const char *>, 6> twoLine{{
        {2, "Воинское\nзвание"},
        {4, "Дата\nрождения"},
        {5, "Личный\nномер"},
        {9, "Знаки отличия\nМО РФ"},
        {10, "Государственные\nнаграды"},
        {11, "Ветеран\nвоенной службы"},
    }};
    for (const auto &[column, text] : twoLine)
        t->horizontalHeaderItem(column)->setText(QString::fromUtf8(text));
    // The widths are set before the first fill so that the row heights are
    // measured against the widths the user sees.
    clear_tableWidgets();
}

void MainWindow::reportDatabaseFailure(const QString &fileName, const QString &reason)
{
    const QString tail = QStringLiteral("Обращение к базе завершено  с ошибкой");
    QFile file(filename);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        QTextStream out(&file);
        out << reason << tail << "\n";
        file.close();
    }
    qDebug() << reason << tail;
    QMessageBox::warning(this, QStringLiteral("Ошибка"),
                         QStringLiteral("Не удалось открыть базу данных «%1»: %2.\n\n"
                                        "Проверьте путь до базы в настройках. Новую базу данных "
                                        "создаёт запуск программы с параметром --ver.")
                             .arg(QFileInfo(fileName).absoluteFilePath(), reason),
                         QMessageBox::Ok);
}

namespace {

constexpr int COL_LN = 5;
// The category of each count column, from column 6 on.
constexpr std::array<const char *, 6> CATEGORY_CODES{Code::VZS,  Code::BLAG,   Code::GR,
                                                     Code::ZOMO, Code::GOSNAG, Code::POSH};

bool isCategoryCode(const QString &code)
{
    return std::any_of(CATEGORY_CODES.cbegin(), CATEGORY_CODES.cend(),
                       [&code](const char *c) { return code == QLatin1String(c); });
}

} // namespace

void MainWindow::recordfile(const QString &ln, const QString &code)
{
    // The code stands in the statement as a column name: only the six codes.
    if (!isCategoryCode(code))
        return;
    int count = 0;
    if (code == QLatin1String(Code::VZS)) {
        qstr = QString::fromLatin1(Sql::COUNT_VZS_1) + Function::q(ln) +
               QString::fromLatin1(Sql::COUNT_VZS_2) + Function::q(code) +
               QString::fromLatin1(Sql::COUNT_VZS_3);
        query = Function::Myquery(qstr);
        // Only penalties in force count; lifted ones hold 0.
        while (query.next()) {
            if (query.value(0).toInt() == 1)
                ++count;
        }
    } else {
        qstr = QString::fromLatin1(Sql::COUNT_OTHER_1).arg(QStringLiteral("prikaz")) + Function::q(ln) +
               QString::fromLatin1(Sql::COUNT_OTHER_2) + Function::q(code) +
               QString::fromLatin1(Sql::COUNT_OTHER_3);
        query = Function::Myquery(qstr);
        while (query.next())
            ++count;
    }
    const bool counted = query.isActive();
    const QSqlError countError = query.lastError();
    query.finish();
    if (!counted) {
        // A count that could not be read is not written as 0.
        Function::warnFailure(this, QStringLiteral("Количество приказов не пересчитано"), countError);
    } else {
        qstr = QString::fromLatin1(Sql::UPDATE_COUNT_1) + code +
               QString::fromLatin1(Sql::UPDATE_COUNT_2).arg(count) + Function::q(ln) +
               QString::fromLatin1(Sql::UPDATE_COUNT_3);
        query = Function::Myquery(qstr);
        if (!query.isActive())
            Function::warnFailure(this, QStringLiteral("Количество приказов не записано"), query.lastError());
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
    query = Function::Myquery(qstr);
    std::vector<std::array<QString, COLUMNS>> rows;
    while (query.next()) {
        std::array<QString, COLUMNS> row;
        for (int c = 0; c < COLUMNS; ++c)
            row[c] = query.value(c).toString();
        rows.push_back(std::move(row));
    }
    query.finish();

    // Rows whose unit number does not read as a non-zero whole number come
    // first, in natural order; equal numbers keep the order of the query.
    // The rest follow in the order of the query.
    std::vector<int> order;
    std::vector<int> others;
    order.reserve(rows.size());
    for (int i = 0; i < static_cast<int>(rows.size()); ++i)
        (rows[i][COL_VP].toInt() == 0 ? order : others).push_back(i);
    std::stable_sort(order.begin(), order.end(), [&rows](int a, int b) {
        return Function::compareStrings(rows[a][COL_VP], rows[b][COL_VP]);
    });
    order.insert(order.end(), others.begin(), others.end());

    // The places in the full table of the rows that are put in.
    std::vector<int> kept;
    kept.reserve(order.size());
    for (int r = 0; r < static_cast<int>(order.size()); ++r) {
        const std::array<QString, COLUMNS> &row = rows[order[r]];
        if (filter.isEmpty() || std::any_of(row.begin(), row.end(), [&filter](const QString &cell) {
                return cell.contains(filter, Qt::CaseInsensitive);
            }))
            kept.push_back(r);
    }

    const QBrush stripe(QColor(240, 240, 240, 226), Qt::SolidPattern);
    QBrush countBrushes[COLUMNS];
    for (int c = COL_FIRST_COUNT; c <= COL_LAST_COUNT; ++c)
        countBrushes[c] = QBrush(countColour(c), Qt::SolidPattern);
    t->setRowCount(static_cast<int>(kept.size()));
    // The view learns of the new rows above; telling it of every cell put
    // into them one by one would cost more than the cells themselves, so the
    // model is quiet while they go in and the viewport is repainted after.
    QSignalBlocker quiet(t->model());
    for (int k = 0; k < static_cast<int>(kept.size()); ++k) {
        const int r = kept[k];
        const std::array<QString, COLUMNS> &row = rows[order[r]];
        for (int c = 0; c < COLUMNS; ++c) {
            auto *item = new QTableWidgetItem(row[c]);
            if (r % 2 == 0)
                item->setBackground(stripe);
            if (c >= COL_FIRST_COUNT && c <= COL_LAST_COUNT) {
                str_3 = row[c];
                if (str_3 != QLatin1String("0") && !str_3.isEmpty())
                    item->setBackground(countBrushes[c]);
            }
            if (c >= 5 && c <= 12)
                item->setTextAlignment(Qt::AlignCenter);
            t->setItem(k, c, item);
        }
    }
    quiet.unblock();
    t->horizontalHeader()->setStretchLastSection(false);
    // The name column fits every name of the full table, also those a search
    // leaves out, and is fitted first so that the row heights follow it.
    QStringList names;
    names.reserve(static_cast<qsizetype>(order.size()));
    for (int i : order)
        names.append(rows[i][COL_FIO]);
    Function::fitColumnWidth(t, COL_FIO, &names);
    Function::fitRowHeights(t);
    t->setUpdatesEnabled(true);
    t->viewport()->update();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (Function::confirm(QStringLiteral("Вы планируете выйти из программы?")))
        event->accept();
    else
        event->ignore();
}

void MainWindow::on_pushButton_clicked()
{
    const QString text = ui->lineEdit->text().trimmed();
    if (text.isEmpty()) {
        clear_tableWidgets();
        QMessageBox::warning(this, QStringLiteral("Ошибка"), QStringLiteral("Поиск пуст"), QMessageBox::Ok);
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
    QMessageBox::information(this, QStringLiteral("Оповещение"), QStringLiteral("Сброс выполнен"),
                             QMessageBox::Ok);
}

void MainWindow::on_tableWidget_6_cellDoubleClicked(int row, int column)
{
    // Only the count columns open a serviceman's orders.
    if (column < COL_FIRST_COUNT || column > COL_LAST_COUNT)
        return;
    QTableWidget *t = ui->tableWidget_6;
    auto text = [t, row](int c) {
        const QTableWidgetItem *item = t->item(row, c);
        return item ? item->text() : QString();
    };
    LN = text(COL_LN);
    WTS = QString::fromLatin1(CATEGORY_CODES[column - COL_FIRST_COUNT]);
    auto *orders = new addfile(LN, WTS, text(COL_FIO));
    orders->show();
    connect(orders, SIGNAL(wtf(QString, QString)), this, SLOT(recordfile(QString, QString)));
}

void MainWindow::on_comboBox_activated(int index)
{
    // Item 0 shows every category column, item 1 to 6 only the column 5 + index.
    if (index < 0 || index > 6)
        return;
    for (int c = COL_FIRST_COUNT; c <= COL_LAST_COUNT; ++c)
        ui->tableWidget_6->setColumnHidden(c, index != 0 && c != COL_FIRST_COUNT - 1 + index);
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
        QMessageBox::warning(this, QStringLiteral("Ошибка"),
                             QStringLiteral("Таблица не сохранена в файл «%1»: %2.")
                                 .arg(QDir::toNativeSeparators(name), error),
                             QMessageBox::Ok);
}

void MainWindow::on_action_2_triggered()
{
    if (!Function::confirm(QStringLiteral("Вы точно уверены что надо обновить таблицы?")))
        return;
    clear_tableWidgets();
    QMessageBox::information(this, QStringLiteral("Оповещение"), QStringLiteral("Таблицы обновлены"),
                             QMessageBox::Ok);
}

void MainWindow::on_action_6_triggered()
{
    // Without a current row there is nobody to delete: say so rather than
    // ask about nothing.
    QTableWidget *t = ui->tableWidget_6;
    const QTableWidgetItem *item = t->currentRow() < 0 ? nullptr : t->item(t->currentRow(), 5);
    if (!item) {
        QMessageBox::information(this, QStringLiteral("Оповещение"),
                                 QStringLiteral("Запись не выбрана: выделите в таблице строку "
                                                "военнослужащего, которого надо удалить."),
                                 QMessageBox::Ok);
        return;
    }
    if (!Function::confirm(QStringLiteral("Вы точно уверены что надо удалить?")))
        return;
    const QString ln = item->text();
    qDebug() << ln;
    qstr = QString::fromLatin1(Sql::DELETE_COMBAT_MAIN).arg(Function::q(ln));
    query = Function::Myquery(qstr);
    if (!query.isActive())
        Function::warnFailure(this, QStringLiteral("Запись не удалена"), query.lastError());
    clear_tableWidgets();
}

void MainWindow::on_action_triggered()
{
    if (!Function::confirm(QStringLiteral("Вы точно уверены что надо создать резервную копию?")))
        return;
    const QString folder = Function::databaseFolder();
    const QString target = DatabaseCopy::backupName(folder, QDateTime::currentDateTime());
    QString error;
    if (DatabaseCopy::backup(DatabaseCopy::liveName(folder), target, &error))
        QMessageBox::information(this, QStringLiteral("Оповещение"),
                                 QStringLiteral("Резервная копия создана"), QMessageBox::Ok);
    else
        QMessageBox::warning(this, QStringLiteral("Ошибка"),
                             QStringLiteral("Резервная копия не создана: %1.").arg(error), QMessageBox::Ok);
}

void MainWindow::on_action_9_triggered()
{
    if (!Function::confirm(QStringLiteral("Вы точно уверены что востановить резервную копию?")))
        return;
    const QString folder = Function::databaseFolder();
    query = QSqlQuery();
    db.close();
    const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("Open file»"), folder,
                                                        QStringLiteral("File Base (*.db)"));
    // Refused: nothing chosen, the live file under its own name or another
    // name for it, or a file that is not a sound database.
    if (chosen.isEmpty() || chosen.section(QLatin1Char('/'), -1, -1) == QLatin1String("BaseDate.db") ||
        DatabaseCopy::sameFile(chosen, DatabaseCopy::liveName(folder)) || !DatabaseCopy::isDatabase(chosen)) {
        QMessageBox::warning(this, QStringLiteral("Ошибка"),
                             QStringLiteral("Некорректный формат базы данных"), QMessageBox::Ok);
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
        QMessageBox::warning(this, QStringLiteral("Ошибка"),
                             QStringLiteral("Резервная копия не восстановлена: %1.").arg(error),
                             QMessageBox::Ok);
        return;
    }
    if (!reopenDatabase()) {
        clear_tableWidgets();
        QMessageBox::warning(this, QStringLiteral("Ошибка"),
                             QStringLiteral("База данных заменена копией «%1», но не открылась: %2. "
                                            "Прежняя база сохранена в файле «BaseDate_old.db».")
                                 .arg(QFileInfo(chosen).fileName(), Function::describeError(db.lastError())),
                             QMessageBox::Ok);
        return;
    }
    clear_tableWidgets();
    QMessageBox::information(this, QStringLiteral("Оповещение"), QStringLiteral("База восстановлена"),
                             QMessageBox::Ok);
}

void MainWindow::on_action_3_triggered()
{
    if (!Function::confirm(QStringLiteral("Вы точно уверены что вывести на печать?")))
        return;
    QPrinter printer(QPrinter::HighResolution);
    // Twelve columns fit across a page only when it lies on its side; the
    // dialog lets the user choose otherwise.
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QTextDocument document;
    document.setDefaultFont(ui->tableWidget_6->font());
    // Lines break between words only, so that no word is cut in two.
    QTextOption wrapping = document.defaultTextOption();
    wrapping.setWrapMode(QTextOption::WordWrap);
    document.setDefaultTextOption(wrapping);
    document.setHtml(TableExport::html(ui->tableWidget_6, QStringLiteral("red")));
    document.print(&printer);
    if (printer.printerState() == QPrinter::Error)
        QMessageBox::warning(
            this, QStringLiteral("Ошибка"),
            QStringLiteral("Таблица не напечатана: принтер «%1» сообщил об ошибке.")
                .arg(printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName()),
            QMessageBox::Ok);
}

void MainWindow::on_action_5_triggered()
{
    if (Function::confirm(QStringLiteral("Вы точно уверены что надо выйти?")))
        close();
}

void MainWindow::on_action_8_triggered()
{
    auto *about = new abprog(nullptr);
    about->show();
    connect(about, SIGNAL(tap()), this, SLOT(visible_set()));
}

void MainWindow::on_action_4_triggered()
{
    // A window of its own, without an owner; closing it refills the summary table.
    auto *list = new voenosluga(nullptr);
    list->show();
    connect(list, SIGNAL(sig_close()), this, SLOT(clear_tableWidgets()));
}

void MainWindow::on_action_10_triggered()
{
    auto *window = new settings(nullptr);
    window->show();
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
    // Opening would make an empty database where the file has gone.
    if (!QFileInfo(db.databaseName()).isFile()) {
        qDebug() << "no database file" << db.databaseName();
        return false;
    }
    if (!db.open()) {
        qDebug() << db.lastError().databaseText();
        return false;
    }
    return true;
}
