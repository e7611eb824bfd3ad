// Backup copies of the database and their restoring from the main window.
#include "storage/copies/autobackup.h"
#include "storage/copies/databasecopy.h"
#include "storage/copies/chosenfile.h"
#include "storage/copies/databaserestore.h"
#include "windows/mainwindow.h"
#include "testsupport.h"
#include "widgets.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTableWidget>
#include <QtTest>

#include <filesystem>
#include <memory>
#include <system_error>

using namespace TestSupport;

namespace {

const QString REFUSED = QStringLiteral("Некорректный формат базы данных");

QStringList names(MainWindow &w)
{
    QStringList out;
    for (int r = 0; r < summary(w)->rowCount(); ++r)
        out << summary(w)->item(r, 3)->text();
    return out;
}

// Every file of a folder with its content.
QMap<QString, QByteArray> folder(const QString &path)
{
    QMap<QString, QByteArray> out;
    const QStringList entries = QDir(path).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : entries)
        out.insert(name, fileContent(path + "/" + name));
    return out;
}

// The names in the Combat table of a database file.
QStringList servicemen(const QString &path)
{
    return readColumn(path, "SELECT FIO FROM Combat ORDER BY FIO");
}

bool hardLink(const QString &target, const QString &link)
{
    std::error_code failed;
    std::filesystem::create_hard_link(QFile::encodeName(target).toStdString(),
                                      QFile::encodeName(link).toStdString(), failed);
    return !failed;
}

// Starts the daily copy and waits for its end to be told.
bool daily(MainWindow &w)
{
    w.backupDaily();
    return QTest::qWaitFor([&w] { return !w.dailyCopyRunning(); }, 60000);
}

// Today's daily copies: their names in the folder "data".
QStringList todays()
{
    const QString day = QFileInfo(AutoBackup::name("data", QDate::currentDate())).completeBaseName();
    return QDir("data").entryList({day + "*"}, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
}

// The program's connection works: a refresh shows what the file holds.
QStringList refreshed(MainWindow &w)
{
    QMetaObject::invokeMethod(&w, "clear_tableWidgets");
    return names(w);
}

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    void backupNames()
    {
        const QTime time(8, 9, 27);
        QCOMPARE(DatabaseCopy::backupName("data", QDateTime(QDate(2024, 12, 6), time)),
                 QString("data/BaseDate2024_12_6_08_09_27.db"));
        QCOMPARE(DatabaseCopy::backupName("data", QDateTime(QDate(2025, 3, 16), QTime(23, 0, 5))),
                 QString("data/BaseDate2025_03_16_23_00_05.db"));
    }

    // The backup is a database with the same rows, named by the moment it
    // was made; "Никак нет" makes none.
    void backup()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        QVERIFY(addServiceman("2", "Петров", "2"));
        MainWindow w;
        ModalAnswerer answerer;
        answerer.button("Никак нет");
        w.findChild<QAction *>("action")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).informativeText,
                 QString("Вы точно уверены что надо создать резервную копию?"));
        QCOMPARE(QDir("data").entryList(QDir::Files), QStringList{"BaseDate.db"});

        answerer.clear();
        answerer.button("Так точно").button("OK");
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
        w.findChild<QAction *>("action")->trigger();
        const QDateTime after = QDateTime::currentDateTime();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(1).title, QString("Оповещение"));
        QCOMPARE(answerer.seen().at(1).text, QString("Резервная копия создана"));
        const QStringList files = QDir("data").entryList({"BaseDate2*.db"}, QDir::Files);
        QCOMPARE(files.size(), 1);
        const QRegularExpression pattern("^BaseDate(\\d{4}_\\d{2}_[1-9]\\d?_\\d{2}_\\d{2}_\\d{2})\\.db$");
        const QRegularExpressionMatch match = pattern.match(files.first());
        QVERIFY2(match.hasMatch(), qPrintable(files.first()));
        const QDateTime stamp = QDateTime::fromString(match.captured(1), "yyyy_MM_d_hh_mm_ss");
        QVERIFY(stamp >= before && stamp <= after);
        QCOMPARE(servicemen("data/" + files.first()), (QStringList{"Иванов", "Петров"}));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // A name that exists (a backup within the same second) is never
    // overwritten, and the user is told that no backup was made.
    void backupCollision()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        MainWindow w;
        const QDateTime now = QDateTime::currentDateTime();
        QStringList taken;
        for (int s = 0; s < 4; ++s) {
            const QString name = DatabaseCopy::backupName("data", now.addSecs(s));
            dir.writeFile(name, "earlier backup " + QByteArray::number(s));
            taken << name;
        }
        ModalAnswerer answerer;
        answerer.button("Так точно").button("OK");
        w.findChild<QAction *>("action")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(1).title, QString("Ошибка"));
        QVERIFY2(answerer.seen().at(1).text.startsWith("Резервная копия не создана: файл «BaseDate"),
                 qPrintable(answerer.seen().at(1).text));
        QVERIFY(answerer.seen().at(1).text.contains("уже есть"));
        for (int s = 0; s < taken.size(); ++s)
            QCOMPARE(fileContent(taken.at(s)), "earlier backup " + QByteArray::number(s));
        QCOMPARE(QDir("data").entryList(QDir::Files).size(), 5);
    }

    // A folder whose name holds an apostrophe and a place marker.
    void backupInAnyFolder()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        testDb().close();
        QVERIFY(QDir().rename("data", "д'Артаньян %1"));
        dir.writeFile("settings.ini", "[Path]\ndb=д'Артаньян %1\n");
        MainWindow w;
        ModalAnswerer answerer;
        answerer.button("Так точно").button("OK");
        w.findChild<QAction *>("action")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(1).text, QString("Резервная копия создана"));
        const QStringList files = QDir("д'Артаньян %1").entryList({"BaseDate2*.db"}, QDir::Files);
        QCOMPARE(files.size(), 1);
        QCOMPARE(servicemen("д'Артаньян %1/" + files.first()), QStringList{"Иванов"});
    }

    // After the database folder was changed in the settings the copy is still
    // of the database the program has open, beside it, and the message names
    // the file. Without that file nothing is made, not even an empty database.
    void backupOfTheOpenDatabase()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        MainWindow w;
        QVERIFY(QDir().mkpath("empty"));
        dir.writeFile("settings.ini", "[Path]\ndb=empty\n");
        ModalAnswerer answerer;
        answerer.button("Так точно").button("OK");
        w.findChild<QAction *>("action")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(1).text, QString("Резервная копия создана"));
        const QStringList made = QDir("data").entryList({"BaseDate2*.db"}, QDir::Files);
        QCOMPARE(made.size(), 1);
        QCOMPARE(servicemen("data/" + made.first()), QStringList{"Иванов"});
        QVERIFY2(answerer.seen().at(1).informativeText.contains(dir.filePath("data/" + made.first())),
                 qPrintable(answerer.seen().at(1).informativeText));

        QVERIFY(QFile::remove("data/BaseDate.db"));
        answerer.clear();
        answerer.button("Так точно").button("OK");
        w.findChild<QAction *>("action")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(1).title, QString("Ошибка"));
        QVERIFY(answerer.seen().at(1).text.startsWith("Резервная копия не создана: нет файла базы данных"));
        QVERIFY(QDir("empty").isEmpty());
        QCOMPARE(QDir("data").entryList(QDir::Files), made);
    }

    // The daily copy: made once a day beside the database, the oldest of the
    // program's own copies removed beyond the number kept, a copy the user
    // made (or named) never; 0 makes and removes none.
    void dailyCopies()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        const QDate today = QDate::currentDate();
        for (int d = 1; d <= 31; ++d)
            dir.writeFile(AutoBackup::name("data", today.addDays(-d)), "earlier daily copy");
        const QStringList own{"data/BaseDate2020_01_1_10_00_00.db", "data/BaseDate_auto_моя.db",
                              "data/BaseDate_old.db"};
        for (const QString &name : own)
            dir.writeFile(name, "the user's copy");
        dir.writeFile("settings.ini", "[Path]\ndb=data\n[Backup]\nauto_copies=3\n");
        MainWindow w;
        QVERIFY(daily(w));
        const QStringList kept{QFileInfo(AutoBackup::name("data", today.addDays(-2))).fileName(),
                               QFileInfo(AutoBackup::name("data", today.addDays(-1))).fileName(),
                               QFileInfo(AutoBackup::name("data", today)).fileName(), "BaseDate_auto_моя.db"};
        QCOMPARE(QDir("data").entryList({"BaseDate_auto_*"}, QDir::Files), kept);
        QCOMPARE(servicemen(AutoBackup::name("data", today)), QStringList{"Иванов"});
        for (const QString &name : own)
            QCOMPARE(fileContent(name), QByteArray("the user's copy"));

        // Made today already: not made again.
        QVERIFY(addServiceman("2", "Петров", "2"));
        QVERIFY(daily(w));
        QCOMPARE(servicemen(AutoBackup::name("data", today)), QStringList{"Иванов"});

        dir.writeFile("settings.ini", "[Path]\ndb=data\n[Backup]\nauto_copies=0\n");
        QVERIFY(QFile::remove(AutoBackup::name("data", today)));
        QVERIFY(daily(w));
        QCOMPARE(QDir("data").entryList({"BaseDate_auto_*"}, QDir::Files).size(), 3);
    }

    // Copies dated after today (a clock that was once wrong) are not newer
    // than today's: the copy just made stays, and so do they; the message
    // names a file that is there.
    void dailyCopyAfterAWrongClock()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        const QDate today = QDate::currentDate();
        for (int d : {-2, -1, 1, 2, 3})
            dir.writeFile(AutoBackup::name("data", today.addDays(d)), "daily copy");
        dir.writeFile("settings.ini", "[Path]\ndb=data\n[Backup]\nauto_copies=2\n");
        MainWindow w;
        QVERIFY(daily(w));
        QCOMPARE(servicemen(AutoBackup::name("data", today)), QStringList{"Иванов"});
        QVERIFY(!QFile::exists(AutoBackup::name("data", today.addDays(-2))));
        for (int d : {-1, 1, 2, 3})
            QVERIFY(QFile::exists(AutoBackup::name("data", today.addDays(d))));
        const QString told = w.statusBar()->currentMessage();
        QVERIFY2(told.contains(QFileInfo(AutoBackup::name("data", today)).absoluteFilePath()), qPrintable(told));
    }

    // Today's name taken by something that is no copy: it stays as it is, a
    // sound copy is made under the next name and the status bar says so;
    // that copy then counts as today's.
    void dailyCopyNameTaken_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty file") << QByteArray("");
        QTest::newRow("damaged file") << QByteArray("SQLite format 3\0 cut short", 26);
        QTest::newRow("folder") << QByteArray();
    }
    void dailyCopyNameTaken()
    {
        QFETCH(QByteArray, content);
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        const QString usual = AutoBackup::name("data", QDate::currentDate());
        if (content.isNull())
            dir.writeFile(usual + "/inside", "the user's");
        else
            dir.writeFile(usual, content);
        MainWindow w;
        QVERIFY(daily(w));
        const QString made = usual.chopped(3) + "_2.db";
        QCOMPARE(servicemen(made), QStringList{"Иванов"});
        QVERIFY(w.statusBar()->currentMessage().contains(QFileInfo(usual).fileName()));
        QCOMPARE(fileContent(content.isNull() ? usual + "/inside" : usual),
                 content.isNull() ? QByteArray("the user's") : content);
        QVERIFY(daily(w));
        QCOMPARE(todays().size(), 2);
    }

    // The copy of a large register runs beside the window's thread: its
    // events go on while the copy is made. Closing the program while a copy
    // runs stops it at once and leaves no unfinished file.
    void dailyCopyBesideTheWindow()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        QVERIFY(exec("CREATE TABLE Ballast (b BLOB)"));
        QVERIFY(exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 160) "
                     "INSERT INTO Ballast SELECT zeroblob(1048576) FROM n"));
        testDb().close();
        auto w = std::make_unique<MainWindow>();
        qint64 longest = 0;
        QElapsedTimer copying, tick;
        QTimer ticks;
        ticks.setInterval(5);
        QObject::connect(&ticks, &QTimer::timeout, [&] { longest = std::max(longest, tick.restart()); });
        ticks.start();
        tick.start();
        copying.start();
        QVERIFY(daily(*w));
        const qint64 took = copying.elapsed();
        ticks.stop();
        longest = std::max(longest, tick.elapsed());
        QCOMPARE(servicemen(AutoBackup::name("data", QDate::currentDate())), QStringList{"Иванов"});
        QVERIFY2(longest < took / 2,
                 qPrintable(QString("window held up %1 ms of a %2 ms copy").arg(longest).arg(took)));

        QVERIFY(QFile::remove(AutoBackup::name("data", QDate::currentDate())));
        w->backupDaily();
        QVERIFY(QTest::qWaitFor([] { return !QDir("data").entryList({"*.part*"}, QDir::Files).isEmpty(); }));
        QElapsedTimer closing;
        closing.start();
        w.reset();
        QVERIFY2(closing.elapsed() < took / 2, qPrintable(QString("%1 of %2").arg(closing.elapsed()).arg(took)));
        QCOMPARE(QDir("data").entryList(QDir::Files), QStringList{"BaseDate.db"});
    }

    // Every refused choice warns the same way, changes no file and leaves the
    // program working on its database.
    void refusedChoices_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::newRow("cancelled") << QString();
        QTest::newRow("the live file") << "data/BaseDate.db";
        QTest::newRow("BaseDate.db elsewhere") << "elsewhere/BaseDate.db";
        QTest::newRow("symbolic link to the live file") << "data/Ссылка.db";
        QTest::newRow("hard link to the live file") << "data/Вторая.db";
        QTest::newRow("text file") << "data/Текст.db";
        QTest::newRow("empty file") << "data/Пустой.db";
        QTest::newRow("cut-off database") << "data/Обрезанная.db";
    }
    void refusedChoices()
    {
        QFETCH(QString, choice);
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        const QByteArray live = fileContent("data/BaseDate.db");
        QVERIFY(QDir().mkpath("elsewhere"));
        QVERIFY(QFile::copy("data/BaseDate.db", "elsewhere/BaseDate.db"));
        QVERIFY(QFile::link(dir.filePath("data/BaseDate.db"), "data/Ссылка.db"));
        QVERIFY(hardLink(dir.filePath("data/BaseDate.db"), dir.filePath("data/Вторая.db")));
        dir.writeFile("data/Текст.db", "Это не база данных, а текст.\n");
        dir.writeFile("data/Пустой.db", "");
        dir.writeFile("data/Обрезанная.db", live.left(live.size() / 2));
        dir.writeFile("data/BaseDate_old.db", "earlier safety copy");
        const QMap<QString, QByteArray> before = folder("data");

        MainWindow w;
        ModalAnswerer answerer;
        answerer.button("Так точно");
        if (choice.isEmpty())
            answerer.cancel();
        else
            answerer.file(dir.filePath(choice));
        answerer.button("OK");
        w.findChild<QAction *>("action_9")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).informativeText,
                 QString("Вы точно уверены что востановить резервную копию?"));
        QCOMPARE(answerer.seen().at(1).title, QString("Open file»"));
        QCOMPARE(answerer.seen().at(2).title, QString("Ошибка"));
        QCOMPARE(answerer.seen().at(2).text, REFUSED);
        // Every other name of the live file is told to be the database in use.
        QCOMPARE(answerer.seen().at(2).informativeText.contains("с которой программа сейчас работает"),
                 QString(QTest::currentDataTag()).contains("live file"));
        QVERIFY(answerer.unexpected().isEmpty());
        QCOMPARE(folder("data"), before);
        QCOMPARE(refreshed(w), QStringList{"Иванов"});
    }

    // Other names of the live file are found by what they lead to.
    void sameFile()
    {
        WorkDir dir;
        QVERIFY(QFile::link(dir.filePath("data/BaseDate.db"), "Ссылка.db"));
        QVERIFY(hardLink(dir.filePath("data/BaseDate.db"), dir.filePath("Вторая.db")));
        QVERIFY(QFile::copy("data/BaseDate.db", "Копия.db"));
        QVERIFY(DatabaseCopy::sameFile("data/BaseDate.db", dir.filePath("data/../data/BaseDate.db")));
        QVERIFY(DatabaseCopy::sameFile("Ссылка.db", "data/BaseDate.db"));
        QVERIFY(DatabaseCopy::sameFile("Вторая.db", "data/BaseDate.db"));
        QVERIFY(!DatabaseCopy::sameFile("Копия.db", "data/BaseDate.db"));
        QVERIFY(!DatabaseCopy::sameFile("Нет.db", "data/BaseDate.db"));
    }

    // "Никак нет" asks for no file and keeps the connection.
    void restoreDeclined()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        MainWindow w;
        ModalAnswerer answerer;
        answerer.button("Никак нет");
        w.findChild<QAction *>("action_9")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(refreshed(w), QStringList{"Иванов"});
    }

    // A backup kept in another folder is restored from there; the database
    // as it was is kept as BaseDate_old.db (an earlier one under a dated
    // name), journal files that are not the program's stay, and no
    // temporary file is left.
    void restoreFromAnotherFolder()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        QVERIFY(QDir().mkpath("флешка"));
        QString error;
        QVERIFY2(DatabaseCopy::backup("data/BaseDate.db", "флешка/Копия.db", &error), qPrintable(error));
        QVERIFY(addServiceman("2", "Петров", "2"));
        dir.writeFile("data/BaseDate_old.db", "earlier safety copy");
        dir.writeFile("data/BaseDate.db-wal", "");
        MainWindow w;
        QCOMPARE(names(w), (QStringList{"Иванов", "Петров"}));

        ModalAnswerer answerer;
        answerer.button("Так точно").file(dir.filePath("флешка/Копия.db")).button("OK");
        w.findChild<QAction *>("action_9")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(2).title, QString("Оповещение"));
        QCOMPARE(answerer.seen().at(2).text, QString("База восстановлена"));
        QCOMPARE(names(w), QStringList{"Иванов"});
        const QStringList files = QDir("data").entryList(QDir::Files);
        QCOMPARE(files.size(), 4);
        QCOMPARE(files.mid(0, 3), (QStringList{"BaseDate.db", "BaseDate.db-wal", "BaseDate_old.db"}));
        QVERIFY2(files.at(3).startsWith("BaseDate_old_"), qPrintable(files.at(3)));
        QCOMPARE(fileContent("data/" + files.at(3)), QByteArray("earlier safety copy"));
        QCOMPARE(servicemen("data/BaseDate_old.db"), (QStringList{"Иванов", "Петров"}));
        // The program goes on working on the restored file.
        QVERIFY(addServiceman("3", "Сидоров", "3"));
        QCOMPARE(refreshed(w), (QStringList{"Иванов", "Сидоров"}));
    }

    // Restoring the safety copy itself swaps the two: nothing is lost.
    void restoreSafetyCopy()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Старый", "1"));
        QVERIFY(QFile::copy("data/BaseDate.db", "data/BaseDate_old.db"));
        QVERIFY(exec("UPDATE Combat SET FIO = 'Новый'"));
        MainWindow w;
        ModalAnswerer answerer;
        answerer.button("Так точно").file(dir.filePath("data/BaseDate_old.db")).button("OK");
        w.findChild<QAction *>("action_9")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(2).text, QString("База восстановлена"));
        QCOMPARE(names(w), QStringList{"Старый"});
        testDb().close();
        QCOMPARE(servicemen("data/BaseDate_old.db"), QStringList{"Новый"});
    }

    // When the safety copy cannot be written the live file stays, nothing
    // is deleted, the earlier safety copy stays and the program goes on.
    void safetyCopyFails()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        QString error;
        QVERIFY(DatabaseCopy::backup("data/BaseDate.db", "data/Копия.db", &error));
        QVERIFY(addServiceman("2", "Петров", "2"));
        // A folder in the place of the safety copy cannot be replaced by a file.
        dir.writeFile("data/BaseDate_old.db/inside", "keep");
        const QMap<QString, QByteArray> before = folder("data");
        MainWindow w;
        ModalAnswerer answerer;
        answerer.button("Так точно").file(dir.filePath("data/Копия.db")).button("OK");
        w.findChild<QAction *>("action_9")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(2).title, QString("Ошибка"));
        QVERIFY2(answerer.seen().at(2).text.startsWith(
                     "Резервная копия не восстановлена: не удалось сохранить текущую базу данных в файл "
                     "«BaseDate_old.db»"),
                 qPrintable(answerer.seen().at(2).text));
        QCOMPARE(folder("data"), before);
        QCOMPARE(fileContent("data/BaseDate_old.db/inside"), QByteArray("keep"));
        QCOMPARE(refreshed(w), (QStringList{"Иванов", "Петров"}));
    }

    // A backup that cannot be read leaves everything as it was.
    void unreadableChoice()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        const QMap<QString, QByteArray> before = folder("data");
        MainWindow w;
        QString error;
        QVERIFY(!DatabaseCopy::restore(dir.filePath("нет/такого.db"), "data", &error));
        QVERIFY2(error.startsWith("не удалось прочитать файл «такого.db»"), qPrintable(error));
        QCOMPARE(folder("data"), before);
    }
};

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"
