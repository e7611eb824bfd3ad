#include "storage/setup/paths.h"
#include "storage/setup/privacy.h"
#include "storage/setup/schema.h"
#include "view/application.h"
#include "view/singleinstance.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>

namespace {

// "--check-tables", asked by the launcher before every start: exits with 1
// when data/BaseDate.db lacks a table the table descriptor declares (a first
// start cut short, a table removed by hand), so that the launcher runs the
// verification again; 0 when every table is there; 2 when it cannot tell.
int checkTables(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList declared;
    QStringList missing;
    QString error;
    if (!Schema::missingTables(QString::fromLatin1(Paths::VERIFIED_DATABASE),
                               QString::fromLatin1(Paths::TABLE_DESCRIPTOR), &declared, &missing, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    if (missing.isEmpty())
        return 0;
    std::fprintf(stderr, "%s\n", qPrintable(missing.join(QLatin1Char(' '))));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], "--check-tables") == 0)
        return checkTables(argc, argv);
    QApplication a(argc, argv);
    Application::initApplication();
    // Everything written from here on is the user's alone.
    Privacy::keepPrivate();
    // One copy per working folder; "--ver" runs once the folder is this copy's.
    SingleInstance instance(QDir::currentPath());
    Schema::Report verification;
    if (!Application::start(instance, QCoreApplication::arguments(), &verification))
        return 0;
    MainWindow w;
    w.tellAtStart(Application::verificationNotes(verification));
    QObject::connect(&instance, &SingleInstance::comeForward, &w, [&w] {
        w.setWindowState(w.windowState() & ~Qt::WindowMinimized);
        w.show();
        w.raise();
        w.activateWindow();
    });
    w.showMaximized();
    w.show();
    // The daily copy of the database once the window is on the screen, so
    // that it does not hold up the start.
    QTimer::singleShot(300, &w, [&w] { w.backupDaily(); });
    return a.exec();
}
