// Windows that went stale and databases held by another program: the test's
// own connection (another window or copy) changes the database under windows
// on the program's connection, or another process holds it locked.
#include "faults.h"
#include "orderwindow.h"
#include "testsupport.h"
#include "windows/addcombat.h"
#include "windows/mainwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

using namespace TestSupport;

namespace {

// Serviceman 100 with one penalty that has a document.
void seed()
{
    for (const char *sql : {"DELETE FROM Combat", "DELETE FROM prikaz", "DELETE FROM Files",
                            "INSERT INTO Files VALUES ('4', 'vzs', 'files/doc.pdf', 'doc.pdf', '100')"})
        QVERIFY(exec(sql));
    QVERIFY(addServiceman("1", "Иванов Иван Иванович", "100"));
    QVERIFY(exec("INSERT INTO prikaz (LN, what, Date_time, prikaznom, nameZO, actived_prikaz) "
                 "VALUES ('100', 'vzs', '01.02.2020', '4', 'Выговор', '1')"));
}

} // namespace

class TestConcurrency : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    // Every write of an orders window whose serviceman was deleted, or given
    // another number, in another window: it says so, writes nothing, closes.
    void ordersWindowOfAServicemanWhoWent()
    {
        // The write, what the user filled in before (a field, or the page of
        // files), and its button.
        const QList<std::tuple<const char *, const char *, const char *>> writes{
            {"add", "lineEdit_2", "pushButton_7"}, {"change", "lineEdit_3", "pushButton_4"},
            {"lift", "checkBox", "pushButton_4"},  {"delete", "", "pushButton_6"},
            {"attach", "tab_2", "pushButton"},     {"detach", "tab_2", "pushButton_2"}};
        WorkDir dir;
        dir.writeFile("outside/new.pdf", "new document");
        for (int i = 0; i < writes.size(); ++i) {
            const auto &[name, field, button] = writes.at(i);
            seed();
            OrdersWindow w("100", "vzs");
            clickCell(w.list(), 0);
            if (QByteArray(field).startsWith("lineEdit"))
                w.at<QLineEdit>(field)->setText("5");
            else if (QByteArray(field) == "checkBox")
                w.at<QCheckBox>(field)->setChecked(true);
            else if (*field)
                w.at<QTabWidget>("tabWidget")->setCurrentIndex(1);
            w.files()->setCurrentCell(0, 0);
            for (const char *table : {"Combat", "prikaz", "Files"})
                QVERIFY(exec(i % 2 ? QString("UPDATE %1 SET LN = '101'").arg(table) : "DELETE FROM Combat"));
            const QString before = dump();
            ModalAnswerer answerer;
            if (QByteArray(name) == "attach")
                answerer.file(dir.filePath("outside/new.pdf")).button("OK");
            else
                answerer.button("Так точно").button("OK");
            w.at<QPushButton>(button)->click();
            QTRY_VERIFY2(answerer.done(), name);
            QVERIFY2(
                answerer.seen().last().text.contains("Военнослужащий Иванов Иван Иванович с личным номером "
                                                     "«100» изменён или удалён, окно будет закрыто"),
                qPrintable(QString("%1: %2").arg(name, answerer.seen().last().text)));
            QTRY_VERIFY(!w.alive());
            QCOMPARE(dump(), before);
        }
    }

    // Two windows change one order, two forms one serviceman: the second save
    // finds the record changed, writes nothing and shows it anew.
    void secondSaveDoesNotUndoTheFirst()
    {
        WorkDir dir;
        seed();
        OrdersWindow first("100", "vzs");
        OrdersWindow second("100", "vzs");
        clickCell(first.list(), 0);
        clickCell(second.list(), 0);
        auto form = [] {
            return std::make_unique<addCombat>("1", "Стрелок", "Рядовой", "Иванов Иван Иванович",
                                               "01.01.2000 0:00", true, "100", nullptr);
        };
        auto one = form();
        auto two = form();
        const QList<std::tuple<QWidget *, QWidget *, const char *, const char *, const char *>> pairs{
            {first.get(), second.get(), "lineEdit_3", "lineEdit_4", "pushButton_4"},
            {one.get(), two.get(), "lineEdit_FIO", "lineEdit_VP", "pushButton_2"}};
        ModalAnswerer answerer;
        for (const auto &[saved, refused, field, other, button] : pairs) {
            child<QLineEdit>(saved, field)->setText("Петров");
            answerer.button("Так точно");
            child<QPushButton>(saved, button)->click();
            const QString kept = dump();
            child<QLineEdit>(refused, other)->setText("7");
            answerer.button("Так точно").button("OK");
            child<QPushButton>(refused, button)->click();
            QVERIFY(answerer.done());
            QVERIFY2(answerer.seen().last().text.contains("тем временем изменил"),
                     qPrintable(answerer.seen().last().text));
            QCOMPARE(dump(), kept);
        }
        QCOMPARE(second.list()->item(0, 3)->text(), QString("Петров"));
        QCOMPARE(child<QLineEdit>(two.get(), "lineEdit_FIO")->text(), QString("Петров"));
    }

    // A database that another process holds locked at start: "Обновить
    // таблицу" says it is still held, and opens it once it is free.
    void lockedAtStartOpenedByRefresh()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов Иван Иванович", "100"));
        LockHolder holder("data/BaseDate.db", -1, QString(), true);
        QVERIFY2(holder.locked(), qPrintable(holder.error()));
        ModalAnswerer answerer;
        answerer.button("OK");
        MainWindow w;
        QCOMPARE(answerer.seen().at(0).title, QString("Ошибка"));
        for (const bool locked : {true, false}) {
            if (!locked)
                QVERIFY(holder.release());
            answerer.clear();
            answerer.button("Так точно").button("OK");
            w.findChild<QAction *>("action_2")->trigger();
            QVERIFY(answerer.done());
            QCOMPARE(answerer.seen().at(1).text.contains("база данных занята другой программой"), locked);
            QCOMPARE(answerer.seen().at(1).title, QString(locked ? "Ошибка" : "Оповещение"));
            QCOMPARE(summary(w)->rowCount(), locked ? 0 : 1);
        }
    }
};

int main(int argc, char *argv[])
{
    // Started again by LockHolder as the other program.
    const int holder = holdLockMain(argc, argv);
    if (holder >= 0)
        return holder;
    QApplication app(argc, argv);
    TestConcurrency test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_concurrency.moc"
