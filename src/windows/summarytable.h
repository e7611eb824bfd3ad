#ifndef SUMMARYTABLE_H
#define SUMMARYTABLE_H

#include "storage/register/penalties.h"
#include "storage/register/roster.h"

#include <QDate>
#include <QFont>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QTableWidgetItem>
#include <QTimer>

#include <array>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QTableWidget;
namespace RowFilter {
struct Filter;
}

// The rows of the main window's summary table: what a fill reads, which of
// it the row filters and the search let through, the rows kept aside to be
// put back as they were, the fitted widths and heights, and the status bar's
// lines on what is shown. The main window hands it its table and its filter
// widgets and says when to fill; the choices are read from the widgets at
// each fill.
class SummaryTable : public QObject
{
    Q_OBJECT

public:
    // The main window's widgets the rows are shown in and chosen by.
    struct Widgets
    {
        QTableWidget *table = nullptr;
        // The category list: item 0 every category, 1 to 6 one of them.
        QComboBox *categories = nullptr;
        // "Только с записями".
        QCheckBox *onlyWithRecords = nullptr;
        // The unit list: "Все", then every unit number of the roster.
        QComboBox *units = nullptr;
        // Only servicemen with a penalty in force.
        QCheckBox *inForceOnly = nullptr;
        // How many are shown, or why nothing is.
        QLabel *shownLine = nullptr;
        // The reminder of old penalties.
        QLabel *penaltyLine = nullptr;
    };

    SummaryTable(const Widgets &widgets, QObject *parent);
    ~SummaryTable() override;

    // Fills the table from the database with the rows that pass the row
    // filters and the search, each looking exactly as it would in the full
    // table (its stripe, colours and height), and says in the status bar how
    // many are shown. Returns the error of a read that failed. A row filter
    // switched on or off (`again` false) chooses among the rows the last
    // fill read, where that read succeeded: a filter does not change the
    // register, and on a server every read costs round trips.
    QSqlError fill(bool again = true);
    // The rows that hold `text` (trimmed, not empty), filled anew.
    QSqlError search(const QString &text);
    // The search forgotten and the table filled anew: the rows it left out
    // come back, the row filters stay.
    QSqlError refill();
    // The text of the search shown, empty without one.
    const QString &searchText() const { return m_search; }

    // "По ширине окна": the shown columns share the window's width in
    // proportion to their widths; off, the widths are as laid out.
    bool fitToWindow() const { return m_fitToWindow; }
    void setFitToWindow(bool on);
    // The column layout has been applied; the widths follow it from now on.
    void layoutApplied();
    // The widths put right after a column was hidden or shown, or the
    // choice of fitting changed.
    void applyWidths();

signals:
    // After every fill, whatever it read.
    void filled();

protected:
    // Refits the shared widths a moment after the table's viewport changes
    // its size.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // What the last fill read: the roster, and the penalties as far as they
    // were needed (each read once needed).
    struct LastRead
    {
        bool valid = false;
        std::vector<Roster::Row> rows;
        QSqlError error;
        bool penaltiesAsked = false;
        bool penaltiesRead = false;
        int months = 0;
        QDate day;
        Penalties::InForce inForce;
        QSqlError penaltyError;
        bool recordedAsked = false;
        bool recordedRead = false;
        QSet<QString> recorded;
        QSqlError recordedError;
    };
    // The penalties a fill shows: those in force (none where they were not
    // needed), and whether they could be read.
    struct PenaltyView
    {
        int months = 0;
        const Penalties::InForce *inForce = nullptr;
        bool read = true;
        QSqlError error;
    };
    // What each shown row was made from (its place in the full table too),
    // so that a refill puts in and measures again only the rows that
    // changed: where it finds as many rows (an orders window closed, the
    // table refreshed) in their places, and where a filter or the search
    // shows others, the rows shown again moved whole to their new places.
    struct ShownRow
    {
        Roster::Row cells;
        bool striped = false;
        int old = 0;
        int index = -1;
    };
    // A row taken out of the table whole: its items, what they were made
    // from and its height, measured at the fit of heights `fit`.
    struct Offstage
    {
        ShownRow shown;
        int height = 0;
        int fit = 0;
        std::array<std::unique_ptr<QTableWidgetItem>, std::tuple_size_v<Roster::Row>> items;
    };

    // The row filters as chosen in the widgets, and the search.
    RowFilter::Filter chosenFilter() const;
    // Takes from the last read, reading what is not there yet, what the
    // filter and the reminder of old penalties need, and points the filter
    // at it.
    PenaltyView readPenalties(bool rosterRead, bool inForceOnly, RowFilter::Filter *filter);
    // Makes room for the rows `kept` of `rows`; true where the rows shown
    // are kept, or moved to their new places or taken back from offstage,
    // to be compared with the new ones. `stale` gets the places of the rows
    // taken back whose heights were measured before the last fit.
    bool keepRows(const std::vector<Roster::Row> &rows, const std::vector<int> &kept, int months,
                  std::vector<int> *stale);
    // Takes every row shown out of the table into offstage, by its place in
    // the full table of `rows`.
    void takeOffstage(const std::vector<Roster::Row> &rows);
    // Puts the kept rows into the table, each with its stripe, colours and
    // the tooltip of its old penalties; returns how many penalties are old.
    // Where the rows shown were kept only those that differ are put in anew,
    // and `changed` gets their places.
    int putRows(const std::vector<Roster::Row> &rows, const std::vector<int> &kept,
                const QHash<QString, int> &oldPenalties, int months, bool reuse, std::vector<int> *changed);
    // The name column and the row heights fitted to the texts; the heights
    // of the rows `changed` alone where only those were put in anew.
    void fitSummary(const std::vector<Roster::Row> &rows, const std::vector<int> *changed);
    // Fits the row heights of the summary: of `changed` alone while the
    // columns are as they were at the last fit, else of every row.
    void fitHeights(const std::vector<int> *changed);
    // The unit list: every unit number of the roster, and the chosen one
    // kept even when nobody has it any more.
    void updateUnits(const std::vector<Roster::Row> &rows);
    // The status bar's lines after a fill that showed `shown` rows, or whose
    // read of the roster failed with `readError`.
    void tell(const QSqlError *readError, size_t shown, const PenaltyView &penalties, int old);
    void shareWidth();

    Widgets w;
    LastRead lastRead;
    std::vector<ShownRow> shownRows;
    int shownMonths = -1;
    // The rows of the full table (by their place in the last read) that a
    // filter or the search hides, kept to be put back as they are when they
    // are shown again; never more than the last read holds.
    std::vector<std::unique_ptr<Offstage>> offstage;
    // Counts the fits of every row's height: a row kept out of the table
    // over a fit comes back to be measured again.
    int heightsFit = 0;
    // The names the name column was last fitted to, and its width then.
    QStringList fittedNames;
    QFont fittedFont;
    int fittedFio = 0;
    // The column widths (0 for a hidden one) the row heights were last
    // fitted at.
    std::vector<int> fittedWidths;
    QFont heightsFont;
    // The text of the search shown, until the next refill.
    QString m_search;
    // The unit numbers the unit list holds after "Все".
    QStringList unitList;
    bool m_fitToWindow = false;
    bool m_layoutApplied = false;
    int fioWidth = 0;
    QTimer refit;
};

#endif // SUMMARYTABLE_H
