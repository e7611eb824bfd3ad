#include "windows/history.h"
#include "ui_history.h"

#include "export/paper.h"
#include "export/printing.h"
#include "export/tableexport.h"
#include "storage/db/errors.h"
#include "storage/history/historytable.h"
#include "storage/db/sql.h"
#include "view/openwindows.h"

#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QPageLayout>
#include <QPageSize>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTableWidgetItem>

#include <array>

namespace {

struct Name
{
    const char *code;
    const char *name;
};

constexpr std::array<Name, 16> ACTIONS{{
    {History::Action::SERVICEMAN_ADDED, "Добавлен военнослужащий"},
    {History::Action::SERVICEMAN_CHANGED, "Изменены данные военнослужащего"},
    {History::Action::SERVICEMAN_DELETED, "Удалён военнослужащий"},
    {History::Action::ORDER_ADDED, "Добавлен приказ"},
    {History::Action::ORDER_CHANGED, "Изменён приказ"},
    {History::Action::ORDER_LIFTED, "Снято взыскание"},
    {History::Action::ORDER_DELETED, "Удалён приказ"},
    {History::Action::DOCUMENT_ATTACHED, "Прикреплён документ"},
    {History::Action::DOCUMENT_DETACHED, "Откреплён документ"},
    {History::Action::REFERENCE_CHANGED, "Изменён справочник"},
    {History::Action::RESTORE, "Восстановление из копии"},
    {History::Action::TRANSFER, "Перенос на сервер"},
    {History::Action::IMPORT, "Импорт"},
    {History::Action::GROUP_ORDER_ADDED, "Приказ для нескольких"},
    {History::Action::GROUP_LIFTED, "Сняты взыскания приказом"},
    {History::Action::GROUP_ORDER_CHANGED, "Изменён приказ для всех"},
}};

// As the summary table's count columns are headed.
constexpr std::array<Name, 6> CATEGORIES{{
    {Code::VZS, "Взыскания"},
    {Code::BLAG, "Благодарности"},
    {Code::GR, "Грамоты"},
    {Code::ZOMO, "Знаки отличия МО РФ"},
    {Code::GOSNAG, "Государственные награды"},
    {Code::POSH, "Ветеран военной службы"},
}};

// The columns of the servicemen's and the orders' tables, as their windows
// head them.
constexpr std::array<Name, 19> FIELDS{{
    {"VP", "№ ВП"},
    {"Dol", "Должность"},
    {"VZ", "Воинское звание"},
    {"FIO", "ФИО"},
    {"Data_comb", "Дата рождения"},
    {"LN", "Личный номер"},
    {"Dolz_nom", "Должность по списку"},
    {"Zvan_nom", "Звание по списку"},
    {"Date_time", "Дата приказа"},
    {"prikaznom", "Номер приказа"},
    {"kemvidan", "Чей приказ"},
    {"nameZO", "Наименование"},
    {"actived_prikaz", "Действие взыскания"},
    {"ish_SU", "Исх.№СУ"},
    {"Nomer_snytie", "Номер снятия"},
    {"Data_snytie", "Дата снятия"},
    {"what", "Категория"},
    {"Giper", "Файл"},
    {"Name", "Имя файла"},
}};

template <size_t N>
QString nameOf(const std::array<Name, N> &names, const QString &code)
{
    for (const Name &n : names) {
        if (code == QLatin1String(n.code))
            return QString::fromUtf8(n.name);
    }
    return code;
}

const QStringList HEADERS{
    QStringLiteral("Когда"),        QStringLiteral("Кто"),       QStringLiteral("Рабочее место"),
    QStringLiteral("Действие"),     QStringLiteral("Личный номер"), QStringLiteral("ФИО"),
    QStringLiteral("Категория"),    QStringLiteral("№ приказа"), QStringLiteral("Поле"),
    QStringLiteral("Было"),         QStringLiteral("Стало")};
constexpr std::array<int, 11> WIDTHS{125, 90, 100, 215, 90, 200, 150, 70, 130, 160, 160};

// "yyyy-MM-dd HH:mm:ss" as the program shows dates, "dd.MM.yyyy HH:mm:ss";
// another text as it is. Rearranged rather than parsed: a page has hundreds.
QString shownTime(const QString &at)
{
    if (at.size() < 10 || at.at(4) != QLatin1Char('-') || at.at(7) != QLatin1Char('-'))
        return at;
    return at.mid(8, 2) + QLatin1Char('.') + at.mid(5, 2) + QLatin1Char('.') + at.left(4) + at.mid(10);
}

// A stored date as the program shows dates, "dd.MM.yyyy", whether it was
// written so (with a time after it, as the birth date is) or as
// "yyyy-MM-dd"; another text as it is.
QString shownDate(const QString &text)
{
    const QString day = text.trimmed().section(QLatin1Char(' '), 0, 0).section(QLatin1Char('T'), 0, 0);
    for (const char *format : {"dd.MM.yyyy", "d.M.yyyy", "yyyy-MM-dd"}) {
        const QDate date = QDate::fromString(day, QLatin1String(format));
        if (date.isValid())
            return date.toString(QStringLiteral("dd.MM.yyyy"));
    }
    return text;
}

// A stored value in the words the clerk knows: a penalty's state, the rank
// or position a number stands for in its list, a date.
QString shownValue(const QString &field, const QString &value, const History::References &lists)
{
    if (value.isEmpty())
        return value;
    if (field == QLatin1String("actived_prikaz")) {
        const QString state = value.trimmed();
        return state == QLatin1String("1")   ? QStringLiteral("в силе")
               : state == QLatin1String("0") ? QStringLiteral("снято")
                                             : value;
    }
    if (field == QLatin1String("Zvan_nom") || field == QLatin1String("Dolz_nom")) {
        const QStringList &names = field == QLatin1String("Zvan_nom") ? lists.ranks : lists.positions;
        bool number = false;
        const int place = value.trimmed().toInt(&number);
        return number && place >= 1 && place <= names.size() ? names.at(place - 1) : value;
    }
    if (field == QLatin1String("Data_comb") || field == QLatin1String("Date_time") ||
        field == QLatin1String("Data_snytie"))
        return shownDate(value);
    return value;
}

QStringList cells(const History::Record &e, const History::References &lists)
{
    return {shownTime(e.at),
            e.who,
            e.workstation,
            HistoryWindow::actionName(e.action),
            e.LN,
            e.FIO,
            e.what.isEmpty() ? QString() : HistoryWindow::categoryName(e.what),
            e.prikaznom,
            e.field.isEmpty() ? QString() : HistoryWindow::fieldName(e.field),
            shownValue(e.field, e.oldValue, lists),
            shownValue(e.field, e.newValue, lists)};
}

// "1 запись", "3 записи", "5 записей".
QString entries(qsizetype n)
{
    const qsizetype tens = n % 100;
    const qsizetype ones = n % 10;
    const char *word = ones == 1 && tens != 11                             ? "запись"
                       : ones >= 2 && ones <= 4 && (tens < 12 || tens > 14) ? "записи"
                                                                          : "записей";
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(word));
}

QSqlDatabase database()
{
    return QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
}

} // namespace

HistoryWindow::HistoryWindow(const QString &personalNumber, const QString &fio, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::history)
    , ln(personalNumber)
{
    ui->setupUi(this);
    if (!ln.isEmpty())
        setWindowTitle(QStringLiteral("История изменений — %1 (%2)").arg(fio.isEmpty() ? ln : fio, ln));

    QTableWidget *t = ui->tableWidget;
    t->setColumnCount(static_cast<int>(HEADERS.size()));
    t->setHorizontalHeaderLabels(HEADERS);
    for (int c = 0; c < t->columnCount(); ++c)
        t->setColumnWidth(c, WIDTHS[static_cast<size_t>(c)]);
    t->horizontalHeader()->setStretchLastSection(true);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    t->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    const QDate today = QDate::currentDate();
    ui->dateFrom->setDate(today.addMonths(-1));
    ui->dateTo->setDate(today);
    ui->dateFrom->setEnabled(false);
    ui->dateTo->setEnabled(false);
    ui->comboWho->addItem(QStringLiteral("Все пользователи"));
    ui->comboAction->addItem(QStringLiteral("Все изменения"));
    for (const Name &a : ACTIONS)
        ui->comboAction->addItem(QString::fromUtf8(a.name), QString::fromLatin1(a.code));
    ui->comboWhat->addItem(QStringLiteral("Все категории"));
    for (const Name &c : CATEGORIES)
        ui->comboWhat->addItem(QString::fromUtf8(c.name), QString::fromLatin1(c.code));

    const QSqlDatabase db = database();
    readable = db.isOpen() && History::exists(db);
    if (readable) {
        QStringList users;
        QSqlError error;
        if (History::readUsers(db, &users, &error)) {
            for (const QString &user : std::as_const(users))
                ui->comboWho->addItem(user, user);
        }
        // Without the lists the numbers are shown as they are.
        History::readReferences(db, &references, &error);
    }

    connect(ui->allDates, &QCheckBox::toggled, this, [this](bool all) {
        ui->dateFrom->setEnabled(!all);
        ui->dateTo->setEnabled(!all);
        reload();
    });
    // The dates count only while "Все даты" is off.
    for (QDateEdit *date : {ui->dateFrom, ui->dateTo})
        connect(date, &QDateEdit::dateChanged, this, [this] {
            if (!ui->allDates->isChecked())
                reload();
        });
    for (QComboBox *combo : {ui->comboWho, ui->comboAction, ui->comboWhat})
        connect(combo, &QComboBox::currentIndexChanged, this, [this] { reload(); });
    searchPause.setSingleShot(true);
    searchPause.setInterval(300);
    connect(&searchPause, &QTimer::timeout, this, [this] { reload(); });
    connect(ui->search, &QLineEdit::textChanged, this, [this] { searchPause.start(); });
    connect(ui->search, &QLineEdit::returnPressed, this, [this] {
        searchPause.stop();
        reload();
    });
    connect(ui->buttonMore, &QPushButton::clicked, this, [this] { loadMore(); });
    connect(ui->buttonExport, &QPushButton::clicked, this, [this] { exportChosen(); });
    // Scrolled to the end: the next page follows.
    connect(t->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (next > 0 && value == ui->tableWidget->verticalScrollBar()->maximum())
            loadMore();
    });
    reload();
}

HistoryWindow::~HistoryWindow()
{
    delete ui;
}

void HistoryWindow::open(const QString &ln, const QString &fio)
{
    OpenWindows::show(new HistoryWindow(ln, fio));
}

QString HistoryWindow::actionName(const QString &code)
{
    return nameOf(ACTIONS, code);
}

QString HistoryWindow::categoryName(const QString &code)
{
    return nameOf(CATEGORIES, code);
}

QString HistoryWindow::fieldName(const QString &field)
{
    return nameOf(FIELDS, field);
}

History::Filter HistoryWindow::filter() const
{
    History::Filter f;
    f.LN = ln;
    if (!ui->allDates->isChecked()) {
        f.from = ui->dateFrom->date();
        f.to = ui->dateTo->date();
    }
    f.who = ui->comboWho->currentData().toString();
    f.action = ui->comboAction->currentData().toString();
    f.what = ui->comboWhat->currentData().toString();
    f.search = ui->search->text();
    return f;
}

QString HistoryWindow::filterLine() const
{
    const History::Filter f = filter();
    const QString all = QStringLiteral("все");
    const QString period = f.from.isValid() ? QStringLiteral("с %1 по %2")
                                                  .arg(f.from.toString(QStringLiteral("dd.MM.yyyy")),
                                                       f.to.toString(QStringLiteral("dd.MM.yyyy")))
                                            : QStringLiteral("все даты");
    const QString search = f.search.trimmed();
    return QStringLiteral("Отбор — период: %1; пользователь: %2; изменения: %3; категория: %4; поиск: %5")
        .arg(period, f.who.isEmpty() ? all : f.who, f.action.isEmpty() ? all : actionName(f.action),
             f.what.isEmpty() ? all : categoryName(f.what),
             search.isEmpty() ? QStringLiteral("нет") : QStringLiteral("«%1»").arg(search));
}

void HistoryWindow::reload()
{
    QTableWidget *t = ui->tableWidget;
    t->setRowCount(0);
    next = 0;
    ui->buttonMore->setEnabled(false);
    if (!readable) {
        ui->statusLine->setText(QStringLiteral("В этой базе данных истории изменений нет"));
        ui->buttonExport->setEnabled(false);
        return;
    }
    loadMore();
}

void HistoryWindow::loadMore()
{
    if (!readable)
        return;
    const bool first = ui->tableWidget->rowCount() == 0;
    if (!first && next == 0)
        return;
    History::Page page;
    QSqlError error;
    if (!History::readPage(database(), filter(), first ? 0 : next, History::PAGE_SIZE, &page, &error)) {
        ui->statusLine->setText(QStringLiteral("История изменений не прочитана: %1").arg(Errors::describe(error)));
        return;
    }
    append(page);
}

void HistoryWindow::append(const History::Page &page)
{
    QTableWidget *t = ui->tableWidget;
    const int start = t->rowCount();
    const int count = static_cast<int>(page.entries.size());
    {
        // The cells go in without a notice each; the view is told once.
        const QSignalBlocker blocker(t->verticalScrollBar());
        t->setRowCount(start + count);
        QSignalBlocker quiet(t->model());
        for (int r = 0; r < count; ++r) {
            const QStringList texts = cells(page.entries[static_cast<size_t>(r)], references);
            for (int c = 0; c < texts.size(); ++c)
                t->setItem(start + r, c, new QTableWidgetItem(texts.at(c)));
        }
        quiet.unblock();
        t->viewport()->update();
    }
    next = page.next;
    ui->buttonMore->setEnabled(next > 0);
    showCount();
}

void HistoryWindow::showCount()
{
    const int shown = ui->tableWidget->rowCount();
    ui->buttonExport->setEnabled(shown > 0);
    if (shown == 0)
        ui->statusLine->setText(QStringLiteral("Записей нет"));
    else
        ui->statusLine->setText(QStringLiteral("Показано %1").arg(entries(shown)) +
                                (next > 0 ? QStringLiteral(" (есть ещё — «Ещё» или прокрутка вниз)") : QString()));
}

bool HistoryWindow::exportTo(const QString &fileName, QString *error)
{
    std::vector<History::Record> all;
    QSqlError readError;
    if (!History::readAll(database(), filter(), &all, &readError)) {
        *error = QStringLiteral("история изменений не прочитана: %1").arg(Errors::describe(readError));
        return false;
    }
    const QString title = windowTitle();
    const QString chosen = filterLine();
    // A sheet of a spreadsheet holds 1,048,576 rows, the two title lines and
    // the header row among them: a longer history is refused whole rather
    // than cut short.
    constexpr size_t SHEET_ROWS = 1048573;
    if (!fileName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) && all.size() > SHEET_ROWS) {
        *error = QStringLiteral("записей %1, а лист таблицы вмещает не больше %2; выберите период или другие "
                                "отборы, чтобы записей стало меньше")
                     .arg(all.size())
                     .arg(SHEET_ROWS);
        return false;
    }
    if (fileName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        Paper::Part part;
        part.line = title + QStringLiteral(" — ") + QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
        part.lineFont = font();
        part.blocks.emplace_back(Paper::Text{chosen, font(), Qt::AlignLeft, 0, true});
        Paper::Table table;
        table.font = ui->tableWidget->font();
        table.headerFont = ui->tableWidget->horizontalHeader()->font();
        table.headerBackground = QColor(235, 235, 235);
        const qreal toPoints = 72.0 / std::max(1, logicalDpiX());
        for (int c = 0; c < HEADERS.size(); ++c) {
            Paper::Cell cell;
            cell.text = HEADERS.at(c);
            cell.alignment = Qt::AlignCenter;
            table.header.push_back(cell);
            table.widths.push_back(WIDTHS[static_cast<size_t>(c)] * toPoints);
        }
        table.rows.reserve(all.size());
        for (const History::Record &e : all) {
            Paper::Row row;
            for (const QString &text : cells(e, references)) {
                Paper::Cell cell;
                cell.text = text;
                row.push_back(std::move(cell));
            }
            table.rows.push_back(std::move(row));
        }
        part.blocks.emplace_back(std::move(table));
        Paper::Document document;
        document.parts.push_back(std::move(part));
        const QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                                 QPageLayout::Millimeter);
        return Printing::savePdf(document, fileName, layout, 300, false, {}, error) == Printing::Outcome::Done;
    }
    TableExport::Grid grid;
    grid.sheet = QStringLiteral("История изменений");
    grid.header = HEADERS;
    grid.title = QStringList{title, chosen};
    // Not the summary's columns: every cell is written as text.
    for (int c = 0; c < HEADERS.size(); ++c)
        grid.columns.append(-1);
    grid.rows.reserve(static_cast<qsizetype>(all.size()));
    for (const History::Record &e : all)
        grid.rows.append(cells(e, references));
    if (fileName.endsWith(QLatin1String(".ods"), Qt::CaseInsensitive))
        return TableExport::writeSpreadsheet(grid, fileName, error);
    return TableExport::writeWorkbook(grid, fileName, error);
}

void HistoryWindow::exportChosen()
{
    const QString xlsx = QStringLiteral("Excel 2007+ (*.xlsx)");
    const QString ods = QStringLiteral("OpenDocument (*.ods)");
    const QString pdf = QStringLiteral("PDF (*.pdf)");
    QString chosenFilter;
    QString name = QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт истории изменений"), QString(),
                                                xlsx + QStringLiteral(";;") + ods + QStringLiteral(";;") + pdf,
                                                &chosenFilter);
    if (name.isEmpty())
        return;
    const QStringList endings{QStringLiteral(".xlsx"), QStringLiteral(".ods"), QStringLiteral(".pdf")};
    bool known = false;
    for (const QString &ending : endings)
        known = known || name.endsWith(ending, Qt::CaseInsensitive);
    if (!known)
        name += chosenFilter == pdf ? endings.at(2) : chosenFilter == ods ? endings.at(1) : endings.at(0);
    QString error;
    if (exportTo(name, &error))
        ui->statusLine->setText(QStringLiteral("История изменений сохранена в файл «%1»")
                                    .arg(QDir::toNativeSeparators(name)));
    else
        ui->statusLine->setText(QStringLiteral("История изменений не сохранена в файл «%1»: %2")
                                    .arg(QDir::toNativeSeparators(name), error));
}
