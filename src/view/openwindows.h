#ifndef OPENWINDOWS_H
#define OPENWINDOWS_H

#include <QList>

class QWidget;

// The one lifetime rule for the windows the program opens: each is a
// top-level window of its own, deleted as soon as it is closed, and whatever
// is still open when the main window goes is deleted with it.
namespace OpenWindows {

// Whether a window shows and writes what the database holds.
enum Kind { UsesDatabase, Other };

// Shows a window made with `new` and no parent, deleting it when it closes.
void show(QWidget *window, Kind kind = UsesDatabase);
// The windows shown through show() of that kind that are still open, and
// the windows they opened themselves (a form opened by a list), those
// before their opener.
QList<QWidget *> open(Kind kind);
// Closes those windows as their own close does, the ones a window opened
// before it; false when one of them refused to close.
bool close(Kind kind);
// Deletes every window shown through show() that is still there.
void deleteAll();

} // namespace OpenWindows

#endif // OPENWINDOWS_H
