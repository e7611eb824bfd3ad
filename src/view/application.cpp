// What the executable (and every test) sets up before the first window, the
// command line, and the schema verification as the user sees it.

#include "function.h"

#include "storage/paths.h"
#include "storage/schema.h"

#include <QDir>
#include <QLocale>
#include <QMessageBox>

void Function::initApplication()
{
    Q_INIT_RESOURCE(icon);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

bool Function::wantsVerification(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("--ver"), Qt::CaseSensitive);
}

void Function::ver()
{
    const Schema::Report report =
        Schema::verify(QString::fromLatin1(Paths::VERIFIED_DATABASE), QString::fromLatin1(Paths::TABLE_DESCRIPTOR),
                       QString::fromLatin1(Paths::COLUMN_DESCRIPTOR));
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
    setHidden(QString::fromLatin1(Paths::COLUMN_DESCRIPTOR));
    setHidden(QString::fromLatin1(Paths::TABLE_DESCRIPTOR));
}
