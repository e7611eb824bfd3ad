#ifndef HISTORY_H
#define HISTORY_H

#include "storage/history/historyread.h"

#include <QString>
#include <QTimer>
#include <QWidget>

QT_BEGIN_NAMESPACE
namespace Ui {
class history;
}
QT_END_NAMESPACE

// The window "История изменений": the history of the whole register, or of
// one serviceman, newest first, a page at a time (more with "Ещё" or by
// scrolling to the end), with filters, a search and the export of every
// entry the filters leave.
class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    // An empty personal number shows the whole register.
    explicit HistoryWindow(const QString &ln = QString(), const QString &fio = QString(),
                           QWidget *parent = nullptr);
    ~HistoryWindow() override;

    // Opens the window as the program's windows open (deleted when closed).
    static void open(const QString &ln = QString(), const QString &fio = QString());

    // The Russian name of an action's code, of a category's code and of a
    // column; the text itself where it is not known.
    static QString actionName(const QString &code);
    static QString categoryName(const QString &code);
    static QString fieldName(const QString &field);

    // Reads the first page again with the filters as they are set.
    void reload();
    // Adds the next page below the shown entries.
    void loadMore();
    // Writes every entry the filters leave to a .xlsx, .ods or .pdf file (by
    // its ending); false with the reason in `error`.
    bool exportTo(const QString &fileName, QString *error);
    // The filters in use, in words, as the export's line at its top gives
    // them.
    QString filterLine() const;

private:
    History::Filter filter() const;
    void append(const History::Page &page);
    void showCount();
    void exportChosen();

    Ui::history *ui;
    QString ln;
    qint64 next = 0;
    bool readable = false;
    // The ranks and positions that the entries' numbers stand for.
    History::References references;
    // The search waits for a pause in typing.
    QTimer searchPause;
};

#endif // HISTORY_H
