// What the executable (and every test) sets up before the first window, the
// command line, and the schema verification as the user sees it.

#include "view/application.h"

#include "function.h"

#include "storage/db/connection.h"
#include "storage/setup/paths.h"
#include "storage/setup/settings.h"
#include "storage/setup/opening.h"
#include "storage/setup/schema.h"
#include "storage/db/serverconnection.h"
#include "view/dialogs.h"
#include "view/singleinstance.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

#ifdef __GLIBC__
#include <malloc.h>
#endif

// Q_INIT_RESOURCE declares the resources' function where it stands, which
// must be the global namespace.
static void initResources()
{
    Q_INIT_RESOURCE(icon);
}

void Application::initApplication()
{
    initResources();
    Opening::install();
#ifdef __GLIBC__
    // Printing to PDF takes two buffers of 10 MB for every page and gives
    // them back. With glibc's sliding thresholds they come from the top of
    // the heap, which is then grown and trimmed back page after page: more
    // than doubles the time of a long print. Blocks under 32 MB stay in the
    // heap, and up to 64 MB free at its top is kept for the next page.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    QLocale::setDefault(russian);
    // Boxes without a title of their own carry the program's name.
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Ведомер"));
    // Qt's own dialogs and standard buttons speak Russian.
    static QTranslator *qtbase = nullptr;
    if (!qtbase) {
        qtbase = new QTranslator(qApp);
        if (qtbase->load(russian, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(qtbase);
        else
            qDebug() << "Перевод Qt на русский (qtbase_ru) не найден";
    }
}

bool Application::wantsVerification(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("--ver"), Qt::CaseSensitive);
}

Schema::Report Function::ver()
{
    // On a server the tables are those of its own descriptors; the SQLite
    // verification always works on data/BaseDate.db.
    const bool server = Settings::serverChosen();
    const Schema::Report report =
        server ? Schema::verifyServer(QString::fromLatin1(Paths::SERVER_TABLE_DESCRIPTOR),
                                      QString::fromLatin1(Paths::SERVER_COLUMN_DESCRIPTOR),
                                      [](const Settings::Server &s, QString *password) {
                                          return Dialogs::askPassword(nullptr, s.user, Connection::describe(s), password);
                                      })
               : Schema::verify(QString::fromLatin1(Paths::VERIFIED_DATABASE),
                                QString::fromLatin1(Paths::TABLE_DESCRIPTOR),
                                QString::fromLatin1(Paths::COLUMN_DESCRIPTOR));
    if (server && !report.opened)
        QMessageBox::warning(nullptr, QStringLiteral("Ошибка"),
                             QStringLiteral("Проверка таблиц не выполнена: не удалось подключиться к базе данных "
                                            "%1: %2.")
                                 .arg(report.database, report.openError),
                             QMessageBox::Ok);
    // The event loop has not started: each box runs its own. What the
    // verification dropped is told by the main window once it is open.
    const bool changed = !report.createdTables.isEmpty() || !report.droppedTables.isEmpty() ||
                         !report.addedColumns.isEmpty() || !report.droppedColumns.isEmpty();
    for (const QString &error : report.refusedDescriptors) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Ошибка файла"),
                        QStringLiteral("Не удалось открыть файл"), QMessageBox::Ok);
        box.setInformativeText(changed ? error : error + QStringLiteral("\nТаблицы базы данных не изменены."));
        box.exec();
    }
    if (report.unreadable || report.busy)
        QMessageBox::warning(nullptr, QStringLiteral("Ошибка"),
                             (report.busy ? QStringLiteral("База данных %1 занята другой программой, проверка "
                                                           "таблиц не выполнена. Запустите её, когда та "
                                                           "программа будет закрыта.")
                                          : QStringLiteral("Файл %1 не читается как база данных, проверка "
                                                           "таблиц не выполнена. Файл оставлен как есть."))
                                 .arg(report.database),
                             QMessageBox::Ok);
    Paths::setHidden(QString::fromLatin1(server ? Paths::SERVER_COLUMN_DESCRIPTOR : Paths::COLUMN_DESCRIPTOR));
    Paths::setHidden(QString::fromLatin1(server ? Paths::SERVER_TABLE_DESCRIPTOR : Paths::TABLE_DESCRIPTOR));
    return report;
}

QStringList Application::verificationNotes(const Schema::Report &report)
{
    QStringList notes;
    if (!report.refused.isEmpty())
        notes.append(report.refused);
    QStringList dropped;
    for (const QString &table : report.droppedTables)
        dropped.append(QStringLiteral("таблица ") + table);
    for (const QString &column : report.droppedColumns)
        dropped.append(QStringLiteral("столбец ") + column);
    const bool server = Settings::serverChosen();
    const QString descriptors =
        QString::fromLatin1(server ? Paths::SERVER_TABLE_DESCRIPTOR : Paths::TABLE_DESCRIPTOR) +
        QStringLiteral(" и ") +
        QString::fromLatin1(server ? Paths::SERVER_COLUMN_DESCRIPTOR : Paths::COLUMN_DESCRIPTOR);
    // What went and the copy first: a status bar shows the start of a line.
    if (!dropped.isEmpty()) {
        const QFileInfo copy(report.copyBeforeDrops);
        notes.append(QStringLiteral("Удалено проверкой таблиц: %1. Копия базы до удаления: «%2» в папке «%3» "
                                    "(удалено то, чего нет в описаниях таблиц %4).")
                         .arg(dropped.join(QStringLiteral(", ")), copy.fileName(),
                              QDir::toNativeSeparators(copy.absolutePath()), descriptors));
    }
    if (!report.dropsRefused.isEmpty())
        notes.append(QStringLiteral("Не удалено проверкой таблиц: %1 (этого нет в описаниях таблиц %2). Перед "
                                    "удалением нужна копия базы данных, а её сделать не удалось: %3.")
                         .arg(report.notDropped.join(QStringLiteral(", ")), descriptors, report.dropsRefused));
    if (!report.failedDrops.isEmpty())
        notes.append(
            QStringLiteral("Не удалено проверкой таблиц: %1 (этого нет в описаниях таблиц %2): %3. "
                           "Запустите программу с параметром --ver снова, когда "
                           "это будет исправлено.")
                .arg(report.failedDrops.join(QStringLiteral(", ")), descriptors, report.dropFailure));
    return notes;
}

namespace {

// The computer of another copy's lock, as a sentence goes on.
QString whereHeld(const QString &host)
{
    return host.isEmpty() ? QStringLiteral("на другом компьютере")
                          : QStringLiteral("на компьютере «%1»").arg(host);
}

} // namespace

bool Application::start(SingleInstance &instance, const QStringList &arguments, Schema::Report *verification)
{
    const QString folder = QDir::toNativeSeparators(QDir::currentPath());
    switch (instance.tryAcquire()) {
    case SingleInstance::Outcome::Acquired:
    case SingleInstance::Outcome::WithoutLock:
        break;
    case SingleInstance::Outcome::HeldHere:
        // One copy per working folder: a second one brings the first forward.
        instance.askToComeForward();
        Dialogs::inform(nullptr, QStringLiteral("Ведомер уже открыт в папке «%1». Второе окно не открыто: "
                                       "перейдите в уже открытую программу.")
                            .arg(folder));
        return false;
    case SingleInstance::Outcome::HeldElsewhere: {
        // Nothing on this computer can tell whether the copy there still
        // runs (a folder on a flash drive taken out without closing the
        // program, or a shared folder in use): the user knows.
        const SingleInstance::Holder &holder = instance.holder();
        QMessageBox box(QMessageBox::Question, QString(),
                        QStringLiteral("В папке «%1» открыт Ведомер %2 (с %3).")
                            .arg(folder, whereHeld(holder.host),
                                 holder.since.toString(QStringLiteral("dd.MM.yyyy hh:mm"))));
        box.setInformativeText(
            QStringLiteral("Если там программа уже закрыта или тот компьютер выключен, папку можно открыть здесь. "
                           "Если программа там ещё работает, не открывайте: две программы на одной базе "
                           "данных могут испортить записи друг друга.\n\nОткрыть папку на этом компьютере?"));
        QPushButton *open = box.addButton(QStringLiteral("Открыть здесь"), QMessageBox::AcceptRole);
        QPushButton *no = box.addButton(QStringLiteral("Не открывать"), QMessageBox::RejectRole);
        box.setDefaultButton(no);
        box.setEscapeButton(no);
        box.exec();
        if (box.clickedButton() != open)
            return false;
        instance.takeOver();
        break;
    }
    }
    if (!wantsVerification(arguments))
        return true;
    if (!instance.openedOverAnotherLock()) {
        *verification = Function::ver();
        return true;
    }
    // The copy on the other computer may still work on the database: its
    // tables are not changed under it.
    verification->refused =
        QStringLiteral("Проверка таблиц (--ver) не выполнена: база данных может быть открыта Ведомером %1. "
                       "Запустите программу с параметром --ver, когда он там будет закрыт.")
            .arg(whereHeld(instance.holder().host));
    return true;
}
