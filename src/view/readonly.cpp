#include "view/readonly.h"

#include "storage/db/connection.h"

#include <QAction>
#include <QWidget>

bool ReadOnly::active()
{
    return Connection::readOnly();
}

bool ReadOnly::disable(const QList<QWidget *> &widgets, const QList<QAction *> &actions)
{
    if (!active())
        return false;
    const QString reason = Connection::readOnlyReason();
    for (QWidget *widget : widgets) {
        widget->setEnabled(false);
        widget->setToolTip(reason);
    }
    for (QAction *action : actions) {
        action->setEnabled(false);
        action->setToolTip(reason);
    }
    return true;
}
