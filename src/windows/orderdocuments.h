#ifndef ORDERDOCUMENTS_H
#define ORDERDOCUMENTS_H

#include "storage/register/orders.h"

#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QTableWidget;
class QWidget;

namespace Dialogs {
struct Write;
}

// The page "Файлы" of the orders window: the documents attached to one order
// of the serviceman in the category, attaching a file, opening one and
// removing one. The window says which order (by its number) the page works
// on; what a command left undone goes to the window's status line or, for a
// write, to the window's own account of it.
class OrderDocuments : public QObject
{
    Q_OBJECT

public:
    // What the page uses of its window.
    struct Window
    {
        // The parent of the boxes and of the file dialog.
        QWidget *widget = nullptr;
        // The list of the order's documents, one name a row.
        QTableWidget *files = nullptr;
        // "Удалить" of the list, which attaching adds to the window's actions.
        QAction *remove = nullptr;
        // Tells a line in the window's status line (empty: none).
        std::function<void(const QString &)> say;
        // Shows what a write came to; true when it was done.
        std::function<bool(const Orders::Result &, const Dialogs::Write &, const QString &)> written;
        // True while the window's order list has a current row.
        std::function<bool()> orderChosen;
    };

    OrderDocuments(const QString &ln, const QString &code, const Window &window, QObject *parent);

    // The number of the order the page works on.
    const QString &order() const { return number; }
    void setOrder(const QString &order) { number = order; }
    // The list emptied.
    void clear();
    // The list of the order's documents read anew.
    void load();
    // Asks for a file, keeps a copy of it and records it as attached.
    void attach();
    // Opens the chosen document with the system's program for it.
    void openChosen();
    // Removes the chosen document, once the user confirms it.
    void removeChosen();

private:
    // Looks up the order's attachment `name` and its stored copy `path`. A
    // failed lookup sets `failed` and tells the user that `what`.
    bool storedPath(const QString &name, QString &path, const QString &what, bool &failed);
    // Puts the copy kept at `target` (`fresh`: made for this attachment)
    // on record; false when the record was not written.
    bool record(const QString &name, const QString &target, bool fresh);

    QString ln;
    QString code;
    QString number;
    Window w;
};

#endif // ORDERDOCUMENTS_H
