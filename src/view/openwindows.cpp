#include "view/openwindows.h"

#include <QPointer>
#include <QWidget>

namespace {

struct Shown
{
    QPointer<QWidget> window;
    OpenWindows::Kind kind;
};

QList<Shown> &shown()
{
    static QList<Shown> windows;
    return windows;
}

} // namespace

void OpenWindows::show(QWidget *window, Kind kind)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    QList<Shown> &windows = shown();
    windows.removeIf([](const Shown &s) { return s.window.isNull(); });
    windows.append({window, kind});
    window->show();
}

QList<QWidget *> OpenWindows::open(Kind kind)
{
    QList<QWidget *> found;
    for (const Shown &s : std::as_const(shown())) {
        if (s.window.isNull() || s.kind != kind || !s.window->isVisible())
            continue;
        const QList<QWidget *> children = s.window->findChildren<QWidget *>();
        for (QWidget *child : children) {
            if (child->isWindow() && child->isVisible())
                found.append(child);
        }
        found.append(s.window);
    }
    return found;
}

bool OpenWindows::close(Kind kind)
{
    const QList<QWidget *> windows = open(kind);
    QList<QPointer<QWidget>> guarded(windows.cbegin(), windows.cend());
    for (const QPointer<QWidget> &window : std::as_const(guarded)) {
        // Closing one may have closed another already.
        if (!window.isNull() && window->isVisible() && !window->close())
            return false;
    }
    return true;
}

void OpenWindows::deleteAll()
{
    const QList<Shown> windows = std::exchange(shown(), {});
    for (const Shown &s : windows)
        delete s.window.data();
}
