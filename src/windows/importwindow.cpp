#include "windows/importwindow.h"
#include "ui_importwindow.h"

#include "export/tableexport.h"
#include "storage/import/write.h"
#include "view/openwindows.h"
#include "view/readonly.h"
#include "windows/importpreview.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Import;

namespace {

const char ADD_ENTRY[] = "добавить в справочник";

// The rows the width of a column is measured on (the rest are alike).
constexpr int MEASURED_ROWS = 300;

} // namespace

ImportWindow::ImportWindow(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::importwindow)
{
    ui->setupUi(this);
    buildPane(roster, ui->pageServicemen);
    buildPane(orders, ui->pageOrders);
    ui->referenceTable->horizontalHeader()->setStretchLastSection(true);
    ui->referenceTable->verticalHeader()->hide();
    ui->referenceTable->hide();
    connect(ui->existingChoice, &QComboBox::currentIndexChanged, this, [this](int index) {
        choices.updateExisting = index == 1;
        recheck();
    });
    connect(ui->importButton, &QPushButton::clicked, this, [this] { startImport(); });
    connect(ui->reportButton, &QPushButton::clicked, this, [this] { chooseReport(); });
    connect(ui->closeButton, &QPushButton::clicked, this, &QWidget::close);
    ui->importButton->setEnabled(false);
    ui->reportButton->setEnabled(false);
    // A viewer may look at a file but writes nothing.
    ReadOnly::disable({ui->importButton});
}

ImportWindow::~ImportWindow()
{
    delete ui;
}

ImportWindow *ImportWindow::open()
{
    auto *window = new ImportWindow;
    OpenWindows::show(window);
    return window;
}

void ImportWindow::buildPane(Pane &pane, QWidget *page)
{
    auto *layout = new QVBoxLayout(page);
    auto *row = new QHBoxLayout;
    const QString suffix = pane.kind == Kind::Servicemen ? QStringLiteral("Servicemen") : QStringLiteral("Orders");
    pane.name = new QLineEdit(page);
    pane.name->setReadOnly(true);
    pane.name->setObjectName(QStringLiteral("file") + suffix);
    pane.name->setPlaceholderText(pane.kind == Kind::Servicemen
                                      ? QStringLiteral("Таблица военнослужащих (.xlsx, .ods, .xls, .csv)")
                                      : QStringLiteral("Таблица приказов: другой файл или лист того же"));
    auto *choose = new QPushButton(QStringLiteral("Выбрать…"), page);
    choose->setObjectName(QStringLiteral("choose") + suffix);
    pane.sheet = new QComboBox(page);
    pane.sheet->setObjectName(QStringLiteral("sheet") + suffix);
    pane.encoding = new QComboBox(page);
    pane.encoding->setObjectName(QStringLiteral("encoding") + suffix);
    pane.encoding->addItem(QStringLiteral("UTF-8"), QByteArray("UTF-8"));
    pane.encoding->addItem(QStringLiteral("Windows-1251"), QByteArray("windows-1251"));
    pane.separator = new QComboBox(page);
    pane.separator->setObjectName(QStringLiteral("separator") + suffix);
    pane.separator->addItem(QStringLiteral("точка с запятой ;"), QChar(';'));
    pane.separator->addItem(QStringLiteral("запятая ,"), QChar(','));
    pane.separator->addItem(QStringLiteral("табуляция"), QChar('\t'));
    row->addWidget(pane.name, 1);
    row->addWidget(choose);
    row->addWidget(new QLabel(QStringLiteral("Лист:"), page));
    row->addWidget(pane.sheet);
    row->addWidget(new QLabel(QStringLiteral("Кодировка:"), page));
    row->addWidget(pane.encoding);
    row->addWidget(new QLabel(QStringLiteral("Разделитель:"), page));
    row->addWidget(pane.separator);
    layout->addLayout(row);
    auto *shown = new QHBoxLayout;
    pane.onlyRemarks = new QCheckBox(QStringLiteral("Только строки с замечаниями"), page);
    pane.onlyRemarks->setObjectName(QStringLiteral("remarks") + suffix);
    pane.note = new QLabel(page);
    pane.note->setObjectName(QStringLiteral("note") + suffix);
    shown->addWidget(pane.onlyRemarks);
    shown->addWidget(pane.note, 1);
    layout->addLayout(shown);
    pane.table = new QTableView(page);
    pane.table->setObjectName(QStringLiteral("preview") + suffix);
    pane.table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pane.table->horizontalHeader()->setResizeContentsPrecision(MEASURED_ROWS);
    pane.model = new ImportPreview(pane.table);
    pane.table->setModel(pane.model);
    layout->addWidget(pane.table, 1);
    connect(pane.onlyRemarks, &QCheckBox::toggled, this, [this, &pane](bool only) {
        pane.model->setOnlyRemarks(only);
        placeColumnChoices(pane);
        describePreview(pane);
    });
    for (QComboBox *c : {pane.sheet, pane.encoding, pane.separator})
        c->setEnabled(false);

    connect(choose, &QPushButton::clicked, this, [this, &pane] { this->choose(pane); });
    for (QComboBox *c : {pane.sheet, pane.encoding, pane.separator}) {
        connect(c, &QComboBox::currentIndexChanged, this, [this, &pane] {
            if (!filling)
                reread(pane);
        });
    }
}

void ImportWindow::choose(Pane &pane)
{
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Таблица для импорта"), QString(),
        QStringLiteral("Таблицы (*.xlsx *.ods *.xls *.csv);;Все файлы (*)"));
    if (!path.isEmpty())
        load(pane.kind, path);
}

bool ImportWindow::load(Kind kind, const QString &path)
{
    Pane &pane = kind == Kind::Servicemen ? roster : orders;
    pane.file = readSheet(path);
    pane.file.path = path;
    shown(pane);
    return pane.file.error.isEmpty();
}

void ImportWindow::reread(Pane &pane)
{
    if (pane.file.path.isEmpty())
        return;
    CsvFormat format{pane.encoding->currentData().toByteArray(), pane.separator->currentData().toChar()};
    const bool csv = pane.encoding->isEnabled();
    const QString path = pane.file.path;
    pane.file = readSheet(path, std::max(0, pane.sheet->currentIndex()), csv ? &format : nullptr);
    pane.file.path = path;
    shown(pane);
}

// The file as read: its sheets and format in the controls, its columns
// matched, every row checked.
void ImportWindow::shown(Pane &pane)
{
    filling = true;
    const SheetFile &f = pane.file;
    pane.name->setText(QDir::toNativeSeparators(f.path));
    pane.sheet->clear();
    pane.sheet->addItems(f.sheets);
    pane.sheet->setCurrentIndex(f.sheet);
    pane.sheet->setEnabled(f.sheets.size() > 1);
    const bool csv = !f.csv.encoding.isEmpty();
    pane.encoding->setEnabled(csv);
    pane.separator->setEnabled(csv);
    if (csv) {
        pane.encoding->setCurrentIndex(f.csv.encoding.compare("UTF-8", Qt::CaseInsensitive) == 0 ? 0 : 1);
        pane.separator->setCurrentIndex(std::max(0, pane.separator->findData(f.csv.separator)));
    }
    filling = false;
    pane.matching = Matching();
    if (!f.error.isEmpty()) {
        say(QStringLiteral("Файл «%1» не прочитан: %2").arg(QFileInfo(f.path).fileName(), f.error));
    } else {
        pane.matching = match(f.rows, pane.kind);
        if (pane.matching.headerRow < 0) {
            // The user sets the columns himself; the first row is taken for
            // the headers.
            pane.matching.headerRow = 0;
            pane.matching.columns.fill(Column::None, f.columns);
            say(QStringLiteral("В первых 20 строках не найдены заголовки столбцов (ФИО, Личный номер…): "
                               "укажите столбцы над таблицей."));
        } else {
            say(f.warning);
        }
    }
    recheck();
}

void ImportWindow::recheck()
{
    const bool haveRoster = !roster.file.rows.isEmpty();
    const bool haveOrders = !orders.file.rows.isEmpty();
    rosterCheck = haveRoster ? checkServicemen(roster.file.rows, roster.matching, choices) : ServicemenCheck();
    ordersCheck = haveOrders ? checkOrders(orders.file.rows, orders.matching, rosterCheck) : OrdersCheck();
    fillPreview(roster);
    fillPreview(orders);
    fillReferences();
    QString summary = QStringLiteral("Будет добавлено: %1, обновлено: %2, пропущено: %3")
                          .arg(rosterCheck.added)
                          .arg(rosterCheck.updated)
                          .arg(rosterCheck.skipped);
    // Only an update can find a serviceman as he is stored.
    if (choices.updateExisting && haveRoster)
        summary += QStringLiteral(", без изменений: %1").arg(rosterCheck.unchanged);
    if (haveOrders)
        summary += QStringLiteral("; приказов будет добавлено: %1, пропущено: %2")
                       .arg(ordersCheck.added)
                       .arg(ordersCheck.skipped);
    const QString error = rosterCheck.error.isEmpty() ? ordersCheck.error : rosterCheck.error;
    if (!error.isEmpty())
        say(QStringLiteral("Реестр не удалось прочитать для проверки: %1").arg(error));
    ui->summaryLine->setText(haveRoster || haveOrders ? summary : QStringLiteral("Выберите файл"));
    const bool something = rosterCheck.added + rosterCheck.updated + ordersCheck.added > 0;
    ui->importButton->setEnabled(something && error.isEmpty() && !ReadOnly::active());
    ui->reportButton->setEnabled(rosterCheck.skipped + ordersCheck.skipped > 0);
}

void ImportWindow::fillPreview(Pane &pane)
{
    // What the check made of each row, in the order of the sheet.
    QVector<ImportPreview::Verdict> verdicts;
    if (pane.kind == Kind::Servicemen) {
        verdicts.reserve(rosterCheck.rows.size());
        for (const ServicemanRow &r : rosterCheck.rows)
            verdicts.append({r.line, r.action, r.reason});
    } else {
        verdicts.reserve(ordersCheck.rows.size());
        for (const OrderRow &r : ordersCheck.rows)
            verdicts.append({r.line, r.action, r.reason});
    }
    pane.model->show(pane.file.rows, pane.matching.headerRow, static_cast<int>(pane.matching.columns.size()),
                     std::move(verdicts));
    placeColumnChoices(pane);
    describePreview(pane);
    QTableView *t = pane.table;
    t->resizeColumnsToContents();
    if (pane.model->columnCount() > 0)
        t->setColumnWidth(0, std::min(t->columnWidth(0), 360));
}

// Over the first row, a choice per shown column of what it holds.
void ImportWindow::placeColumnChoices(Pane &pane)
{
    const QVector<Column> kinds = Import::choices(pane.kind);
    for (int c = 0; c < pane.model->shownColumns(); ++c) {
        auto *combo = new QComboBox(pane.table);
        for (const Column k : kinds)
            combo->addItem(caption(k), static_cast<int>(k));
        combo->setCurrentIndex(std::max(0, combo->findData(static_cast<int>(pane.matching.columns.at(c)))));
        connect(combo, &QComboBox::currentIndexChanged, this, [this, &pane, c, combo] {
            pane.matching.columns[c] = static_cast<Column>(combo->currentData().toInt());
            remember(pane.file.rows.at(pane.matching.headerRow).toList(), pane.matching.columns);
            // Rebuilt after the signal has returned to the combo.
            QMetaObject::invokeMethod(this, [this] { recheck(); }, Qt::QueuedConnection);
        });
        pane.table->setIndexWidget(pane.model->index(0, c + 1), combo);
    }
}

// The line over the preview: how many rows it shows of how many, and the
// columns it leaves out of a very wide sheet.
void ImportWindow::describePreview(Pane &pane)
{
    const ImportPreview *p = pane.model;
    QStringList parts;
    if (p->sheetColumns() > 0) {
        parts.append(pane.onlyRemarks->isChecked()
                         ? QStringLiteral("Показаны строки с замечаниями: %1 из %2.")
                               .arg(p->remarkRows())
                               .arg(p->checkedRows())
                         : QStringLiteral("Показаны все строки: %1, из них с замечаниями: %2.")
                               .arg(p->checkedRows())
                               .arg(p->remarkRows()));
    }
    if (p->sheetColumns() > p->shownColumns())
        parts.append(QStringLiteral("Показаны первые %1 столбцов из %2; столбцы за ними узнаются только по "
                                    "заголовкам.")
                         .arg(p->shownColumns())
                         .arg(p->sheetColumns()));
    pane.note->setText(parts.join(QLatin1Char(' ')));
}

void ImportWindow::fillReferences()
{
    QTableWidget *t = ui->referenceTable;
    t->setRowCount(0);
    const auto add = [&](const QString &list, const QString &name, const QStringList &entries,
                         QMap<QString, QString> &mapping) {
        const int row = t->rowCount();
        t->insertRow(row);
        t->setItem(row, 0, new QTableWidgetItem(list));
        t->setItem(row, 1, new QTableWidgetItem(name));
        auto *combo = new QComboBox(t);
        combo->addItem(QString::fromUtf8(ADD_ENTRY));
        for (const QString &e : entries)
            combo->addItem(QStringLiteral("заменить на «%1»").arg(e), e);
        if (mapping.contains(name))
            combo->setCurrentIndex(std::max(0, combo->findData(mapping.value(name))));
        connect(combo, &QComboBox::currentIndexChanged, this, [this, combo, name, &mapping] {
            if (combo->currentIndex() == 0)
                mapping.remove(name);
            else
                mapping.insert(name, combo->currentData().toString());
            QMetaObject::invokeMethod(this, [this] { recheck(); }, Qt::QueuedConnection);
        });
        t->setCellWidget(row, 2, combo);
    };
    for (const QString &n : rosterCheck.missingRanks)
        add(QStringLiteral("Воинские звания"), n, rosterCheck.ranks, choices.ranks);
    for (const QString &n : rosterCheck.missingPositions)
        add(QStringLiteral("Должности"), n, rosterCheck.positions, choices.positions);
    t->setVisible(t->rowCount() > 0);
    t->resizeColumnsToContents();
}

bool ImportWindow::startImport()
{
    const bool haveRoster = rosterCheck.added + rosterCheck.updated > 0;
    const bool haveOrders = ordersCheck.added > 0;
    if (!haveRoster && !haveOrders)
        return false;
    QProgressDialog progress(QStringLiteral("Импорт: записываются строки…"), QStringLiteral("Отмена"), 0, 0, this);
    progress.setWindowTitle(QStringLiteral("Импорт"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    const auto told = [&progress](int done, int total) {
        progress.setMaximum(total);
        progress.setValue(std::min(done, total));
        QApplication::processEvents();
        return !progress.wasCanceled();
    };
    Written w;
    const QString source = roster.file.path.isEmpty() ? orders.file.path : roster.file.path;
    const bool ok = write(haveRoster ? &rosterCheck : nullptr, haveOrders ? &ordersCheck : nullptr, source, &w, told);
    progress.reset();
    const QString backup = w.backup.isEmpty()
                               ? QString()
                               : QStringLiteral(" Резервная копия перед импортом: «%1».")
                                     .arg(QDir::toNativeSeparators(w.backup));
    if (!ok) {
        // The register may have changed meanwhile: the rows are checked anew.
        if (!w.cancelled)
            recheck();
        say(w.cancelled  ? QStringLiteral("Импорт отменён, ничего не записано.") + backup
            : w.unknown ? QStringLiteral("Неизвестно, записан ли импорт: %1.").arg(w.error) + backup
                        : QStringLiteral("Импорт не выполнен, ничего не записано: %1.").arg(w.error) + backup);
        return false;
    }
    QString added;
    if (w.ranks + w.positions > 0)
        added = QStringLiteral(" В справочники добавлено: званий %1, должностей %2.").arg(w.ranks).arg(w.positions);
    emit imported();
    recheck();
    const QString unchanged =
        w.unchanged > 0 ? QStringLiteral(", без изменений %1").arg(w.unchanged) : QString();
    say(QStringLiteral("Импорт завершён: добавлено военнослужащих %1, обновлено %2%3, приказов %4.")
            .arg(w.added)
            .arg(w.updated)
            .arg(unchanged)
            .arg(w.orders) +
        added + backup);
    return true;
}

bool ImportWindow::saveReport(const QString &fileName, QString *error) const
{
    const QVector<QStringList> rows = skippedReport(&rosterCheck, &ordersCheck);
    if (fileName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        QSaveFile file(fileName);
        if (!file.open(QIODevice::WriteOnly)) {
            *error = file.errorString();
            return false;
        }
        QByteArray out("\xEF\xBB\xBF");
        for (const QStringList &row : rows) {
            QStringList cells;
            for (QString cell : row)
                cells.append(QLatin1Char('"') + cell.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                             QLatin1Char('"'));
            out += cells.join(QLatin1Char(';')).toUtf8() + "\r\n";
        }
        file.write(out);
        if (!file.commit()) {
            *error = file.errorString();
            return false;
        }
        return true;
    }
    TableExport::Grid grid;
    grid.sheet = QStringLiteral("Пропущенные строки");
    grid.header = rows.value(0);
    for (int i = 0; i < grid.header.size(); ++i)
        grid.columns.append(i);
    for (int i = 1; i < rows.size(); ++i)
        grid.rows.append(rows.at(i));
    return TableExport::writeWorkbook(grid, fileName, error);
}

void ImportWindow::chooseReport()
{
    QString name = QFileDialog::getSaveFileName(this, QStringLiteral("Отчёт о пропущенных строках"),
                                                QStringLiteral("Пропущенные строки.xlsx"),
                                                QStringLiteral("Книга Excel (*.xlsx);;Текст CSV (*.csv)"));
    if (name.isEmpty())
        return;
    if (!name.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) &&
        !name.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        name += QStringLiteral(".xlsx");
    QString error;
    if (saveReport(name, &error))
        say(QStringLiteral("Отчёт о пропущенных строках записан в «%1».").arg(QDir::toNativeSeparators(name)));
    else
        say(QStringLiteral("Отчёт не записан: %1").arg(error));
}

void ImportWindow::say(const QString &text)
{
    ui->statusLine->setText(text);
}
