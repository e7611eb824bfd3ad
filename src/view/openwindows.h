#ifndef OPENWINDOWS_H
#define OPENWINDOWS_H

class QWidget;

// The one lifetime rule for the windows the program opens: each is a
// top-level window of its own, deleted as soon as it is closed, and whatever
// is still open when the main window goes is deleted with it.
namespace OpenWindows {

// Shows a window made with `new` and no parent, deleting it when it closes.
void show(QWidget *window);
// Deletes every window shown through show() that is still there.
void deleteAll();

} // namespace OpenWindows

#endif // OPENWINDOWS_H
