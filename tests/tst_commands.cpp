// The main window's commands on the summary table: search, category filter,
// column toggles, reset, refresh and delete.
#include "windows/mainwindow.h"
#include "testsupport.h"
#include "widgets.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using namespace TestSupport;

namespace {

QList<bool> hidden(QTableWidget *t)
{
    QList<bool> out;
    for (int c = 0; c < t->columnCount(); ++c)
        out << t->isColumnHidden(c);
    return out;
}

void search(MainWindow &w, const QString &text)
{
    w.findChild<QLineEdit *>("lineEdit")->setText(text);
    w.findChild<QPushButton *>("pushButton")->click();
}

// A choice in the combo box as the user makes it.
void choose(MainWindow &w, int index)
{
    auto *combo = w.findChild<QComboBox *>("comboBox");
    if (index >= 0 && index < combo->count())
        combo->setCurrentIndex(index);
    emit combo->activated(index);
}

// A choice in a list of the window as the user makes it.
void activate(MainWindow &w, const char *list, int index)
{
    auto *combo = w.findChild<QComboBox *>(list);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

QString status(MainWindow &w, const char *label)
{
    const QLabel *l = w.findChild<QLabel *>(label);
    return l->isHidden() ? QStringLiteral("<hidden>") : l->text();
}

void trigger(MainWindow &w, const char *action)
{
    w.findChild<QAction *>(action)->trigger();
}

// Three servicemen whose cells differ in every column.
void addThree()
{
    Serviceman a;
    a.VP = "1";
    a.Dol = "Стрелок";
    a.VZ = "Рядовой";
    a.FIO = "Иванов Иван Иванович";
    a.Data_comb = "01.02.1990 0:00";
    a.LN = "АБ-100";
    a.counts = {"0", "1", "0", "0", "0", "0"};
    a.Dolz_nom = "11";
    a.Zvan_nom = "21";
    QVERIFY(addServiceman(a) && addOrdersForCounts(a));
    Serviceman b = a;
    b.VP = "2";
    b.Dol = "Водитель";
    b.VZ = "Сержант";
    b.FIO = "Ёлкин Пётр Семёнович";
    b.Data_comb = "03.04.1980 0:00";
    b.LN = "ВГ-200";
    b.counts = {"0", "0", "3", "0", "0", "0"};
    b.Dolz_nom = "12";
    b.Zvan_nom = "22";
    QVERIFY(addServiceman(b) && addOrdersForCounts(b));
    Serviceman c = a;
    c.VP = "3";
    c.Dol = "Повар";
    c.VZ = "Ефрейтор";
    c.FIO = "Сидоров Олег";
    c.Data_comb = "06.07.1970 0:00";
    c.LN = "ДЕ-300";
    c.counts = {"0", "0", "0", "0", "0", "0"};
    c.Dolz_nom = "98765";
    c.Zvan_nom = "23";
    QVERIFY(addServiceman(c) && addOrdersForCounts(c));
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    void search_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("names");
        const QString i = "Иванов Иван Иванович";
        const QString e = "Ёлкин Пётр Семёнович";
        const QString s = "Сидоров Олег";
        QTest::newRow("lower-case Cyrillic") << "иванов" << QStringList{i};
        QTest::newRow("ё and Ё without case") << "ЁЛКИН" << QStringList{e};
        QTest::newRow("trimmed") << "  олег\t" << QStringList{s};
        QTest::newRow("rank") << "сержант" << QStringList{e};
        QTest::newRow("digit in count, date or number") << "3" << QStringList{e, s};
        QTest::newRow("hidden ordinal column") << "9876" << QStringList{s};
        QTest::newRow("personal number") << "вг-2" << QStringList{e};
        QTest::newRow("nothing") << "Петров" << QStringList{};
        QTest::newRow("every row") << "0" << QStringList{i, e, s};
    }
    void search()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, names);
        WorkDir dir;
        addThree();
        MainWindow w;
        ModalAnswerer answerer;
        ::search(w, text);
        QCOMPARE(column(summary(w), 3), names);
        QCOMPARE(w.findChild<QLineEdit *>("lineEdit")->text(), QString());
        QVERIFY(answerer.seen().isEmpty());
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // Columns hidden by the toggles or the filter still take part.
    void searchReadsHiddenColumns()
    {
        WorkDir dir;
        addThree();
        MainWindow w;
        trigger(w, "action_18"); // hides the names
        w.findChild<QMenu *>("menu_4")->hide();
        choose(w, 1); // only "Взыскания"
        ::search(w, "пётр");
        QCOMPARE(column(summary(w), 5), QStringList{"ВГ-200"});
        ::search(w, "3");
        QCOMPARE(column(summary(w), 5), (QStringList{"ВГ-200", "ДЕ-300"}));
    }

    // A blank text warns and leaves the full table and the text; after a
    // search the emptied line edit makes the next press warn too.
    void blankSearch()
    {
        WorkDir dir;
        addThree();
        MainWindow w;
        auto *edit = w.findChild<QLineEdit *>("lineEdit");
        ModalAnswerer answerer;
        answerer.button("OK");
        ::search(w, "   ");
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).title, QString("Ошибка"));
        QCOMPARE(answerer.seen().at(0).text, QString("Поиск пуст"));
        QCOMPARE(answerer.seen().at(0).buttons, QStringList{"OK"});
        QCOMPARE(edit->text(), QString("   "));
        QCOMPARE(summary(w)->rowCount(), 3);

        ::search(w, "Сидоров");
        QCOMPARE(summary(w)->rowCount(), 1);
        answerer.clear();
        answerer.button("OK");
        w.findChild<QPushButton *>("pushButton")->click();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).text, QString("Поиск пуст"));
        QCOMPARE(summary(w)->rowCount(), 3);
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // Enter in the search line starts nothing: only the button searches.
    void enterStartsNoSearch()
    {
        WorkDir dir;
        addThree();
        MainWindow w;
        auto *edit = w.findChild<QLineEdit *>("lineEdit");
        ModalAnswerer answerer;
        for (const QString &text : {QString("Сидоров"), QString()}) {
            edit->setText(text);
            QTest::keyClick(edit, Qt::Key_Return);
            QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
            QCOMPARE(summary(w)->rowCount(), 3);
            QCOMPARE(edit->text(), text);
        }
        QVERIFY(answerer.seen().isEmpty());
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // The second search starts from the full table again.
    void twoSearchesInARow()
    {
        WorkDir dir;
        addThree();
        MainWindow w;
        ::search(w, "Иванов");
        QCOMPARE(column(summary(w), 3), QStringList{"Иванов Иван Иванович"});
        ::search(w, "Олег");
        QCOMPARE(column(summary(w), 3), QStringList{"Сидоров Олег"});
    }

    // Many rows with runs of matching and failing rows at the top, in the
    // middle and at the bottom: what remains is exactly the matching rows in
    // their order, with their own cells, shading and colours.
    void searchKeepsOrderAndRows()
    {
        WorkDir dir;
        const QString pattern = "ppffpfffppfpfpffffpp"; // p: passes, f: fails
        QStringList expected;
        for (int i = 0; i < pattern.size(); ++i) {
            Serviceman s;
            s.VP = QString::number(i + 1);
            s.FIO = (pattern.at(i) == 'p' ? "Найденный " : "Другой ") + QString::number(i + 1);
            s.LN = "Л" + QString::number(i + 1);
            s.counts = {QString::number(i % 3), "0", "0", "0", "0", "0"};
            QVERIFY(addServiceman(s) && addOrdersForCounts(s));
            if (pattern.at(i) == 'p')
                expected << s.FIO;
        }
        MainWindow w;
        QTableWidget *t = summary(w);
        QHash<QString, QStringList> before;
        QHash<QString, QColor> backgrounds;
        for (int r = 0; r < t->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < 14; ++c)
                cells << t->item(r, c)->text();
            before.insert(cells.at(3), cells);
            backgrounds.insert(cells.at(3), t->item(r, 6)->background().color());
        }
        ::search(w, "найденный");
        QCOMPARE(column(t, 3), expected);
        for (int r = 0; r < t->rowCount(); ++r) {
            const QString name = t->item(r, 3)->text();
            for (int c = 0; c < 14; ++c)
                QCOMPARE(t->item(r, c)->text(), before.value(name).at(c));
            QCOMPARE(t->item(r, 6)->background().color(), backgrounds.value(name));
        }
    }

    // The filter owns columns 6 to 11, the toggles columns 0 to 5; neither
    // touches the other's nor 12 and 13, and a refill changes none of them.
    void filterWithToggles()
    {
        WorkDir dir;
        addThree();
        MainWindow w;
        QTableWidget *t = summary(w);
        trigger(w, "action_19"); // hides "Личный номер", column 5
        trigger(w, "action_7");  // hides "№ ВП", column 0
        w.findChild<QMenu *>("menu_4")->hide();
        for (int index : {3, 0, 1, 2, 3, 3, 4, 5, 6, 0}) {
            choose(w, index);
            QList<bool> expected{true, false, false, false, false, true};
            for (int c = 6; c <= 11; ++c)
                expected << (index != 0 && c != 5 + index);
            expected << true << true;
            QCOMPARE(hidden(t), expected);
            ModalAnswerer answerer;
            answerer.button("OK");
            w.findChild<QPushButton *>("pushButton_2")->click(); // reset refills
            QVERIFY(answerer.done());
            QCOMPARE(hidden(t), expected);
        }
        // Indexes outside the list change nothing.
        choose(w, 2);
        const QList<bool> before = hidden(t);
        choose(w, 7);
        choose(w, -1);
        QCOMPARE(hidden(t), before);
    }

    // Each toggle serves its column (action_19 column 5, action_20 column 4)
    // and opens the menu again.
    void columnToggles_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("column");
        QTest::newRow("№ВП") << "action_7" << 0;
        QTest::newRow("Должность") << "action_11" << 1;
        QTest::newRow("Воинское звание") << "action_12" << 2;
        QTest::newRow("ФИО") << "action_18" << 3;
        QTest::newRow("Личный номер") << "action_19" << 5;
        QTest::newRow("Дата рождения") << "action_20" << 4;
    }
    void columnToggles()
    {
        QFETCH(QString, action);
        QFETCH(int, column);
        WorkDir dir;
        addThree();
        MainWindow w;
        w.show();
        QTableWidget *t = summary(w);
        auto *menu = w.findChild<QMenu *>("menu_4");
        const QList<bool> start = hidden(t);
        trigger(w, qPrintable(action));
        QVERIFY(menu->isVisible());
        menu->hide();
        QList<bool> expected = start;
        expected[column] = true;
        QCOMPARE(hidden(t), expected);
        ::search(w, "Иванов"); // a search keeps the state
        QCOMPARE(hidden(t), expected);
        trigger(w, qPrintable(action));
        QVERIFY(menu->isVisible());
        menu->hide();
        QCOMPARE(hidden(t), start);
    }

    void resetAfterSearch()
    {
        WorkDir dir;
        addThree();
        MainWindow w;
        choose(w, 3);
        ::search(w, "Сидоров");
        QCOMPARE(summary(w)->rowCount(), 1);
        w.findChild<QLineEdit *>("lineEdit")->setText("набранное");
        ModalAnswerer answerer;
        answerer.button("OK").button("OK");
        w.findChild<QPushButton *>("pushButton_2")->click();
        QCOMPARE(summary(w)->rowCount(), 3);
        w.findChild<QPushButton *>("pushButton_2")->click(); // also with no search active
        QVERIFY(answerer.done());
        for (const ModalAnswerer::Seen &seen : answerer.seen()) {
            QCOMPARE(seen.title, QString("Оповещение"));
            QCOMPARE(seen.text, QString("Сброс выполнен"));
        }
        QCOMPARE(w.findChild<QLineEdit *>("lineEdit")->text(), QString("набранное"));
        QCOMPARE(w.findChild<QComboBox *>("comboBox")->currentIndex(), 3);
        QVERIFY(summary(w)->isColumnHidden(6));
        QVERIFY(!summary(w)->isColumnHidden(8));
    }

    // The row filters beside the category list combine with each other and
    // with the search, follow what another copy of the program wrote at the
    // next refill, and go with "Сброс".
    void rowFilters()
    {
        WorkDir dir;
        const QList<QStringList> roster{{"3б", "Альфа", "1", "1", "0"}, {"12а", "Бета", "2", "0", "2"},
                                        {"1", "Гамма", "3", "0", "0"},  {"", "Дельта", "4", "", ""},
                                        {"3б", "Эпсилон", "5", "0", "1"}, {"0", "Зета", "6", "", "1"}};
        for (const QStringList &m : roster) {
            Serviceman s;
            s.VP = m[0];
            s.FIO = m[1];
            s.LN = m[2];
            s.counts = {m[3], m[4], "0", "0", "0", "0"};
            QVERIFY(addServiceman(s));
            // The penalties follow below.
            Serviceman thanks = s;
            thanks.counts[0].clear();
            QVERIFY(addOrdersForCounts(thanks));
        }
        const QString old = QDate::currentDate().addMonths(-13).toString("dd.MM.yyyy");
        auto penalty = [](const QString &ln, const QString &date, const QString &active) {
            Order o;
            o.LN = ln;
            o.what = "vzs";
            o.Date_time = date;
            o.prikaznom = date + active;
            o.actived_prikaz = active;
            return addOrder(o);
        };
        QVERIFY(penalty("1", old, "1"));
        QVERIFY(penalty("2", old, "0")); // lifted
        MainWindow w;
        QTableWidget *t = summary(w);
        auto *units = w.findChild<QComboBox *>("comboBox_2");
        QStringList items;
        for (int i = 0; i < units->count(); ++i)
            items << units->itemText(i);
        QCOMPARE(items, (QStringList{"Все", "(не указан)", "0", "1", "3б", "12а"}));
        QCOMPARE(status(w, "label_2"), QString("Показано 6 из 6"));
        QCOMPARE(status(w, "label_3"), QString("Взысканий старше 12 мес.: 1"));
        QCOMPARE(t->item(2, 6)->toolTip(), QString("Взысканий старше 12 мес.: 1"));

        activate(w, "comboBox_2", 4); // 3б
        QCOMPARE(column(t, 3), (QStringList{"Альфа", "Эпсилон"}));
        QCOMPARE(status(w, "label_2"), QString("Показано 2 из 6"));
        w.findChild<QCheckBox *>("checkBox")->click();
        QCOMPARE(column(t, 3), (QStringList{"Альфа", "Эпсилон"}));
        choose(w, 2); // "Благодарность"
        QCOMPARE(column(t, 3), QStringList{"Эпсилон"});
        activate(w, "comboBox_2", 0);
        QCOMPARE(column(t, 3), (QStringList{"Зета", "Эпсилон", "Бета"}));
        // Penalties: whoever has one on record, lifted ones too; the count
        // shows those in force.
        choose(w, 1);
        QCOMPARE(column(t, 3), (QStringList{"Альфа", "Бета"}));
        QCOMPARE(t->item(1, 6)->text(), QString("0"));
        choose(w, 2);
        ::search(w, "бета");
        QCOMPARE(column(t, 3), QStringList{"Бета"});
        activate(w, "comboBox_2", 4); // the search stays
        QCOMPARE(column(t, 3), QStringList{});
        QCOMPARE(status(w, "label_2"), QString("Ничего не найдено"));

        ModalAnswerer answerer;
        answerer.button("OK");
        w.findChild<QPushButton *>("pushButton_2")->click();
        QVERIFY(answerer.done());
        QCOMPARE(t->rowCount(), 6);
        QVERIFY(!w.findChild<QCheckBox *>("checkBox")->isChecked());
        QCOMPARE(units->currentIndex(), 0);
        QCOMPARE(w.findChild<QComboBox *>("comboBox")->currentIndex(), 2);
        activate(w, "comboBox_2", 1);
        QCOMPARE(column(t, 3), QStringList{"Дельта"});

        activate(w, "comboBox_2", 0);
        w.findChild<QCheckBox *>("checkBox_2")->click();
        QCOMPARE(column(t, 3), QStringList{"Альфа"});
        // Another copy adds a penalty, a unit and deletes the only man of 12а.
        activate(w, "comboBox_2", 5);
        QCOMPARE(column(t, 3), QStringList{});
        QVERIFY(penalty("2", "", "1"));
        QVERIFY(exec("UPDATE Combat SET VP = '7' WHERE LN = '2'"));
        w.clear_tableWidgets();
        QCOMPARE(units->currentText(), QString("12а"));
        QCOMPARE(status(w, "label_2"), QString("Показано 0 из 6"));
        activate(w, "comboBox_2", units->findText("7"));
        QCOMPARE(column(t, 3), QStringList{"Бета"});
        QCOMPARE(units->count(), 6); // 12а went once another unit was chosen
        QCOMPARE(status(w, "label_3"), QString("Взысканий старше 12 мес.: 0"));
        // Penalties that cannot be read show nobody in their view, and say so.
        QVERIFY(exec("ALTER TABLE prikaz RENAME TO gone"));
        w.clear_tableWidgets();
        QCOMPARE(t->rowCount(), 0);
        QVERIFY2(status(w, "label_3").startsWith("Взыскания не прочитаны: "), qPrintable(status(w, "label_3")));
    }

    void refresh()
    {
        WorkDir dir;
        addThree();
        MainWindow w;
        QVERIFY(addServiceman("4", "Новиков", "НН-4"));
        ModalAnswerer answerer;
        answerer.button("Никак нет");
        trigger(w, "action_2");
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).informativeText,
                 QString("Вы точно уверены что надо обновить таблицы?"));
        QCOMPARE(summary(w)->rowCount(), 3);

        answerer.clear();
        answerer.button("Так точно").button("OK");
        trigger(w, "action_2");
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(1).title, QString("Оповещение"));
        QCOMPARE(answerer.seen().at(1).text, QString("Таблицы обновлены"));
        QCOMPARE(summary(w)->rowCount(), 4);
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // Only the Combat row of the current row goes; the orders stay and are
    // found again by a serviceman entered later with the same number.
    void deleteCurrentRow()
    {
        WorkDir dir;
        addThree();
        QVERIFY(addServiceman("5", "Д'Артаньян", "ЖЗ'5"));
        // ВГ-200 has three orders of gr behind his count.
        MainWindow w;
        QTableWidget *t = summary(w);
        t->setCurrentCell(1, 0);
        QCOMPARE(t->item(1, 5)->text(), QString("ВГ-200"));

        ModalAnswerer answerer;
        answerer.button("Никак нет");
        trigger(w, "action_6");
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).informativeText, QString("Вы точно уверены что надо удалить?"));
        QCOMPARE(value("SELECT count(*) FROM Combat"), QString("4"));

        answerer.clear();
        answerer.button("Так точно");
        trigger(w, "action_6");
        QVERIFY(answerer.done());
        QCOMPARE(column(t, 5), (QStringList{"АБ-100", "ДЕ-300", "ЖЗ'5"}));
        QCOMPARE(value("SELECT count(*) FROM Combat WHERE LN = 'ВГ-200'"), QString("0"));
        QCOMPARE(value("SELECT count(*) FROM prikaz WHERE LN = 'ВГ-200'"), QString("3"));

        // A personal number with an apostrophe is deleted exactly.
        t->setCurrentCell(2, 3);
        answerer.clear();
        answerer.button("Так точно");
        trigger(w, "action_6");
        QVERIFY(answerer.done());
        QCOMPARE(column(t, 5), (QStringList{"АБ-100", "ДЕ-300"}));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // With no current row nothing is asked and nothing deleted, not even a
    // serviceman whose personal number is empty.
    void deleteWithoutCurrentRow()
    {
        WorkDir dir;
        addThree();
        QVERIFY(addServiceman("9", "Безномерный", ""));
        MainWindow w;
        QCOMPARE(summary(w)->currentRow(), -1);
        const QString before = dump();
        ModalAnswerer answerer;
        answerer.button("OK");
        trigger(w, "action_6");
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).title, QString("Оповещение"));
        QVERIFY(answerer.seen().at(0).text.startsWith("Запись не выбрана"));
        QCOMPARE(dump(), before);
        QCOMPARE(summary(w)->rowCount(), 4);
    }

    // The Del key reaches the command when the window is active.
    void deleteKey()
    {
        WorkDir dir;
        addThree();
        MainWindow w;
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        summary(w)->setCurrentCell(0, 0);
        summary(w)->setFocus();
        ModalAnswerer answerer;
        answerer.button("Так точно");
        QTest::keyClick(summary(w), Qt::Key_Delete);
        QTRY_VERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).informativeText, QString("Вы точно уверены что надо удалить?"));
        QCOMPARE(summary(w)->rowCount(), 2);
        // Close without the question.
        w.hide();
    }

    // A delete the database refuses is reported; the table is refilled.
    void refusedDelete()
    {
        WorkDir dir;
        addThree();
        QVERIFY(exec("CREATE TRIGGER keep BEFORE DELETE ON Combat BEGIN SELECT RAISE(ABORT, 'kept'); END"));
        MainWindow w;
        summary(w)->setCurrentCell(0, 0);
        ModalAnswerer answerer;
        answerer.button("Так точно").button("OK");
        trigger(w, "action_6");
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(1).title, QString("Ошибка"));
        QVERIFY2(answerer.seen().at(1).text.startsWith("Запись не удалена: "),
                 qPrintable(answerer.seen().at(1).text));
        QCOMPARE(summary(w)->rowCount(), 3);
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
