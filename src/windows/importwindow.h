#ifndef IMPORTWINDOW_H
#define IMPORTWINDOW_H

#include "storage/import/check.h"
#include "storage/import/sheetfile.h"

#include <QString>
#include <QWidget>

QT_BEGIN_NAMESPACE
namespace Ui {
class importwindow;
}
QT_END_NAMESPACE

class ImportPreview;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;

// "Импорт из таблицы…": a roster (and, on its second tab, the orders) read
// from a spreadsheet, shown with the match of its columns, every row checked
// with its reason, and written only on «Импортировать».
class ImportWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ImportWindow(QWidget *parent = nullptr);
    ~ImportWindow() override;

    // Opens the window as the program's windows open (deleted when closed).
    static ImportWindow *open();

    // Reads the file into the roster's or the orders' tab (the first sheet,
    // the encoding and separator found); false, with the reason in the
    // window's line, when it cannot be read.
    bool load(Import::Kind kind, const QString &path);
    // Writes what the check lets through; false when nothing was written.
    bool startImport();
    // Writes the skipped rows and their reasons to a .xlsx or .csv file.
    bool saveReport(const QString &fileName, QString *error) const;

signals:
    // The register changed: the summary is to be refilled.
    void imported();

private:
    // One tab: its file, the controls of its reading and the preview.
    struct Pane
    {
        Import::Kind kind;
        Import::SheetFile file;
        Import::Matching matching;
        QLineEdit *name = nullptr;
        QComboBox *sheet = nullptr;
        QComboBox *encoding = nullptr;
        QComboBox *separator = nullptr;
        // The rows checked, every one or only those with remarks.
        QCheckBox *onlyRemarks = nullptr;
        QLabel *note = nullptr;
        QTableView *table = nullptr;
        ImportPreview *model = nullptr;
    };

    void buildPane(Pane &pane, QWidget *page);
    void choose(Pane &pane);
    void reread(Pane &pane);
    void shown(Pane &pane);
    void recheck();
    void fillPreview(Pane &pane);
    void placeColumnChoices(Pane &pane);
    void describePreview(Pane &pane);
    void fillReferences();
    void chooseReport();
    void say(const QString &text);

    Ui::importwindow *ui;
    Pane roster{Import::Kind::Servicemen, {}, {}};
    Pane orders{Import::Kind::Orders, {}, {}};
    Import::Choices choices;
    Import::ServicemenCheck rosterCheck;
    Import::OrdersCheck ordersCheck;
    bool filling = false;
};

#endif // IMPORTWINDOW_H
