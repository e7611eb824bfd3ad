#include "windows/addfile.h"
#include "ui_addfile.h"

#include "export/extractprint.h"
#include "storage/register/dates.h"
#include "storage/db/errors.h"
#include "storage/register/orders.h"
#include "storage/setup/settings.h"
#include "storage/register/penalties.h"
#include "storage/db/query.h"
#include "storage/db/sql.h"
#include "view/dialogs.h"
#include "view/readonly.h"
#include "view/tablefit.h"
#include "windows/changeforall.h"
#include "windows/history.h"
#include "windows/orderdocuments.h"

#include <QBrush>
#include <QCloseEvent>
#include <QDate>
#include <QDateEdit>
#include <QDebug>
#include <QEvent>
#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QSqlError>
#include <QTableWidgetItem>

#include <algorithm>
#include <array>
#include <vector>

namespace {

// The one text form of order and lifting dates, whatever the locale.
const QString DATE_FORMAT = QStringLiteral("dd.MM.yyyy");

constexpr int COLUMNS = 8;
constexpr int COL_NAME = 0;
constexpr int COL_DATE = 1;
constexpr int COL_NUMBER = 2;
constexpr int COL_ISSUER = 3;
constexpr int COL_OUTGOING = 4;
constexpr int COL_FIRST_LIFTING = 5;
constexpr int COL_ACTIVE = 7;
constexpr std::array<int, COLUMNS> WIDTHS{130, 80, 70, 100, 150, 70, 80, 90};
// The date cell of a penalty in force older than the reminder's months.
const QColor OLD_PENALTY(255, 190, 110);

// How the window shows one category.
struct Presentation
{
    const char *code;
    const char *title;
    const char *column0;
    const char *label;
};

constexpr std::array<Presentation, 6> PRESENTATIONS{{
    {Code::BLAG, "Благодарности ", "За что", "За что поощрен"},
    {Code::GR, "Грамоты ", "За что", "За что поощрен"},
    {Code::ZOMO, "Знаки отличия МО РФ ", "Наименование", "Наименование знака отличия"},
    {Code::POSH, "Ветеран военной службы ", "За что", "За что поощрен"},
    {Code::GOSNAG, "Государственые награды ", "Наименование", "Наименование гос.награды"},
    {Code::VZS, "Взыскания ", "Наименование", "Наименование взыскания"},
}};

QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

// The values of an order row that a change or a lifting finds unchanged
// before it writes.
Orders::Loaded loadedValues(const QTableWidget *table, int row)
{
    Orders::Loaded out;
    const std::array<int, 7> columns{COL_NAME, COL_DATE, COL_ISSUER, COL_OUTGOING, 5, 6, COL_ACTIVE};
    for (size_t i = 0; i < columns.size(); ++i)
        out[i] = cellText(table, row, columns[i]);
    return out;
}

// An order as the messages name it: "№ 33 от 15.03.2025".
QString orderName(const QString &number, const QString &date)
{
    const QString name = QStringLiteral("№ ") + number;
    return date.trimmed().isEmpty() ? name : name + QStringLiteral(" от ") + date;
}

// An order as listed, with its date read.
struct DatedOrder
{
    Orders::Row order;
    QDate date;
};

// Newest first. Orders of one date, and orders whose date does not read as
// "dd.MM.yyyy" (all of them last), keep the order of the query.
std::vector<DatedOrder> newestFirst(Orders::List &list)
{
    std::vector<DatedOrder> rows;
    rows.reserve(list.rows.size());
    for (Orders::Row &order : list.rows) {
        const QDate date = Dates::parse(order.cells[COL_DATE]);
        rows.push_back({std::move(order), date});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const DatedOrder &a, const DatedOrder &b) {
        return a.date.isValid() && (!b.date.isValid() || a.date > b.date);
    });
    QList<QDate> dates;
    dates.reserve(static_cast<qsizetype>(rows.size()));
    for (const DatedOrder &row : rows)
        dates.append(row.date);
    qDebug().noquote() << Dates::debugText(dates);
    return rows;
}

// Adds the orders below the rows of the table: the in-force swatch, the
// order's identity under its number, and the mark of an old penalty.
void putOrders(QTableWidget *t, const std::vector<DatedOrder> &rows, const QString &code)
{
    const int first = t->rowCount();
    t->setRowCount(first + static_cast<int>(rows.size()));
    const QBrush red(Qt::red, Qt::SolidPattern);
    const QBrush green(Qt::green, Qt::SolidPattern);
    // Penalties in force older than the reminder's months: the date cell is
    // marked and every cell of the row tells the penalty's age.
    const int months = code == QLatin1String(Code::VZS) ? Settings::penaltyReminderMonths() : 0;
    const QDate today = QDate::currentDate();
    const QBrush oldMark(OLD_PENALTY, Qt::SolidPattern);
    // The view learned of the new rows above; the cells go in without a
    // notice each, and the viewport is repainted once they are all there.
    QSignalBlocker quiet(t->model());
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const DatedOrder &row = rows[r];
        QString tip;
        const auto &cells = row.order.cells;
        if (cells[COL_ACTIVE] == QLatin1String(Penalties::IN_FORCE) &&
            Penalties::isOld(row.date, months, today))
            tip = QStringLiteral("Взыскание в силе %1: дольше %2 мес., его можно готовить к снятию")
                      .arg(Penalties::age(row.date, today), QString::number(months));
        for (int c = 0; c < COLUMNS; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c == COL_ACTIVE) {
                // Text and background of one colour: a plain swatch, red while
                // the order is in force, green once it is lifted.
                const QBrush &brush = cells[c] == QString::number(1) ? red : green;
                item->setBackground(brush);
                item->setForeground(brush);
            }
            if (!tip.isEmpty()) {
                item->setToolTip(tip);
                if (c == COL_DATE)
                    item->setBackground(oldMark);
            }
            if (c == COL_NUMBER)
                item->setData(Qt::UserRole, row.order.id);
            t->setItem(first + r, c, item);
        }
    }
    quiet.unblock();
    t->viewport()->update();
}

// The column widths and titles of the order list, and its rows fitted.
void fitOrders(QTableWidget *t)
{
    QHeaderView *horizontal = t->horizontalHeader();
    QHeaderView *vertical = t->verticalHeader();
    horizontal->setStretchLastSection(false);
    for (int c = 0; c < COLUMNS; ++c)
        t->setColumnWidth(c, WIDTHS[c]);
    t->horizontalHeaderItem(5)->setText(QStringLiteral("Номер\nснятия"));
    t->horizontalHeaderItem(6)->setText(QStringLiteral("Дата\nснятия"));
    t->horizontalHeaderItem(7)->setText(QStringLiteral("Действие\nприказа"));
    TableFit::fitRowHeights(t);
    vertical->setSectionResizeMode(QHeaderView::Fixed);
    horizontal->setSectionResizeMode(QHeaderView::Fixed);
}

// The window's writes: what a failure of each tells, refused or of an
// outcome not known.
const Dialogs::Write NOT_ADDED{QStringLiteral("Приказ не добавлен"),
                               QStringLiteral("Неизвестно, сохранён ли приказ")};
const Dialogs::Write NOT_CHANGED{QStringLiteral("Приказ не изменён"),
                                 QStringLiteral("Неизвестно, сохранено ли изменение приказа")};
const Dialogs::Write NOT_LIFTED{QStringLiteral("Взыскание не снято"),
                                QStringLiteral("Неизвестно, снято ли взыскание")};
const Dialogs::Write NOT_DELETED{QStringLiteral("Приказ не удалён"),
                                 QStringLiteral("Неизвестно, удалён ли приказ")};

} // namespace

addfile::addfile(const QString &personalNumber, const QString &code, const QString &fullName, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::addfile)
{
    ui->setupUi(this);
    // Nothing reopens a closed window: it goes once its report is delivered.
    setAttribute(Qt::WA_DeleteOnClose);
    ln = personalNumber;
    wt = code;
    fio = fullName;
    ui->tab_2->setEnabled(false);
    ui->tabWidget->setCurrentIndex(0);
    for (QHeaderView *header : {ui->tableWidget_2->horizontalHeader(), ui->tableWidget_2->verticalHeader()}) {
        header->setStyleSheet(QStringLiteral("border: 1px solid black"));
        // The list's style sheet is applied while its page has no parent yet
        // and so leaves the headers with the application's font; the
        // sections are painted on the viewport, which gets the form's too.
        header->setFont(font());
        header->viewport()->setFont(font());
    }
    // "Удалить" is offered on the file list's context menu.
    ui->tableWidget->setContextMenuPolicy(Qt::ActionsContextMenu);
    ui->tableWidget->addAction(ui->action);
    // A date the user sets replaces the stored date text.
    connect(ui->dateEdit, &QDateEdit::dateChanged, this, [this] { forgetDate(); });
    ui->dateEdit->installEventFilter(this);
    // What a command left undone, and a list that could not be read, are told
    // in a line below the pages, without a box of their own; it wraps, so a
    // long list of documents is read whole.
    status = new QLabel(ui->centralwidget);
    status->setObjectName(QStringLiteral("statusLine"));
    status->setWordWrap(true);
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status->hide();
    ui->verticalLayout_5->addWidget(status);
    documents = new OrderDocuments(
        ln, wt,
        {this, ui->tableWidget, ui->action, [this](const QString &text) { say(text); },
         [this](const Orders::Result &result, const Dialogs::Write &what, const QString &number) {
             return written(result, what, number);
         },
         [this] { return ui->tableWidget_2->currentRow() >= 0; }},
        this);
    // A viewer reads the orders and opens their documents, and changes nothing.
    ReadOnly::disable({ui->pushButton_7, ui->pushButton_4, ui->pushButton_6, ui->pushButton, ui->pushButton_2},
                      {ui->action});
    addHistoryCommand();
    addChangeForAllCommand();
    ui->toolBar->addSeparator();
    addExtractCommands();
    ui->toolBar->addSeparator();
    clearTable();
}

addfile::~addfile()
{
    delete ui;
}

void addfile::addHistoryCommand()
{
    QAction *history = ui->toolBar->addAction(QStringLiteral("История изменений"));
    history->setObjectName(QStringLiteral("action_history"));
    history->setToolTip(QStringLiteral("Кто, когда и что изменил в записях военнослужащего: его данные, "
                                       "приказы и документы"));
    connect(history, &QAction::triggered, this, [this] { HistoryWindow::open(ln, fio); });
}

void addfile::addChangeForAllCommand()
{
    QAction *forAll = ui->toolBar->addAction(QStringLiteral("Изменить для всех по этому приказу…"));
    forAll->setObjectName(QStringLiteral("action_changeAll"));
    forAll->setToolTip(QStringLiteral("Изменить номер, дату, чей приказ, наименование или исх. номер во всех "
                                      "приказах с тем же видом, номером и датой"));
    connect(forAll, &QAction::triggered, this, [this] {
        saved = false;
        say(QString());
        QTableWidget *t = ui->tableWidget_2;
        const int row = t->currentRow();
        if (row < 0)
            say(QStringLiteral("Приказы не изменены: в списке не выбран приказ."));
        else if (ui->lineEdit_2->text().isEmpty())
            say(QStringLiteral("Приказы не изменены: не заполнен номер."));
        else if (storable(QStringLiteral("Приказы не изменены"), false)) {
            QString told;
            saved = ChangeForAll::run(this, wt, cellText(t, row, COL_NUMBER), cellText(t, row, COL_DATE),
                                      typedFields(), &told);
            reload();
            say(told);
        }
    });
    ReadOnly::disable({}, {forAll});
}

void addfile::addExtractCommands()
{
    ui->tableWidget_2->setContextMenuPolicy(Qt::ActionsContextMenu);
    const auto extract = [this](const QString &text, const char *name, const QString &tip, bool everyone) {
        QAction *action = ui->toolBar->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        action->setToolTip(tip);
        ui->tableWidget_2->addAction(action);
        connect(action, &QAction::triggered, this, [this, everyone] {
            const QTableWidget *t = ui->tableWidget_2;
            const int row = t->currentRow();
            if (row < 0) {
                say(QStringLiteral("Приказ не выбран: выделите в списке строку приказа, выписку из которого надо "
                                   "составить."));
                return;
            }
            say(ExtractPrint::show(this, wt, cellText(t, row, COL_NUMBER), cellText(t, row, COL_DATE),
                                   everyone ? QString() : ln));
        });
    };
    extract(QStringLiteral("Выписка из приказа"), "action_extract",
            QStringLiteral("Выписка из выбранного приказа для этого военнослужащего: напечатать, сохранить в PDF "
                           "или в .odt"),
            false);
    extract(QStringLiteral("Выписки всем по приказу"), "action_extracts",
            QStringLiteral("Выписки из выбранного приказа для каждого, кого он называет (приказы той же категории "
                           "с тем же номером и датой), каждая на своей странице"),
            true);
}

void addfile::applyPresentation()
{
    const auto p = std::find_if(PRESENTATIONS.cbegin(), PRESENTATIONS.cend(),
                                [this](const Presentation &p) { return wt == QLatin1String(p.code); });
    if (p == PRESENTATIONS.cend())
        return;
    QTableWidget *t = ui->tableWidget_2;
    setWindowTitle(QString::fromUtf8(p->title) + fio);
    t->horizontalHeaderItem(COL_NAME)->setText(QString::fromUtf8(p->column0));
    ui->label_4->setText(QString::fromUtf8(p->label));
    if (wt != QLatin1String(Code::VZS)) {
        ui->checkBox->hide();
        ui->frame_10->hide();
        for (int c = COL_FIRST_LIFTING; c <= COL_ACTIVE; ++c)
            t->setColumnHidden(c, true);
        return;
    }
    for (int c = COL_FIRST_LIFTING; c <= COL_ACTIVE; ++c)
        t->setColumnHidden(c, false);
    // The lifting fields are editable only while the lifting box is ticked.
    ui->frame_10->setEnabled(ui->checkBox->isChecked());
    QFont bold(QStringLiteral("Times New Roman"), 11);
    bold.setWeight(QFont::Bold);
    bold.setItalic(false);
    for (int c = 0; c < t->columnCount(); ++c) {
        if (QTableWidgetItem *h = t->horizontalHeaderItem(c))
            h->setFont(bold);
    }
}

void addfile::clearTable()
{
    applyPresentation();
    forgetDate();
    ui->dateEdit->setDate(QDate::currentDate());
    ui->lineEdit_2->clear();
    ui->lineEdit_3->clear();
    ui->lineEdit_4->clear();
    ui->lineEdit_6->clear();

    Orders::List list = Orders::list(ln, wt);
    // An empty list must not pass for a serviceman without orders.
    if (!list.read)
        say(QStringLiteral("Приказы не прочитаны из базы данных: %1. Пустой список не значит, что приказов нет.")
                .arg(Errors::describe(list.error)));
    const std::vector<DatedOrder> rows = newestFirst(list);

    QTableWidget *t = ui->tableWidget_2;
    t->setUpdatesEnabled(false);
    putOrders(t, rows, wt);

    ui->dateEdit->setDate(QDate::currentDate());
    ui->dateEdit_2->setDate(QDate::currentDate());
    ui->tab->setFocus();

    fitOrders(t);
    t->setUpdatesEnabled(true);
}

void addfile::reload()
{
    if (closing)
        return;
    QTableWidget *t = ui->tableWidget_2;
    if (saved) {
        t->setRowCount(0);
        clearTable();
        return;
    }
    // Nothing was written: the user corrects what was typed and tries again.
    const int current = t->currentRow();
    const QString chosenId = current >= 0 ? rowId(current) : QString();
    const QString chosenNumber = current >= 0 ? cellText(t, current, COL_NUMBER) : QString();
    const std::array<QLineEdit *, 4> edits{ui->lineEdit_2, ui->lineEdit_3, ui->lineEdit_4, ui->lineEdit_6};
    std::array<QString, 4> typed;
    for (size_t i = 0; i < edits.size(); ++i)
        typed[i] = edits[i]->text();
    const QString kept = date_kept;
    const QDate date = ui->dateEdit->date();
    const QDate liftDate = ui->dateEdit_2->date();
    t->setRowCount(0);
    clearTable();
    for (size_t i = 0; i < edits.size(); ++i)
        edits[i]->setText(typed[i]);
    if (kept.isNull())
        ui->dateEdit->setDate(date);
    else
        keepDate(kept);
    ui->dateEdit_2->setDate(liftDate);
    for (int r = 0; r < t->rowCount() && current >= 0; ++r) {
        if (rowId(r) == chosenId && cellText(t, r, COL_NUMBER) == chosenNumber) {
            t->setCurrentCell(r, COL_NUMBER);
            break;
        }
    }
}

void addfile::say(const QString &text)
{
    status->setText(text);
    status->setVisible(!text.isEmpty());
}

void addfile::tellLeftOver(const QString &number, const QStringList &names)
{
    if (names.isEmpty())
        return;
    QStringList quoted;
    for (const QString &name : names)
        quoted.append(QStringLiteral("«%1»").arg(name));
    say(QStringLiteral("К приказу № %1 прикреплены файлы, оставшиеся от удалённого приказа с тем же номером: %2. "
                       "Те из них, что не относятся к этому приказу, удалите на вкладке «Файлы».")
            .arg(number, quoted.join(QStringLiteral(", "))));
}

bool addfile::written(const Orders::Result &result, const Dialogs::Write &what, const QString &number)
{
    switch (result.outcome) {
    case Orders::Outcome::Done:
        saved = true;
        return true;
    case Orders::Outcome::Failed:
        Dialogs::warnFailure(this, what, result.error);
        return false;
    case Orders::Outcome::Gone:
        // Deleted, or given another personal number, in another window or
        // copy of the program: what this window shows belongs to nobody any
        // more.
        Dialogs::warnServicemanGone(this, fio, ln, what.notDone);
        closing = true;
        close();
        return false;
    case Orders::Outcome::Several:
        // The list showed the number once; another order of it came
        // meanwhile, and the statement met both. Nothing is kept of it.
        Dialogs::warn(this, QStringLiteral("%1: приказов № %2 тем временем стало несколько (другой пользователь "
                                            "добавил ещё один). Приказы будут показаны заново, выберите нужный.")
                                 .arg(what.notDone, number));
        return false;
    case Orders::Outcome::Changed:
        break;
    }
    Dialogs::warn(this, QStringLiteral("%1: приказ «%2» тем временем изменил или удалил другой "
                                        "пользователь. Приказы будут показаны заново.")
                             .arg(what.notDone, number));
    return false;
}

int addfile::rowOf(const QString &number, bool *several) const
{
    const QTableWidget *t = ui->tableWidget_2;
    *several = false;
    if (t->currentRow() >= 0 && cellText(t, t->currentRow(), COL_NUMBER) == number)
        return t->currentRow();
    int found = -1;
    for (int r = 0; r < t->rowCount(); ++r) {
        if (cellText(t, r, COL_NUMBER) != number)
            continue;
        if (found >= 0) {
            *several = true;
            return -1;
        }
        found = r;
    }
    return found;
}

QString addfile::rowId(int row) const
{
    const QTableWidgetItem *item = ui->tableWidget_2->item(row, COL_NUMBER);
    return item ? item->data(Qt::UserRole).toString() : QString();
}

bool addfile::numberFree(const QString &number, const QString &what)
{
    QStringList dates;
    QSqlError error;
    if (!Orders::numberDates(ln, wt, number, &dates, &error)) {
        Dialogs::warnFailure(this, what, error);
        return false;
    }
    return dates.isEmpty() ||
           Dialogs::confirm(this,
                             QStringLiteral("Приказ %1 уже есть. Добавить ещё один с тем же номером?")
                                 .arg(orderName(number, dates.first())),
                             true);
}

void addfile::keepDate(const QString &stored)
{
    QDateEdit *edit = ui->dateEdit;
    const QDate date = QDate::fromString(stored, DATE_FORMAT);
    // 01.01.1700 reads as a date but lies before the first date the field takes.
    const bool shown = date.isValid() && date >= edit->minimumDate() && date <= edit->maximumDate();
    {
        const QSignalBlocker quiet(edit);
        if (shown) {
            edit->setSpecialValueText(QString());
            edit->setDate(date);
        } else {
            // The field shows the stored text itself, at its minimum date.
            edit->setSpecialValueText(stored.trimmed().isEmpty() ? QStringLiteral("нет даты") : stored);
            edit->setDate(edit->minimumDate());
        }
    }
    date_kept = stored;
    edit->setToolTip(shown ? QString()
                           : QStringLiteral("Сохранённая дата «%1» не является датой. Она останется прежней, "
                                            "пока не выбрана другая дата.")
                                 .arg(stored));
    edit->setStyleSheet(shown ? QString() : QStringLiteral("color: rgb(180, 0, 0);"));
}

void addfile::forgetDate()
{
    date_kept = QString();
    QDateEdit *edit = ui->dateEdit;
    if (edit->specialValueText().isEmpty())
        return;
    edit->setSpecialValueText(QString());
    edit->setToolTip(QString());
    edit->setStyleSheet(QString());
}

QString addfile::orderDate() const
{
    return date_kept.isNull() ? ui->dateEdit->date().toString(DATE_FORMAT) : date_kept;
}

Orders::Fields addfile::typedFields() const
{
    return {orderDate(), ui->lineEdit_2->text(), ui->lineEdit_3->text(), ui->lineEdit_4->text(),
            ui->lineEdit_6->text()};
}

bool addfile::storable(const QString &notDone, bool lifting)
{
    const Orders::Fields typed = typedFields();
    QList<std::pair<QString, QString>> fields{
        {ui->tableWidget_2->horizontalHeaderItem(COL_NAME)->text().simplified(), typed.name},
        {QStringLiteral("Номер"), typed.number},
        {QStringLiteral("Чей приказ"), typed.issuer},
        {QStringLiteral("Исх.№СУ"), typed.outgoing}};
    if (lifting)
        fields = {{QStringLiteral("Номер снятия"), ui->lineEdit_5->text()},
                  {QStringLiteral("Номер"), typed.number}};
    const QString field = Query::unstorable(fields);
    if (field.isEmpty())
        return true;
    say(notDone +
        QStringLiteral(": в поле «%1» есть знак, который нельзя сохранить (нулевой символ). Уберите "
                       "его и повторите.")
            .arg(field));
    return false;
}

void addfile::on_pushButton_7_clicked()
{
    saved = false;
    say(QString());
    if (Dialogs::confirm(this, QStringLiteral("Вы точно уверены что надо добавить?"))) {
        const QString number = ui->lineEdit_2->text();
        const Dialogs::Write &what = NOT_ADDED;
        if (number.isEmpty()) {
            Dialogs::inform(this, QStringLiteral("Не заполнен номер"));
        } else if (ui->checkBox->isChecked()) {
            Dialogs::inform(this, QStringLiteral("Приказ не добавлен: пока отмечено «Снятие взыскания», "
                                                  "кнопка изменения снимает выбранное взыскание."));
        } else if (storable(what.notDone, false) && numberFree(number, what.notDone)) {
            const Orders::Result result = Orders::add(ln, wt, typedFields());
            if (written(result, what, number))
                tellLeftOver(number, result.leftOver);
        }
    }
    reload();
}

void addfile::on_pushButton_4_clicked()
{
    saved = false;
    say(QString());
    QTableWidget *t = ui->tableWidget_2;
    const bool confirmed = Dialogs::confirm(this, QStringLiteral("Вы точно уверены что надо изменить?"));
    if (confirmed && t->currentRow() < 0 && ui->checkBox->isChecked())
        say(QStringLiteral("Взыскание не снято: в списке не выбрано взыскание."));
    if (confirmed && t->currentRow() >= 0) {
        const int row = t->currentRow();
        const QString number = ui->lineEdit_2->text();
        if (ui->checkBox->isChecked()) {
            if (storable(NOT_LIFTED.notDone, true))
                liftOrder();
        } else if (number.isEmpty()) {
            // An order without a number could no longer be told apart.
            Dialogs::inform(this, QStringLiteral("Не заполнен номер"));
        } else if (storable(NOT_CHANGED.notDone, false) &&
                   (number == cellText(t, row, COL_NUMBER) || numberFree(number, NOT_CHANGED.notDone))) {
            const QString old = cellText(t, row, COL_NUMBER);
            const Orders::Result result =
                Orders::change(ln, wt, old, rowId(row), loadedValues(t, row), typedFields());
            if (written(result, NOT_CHANGED, old))
                tellLeftOver(number, result.leftOver);
        }
    }
    reload();
}

void addfile::liftOrder()
{
    QTableWidget *t = ui->tableWidget_2;
    // The penalty is the one of the number in the field: the chosen row, or
    // the only row of that number.
    const QString number = ui->lineEdit_2->text();
    bool several = false;
    const int row = rowOf(number, &several);
    if (row < 0) {
        if (several)
            Dialogs::inform(this, QStringLiteral("Взысканий с номером «%1» несколько: выберите в списке то, "
                                                  "которое надо снять.")
                                       .arg(number));
        else
            say(QStringLiteral("Взыскание не снято: приказа с номером «%1» нет в списке.").arg(number));
        return;
    }
    const Orders::Result result =
        Orders::lift(ln, wt, number, rowId(row), loadedValues(t, row), ui->dateEdit_2->date().toString(DATE_FORMAT),
                     ui->lineEdit_5->text());
    if (written(result, NOT_LIFTED, number)) {
        // Not left armed: the next change of another penalty only changes it.
        ui->checkBox->setChecked(false);
        ui->lineEdit_5->clear();
    }
}

void addfile::on_pushButton_6_clicked()
{
    saved = false;
    say(QString());
    QTableWidget *t = ui->tableWidget_2;
    if (Dialogs::confirm(this, QStringLiteral("Вы точно уверены что надо удалить?")) && t->currentRow() >= 0) {
        const int row = t->currentRow();
        const QString number = cellText(t, row, COL_NUMBER);
        const Orders::Result result = Orders::remove(ln, wt, number, rowId(row));
        if (written(result, NOT_DELETED, number) && result.attached > 0)
            Dialogs::inform(this,
                             QStringLiteral("Файлы, прикреплённые к приказу № %1, не удалены: они относятся и к "
                                            "приказу %2, который остаётся.")
                                 .arg(number, orderName(number, result.others.first())));
    }
    reload();
}

void addfile::on_checkBox_stateChanged(int arg1)
{
    const bool lifting = arg1 != 0;
    ui->frame->setEnabled(!lifting);
    ui->frame_4->setEnabled(!lifting);
    ui->frame_5->setEnabled(!lifting);
    ui->frame_11->setEnabled(!lifting);
    ui->frame_10->setEnabled(lifting);
}

void addfile::on_tableWidget_2_cellClicked(int row, int column)
{
    Q_UNUSED(column);
    QTableWidget *t = ui->tableWidget_2;
    documents->setOrder(cellText(t, t->currentRow(), COL_NUMBER));
    keepDate(cellText(t, row, COL_DATE));
    ui->lineEdit_2->setText(cellText(t, row, COL_NUMBER));
    ui->lineEdit_3->setText(cellText(t, row, COL_ISSUER));
    ui->lineEdit_4->setText(cellText(t, row, COL_NAME));
    ui->lineEdit_6->setText(cellText(t, row, COL_OUTGOING));
}

void addfile::on_tabWidget_currentChanged(int index)
{
    QTableWidget *t = ui->tableWidget_2;
    if (t->currentRow() == -1) {
        ui->tab_2->setEnabled(false);
        return;
    }
    ui->tab_2->setEnabled(true);
    documents->clear();
    if (index != 1)
        return;
    documents->setOrder(cellText(t, t->currentRow(), COL_NUMBER));
    documents->load();
}

void addfile::on_action_2_triggered(bool checked)
{
    ui->frame_6->setVisible(checked);
    ui->frame_3->setVisible(checked);
}

void addfile::on_pushButton_clicked()
{
    documents->attach();
}

void addfile::on_pushButton_2_clicked()
{
    documents->removeChosen();
}

void addfile::on_pushButton_3_clicked()
{
    askAndExit();
}

void addfile::on_pushButton_5_clicked()
{
    askAndExit();
}

void addfile::askAndExit()
{
    if (Dialogs::confirm(this, QStringLiteral("Вы точно уверены что надо выйти?")))
        close();
}

void addfile::on_tableWidget_cellDoubleClicked(int row, int column)
{
    Q_UNUSED(row);
    Q_UNUSED(column);
    documents->openChosen();
}

void addfile::on_action_triggered()
{
    documents->removeChosen();
}

void addfile::keyPressEvent(QKeyEvent *event)
{
    QMainWindow::keyPressEvent(event);
    // Esc leaves through the window's own question.
    if (event->key() == Qt::Key_Escape) {
        askAndExit();
        return;
    }
    if (event->key() != Qt::Key_Return || !ui->pushButton_7->isEnabled())
        return;
    if (Dialogs::confirm(this, QStringLiteral("Вы точно уверены что надо добавить?")))
        ui->pushButton_7->click();
}

void addfile::closeEvent(QCloseEvent *event)
{
    emit wtf(ln, wt);
    QMainWindow::closeEvent(event);
}

bool addfile::eventFilter(QObject *watched, QEvent *event)
{
    QDateEdit *edit = ui->dateEdit;
    if (watched == edit && event->type() == QEvent::KeyPress && !edit->specialValueText().isEmpty()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->text().size() == 1 && key->text().at(0).isDigit()) {
            // The stored text goes only now, when the user types a date.
            edit->setDate(QDate::currentDate());
            forgetDate();
            edit->setSelectedSection(QDateTimeEdit::DaySection);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void addfile::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}
