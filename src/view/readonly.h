#ifndef READONLY_H
#define READONLY_H

#include <QList>

class QAction;
class QWidget;

// The commands that write, on a connection that may only read (a viewer on
// a server): disabled, each with the reason as its tool tip, so that nobody
// fills in a form only to be refused.
namespace ReadOnly {

// True when the program's connection may only read.
bool active();

// Disables the widgets and actions while active(); leaves them as they are
// otherwise. True when it disabled them.
bool disable(const QList<QWidget *> &widgets, const QList<QAction *> &actions = {});

} // namespace ReadOnly

#endif // READONLY_H
