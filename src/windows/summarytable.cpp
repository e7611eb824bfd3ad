#include "windows/summarytable.h"

#include "storage/db/errors.h"
#include "storage/setup/settings.h"
#include "view/columns.h"
#include "view/rowfilter.h"
#include "view/tablefit.h"

#include <QBrush>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>

#include <algorithm>
#include <optional>

SummaryTable::SummaryTable(const Widgets &widgets, QObject *parent)
    : QObject(parent)
    , w(widgets)
{
    setObjectName(QStringLiteral("summaryTable"));
    refit.setSingleShot(true);
    refit.setInterval(50);
    connect(&refit, &QTimer::timeout, this, &SummaryTable::applyWidths);
    w.table->viewport()->installEventFilter(this);
}

SummaryTable::~SummaryTable() = default;

QSqlError SummaryTable::search(const QString &text)
{
    m_search = text;
    return fill();
}

QSqlError SummaryTable::refill()
{
    m_search.clear();
    return fill();
}

QSqlError SummaryTable::fill(bool again)
{
    QTableWidget *t = w.table;
    t->setUpdatesEnabled(false);

    LastRead &read = lastRead;
    if (again || !read.valid) {
        read = LastRead();
        read.rows = Roster::read(Roster::Table::Summary, &read.error);
        read.valid = read.error.type() == QSqlError::NoError;
    }
    const std::vector<Roster::Row> &rows = read.rows;
    const QSqlError readError = read.error;
    updateUnits(rows);

    RowFilter::Filter filter = chosenFilter();
    const bool rosterRead = readError.type() == QSqlError::NoError;
    const PenaltyView penalties = readPenalties(rosterRead, w.inForceOnly->isChecked(), &filter);
    // The places in the full table of the rows that are put in.
    const std::vector<int> kept = RowFilter::apply(filter, rows);
    std::vector<int> changed;
    const bool reuse = keepRows(rows, kept, penalties.months, &changed);
    const bool remeasured = !changed.empty();
    const int old = putRows(rows, kept, penalties.inForce->old, penalties.months, reuse, &changed);
    // A row taken back to be measured may have been made anew as well.
    if (remeasured) {
        std::sort(changed.begin(), changed.end());
        changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
    }
    fitSummary(rows, reuse ? &changed : nullptr);
    t->setUpdatesEnabled(true);
    t->viewport()->update();

    tell(rosterRead ? nullptr : &readError, kept.size(), penalties, old);
    emit filled();
    return readError;
}

void SummaryTable::tell(const QSqlError *readError, size_t shown, const PenaltyView &penalties, int old)
{
    if (readError)
        w.shownLine->setText(QStringLiteral("Таблица не прочитана: %1").arg(Errors::describe(*readError)));
    else if (shown == 0 && !m_search.isEmpty())
        w.shownLine->setText(QStringLiteral("Ничего не найдено"));
    else
        w.shownLine->setText(QStringLiteral("Показано %1 из %2").arg(shown).arg(lastRead.rows.size()));
    const int months = penalties.months;
    if (!penalties.read)
        w.penaltyLine->setText(
            QStringLiteral("Взыскания не прочитаны: %1").arg(Errors::describe(penalties.error)));
    else if (months > 0)
        w.penaltyLine->setText(QStringLiteral("Взысканий старше %1 мес.: %2").arg(months).arg(old));
    // Where the roster itself was not read, its reason is the one to read.
    w.penaltyLine->setVisible(!readError && (!penalties.read || months > 0));
}

RowFilter::Filter SummaryTable::chosenFilter() const
{
    RowFilter::Filter filter;
    filter.category = w.categories->currentIndex();
    filter.onlyWithRecords = w.onlyWithRecords->isChecked();
    if (w.units->currentIndex() > 0)
        filter.unit = w.units->currentData().toString();
    filter.text = m_search;
    return filter;
}

SummaryTable::PenaltyView SummaryTable::readPenalties(bool rosterRead, bool inForceOnly,
                                                      RowFilter::Filter *filter)
{
    // The penalties in force: for their view and for the reminder of old
    // ones. Where they cannot be read the view shows nobody rather than
    // everybody, and the status bar says why.
    static const Penalties::InForce none;
    LastRead &read = lastRead;
    PenaltyView p;
    p.months = Settings::penaltyReminderMonths();
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

bool SummaryTable::keepRows(const std::vector<Roster::Row> &rows, const std::vector<int> &kept, int months,
                            std::vector<int> *stale)
{
    QTableWidget *t = w.table;
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
    if (comparable)
        takeOffstage(rows);
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
        for (int c = 0; c < SummaryColumns::COUNT; ++c)
            t->setItem(k, c, row->items[static_cast<size_t>(c)].release());
        t->setRowHeight(k, row->height);
        if (row->fit != heightsFit)
            stale->push_back(k);
        shownRows[static_cast<size_t>(k)] = std::move(row->shown);
        back = true;
    }
    return back;
}

void SummaryTable::takeOffstage(const std::vector<Roster::Row> &rows)
{
    QTableWidget *t = w.table;
    for (int j = 0; j < static_cast<int>(shownRows.size()); ++j) {
        ShownRow &shown = shownRows[static_cast<size_t>(j)];
        const auto r = static_cast<size_t>(shown.index);
        if (shown.index < 0 || r >= rows.size())
            continue;
        auto row = std::make_unique<Offstage>();
        row->height = t->rowHeight(j);
        row->fit = heightsFit;
        row->shown = std::move(shown);
        for (int c = 0; c < SummaryColumns::COUNT; ++c)
            row->items[static_cast<size_t>(c)].reset(t->takeItem(j, c));
        offstage[r] = std::move(row);
    }
}

int SummaryTable::putRows(const std::vector<Roster::Row> &rows, const std::vector<int> &kept,
                          const QHash<QString, int> &oldPenalties, int months, bool reuse,
                          std::vector<int> *changed)
{
    QTableWidget *t = w.table;
    const QBrush stripe(QColor(240, 240, 240, 226), Qt::SolidPattern);
    QBrush countBrushes[SummaryColumns::COUNT];
    for (int c = SummaryColumns::FIRST_COUNT; c <= SummaryColumns::LAST_COUNT; ++c)
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
        const int oldHere = oldPenalties.value(row[SummaryColumns::LN]);
        old += oldHere;
        ShownRow &shown = shownRows[static_cast<size_t>(k)];
        if (reuse && shown.index == r && shown.striped == (r % 2 == 0) && shown.old == oldHere &&
            shown.cells == row)
            continue;
        shown = ShownRow{row, r % 2 == 0, oldHere, r};
        changed->push_back(k);
        for (int c = 0; c < SummaryColumns::COUNT; ++c) {
            auto *item = new QTableWidgetItem(row[c]);
            if (oldHere > 0 && c == SummaryColumns::FIRST_COUNT)
                item->setToolTip(QStringLiteral("Взысканий старше %1 мес.: %2").arg(months).arg(oldHere));
            if (r % 2 == 0)
                item->setBackground(stripe);
            if (c >= SummaryColumns::FIRST_COUNT && c <= SummaryColumns::LAST_COUNT) {
                if (RowFilter::counts(row[c]))
                    item->setBackground(countBrushes[c]);
            }
            if (c >= SummaryColumns::LN && c <= SummaryColumns::POSITION_NUMBER)
                item->setTextAlignment(Qt::AlignCenter);
            t->setItem(k, c, item);
        }
    }
    return old;
}

void SummaryTable::fitSummary(const std::vector<Roster::Row> &rows, const std::vector<int> *changed)
{
    QTableWidget *t = w.table;
    t->horizontalHeader()->setStretchLastSection(false);
    // The name column fits every name of the full table, also those a search
    // leaves out, and is fitted first so that the row heights follow it.
    QStringList names;
    names.reserve(static_cast<qsizetype>(rows.size()));
    for (const Roster::Row &row : rows)
        names.append(row[SummaryColumns::FIO]);
    // The same names in the same font take the width they took.
    if (names != fittedNames || t->font() != fittedFont) {
        TableFit::fitColumnWidth(t, SummaryColumns::FIO, &names);
        fittedNames = names;
        fittedFont = t->font();
        fittedFio = t->columnWidth(SummaryColumns::FIO);
    } else {
        t->setColumnWidth(SummaryColumns::FIO, fittedFio);
    }
    fioWidth = t->columnWidth(SummaryColumns::FIO);
    shareWidth();
    fitHeights(changed);
}

void SummaryTable::fitHeights(const std::vector<int> *changed)
{
    QTableWidget *t = w.table;
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

void SummaryTable::updateUnits(const std::vector<Roster::Row> &rows)
{
    QComboBox *box = w.units;
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

void SummaryTable::setFitToWindow(bool on)
{
    m_fitToWindow = on;
}

void SummaryTable::layoutApplied()
{
    m_layoutApplied = true;
}

void SummaryTable::shareWidth()
{
    QTableWidget *t = w.table;
    if (m_fitToWindow && m_layoutApplied)
        Columns::shareWidth(t, SummaryColumns::SUMMARY, fioWidth, t->viewport()->width());
}

void SummaryTable::applyWidths()
{
    if (!m_layoutApplied)
        return;
    if (m_fitToWindow)
        shareWidth();
    else
        Columns::restoreWidths(w.table, SummaryColumns::SUMMARY, fioWidth);
    fitHeights(nullptr);
}

bool SummaryTable::eventFilter(QObject *watched, QEvent *event)
{
    // Installed on the table's viewport alone: the table is not asked for it
    // here, since the filter also sees the viewport's events while the table
    // is being destroyed.
    if (event->type() == QEvent::Resize && m_fitToWindow)
        refit.start();
    return QObject::eventFilter(watched, event);
}
