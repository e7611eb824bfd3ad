// One order entered once for several servicemen: the count it announces, a
// number some of them already hold, a serviceman deleted at another
// workstation before the write, a document attached once for all of them;
// the change of every row of one order, and several penalties lifted by one
// order.

#include "orderwindow.h"
#include "testsupport.h"
#include "storage/register/attachmentreading.h"
#include "storage/register/attachmentremoval.h"
#include "windows/grouplift.h"
#include "windows/grouporder.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
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

Order order(const QString &ln, const QString &what, const QString &number, const QString &date)
{
    Order o;
    o.LN = ln;
    o.what = what;
    o.prikaznom = number;
    o.Date_time = date;
    o.kemvidan = "Командир части";
    o.nameZO = "За учения";
    return o;
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

    // A document chosen in the window is stored once and attached to every
    // order. Detached for one man, its copy stays for the other, who still
    // opens it; the last detach puts it aside as a single attachment's.
    void sharedDocument()
    {
        WorkDir dir;
        QVERIFY(addThree());
        dir.writeFile("in/Приказ 7.pdf", "%PDF приказ");
        Window w;
        w.w->addDocuments({dir.filePath("in/Приказ 7.pdf")});
        ModalAnswerer answerer;
        answerer.button("Добавить");
        w.w->findChild<QPushButton *>("write")->click();
        QVERIFY(answerer.done());
        QCOMPARE(w.note(), QString("Добавлено приказов: 2. К каждому прикреплено документов: 1."));
        QCOMPARE(rows("SELECT LN, prikaznom, Giper, name_file FROM Files ORDER BY LN"),
                 (QList<QStringList>{{"1", "7", "files/Приказ 7.pdf", "Приказ 7.pdf"},
                                     {"2", "7", "files/Приказ 7.pdf", "Приказ 7.pdf"}}));
        QCOMPARE(QDir("files").entryList(QDir::Files | QDir::Hidden), QStringList{"Приказ 7.pdf"});
        QCOMPARE(rows("SELECT action, count(*) FROM history GROUP BY action ORDER BY action"),
                 (QList<QStringList>{{"document_attached", "2"}, {"group_order_added", "1"}, {"order_added", "2"}}));
        QCOMPARE(value("SELECT new_value FROM history WHERE action = 'group_order_added' AND what = 'blag' AND "
                       "prikaznom = '7' AND LN IS NULL"),
                 QString("Добавлено приказов: 2"));

        QSet<QString> copies;
        QCOMPARE(Orders::detach("1", "blag", "7", "Приказ 7.pdf", &copies).outcome, Orders::Outcome::Done);
        Attachments::removeUnused(copies);
        QString file;
        QString error;
        QVERIFY2(Attachments::localCopy(value("SELECT Giper FROM Files WHERE LN = '2'"), &file, &error),
                 qPrintable(error));
        QCOMPARE(fileContent(file), QByteArray("%PDF приказ"));
        QCOMPARE(Orders::detach("2", "blag", "7", "Приказ 7.pdf", &copies).outcome, Orders::Outcome::Done);
        Attachments::removeUnused(copies);
        QVERIFY(!QFileInfo::exists("files/Приказ 7.pdf"));
        QCOMPARE(fileContent("files/Откреплённые/Приказ 7.pdf"), QByteArray("%PDF приказ"));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // «Изменить для всех по этому приказу…» changes every row of the
    // chosen order's number and date, tells how many first, takes the
    // documents to the new number, and leaves another date's order alone.
    void changeForAll()
    {
        WorkDir dir;
        QVERIFY(addThree());
        QVERIFY(addOrder(order("1", "blag", "7", "09.05.2025")) && addOrder(order("2", "blag", "7", "09.05.2025")) &&
                addOrder(order("3", "blag", "7", "01.01.2024")));
        QVERIFY(exec("INSERT INTO Files (prikaznom, what, Giper, name_file, LN) VALUES ('7', 'blag', 'files/a', "
                     "'a', '2')"));
        OrdersWindow o("1", "blag");
        clickCell(o.list(), 0);
        o.at<QLineEdit>("lineEdit_2")->setText("8");
        o.at<QLineEdit>("lineEdit_3")->setText("Начальник штаба");
        ModalAnswerer answerer;
        answerer.button("Так точно");
        o.at<QAction>("action_changeAll")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).informativeText,
                 QString("Будет изменено приказов: 2 (№ 7 от 09.05.2025 у всех военнослужащих). Изменить?"));
        QCOMPARE(o.status(), QString("Изменено приказов: 2."));
        QCOMPARE(rows("SELECT LN, prikaznom, kemvidan, Date_time FROM prikaz ORDER BY LN"),
                 (QList<QStringList>{{"1", "8", "Начальник штаба", "09.05.2025"},
                                     {"2", "8", "Начальник штаба", "09.05.2025"},
                                     {"3", "7", "Командир части", "01.01.2024"}}));
        QCOMPARE(rows("SELECT LN, prikaznom FROM Files"), (QList<QStringList>{{"2", "8"}}));
        QCOMPARE(rows("SELECT LN, field, old_value, new_value FROM history WHERE action = 'order_changed' ORDER BY id"),
                 (QList<QStringList>{{"1", "prikaznom", "7", "8"},
                                     {"1", "kemvidan", "Командир части", "Начальник штаба"},
                                     {"2", "prikaznom", "7", "8"},
                                     {"2", "kemvidan", "Командир части", "Начальник штаба"}}));
        QCOMPARE(value("SELECT new_value FROM history WHERE action = 'group_order_changed'"),
                 QString("Изменено приказов: 2"));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // Penalties of the chosen servicemen lifted by one order, each as the
    // orders window lifts one; one lifted at another workstation meanwhile
    // stops the whole write with the reason, and the list is read anew.
    void groupLifting()
    {
        WorkDir dir;
        QVERIFY(addThree());
        for (const Order &o : {order("1", "vzs", "3", "01.02.2025"), order("2", "vzs", "4", "01.03.2025"),
                               order("3", "vzs", "5", "01.04.2025")})
            QVERIFY(addOrder(o));
        QVERIFY(exec("UPDATE Combat SET vzs = '1'"));
        openProgramDatabase();
        QPointer<GroupLift> w = new GroupLift({"1", "2"});
        w->show();
        auto *list = w->findChild<QListWidget *>("penalties");
        auto tickAll = [&] { w->findChild<QPushButton *>("tickShown")->click(); };
        QCOMPARE(list->count(), 2);
        tickAll();
        w->findChild<QLineEdit *>("number")->setText("15");
        w->findChild<QDateEdit *>("date")->setDate(QDate(2025, 6, 1));
        QVERIFY(exec("UPDATE prikaz SET actived_prikaz = '0' WHERE prikaznom = '4'"));
        ModalAnswerer answerer;
        answerer.button("Так точно");
        w->findChild<QPushButton *>("write")->click();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).informativeText, QString("Будет снято взысканий: 2. Снять?"));
        const QString note = w->findChild<QLabel *>("note")->text();
        QVERIFY2(note.startsWith("Взыскания не сняты: взыскание № 4 у Петров тем временем снято"), qPrintable(note));
        QCOMPARE(value("SELECT count(*) FROM prikaz WHERE Nomer_snytie = '15'"), QString("0"));

        QCOMPARE(list->count(), 1);
        tickAll();
        answerer.button("Так точно");
        w->findChild<QPushButton *>("write")->click();
        QVERIFY(answerer.done());
        QCOMPARE(rows("SELECT LN, actived_prikaz, Nomer_snytie, Data_snytie FROM prikaz ORDER BY LN"),
                 (QList<QStringList>{{"1", "0", "15", "01.06.2025"}, {"2", "0", "", ""}, {"3", "1", "", ""}}));
        QCOMPARE(rows("SELECT LN, field, old_value, new_value FROM history WHERE action = 'order_lifted' ORDER BY id"),
                 (QList<QStringList>{{"1", "actived_prikaz", "1", "0"},
                                     {"1", "Nomer_snytie", "", "15"},
                                     {"1", "Data_snytie", "", "01.06.2025"}}));
        QCOMPARE(value("SELECT new_value FROM history WHERE action = 'group_lifted' AND prikaznom = '15'"),
                 QString("Снято взысканий: 1"));
        QCOMPARE(rows("SELECT vzs FROM Combat ORDER BY LN"), (QList<QStringList>{{"0"}, {"1"}, {"1"}}));
        QCOMPARE(list->count(), 0);
        delete w.data();
        QVERIFY(answerer.unexpected().isEmpty());
    }
};

QTEST_MAIN(TestGroupOrder)
#include "tst_grouporder.moc"
