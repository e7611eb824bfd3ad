// Restoring a backup as an adversary would: while another program writes,
// twice in a row, from files that are not the program's register, with
// windows open, after a document was detached and its name offered again.
#include "faults.h"
#include "orderwindow.h"
#include "storage/register/attachmentremoval.h"
#include "storage/register/attachments.h"
#include "storage/copies/databasecopy.h"
#include "storage/setup/schema.h"
#include "storage/register/servicemen.h"
#include "storage/register/summarycolumns.h"
#include "storage/copies/databaserestore.h"
#include "testsupport.h"
#include "toplevels.h"
#include "windows/mainwindow.h"
#include "windows/voenosluga.h"

#include <QAction>
#include <QtTest>

using namespace TestSupport;

namespace {

QStringList servicemen(const QString &path = "data/BaseDate.db")
{
    return readColumn(path, "SELECT FIO FROM Combat ORDER BY FIO");
}

// Иванов, backed up into `copy`, then Петров.
QString twoServicemen(const QString &copy = "data/Копия.db")
{
    QString error;
    if (!addServiceman("1", "Иванов", "1") || !DatabaseCopy::backup("data/BaseDate.db", copy, &error) ||
        !addServiceman("2", "Петров", "2"))
        qWarning("not set up: %s", qPrintable(error));
    return QDir::current().absoluteFilePath(copy);
}

// Restores `chosen` from the main window, answering `more` after the first
// question; the last box shown.
ModalAnswerer::Seen restore(MainWindow &w, const QString &chosen, const QStringList &more = {})
{
    testDb().close();
    ModalAnswerer answerer;
    for (const QString &b : QStringList{"Так точно"} + more)
        answerer.button(b);
    answerer.file(chosen).button("OK");
    w.findChild<QAction *>("action_9")->trigger();
    return answerer.seen().value(answerer.seen().size() - 1);
}

} // namespace

class TestRestore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    // Another process holds the write lock with a change of its own: the
    // restore says the database is busy and changes nothing; the change is
    // committed.
    void busyDatabaseIsNotRestored()
    {
        WorkDir dir;
        const QString copy = twoServicemen();
        MainWindow w;
        testDb().close();
        LockHolder other("data/BaseDate.db", -1, "Капитан запаса");
        QVERIFY2(other.locked(), qPrintable(other.error()));
        const ModalAnswerer::Seen told = restore(w, copy);
        QVERIFY2(told.title == "Ошибка" && told.text.contains("занята"), qPrintable(told.text));
        QVERIFY(other.release());
        QCOMPARE(servicemen(), (QStringList{"Иванов", "Петров"}));
        QCOMPARE(value("SELECT count(*) FROM Ranks WHERE Rank = 'Капитан запаса'"), QString("1"));
    }

    // BaseDate_old.db is the state before the last restore; the one before
    // the first is kept under a dated name.
    void twoRestoresKeepEveryEarlierState()
    {
        WorkDir dir;
        const QString copy = twoServicemen();
        MainWindow w;
        QCOMPARE(restore(w, copy).text, QString("База восстановлена"));
        QVERIFY(addServiceman("3", "Сидоров", "3"));
        QCOMPARE(restore(w, copy).text, QString("База восстановлена"));
        QCOMPARE(servicemen("data/BaseDate_old.db"), (QStringList{"Иванов", "Сидоров"}));
        const QStringList kept = QDir("data").entryList({"BaseDate_old_*.db"});
        QCOMPARE(kept.size(), 1);
        QCOMPARE(servicemen("data/" + kept.first()), (QStringList{"Иванов", "Петров"}));
    }

    // The database folder changed in the settings since the start: the file
    // the program has open is restored and shown, the message names it, and
    // the database of the other folder is left alone.
    void restoreAfterFolderChange()
    {
        WorkDir dir;
        const QString copy = twoServicemen();
        QVERIFY(QDir().mkpath("другая"));
        QVERIFY(execIn("другая/BaseDate.db", {"CREATE TABLE Combat (FIO TEXT)",
                                              "INSERT INTO Combat VALUES ('Сидоров')"}));
        MainWindow w;
        dir.writeFile("settings.ini", "[Path]\ndb=другая\n");
        const ModalAnswerer::Seen told = restore(w, copy);
        QCOMPARE(told.text, QString("База восстановлена"));
        QVERIFY2(told.informativeText.contains(dir.filePath("data/BaseDate.db")), qPrintable(told.informativeText));
        QCOMPARE(column(summary(w), SummaryColumns::FIO), QStringList{"Иванов"});
        QCOMPARE(servicemen("другая/BaseDate.db"), QStringList{"Сидоров"});
    }

    // Foreign tables only: refused, nothing changed. An older register
    // without a table and a column: brought in line and written to.
    void foreignAndOlderFiles()
    {
        WorkDir dir;
        const QString older = twoServicemen("older.db");
        QVERIFY(execIn(older, {"DROP TABLE Files", "ALTER TABLE Combat DROP COLUMN posh"}));
        QVERIFY(execIn("foreign.db", {"CREATE TABLE Notes (text TEXT)"}));
        const QString before = dump();
        MainWindow w;
        const ModalAnswerer::Seen refused = restore(w, dir.filePath("foreign.db"));
        QVERIFY2(refused.text.contains("нет ни одной таблицы этой программы"), qPrintable(refused.text));
        QCOMPARE(dump(), before);
        QCOMPARE(restore(w, older).text, QString("База восстановлена"));
        QCOMPARE(servicemen(), QStringList{"Иванов"});
        QVERIFY(exec("UPDATE Combat SET posh = '1'"));
        QVERIFY(exec("INSERT INTO Files VALUES ('7', 'blag', 'files/a.pdf', 'a.pdf', '1')"));
    }

    // The orders window and the list window with its form are closed first,
    // after a question; "Никак нет" leaves them and the database.
    void windowsAreClosedFirst()
    {
        WorkDir dir;
        const QString copy = twoServicemen();
        TopLevelGuard<addfile> orders;
        TopLevelGuard<voenosluga> lists;
        MainWindow w;
        w.show();
        doubleClickCell(summary(w), 0, SummaryColumns::FIRST_COUNT);
        w.findChild<QAction *>("action_4")->trigger();
        QTRY_COMPARE(topLevels<voenosluga>().size(), 1);
        voenosluga *list = topLevels<voenosluga>().first();
        doubleClickCell(child<QTableWidget>(list, "tableWidget"), 0, 3);
        QTRY_COMPARE(list->findChildren<QMainWindow *>().size(), 1);
        const QString before = dump();
        QVERIFY(restore(w, copy, {"Никак нет"}).informativeText.contains("будут закрыты окна"));
        QCOMPARE(topLevels<addfile>().size(), 1);
        QCOMPARE(dump(), before);
        QCOMPARE(restore(w, copy, {"Так точно"}).text, QString("База восстановлена"));
        QTRY_VERIFY(topLevels<addfile>().isEmpty() && topLevels<voenosluga>().isEmpty());
    }

    // A backup whose history the program cannot write into (a column it
    // does not fill, a view, a column missing) is not restored, and says
    // why, rather than restore without an entry.
    void restoreThatCannotBeEnteredIsNotMade_data()
    {
        QTest::addColumn<QString>("history");
        QTest::addColumn<QString>("why");
        const QString columns =
            "id INTEGER PRIMARY KEY, at TEXT, who TEXT, workstation TEXT, action TEXT, LN TEXT, "
            "FIO TEXT, what TEXT, prikaznom TEXT, field TEXT, old_value TEXT";
        QTest::newRow("unfilled") << "CREATE TABLE history (" + columns +
                                         ", new_value TEXT, extra TEXT NOT NULL)"
                                  << "extra";
        QTest::newRow("view") << "CREATE VIEW history AS SELECT * FROM Combat"
                              << "представление";
        QTest::newRow("missing") << "CREATE TABLE history (" + columns + ")"
                                 << "нет столбцов new_value";
    }
    void restoreThatCannotBeEnteredIsNotMade()
    {
        QFETCH(QString, history);
        QFETCH(QString, why);
        WorkDir dir;
        const QString copy = twoServicemen();
        QVERIFY(execIn(copy, {"DROP TABLE IF EXISTS history", history}));
        const QString before = dump();
        testDb().close();
        QString error;
        QVERIFY(!DatabaseCopy::restore(copy, "data", &error));
        QVERIFY2(error.contains("историю изменений") && error.contains(why) && !error.contains("--ver"),
                 qPrintable(error));
        QCOMPARE(dump(), before);
    }

    // A hostile backup: its trigger, view and table of its own stay out of
    // the register, and the orders live on past the next entries of the
    // history.
    void onlyTheProgramsTablesComeFromABackup()
    {
        WorkDir dir;
        const QString copy = twoServicemen();
        QVERIFY(execIn(
            copy, {"CREATE TABLE history (id INTEGER PRIMARY KEY, at TEXT, who TEXT, workstation TEXT, "
                   "action TEXT, LN TEXT, FIO TEXT, what TEXT, prikaznom TEXT, field TEXT, old_value TEXT, "
                   "new_value TEXT)",
                   "INSERT INTO prikaz (LN, what, prikaznom) VALUES ('1', 'blag', '7')",
                   "CREATE TRIGGER wipe AFTER INSERT ON history BEGIN DELETE FROM prikaz; END",
                   "CREATE VIEW Combat_view AS SELECT * FROM Combat", "CREATE TABLE Notes (a TEXT)",
                   "CREATE UNIQUE INDEX one_entry ON history (action)"}));
        MainWindow w;
        QCOMPARE(restore(w, copy).text, QString("База восстановлена"));
        QCOMPARE(readColumn("data/BaseDate.db", "SELECT name FROM sqlite_master WHERE name IN "
                                                "('wipe', 'Combat_view', 'Notes', 'one_entry')"),
                 QStringList());
        QSqlError failure;
        Servicemen::Entry man;
        for (const char *ln : {"3", "4"}) {
            man.fields = {ln, "", "", "Козлов", "", ln};
            QCOMPARE(Servicemen::add(man, &failure), Servicemen::Outcome::Saved);
        }
        QCOMPARE(value("SELECT count(*) FROM prikaz"), QString("1"));
    }

    // A document detached after the backup and its name offered to another
    // man's document: after the restore his record opens his own document.
    void detachedDocumentSurvivesRestore()
    {
        WorkDir dir;
        dir.writeFile("a/Приказ.pdf", "документ Иванова");
        dir.writeFile("b/Приказ.pdf", "документ Петрова");
        QString first, second, error;
        bool fresh = false;
        QVERIFY(Attachments::store("a/Приказ.pdf", "Приказ.pdf", &first, &fresh, &error));
        QVERIFY(exec("INSERT INTO Files VALUES ('7', 'blag', ?, 'Приказ.pdf', '1')", {first}));
        QVERIFY(Attachments::settle(first));
        const QString copy = twoServicemen();
        MainWindow w;
        // Detached as the orders window does it.
        QVERIFY(exec("DELETE FROM Files"));
        Attachments::removeUnused({first});
        QVERIFY(Attachments::store("b/Приказ.pdf", "Приказ.pdf", &second, &fresh, &error));
        QVERIFY(exec("INSERT INTO Files VALUES ('8', 'blag', ?, 'Приказ.pdf', '2')", {second}));
        QVERIFY(Attachments::settle(second));
        QCOMPARE(restore(w, copy).text, QString("База восстановлена"));
        QCOMPARE(fileContent(value("SELECT Giper FROM Files")), QByteArray("документ Иванова"));
        QCOMPARE(fileContent(second), QByteArray("документ Петрова"));
    }

    // The history survives what the register survives: the verification
    // keeps it, a backup carries it and its restore adds an entry, and a
    // backup from before the history restores with an empty one.
    void historySurvives()
    {
        WorkDir dir;
        MainWindow w;
        QSqlError error;
        Servicemen::Entry man;
        man.fields = {"1", "", "", "Иванов", "", "1"};
        QCOMPARE(Servicemen::add(man, &error), Servicemen::Outcome::Saved);
        QVERIFY(Schema::verify("data/BaseDate.db", "settingstab.conf", "settings.conf").droppedTables.isEmpty());
        QString failure;
        QVERIFY(DatabaseCopy::backup("data/BaseDate.db", "data/copy.db", &failure));
        QVERIFY(DatabaseCopy::backup("data/BaseDate.db", "data/old.db", &failure));
        QVERIFY(execIn("data/old.db", {"DROP TABLE history"}));
        man.fields[Servicemen::LN] = "2";
        QCOMPARE(Servicemen::add(man, &error), Servicemen::Outcome::Saved);
        const QString history = "SELECT action || ' ' || coalesce(LN, new_value) FROM history ORDER BY id";
        QCOMPARE(readColumn("data/BaseDate.db", history).size(), 2);

        const QString copy = dir.filePath("data/copy.db");
        QCOMPARE(restore(w, copy).text, QString("База восстановлена"));
        QCOMPARE(readColumn("data/BaseDate.db", history), (QStringList{"serviceman_added 1", "restore " + copy}));
        const QString old = dir.filePath("data/old.db");
        QCOMPARE(restore(w, old).text, QString("База восстановлена"));
        QCOMPARE(readColumn("data/BaseDate.db", history), QStringList{"restore " + old});
    }
};

int main(int argc, char *argv[])
{
    // Started again by LockHolder as the other process.
    const int holder = holdLockMain(argc, argv);
    if (holder >= 0)
        return holder;
    QApplication app(argc, argv);
    TestRestore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_restore.moc"
