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

#include <functional>

using namespace TestSupport;

namespace {

// Serviceman 100 with one penalty that has a document.
void seed(const WorkDir &dir)
{
    for (const char *table : {"Combat", "prikaz", "Files"})
        QVERIFY(exec(QString("DELETE FROM %1").arg(table)));
    QVERIFY(addServiceman("1", "Иванов Иван Иванович", "100"));
    Order penalty;
    penalty.LN = "100";
    penalty.what = "vzs";
    penalty.prikaznom = "4";
    penalty.Date_time = "01.02.2020";
    penalty.nameZO = "Выговор";
    QVERIFY(addOrder(penalty));
    QVERIFY(exec("INSERT INTO Files VALUES ('4', 'vzs', 'files/doc.pdf', 'doc.pdf', '100')"));
    dir.writeFile("files/doc.pdf", "document");
    dir.writeFile("outside/new.pdf", "new document");
}

void press(const OrdersWindow &w, const char *button)
{
    w.at<QPushButton>(button)->click();
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
        // Each write: what the user does before the serviceman goes, and the button.
        const QList<std::tuple<const char *, std::function<void(const OrdersWindow &)>, const char *>> writes{
            {"add", [](const OrdersWindow &w) { w.at<QLineEdit>("lineEdit_2")->setText("5"); },
             "pushButton_7"},
            {"change", [](const OrdersWindow &w) { w.at<QLineEdit>("lineEdit_3")->setText("Штаб"); },
             "pushButton_4"},
            {"lift", [](const OrdersWindow &w) { w.at<QCheckBox>("checkBox")->setChecked(true); },
             "pushButton_4"},
            {"delete", [](const OrdersWindow &) {}, "pushButton_6"},
            {"attach", [](const OrdersWindow &w) { w.at<QTabWidget>("tabWidget")->setCurrentIndex(1); },
             "pushButton"},
            {"detach",
             [](const OrdersWindow &w) {
                 w.at<QTabWidget>("tabWidget")->setCurrentIndex(1);
                 w.files()->setCurrentCell(0, 0);
             },
             "pushButton_2"},
        };
        WorkDir dir;
        for (int i = 0; i < writes.size(); ++i) {
            const auto &[name, prepare, button] = writes.at(i);
            seed(dir);
            OrdersWindow w("100", "vzs");
            clickCell(w.list(), 0);
            prepare(w);
            if (i % 2 == 0) {
                QVERIFY(exec("DELETE FROM Combat"));
            } else {
                for (const char *table : {"Combat", "prikaz", "Files"})
                    QVERIFY(exec(QString("UPDATE %1 SET LN = '101'").arg(table)));
            }
            const QString before = dump();
            ModalAnswerer answerer;
            if (QByteArray(name) == "attach")
                answerer.file(dir.filePath("outside/new.pdf")).button("OK");
            else
                answerer.button("Так точно").button("OK");
            press(w, button);
            QTRY_VERIFY2(answerer.done(), name);
            const QString said = answerer.seen().last().text;
            QVERIFY2(said.contains("Военнослужащий Иванов Иван Иванович с личным номером «100» изменён или "
                                   "удалён, окно будет закрыто"),
                     qPrintable(QString("%1: %2").arg(name, said)));
            QTRY_VERIFY(!w.alive());
            QCOMPARE(dump(), before);
            QVERIFY(answerer.unexpected().isEmpty());
        }
        QCOMPARE(QDir("files").entryList(QDir::Files), QStringList{"doc.pdf"});
    }

    // Two windows change the same order, and two forms the same serviceman:
    // the second save finds the record changed, writes nothing and shows it
    // anew; saved again, it keeps both changes.
    void secondSaveDoesNotUndoTheFirst()
    {
        WorkDir dir;
        seed(dir);
        OrdersWindow first("100", "vzs");
        OrdersWindow second("100", "vzs");
        clickCell(first.list(), 0);
        clickCell(second.list(), 0);
        ModalAnswerer answerer;
        first.at<QLineEdit>("lineEdit_3")->setText("Штаб");
        answerer.button("Так точно");
        press(first, "pushButton_4");
        second.at<QLineEdit>("lineEdit_4")->setText("Замечание");
        answerer.button("Так точно").button("OK");
        press(second, "pushButton_4");
        QVERIFY(answerer.done());
        QVERIFY2(answerer.seen().last().text.contains("изменил или удалил другой пользователь"),
                 qPrintable(answerer.seen().last().text));
        QCOMPARE(rows("SELECT nameZO, kemvidan FROM prikaz"), (QList<QStringList>{{"Выговор", "Штаб"}}));
        QCOMPARE(second.list()->item(0, 3)->text(), QString("Штаб"));

        auto form = [] {
            return std::make_unique<addCombat>("1", "Стрелок", "Рядовой", "Иванов Иван Иванович",
                                               "01.01.2000 0:00", true, "100", nullptr);
        };
        auto one = form();
        auto two = form();
        child<QLineEdit>(one.get(), "lineEdit_FIO")->setText("Иванов И. И.");
        answerer.button("Так точно");
        child<QPushButton>(one.get(), "pushButton_2")->click();
        child<QLineEdit>(two.get(), "lineEdit_VP")->setText("7");
        answerer.button("Так точно").button("OK");
        child<QPushButton>(two.get(), "pushButton_2")->click();
        QVERIFY(answerer.done());
        QVERIFY2(answerer.seen().last().text.contains("изменил другой пользователь"),
                 qPrintable(answerer.seen().last().text));
        QCOMPARE(rows("SELECT VP, FIO FROM Combat"), (QList<QStringList>{{"1", "Иванов И. И."}}));
        QCOMPARE(child<QLineEdit>(two.get(), "lineEdit_FIO")->text(), QString("Иванов И. И."));
        child<QLineEdit>(two.get(), "lineEdit_VP")->setText("7");
        answerer.button("Так точно");
        child<QPushButton>(two.get(), "pushButton_2")->click();
        QCOMPARE(rows("SELECT VP, FIO FROM Combat"), (QList<QStringList>{{"7", "Иванов И. И."}}));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // A database that another program holds locked at start: "Обновить
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
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).title, QString("Ошибка"));
        QAction *refresh = w.findChild<QAction *>("action_2");
        for (const bool locked : {true, false}) {
            if (!locked)
                QVERIFY(holder.release());
            answerer.clear();
            answerer.button("Так точно").button("OK");
            refresh->trigger();
            QVERIFY(answerer.done());
            QCOMPARE(answerer.seen().at(1).title, QString(locked ? "Ошибка" : "Оповещение"));
            QVERIFY2(!locked || answerer.seen().at(1).text.contains("база данных занята другой программой"),
                     qPrintable(answerer.seen().at(1).text));
            QCOMPARE(summary(w)->rowCount(), locked ? 0 : 1);
        }
        QCOMPARE(answerer.seen().at(1).text, QString("База данных открыта. Таблицы обновлены"));
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
