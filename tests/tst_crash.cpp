// The program killed (as `kill -9` does) at chosen statements and file steps
// of a restore, a backup and the schema verification, by the kill library
// loaded into it: afterwards the database is whole, every copy that was
// there is still there, and the next start leaves nothing half-written
// behind. And the verification copies the database before it drops.
#include "function.h"
#include "testsupport.h"
#include "windows/mainwindow.h"

#include <QAction>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>

using namespace TestSupport;

namespace {

// Runs `program` in the working folder with the kill library, the kill
// point chosen by `variable` = `text`, the first `skip` of them passing;
// true when it was killed there. `environment` adds "NAME=value" entries.
bool killedAt(const QString &program, const QStringList &arguments, const QString &variable,
              const QString &text, int skip = 0, const QStringList &environment = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LD_PRELOAD", VEDOMER_KILLSHIM);
    env.insert(variable, text);
    env.insert("VEDOMER_KILL_SKIP", QString::number(skip));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_LOGGING_RULES", "*.debug=false");
    for (const QString &entry : environment)
        env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setWorkingDirectory(QDir::currentPath());
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    // A crash of another kind is no kill at the chosen step.
    return process.exitStatus() == QProcess::CrashExit && process.exitCode() == SIGKILL;
}

// Every file of the database folder with its content.
QMap<QString, QByteArray> files()
{
    QMap<QString, QByteArray> out;
    const QStringList names = QDir("data").entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        QFile f("data/" + name);
        out.insert(name, f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray());
    }
    return out;
}

// The program's start: the main window opened and closed again.
void start()
{
    testDb().close();
    MainWindow w;
}

} // namespace

class TestCrash : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    // A first start killed between making the ranks table and filling it:
    // the table is there filled or not at all, and the next start through
    // the launcher makes it.
    void firstStartKilledDuringVerification()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        QVERIFY(killedAt(VEDOMER_EXE, {"--ver"}, "VEDOMER_KILL_SQL", "INSERT INTO Ranks"));
        QCOMPARE(value("SELECT count(*) FROM sqlite_master WHERE name = 'Ranks'"), QString("0"));
        testDb().close();
        // The main window's first read ends this start.
        QVERIFY(killedAt("sh", {VEDOMER_LAUNCHER}, "VEDOMER_KILL_SQL", "FROM Combat ORDER BY", 0,
                         {"VEDOMER_HOME=" + dir.path()}));
        QCOMPARE(value("SELECT count(*) FROM Ranks"), QString("20"));
        QCOMPARE(value("SELECT count(*) FROM Emploeses"), QString("13"));
    }

    void killedAtAnyStep_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("skip");
        QTest::newRow("restore: writing the safety copy") << "restore"
                                                          << "VEDOMER_KILL_WRITE"
                                                          << "BaseDate_old.db." << 1;
        QTest::newRow("restore: keeping the earlier safety copy") << "restore"
                                                                  << "VEDOMER_KILL_RENAME"
                                                                  << "BaseDate_old_" << 0;
        QTest::newRow("restore: naming the safety copy") << "restore"
                                                         << "VEDOMER_KILL_RENAME"
                                                         << "/BaseDate_old.db" << 0;
        QTest::newRow("restore: loading the copy") << "restore"
                                                   << "VEDOMER_KILL_SQL"
                                                   << "INSERT INTO main." << 1;
        QTest::newRow("restore: commit") << "restore"
                                         << "VEDOMER_KILL_SQL"
                                         << "COMMIT" << 0;
        QTest::newRow("backup: writing") << "backup"
                                         << "VEDOMER_KILL_WRITE"
                                         << "/BaseDate2" << 1;
        QTest::newRow("--ver: dropping a table") << "--ver"
                                                 << "VEDOMER_KILL_SQL"
                                                 << "DROP TABLE" << 0;
    }
    // Killed at each step, the database is as it was, every earlier copy is
    // kept, and after the next start no half-written file is left.
    void killedAtAnyStep()
    {
        QFETCH(QString, command);
        QFETCH(QString, variable);
        QFETCH(QString, text);
        QFETCH(int, skip);
        WorkDir dir;
        QVERIFY(testDb().transaction());
        for (int i = 0; i < 300; ++i)
            QVERIFY(addServiceman("1", QString("Иванов %1 ").arg(i) + QString(60, QChar(u'ж')),
                                  QString::number(i)));
        QVERIFY(testDb().commit());
        QVERIFY(
            execIn("data/BaseDate.db", {"VACUUM INTO 'data/Копия.db'", "VACUUM INTO 'data/BaseDate_old.db'",
                                        "CREATE TABLE Extra (a TEXT)", "INSERT INTO Extra VALUES ('x')",
                                        "UPDATE Combat SET FIO = 'Петров' WHERE LN = '7'"}));
        const QString before = dump();
        testDb().close();
        QMap<QString, QByteArray> earlier = files();
        earlier.remove("BaseDate.db");

        const QStringList arguments = command == "--ver"
                                          ? QStringList{"--ver"}
                                          : QStringList{"--driver", command, dir.filePath("data/Копия.db")};
        QVERIFY(killedAt(command == "--ver" ? VEDOMER_EXE : QCoreApplication::applicationFilePath(),
                         arguments, variable, text, skip));
        QCOMPARE(dump(), before);
        start();
        const QMap<QString, QByteArray> after = files();
        for (auto it = earlier.cbegin(); it != earlier.cend(); ++it)
            QVERIFY2(after.values().contains(it.value()), qPrintable(it.key() + " lost"));
        for (const QString &name : after.keys()) {
            QVERIFY2(!name.contains(".part") && !name.startsWith("BaseDate2") && !name.contains(".db."),
                     qPrintable(name + " left behind"));
        }
    }

    // A well-formed descriptor that no longer names a table: before it goes
    // the database is copied, and the copy is named in the warning and the
    // log.
    void verificationCopiesBeforeDropping()
    {
        WorkDir dir;
        QVERIFY(exec("INSERT INTO Files VALUES ('7', 'blag', 'files/a.pdf', 'a.pdf', '1')"));
        QString text;
        QVERIFY(dir.readText("settingstab.conf", &text));
        text.remove(QRegularExpression("    <Files [^\n]*\n"));
        dir.writeFile("settingstab.conf", text.toUtf8());
        testDb().close();
        ModalAnswerer answerer;
        answerer.button("OK");
        Function::ver();
        QVERIFY(answerer.done());
        const QStringList copies = QDir("data").entryList({"BaseDate_before_ver_*.db"});
        QCOMPARE(copies.size(), 1);
        QVERIFY2(answerer.seen().first().text.contains(copies.first()),
                 qPrintable(answerer.seen().first().text));
        QCOMPARE(readColumn("data/" + copies.first(), "SELECT name_file FROM Files"), QStringList{"a.pdf"});
        QCOMPARE(value("SELECT count(*) FROM sqlite_master WHERE name = 'Files'"), QString("0"));
        QString log;
        QVERIFY(dir.readText("log", &log));
        QVERIFY(log.contains(copies.first()));
    }
};

// The backup or restore of the main window, run as a program of its own so
// that it can be killed: "--driver backup" or "--driver restore <file>".
int driverMain(int argc, char *argv[])
{
    if (argc < 3 || qstrcmp(argv[1], "--driver") != 0)
        return -1;
    QApplication app(argc, argv);
    Function::initApplication();
    const bool restore = qstrcmp(argv[2], "restore") == 0;
    MainWindow w;
    ModalAnswerer answerer;
    answerer.button("Так точно");
    if (restore && argc > 3)
        answerer.file(QString::fromLocal8Bit(argv[3]));
    answerer.button("OK");
    w.findChild<QAction *>(restore ? "action_9" : "action")->trigger();
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
