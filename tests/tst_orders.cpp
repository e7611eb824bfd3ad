// The orders window: its form, the presentation of each category, the order
// and colours of the list, and the commands that add, change, lift and delete
// orders.
#include "orderwindow.h"
#include "storage/register/orders.h"
#include "storage/register/penalties.h"
#include "storage/register/servicemen.h"
#include "storage/db/sql.h"
#include "windows/vestable.h"
#include "testsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlTableModel>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QtTest>

using namespace TestSupport;

namespace {

const QString FIO = QStringLiteral("Иванов Иван Иванович");

Order order(const QString &number, const QString &date, const QString &active = QStringLiteral("1"),
            const QString &what = QStringLiteral("vzs"), const QString &ln = QStringLiteral("1"))
{
    Order o;
    o.LN = ln;
    o.what = what;
    o.Date_time = date;
    o.prikaznom = number;
    o.kemvidan = QStringLiteral("Командир");
    o.nameZO = QStringLiteral("Выговор ") + number;
    o.actived_prikaz = active;
    return o;
}

QString today()
{
    return QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
}

// The fields of the fields panel, in the order name, number, issuer, outgoing.
void fill(const OrdersWindow &w, const QString &name, const QString &number, const QString &issuer,
          const QString &outgoing)
{
    w.at<QLineEdit>("lineEdit_4")->setText(name);
    w.at<QLineEdit>("lineEdit_2")->setText(number);
    w.at<QLineEdit>("lineEdit_3")->setText(issuer);
    w.at<QLineEdit>("lineEdit_6")->setText(outgoing);
}

QList<QStringList> stored(const QString &columns = QStringLiteral("prikaznom, nameZO"))
{
    return rows(QStringLiteral("SELECT %1 FROM prikaz ORDER BY rowid").arg(columns));
}

} // namespace

class TestOrders : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    void form()
    {
        WorkDir dir;
        OrdersWindow w("1", "blag", FIO);
        QCOMPARE(w->font().family(), QString("Times New Roman"));
        QCOMPARE(w->font().pointSize(), 11);
        QVERIFY(!w->windowIcon().isNull());
        auto *tabs = w.at<QTabWidget>("tabWidget");
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(tabs->tabText(0), QString("Приказ"));
        QCOMPARE(tabs->tabText(1), QString("Файлы"));
        QVERIFY(!w.at<QWidget>("tab_2")->isEnabled());
        QCOMPARE(w.at<QCheckBox>("checkBox")->text(), QString("Снятие взыскания"));
        QCOMPARE(w.at<QLabel>("label_7")->text(), QString("исх №СУ"));
        QCOMPARE(w.at<QFrame>("frame_6")->maximumSize(), QSize(250, 230));
        const QList<std::pair<const char *, QString>> tips{
            {"pushButton_7", "<html><head/><body><p>Добавить сведения</p></body></html>"},
            {"pushButton_4", "<html><head/><body><p>Изменить сведения</p></body></html>"},
            {"pushButton_6", "Удалить сведения"},
            {"pushButton_5", "Выход"}};
        for (const auto &[name, tip] : tips) {
            auto *b = w.at<QPushButton>(name);
            QCOMPARE(b->toolTip(), tip);
            QVERIFY(!b->icon().isNull());
            QVERIFY(b->text().isEmpty());
        }
        for (const char *name : {"pushButton", "pushButton_2", "pushButton_3"})
            QVERIFY(!w.at<QPushButton>(name)->icon().isNull());
        auto *toggle = w.at<QAction>("action_2");
        QCOMPARE(toggle->text(), QString("+"));
        QCOMPARE(toggle->toolTip(), QString("Скрытьпоказать меню"));
        QVERIFY(toggle->isCheckable() && toggle->isChecked());
        QCOMPARE(w->toolBarArea(w.at<QToolBar>("toolBar")), Qt::LeftToolBarArea);
        QCOMPARE(w.at<QAction>("action")->text(), QString("Удалить"));
        QCOMPARE(w.files()->horizontalHeaderItem(0)->text(), QString("Имя фаила"));
        QTableWidget *t = w.list();
        QCOMPARE(t->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(t->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(t->horizontalHeader()->styleSheet(), QString("border: 1px solid black"));
        QCOMPARE(t->horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
        QCOMPARE(t->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
        const QList<int> widths{130, 80, 70, 100, 150};
        for (int c = 0; c < widths.size(); ++c)
            QCOMPARE(t->columnWidth(c), widths.at(c));
    }

    void presentation_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("column0");
        QTest::addColumn<QString>("label");
        QTest::newRow("vzs") << "vzs"
                             << "Взыскания "
                             << "Наименование"
                             << "Наименование взыскания";
        QTest::newRow("blag") << "blag"
                              << "Благодарности "
                              << "За что"
                              << "За что поощрен";
        QTest::newRow("gr") << "gr"
                            << "Грамоты "
                            << "За что"
                            << "За что поощрен";
        QTest::newRow("ZOMO") << "ZOMO"
                              << "Знаки отличия МО РФ "
                              << "Наименование"
                              << "Наименование знака отличия";
        QTest::newRow("gosnag") << "gosnag"
                                << "Государственые награды "
                                << "Наименование"
                                << "Наименование гос.награды";
        QTest::newRow("posh") << "posh"
                              << "Ветеран военной службы "
                              << "За что"
                              << "За что поощрен";
    }
    void presentation()
    {
        QFETCH(QString, code);
        QFETCH(QString, title);
        QFETCH(QString, column0);
        QFETCH(QString, label);
        WorkDir dir;
        OrdersWindow w("1", code, FIO);
        const bool penalties = code == "vzs";
        QCOMPARE(w->windowTitle(), title + FIO);
        QTableWidget *t = w.list();
        QCOMPARE(t->horizontalHeaderItem(0)->text(), column0);
        QCOMPARE(w.at<QLabel>("label_4")->text(), label);
        QCOMPARE(w.at<QCheckBox>("checkBox")->isVisible(), penalties);
        QCOMPARE(w.at<QFrame>("frame_10")->isVisible(), penalties);
        QVERIFY(!w.at<QFrame>("frame_10")->isEnabled() || !penalties);
        for (int c = 5; c <= 7; ++c)
            QCOMPARE(t->isColumnHidden(c), !penalties);
        QCOMPARE(t->horizontalHeaderItem(0)->font().bold(), penalties);
        QCOMPARE(t->horizontalHeader()->viewport()->font().family(), QString("Times New Roman"));
        QCOMPARE(t->font().family(), QString("Times New Roman"));
        QCOMPARE(t->horizontalHeaderItem(5)->text(), QString("Номер\nснятия"));
        QCOMPARE(t->horizontalHeaderItem(6)->text(), QString("Дата\nснятия"));
        QCOMPARE(t->horizontalHeaderItem(7)->text(), QString("Действие\nприказа"));
        // With no orders: empty fields, both dates today.
        QCOMPARE(t->rowCount(), 0);
        for (const char *name : {"lineEdit_2", "lineEdit_3", "lineEdit_4", "lineEdit_6"})
            QVERIFY(w.at<QLineEdit>(name)->text().isEmpty());
        QCOMPARE(w.at<QDateEdit>("dateEdit")->text(), today());
        QCOMPARE(w.at<QDateEdit>("dateEdit_2")->text(), today());
    }

    // Newest first; equal and unreadable dates keep the query's order, the
    // unreadable ones last; only the text "1" is red.
    void orderAndColours()
    {
        WorkDir dir;
        QVERIFY(addOrder(order("a", "10.01.2020", "1")));
        QVERIFY(addOrder(order("b", "15.03.2021", "0")));
        QVERIFY(addOrder(order("c", "10.01.2020", "01")));
        QVERIFY(addOrder(order("d", "", "1")));
        QVERIFY(addOrder(order("e", "2022-05-05", "1")));
        QVERIFY(addOrder(order("f", "01.01.2019", "1")));
        QVERIFY(addOrder(order("x", "01.01.2030", "1", "blag")));
        QVERIFY(addOrder(order("y", "01.01.2030", "1", "vzs", "2")));
        OrdersWindow w("1", "vzs");
        QTableWidget *t = w.list();
        QCOMPARE(column(t, 2), (QStringList{"b", "a", "c", "f", "d", "e"}));
        QCOMPARE(column(t, 1),
                 (QStringList{"15.03.2021", "10.01.2020", "10.01.2020", "01.01.2019", "", "2022-05-05"}));
        const QList<QColor> colours{Qt::green, Qt::red, Qt::green, Qt::red, Qt::red, Qt::red};
        for (int r = 0; r < t->rowCount(); ++r) {
            QCOMPARE(t->item(r, 7)->background().color(), colours.at(r));
            QCOMPARE(t->item(r, 7)->foreground().color(), colours.at(r));
            QCOMPARE(t->item(r, 7)->background().style(), Qt::SolidPattern);
        }
    }

    // The date edits show and store "dd.MM.yyyy" whatever the locale.
    // A penalty in force is old one day after its months have passed; the
    // orders window marks it with its age, lifted and undated ones never.
    void oldPenaltiesMarked()
    {
        const QDate today(2026, 3, 31);
        QVERIFY(!Penalties::isOld(QDate(2025, 3, 31), 12, today));
        QVERIFY(Penalties::isOld(QDate(2025, 3, 30), 12, today));
        QVERIFY(!Penalties::isOld(QDate(2020, 1, 1), 0, today));
        QVERIFY(!Penalties::isOld(QDate(), 12, today));
        QCOMPARE(Penalties::age(QDate(2025, 3, 30), today), QString("12 мес. 1 дн."));
        QCOMPARE(Penalties::age(QDate(2025, 2, 28), QDate(2026, 2, 28)), QString("12 мес."));

        WorkDir dir;
        const QDate now = QDate::currentDate();
        auto dated = [&now](int months) { return now.addMonths(months).toString("dd.MM.yyyy"); };
        QVERIFY(addOrder(order("1", dated(-13))));
        QVERIFY(addOrder(order("2", dated(-11))));
        QVERIFY(addOrder(order("3", dated(-20), "0")));
        QVERIFY(addOrder(order("4", "")));
        for (const QByteArray &months : {QByteArray("12"), QByteArray("0")}) {
            dir.writeFile("settings.ini", "[Path]\ndb=data\n[Reminder]\npenalty_months=" + months + "\n");
            OrdersWindow w("1", "vzs");
            QTableWidget *t = w.list();
            QCOMPARE(column(t, 2), (QStringList{"2", "1", "3", "4"}));
            for (int r = 0; r < 4; ++r) {
                const bool marked = r == 1 && months == "12";
                QCOMPARE(t->item(r, 0)->toolTip().isEmpty(), !marked);
                QCOMPARE(t->item(r, 1)->background().color() == QColor(255, 190, 110), marked);
            }
            if (months == "12")
                QVERIFY2(t->item(1, 5)->toolTip().contains("13 мес.") &&
                             t->item(1, 5)->toolTip().contains("дольше 12 мес."),
                         qPrintable(t->item(1, 5)->toolTip()));
        }
    }

    void dateFormatPinned()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", FIO, "1"));
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        {
            OrdersWindow w("1", "vzs");
            QCOMPARE(w.at<QDateEdit>("dateEdit")->text(), today());
            QCOMPARE(w.at<QDateEdit>("dateEdit_2")->text(), today());
            fill(w, "n", "5", "", "");
            ModalAnswerer answerer;
            answerer.button("Так точно");
            w.at<QPushButton>("pushButton_7")->click();
            QVERIFY(answerer.done());
        }
        QLocale::setDefault(saved);
        QCOMPARE(value("SELECT Date_time FROM prikaz"), today());
    }

    void add_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("yes") << "Так точно";
        QTest::newRow("no") << "Никак нет";
    }
    void add()
    {
        QFETCH(QString, answer);
        WorkDir dir;
        QVERIFY(addServiceman("1", FIO, "Д'1 %2"));
        const QString before = dump();
        OrdersWindow w("Д'1 %2", "blag");
        fill(w, "За 'отличие' %1", "15'а", "Командир %2 части", "исх-'7'");
        w.at<QDateEdit>("dateEdit")->setDate(QDate(2021, 2, 3));
        ModalAnswerer answerer;
        answerer.button(answer);
        w.at<QPushButton>("pushButton_7")->click();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).informativeText, QString("Вы точно уверены что надо добавить?"));
        QVERIFY(answerer.unexpected().isEmpty());
        if (answer == "Так точно") {
            QCOMPARE(stored("LN, what, Date_time, prikaznom, kemvidan, nameZO, actived_prikaz, ish_SU"),
                     (QList<QStringList>{{"Д'1 %2", "blag", "03.02.2021", "15'а", "Командир %2 части",
                                          "За 'отличие' %1", "1", "исх-'7'"}}));
            QCOMPARE(column(w.list(), 2), QStringList{"15'а"});
        } else {
            QCOMPARE(dump(), before);
        }
        // A stored order empties the typed fields; "Никак нет" leaves them.
        QCOMPARE(w.at<QLineEdit>("lineEdit_2")->text(), answer == "Так точно" ? QString() : QString("15'а"));
        QCOMPARE(w.at<QLineEdit>("lineEdit_4")->text(),
                 answer == "Так точно" ? QString() : QString("За 'отличие' %1"));
        QCOMPARE(w.at<QDateEdit>("dateEdit")->text(), answer == "Так точно" ? today() : QString("03.02.2021"));
    }

    void addWithoutNumberOrWhileLifting()
    {
        WorkDir dir;
        const QString before = dump();
        OrdersWindow w("1", "vzs");
        fill(w, "Выговор", "", "", "");
        ModalAnswerer answerer;
        answerer.button("Так точно").button("OK");
        w.at<QPushButton>("pushButton_7")->click();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(1).title, QString("Оповещение"));
        QCOMPARE(answerer.seen().at(1).text, QString("Не заполнен номер"));

        fill(w, "Выговор", "3", "", "");
        w.at<QCheckBox>("checkBox")->setChecked(true);
        answerer.clear();
        answerer.button("Так точно").button("OK");
        w.at<QPushButton>("pushButton_7")->click();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(1).title, QString("Оповещение"));
        QCOMPARE(dump(), before);
    }

    // A change finds the order by the row's old number; its attachments
    // follow it to the new number. "Никак нет" and no current row change
    // nothing; an emptied number is refused.
    void change()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", FIO, "1"));
        QVERIFY(addOrder(order("12", "01.02.2020", "1", "blag")));
        QVERIFY(exec("INSERT INTO Files VALUES ('12', 'blag', 'files/a.pdf', 'a.pdf', '1')"));
        QVERIFY(exec("INSERT INTO Files VALUES ('12', 'blag', 'files/b.pdf', 'b.pdf', '2')"));
        OrdersWindow w("1", "blag");
        ModalAnswerer answerer;

        const QString before = dump();
        answerer.button("Так точно");
        w.at<QPushButton>("pushButton_4")->click(); // no current row
        clickCell(w.list(), 0);
        QCOMPARE(w.at<QLineEdit>("lineEdit_2")->text(), QString("12"));
        QCOMPARE(w.at<QDateEdit>("dateEdit")->text(), QString("01.02.2020"));
        w.at<QLineEdit>("lineEdit_2")->setText("12а");
        answerer.button("Никак нет");
        w.at<QPushButton>("pushButton_4")->click();
        clickCell(w.list(), 0);
        w.at<QLineEdit>("lineEdit_2")->clear();
        answerer.button("Так точно").button("OK");
        w.at<QPushButton>("pushButton_4")->click();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().last().text, QString("Не заполнен номер"));
        QCOMPARE(dump(), before);

        clickCell(w.list(), 0);
        fill(w, "За 'службу'", "12а", "Штаб", "9");
        w.at<QDateEdit>("dateEdit")->setDate(QDate(2020, 3, 4));
        answerer.button("Так точно");
        w.at<QPushButton>("pushButton_4")->click();
        QVERIFY(answerer.done());
        QCOMPARE(stored("prikaznom, nameZO, kemvidan, ish_SU, Date_time, actived_prikaz"),
                 (QList<QStringList>{{"12а", "За 'службу'", "Штаб", "9", "04.03.2020", "1"}}));
        QCOMPARE(rows("SELECT prikaznom, LN FROM Files ORDER BY rowid"),
                 (QList<QStringList>{{"12а", "1"}, {"12", "2"}}));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    void lift()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", FIO, "1"));
        QVERIFY(addOrder(order("7", "01.02.2020")));
        QVERIFY(addOrder(order("8", "01.03.2020")));
        OrdersWindow w("1", "vzs");
        QTableWidget *t = w.list();
        auto *box = w.at<QCheckBox>("checkBox");
        auto *liftingFields = w.at<QFrame>("frame_10");
        clickCell(t, 1);
        box->setChecked(true);
        QVERIFY(liftingFields->isEnabled());
        QVERIFY(!w.at<QFrame>("frame")->isEnabled());
        w.at<QDateEdit>("dateEdit_2")->setDate(QDate(2022, 6, 5));
        w.at<QLineEdit>("lineEdit_5")->setText("45'б");
        ModalAnswerer answerer;
        answerer.button("Так точно");
        w.at<QPushButton>("pushButton_4")->click();
        QVERIFY(answerer.done());
        QCOMPARE(stored("prikaznom, actived_prikaz, Data_snytie, Nomer_snytie"),
                 (QList<QStringList>{{"7", "0", "05.06.2022", "45'б"}, {"8", "1", "", ""}}));
        QCOMPARE(t->item(1, 2)->text(), QString("7"));
        QCOMPARE(t->item(1, 5)->text(), QString("45'б"));
        QCOMPARE(t->item(1, 6)->text(), QString("05.06.2022"));
        QCOMPARE(t->item(1, 7)->background().color(), QColor(Qt::green));
        QCOMPARE(t->item(0, 7)->background().color(), QColor(Qt::red));
        // Not left armed for the next change: the box is unticked, its fields cleared.
        QVERIFY(!box->isChecked());
        QVERIFY(!liftingFields->isEnabled());
        QVERIFY(w.at<QFrame>("frame")->isEnabled());
        QVERIFY(w.at<QLineEdit>("lineEdit_5")->text().isEmpty());

        // No order chosen, or a number that names no order: nothing changes,
        // and the status line says that nothing was lifted.
        const QString before = dump();
        QCOMPARE(t->currentRow(), -1);
        box->setChecked(true);
        answerer.button("Так точно");
        w.at<QPushButton>("pushButton_4")->click();
        QVERIFY2(w.status().startsWith("Взыскание не снято"), qPrintable(w.status()));
        box->setChecked(false);
        clickCell(t, 0);
        w.at<QLineEdit>("lineEdit_2")->setText("99");
        box->setChecked(true);
        answerer.button("Так точно");
        w.at<QPushButton>("pushButton_4")->click();
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
        QVERIFY2(w.status().startsWith("Взыскание не снято") && w.status().contains("«99»"),
                 qPrintable(w.status()));
        QCOMPARE(dump(), before);
        box->setChecked(false);
        QVERIFY(!liftingFields->isEnabled());
        QVERIFY(w.at<QFrame>("frame")->isEnabled());
    }

    // Numbers restart every year: of two orders "№ 33" only the chosen one
    // is changed, lifted, renumbered or deleted; a third asks first (Enter
    // answers no); the attachments kept under the number stay with the other.
    void sameNumberedOrdersKeptApart()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", FIO, "1"));
        QVERIFY(addOrder(order("33", "23.02.2026")));
        QVERIFY(addOrder(order("33", "15.03.2025")));
        QVERIFY(exec("INSERT INTO Files VALUES ('33', 'vzs', 'files/a.pdf', 'a.pdf', '1')"));
        OrdersWindow w("1", "vzs");
        ModalAnswerer answerer;
        const auto press = [&](const char *button, QStringList answers) {
            for (const QString &a : answers)
                answerer.button(a);
            w.at<QPushButton>(button)->click();
            QVERIFY(answerer.done());
        };
        fill(w, "Выговор", "33", "", "");
        w.at<QDateEdit>("dateEdit")->setDate(QDate(2024, 1, 10));
        answerer.button("Так точно").custom([](QWidget *box) { QTest::keyClick(box, Qt::Key_Return); });
        w.at<QPushButton>("pushButton_7")->click();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().last().informativeText,
                 QString("Приказ № 33 от 23.02.2026 уже есть. Добавить ещё один с тем же номером?"));
        QCOMPARE(stored().size(), 2);
        press("pushButton_7", {"Так точно", "Так точно"});
        QCOMPARE(column(w.list(), 1), (QStringList{"23.02.2026", "15.03.2025", "10.01.2024"}));

        clickCell(w.list(), 1);
        w.at<QLineEdit>("lineEdit_3")->setText("Штаб");
        press("pushButton_4", {"Так точно"});
        clickCell(w.list(), 0);
        w.at<QCheckBox>("checkBox")->setChecked(true);
        press("pushButton_4", {"Так точно"});
        clickCell(w.list(), 2);
        w.at<QLineEdit>("lineEdit_2")->setText("34");
        press("pushButton_4", {"Так точно"});
        QCOMPARE(stored("Date_time, prikaznom, kemvidan, actived_prikaz"),
                 (QList<QStringList>{{"23.02.2026", "33", "Командир", "0"},
                                     {"15.03.2025", "33", "Штаб", "1"},
                                     {"10.01.2024", "34", "", "1"}}));
        QCOMPARE(rows("SELECT prikaznom, name_file FROM Files ORDER BY rowid"),
                 (QList<QStringList>{{"33", "a.pdf"}, {"34", "a.pdf"}}));

        clickCell(w.list(), 0);
        press("pushButton_6", {"Так точно", "OK"});
        QCOMPARE(answerer.seen().last().text, QString("Файлы, прикреплённые к приказу № 33, не удалены: они "
                                                      "относятся и к приказу № 33 от 15.03.2025, который остаётся."));
        QCOMPARE(stored("Date_time, prikaznom"),
                 (QList<QStringList>{{"15.03.2025", "33"}, {"10.01.2024", "34"}}));
        QCOMPARE(value("SELECT count(*) FROM Files"), QString("2"));

        // Another copy of the program adds a second "№ 34" after the list was
        // read: the deletion of the one shown is refused, both stay.
        QVERIFY(addOrder(order("34", "01.01.2019")));
        clickCell(w.list(), 1);
        press("pushButton_6", {"Так точно", "OK"});
        QVERIFY(answerer.seen().last().text.startsWith("Приказ не удалён: приказов № 34 тем временем стало"));
        QCOMPARE(value("SELECT count(*) FROM prikaz WHERE prikaznom = '34'"), QString("2"));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // Deleting asks; "Никак нет" keeps the order; the attachments stay.
    void remove()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", FIO, "1"));
        QVERIFY(addOrder(order("3", "01.01.2020", "1", "gr")));
        QVERIFY(exec("INSERT INTO Files VALUES ('3', 'gr', 'files/a.pdf', 'a.pdf', '1')"));
        OrdersWindow w("1", "gr");
        ModalAnswerer answerer;
        clickCell(w.list(), 0);
        answerer.button("Никак нет");
        w.at<QPushButton>("pushButton_6")->click();
        QCOMPARE(stored().size(), 1);
        clickCell(w.list(), 0);
        answerer.button("Так точно");
        w.at<QPushButton>("pushButton_6")->click();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(1).informativeText, QString("Вы точно уверены что надо удалить?"));
        QCOMPARE(stored().size(), 0);
        QCOMPARE(value("SELECT count(*) FROM Files"), QString("1"));

        // An order added or renumbered under a number whose documents a
        // deleted order left names them in the status line, asking nothing more.
        QVERIFY(exec("INSERT INTO Files VALUES ('9', 'gr', 'files/b.pdf', 'b.pdf', '1')"));
        fill(w, "Грамота", "3", "", "");
        answerer.button("Так точно");
        w.at<QPushButton>("pushButton_7")->click();
        QVERIFY2(w.status().contains("«a.pdf»"), qPrintable(w.status()));
        clickCell(w.list(), 0);
        w.at<QLineEdit>("lineEdit_2")->setText("9");
        answerer.button("Так точно");
        w.at<QPushButton>("pushButton_4")->click();
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
        QVERIFY2(w.status().contains("«b.pdf»") && !w.status().contains("a.pdf"), qPrintable(w.status()));
        QCOMPARE(stored(), (QList<QStringList>{{"9", "Грамота"}}));
    }

    // Orders that could not be read (the server out of reach, here the
    // connection closed) are not shown as a serviceman without orders.
    void unreadOrders()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", FIO, "1"));
        QVERIFY(addOrder(order("4", "01.01.2020")));
        openProgramDatabase();
        QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false).close();
        addfile w("1", "vzs", FIO);
        QCOMPARE(w.findChild<QTableWidget *>("tableWidget_2")->rowCount(), 0);
        QVERIFY2(statusLine(&w).startsWith("Приказы не прочитаны"), qPrintable(statusLine(&w)));
    }

    // A write the database refuses is reported ("Ошибка", what was not done)
    // and the list shows the unchanged data. The program's connection is made
    // read-only once the window has read the list.
    void refusedWrites_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("lifting");
        QTest::addColumn<QString>("what");
        QTest::newRow("add") << "pushButton_7" << false << "Приказ не добавлен";
        QTest::newRow("change") << "pushButton_4" << false << "Приказ не изменён";
        QTest::newRow("lift") << "pushButton_4" << true << "Взыскание не снято";
        QTest::newRow("delete") << "pushButton_6" << false << "Приказ не удалён";
    }
    void refusedWrites()
    {
        QFETCH(QString, button);
        QFETCH(bool, lifting);
        QFETCH(QString, what);
        WorkDir dir;
        QVERIFY(addServiceman("1", FIO, "1"));
        QVERIFY(addOrder(order("4", "01.01.2020")));
        const QString before = dump();
        OrdersWindow w("1", "vzs");
        QVERIFY(QSqlQuery(QSqlDatabase::database()).exec("PRAGMA query_only = 1"));
        clickCell(w.list(), 0);
        w.at<QLineEdit>("lineEdit_2")->setText(button == "pushButton_7" ? "5" : "4");
        w.at<QLineEdit>("lineEdit_3")->setText("Штаб");
        w.at<QCheckBox>("checkBox")->setChecked(lifting);
        ModalAnswerer answerer;
        answerer.button("Так точно").button("OK");
        w.at<QPushButton>(button.toLatin1())->click();
        QVERIFY(answerer.done());
        const ModalAnswerer::Seen warning = answerer.seen().at(1);
        QCOMPARE(warning.title, QString("Ошибка"));
        QVERIFY2(warning.text.startsWith(what + ": база данных открыта только для чтения"),
                 qPrintable(warning.text));
        QCOMPARE(dump(), before);
        QCOMPARE(w.at<QLineEdit>("lineEdit_3")->text(), QString("Штаб"));
        QCOMPARE(w.list()->currentRow(), 0);
        QCOMPARE(column(w.list(), 2), QStringList{"4"});
        QCOMPARE(w.list()->item(0, 7)->background().color(), QColor(Qt::red));
    }

    // Return asks, then the add asks again; the keypad's Enter does nothing.
    void returnKey()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", FIO, "1"));
        OrdersWindow w("1", "posh");
        auto *number = w.at<QLineEdit>("lineEdit_2");
        ModalAnswerer answerer;
        QTest::keyClick(number, Qt::Key_Enter);
        QTest::qWait(50);
        QVERIFY(answerer.unexpected().isEmpty());
        number->setText("1");
        answerer.button("Никак нет");
        QTest::keyClick(number, Qt::Key_Return);
        QVERIFY(answerer.done());
        QCOMPARE(number->text(), QString("1"));
        answerer.clear();
        answerer.button("Так точно").button("Так точно");
        QTest::keyClick(number, Qt::Key_Return);
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).informativeText, QString("Вы точно уверены что надо добавить?"));
        QCOMPARE(answerer.seen().at(1).informativeText, QString("Вы точно уверены что надо добавить?"));
        QCOMPARE(stored("prikaznom, what"), (QList<QStringList>{{"1", "posh"}}));
    }

    void panelsAndPages()
    {
        WorkDir dir;
        QVERIFY(addOrder(order("1", "01.01.2020", "1", "blag")));
        QVERIFY(addOrder(order("2", "01.01.2021", "1", "blag")));
        QVERIFY(exec("INSERT INTO Files VALUES ('1', 'blag', 'files/a.pdf', 'a.pdf', '1')"));
        OrdersWindow w("1", "blag");
        auto *toggle = w.at<QAction>("action_2");
        toggle->trigger();
        QVERIFY(!w.at<QFrame>("frame_6")->isVisible());
        QVERIFY(!w.at<QFrame>("frame_3")->isVisible());
        toggle->trigger();
        QVERIFY(w.at<QFrame>("frame_6")->isVisible());
        QVERIFY(w.at<QFrame>("frame_3")->isVisible());

        auto *tabs = w.at<QTabWidget>("tabWidget");
        tabs->setCurrentIndex(1);
        QVERIFY(!w.at<QWidget>("tab_2")->isEnabled());
        QCOMPARE(w.files()->rowCount(), 0);
        tabs->setCurrentIndex(0);
        for (int pass = 0; pass < 2; ++pass) {
            clickCell(w.list(), 1);
            tabs->setCurrentIndex(1);
            QVERIFY(w.at<QWidget>("tab_2")->isEnabled());
            QCOMPARE(column(w.files(), 0), QStringList{"a.pdf"});
            tabs->setCurrentIndex(0);
            QCOMPARE(w.files()->rowCount(), 0);
        }
    }

    // Closing from the title bar reports at once; the exit buttons ask. The
    // window is destroyed after its report has been delivered.
    void closing()
    {
        WorkDir dir;
        OrdersWindow w("77", "gr");
        QStringList received;
        QObject::connect(w.get(), &addfile::wtf, [&](const QString &ln, const QString &code) {
            QVERIFY(w.alive() && w->isVisible());
            received << ln << code;
        });
        ModalAnswerer answerer;
        answerer.button("Никак нет");
        w.at<QPushButton>("pushButton_5")->click();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).informativeText, QString("Вы точно уверены что надо выйти?"));
        QVERIFY(received.isEmpty());
        QVERIFY(w->isVisible());

        w->close();
        QCOMPARE(received, (QStringList{"77", "gr"}));
        QVERIFY(answerer.unexpected().isEmpty());
        QTRY_VERIFY(!w.alive());

        Order o;
        o.LN = "77";
        o.what = "gr";
        o.prikaznom = "1";
        QVERIFY(addOrder(o));
        OrdersWindow other("77", "gr");
        QSignalSpy spy(other.get(), &addfile::wtf);
        clickCell(other.list(), 0);
        other.at<QTabWidget>("tabWidget")->setCurrentIndex(1);
        answerer.button("Так точно");
        other.at<QPushButton>("pushButton_3")->click();
        QCOMPARE(spy.count(), 1);
        QTRY_VERIFY(!other.alive());
    }

    // 2,000 penalties load well under a second, newest first.
    void loadingManyOrders()
    {
        WorkDir dir;
        QVERIFY(testDb().transaction());
        for (int i = 0; i < 2000; ++i) {
            const QDate date = QDate(2000, 1, 1).addDays((i * 7919) % 9000);
            QVERIFY(addOrder(order(QString::number(i), i % 97 == 0 ? QString() : date.toString("dd.MM.yyyy"),
                                   i % 3 ? "1" : "0")));
        }
        QVERIFY(testDb().commit());
        QElapsedTimer timer;
        timer.start();
        OrdersWindow w("1", "vzs");
        const qint64 elapsed = timer.elapsed();
        qInfo("Loading 2000 penalties took %lld ms", elapsed);
        QTableWidget *t = w.list();
        QCOMPARE(t->rowCount(), 2000);
        for (int r = 1; r < t->rowCount(); ++r) {
            const QDate a = QDate::fromString(t->item(r - 1, 1)->text(), "dd.MM.yyyy");
            const QDate b = QDate::fromString(t->item(r, 1)->text(), "dd.MM.yyyy");
            QVERIFY(!b.isValid() || (a.isValid() && a >= b));
        }
        QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
    }

    // Every kind of change the program makes to a file leaves its entries in
    // the history: who, the serviceman, the order, the field, old and new.
    void historyOfChanges()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        qputenv("USER", "kadrovik");
        QSqlError error;
        TestSupport::changeEveryKind(FIO);
        if (QTest::currentTestFailed())
            return;
        {
            vestable w;
            auto *m = qobject_cast<QSqlTableModel *>(w.findChild<QTableView *>("tableView")->model());
            QVERIFY(m->setData(m->index(0, 1), "Маршал"));
        }
        QVERIFY(Servicemen::remove("7", Servicemen::From::Summary, &error));

        const QString k = "kadrovik";
        QCOMPARE(rows("SELECT action, LN, FIO, what, prikaznom, field, old_value, new_value, who FROM history "
                      "ORDER BY id"),
                 (QList<QStringList>{
                     {"serviceman_added", "7", FIO, "", "", "", "", "", k},
                     {"serviceman_changed", "7", FIO, "", "", "VZ", "Рядовой", "Ефрейтор", k},
                     {"order_added", "7", FIO, "vzs", "15", "", "", "", k},
                     {"order_changed", "7", FIO, "vzs", "16", "prikaznom", "15", "16", k},
                     {"order_lifted", "7", FIO, "vzs", "16", "actived_prikaz", "1", "0", k},
                     {"order_lifted", "7", FIO, "vzs", "16", "Nomer_snytie", "", "20", k},
                     {"order_lifted", "7", FIO, "vzs", "16", "Data_snytie", "", "01.03.2024", k},
                     {"document_attached", "7", FIO, "vzs", "16", "", "", "a.pdf", k},
                     {"document_detached", "7", FIO, "vzs", "16", "", "a.pdf", "", k},
                     {"order_deleted", "7", FIO, "vzs", "16", "Date_time", "01.02.2024", "", k},
                     {"order_deleted", "7", FIO, "vzs", "16", "nameZO", "Выговор", "", k},
                     {"reference_changed", "", "", "Ranks", "", "Rank", "Маршал Российской Федерации", "Маршал", k},
                     {"serviceman_deleted", "7", FIO, "", "", "", "", "", k},
                 }));
        QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$")
                    .match(value("SELECT at FROM history"))
                    .hasMatch());
        QCOMPARE(value("SELECT DISTINCT workstation FROM history"), QSysInfo::machineHostName());
    }
};

QTEST_MAIN(TestOrders)
#include "tst_orders.moc"
