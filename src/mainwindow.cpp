#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "abprog.h"
#include "function.h"
#include "settings.h"

#include <QBrush>
#include <QCloseEvent>
#include <QColor>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QSettings>
#include <QSqlError>
#include <QTableWidgetItem>
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
    // Opening succeeds on any file; the first read tells whether it is a database.
    QSqlQuery probe = Function::Myquery(QString::fromLatin1(Sql::PROBE));
    if (!probe.isActive()) {
        const QString reason = probe.lastError().databaseText();
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

void MainWindow::recordfile(const QString &ln, const QString &code)
{
    Q_UNUSED(ln);
    Q_UNUSED(code);
}

void MainWindow::clear_tableWidgets()
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

    const QBrush stripe(QColor(240, 240, 240, 226), Qt::SolidPattern);
    t->setRowCount(static_cast<int>(order.size()));
    for (int r = 0; r < static_cast<int>(order.size()); ++r) {
        const std::array<QString, COLUMNS> &row = rows[order[r]];
        for (int c = 0; c < COLUMNS; ++c) {
            auto *item = new QTableWidgetItem(row[c]);
            if (r % 2 == 0)
                item->setBackground(stripe);
            if (c >= COL_FIRST_COUNT && c <= COL_LAST_COUNT) {
                str_3 = row[c];
                if (str_3 != QLatin1String("0") && !str_3.isEmpty())
                    item->setBackground(QBrush(countColour(c), Qt::SolidPattern));
            }
            if (c >= 5 && c <= 12)
                item->setTextAlignment(Qt::AlignCenter);
            t->setItem(r, c, item);
        }
    }
    t->horizontalHeader()->setStretchLastSection(false);
    // The name column is fitted first so that the row heights follow its width.
    t->resizeColumnToContents(COL_FIO);
    Function::fitRowHeights(t);
    t->setUpdatesEnabled(true);
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
}

void MainWindow::on_pushButton_2_clicked()
{
}

void MainWindow::on_tableWidget_6_cellDoubleClicked(int row, int column)
{
    Q_UNUSED(row);
    Q_UNUSED(column);
}

void MainWindow::on_comboBox_activated(int index)
{
    Q_UNUSED(index);
}

void MainWindow::on_action_Exel_triggered()
{
}

void MainWindow::on_action_2_triggered()
{
}

void MainWindow::on_action_6_triggered()
{
}

void MainWindow::on_action_triggered()
{
}

void MainWindow::on_action_9_triggered()
{
}

void MainWindow::on_action_3_triggered()
{
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
}

void MainWindow::on_action_10_triggered()
{
    auto *window = new settings(nullptr);
    window->show();
}

void MainWindow::on_action_7_triggered()
{
}

void MainWindow::on_action_11_triggered()
{
}

void MainWindow::on_action_12_triggered()
{
}

void MainWindow::on_action_18_triggered()
{
}

void MainWindow::on_action_19_triggered()
{
}

void MainWindow::visible_set()
{
    qDebug() << "1";
    ui->action_10->setVisible(true);
}

void MainWindow::on_action_20_triggered()
{
}
