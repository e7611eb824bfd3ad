#include "windows/databasecommands.h"

#include "export/printing.h"
#include "function.h"
#include "storage/register/attachmentremoval.h"
#include "storage/copies/autobackup.h"
#include "storage/db/connection.h"
#include "storage/db/errors.h"
#include "storage/copies/databasecopy.h"
#include "storage/setup/settings.h"
#include "storage/db/errorlog.h"
#include "storage/copies/servercopy.h"
#include "storage/db/sql.h"
#include "view/dialogs.h"
#include "view/openwindows.h"
#include "storage/copies/chosenfile.h"
#include "storage/copies/databaserestore.h"
#include "storage/copies/serverbackup.h"
#include "storage/db/serverconnection.h"

#include <QApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QSqlError>
#include <QStatusBar>

namespace {

// Refused in the restore: nothing chosen, the live file under its own name or
// another name for it, or a file that is not a sound database. `why` is the
// second line of the warning (none for a cancelled dialog).
bool refusedChoice(const QString &chosen, const QString &live, QString *why)
{
    if (chosen.isEmpty())
        return true;
    const QString shown = QDir::toNativeSeparators(chosen);
    if (DatabaseCopy::sameFile(chosen, live))
        *why = QStringLiteral("Выбран файл «%1»: это база данных, с которой программа сейчас работает. "
                              "Выберите резервную копию.")
                   .arg(shown);
    else if (chosen.section(QLatin1Char('/'), -1, -1) == QLatin1String("BaseDate.db"))
        *why = QStringLiteral("Файл «%1» назван так же, как база данных, с которой работает программа "
                              "(«BaseDate.db»). Скопируйте его под другим именем и выберите копию.")
                   .arg(shown);
    else if (!DatabaseCopy::isDatabase(chosen))
        *why = QStringLiteral("Файл «%1» не читается как база данных.").arg(shown);
    return !why->isEmpty();
}

} // namespace

DatabaseCommands::DatabaseCommands(QMainWindow *owner, QSqlDatabase &connection,
                                   std::function<void()> refillTable)
    : window(owner)
    , db(connection)
    , refill(std::move(refillTable))
{
}

DatabaseCommands::~DatabaseCommands() = default;

QString DatabaseCommands::openFile() const
{
    const QString name = Sql::onServer(db) ? QString() : db.databaseName();
    return QFileInfo(name.isEmpty() ? Settings::databaseFile() : name).absoluteFilePath();
}

QString DatabaseCommands::copyFolder() const
{
    return Sql::onServer(db) ? Settings::databaseFolder() : QFileInfo(openFile()).absolutePath();
}

QString DatabaseCommands::databaseName() const
{
    if (Sql::onServer(db)) {
        Settings::Server server;
        server.host = db.hostName();
        server.port = db.port();
        server.database = db.databaseName();
        server.user = db.userName();
        return Connection::describe(server);
    }
    return QStringLiteral("«%1»").arg(QDir::toNativeSeparators(openFile()));
}

QString DatabaseCommands::otherFolderNote() const
{
    const QString named = QFileInfo(Settings::databaseFile()).absoluteFilePath();
    if (Sql::onServer(db) || Settings::serverChosen() || named == openFile())
        return QString();
    return QStringLiteral(
               "\n\nВ настройках указана другая папка базы данных («%1»): программа откроет её при "
               "следующем запуске.")
        .arg(QDir::toNativeSeparators(QFileInfo(named).absolutePath()));
}

bool DatabaseCommands::copyInto(const QString &target, QString *error)
{
    // A server's register goes into an SQLite file in the local database folder.
    if (Sql::onServer(db))
        return busy([&] { return ServerCopy::backup(target, error); });
    const QString file = openFile();
    return busy([&] { return DatabaseCopy::backup(file, target, error); });
}

void DatabaseCommands::backup()
{
    if (!Dialogs::confirm(window, QStringLiteral("Вы точно уверены что надо создать резервную копию?")))
        return;
    const QString target = DatabaseCopy::backupName(copyFolder(), QDateTime::currentDateTime());
    QString error;
    if (!copyInto(target, &error)) {
        Dialogs::warn(window, QStringLiteral("Резервная копия не создана: %1.").arg(error));
        return;
    }
    Dialogs::inform(window, QStringLiteral("Резервная копия создана"),
                     QStringLiteral("Копия базы данных %1 записана в файл «%2».")
                             .arg(databaseName(), QDir::toNativeSeparators(target)) +
                         otherFolderNote());
}

void DatabaseCommands::backupDaily()
{
    const int keep = Settings::autoBackups();
    if (keep == 0 || !db.isOpen() || dailyCopyRunning())
        return;
    window->statusBar()->showMessage(QStringLiteral("Создаётся ежедневная резервная копия базы данных…"));
    // In a thread of its own: the window answers while a large register is
    // copied, and says how it went when it is over.
    dailyCopy = std::make_unique<AutoBackup::Run>(copyFolder(), QDate::currentDate(), keep,
                                                  Sql::onServer(db) ? QString() : openFile());
    connect(dailyCopy.get(), &AutoBackup::Run::finished, this, &DatabaseCommands::dailyCopyEnded);
    dailyCopy->start();
}

bool DatabaseCommands::dailyCopyRunning() const
{
    return dailyCopy && dailyCopy->running();
}

void DatabaseCommands::finishDailyCopy()
{
    if (dailyCopyRunning())
        busy([this] {
            dailyCopy->wait();
            return true;
        });
}

void DatabaseCommands::dailyCopyEnded()
{
    const AutoBackup::Result result = dailyCopy->result();
    window->statusBar()->clearMessage();
    // What holds today's usual name is left as it is: it may be the user's.
    // The status bar names the files, the log their folder as well.
    auto takenNote = [&result](bool paths) {
        QStringList taken;
        for (const QString &name : result.taken)
            taken.append(QStringLiteral("«%1»").arg(paths ? QDir::toNativeSeparators(name)
                                                          : QFileInfo(name).fileName()));
        return taken.isEmpty() ? QString()
                               : QStringLiteral(": %1 — не копия базы данных, оставлено как есть")
                                     .arg(taken.join(QStringLiteral(", ")));
    };
    if (result.outcome == AutoBackup::Outcome::Made) {
        const QString written = QDir::toNativeSeparators(result.written);
        if (result.taken.isEmpty()) {
            window->statusBar()->showMessage(
                QStringLiteral("Ежедневная резервная копия базы данных записана в файл «%1»").arg(written),
                10000);
        } else {
            const QString text = QStringLiteral("Ежедневная резервная копия записана в файл «%1»");
            Query::appendLog(text.arg(written) + takenNote(true) + QStringLiteral(".\n"));
            window->statusBar()->showMessage(text.arg(QFileInfo(written).fileName()) + takenNote(false),
                                             30000);
        }
    }
    if (result.outcome != AutoBackup::Outcome::Failed)
        return;
    const QString text =
        QStringLiteral("Ежедневная резервная копия базы данных не создана: %1").arg(result.error);
    const QString told = text + takenNote(false) + QLatin1Char('.');
    Query::appendLog(text + takenNote(true) + QStringLiteral(".\n"));
    window->statusBar()->showMessage(told, 30000);
    // Told once a day, not at every start while the cause lasts.
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    if (Settings::setting(Settings::AUTO_BACKUP_TOLD_KEY).toString() == today)
        return;
    Settings::storeSetting(Settings::AUTO_BACKUP_TOLD_KEY, today);
    Dialogs::warn(
        window, told,
        QStringLiteral("Программа работает как обычно. Когда причина устранена, сделайте копию командой "
                       "«Создать резервную копию». Ежедневные копии выключаются в окне «Настройки» "
                       "(число копий 0)."));
}

void DatabaseCommands::restore()
{
    // On a server only its owner and vedomer_admins restore: anyone else is
    // told so before anything is asked or read.
    QString refusal;
    if (Sql::onServer(db) && !ServerCopy::restorePossible(&refusal)) {
        Dialogs::warn(window, QStringLiteral("Резервная копия не восстановлена: %1.").arg(refusal));
        return;
    }
    if (!Dialogs::confirm(window, QStringLiteral("Вы точно уверены что востановить резервную копию?")))
        return;
    // The windows that show the database would go on writing what they
    // loaded from the database being replaced: they are closed first.
    const QList<QWidget *> windows = OpenWindows::open(OpenWindows::UsesDatabase);
    if (!windows.isEmpty()) {
        QStringList titles;
        for (const QWidget *shown : windows)
            titles.append(QStringLiteral("«%1»").arg(shown->windowTitle()));
        if (!Dialogs::confirm(window,
                               QStringLiteral("Перед восстановлением будут закрыты окна: %1. Несохранённые в "
                                              "них изменения будут потеряны. Закрыть окна?")
                                   .arg(titles.join(QStringLiteral(", ")))))
            return;
        if (!OpenWindows::close(OpenWindows::UsesDatabase)) {
            Dialogs::warn(window,
                           QStringLiteral("Резервная копия не восстановлена: не все окна закрылись."));
            return;
        }
    }
    // The daily copy reads the database being replaced: it ends first.
    finishDailyCopy();
    const QString folder = copyFolder();
    if (Sql::onServer(db)) {
        restoreOnServer(folder);
        return;
    }
    // The file the connection is on is the one replaced and opened again.
    const QString live = openFile();
    db.close();
    const QString chosen = QFileDialog::getOpenFileName(window, QStringLiteral("Open file»"), folder,
                                                        QStringLiteral("File Base (*.db)"));
    QString why;
    if (refusedChoice(chosen, live, &why)) {
        Dialogs::warn(window, QStringLiteral("Некорректный формат базы данных"), why);
        reopenDatabase();
        return;
    }
    QString error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool restored = DatabaseCopy::restore(chosen, folder, &error);
    QApplication::restoreOverrideCursor();
    if (!restored) {
        reopenDatabase();
        Dialogs::warn(window, QStringLiteral("Резервная копия не восстановлена: %1.").arg(error));
        return;
    }
    tellRestored(chosen);
}

void DatabaseCommands::tellRestored(const QString &chosen)
{
    QString reason;
    if (!Connection::reopen(&reason)) {
        refill();
        Dialogs::warn(window, QStringLiteral("База данных заменена копией «%1», но не открылась: %2. "
                                              "Прежняя база сохранена в файле «BaseDate_old.db».")
                                   .arg(QFileInfo(chosen).fileName(), reason));
        return;
    }
    // The documents the restored attachments refer to, where they had been
    // moved aside since the backup.
    Attachments::recoverDetached();
    refill();
    Dialogs::inform(
        window, QStringLiteral("База восстановлена"),
        QStringLiteral("База данных %1 восстановлена из копии «%2». Прежняя база сохранена в файле "
                       "«BaseDate_old.db».")
                .arg(databaseName(), QDir::toNativeSeparators(chosen)) +
            otherFolderNote());
}

bool DatabaseCommands::busy(const std::function<bool()> &work)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = work();
    QApplication::restoreOverrideCursor();
    return ok;
}

void DatabaseCommands::restoreOnServer(const QString &folder)
{
    const QString chosen = QFileDialog::getOpenFileName(window, QStringLiteral("Open file»"), folder,
                                                        QStringLiteral("File Base (*.db)"));
    if (chosen.isEmpty() || !DatabaseCopy::isDatabase(chosen)) {
        Dialogs::warn(window, QStringLiteral("Некорректный формат базы данных"));
        return;
    }
    // What the server holds now is written first; it becomes the file
    // BaseDate_old.db (an earlier one kept under a dated name) only once the
    // restore has succeeded, so the chosen file may even be that copy.
    const QString safety = DatabaseCopy::safetyName(folder);
    const QString fresh = DatabaseCopy::partName(safety);
    QString error;
    QFile::remove(fresh);
    if (!busy([&] { return ServerCopy::backup(fresh, &error); })) {
        Dialogs::warn(window,
                       QStringLiteral("Резервная копия не восстановлена: не удалось сохранить данные сервера "
                                      "в папку базы данных: %1. Данные на сервере не изменены.")
                           .arg(error));
        return;
    }
    ServerCopy::Counts counts;
    const bool ok = busy([&] { return ServerCopy::restore(chosen, &counts, &error); });
    refill();
    if (!ok) {
        QFile::remove(fresh);
        Dialogs::warn(window,
                       QStringLiteral("Резервная копия не восстановлена: %1. Данные на сервере не изменены.")
                           .arg(error));
        return;
    }
    QString kept;
    QString reason;
    if (!DatabaseCopy::keepAsSafetyCopy(fresh, safety, &reason)) {
        // Not left as a temporary file that the next start would remove.
        const QString named = DatabaseCopy::freeDatedName(folder, QStringLiteral("BaseDate_old_"),
                                                          QDateTime::currentDateTime());
        kept = QFile::rename(fresh, named)
                   ? QStringLiteral("\n\nПрежние данные сервера сохранены в файле «%1».")
                         .arg(QFileInfo(named).fileName())
                   : QStringLiteral("\n\nПрежние данные сервера сохранены в файле «%1» (%2).")
                         .arg(QFileInfo(fresh).fileName(), reason);
    }
    Dialogs::inform(window,
                    QStringLiteral("База восстановлена") + kept + missingNote(counts.missing) +
                        historyNote(counts),
                    QStringLiteral("Данные базы %1 заменены данными файла «%2».")
                        .arg(databaseName(), QDir::toNativeSeparators(chosen)));
}

QString DatabaseCommands::historyNote(const ServerCopy::Counts &counts)
{
    if (counts.historyLeft.isEmpty())
        return QString();
    return QStringLiteral("\n\nИстория изменений из файла (записей: %1) не перенесена: %2.")
        .arg(counts.historyEntries)
        .arg(counts.historyLeft);
}

QString DatabaseCommands::missingNote(const QStringList &missing)
{
    if (missing.isEmpty())
        return QString();
    const int shown = 10;
    QStringList names = missing.mid(0, shown);
    if (missing.size() > shown)
        names.append(QStringLiteral("… (всего %1)").arg(missing.size()));
    return QStringLiteral("\n\nНе найдены копии прикреплённых документов (записи о них сохранены): %1.")
        .arg(names.join(QStringLiteral(", ")));
}

void DatabaseCommands::transfer()
{
    if (!Sql::onServer(db)) {
        Dialogs::inform(window,
                         QStringLiteral("База переносится на сервер PostgreSQL. Выберите в окне «Настройки» "
                                        "вид базы данных «Сервер PostgreSQL», создайте таблицы запуском "
                                        "программы с параметром --ver и запустите программу снова."));
        return;
    }
    // A server database without tables was not opened at start: the move
    // opens it, and makes the tables itself. What stands in the way is told
    // before anything is asked.
    const bool wasClosed = !db.isOpen();
    QString why;
    if (wasClosed && !db.open())
        why = QStringLiteral("нет связи с сервером базы данных %1 (%2)")
                  .arg(databaseName(), Errors::databaseWords(db.lastError()));
    else
        ServerCopy::transferPossible(&why);
    auto leave = [&] {
        if (wasClosed)
            db.close();
    };
    if (!why.isEmpty()) {
        leave();
        Dialogs::warn(window, QStringLiteral("База не перенесена на сервер: %1.").arg(why));
        return;
    }
    if (!Dialogs::confirm(window, QStringLiteral("Вы точно уверены что надо перенести базу на сервер?")))
        return leave();
    const QString chosen =
        QFileDialog::getOpenFileName(window, QStringLiteral("Перенести базу на сервер"),
                                     Settings::databaseFolder(), QStringLiteral("File Base (*.db)"));
    if (chosen.isEmpty())
        return leave();
    if (!DatabaseCopy::isDatabase(chosen)) {
        leave();
        Dialogs::warn(window, QStringLiteral("Некорректный формат базы данных"));
        return;
    }
    ServerCopy::Counts counts;
    QString error;
    bool ok = false;
    {
        Printing::ProgressBox box(window, QStringLiteral("Перенос базы на сервер"));
        ok = busy([&] { return ServerCopy::transfer(chosen, &counts, &error, box.progress()); });
    }
    if (!ok)
        leave();
    else if (wasClosed && openAgain)
        openAgain();
    refill();
    if (counts.cancelled) {
        window->statusBar()->showMessage(
            QStringLiteral("Перенос базы на сервер остановлен: на сервер ничего не записано"), 30000);
        return;
    }
    if (!ok) {
        Dialogs::warn(window, QStringLiteral("База не перенесена на сервер: %1.").arg(error));
        return;
    }
    const QString made = counts.createdTables.isEmpty()
                             ? QString()
                             : QStringLiteral("\n\nТаблицы на сервере созданы: %1.")
                                   .arg(counts.createdTables.join(QStringLiteral(", ")));
    const QString carried = counts.historyEntries > 0 && counts.historyLeft.isEmpty()
                                ? QStringLiteral(", записей истории изменений %1").arg(counts.historyEntries)
                                : QString();
    Dialogs::inform(window, QStringLiteral("База перенесена на сервер: военнослужащих %1, приказов %2, "
                                            "прикреплённых файлов %3%4.")
                                     .arg(counts.servicemen)
                                     .arg(counts.orders)
                                     .arg(counts.files)
                                     .arg(carried) +
                                 made + missingNote(counts.missing) + historyNote(counts));
}

bool DatabaseCommands::reopenDatabase()
{
    QString reason;
    if (Connection::reopen(&reason))
        return true;
    qDebug() << reason;
    return false;
}
