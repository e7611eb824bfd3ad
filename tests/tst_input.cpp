// What the user did not ask to change stays as it is: a stored order date that
// is not a date, a file that the export's added ending would hit, and the
// orders a deleted serviceman left under his personal number.
#include "orderwindow.h"
#include "programdb.h"
#include "testsupport.h"
#include "windows/addcombat.h"
#include "windows/mainwindow.h"

#include <QAction>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace TestSupport;

class TestInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    // Changing another field of an order whose date is not a date writes the
    // stored text back, after another order was clicked; the field says so.
    void storedDateTextKept()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов Иван Иванович", "100"));
        const QStringList dates{"10.10.2010", "31.02.2020", "00.00.0000", "01.01.1700"};
        for (int i = 0; i < dates.size(); ++i) {
            Order o;
            o.LN = "100";
            o.what = "blag";
            o.prikaznom = QString::number(i);
            o.Date_time = dates.at(i);
            QVERIFY(addOrder(o));
        }
        OrdersWindow w("100", "blag");
        auto rowOf = [&w](int number) {
            for (int r = 0; r < w.list()->rowCount(); ++r) {
                if (w.list()->item(r, 2)->text() == QString::number(number))
                    return r;
            }
            return -1;
        };
        ModalAnswerer answerer;
        for (int i = 1; i < dates.size(); ++i) {
            clickCell(w.list(), rowOf(0));
            clickCell(w.list(), rowOf(i));
            w.at<QLineEdit>("lineEdit_3")->setText("Штаб");
            answerer.button("Так точно");
            w.at<QPushButton>("pushButton_4")->click();
            QCOMPARE(value("SELECT Date_time FROM prikaz WHERE prikaznom = ?", {i}), dates.at(i));
            clickCell(w.list(), rowOf(i));
            QVERIFY2(w.at<QDateEdit>("dateEdit")->toolTip().contains(dates.at(i)), qPrintable(dates.at(i)));
        }
        QVERIFY(answerer.done() && answerer.unexpected().isEmpty());
    }

    // "Отчёт" exported while "Отчёт.xls" exists: asked first, kept on "Никак нет".
    void exportAsksBeforeReplacingUnderAddedEnding()
    {
        WorkDir dir;
        MainWindow w;
        dir.writeFile("Отчёт.xls", "earlier");
        for (const char *answer : {"Никак нет", "Так точно"}) {
            ModalAnswerer answerer;
            answerer.file(dir.filePath("Отчёт")).button(answer);
            w.findChild<QAction *>("action_Exel")->trigger();
            QVERIFY(answerer.done());
            QCOMPARE(answerer.seen().at(1).informativeText,
                     QString("Файл «Отчёт.xls» уже существует. Заменить его?"));
            QString text;
            QVERIFY(dir.readText("Отчёт.xls", &text));
            QCOMPARE(text.startsWith("<html>"), QByteArray(answer) == "Так точно");
        }
    }

    // A new serviceman given the number of a deleted one is asked whether the
    // orders left under it are his; "Никак нет" saves nothing.
    void numberOfADeletedServiceman()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        for (const char *number : {"1", "2"}) {
            Order o;
            o.LN = "300";
            o.what = "vzs";
            o.prikaznom = number;
            QVERIFY(addOrder(o));
        }
        for (const char *answer : {"Никак нет", "Так точно"}) {
            addCombat form("", "", "", "", "", false, "", nullptr);
            child<QLineEdit>(&form, "lineEdit_LN")->setText("300");
            child<QLineEdit>(&form, "lineEdit_FIO")->setText("Сидоров");
            ModalAnswerer answerer;
            answerer.button("Так точно").button(answer);
            if (QByteArray(answer) == "Никак нет")
                answerer.button("OK");
            child<QPushButton>(&form, "pushButton_2")->click();
            QVERIFY(answerer.done() && answerer.unexpected().isEmpty());
            QCOMPARE(answerer.seen().at(1).informativeText,
                     QString("У личного номера «300» есть 2 приказа без военнослужащего. Это его приказы?"));
            QCOMPARE(value("SELECT count(*) FROM Combat"),
                     QString(QByteArray(answer) == "Так точно" ? "1" : "0"));
        }
    }
};

QTEST_MAIN(TestInput)
#include "tst_input.moc"
