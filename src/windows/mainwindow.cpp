#include "windows/mainwindow.h"
#include "ui_mainwindow.h"

#include "storage/register/attachmentremoval.h"
#include "storage/db/connection.h"
#include "storage/copies/databasecopy.h"
#include "storage/setup/paths.h"
#include "storage/setup/settings.h"
#include "storage/db/errorlog.h"
#include "storage/register/recount.h"
#include "storage/register/servicemen.h"
#include "storage/db/sql.h"
#include "storage/db/serverconnection.h"
#include "view/columns.h"
#include "view/dialogs.h"
#include "view/openwindows.h"
#include "view/readonly.h"
#include "windows/abprog.h"
#include "windows/addfile.h"
#include "windows/reports.h"
#include "windows/databasecommands.h"
#include "windows/settings.h"
#include "windows/summaryoutput.h"
#include "windows/summarytable.h"
#include "windows/grouplift.h"
#include "windows/grouporder.h"
#include "windows/history.h"
#include "windows/importwindow.h"
#include "windows/voenosluga.h"

#include <QCloseEvent>
#include <QDebug>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QSqlError>
#include <QStatusBar>
#include <QTableWidgetItem>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    Columns::fixHeaders(ui->tableWidget_6);
    ui->tableWidget_6->setColumnHidden(SummaryColumns::POSITION_NUMBER, true);
    ui->tableWidget_6->setColumnHidden(SummaryColumns::RANK_NUMBER, true);
    summary = new SummaryTable({ui->tableWidget_6, ui->comboBox, ui->checkBox, ui->comboBox_2, ui->checkBox_2,
                                ui->label_2, ui->label_3},
                               this);
    setUpKeys();
    setUpFitToWindow();
    // How many are shown on the left, the reminder of old penalties on the right.
    ui->statusBar->addWidget(ui->label_2, 1);
    ui->statusBar->addPermanentWidget(ui->label_3);
    ui->label_3->hide();
    // A long note is cut rather than widen the window; its tool tip and the
    // log hold it whole.
    startNote = new QLabel(this);
    startNote->setObjectName(QStringLiteral("label_start"));
    startNote->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    startNote->hide();
    ui->statusBar->addWidget(startNote, 5);
    plainNote = new QLabel(QStringLiteral("Соединение с сервером не зашифровано"), this);
    plainNote->setObjectName(QStringLiteral("label_plain"));
    plainNote->setToolTip(QStringLiteral("Данные и пароль идут по сети открыто. Шифрование включается на "
                                         "сервере и в настройках («Шифрование соединения»)."));
    plainNote->hide();
    ui->statusBar->addPermanentWidget(plainNote);
    // libpq knows it without asking the server; a connection made again
    // after a break may differ from the first.
    connect(summary, &SummaryTable::filled, this,
            [this] { plainNote->setVisible(Connection::unencrypted(db)); });
    // A viewer's connection says so for as long as the window lives.
    readOnlyNote = new QLabel(QStringLiteral("Только просмотр"), this);
    readOnlyNote->setObjectName(QStringLiteral("label_readOnly"));
    readOnlyNote->hide();
    ui->statusBar->addPermanentWidget(readOnlyNote);
    commands = std::make_unique<DatabaseCommands>(this, db, [this] { clear_tableWidgets(); });
    commands->openAgain = [this] { openDatabase(true); };
    // A roster and its orders from a spreadsheet; the summary is refilled
    // when they are written.
    QAction *import = ui->menu->addAction(QStringLiteral("Импорт из таблицы…"));
    import->setObjectName(QStringLiteral("action_import"));
    import->setToolTip(QStringLiteral("Военнослужащие и приказы из файла .xlsx, .ods, .xls или .csv"));
    connect(import, &QAction::triggered, this, [this] {
        connect(ImportWindow::open(), &ImportWindow::imported, this, &MainWindow::clear_tableWidgets);
    });
    // One order for several servicemen, none ticked at the start.
    QAction *group = ui->menu->addAction(QStringLiteral("Приказ для нескольких…"));
    group->setObjectName(QStringLiteral("action_group"));
    group->setToolTip(QStringLiteral("Один приказ сразу нескольким военнослужащим"));
    connect(group, &QAction::triggered, this, [this] { openGroupOrder({}); });
    // Several penalties lifted by one order, everyone's listed.
    QAction *lift = ui->menu->addAction(QStringLiteral("Снять взыскания приказом…"));
    lift->setObjectName(QStringLiteral("action_groupLift"));
    lift->setToolTip(QStringLiteral("Одним приказом снять несколько взысканий"));
    connect(lift, &QAction::triggered, this, [this] { openGroupLift({}); });
    // The history of the whole register, last in the "Файл" menu.
    QAction *history = ui->menu->addAction(QStringLiteral("История изменений"));
    history->setObjectName(QStringLiteral("action_history"));
    history->setToolTip(QStringLiteral("Кто, когда и что изменил в базе данных"));
    connect(history, &QAction::triggered, this, [] { HistoryWindow::open(); });
    openDatabase();
}

MainWindow::~MainWindow()
{
    // A daily copy under way is stopped; its unfinished file goes.
    commands.reset();
    // The windows it opened do not outlive it.
    OpenWindows::deleteAll();
    delete ui;
}

bool MainWindow::openDatabase(bool again)
{
    QString where;
    // Settings that are there but cannot be read leave the standard folder,
    // which is not where the user keeps his database.
    const QString settingsProblem = again ? QString() : Settings::settingsProblem();
    // What a copy of the program killed while writing a backup or restoring
    // one left behind in the database folder.
    DatabaseCopy::removeStaleParts(Settings::databaseFolder());
    QString reason;
    bool opened = false;
    if (again && !Settings::serverChosen()) {
        // The program's connection is there, closed: it is opened again on
        // the file settings.ini names now.
        const QString fileName = Settings::databaseFile();
        where = QStringLiteral("«%1»").arg(QFileInfo(fileName).absoluteFilePath());
        opened = Connection::openAgain(fileName, &reason);
    } else {
        // The connection is made anew; this window lets go of the old one.
        db = QSqlDatabase();
        opened = Connection::openChosen(
            [this](const Settings::Server &server, QString *password) {
                return Dialogs::askPassword(this, server.user, Connection::describe(server), password);
            },
            &where, &reason);
    }
    db = QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
    if (!settingsProblem.isEmpty())
        tellAtStart({QStringLiteral("Файл настроек %1 не прочитан (%2): %3 база данных по умолчанию %4.")
                         .arg(QString::fromLatin1(Paths::SETTINGS_FILE), settingsProblem,
                              opened ? QStringLiteral("открыта") : QStringLiteral("не открылась"), where)});
    if (!opened) {
        ui->label_2->setText(QStringLiteral("База данных не открыта"));
        reportDatabaseFailure(where, reason);
        return false;
    }
    // The widths are set before the first fill so that the row heights are
    // measured against the widths the user sees.
    Columns::applyLayout(ui->tableWidget_6, SummaryColumns::SUMMARY);
    summary->layoutApplied();
    showReadOnly();
    // Counts a program left wrong when it ended with an orders window open
    // are put right before the table first shows them (a viewer may not).
    if (!ReadOnly::active()) {
        if (const QString failure = Recount::atStart(); !failure.isEmpty())
            tellAtStart({failure});
        // What a stop during an attachment or a removal of one left.
        tellAtStart(Attachments::finishInterrupted());
    }
    if (!again)
        clear_tableWidgets();
    return true;
}

void MainWindow::showReadOnly()
{
    // Backups, printing and exports only read: they stay.
    if (!ReadOnly::disable({}, {ui->action_6, ui->action_9, ui->action_21,
                                findChild<QAction *>(QStringLiteral("action_import")),
                                findChild<QAction *>(QStringLiteral("action_group")),
                                findChild<QAction *>(QStringLiteral("action_groupLift"))}))
        return;
    readOnlyNote->setToolTip(Connection::readOnlyReason());
    readOnlyNote->show();
    // A disabled command says why when the pointer rests on it.
    for (QMenu *menu : findChildren<QMenu *>())
        menu->setToolTipsVisible(true);
}

void MainWindow::setUpKeys()
{
    // Enter on a count cell opens that category's orders, as a double click.
    ui->tableWidget_6->installEventFilter(this);
    // Enter in the search line starts nothing: only "Поиск" searches.
    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        ui->lineEdit->setFocus(Qt::ShortcutFocusReason);
        ui->lineEdit->selectAll();
    });
}

void MainWindow::setUpFitToWindow()
{
    // Only a value written by the program turns it on; anything else in
    // settings.ini leaves the described widths.
    const bool fit = Settings::setting(Settings::FIT_TO_WINDOW_KEY).toString() == QLatin1String("true");
    summary->setFitToWindow(fit);
    ui->action_fitWidth->setChecked(fit);
    connect(ui->action_fitWidth, &QAction::triggered, this, [this](bool on) {
        summary->setFitToWindow(on);
        if (!Settings::storeSetting(Settings::FIT_TO_WINDOW_KEY, on))
            Dialogs::warn(this,
                           QStringLiteral("Выбор «По ширине окна» не запомнен: файл настроек %1 не удалось "
                                          "записать.")
                               .arg(QString::fromLatin1(Paths::SETTINGS_FILE)));
        summary->applyWidths();
    });
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    QTableWidget *t = ui->tableWidget_6;
    if (watched == t && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && t->currentRow() >= 0 &&
            !SummaryColumns::categoryOf(t->currentColumn()).isEmpty()) {
            on_tableWidget_6_cellDoubleClicked(t->currentRow(), t->currentColumn());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::reportDatabaseFailure(const QString &where, const QString &reason)
{
    const QString tail = QStringLiteral("Обращение к базе завершено  с ошибкой");
    Query::appendLog(reason + tail + QLatin1Char('\n'));
    qDebug() << reason << tail;
    // Nothing falls back to another database: the table stays empty. On a
    // server "--ver" helps only a database without tables, and that reason
    // names it itself.
    const QString check =
        Sql::onServer(db) ? QStringLiteral("Проверьте подключение к серверу в окне «Настройки» («Вид базы "
                                           "данных»).")
        : Paths::isVerifiedDatabase(db.databaseName())
            ? QStringLiteral("Проверьте путь до базы в настройках. Новую базу данных создаёт запуск программы "
                             "с параметром --ver.")
            // "--ver" works on data/BaseDate.db alone.
            : QStringLiteral("Проверьте путь до базы в настройках. Если файл базы данных удалён или повреждён, "
                             "восстановите его из резервной копии командой «Востановление резервной копии» "
                             "(запуск с параметром --ver проверяет только базу в папке data).");
    // A database another program held is opened once it is free.
    Dialogs::warn(this,
                   QStringLiteral("Не удалось открыть базу данных %1: %2.\n\n%3 Когда причина устранена, "
                                  "откройте базу командой «Обновить таблицу».")
                       .arg(where, reason, check));
}

void MainWindow::tellAtStart(const QStringList &notes)
{
    if (notes.isEmpty())
        return;
    for (const QString &note : notes)
        Query::appendLog(note + QLatin1Char('\n'));
    QStringList all = startNote->text().isEmpty() ? QStringList() : QStringList{startNote->text()};
    all.append(notes);
    startNote->setText(all.join(QLatin1Char(' ')));
    startNote->setToolTip(all.join(QLatin1Char('\n')));
    startNote->show();
}

void MainWindow::recordfile(const QString &ln, const QString &code)
{
    // A viewer's orders window changed nothing: the stored counts stand.
    if (ReadOnly::active()) {
        clear_tableWidgets();
        return;
    }
    QSqlError error;
    switch (Recount::category(ln, code, &error)) {
    case Recount::Result::NotACategory:
        return;
    case Recount::Result::NotCounted:
        Dialogs::warnFailure(this, QStringLiteral("Количество приказов не пересчитано"), error);
        break;
    case Recount::Result::NotWritten:
        Dialogs::warnFailure(this,
                             {QStringLiteral("Количество приказов не записано"),
                              QStringLiteral("Неизвестно, записано ли количество приказов")},
                             error);
        break;
    case Recount::Result::Done:
        Recount::settled(ln, code);
        break;
    }
    clear_tableWidgets();
}

void MainWindow::clear_tableWidgets()
{
    // A refill brings back the rows a search left out; the row filters stay.
    summary->refill();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (Dialogs::confirm(this, QStringLiteral("Вы планируете выйти из программы?")))
        event->accept();
    else
        event->ignore();
}

void MainWindow::on_pushButton_clicked()
{
    const QString text = ui->lineEdit->text().trimmed();
    if (text.isEmpty()) {
        clear_tableWidgets();
        Dialogs::warn(this, QStringLiteral("Поиск пуст"));
        return;
    }
    ui->lineEdit->clear();
    // The full table refilled with only the rows that hold the text, in one
    // pass: the same rows, in the same order and look, as removing the others
    // from the full table.
    summary->search(text);
}

void MainWindow::on_pushButton_2_clicked()
{
    // The row filters go with the search; the category list and the shown
    // columns stay as they are.
    ui->checkBox->setChecked(false);
    ui->checkBox_2->setChecked(false);
    ui->comboBox_2->setCurrentIndex(0);
    clear_tableWidgets();
    Dialogs::inform(this, QStringLiteral("Сброс выполнен"));
}

void MainWindow::on_tableWidget_6_cellDoubleClicked(int row, int column)
{
    // Only the count columns open a serviceman's orders.
    const QString code = SummaryColumns::categoryOf(column);
    if (code.isEmpty())
        return;
    QTableWidget *t = ui->tableWidget_6;
    auto text = [t, row](int c) {
        const QTableWidgetItem *item = t->item(row, c);
        return item ? item->text() : QString();
    };
    LN = text(SummaryColumns::LN);
    WTS = code;
    auto *orders = new addfile(LN, WTS, text(SummaryColumns::FIO));
    OpenWindows::show(orders);
    connect(orders, SIGNAL(wtf(QString, QString)), this, SLOT(recordfile(QString, QString)));
}

void MainWindow::on_comboBox_activated(int index)
{
    // Item 0 shows every category column, item 1 to 6 only the column 5 + index.
    if (index < 0 || index > 6)
        return;
    for (int c = SummaryColumns::FIRST_COUNT; c <= SummaryColumns::LAST_COUNT; ++c)
        ui->tableWidget_6->setColumnHidden(c, index != 0 && c != SummaryColumns::FIRST_COUNT - 1 + index);
    // "Только с записями" follows the category chosen.
    if (ui->checkBox->isChecked())
        summary->fill(false);
    else if (summary->fitToWindow())
        summary->applyWidths();
}

void MainWindow::on_checkBox_clicked()
{
    summary->fill(false);
}

void MainWindow::on_comboBox_2_activated(int index)
{
    Q_UNUSED(index);
    summary->fill(false);
}

void MainWindow::on_checkBox_2_clicked()
{
    summary->fill(false);
}

void MainWindow::on_action_Exel_triggered()
{
    SummaryOutput::toFile(this, ui->tableWidget_6);
}

void MainWindow::on_action_2_triggered()
{
    if (!Dialogs::confirm(this, QStringLiteral("Вы точно уверены что надо обновить таблицы?")))
        return;
    // A database that could not be opened at start (another program held it,
    // or it was not there) is opened now.
    const bool opened = !db.isOpen();
    if (opened && !openDatabase(true))
        return;
    // A table that could not be read (the server stopped) is not "updated".
    const QSqlError error = summary->refill();
    if (error.isValid()) {
        Dialogs::warnFailure(this, QStringLiteral("Таблицы не обновлены"), error);
        return;
    }
    Dialogs::inform(this, opened ? QStringLiteral("База данных открыта. Таблицы обновлены")
                                  : QStringLiteral("Таблицы обновлены"));
}

void MainWindow::on_action_6_triggered()
{
    // Without a current row there is nobody to delete: say so rather than
    // ask about nothing.
    QTableWidget *t = ui->tableWidget_6;
    const QTableWidgetItem *item = t->currentRow() < 0 ? nullptr : t->item(t->currentRow(), 5);
    if (!item) {
        Dialogs::inform(this, QStringLiteral("Запись не выбрана: выделите в таблице строку "
                                              "военнослужащего, которого надо удалить."));
        return;
    }
    if (!Dialogs::confirm(this, QStringLiteral("Вы точно уверены что надо удалить?")))
        return;
    const QString ln = item->text();
    qDebug() << ln;
    QSqlError error;
    if (!Servicemen::remove(ln, Servicemen::From::Summary, &error))
        Dialogs::warnFailure(
            this, {QStringLiteral("Запись не удалена"), QStringLiteral("Неизвестно, удалена ли запись")}, error);
    clear_tableWidgets();
}

void MainWindow::on_action_triggered()
{
    commands->backup();
}

void MainWindow::backupDaily()
{
    commands->backupDaily();
}

bool MainWindow::dailyCopyRunning() const
{
    return commands->dailyCopyRunning();
}

void MainWindow::on_action_9_triggered()
{
    commands->restore();
}

void MainWindow::on_action_21_triggered()
{
    commands->transfer();
}

void MainWindow::on_action_3_triggered()
{
    SummaryOutput::print(this, ui->tableWidget_6);
}

void MainWindow::on_action_preview_triggered()
{
    SummaryOutput::preview(this, ui->tableWidget_6);
}

void MainWindow::on_action_reports_triggered()
{
    // The penalties opened from the report's list are recounted when their
    // window closes, as those opened from the summary table.
    ReportsWindow *reports = ReportsWindow::open();
    connect(reports, &ReportsWindow::ordersOpened, this, [this](addfile *orders) {
        connect(orders, SIGNAL(wtf(QString, QString)), this, SLOT(recordfile(QString, QString)));
    });
}

void MainWindow::on_action_card_triggered()
{
    SummaryOutput::cardOfCurrent(this, ui->tableWidget_6);
}

void MainWindow::on_action_cards_triggered()
{
    SummaryOutput::cardsOfShown(this, ui->tableWidget_6);
}

void MainWindow::on_tableWidget_6_customContextMenuRequested(const QPoint &position)
{
    if (ui->tableWidget_6->rowAt(position.y()) < 0)
        return;
    QMenu menu(this);
    menu.addAction(ui->action_card);
    menu.addAction(ui->action_cards);
    // The history of the serviceman of the row clicked.
    const int row = ui->tableWidget_6->rowAt(position.y());
    auto text = [this, row](int c) {
        const QTableWidgetItem *item = ui->tableWidget_6->item(row, c);
        return item ? item->text() : QString();
    };
    const QString ln = text(SummaryColumns::LN);
    const QString fio = text(SummaryColumns::FIO);
    if (!ln.isEmpty())
        menu.addAction(QStringLiteral("История изменений"), this, [ln, fio] { HistoryWindow::open(ln, fio); });
    // The rows chosen, or when at most one is, the rows shown, ticked.
    QAction *group = findChild<QAction *>(QStringLiteral("action_group"));
    QAction *forGroup = menu.addAction(group->text(), this, [this] { openGroupOrder(summaryChoice()); });
    forGroup->setEnabled(group->isEnabled());
    QAction *lift = findChild<QAction *>(QStringLiteral("action_groupLift"));
    menu.addAction(lift->text(), this, [this] { openGroupLift(summaryChoice()); })->setEnabled(lift->isEnabled());
    menu.exec(ui->tableWidget_6->viewport()->mapToGlobal(position));
}

QStringList MainWindow::summaryChoice() const
{
    QTableWidget *t = ui->tableWidget_6;
    const QModelIndexList chosen = t->selectionModel()->selectedRows(SummaryColumns::LN);
    QStringList lns;
    if (chosen.size() > 1) {
        for (const QModelIndex &index : chosen)
            lns.append(index.data().toString());
    } else {
        for (int r = 0; r < t->rowCount(); ++r)
            if (!t->isRowHidden(r) && t->item(r, SummaryColumns::LN))
                lns.append(t->item(r, SummaryColumns::LN)->text());
    }
    return lns;
}

void MainWindow::openGroupLift(const QStringList &lns)
{
    auto *window = new GroupLift(lns);
    OpenWindows::show(window);
    connect(window, &GroupLift::written, this, [this] { clear_tableWidgets(); });
}

void MainWindow::openGroupOrder(const QStringList &lns)
{
    auto *window = new GroupOrder(lns);
    OpenWindows::show(window);
    connect(window, &GroupOrder::written, this, [this] { clear_tableWidgets(); });
}

void MainWindow::on_action_5_triggered()
{
    if (Dialogs::confirm(this, QStringLiteral("Вы точно уверены что надо выйти?")))
        close();
}

void MainWindow::on_action_8_triggered()
{
    auto *about = new abprog(nullptr);
    OpenWindows::show(about, OpenWindows::Other);
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
    OpenWindows::show(new settings(nullptr), OpenWindows::Other);
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
    if (summary->fitToWindow())
        summary->applyWidths();
    // The menu opens again at its place, so that several columns can be
    // chosen one after another.
    ui->menu_4->show();
}
