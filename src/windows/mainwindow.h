#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QDate>
#include <QFont>
#include <QHash>
#include <QMainWindow>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QTableWidgetItem>
#include <QTimer>

#include "storage/penalties.h"
#include "storage/roster.h"

#include <vector>

#include <array>
#include <memory>

class DatabaseCommands;
namespace RowFilter {
struct Filter;
}

QT_BEGIN_NAMESPACE
class QAction;
class QLabel;
class QSqlError;
namespace Ui {
class MainWindow;
}
QT_END_NAMESPACE

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Until the end of the daily copy (below) has been told.
    bool dailyCopyRunning() const;

    // The daily copy of the database, made at the first start of each day
    // once the window is shown, and the oldest such copies removed beyond the
    // number the settings keep, in a thread of its own; the status bar tells
    // the end. Says so once a day in a box when it fails.
    void backupDaily();
    // Tells what the start found (what "--ver" dropped, settings that could
    // not be read) in the status bar, where it stays, and in the log.
    void tellAtStart(const QStringList &notes);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

public slots:
    void recordfile(const QString &ln, const QString &code);
    void clear_tableWidgets();

private slots:
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void on_tableWidget_6_cellDoubleClicked(int row, int column);
    void on_comboBox_activated(int index);
    void on_action_Exel_triggered();
    void on_action_2_triggered();
    void on_action_6_triggered();
    void on_action_triggered();
    void on_action_9_triggered();
    void on_action_3_triggered();
    void on_action_5_triggered();
    void on_action_8_triggered();
    void on_action_4_triggered();
    void on_action_10_triggered();
    void on_action_7_triggered();
    void on_action_11_triggered();
    void on_action_12_triggered();
    void on_action_18_triggered();
    void on_action_19_triggered();

public slots:
    void visible_set();

private slots:
    void on_action_20_triggered();
    // The row filters beside the category list; each refills the table and
    // keeps the search that is shown.
    void on_checkBox_clicked();
    void on_comboBox_2_activated(int index);
    void on_checkBox_2_clicked();
    void on_action_21_triggered();
    // Print preview of the summary table.
    void on_action_preview_triggered();
    void on_action_reports_triggered();
    // The service card of the serviceman of the current row.
    void on_action_card_triggered();
    // The service cards of every serviceman the table shows.
    void on_action_cards_triggered();
    void on_tableWidget_6_customContextMenuRequested(const QPoint &position);

private:
    // Opens the database named in the settings, at start or, with `again`,
    // when it could not be opened then; false when it did not open (the
    // user has been told why).
    bool openDatabase(bool again = false);
    // The window of one order for several servicemen, `lns` ticked.
    void openGroupOrder(const QStringList &lns);
    // The lifting of several penalties by one order, the penalties of `lns`
    // listed (everyone's when empty).
    void openGroupLift(const QStringList &lns);
    // The summary's chosen rows, or when at most one is, the rows shown.
    QStringList summaryChoice() const;
    void reportDatabaseFailure(const QString &where, const QString &reason);
    // On a connection that may only read: the commands that write disabled
    // with the reason, and "Только просмотр" in the status bar.
    void showReadOnly();

    Ui::MainWindow *ui;
    // The status bar's line for what the start found.
    QLabel *startNote = nullptr;
    // Says that the connection to the server is not encrypted.
    QLabel *plainNote = nullptr;
    // "Только просмотр" while the connection may only read.
    QLabel *readOnlyNote = nullptr;
    QSqlDatabase db;
    QString LN;
    QString WTS;
    QString qstr;
    QString str_3;

    // Shows or hides a column of the summary table as the action is checked.
    void toggleColumn(const QAction *action, int column);
    // Enter on a count cell, Ctrl+F.
    void setUpKeys();
    // "По ширине окна": the shown columns share the window's width in
    // proportion to their widths; off, the widths are as laid out.
    void setUpFitToWindow();
    void shareWidth();
    void applyWidths();
    bool fitToWindow = false;
    bool layoutApplied = false;
    int fioWidth = 0;
    QTimer refit;
    // Backup, daily copy, restore and transfer to a server.
    std::unique_ptr<DatabaseCommands> commands;

    // Fills the summary table from the database with the rows that pass the
    // row filters and the search (searchText), each looking exactly as it
    // would in the full table (its stripe, colours and height), and says in
    // the status bar how many are shown. Returns the error of a read that
    // failed. A row filter switched on or off (`again` false) chooses among
    // the rows the last fill read, where that read succeeded: a filter does
    // not change the register, and on a server every read costs round trips.
    QSqlError fill(bool again = true);
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
    } lastRead;
    // The penalties a fill shows: those in force (none where they were not
    // needed), and whether they could be read.
    struct PenaltyView
    {
        int months = 0;
        const Penalties::InForce *inForce = nullptr;
        bool read = true;
        QSqlError error;
    };
    // Takes from the last read, reading what is not there yet, what the
    // filter and the reminder of old penalties need, and points the filter
    // at it.
    PenaltyView readPenalties(bool rosterRead, bool inForceOnly, RowFilter::Filter *filter);
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
    std::vector<ShownRow> shownRows;
    int shownMonths = -1;
    // A row taken out of the table whole: its items, what they were made
    // from and its height, measured at the fit of heights `fit`.
    struct Offstage
    {
        ShownRow shown;
        int height = 0;
        int fit = 0;
        std::array<std::unique_ptr<QTableWidgetItem>, std::tuple_size_v<Roster::Row>> items;
    };
    // The rows of the full table (by their place in the last read) that a
    // filter or the search hides, kept to be put back as they are when they
    // are shown again; never more than the last read holds.
    std::vector<std::unique_ptr<Offstage>> offstage;
    // Counts the fits of every row's height: a row kept out of the table
    // over a fit comes back to be measured again.
    int heightsFit = 0;
    // Makes room for the rows `kept` of `rows`; true where the rows shown
    // are kept, or moved to their new places or taken back from offstage,
    // to be compared with the new ones. `stale` gets the places of the rows
    // taken back whose heights were measured before the last fit.
    bool keepRows(const std::vector<Roster::Row> &rows, const std::vector<int> &kept, int months,
                  std::vector<int> *stale);
    // Puts the kept rows into the table, each with its stripe, colours and
    // the tooltip of its old penalties; returns how many penalties are old.
    // Where the rows shown were kept only those that differ are put in anew,
    // and `changed` gets their places.
    int putRows(const std::vector<Roster::Row> &rows, const std::vector<int> &kept,
                const QHash<QString, int> &oldPenalties, int months, bool reuse,
                std::vector<int> *changed);
    // The name column and the row heights fitted to the texts; the heights
    // of the rows `changed` alone where only those were put in anew.
    void fitSummary(const std::vector<Roster::Row> &rows, const std::vector<int> *changed);
    // The names the name column was last fitted to, and its width then.
    QStringList fittedNames;
    QFont fittedFont;
    int fittedFio = 0;
    // The column widths (0 for a hidden one) the row heights were last
    // fitted at.
    std::vector<int> fittedWidths;
    QFont heightsFont;
    // Fits the row heights of the summary: of `changed` alone while the
    // columns are as they were at the last fit, else of every row.
    void fitHeights(const std::vector<int> *changed);
    // The unit list: every unit number of the roster, and the chosen one
    // kept even when nobody has it any more.
    void updateUnits(const std::vector<Roster::Row> &rows);

    // The text of the search shown, until the next refill from elsewhere.
    QString searchText;
    // The unit numbers the unit list holds after "Все".
    QStringList unitList;
};

#endif // MAINWINDOW_H
