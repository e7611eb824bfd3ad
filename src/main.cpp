#include "function.h"
#include "view/singleinstance.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    QApplication a(argc, argv);
    Function::initApplication();
    // One copy per working folder: a second one brings the first forward.
    SingleInstance instance(QDir::currentPath());
    if (!instance.acquire()) {
        instance.askToComeForward();
        Function::inform(nullptr, QStringLiteral("Ведомер уже открыт в папке «%1». Второе окно не открыто: "
                                                 "перейдите в уже открытую программу.")
                                      .arg(QDir::toNativeSeparators(QDir::currentPath())));
        return 0;
    }
    if (Function::wantsVerification(QCoreApplication::arguments()))
        Function::ver();
    MainWindow w;
    QObject::connect(&instance, &SingleInstance::comeForward, &w, [&w] {
        w.setWindowState(w.windowState() & ~Qt::WindowMinimized);
        w.show();
        w.raise();
        w.activateWindow();
    });
    w.showMaximized();
    w.show();
    return a.exec();
}
