// The main window: its form, the opening of the database and the summary
// table's order, stripes, colours and alignment.
#include "windows/mainwindow.h"
#include "testsupport.h"
#include "view/tablefit.h"
#include "widgets.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QToolBar>
#include <QtTest>

#include <memory>

using namespace TestSupport;

namespace {

const QColor STRIPE(240, 240, 240, 226);

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    void form()
    {
        WorkDir dir;
        MainWindow w;
        QCOMPARE(w.windowTitle(), QString("Ведомер"));
        QCOMPARE(w.font().family(), QString("Times New Roman"));
        QCOMPARE(w.font().pointSize(), 11);
        QVERIFY(!w.windowIcon().isNull());

        QStringList menus;
        for (QAction *a : w.menuBar()->actions())
            menus << a->text();
        QCOMPARE(menus, (QStringList{"Файл", "Показать\\скрыть", "Справочник", "Настройки", "Отчёты", "Справка"}));
        QVERIFY(!w.findChild<QMenu *>("menu_3")->isEnabled());

        auto names = [](const QList<QAction *> &actions) {
            QStringList out;
            for (QAction *a : actions)
                out << (a->isSeparator() ? QString("|") : a->objectName());
            return out;
        };
        QCOMPARE(names(w.findChild<QMenu *>("menu")->actions()),
                 (QStringList{"action", "action_2", "action_3", "action_preview", "action_card",
                              "action_cards", "action_9", "action_Exel", "action_21", "|", "action_5", "|",
                              "action_import", "action_group", "action_groupLift", "action_history"}));
        QCOMPARE(names(w.findChild<QMenu *>("menu_4")->actions()),
                 (QStringList{"action_7", "action_11", "action_12", "action_18", "action_19", "action_20", "|",
                              "action_fitWidth"}));
        QCOMPARE(names(w.findChild<QToolBar *>("toolBar")->actions()),
                 (QStringList{"action_Exel", "action", "action_9", "action_4", "|", "action_6"}));
        QCOMPARE(w.findChild<QAction *>("action")->shortcut(), QKeySequence("Ctrl+S"));
        QCOMPARE(w.findChild<QAction *>("action_6")->shortcut(), QKeySequence("Del"));
        QCOMPARE(w.findChild<QAction *>("action_card")->shortcut(), QKeySequence("Ctrl+P"));
        QCOMPARE(w.findChild<QAction *>("action_9")->text(), QString("Востановление резервной копии"));
        for (const char *name : {"action", "action_2", "action_3", "action_9", "action_Exel", "action_5",
                                 "action_4", "action_6", "action_8"})
            QVERIFY2(!w.findChild<QAction *>(name)->icon().isNull(), name);
        for (const char *name :
             {"action_7", "action_11", "action_12", "action_18", "action_19", "action_20"}) {
            QVERIFY(w.findChild<QAction *>(name)->isCheckable());
            QVERIFY(w.findChild<QAction *>(name)->isChecked());
        }
        QCOMPARE(w.findChild<QAction *>("action_4")->toolTip(), QString("Военнослужащие"));

        auto *combo = w.findChild<QComboBox *>("comboBox");
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        QCOMPARE(items, (QStringList{"Сводная таблица", "Взыскания", "Благодарность", "Грамоты",
                                     "Знаки отличия", "Гос.Награды", "Ветеран военной службы"}));

        QTableWidget *t = summary(w);
        QCOMPARE(t->columnCount(), 14);
        QCOMPARE(t->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(t->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(t->selectionMode(), QAbstractItemView::SingleSelection);
        QVERIFY(!t->isSortingEnabled());
        QVERIFY(!t->isCornerButtonEnabled());
        QCOMPARE(t->font().pointSize(), 10);
        QCOMPARE(t->horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
        QCOMPARE(t->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
        QCOMPARE(t->horizontalHeader()->styleSheet(), QString("border: 1px solid black"));
        QVERIFY(!t->horizontalHeader()->isSortIndicatorShown());
        QVERIFY(!t->horizontalHeader()->stretchLastSection());
        QVERIFY(t->isColumnHidden(12));
        QVERIFY(t->isColumnHidden(13));
    }

    void headersAfterOpening()
    {
        WorkDir dir;
        MainWindow w;
        QTableWidget *t = summary(w);
        const QStringList expected{"№ ВП",
                                   "Должность",
                                   "Воинское\nзвание",
                                   "ФИО",
                                   "Дата\nрождения",
                                   "Личный\nномер",
                                   "Взыскания",
                                   "Благодарности",
                                   "Грамоты",
                                   "Знаки отличия\nМО РФ",
                                   "Государственные\nнаграды",
                                   "Ветеран\nвоенной службы",
                                   "Номер должности",
                                   "Номер Звания"};
        for (int c = 0; c < 14; ++c) {
            QCOMPARE(t->horizontalHeaderItem(c)->text(), expected.at(c));
            QVERIFY(t->horizontalHeaderItem(c)->font().bold());
            QCOMPARE(t->horizontalHeaderItem(c)->font().pointSize(), 11);
        }
        const QList<int> widths{50, 100, 100, -1, 90, 100, 130, 130, 130, 130, 130, 130};
        for (int c = 0; c < widths.size(); ++c)
            if (widths.at(c) > 0)
                QCOMPARE(t->columnWidth(c), widths.at(c));
    }

    // Unit numbers that are not a non-zero whole number come first in natural
    // order; the others follow in the query's order (numbers as numbers).
    void summaryOrder()
    {
        WorkDir dir;
        QVERIFY(addServiceman("2", "Второй", "2"));
        QVERIFY(addServiceman("3б", "ТриБ", "3"));
        QVERIFY(addServiceman("10", "Десятый", "10"));
        QVERIFY(addServiceman("а", "А", "4"));
        QVERIFY(addServiceman("12а", "ДвенадцатьА", "5"));
        QVERIFY(addServiceman("1", "Первый", "1"));
        QVERIFY(addServiceman("", "Пустой", "6"));
        QVERIFY(addServiceman("0", "Ноль", "7"));
        // Equal unit numbers keep the query order (by position, rank, name).
        Serviceman a;
        a.VP = "3б";
        a.FIO = "Альфа";
        a.LN = "8";
        a.Dolz_nom = "1";
        QVERIFY(addServiceman(a));
        MainWindow w;
        QTableWidget *t = summary(w);
        QCOMPARE(column(t, 0), (QStringList{"", "0", "а", "3б", "3б", "12а", "1", "2", "10"}));
        QCOMPARE(column(t, 3), (QStringList{"Пустой", "Ноль", "А", "Альфа", "ТриБ", "ДвенадцатьА", "Первый",
                                            "Второй", "Десятый"}));
    }

    void stripesColoursAndAlignment()
    {
        WorkDir dir;
        Serviceman s;
        s.FIO = "Иванов Иван Иванович";
        s.Data_comb = "01.01.1990 0:00";
        const QList<QStringList> counts{{"1", "2", "3", "4", "5", "6"},
                                        {"0", "0", "0", "0", "0", "0"},
                                        {"", "", "", "", "", ""},
                                        {QString(), QString(), QString(), QString(), QString(), QString()},
                                        {"0", "1", "0", "1", "0", "1"}};
        for (int i = 0; i < counts.size(); ++i) {
            s.VP = QString::number(i + 1);
            s.LN = QString::number(100 + i);
            s.counts = counts.at(i);
            QVERIFY(addServiceman(s) && addOrdersForCounts(s));
        }
        MainWindow w;
        QTableWidget *t = summary(w);
        QCOMPARE(t->rowCount(), 5);
        const QList<QColor> colours{Qt::red, Qt::cyan, Qt::yellow, Qt::cyan, Qt::yellow, Qt::cyan};
        for (int r = 0; r < 5; ++r) {
            for (int c = 0; c < 14; ++c) {
                QTableWidgetItem *item = t->item(r, c);
                QVERIFY(item);
                const QString text = item->text();
                const bool counted = c >= 6 && c <= 11 && !text.isEmpty() && text != "0";
                const QBrush brush = item->background();
                if (counted) {
                    QCOMPARE(brush.style(), Qt::SolidPattern);
                    QCOMPARE(brush.color(), colours.at(c - 6));
                } else if (r % 2 == 0) {
                    QCOMPARE(brush.style(), Qt::SolidPattern);
                    QCOMPARE(brush.color(), STRIPE);
                } else {
                    QCOMPARE(brush.style(), Qt::NoBrush);
                }
                const int alignment = item->textAlignment();
                if (c >= 5 && c <= 12)
                    QCOMPARE(alignment, int(Qt::AlignCenter));
                else
                    QVERIFY(alignment != int(Qt::AlignCenter));
            }
        }
        // Empty counts read as empty cells, not "0".
        QCOMPARE(t->item(3, 6)->text(), QString());
    }

    void valuesShownAsStored()
    {
        WorkDir dir;
        const QString apostrophe = "Д'Артаньян %1 %2 «ёЁ»";
        const QString longText = QString(1000, QChar(0x0416));
        Serviceman s;
        s.VP = "в/ч '3'";
        s.Dol = longText;
        s.VZ = "%10";
        s.FIO = apostrophe;
        s.Data_comb = "<b>&amp;</b>";
        s.LN = "АБ-123'45";
        QVERIFY(addServiceman(s));
        MainWindow w;
        QTableWidget *t = summary(w);
        QCOMPARE(t->rowCount(), 1);
        QCOMPARE(t->item(0, 0)->text(), s.VP);
        QCOMPARE(t->item(0, 1)->text(), longText);
        QCOMPARE(t->item(0, 2)->text(), s.VZ);
        QCOMPARE(t->item(0, 3)->text(), apostrophe);
        QCOMPARE(t->item(0, 4)->text(), s.Data_comb);
        QCOMPARE(t->item(0, 5)->text(), s.LN);
    }

    // A missing or empty "Path/db" means the standard folder "data".
    void missingSettingsMeanStandardFolder_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("remove");
        QTest::newRow("no settings.ini") << QByteArray() << true;
        QTest::newRow("no key") << QByteArray("[Other]\nx=1\n") << false;
        QTest::newRow("empty key") << QByteArray("[Path]\ndb=\n") << false;
    }
    void missingSettingsMeanStandardFolder()
    {
        QFETCH(QByteArray, settings);
        QFETCH(bool, remove);
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        if (remove)
            QFile::remove("settings.ini");
        else
            dir.writeFile("settings.ini", settings);
        ModalAnswerer answerer;
        MainWindow w;
        QCOMPARE(summary(w)->rowCount(), 1);
        QVERIFY(answerer.unexpected().isEmpty());
    }

    void otherFolderFromSettings()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "1"));
        QVERIFY(QDir().rename("data", "другая папка"));
        dir.writeFile("settings.ini", QString("[Path]\ndb=%1\n").arg(dir.filePath("другая папка")).toUtf8());
        MainWindow w;
        QCOMPARE(summary(w)->rowCount(), 1);
    }

    // Where the database cannot be opened the window still opens, empty, with
    // one line in "log" and a warning that names the file; nothing is created
    // and nothing is overwritten.
    void databaseThatCannotBeOpened_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("exists");
        QTest::newRow("missing file") << QByteArray("[Path]\ndb=data\n") << QByteArray() << false;
        QTest::newRow("missing folder") << QByteArray("[Path]\ndb=nowhere/at/all\n") << QByteArray() << false;
        QTest::newRow("not a database")
            << QByteArray("[Path]\ndb=data\n") << QByteArray("Just some text, not SQLite.\n") << true;
        QTest::newRow("truncated database")
            << QByteArray("[Path]\ndb=data\n") << QByteArray("SQLite format 3") << true;
    }
    void databaseThatCannotBeOpened()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QByteArray, content);
        QFETCH(bool, exists);
        WorkDir dir(WorkDir::WithoutDatabase);
        dir.writeFile("settings.ini", settings);
        if (exists)
            dir.writeFile("data/BaseDate.db", content);
        ModalAnswerer answerer;
        answerer.button("OK");
        {
            MainWindow w;
            QVERIFY(answerer.done());
            const ModalAnswerer::Seen seen = answerer.seen().first();
            QCOMPARE(seen.title, QString("Ошибка"));
            QVERIFY2(seen.text.contains("BaseDate.db"), qPrintable(seen.text));
            QVERIFY(seen.text.contains("--ver"));
            QTableWidget *t = summary(w);
            QCOMPARE(t->rowCount(), 0);
            QCOMPARE(t->horizontalHeaderItem(2)->text(), QString("Воинское звание"));
            QFile log("log");
            QVERIFY(log.open(QIODevice::ReadOnly));
            QVERIFY(QString::fromUtf8(log.readAll()).contains("Обращение к базе завершено  с ошибкой\n"));
        }
        const QString file = QString::fromUtf8(settings).section('=', 1).trimmed() + "/BaseDate.db";
        QCOMPARE(QFile::exists(file), exists);
        if (exists) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), content);
        }
    }

    // "Выход" asks twice; the window's own close asks once; "Никак нет" keeps it.
    void leaving()
    {
        WorkDir dir;
        MainWindow w;
        w.show();
        ModalAnswerer answerer;
        answerer.button("Так точно").button("Никак нет");
        w.findChild<QAction *>("action_5")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).informativeText, QString("Вы точно уверены что надо выйти?"));
        QCOMPARE(answerer.seen().at(0).buttons, (QStringList{"Так точно", "Никак нет"}));
        QCOMPARE(answerer.seen().at(0).text, QString("Сообщение"));
        QCOMPARE(answerer.seen().at(1).informativeText, QString("Вы планируете выйти из программы?"));
        QVERIFY(w.isVisible());

        answerer.clear();
        answerer.button("Никак нет");
        w.findChild<QAction *>("action_5")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().size(), 1);
        QVERIFY(w.isVisible());

        answerer.clear();
        answerer.cancel(); // Esc or the box's own close means no
        QVERIFY(!w.close());
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).informativeText, QString("Вы планируете выйти из программы?"));
        QVERIFY(w.isVisible());

        answerer.clear();
        answerer.button("Так точно");
        QVERIFY(w.close());
        QVERIFY(!w.isVisible());
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // A search fills only the rows holding the text; each must look exactly
    // as in the full table with the other rows removed: the same texts,
    // shading, colours and height, and the name column as wide as the full
    // table needs (here a longer name is among the rows left out).
    void searchLooksLikeTheFullTableWithRowsRemoved()
    {
        WorkDir dir;
        const QStringList positions{"Командир отделения", "Стрелок", "Заместитель командира взвода"};
        for (int i = 0; i < 40; ++i) {
            Serviceman s;
            s.VP = i % 6 ? QString::number(i % 9 + 1) : QString("%1а").arg(i);
            s.Dol = positions.at(i % 3);
            s.FIO = (i % 3 == 1 ? "Найденный " : "Другой ") + QString::number(i) +
                    (i == 5 ? " с очень-очень длинной фамилией для ширины" : "");
            s.LN = QString("Л-%1").arg(i);
            s.Data_comb = QString("%1.01.1990 1:11").arg(10 + i % 18);
            s.counts = {QString::number(i % 2), "0", QString::number(i % 4), "", "0", "1"};
            QVERIFY(addServiceman(s) && addOrdersForCounts(s));
        }
        MainWindow w;
        QTableWidget *t = summary(w);
        const int nameWidth = t->columnWidth(3);
        for (int r = t->rowCount() - 1; r >= 0; --r) {
            bool found = false;
            for (int c = 0; c < 14; ++c)
                found = found || t->item(r, c)->text().contains("найденный", Qt::CaseInsensitive);
            if (!found)
                t->removeRow(r);
        }
        struct Look
        {
            QStringList texts;
            QList<QBrush> brushes;
            QList<int> alignments;
            int height;
        };
        auto look = [t]() {
            QList<Look> rows;
            for (int r = 0; r < t->rowCount(); ++r) {
                Look l;
                for (int c = 0; c < 14; ++c) {
                    l.texts << t->item(r, c)->text();
                    l.brushes << t->item(r, c)->background();
                    l.alignments << t->item(r, c)->textAlignment();
                }
                l.height = t->rowHeight(r);
                rows << l;
            }
            return rows;
        };
        const QList<Look> expected = look();
        QCOMPARE(expected.size(), 13);

        w.findChild<QLineEdit *>("lineEdit")->setText("  найденный ");
        QMetaObject::invokeMethod(&w, "on_pushButton_clicked");
        const QList<Look> actual = look();
        QCOMPARE(actual.size(), expected.size());
        for (int r = 0; r < actual.size(); ++r) {
            QCOMPARE(actual[r].texts, expected[r].texts);
            QCOMPARE(actual[r].brushes, expected[r].brushes);
            QCOMPARE(actual[r].alignments, expected[r].alignments);
            QCOMPARE(actual[r].height, expected[r].height);
        }
        QCOMPARE(t->columnWidth(3), nameWidth);
        QVERIFY(w.findChild<QLineEdit *>("lineEdit")->text().isEmpty());
    }

    // A search that shows other rows moves each row shown again whole, with
    // its height, to its new place rather than making and measuring it
    // anew, and the refill brings the full table back the same way: every
    // row looks as in the full table.
    void refillMovesRowsShownAgain()
    {
        WorkDir dir;
        for (int i = 0; i < 30; ++i) {
            Serviceman s;
            s.VP = QString::number(i % 7 + 1);
            s.Dol = i % 4 ? "Стрелок" : "Заместитель командира взвода по воспитательной работе";
            s.FIO = (i % 3 ? "Другой " : "Найденный ") + QString::number(i);
            s.LN = QString("Л-%1").arg(i);
            s.counts = {QString::number(i % 2), "0", "", "", "0", "1"};
            QVERIFY(addServiceman(s) && addOrdersForCounts(s));
        }
        MainWindow w;
        QTableWidget *t = summary(w);
        // Each row's items, texts, shading and height, by its texts.
        auto look = [t] {
            QHash<QString, std::pair<QList<QTableWidgetItem *>, QList<QBrush>>> rows;
            for (int r = 0; r < t->rowCount(); ++r) {
                QStringList texts{QString::number(t->rowHeight(r))};
                std::pair<QList<QTableWidgetItem *>, QList<QBrush>> row;
                for (int c = 0; c < 14; ++c) {
                    texts << t->item(r, c)->text();
                    row.first << t->item(r, c);
                    row.second << t->item(r, c)->background();
                }
                rows.insert(texts.join('|'), row);
            }
            return rows;
        };
        const auto full = look();
        QCOMPARE(full.size(), 30);
        w.findChild<QLineEdit *>("lineEdit")->setText("найденный");
        QMetaObject::invokeMethod(&w, "on_pushButton_clicked");
        const auto found = look();
        QCOMPARE(found.size(), 10);
        for (auto i = found.cbegin(); i != found.cend(); ++i)
            QVERIFY2(i.value() == full.value(i.key()), qPrintable(i.key()));
        QMetaObject::invokeMethod(&w, "clear_tableWidgets");
        const auto back = look();
        QCOMPARE(back.size(), 30);
        for (auto i = back.cbegin(); i != back.cend(); ++i) {
            QVERIFY2(i.value().second == full.value(i.key()).second, qPrintable(i.key()));
            QVERIFY(!found.contains(i.key()) || i.value().first == found.value(i.key()).first);
        }
    }

    // The rows a search hides come back as the very items they were, with
    // the heights a fit gives at the widths of the moment; a changed one anew.
    void searchKeepsHiddenRows()
    {
        WorkDir dir;
        for (int i = 0; i < 12; ++i)
            QVERIFY(addServiceman("1", (i % 3 ? "Другой " : "Найденный ") + QString::number(i), QString("Л-%1").arg(i)));
        QVERIFY(exec("UPDATE Combat SET Dol = ?", {"Стрелок и наводчик роты, он же водитель и связист"}));
        MainWindow w;
        w.resize(900, 500);
        w.show();
        QTableWidget *t = summary(w);
        const QTableWidgetItem *hidden = t->item(7, 1); // "Другой 8"; the first row is Л-1
        w.findChild<QLineEdit *>("lineEdit")->setText("найденный");
        QMetaObject::invokeMethod(&w, "on_pushButton_clicked");
        QVERIFY(exec("UPDATE Combat SET Dol = ? WHERE LN = ?", {"Водитель", "Л-1"}));
        w.findChild<QAction *>("action_fitWidth")->trigger(); // other widths while hidden
        QMetaObject::invokeMethod(&w, "clear_tableWidgets");
        QCOMPARE(t->item(7, 1), hidden);
        QCOMPARE(t->item(0, 1)->text(), QString("Водитель"));
        QList<int> heights;
        for (int r = 0; r < t->rowCount(); ++r)
            heights << t->rowHeight(r);
        TableFit::fitRowHeights(t);
        for (int r = 0; r < t->rowCount(); ++r)
            QCOMPARE(t->rowHeight(r), heights[r]);
    }

    void visibleSet()
    {
        WorkDir dir;
        MainWindow w;
        QAction *settings = w.findChild<QAction *>("action_10");
        QVERIFY(settings->isVisible());
        QTest::ignoreMessage(QtDebugMsg, "1");
        QVERIFY(QMetaObject::invokeMethod(&w, "visible_set"));
        QVERIFY(settings->isVisible());
    }

    // "По ширине окна" shares the window's width among the shown columns,
    // is remembered, and gives the described widths back when turned off; a
    // broken value in settings.ini leaves it off.
    void fitToWindowRoundTrips()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов Иван Иванович", "100"));
        const QList<int> described{50, 100, 100, -1, 90, 100, 130, 130, 130, 130, 130, 130};
        auto widths = [](QTableWidget *t) {
            QList<int> out;
            for (int c = 0; c < 12; ++c)
                out << (c == 3 ? -1 : t->columnWidth(c));
            return out;
        };
        auto shownWidth = [](QTableWidget *t) {
            int sum = 0;
            for (int c = 0; c < t->columnCount(); ++c)
                sum += t->isColumnHidden(c) ? 0 : t->columnWidth(c);
            return sum;
        };
        {
            MainWindow w;
            w.resize(900, 500);
            w.show();
            QAction *fit = w.findChild<QAction *>("action_fitWidth");
            QVERIFY(fit->isCheckable() && !fit->isChecked() && !fit->toolTip().isEmpty());
            // Added commands say what they do beyond their name.
            for (const char *name : {"action_fitWidth", "action_preview", "action_card", "action_cards", "action_21"}) {
                const QAction *action = w.findChild<QAction *>(name);
                QVERIFY2(action->toolTip() != action->text().remove('&'), name);
            }
            QCOMPARE(widths(summary(w)), described);
            fit->trigger();
            QCOMPARE(shownWidth(summary(w)), summary(w)->viewport()->width());
            w.findChild<QAction *>("action_19")->trigger(); // a column less still fills the width
            QCOMPARE(shownWidth(summary(w)), summary(w)->viewport()->width());
        }
        QVERIFY(QFile("settings.ini").open(QIODevice::ReadOnly));
        {
            MainWindow w;
            w.resize(1366, 700);
            w.show();
            QAction *fit = w.findChild<QAction *>("action_fitWidth");
            QVERIFY(fit->isChecked());
            QTRY_COMPARE(shownWidth(summary(w)), summary(w)->viewport()->width());
            fit->trigger();
            QCOMPARE(widths(summary(w)), described);
        }
        dir.writeFile("settings.ini", "[Path]\ndb=data\n[View]\nfitToWindow=maybe\n");
        MainWindow w;
        QVERIFY(!w.findChild<QAction *>("action_fitWidth")->isChecked());
        QCOMPARE(widths(summary(w)), described);
    }

    // Enter on a count cell opens that category's orders; F5 refreshes.
    void keys()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "100"));
        MainWindow w;
        QTableWidget *t = summary(w);
        t->setCurrentCell(0, 7);
        QTest::keyClick(t, Qt::Key_Return);
        QList<QWidget *> opened;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->inherits("addfile"))
                opened << top;
        QCOMPARE(opened.size(), 1);
        QVERIFY(opened.first()->windowTitle().startsWith("Благодарности"));
        delete opened.first();
        QCOMPARE(w.findChild<QAction *>("action_2")->shortcut(), QKeySequence(Qt::Key_F5));
    }

    // Every window the program opens is freed once closed, and whatever is
    // still open goes with the main window.
    void windowsAreFreed()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "100"));
        auto main = std::make_unique<MainWindow>();
        auto openAll = [&] {
            main->findChild<QAction *>("action_8")->trigger();  // About
            main->findChild<QAction *>("action_10")->trigger(); // settings
            main->findChild<QAction *>("action_4")->trigger();  // list window
            QVERIFY(QMetaObject::invokeMethod(main.get(), "on_tableWidget_6_cellDoubleClicked", Q_ARG(int, 0),
                                              Q_ARG(int, 6))); // orders window
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (w->objectName() == "settings")
                    child<QPushButton>(w, "pushButton_2")->click(); // reference editor
            }
        };
        auto opened = [&] {
            QList<QWidget *> out;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w != main.get() && w->isVisible())
                    out << w;
            return out;
        };
        auto settle = [] { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); };
        openAll();
        for (QWidget *w : opened())
            w->close();
        settle();
        const qsizetype before = QApplication::allWidgets().size();
        for (int i = 0; i < 100; ++i) {
            openAll();
            QCOMPARE(opened().size(), 5);
            for (QWidget *w : opened())
                w->close();
            settle();
        }
        QCOMPARE(QApplication::allWidgets().size(), before);

        openAll();
        QList<QPointer<QWidget>> left;
        for (QWidget *w : opened())
            left << w;
        main.reset();
        for (const QPointer<QWidget> &w : left)
            QVERIFY(w.isNull());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
