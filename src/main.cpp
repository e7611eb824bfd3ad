#include "function.h"
#include "windows/mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication a(argc, argv);
    Function::initApplication();
    if (Function::wantsVerification(QCoreApplication::arguments()))
        Function::ver();
    MainWindow w;
    w.showMaximized();
    w.show();
    return a.exec();
}
