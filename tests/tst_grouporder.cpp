// One order entered once for several servicemen: the count it announces, a
// number some of them already hold, a serviceman deleted at another
// workstation before the write.

#include "orderwindow.h"
#include "testsupport.h"
#include "windows/grouporder.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace TestSupport;

namespace {

// The window with the three servicemen of the fixture, 1 and 2 ticked, and a
// thanks № 7 typed.
struct Window
{
    Window()
        : w((openProgramDatabase(), new GroupOrder({"1", "2"})))
    {
        w->show();
        w->findChild<QComboBox *>("category")->setCurrentIndex(1);
        w->findChild<QLineEdit *>("number")->setText("7");
        w->findChild<QDateEdit *>("date")->setDate(QDate(2025, 5, 9));
        w->findChild<QLineEdit *>("issuer")->setText("Командир части");
        w->findChild<QLineEdit *>("title")->setText("За учения");
    }
    ~Window() { delete w.data(); }
    QString note() const { return w->findChild<QLabel *>("note")->text(); }
    QPointer<GroupOrder> w;
};

bool addThree()
{
    return addServiceman("1", "Иванов", "1") && addServiceman("1", "Петров", "2") &&
           addServiceman("2", "Сидоров", "3");
}

QList<QStringList> stored()
{
    return rows("SELECT LN, what, prikaznom, Date_time, nameZO FROM prikaz ORDER BY LN, rowid");
}

} // namespace

class TestGroupOrder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    void repeatedNumber()
    {
        WorkDir dir;
        QVERIFY(addThree());
        Order held;
        held.LN = "2";
        held.what = "blag";
        held.prikaznom = "7";
        held.Date_time = "01.01.2025";
        held.nameZO = "Раньше";
        QVERIFY(addOrder(held));
        Window w;
        QCOMPARE(w.w->tickedNumbers(), (QStringList{"1", "2"}));

        // "Остановить" writes nothing.
        ModalAnswerer answerer;
        answerer.button("Остановить");
        w.w->findChild<QPushButton *>("write")->click();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).text, QString("Будет добавлено приказов: 1"));
        QCOMPARE(answerer.seen().at(0).informativeText,
                 QString("Уже есть приказ «Благодарности» № 7: Петров."));
        QCOMPARE(stored().size(), 1);

        // Skipping him adds the order for the other only, with its history
        // entry and his count written anew.
        answerer.button("Пропустить их");
        w.w->findChild<QPushButton *>("write")->click();
        QVERIFY(answerer.done());
        QCOMPARE(stored(), (QList<QStringList>{{"1", "blag", "7", "09.05.2025", "За учения"},
                                               {"2", "blag", "7", "01.01.2025", "Раньше"}}));
        QCOMPARE(w.note(), QString("Добавлено приказов: 1."));
        QCOMPARE(value("SELECT blag FROM Combat WHERE LN = '1'"), QString("1"));
        QCOMPARE(value("SELECT count(*) FROM history WHERE action = 'order_added' AND ln = '1'"),
                 QString("1"));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    void servicemanDeletedMeanwhile()
    {
        WorkDir dir;
        QVERIFY(addThree());
        Window w;
        // Another workstation deletes one of the ticked after the list was read.
        QVERIFY(exec("DELETE FROM Combat WHERE LN = '2'"));
        ModalAnswerer answerer;
        answerer.button("Добавить");
        w.w->findChild<QPushButton *>("write")->click();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).text, QString("Будет добавлено приказов: 2"));
        QVERIFY(stored().isEmpty());
        QVERIFY(w.note().startsWith("Приказы не добавлены: военнослужащего Петров (личный номер 2) уже нет"));
        QVERIFY(answerer.unexpected().isEmpty());
    }
};

QTEST_MAIN(TestGroupOrder)
#include "tst_grouporder.moc"
