#include "view/openwindows.h"

#include <QList>
#include <QPointer>
#include <QWidget>

namespace {

QList<QPointer<QWidget>> &shown()
{
    static QList<QPointer<QWidget>> windows;
    return windows;
}

} // namespace

void OpenWindows::show(QWidget *window)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    QList<QPointer<QWidget>> &windows = shown();
    windows.removeAll(nullptr);
    windows.append(window);
    window->show();
}

void OpenWindows::deleteAll()
{
    const QList<QPointer<QWidget>> windows = std::exchange(shown(), {});
    for (const QPointer<QWidget> &window : windows)
        delete window.data();
}
