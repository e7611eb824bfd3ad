// The servicemen list window: its layout, the order of the roster, opening
// the serviceman form, deleting, and the main window's "Военнослужащие".
#include "windows/addcombat.h"
#include "windows/mainwindow.h"
#include "programdb.h"
#include "orderwindow.h"
#include "testsupport.h"
#include "widgets.h"
#include "windows/voenosluga.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTableWidget>
#include <QToolBar>
#include <QtTest>

#include <memory>

using namespace TestSupport;

namespace {

QTableWidget *table(QWidget *w)
{
    return w->findChild<QTableWidget *>("tableWidget");
}

bool rowIsEmpty(QTableWidget *t, int r)
{
    for (int c = 0; c < t->columnCount(); ++c)
        if (t->item(r, c))
            return false;
    return true;
}

std::unique_ptr<voenosluga> openList()
{
    auto list = std::make_unique<voenosluga>(nullptr);
    list->show();
    return list;
}

// Double-clicks a cell the way the user does.
void doubleClick(QTableWidget *t, int row, int column)
{
    t->scrollTo(t->model()->index(row, column));
    const QPoint at = t->visualRect(t->model()->index(row, column)).center();
    // As the system delivers it: press, release, double-click, release.
    QTest::mouseClick(t->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(t->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(t->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

QList<addCombat *> forms(QWidget *list)
{
    return list->findChildren<addCombat *>();
}

void deleteRow(voenosluga &list, ModalAnswerer &answerer)
{
    list.findChild<QAction *>("action_del")->trigger();
    QVERIFY(answerer.done());
}

} // namespace

class TestRoster : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    void layout()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman("1", "Иванов", "1"));
        QVERIFY(addServiceman("2", "Иванов-Петровский Александр Константинович", "2"));
        auto list = openList();
        QCOMPARE(list->objectName(), QString("voenosluga"));
        QCOMPARE(list->windowTitle(), QString("Военослужащие"));
        QCOMPARE(list->size(), QSize(800, 600));
        QCOMPARE(list->font().family(), QString("Times New Roman"));
        QCOMPARE(list->font().pointSize(), 11);
        QVERIFY(!list->windowIcon().isNull());
        QVERIFY(!list->findChild<QMenuBar *>());
        auto *bar = list->findChild<QToolBar *>("toolBar");
        QCOMPARE(bar->windowTitle(), QString("toolBar"));
        // "Удаление", and after a separator the service card of the current row.
        QCOMPARE(bar->actions().size(), 3);
        QCOMPARE(bar->actions().at(2)->objectName(), QString("action_card"));
        QCOMPARE(bar->actions().at(2)->shortcut(), QKeySequence("Ctrl+P"));
        QAction *del = bar->actions().first();
        QCOMPARE(del->objectName(), QString("action_del"));
        QCOMPARE(del->text(), QString("Удаление"));
        QCOMPARE(del->shortcut(), QKeySequence("Del"));
        QVERIFY(!del->icon().isNull());

        const QMetaObject *mo = list->metaObject();
        QStringList methods;
        for (int i = mo->methodOffset(); i < mo->methodCount(); ++i)
            methods << QString::fromLatin1(mo->method(i).methodSignature());
        QCOMPARE(methods, (QStringList{"sig_close()", "on_tableWidget_cellDoubleClicked(int,int)",
                                       "clear_tableWidget()", "on_action_del_triggered()",
                                       "on_action_card_triggered()"}));

        QTableWidget *t = table(list.get());
        QCOMPARE(t->font().pointSize(), 10);
        QCOMPARE(t->styleSheet(), QString("selection-background-color: rgb(175, 215, 255);\ngridline-color: "
                                          "rgb(0, 0, 0);\nselection-color: rgb(0, 0, 0);"));
        QVERIFY(t->showGrid());
        QCOMPARE(t->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(t->selectionBehavior(), QAbstractItemView::SelectRows);
        // Changes go through the form: the cells are not edited in place.
        QCOMPARE(t->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(t->horizontalHeader()->defaultSectionSize(), 100);
        for (QHeaderView *h : {t->horizontalHeader(), t->verticalHeader()}) {
            QCOMPARE(h->sectionResizeMode(0), QHeaderView::Fixed);
            QCOMPARE(h->styleSheet(), QString("border: 1px solid black"));
        }
        QVERIFY(!t->horizontalHeader()->stretchLastSection());
        const QStringList headers{"№ВП",
                                  "Должность",
                                  "Воинское\nзвание",
                                  "ФИО",
                                  "Дата\nрождения",
                                  "Личный\nномер",
                                  "Благордарности",
                                  "Грамоты",
                                  "Знаки отличия МО РФ",
                                  "Пощрения ВП",
                                  "Государственные награды",
                                  "Взыскания",
                                  "Номер должности",
                                  "Номер Звания"};
        QCOMPARE(t->columnCount(), 14);
        for (int c = 0; c < 14; ++c) {
            QCOMPARE(t->horizontalHeaderItem(c)->text(), headers.at(c));
            QCOMPARE(t->horizontalHeaderItem(c)->font().family(), QString("Times New Roman"));
            QCOMPARE(t->horizontalHeaderItem(c)->font().pointSize(), 11);
            QCOMPARE(t->horizontalHeaderItem(c)->font().weight(), QFont::Bold);
            QCOMPARE(t->isColumnHidden(c), c >= 6);
        }
        const QList<int> widths{50, 100, 100, -1, 90, 100};
        for (int c = 0; c < widths.size(); ++c)
            if (widths.at(c) > 0)
                QCOMPARE(t->columnWidth(c), widths.at(c));
        // The name column fits the longest name.
        const QString longest = "Иванов-Петровский Александр Константинович";
        QVERIFY(t->columnWidth(3) > QFontMetrics(t->font()).horizontalAdvance(longest));
    }

    // Unit numbers that are not a non-zero whole number ("", "0", "1a") come
    // first in natural order; the others follow in the query's order. Every
    // column comes from the query in its place, the counts included.
    void orderAndCells()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman("3", "Третий", "3"));
        QVERIFY(addServiceman("1a", "ПервыйА", "1a"));
        QVERIFY(addServiceman("1", "Первый", "1"));
        QVERIFY(addServiceman("0", "Ноль", "0"));
        QVERIFY(addServiceman("", "Пустой", "e"));
        // Equal unit numbers keep the query's order (position, rank, name).
        Serviceman s;
        s.VP = "1a";
        s.FIO = "Альфа";
        s.LN = "1a-2";
        s.Dolz_nom = "1";
        s.Zvan_nom = "1";
        s.Data_comb = "02.03.1990 04:05";
        s.counts = {"6", "1", "2", "3", "5", "4"}; // vzs, blag, gr, ZOMO, gosnag, posh
        QVERIFY(addServiceman(s));
        auto list = openList();
        QTableWidget *t = table(list.get());
        QCOMPARE(column(t, 0), (QStringList{"", "0", "1a", "1a", "1", "3", "<none>"}));
        QCOMPARE(column(t, 3),
                 (QStringList{"Пустой", "Ноль", "Альфа", "ПервыйА", "Первый", "Третий", "<none>"}));
        QStringList cells;
        for (int c = 0; c < 14; ++c)
            cells << t->item(2, c)->text();
        QCOMPARE(cells, (QStringList{"1a", "", "", "Альфа", "02.03.1990 04:05", "1a-2", "1", "2", "3", "4",
                                     "5", "6", "1", "1"}));
        QVERIFY(rowIsEmpty(t, t->rowCount() - 1));
        for (int r = 0; r < t->rowCount() - 1; ++r) {
            for (int c = 0; c < 14; ++c) {
                const int alignment = t->item(r, c)->textAlignment();
                QCOMPARE(alignment, int(c >= 4 && c <= 11 ? Qt::AlignCenter : Qt::AlignVCenter));
            }
        }
    }

    void emptyRosterAddsThroughTheEmptyRow()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        auto list = openList();
        QTableWidget *t = table(list.get());
        QCOMPARE(t->rowCount(), 1);
        QVERIFY(rowIsEmpty(t, 0));

        // The "Личный номер" column opens nothing.
        doubleClick(t, 0, 5);
        QCOMPARE(forms(list.get()).size(), 0);

        doubleClick(t, 0, 0);
        QCOMPARE(forms(list.get()).size(), 1);
        addCombat *form = forms(list.get()).first();
        QVERIFY(form->isVisible());
        QVERIFY(form->isWindow());
        QCOMPARE(form->findChild<QComboBox *>("cb_dol")->currentIndex(), -1);
        QCOMPARE(form->findChild<QLineEdit *>("lineEdit_LN")->text(), QString());

        form->findChild<QLineEdit *>("lineEdit_LN")->setText("Н-1");
        form->findChild<QLineEdit *>("lineEdit_FIO")->setText("Новиков");
        form->findChild<QLineEdit *>("lineEdit_VP")->setText("2");
        QPointer<addCombat> watch(form);
        ModalAnswerer answerer;
        answerer.button("Так точно");
        form->findChild<QPushButton *>("pushButton_2")->click();
        QVERIFY(answerer.done());
        // The list reloads at once, and the closed form is released.
        QCOMPARE(column(t, 3), (QStringList{"Новиков", "<none>"}));
        QTRY_VERIFY(watch.isNull());
    }

    // The search line keeps the servicemen whose name, personal number or
    // unit number holds the text, in any case, and the trailing empty row;
    // cleared, it shows everyone again. "Добавить" opens the empty form.
    void searchLineAndAddButton()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman("1", "Иванов Пётр", "А-100"));
        QVERIFY(addServiceman("2", "Петров", "Б-200"));
        QVERIFY(addServiceman("3б", "Сидоров", "В-300"));
        auto list = openList();
        QTableWidget *t = table(list.get());
        auto shown = [t] {
            QStringList names;
            for (int r = 0; r < t->rowCount(); ++r)
                if (!t->isRowHidden(r))
                    names << (t->item(r, 3) ? t->item(r, 3)->text() : "<none>");
            return names;
        };
        const QStringList everyone = shown();
        // The table has the focus at first, as before the search line.
        QVERIFY(QTest::qWaitForWindowActive(list.get()));
        QCOMPARE(QApplication::focusWidget(), t);
        auto *search = list->findChild<QLineEdit *>("lineEdit_search");
        // Typed letter by letter; the current row, hidden, is current no more.
        t->setCurrentCell(everyone.indexOf("Петров"), 3);
        search->insert("ПЁ");
        search->insert("ТР");
        QCOMPARE(shown(), (QStringList{"Иванов Пётр", "<none>"}));
        QCOMPARE(t->currentRow(), -1);
        search->setText("б-2");
        QCOMPARE(shown(), (QStringList{"Петров", "<none>"}));
        search->setText("3Б");
        QCOMPARE(shown(), (QStringList{"Сидоров", "<none>"}));
        search->clear();
        QCOMPARE(shown(), everyone);

        list->findChild<QPushButton *>("pushButton_add")->click();
        QCOMPARE(forms(list.get()).size(), 1);
        QCOMPARE(forms(list.get()).first()->findChild<QLineEdit *>("lineEdit_LN")->text(), QString());
        QCOMPARE(forms(list.get()).first()->findChild<QLineEdit *>("lineEdit_FIO")->text(), QString());
    }

    void doubleClickOpensChangeForm()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        Serviceman s;
        s.VP = "4";
        s.Dol = "Наводчик";
        s.VZ = "Сержант";
        s.FIO = "Кузнецов";
        s.Data_comb = "09.10.1991 08:07";
        s.LN = "К-4";
        QVERIFY(addServiceman(s));
        QVERIFY(addServiceman("5", "Орлов", "О-5"));
        auto list = openList();
        QTableWidget *t = table(list.get());
        doubleClick(t, 1, 5);
        QCOMPARE(forms(list.get()).size(), 0);

        for (int c = 0; c <= 4; ++c) {
            doubleClick(t, 0, c);
            QCOMPARE(forms(list.get()).size(), 1);
            addCombat *form = forms(list.get()).first();
            QCOMPARE(form->findChild<QLineEdit *>("lineEdit_VP")->text(), QString("4"));
            QCOMPARE(form->findChild<QComboBox *>("cb_dol")->currentText(), QString("Наводчик"));
            QCOMPARE(form->findChild<QComboBox *>("cb_zv")->currentText(), QString("Сержант"));
            QCOMPARE(form->findChild<QLineEdit *>("lineEdit_FIO")->text(), QString("Кузнецов"));
            QCOMPARE(form->findChild<QDateTimeEdit *>("dateTimeEdit")->dateTime(),
                     QDateTime(QDate(1991, 10, 9), QTime(8, 7)));
            QCOMPARE(form->findChild<QLineEdit *>("lineEdit_LN")->text(), QString("К-4"));
            // Left by the window frame: nothing asked, nothing reloaded, released.
            QPointer<addCombat> watch(form);
            form->close();
            QTRY_VERIFY(watch.isNull());
        }

        // Two forms at once, each with its own serviceman.
        doubleClick(t, 0, 3);
        doubleClick(t, 1, 3);
        QCOMPARE(forms(list.get()).size(), 2);
        addCombat *second = nullptr;
        for (addCombat *f : forms(list.get()))
            if (f->findChild<QLineEdit *>("lineEdit_LN")->text() == "О-5")
                second = f;
        QVERIFY(second);
        second->findChild<QLineEdit *>("lineEdit_FIO")->setText("Орлов-Смирнов");
        ModalAnswerer answerer;
        answerer.button("Так точно");
        second->findChild<QPushButton *>("pushButton_2")->click();
        QVERIFY(answerer.done());
        QCOMPARE(column(t, 3), (QStringList{"Кузнецов", "Орлов-Смирнов", "<none>"}));
        QTRY_COMPARE(forms(list.get()).size(), 1);
    }

    void deleting()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman("1", "Д'Артаньян", "АБ-123'45"));
        QVERIFY(addServiceman("2", "Петров", "2"));
        Order o;
        o.LN = "АБ-123'45";
        o.what = "vzs";
        o.prikaznom = "1";
        QVERIFY(addOrder(o));
        QVERIFY(exec("INSERT INTO Files VALUES ('1', 'vzs', 'files/a.pdf', 'a.pdf', ?)", {o.LN}));
        auto list = openList();
        QTableWidget *t = table(list.get());

        // No current row: asked, nothing deleted.
        t->setCurrentCell(-1, -1);
        const QString before = dump();
        ModalAnswerer answerer;
        answerer.button("Так точно");
        deleteRow(*list, answerer);
        QCOMPARE(answerer.seen().first().informativeText,
                 QString("Вы точно уверены что надо удалить запись?"));
        QCOMPARE(dump(), before);

        // The trailing empty row, even with a text typed into it.
        t->setCurrentCell(2, 0);
        t->setItem(2, 5, new QTableWidgetItem("2"));
        answerer.clear();
        answerer.button("Так точно");
        deleteRow(*list, answerer);
        QCOMPARE(dump(), before);

        // "Никак нет".
        t->setCurrentCell(0, 0);
        answerer.clear();
        answerer.button("Никак нет");
        deleteRow(*list, answerer);
        QCOMPARE(dump(), before);

        // "Так точно": only the Combat row goes, the apostrophe included.
        t->setCurrentCell(0, 0);
        answerer.clear();
        answerer.button("Так точно");
        deleteRow(*list, answerer);
        QCOMPARE(value("SELECT group_concat(LN) FROM Combat"), QString("2"));
        QCOMPARE(value("SELECT LN FROM prikaz"), o.LN);
        QCOMPARE(value("SELECT LN FROM Files"), o.LN);
        QCOMPARE(column(t, 3), (QStringList{"Петров", "<none>"}));

        // The Del key reaches the command.
        t->setCurrentCell(0, 0);
        answerer.clear();
        answerer.button("Так точно");
        QApplication::setActiveWindow(list.get());
        QVERIFY(QTest::qWaitForWindowActive(list.get()));
        QTest::keyClick(t, Qt::Key_Delete);
        QVERIFY(answerer.done());
        QCOMPARE(value("SELECT count(*) FROM Combat"), QString("0"));
        QCOMPARE(t->rowCount(), 1);
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // Typing into a selected cell changes nothing, and "Удаление" deletes the
    // serviceman of the row, never the one whose number was typed.
    void typingIntoACellDeletesNobodyElse()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman("1", "Иванов", "100"));
        QVERIFY(addServiceman("2", "Петров", "200"));
        auto list = openList();
        QApplication::setActiveWindow(list.get());
        QVERIFY(QTest::qWaitForWindowActive(list.get()));
        QTableWidget *t = table(list.get());
        // A second click into the selected cell, as a user does to edit it.
        clickCell(t, 0, 5);
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        clickCell(t, 0, 5);
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        QTest::keyClicks(QApplication::focusWidget(), "200");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(column(t, 5), (QStringList{"100", "200", "<none>"}));
        clickCell(t, 0, 1);
        ModalAnswerer answerer;
        answerer.button("Так точно");
        deleteRow(*list, answerer);
        QCOMPARE(value("SELECT group_concat(LN) FROM Combat"), QString("200"));
    }

    void failedDeleteIsReported()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman("1", "Иванов", "1"));
        auto list = openList();
        QVERIFY(exec("CREATE TRIGGER keep BEFORE DELETE ON Combat BEGIN SELECT RAISE(ABORT, 'kept'); END"));
        table(list.get())->setCurrentCell(0, 0);
        ModalAnswerer answerer;
        answerer.button("Так точно").button("OK");
        deleteRow(*list, answerer);
        QCOMPARE(answerer.seen().at(1).title, QString("Ошибка"));
        QVERIFY(answerer.seen().at(1).text.contains("Запись не удалена"));
        QCOMPARE(column(table(list.get()), 3), (QStringList{"Иванов", "<none>"}));
    }

    // The main window's command opens a list window of its own; closing it
    // refills the summary table.
    void mainWindowCommand()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        MainWindow w;
        auto *summary = w.findChild<QTableWidget *>("tableWidget_6");
        QCOMPARE(summary->rowCount(), 1);
        const QWidgetList tops = QApplication::topLevelWidgets();
        const QSet<QWidget *> before(tops.cbegin(), tops.cend());
        w.findChild<QAction *>("action_4")->trigger();
        voenosluga *list = nullptr;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (!before.contains(top) && qobject_cast<voenosluga *>(top))
                list = qobject_cast<voenosluga *>(top);
        QVERIFY(list);
        std::unique_ptr<voenosluga> owner(list);
        QVERIFY(list->isVisible());
        QVERIFY(!list->parent());

        QVERIFY(addServiceman("2", "Петров", "2"));
        QCOMPARE(summary->rowCount(), 1);
        QSignalSpy closing(list, &voenosluga::sig_close);
        QVERIFY(list->close());
        QCOMPARE(closing.count(), 1);
        QCOMPARE(summary->rowCount(), 2);
        QCOMPARE(summary->item(1, 3)->text(), QString("Петров"));
    }

    // 5,000 servicemen open in well under a second.
    void largeRoster()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QSqlDatabase db = testDb();
        QVERIFY(db.transaction());
        QStringList expectedFirst;
        for (int i = 0; i < 5000; ++i) {
            Serviceman s;
            // Every tenth unit number is not a plain number.
            s.VP = i % 10 == 0 ? QString("%1б").arg(i % 70) : QString::number(i % 50 + 1);
            s.FIO = QString("Фамилия%1 Имя Отчество").arg(i, 4, 10, QChar('0'));
            s.LN = QString::number(i);
            s.Dolz_nom = QString::number(i % 13 + 1);
            s.Zvan_nom = QString::number(i % 20 + 1);
            if (i == 4999) { // the very last row of the query
                s.FIO = "Константинопольский-Преображенский Александр Вольдемарович";
                s.Dolz_nom = "99";
            }
            QVERIFY(addServiceman(s));
        }
        QVERIFY(db.commit());
        QElapsedTimer timer;
        timer.start();
        auto list = openList();
        const qint64 ms = timer.elapsed();
        qInfo("opening the list with 5000 servicemen: %lld ms", ms);
        QTableWidget *t = table(list.get());
        QCOMPARE(t->rowCount(), 5001);
        const QStringList vps = column(t, 0);
        QCOMPARE(vps.at(0), QString("0б"));
        QCOMPARE(vps.at(499), QString("60б"));
        QCOMPARE(vps.at(500), QString("2"));
        QCOMPARE(vps.at(4999), QString("50"));
        // The name column fits the last, longest name too.
        QCOMPARE(t->item(4999, 3)->text(),
                 QString("Константинопольский-Преображенский Александр Вольдемарович"));
        QVERIFY(t->columnWidth(3) > QFontMetrics(t->font()).horizontalAdvance(t->item(4999, 3)->text()));
        // A generous bound: a quadratic regrouping takes many seconds here.
        QVERIFY2(ms < 3000, qPrintable(QString::number(ms)));
    }
};

QTEST_MAIN(TestRoster)
#include "tst_roster.moc"
