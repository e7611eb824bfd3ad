// The program killed (`kill -9`) by the kill library at chosen statements and
// file steps of its first start, a restore, a backup and "--ver": the
// database stays whole, every earlier copy is kept, the next start leaves
// nothing half-written. And "--ver" copies the database before it drops.
#include "function.h"
#include "testsupport.h"
#include "view/application.h"
#include "windows/mainwindow.h"

#include <QAction>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <cstdio>

using namespace TestSupport;

namespace {

// Runs `program` in the working folder with the kill library set by
// `variable` = `text` (`skip` of them passing first) and "NAME=value" entries
// of `more`; true when it was killed there, not by another crash.
bool killedAt(const QString &program, const QStringList &arguments, const QString &variable,
              const QString &text, int skip = 0, const QStringList &more = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &entry :
         QStringList{"LD_PRELOAD=" VEDOMER_KILLSHIM, variable + "=" + text,
                     "VEDOMER_KILL_SKIP=" + QString::number(skip), "QT_LOGGING_RULES=*.debug=false"} +
             more)
        env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        process.kill();
    process.waitForFinished();
    return process.exitStatus() == QProcess::CrashExit && process.exitCode() == SIGKILL;
}

// Runs this test's driver with `arguments` while the writes to files whose
// path holds `path` fail with `fault` ("EIO" or "ENOSPC"); what it told.
QString onFailingDisk(const QString &path, const QString &fault, const QStringList &arguments)
{
    QProcess driver;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LD_PRELOAD", VEDOMER_KILLSHIM);
    env.insert("VEDOMER_FAIL_WRITE", path);
    env.insert("VEDOMER_FAIL_ERRNO", fault);
    env.insert("QT_LOGGING_RULES", "*.debug=false");
    driver.setProcessEnvironment(env);
    driver.start(QCoreApplication::applicationFilePath(), arguments);
    if (!driver.waitForFinished(60000))
        return "the driver did not finish";
    return QString::fromUtf8(driver.readAllStandardOutput());
}

// The contents of the files of the database folder.
QList<QByteArray> contents()
{
    QList<QByteArray> out;
    for (const QString &name : QDir("data").entryList(QDir::Files))
        out.append(fileContent("data/" + name));
    return out;
}

} // namespace

class TestCrash : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    // Killed between making the ranks table and filling it: the table is not
    // there, and the next start through the launcher makes it (the main
    // window's first read ends that start).
    void firstStartKilledDuringVerification()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        QVERIFY(killedAt(VEDOMER_EXE, {"--ver"}, "VEDOMER_KILL_SQL", "INSERT INTO Ranks"));
        QCOMPARE(value("SELECT count(*) FROM sqlite_master WHERE name = 'Ranks'"), QString("0"));
        testDb().close();
        QVERIFY(killedAt("sh", {VEDOMER_LAUNCHER}, "VEDOMER_KILL_SQL", "FROM Combat ORDER BY", 0,
                         {"VEDOMER_HOME=" + dir.path()}));
        QCOMPARE(value("SELECT count(*) FROM Ranks"), QString("20"));
    }

    void killedAtAnyStep_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("skip");
        const QString sql = "VEDOMER_KILL_SQL", write = "VEDOMER_KILL_WRITE", rename = "VEDOMER_KILL_RENAME";
        QTest::newRow("restore: safety copy") << "restore" << write << "BaseDate_old.db." << 1;
        QTest::newRow("restore: earlier safety copy kept") << "restore" << rename << "BaseDate_old_" << 0;
        QTest::newRow("restore: safety copy named") << "restore" << rename << "/BaseDate_old.db" << 0;
        QTest::newRow("restore: loading") << "restore" << sql << "INSERT INTO main." << 1;
        QTest::newRow("restore: commit") << "restore" << sql << "COMMIT" << 0;
        QTest::newRow("backup: writing") << "backup" << write << "/BaseDate2" << 1;
        QTest::newRow("--ver: drop") << "--ver" << sql << "DROP TABLE" << 0;
    }
    void killedAtAnyStep()
    {
        QFETCH(QString, command);
        QFETCH(QString, variable);
        QFETCH(QString, text);
        QFETCH(int, skip);
        WorkDir dir;
        QVERIFY(testDb().transaction());
        for (int i = 0; i < 300; ++i)
            QVERIFY(addServiceman("1", "Иванов " + QString(60, QChar(u'ж')), QString::number(i)));
        QVERIFY(testDb().commit());
        QVERIFY(execIn("data/BaseDate.db",
                       {"VACUUM INTO 'data/Копия.db'", "CREATE TABLE Extra (a TEXT)",
                        "VACUUM INTO 'data/BaseDate_old.db'", "DELETE FROM Combat WHERE LN = '7'"}));
        const QString before = dump();
        testDb().close();
        QList<QByteArray> earlier = contents();
        earlier.removeOne(fileContent("data/BaseDate.db"));
        const QStringList arguments = command == "--ver"
                                          ? QStringList{"--ver"}
                                          : QStringList{"--driver", command, dir.filePath("data/Копия.db")};
        QVERIFY(killedAt(command == "--ver" ? VEDOMER_EXE : QCoreApplication::applicationFilePath(),
                         arguments, variable, text, skip));
        QCOMPARE(dump(), before);
        testDb().close();
        delete new MainWindow; // the next start
        const QList<QByteArray> after = contents();
        for (const QByteArray &copy : earlier)
            QVERIFY(after.contains(copy));
        const QStringList names = QDir("data").entryList(QDir::Files);
        QVERIFY2(names.filter(QRegularExpression("\\.part|\\.db\\.|^BaseDate2")).isEmpty(),
                 qPrintable(names.join(' ')));
    }

    // A restore whose copy of the backup cannot be written in the data
    // folder (a failing or full disk) says so, not that the backup is bad,
    // and changes nothing.
    void restoreOnFailingDisk_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("EIO") << "EIO" << "диск не дал записать файл";
        QTest::newRow("ENOSPC") << "ENOSPC" << "на диске нет места";
    }
    void restoreOnFailingDisk()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        QVERIFY(execIn("data/BaseDate.db", {"VACUUM INTO 'data/backup.db'", "DELETE FROM Combat"}));
        const QString before = dump();
        testDb().close();
        const QString told =
            onFailingDisk(".part", fault, {"--driver", "restore", dir.filePath("data/backup.db")});
        QVERIFY2(told.contains("временную копию") && told.contains(reason) && told.contains("в порядке"),
                 qPrintable(told));
        QCOMPARE(dump(), before);
    }

    // A descriptor that no longer names a table: the database is copied
    // before the table goes, and the copy is named in what the main window
    // tells and in the log.
    void verificationCopiesBeforeDropping()
    {
        WorkDir dir;
        QVERIFY(exec("INSERT INTO Files VALUES ('7', 'blag', 'files/a.pdf', 'a.pdf', '1')"));
        QString text;
        QVERIFY(dir.readText("settingstab.conf", &text));
        dir.writeFile("settingstab.conf", text.remove(QRegularExpression("    <Files [^\n]*\n")).toUtf8());
        testDb().close();
        ModalAnswerer answerer;
        const QStringList told = Application::verificationNotes(Function::ver());
        QVERIFY(answerer.unexpected().isEmpty());
        const QStringList copies = QDir("data").entryList({"BaseDate_before_ver_*.db"});
        QCOMPARE(copies.size(), 1);
        QVERIFY(told.join(' ').contains(copies.first()));
        QVERIFY(dir.readText("log", &text) && text.contains(copies.first()));
        QCOMPARE(readColumn("data/" + copies.first(), "SELECT name_file FROM Files"), QStringList{"a.pdf"});
    }

    // A column drop the disk refuses leaves the column, and the start says
    // so and why, not the log alone.
    void verificationDropOnFailingDisk_data() { restoreOnFailingDisk_data(); }
    void verificationDropOnFailingDisk()
    {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        WorkDir dir;
        QVERIFY(exec("ALTER TABLE Combat ADD COLUMN extra TEXT"));
        testDb().close();
        const QString told = onFailingDisk("data/BaseDate.db", fault, {"--driver", "ver", "-"});
        QVERIFY2(told.contains("Не удалено") && told.contains("Combat.extra") && told.contains(reason),
                 qPrintable(told));
        QCOMPARE(value("SELECT count(*) FROM pragma_table_info('Combat') WHERE name = 'extra'"),
                 QString("1"));
    }
};

// The main window's backup or restore as a program of its own, to be killed:
// "--driver backup" or "--driver restore <file>"; "--driver ver -" runs the
// verification alone.
int driverMain(int argc, char *argv[])
{
    if (argc < 4 || qstrcmp(argv[1], "--driver") != 0)
        return -1;
    QApplication app(argc, argv);
    Application::initApplication();
    if (qstrcmp(argv[2], "ver") == 0) {
        // What the main window would tell after "--ver".
        ModalAnswerer answerer;
        std::printf("%s\n", Application::verificationNotes(Function::ver()).join('\n').toUtf8().constData());
        return answerer.unexpected().isEmpty() ? 0 : 3;
    }
    const bool restore = qstrcmp(argv[2], "restore") == 0;
    MainWindow w;
    ModalAnswerer answerer;
    answerer.button("Так точно");
    if (restore)
        answerer.file(QString::fromLocal8Bit(argv[3]));
    answerer.button("OK");
    w.findChild<QAction *>(restore ? "action_9" : "action")->trigger();
    // What the user was told last, for the test that runs it.
    if (!answerer.seen().isEmpty())
        std::printf("%s\n", answerer.seen().constLast().text.toUtf8().constData());
    return answerer.done() ? 0 : 3;
}

int main(int argc, char *argv[])
{
    const int driver = driverMain(argc, argv);
    if (driver >= 0)
        return driver;
    QApplication app(argc, argv);
    TestCrash test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crash.moc"
