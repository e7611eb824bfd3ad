// What the user did not ask to change stays as it is: a stored order date that
// is not a date, a file that the export's added ending would hit, and the
// orders a deleted serviceman left under his personal number.
#include "orderwindow.h"
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

    // Changing another field of an order whose date is not a date, after an
    // order with a date was clicked, writes the stored text back; the date
    // field says that it is not a date.
    void storedDateTextKept()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов Иван Иванович", "100"));
        const QStringList dates{"10.10.2010", "31.02.2020", "00.00.0000", "01.01.1700"};
        for (int i = 0; i < dates.size(); ++i)
            QVERIFY(exec("INSERT INTO prikaz (LN, what, Date_time, prikaznom) VALUES ('100', 'blag', ?, ?)",
                         {dates.at(i), QString("№%1").arg(i)}));
        OrdersWindow w("100", "blag");
        auto click = [&w](int i) {
            clickCell(w.list(), w.list()->findItems(QString("№%1").arg(i), Qt::MatchExactly).at(0)->row());
        };
        ModalAnswerer answerer;
        for (int i = 1; i < dates.size(); ++i) {
            click(0);
            click(i);
            w.at<QLineEdit>("lineEdit_3")->setText("Штаб");
            answerer.button("Так точно");
            w.at<QPushButton>("pushButton_4")->click();
            QCOMPARE(value("SELECT Date_time FROM prikaz WHERE prikaznom = ?", {QString("№%1").arg(i)}),
                     dates.at(i));
            click(i);
            QVERIFY2(w.at<QDateEdit>("dateEdit")->toolTip().contains(dates.at(i)), qPrintable(dates.at(i)));
        }
    }

    // "Отчёт" exported while "Отчёт.xls" exists: asked first, kept on "Никак нет".
    void exportAsksBeforeReplacingUnderAddedEnding()
    {
        WorkDir dir;
        MainWindow w;
        dir.writeFile("Отчёт.xls", "earlier");
        for (const QString answer : {"Никак нет", "Так точно"}) {
            ModalAnswerer answerer;
            answerer.file(dir.filePath("Отчёт")).button(answer);
            w.findChild<QAction *>("action_Exel")->trigger();
            QVERIFY(answerer.done());
            QCOMPARE(answerer.seen().at(1).informativeText,
                     QString("Файл «Отчёт.xls» уже существует. Заменить его?"));
            QString text;
            QVERIFY(dir.readText("Отчёт.xls", &text));
            QCOMPARE(text.startsWith("<html>"), answer == "Так точно");
        }
    }

    // A new serviceman given the number of a deleted one is asked whether the
    // orders left under it are his; "Никак нет" saves nothing.
    void numberOfADeletedServiceman()
    {
        WorkDir dir;
        openProgramDatabase();
        QVERIFY(
            exec("INSERT INTO prikaz (LN, what, prikaznom) VALUES ('300', 'vzs', '1'), ('300', 'gr', '2')"));
        for (const QString answer : {"Никак нет", "Так точно"}) {
            addCombat form("", "", "", "", "", false, "", nullptr);
            child<QLineEdit>(&form, "lineEdit_LN")->setText("300");
            ModalAnswerer answerer;
            answerer.button("Так точно").button(answer).button("OK");
            child<QPushButton>(&form, "pushButton_2")->click();
            QCOMPARE(answerer.seen().at(1).informativeText,
                     QString("У личного номера «300» есть 2 приказа без военнослужащего. Это его приказы?"));
            QCOMPARE(value("SELECT count(*) FROM Combat"), QString(answer == "Так точно" ? "1" : "0"));
        }
    }
};

QTEST_MAIN(TestInput)
#include "tst_input.moc"
