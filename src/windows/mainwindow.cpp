#include "windows/mainwindow.h"
#include "ui_mainwindow.h"

#include "export/cardprint.h"
#include "export/printing.h"
#include "export/tableexport.h"
#include "export/tableprint.h"
#include "storage/attachments.h"
#include "storage/connection.h"
#include "storage/databasecopy.h"
#include "storage/errors.h"
#include "storage/paths.h"
#include "storage/penalties.h"
#include "storage/query.h"
#include "storage/recount.h"
#include "storage/roster.h"
#include "storage/servicemen.h"
#include "storage/sql.h"
#include "view/columns.h"
#include "view/dialogs.h"
#include "view/openwindows.h"
#include "view/readonly.h"
#include "view/rowfilter.h"
#include "view/tablefit.h"
#include "windows/abprog.h"
#include "windows/addfile.h"
#include "windows/reports.h"
#include "windows/databasecommands.h"
#include "windows/settings.h"
#include "windows/grouplift.h"
#include "windows/grouporder.h"
#include "windows/history.h"
#include "windows/importwindow.h"
#include "windows/voenosluga.h"

#include <QBrush>
#include <QCloseEvent>
#include <QColor>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSqlError>
#include <QStatusBar>
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
    const QString settingsProblem = again ? QString() : Paths::settingsProblem();
    // What a copy of the program killed while writing a backup or restoring
    // one left behind in the database folder.
    DatabaseCopy::removeStaleParts(Paths::databaseFolder());
    QString reason;
    bool opened = false;
    if (again && !Paths::serverChosen()) {
        // The program's connection is there, closed: it is opened again on
        // the file settings.ini names now.
        const QString fileName = Paths::databaseFile();
        where = QStringLiteral("«%1»").arg(QFileInfo(fileName).absoluteFilePath());
        opened = Connection::openAgain(fileName, &reason);
    } else {
        // The connection is made anew; this window lets go of the old one.
        db = QSqlDatabase();
        opened = Connection::openChosen(
            [this](const Paths::Server &server, QString *password) {
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
    Columns::applyLayout(ui->tableWidget_6, Columns::SUMMARY);
    layoutApplied = true;
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
    fitToWindow = Paths::setting(Paths::FIT_TO_WINDOW_KEY).toString() == QLatin1String("true");
    ui->action_fitWidth->setChecked(fitToWindow);
    connect(ui->action_fitWidth, &QAction::triggered, this, [this](bool on) {
        fitToWindow = on;
        if (!Paths::storeSetting(Paths::FIT_TO_WINDOW_KEY, on))
            Dialogs::warn(this,
                           QStringLiteral("Выбор «По ширине окна» не запомнен: файл настроек %1 не удалось "
                                          "записать.")
                               .arg(QString::fromLatin1(Paths::SETTINGS_FILE)));
        applyWidths();
    });
    refit.setSingleShot(true);
    refit.setInterval(50);
    connect(&refit, &QTimer::timeout, this, &MainWindow::applyWidths);
    ui->tableWidget_6->viewport()->installEventFilter(this);
}

void MainWindow::shareWidth()
{
    QTableWidget *t = ui->tableWidget_6;
    if (fitToWindow && layoutApplied)
        Columns::shareWidth(t, Columns::SUMMARY, fioWidth, t->viewport()->width());
}

void MainWindow::applyWidths()
{
    if (!layoutApplied)
        return;
    QTableWidget *t = ui->tableWidget_6;
    if (fitToWindow)
        shareWidth();
    else
        Columns::restoreWidths(t, Columns::SUMMARY, fioWidth);
    fitHeights(nullptr);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    QTableWidget *t = ui->tableWidget_6;
    if (watched == t->viewport() && event->type() == QEvent::Resize && fitToWindow) {
        refit.start();
    } else if (watched == t && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && t->currentRow() >= 0 &&
            !Columns::categoryOf(t->currentColumn()).isEmpty()) {
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
    searchText.clear();
    fill();
}

namespace {
// The row filters as chosen beside the category list, and the search.
RowFilter::Filter chosenFilter(const Ui::MainWindow *ui, const QString &searchText)
{
    RowFilter::Filter filter;
    filter.category = ui->comboBox->currentIndex();
    filter.onlyWithRecords = ui->checkBox->isChecked();
    if (ui->comboBox_2->currentIndex() > 0)
        filter.unit = ui->comboBox_2->currentData().toString();
    filter.text = searchText;
    return filter;
}

} // namespace

MainWindow::PenaltyView MainWindow::readPenalties(bool rosterRead, bool inForceOnly,
                                                  RowFilter::Filter *filter)
{
    // The penalties in force: for their view and for the reminder of old
    // ones. Where they cannot be read the view shows nobody rather than
    // everybody, and the status bar says why.
    static const Penalties::InForce none;
    LastRead &read = lastRead;
    PenaltyView p;
    p.months = Paths::penaltyReminderMonths();
    p.inForce = &none;
    const QDate today = QDate::currentDate();
    if (rosterRead && (p.months > 0 || inForceOnly)) {
        if (!read.penaltiesAsked || read.months != p.months || read.day != today) {
            read.penaltiesRead = Penalties::read(p.months, today, &read.inForce, &read.penaltyError);
            read.penaltiesAsked = true;
            read.months = p.months;
            read.day = today;
        }
        p.read = read.penaltiesRead;
        p.error = read.penaltyError;
        p.inForce = &read.inForce;
    }
    if (inForceOnly)
        filter->servicemen = &p.inForce->servicemen;
    // "Только с записями" keeps a serviceman whose penalties are all lifted,
    // although his count of penalties is 0.
    if (p.read && rosterRead && filter->onlyWithRecords && filter->category <= 1) {
        if (!read.recordedAsked) {
            read.recordedRead = Penalties::recorded(&read.recorded, &read.recordedError);
            read.recordedAsked = true;
        }
        p.read = read.recordedRead;
        if (p.read)
            filter->withPenalties = &read.recorded;
        else
            p.error = read.recordedError;
    }
    return p;
}

QSqlError MainWindow::fill(bool again)
{
    QTableWidget *t = ui->tableWidget_6;
    t->setUpdatesEnabled(false);

    LastRead &read = lastRead;
    if (again || !read.valid) {
        qstr = Sql::text(Sql::SELECT_SUMMARY);
        read = LastRead();
        read.rows = Roster::read(qstr, &read.error);
        read.valid = read.error.type() == QSqlError::NoError;
    }
    const std::vector<Roster::Row> &rows = read.rows;
    const QSqlError readError = read.error;
    updateUnits(rows);

    RowFilter::Filter filter = chosenFilter(ui, searchText);
    const bool rosterRead = readError.type() == QSqlError::NoError;
    const PenaltyView penalties = readPenalties(rosterRead, ui->checkBox_2->isChecked(), &filter);
    // The places in the full table of the rows that are put in.
    const std::vector<int> kept = RowFilter::apply(filter, rows);
    std::vector<int> changed;
    const bool reuse = keepRows(rows, kept, penalties.months, &changed);
    const bool remeasured = !changed.empty();
    const int old =
        putRows(rows, kept, penalties.inForce->old, penalties.months, reuse, &changed);
    // A row taken back to be measured may have been made anew as well.
    if (remeasured) {
        std::sort(changed.begin(), changed.end());
        changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
    }
    fitSummary(rows, reuse ? &changed : nullptr);
    t->setUpdatesEnabled(true);
    t->viewport()->update();

    if (!rosterRead)
        ui->label_2->setText(
            QStringLiteral("Таблица не прочитана: %1").arg(Errors::describe(readError)));
    else if (kept.empty() && !searchText.isEmpty())
        ui->label_2->setText(QStringLiteral("Ничего не найдено"));
    else
        ui->label_2->setText(QStringLiteral("Показано %1 из %2").arg(kept.size()).arg(rows.size()));
    const int months = penalties.months;
    if (!penalties.read)
        ui->label_3->setText(
            QStringLiteral("Взыскания не прочитаны: %1").arg(Errors::describe(penalties.error)));
    else if (months > 0)
        ui->label_3->setText(QStringLiteral("Взысканий старше %1 мес.: %2").arg(months).arg(old));
    // Where the roster itself was not read, its reason is the one to read.
    ui->label_3->setVisible(rosterRead && (!penalties.read || months > 0));
    // libpq knows it without asking the server; a connection made again
    // after a break may differ from the first.
    plainNote->setVisible(Connection::unencrypted(db));
    return readError;
}

bool MainWindow::keepRows(const std::vector<Roster::Row> &rows, const std::vector<int> &kept, int months,
                          std::vector<int> *stale)
{
    QTableWidget *t = ui->tableWidget_6;
    const int count = static_cast<int>(kept.size());
    const bool comparable = t->rowCount() == static_cast<int>(shownRows.size()) && shownMonths == months;
    // Places past the last read hold nobody.
    offstage.resize(rows.size());
    // As many rows as shown: only the rows that differ are put in anew.
    if (comparable && count > 0 && t->rowCount() == count) {
        // As a table filled anew: nothing chosen, the first row at the top.
        t->selectionModel()->clear();
        t->verticalScrollBar()->setValue(0);
        return true;
    }
    // Other rows (a filter switched on or off, the search): every row shown
    // is taken out whole, with its height, and kept offstage by its place in
    // the full table; a row shown again as it was shown is put back at its
    // new place, which costs far less than making and measuring it anew, and
    // one that is hidden waits there for a later fill. The tooltips of old
    // penalties name the months, so other months make every row anew.
    if (shownMonths != months) {
        offstage.clear();
        offstage.resize(rows.size());
    }
    // The model is quiet while its items move; the viewport is repainted
    // after the fill.
    QSignalBlocker quiet(t->model());
    if (comparable) {
        for (int j = 0; j < static_cast<int>(shownRows.size()); ++j) {
            ShownRow &shown = shownRows[static_cast<size_t>(j)];
            const auto r = static_cast<size_t>(shown.index);
            if (shown.index < 0 || r >= rows.size())
                continue;
            auto row = std::make_unique<Offstage>();
            row->height = t->rowHeight(j);
            row->fit = heightsFit;
            row->shown = std::move(shown);
            for (int c = 0; c < Columns::COUNT; ++c)
                row->items[static_cast<size_t>(c)].reset(t->takeItem(j, c));
            offstage[r] = std::move(row);
        }
    }
    // The view must learn of the rows taken away and put in: a view that
    // missed it keeps drawing the old number of rows, empty ones below those
    // found or none of those added.
    quiet.unblock();
    t->setRowCount(0);
    t->setRowCount(count);
    quiet.reblock();
    shownRows.assign(static_cast<size_t>(count), ShownRow());
    shownMonths = months;
    bool back = false;
    for (int k = 0; k < count; ++k) {
        const auto r = static_cast<size_t>(kept[static_cast<size_t>(k)]);
        std::unique_ptr<Offstage> row = std::move(offstage[r]);
        // A row read anew with other cells is made anew.
        if (!row || row->shown.cells != rows[r])
            continue;
        for (int c = 0; c < Columns::COUNT; ++c)
            t->setItem(k, c, row->items[static_cast<size_t>(c)].release());
        t->setRowHeight(k, row->height);
        if (row->fit != heightsFit)
            stale->push_back(k);
        shownRows[static_cast<size_t>(k)] = std::move(row->shown);
        back = true;
    }
    return back;
}

int MainWindow::putRows(const std::vector<Roster::Row> &rows, const std::vector<int> &kept,
                        const QHash<QString, int> &oldPenalties, int months, bool reuse,
                        std::vector<int> *changed)
{
    QTableWidget *t = ui->tableWidget_6;
    const QBrush stripe(QColor(240, 240, 240, 226), Qt::SolidPattern);
    QBrush countBrushes[Columns::COUNT];
    for (int c = Columns::FIRST_COUNT; c <= Columns::LAST_COUNT; ++c)
        countBrushes[c] = QBrush(Columns::countColour(c), Qt::SolidPattern);
    // The view learns of the new rows in keepRows(); telling it of every cell
    // put into them one by one would cost more than the cells themselves, so
    // the model is quiet while they go in and the viewport is repainted after.
    QSignalBlocker quiet(t->model());
    // The count of penalties of a serviceman with old ones says how many of
    // them are old; the status bar adds them up over the rows shown.
    int old = 0;
    for (int k = 0; k < static_cast<int>(kept.size()); ++k) {
        const int r = kept[static_cast<size_t>(k)];
        const Roster::Row &row = rows[static_cast<size_t>(r)];
        const int oldHere = oldPenalties.value(row[Columns::LN]);
        old += oldHere;
        ShownRow &shown = shownRows[static_cast<size_t>(k)];
        if (reuse && shown.index == r && shown.striped == (r % 2 == 0) && shown.old == oldHere &&
            shown.cells == row)
            continue;
        shown = ShownRow{row, r % 2 == 0, oldHere, r};
        changed->push_back(k);
        for (int c = 0; c < Columns::COUNT; ++c) {
            auto *item = new QTableWidgetItem(row[c]);
            if (oldHere > 0 && c == Columns::FIRST_COUNT)
                item->setToolTip(QStringLiteral("Взысканий старше %1 мес.: %2").arg(months).arg(oldHere));
            if (r % 2 == 0)
                item->setBackground(stripe);
            if (c >= Columns::FIRST_COUNT && c <= Columns::LAST_COUNT) {
                str_3 = row[c];
                if (RowFilter::counts(str_3))
                    item->setBackground(countBrushes[c]);
            }
            if (c >= Columns::LN && c <= Columns::POSITION_NUMBER)
                item->setTextAlignment(Qt::AlignCenter);
            t->setItem(k, c, item);
        }
    }
    return old;
}

void MainWindow::fitSummary(const std::vector<Roster::Row> &rows, const std::vector<int> *changed)
{
    QTableWidget *t = ui->tableWidget_6;
    t->horizontalHeader()->setStretchLastSection(false);
    // The name column fits every name of the full table, also those a search
    // leaves out, and is fitted first so that the row heights follow it.
    QStringList names;
    names.reserve(static_cast<qsizetype>(rows.size()));
    for (const Roster::Row &row : rows)
        names.append(row[Columns::FIO]);
    // The same names in the same font take the width they took.
    if (names != fittedNames || t->font() != fittedFont) {
        TableFit::fitColumnWidth(t, Columns::FIO, &names);
        fittedNames = names;
        fittedFont = t->font();
        fittedFio = t->columnWidth(Columns::FIO);
    } else {
        t->setColumnWidth(Columns::FIO, fittedFio);
    }
    fioWidth = t->columnWidth(Columns::FIO);
    shareWidth();
    fitHeights(changed);
}

void MainWindow::fitHeights(const std::vector<int> *changed)
{
    QTableWidget *t = ui->tableWidget_6;
    std::vector<int> widths(static_cast<size_t>(t->columnCount()));
    for (int c = 0; c < t->columnCount(); ++c)
        widths[static_cast<size_t>(c)] = t->isColumnHidden(c) ? 0 : t->columnWidth(c);
    if (changed && widths == fittedWidths && t->font() == heightsFont) {
        if (!changed->empty())
            TableFit::fitRowHeights(t, changed);
        return;
    }
    TableFit::fitRowHeights(t);
    fittedWidths = widths;
    heightsFont = t->font();
    ++heightsFit;
}

void MainWindow::updateUnits(const std::vector<Roster::Row> &rows)
{
    QComboBox *box = ui->comboBox_2;
    std::optional<QString> chosen;
    if (box->currentIndex() > 0)
        chosen = box->currentData().toString();
    const QStringList units = RowFilter::units(rows, chosen);
    if (units == unitList)
        return;
    unitList = units;
    const QSignalBlocker quiet(box);
    while (box->count() > 1)
        box->removeItem(box->count() - 1);
    for (const QString &unit : units)
        box->addItem(unit.isEmpty() ? QStringLiteral("(не указан)") : unit, unit);
    box->setCurrentIndex(chosen ? static_cast<int>(units.indexOf(*chosen)) + 1 : 0);
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
    searchText = text;
    fill();
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
    // "Только с записями" follows the category chosen.
    if (ui->checkBox->isChecked())
        fill(false);
    else if (fitToWindow)
        applyWidths();
}

void MainWindow::on_checkBox_clicked()
{
    fill(false);
}

void MainWindow::on_comboBox_2_activated(int index)
{
    Q_UNUSED(index);
    fill(false);
}

void MainWindow::on_checkBox_2_clicked()
{
    fill(false);
}

void MainWindow::on_action_Exel_triggered()
{
    QString name = QFileDialog::getSaveFileName(this, tr(TableExport::SAVE_CAPTION), QString(),
                                                tr(TableExport::SAVE_FILTER));
    if (name.isEmpty())
        return;
    const QString chosen = name;
    name = TableExport::exportFileName(name);
    // The dialog asked before replacing the name it returned; a file that has
    // the name only with the ending added here is asked about here.
    if (name != chosen && QFileInfo::exists(name) &&
        !Dialogs::confirm(
            this, QStringLiteral("Файл «%1» уже существует. Заменить его?").arg(QFileInfo(name).fileName())))
        return;
    QString error;
    if (!TableExport::write(ui->tableWidget_6, name, &error))
        Dialogs::warn(this, QStringLiteral("Таблица не сохранена в файл «%1»: %2.")
                                 .arg(QDir::toNativeSeparators(name), error));
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
    searchText.clear();
    const QSqlError error = fill();
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
    if (!Servicemen::remove(Sql::DELETE_COMBAT_MAIN, ln, &qstr, &error))
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
    if (!Dialogs::confirm(this, QStringLiteral("Вы точно уверены что вывести на печать?")))
        return;
    // Twelve columns fit across a page only when it lies on its side; the
    // dialog lets the user choose otherwise.
    QString error;
    if (Printing::printAsked(
            this, QPageLayout::Landscape,
            [this] { return TablePrint::document(ui->tableWidget_6, QDate::currentDate()); },
            &error) == Printing::Outcome::Failed)
        Dialogs::warn(this, QStringLiteral("Таблица не напечатана: %1.").arg(error));
}

void MainWindow::on_action_preview_triggered()
{
    const Paper::Document document = TablePrint::document(ui->tableWidget_6, QDate::currentDate());
    Printing::preview(this, document, QPageLayout::Landscape,
                      {QStringLiteral("Предварительный просмотр"), QStringLiteral("Таблица не напечатана"),
                       QStringLiteral("Таблица не сохранена")});
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
    const QTableWidget *t = ui->tableWidget_6;
    const QTableWidgetItem *item = t->currentRow() < 0 ? nullptr : t->item(t->currentRow(), Columns::LN);
    if (!item) {
        Dialogs::inform(this, QStringLiteral("Запись не выбрана: выделите в таблице строку военнослужащего, "
                                              "чью служебную карточку надо составить."));
        return;
    }
    CardPrint::show(this, {item->text()});
}

void MainWindow::on_action_cards_triggered()
{
    // The rows the table holds are those shown: the filters and the search
    // put only those in.
    const QTableWidget *t = ui->tableWidget_6;
    QStringList numbers;
    numbers.reserve(t->rowCount());
    for (int r = 0; r < t->rowCount(); ++r) {
        if (const QTableWidgetItem *item = t->item(r, Columns::LN))
            numbers.append(item->text());
    }
    if (numbers.isEmpty()) {
        Dialogs::inform(this, QStringLiteral("В таблице не показано ни одного военнослужащего: служебные "
                                              "карточки составлять не для кого."));
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
    menu.addAction(ui->action_cards);
    // The history of the serviceman of the row clicked.
    const int row = ui->tableWidget_6->rowAt(position.y());
    auto text = [this, row](int c) {
        const QTableWidgetItem *item = ui->tableWidget_6->item(row, c);
        return item ? item->text() : QString();
    };
    const QString ln = text(Columns::LN);
    const QString fio = text(Columns::FIO);
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
    const QModelIndexList chosen = t->selectionModel()->selectedRows(Columns::LN);
    QStringList lns;
    if (chosen.size() > 1) {
        for (const QModelIndex &index : chosen)
            lns.append(index.data().toString());
    } else {
        for (int r = 0; r < t->rowCount(); ++r)
            if (!t->isRowHidden(r) && t->item(r, Columns::LN))
                lns.append(t->item(r, Columns::LN)->text());
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
    if (fitToWindow)
        applyWidths();
    // The menu opens again at its place, so that several columns can be
    // chosen one after another.
    ui->menu_4->show();
}
