// What the executable (and every test) sets up before the first window, the
// command line, and the schema verification as the user sees it.

#include "function.h"

#include "storage/connection.h"
#include "storage/paths.h"
#include "storage/schema.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#ifdef __GLIBC__
#include <malloc.h>
#endif

void Function::initApplication()
{
    Q_INIT_RESOURCE(icon);
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

bool Function::wantsVerification(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("--ver"), Qt::CaseSensitive);
}

void Function::ver()
{
    // On a server the tables are those of its own descriptors; the SQLite
    // verification always works on data/BaseDate.db.
    const bool server = Paths::serverChosen();
    const Schema::Report report =
        server ? Schema::verifyServer(QString::fromLatin1(Paths::SERVER_TABLE_DESCRIPTOR),
                                      QString::fromLatin1(Paths::SERVER_COLUMN_DESCRIPTOR),
                                      [](const Paths::Server &s, QString *password) {
                                          return askPassword(nullptr, s.user, Connection::describe(s), password);
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
    // The event loop has not started: each box runs its own.
    for (const QString &error : report.refusedDescriptors) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Ошибка файла"),
                        QStringLiteral("Не удалось открыть файл"), QMessageBox::Ok);
        box.setInformativeText(error + QStringLiteral("\nТаблицы базы данных не изменены."));
        box.exec();
    }
    // What was dropped because the descriptors no longer name it, and where
    // the database as it was before is kept.
    QStringList dropped;
    for (const QString &table : report.droppedTables)
        dropped.append(QStringLiteral("таблица ") + table);
    for (const QString &column : report.droppedColumns)
        dropped.append(QStringLiteral("столбец ") + column);
    if (!dropped.isEmpty())
        QMessageBox::warning(
            nullptr, QStringLiteral("Проверка таблиц"),
            QStringLiteral("Удалено то, чего нет в описаниях таблиц (%1): %2.\n\nБаза данных до "
                           "удаления сохранена в файле «%3».")
                .arg(QString::fromLatin1(Paths::TABLE_DESCRIPTOR) + QStringLiteral(", ") +
                         QString::fromLatin1(Paths::COLUMN_DESCRIPTOR),
                     dropped.join(QStringLiteral(", ")), QDir::toNativeSeparators(report.copyBeforeDrops)),
            QMessageBox::Ok);
    if (!report.dropsRefused.isEmpty())
        QMessageBox::warning(nullptr, QStringLiteral("Проверка таблиц"),
                             QStringLiteral("Не удалено то, чего нет в описаниях таблиц: %1. Перед удалением "
                                            "нужна копия базы данных, а её сделать не удалось: %2.")
                                 .arg(report.notDropped.join(QStringLiteral(", ")), report.dropsRefused),
                             QMessageBox::Ok);
    if (report.unreadable)
        QMessageBox::warning(nullptr, QStringLiteral("Ошибка"),
                             QStringLiteral("Файл %1 не читается как база данных, проверка таблиц не "
                                            "выполнена. Файл оставлен как есть.")
                                 .arg(report.database),
                             QMessageBox::Ok);
    setHidden(QString::fromLatin1(server ? Paths::SERVER_COLUMN_DESCRIPTOR : Paths::COLUMN_DESCRIPTOR));
    setHidden(QString::fromLatin1(server ? Paths::SERVER_TABLE_DESCRIPTOR : Paths::TABLE_DESCRIPTOR));
}
