#ifndef WIDGETS_H
#define WIDGETS_H

// Reaching the widgets of the program's windows from the tests.

#include <QObject>
#include <QStringList>
#include <QTableWidget>

namespace TestSupport {

// A child of a window by object name; a missing one ends the test run, since
// every later step would only report a null pointer.
template <typename T>
T *child(QObject *window, const char *name)
{
    T *c = window->findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qFatal("no child %s", name);
    return c;
}

// The summary table of a main window.
inline QTableWidget *summary(QObject &mainWindow)
{
    return child<QTableWidget>(&mainWindow, "tableWidget_6");
}

// The texts of one column, "<none>" for a cell without an item.
inline QStringList column(const QTableWidget *table, int c)
{
    QStringList out;
    for (int r = 0; r < table->rowCount(); ++r)
        out << (table->item(r, c) ? table->item(r, c)->text() : QStringLiteral("<none>"));
    return out;
}

} // namespace TestSupport

#endif // WIDGETS_H
