// Restoring a backup as an adversary would: while another program writes,
// twice in a row, from files that are not the program's register, with
// windows open, and after documents were detached and their names offered
// to others. Nothing may be lost and nothing wrong may be restored.
#include "faults.h"
#include "function.h"
#include "orderwindow.h"
#include "storage/attachments.h"
#include "storage/databasecopy.h"
#include "testsupport.h"
#include "toplevels.h"
#include "widgets.h"
#include "windows/mainwindow.h"
#include "windows/voenosluga.h"

#include <QAction>
#include <QDir>
#include <QtTest>

using namespace TestSupport;

namespace {

QStringList servicemen(const QString &path = QStringLiteral("data/BaseDate.db"))
{
    return readColumn(path, QStringLiteral("SELECT FIO FROM Combat ORDER BY FIO"));
}

QByteArray content(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A backup of the database as it is now.
QString backupNow(const QString &name = QStringLiteral("data/Копия.db"))
{
    QString error;
    if (!DatabaseCopy::backup(QStringLiteral("data/BaseDate.db"), name, &error))
        qWarning("no backup: %s", qPrintable(error));
    return QDir::current().absoluteFilePath(name);
}

// Restores `chosen` from the main window, answering the questions in
// `before` after the first one; returns the last box shown.
ModalAnswerer::Seen restore(MainWindow &w, const QString &chosen, const QStringList &before = {})
{
    testDb().close();
    ModalAnswerer answerer;
    answerer.button(QStringLiteral("Так точно"));
    for (const QString &b : before)
        answerer.button(b);
    answerer.file(chosen).button(QStringLiteral("OK"));
    w.findChild<QAction *>(QStringLiteral("action_9"))->trigger();
    return answerer.seen().isEmpty() ? ModalAnswerer::Seen() : answerer.seen().last();
}

} // namespace

class TestRestore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    // Another program holds the write lock with a change not yet committed:
    // the restore says the database is busy and changes nothing, and the
    // other program's commit goes through.
    void busyDatabaseIsNotRestored()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        const QString copy = backupNow();
        QVERIFY(addServiceman("2", "Петров", "2"));
        MainWindow w;
        testDb().close();
        LockHolder other("data/BaseDate.db", -1, "Капитан запаса");
        QVERIFY2(other.locked(), qPrintable(other.error()));
        const ModalAnswerer::Seen told = restore(w, copy);
        QCOMPARE(told.title, QString("Ошибка"));
        QVERIFY2(told.text.contains("занята"), qPrintable(told.text));
        QVERIFY(other.release());
        QCOMPARE(servicemen(), (QStringList{"Иванов", "Петров"}));
        QCOMPARE(value("SELECT count(*) FROM Ranks WHERE Rank = 'Капитан запаса'"), QString("1"));
    }

    // Every state the database had before a restore stays in a file:
    // BaseDate_old.db is the newest, the earlier ones keep dated names.
    void twoRestoresKeepEveryEarlierState()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Первый", "1"));
        const QString copy = backupNow();
        QVERIFY(addServiceman("2", "Второй", "2"));
        MainWindow w;
        QCOMPARE(restore(w, copy).text, QString("База восстановлена"));
        QVERIFY(addServiceman("3", "Третий", "3"));
        QCOMPARE(restore(w, copy).text, QString("База восстановлена"));
        QCOMPARE(servicemen(), QStringList{"Первый"});
        QCOMPARE(servicemen("data/BaseDate_old.db"), (QStringList{"Первый", "Третий"}));
        const QStringList kept = QDir("data").entryList({"BaseDate_old_*.db"}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(servicemen("data/" + kept.first()), (QStringList{"Второй", "Первый"}));
    }

    // A file without the program's tables is refused and changes nothing;
    // an older register without a table and a column is brought in line, so
    // that the program can write to it.
    void foreignAndOlderFiles()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        const QString older = backupNow(QStringLiteral("older.db"));
        QVERIFY(execIn(older, {"DROP TABLE Files", "ALTER TABLE Combat DROP COLUMN posh"}));
        QVERIFY(
            execIn("foreign.db", {"CREATE TABLE Notes (text TEXT)", "INSERT INTO Notes VALUES ('заметка')"}));
        QVERIFY(addServiceman("2", "Петров", "2"));
        const QString before = dump();
        MainWindow w;

        const ModalAnswerer::Seen refused = restore(w, dir.filePath("foreign.db"));
        QCOMPARE(refused.title, QString("Ошибка"));
        QVERIFY2(refused.text.contains("нет ни одной таблицы этой программы"), qPrintable(refused.text));
        QCOMPARE(dump(), before);

        QCOMPARE(restore(w, older).text, QString("База восстановлена"));
        QCOMPARE(servicemen(), QStringList{"Иванов"});
        QVERIFY(exec("UPDATE Combat SET posh = '1'"));
        QVERIFY(exec("INSERT INTO Files VALUES ('7', 'blag', 'files/a.pdf', 'a.pdf', '1')"));
    }

    // The orders window and the list window with its form are closed before
    // the restore, after a question; "Никак нет" leaves them and the database.
    void windowsAreClosedFirst()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        const QString copy = backupNow();
        QVERIFY(addServiceman("2", "Петров", "2"));
        TopLevelGuard<addfile> orders;
        TopLevelGuard<voenosluga> lists;
        MainWindow w;
        w.show();
        doubleClickCell(summary(w), 0, 6);
        w.findChild<QAction *>("action_4")->trigger();
        QTRY_COMPARE(topLevels<addfile>().size(), 1);
        voenosluga *list = topLevels<voenosluga>().value(0);
        QVERIFY(list);
        doubleClickCell(child<QTableWidget>(list, "tableWidget"), 0, 3);
        QTRY_VERIFY(list->findChildren<QMainWindow *>().size() == 1);
        const QString before = dump();

        const ModalAnswerer::Seen declined = restore(w, copy, {"Никак нет"});
        QVERIFY2(declined.informativeText.contains("будут закрыты окна"),
                 qPrintable(declined.informativeText));
        QCOMPARE(topLevels<addfile>().size(), 1);
        QCOMPARE(dump(), before);

        QCOMPARE(restore(w, copy, {"Так точно"}).text, QString("База восстановлена"));
        QTRY_VERIFY(topLevels<addfile>().isEmpty() && topLevels<voenosluga>().isEmpty());
        QCOMPARE(servicemen(), QStringList{"Иванов"});
    }

    // A document detached after the backup, its name then taken by another
    // man's document: after the restore the first man's record opens his own
    // document again, and the other document is still there.
    void detachedDocumentSurvivesRestore()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        QVERIFY(addServiceman("2", "Петров", "2"));
        dir.writeFile("outside/a/Приказ.pdf", "документ Иванова");
        dir.writeFile("outside/b/Приказ.pdf", "документ Петрова");
        QString first;
        QString error;
        bool fresh = false;
        QVERIFY(Attachments::store("outside/a/Приказ.pdf", "Приказ.pdf", &first, &fresh, &error));
        QVERIFY(exec("INSERT INTO Files VALUES ('7', 'blag', ?, 'Приказ.pdf', '1')", {first}));
        const QString copy = backupNow();
        MainWindow w;
        // Detached as the orders window does it.
        QVERIFY(exec("DELETE FROM Files WHERE LN = '1'"));
        Attachments::removeUnused({first});
        QString second;
        QVERIFY(Attachments::store("outside/b/Приказ.pdf", "Приказ.pdf", &second, &fresh, &error));
        QVERIFY(exec("INSERT INTO Files VALUES ('8', 'blag', ?, 'Приказ.pdf', '2')", {second}));
        QCOMPARE(restore(w, copy).text, QString("База восстановлена"));
        QCOMPARE(content(value("SELECT Giper FROM Files WHERE LN = '1'")), QByteArray("документ Иванова"));
        QCOMPARE(content(second), QByteArray("документ Петрова"));
    }
};

int main(int argc, char *argv[])
{
    // Started again by LockHolder as the other program.
    const int holder = holdLockMain(argc, argv);
    if (holder >= 0)
        return holder;
    QApplication app(argc, argv);
    TestRestore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_restore.moc"
