#ifndef ORDERWINDOW_H
#define ORDERWINDOW_H

// Helpers for the tests of the orders window.

#include "windows/addfile.h"
#include "programdb.h"
#include "widgets.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QSqlDatabase>
#include <QTableWidget>
#include <QTest>

namespace TestSupport {

// The program's default connection on data/BaseDate.db of the current folder,
// as the main window opens it.
inline void openProgramDatabase()
{
    if (!QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false).isOpen())
        TestSupport::openProgramDb();
}

// The text of an orders window's status line ("<none>" without one).
inline QString statusLine(QWidget *window)
{
    const auto *line = window->findChild<QLabel *>(QStringLiteral("statusLine"));
    return line ? line->text() : QStringLiteral("<none>");
}

// An orders window shown on the screen, on the program's connection. The window destroys itself once
// closed; whatever is left is deleted when this goes.
class OrdersWindow
{
public:
    OrdersWindow(const QString &ln, const QString &code,
                 const QString &fio = QStringLiteral("Иванов Иван Иванович"))
        : m_w((openProgramDatabase(), new addfile(ln, code, fio)))
    {
        m_w->show();
    }
    ~OrdersWindow() { delete m_w.data(); }
    OrdersWindow(const OrdersWindow &) = delete;
    OrdersWindow &operator=(const OrdersWindow &) = delete;

    addfile *operator->() const { return m_w; }
    addfile *get() const { return m_w; }
    bool alive() const { return !m_w.isNull(); }
    template <typename T>
    T *at(const char *name) const
    {
        return child<T>(m_w, name);
    }
    QTableWidget *list() const { return at<QTableWidget>("tableWidget_2"); }
    QTableWidget *files() const { return at<QTableWidget>("tableWidget"); }
    QString status() const { return statusLine(m_w); }

private:
    QPointer<addfile> m_w;
};

// Deletes, when it goes, every orders window that a test left open.
struct OrdersWindowsCleanup
{
    ~OrdersWindowsCleanup()
    {
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget *w : windows) {
            if (qobject_cast<addfile *>(w))
                delete w;
        }
    }
};

// Clicks a cell as the user does (selection, current row, cellClicked).
inline void clickCell(QTableWidget *table, int row, int column = 0)
{
    table->scrollToItem(table->item(row, column));
    const QRect rect = table->visualItemRect(table->item(row, column));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rect.center());
}

// A double click as the system delivers it: press, release, double click,
// release (QTest's own double click sends the double-click event alone).
inline void doubleClickCell(QTableWidget *table, int row, int column = 0)
{
    table->scrollToItem(table->item(row, column));
    const QPoint at = table->visualItemRect(table->item(row, column)).center();
    QTest::mousePress(table->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(table->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(table->viewport(), Qt::LeftButton, {}, at);
}

} // namespace TestSupport

#endif // ORDERWINDOW_H
