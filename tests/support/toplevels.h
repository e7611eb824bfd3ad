#ifndef TOPLEVELS_H
#define TOPLEVELS_H

#include <QApplication>
#include <QList>
#include <QWidget>

namespace TestSupport {

// The top-level windows of one class, in no particular order: the windows
// that commands open without a parent and without keeping a pointer.
template <typename T>
QList<T *> topLevels()
{
    QList<T *> found;
    const QList<QWidget *> widgets = QApplication::topLevelWidgets();
    for (QWidget *w : widgets) {
        if (auto *t = qobject_cast<T *>(w))
            found.append(t);
    }
    return found;
}

// Deletes the top-level windows of one class when it goes out of scope, so
// that windows opened by a command never outlive the test's working folder.
template <typename T>
class TopLevelGuard
{
public:
    TopLevelGuard() = default;
    ~TopLevelGuard() { qDeleteAll(topLevels<T>()); }
    TopLevelGuard(const TopLevelGuard &) = delete;
    TopLevelGuard &operator=(const TopLevelGuard &) = delete;
};

} // namespace TestSupport

#endif // TOPLEVELS_H
