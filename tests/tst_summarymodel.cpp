// The summary table against a model of what it must show, over long random
// sequences of what clerks do: servicemen and orders written through the
// program's storage and through a second connection (another workstation),
// an import, the refresh, the search, the reset, the row filters, the
// category, hidden columns, orders and list windows opened and closed. After
// every step the model says, from the database, which rows the table must
// show with which texts, in which order, and what the status bar says; every
// row must be on screen with a real, fitted height.
//
// VEDOMER_MODEL_SEED fixes the seed (a new one each run otherwise, printed
// on failure), and VEDOMER_MODEL_SECONDS how long the walk goes on (45 s by
// default).
#include "function.h"
#include "storage/import/check.h"
#include "storage/import/columns.h"
#include "storage/import/write.h"
#include "storage/register/orders.h"
#include "storage/register/servicemen.h"
#include "storage/db/sql.h"
#include "testsupport.h"
#include "view/tablefit.h"
#include "widgets.h"
#include "windows/addfile.h"
#include "windows/mainwindow.h"
#include "windows/summarytable.h"
#include "windows/voenosluga.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTableWidget>
#include <QtTest>

#include <algorithm>
#include <optional>

using namespace TestSupport;

namespace {

using Row = QStringList;

const QStringList SURNAMES{"Иванов", "Петров", "Сидоров", "Козлов", "Ёлкин", "Орлов", "Волков", "Зайцев"};
const QStringList UNITS{"1", "2", "10", "3б", "а", "", "01", "12а"};
const QStringList POSITIONS{"Стрелок", "Водитель",
                            "Заместитель командира взвода по воспитательной работе и связи", ""};
const QStringList CODES{"vzs", "blag", "gr", "ZOMO", "gosnag", "posh"};

// The roster as the table must order it: the statement's order, then the
// servicemen whose unit number is not a non-zero whole number first, in the
// natural order of their unit numbers, the others after them as they came.
QList<Row> readRoster()
{
    QSqlQuery q(testDb());
    q.exec("SELECT VP, Dol, VZ, FIO, Data_comb, LN, vzs, blag, gr, ZOMO, gosnag, posh, Dolz_nom, Zvan_nom "
           "FROM Combat ORDER BY VP ASC, Dolz_nom ASC, Zvan_nom ASC, FIO ASC");
    QList<Row> first, others;
    while (q.next()) {
        Row row;
        for (int c = 0; c < 14; ++c)
            row << q.value(c).toString();
        (row[0].toInt() == 0 ? first : others) << row;
    }
    std::stable_sort(first.begin(), first.end(),
                     [](const Row &a, const Row &b) { return Function::compareStrings(a[0], b[0]); });
    return first + others;
}

QSet<QString> numbers(const QString &sql)
{
    QSet<QString> out;
    for (const QStringList &r : rows(sql))
        out.insert(r.value(0));
    return out;
}

// What the main window last read, and the choices on screen that decide
// which of it is shown.
struct Model
{
    QList<Row> roster;
    QSet<QString> inForce;
    // Read when "Только с записями" first needs it after a read.
    std::optional<QSet<QString>> recorded;
    QString search;

    void read()
    {
        roster = readRoster();
        inForce = numbers("SELECT LN FROM prikaz WHERE what = 'vzs' AND actived_prikaz = '1'");
        recorded.reset();
    }

    QList<Row> shown(int category, bool onlyWithRecords, const std::optional<QString> &unit, bool inForceOnly)
    {
        if (onlyWithRecords && category <= 1 && !recorded)
            recorded = numbers("SELECT LN FROM prikaz WHERE what = 'vzs'");
        QList<Row> out;
        for (const Row &row : roster) {
            if (onlyWithRecords) {
                bool any = false;
                for (int c = 6; c <= 11; ++c)
                    any = any || ((category == 0 || c == 5 + category) && !row[c].isEmpty() && row[c] != "0");
                if (!any && category <= 1)
                    any = recorded->contains(row[5]);
                if (!any)
                    continue;
            }
            if (unit && row[0] != *unit)
                continue;
            if (inForceOnly && !inForce.contains(row[5]))
                continue;
            if (!search.isEmpty() &&
                std::none_of(row.begin(), row.end(),
                             [this](const QString &cell) { return cell.contains(search, Qt::CaseInsensitive); }))
                continue;
            out << row;
        }
        return out;
    }
};

class Walk
{
public:
    Walk(MainWindow &w, quint32 seed)
        : w(w), t(summary(w)), table(w.findChild<SummaryTable *>("summaryTable")), random(seed)
    {
    }

    QString step(int n)
    {
        const int kind = static_cast<int>(random.bounded(22u));
        switch (kind) {
        case 0:
        case 1:
            return addByOtherWorkstation(1 + static_cast<int>(random.bounded(3u)));
        case 2:
            return changeByOtherWorkstation();
        case 3:
            return removeByOtherWorkstation();
        case 4:
            return addThroughStorage(n);
        case 5:
            return changeThroughStorage();
        case 6:
            return removeThroughStorage();
        case 7:
        case 8:
            return writeOrder();
        case 9:
            return importRoster(n);
        case 10:
            return refresh();
        case 11:
        case 12:
            return search();
        case 13:
            return reset();
        case 14:
            return click("checkBox");
        case 15:
            return click("checkBox_2");
        case 16:
            return chooseUnit();
        case 17:
            return chooseCategory();
        case 18:
            return toggleColumn();
        case 19:
        case 20:
            return ordersWindow();
        default:
            return listWindow();
        }
    }

    // Empty when the table shows what the model says.
    QString check()
    {
        const auto *records = child<QCheckBox>(&w, "checkBox");
        const auto *inForce = child<QCheckBox>(&w, "checkBox_2");
        const auto *units = child<QComboBox>(&w, "comboBox_2");
        std::optional<QString> unit;
        if (units->currentIndex() > 0)
            unit = units->currentData().toString();
        const QList<Row> expected = model.shown(child<QComboBox>(&w, "comboBox")->currentIndex(),
                                                records->isChecked(), unit, inForce->isChecked());
        if (t->rowCount() != expected.size())
            return QString("%1 rows in the table, %2 expected").arg(t->rowCount()).arg(expected.size());
        if (t->verticalHeader()->count() != t->rowCount())
            return QString("the view has %1 rows for the table's %2").arg(t->verticalHeader()->count()).arg(t->rowCount());
        QList<int> heights;
        for (int r = 0; r < t->rowCount(); ++r) {
            Row texts;
            for (int c = 0; c < 14; ++c)
                texts << (t->item(r, c) ? t->item(r, c)->text() : QString("<none>"));
            if (texts != expected[r])
                return QString("row %1 shows %2, expected %3").arg(r).arg(texts.join('|'), expected[r].join('|'));
            if (t->isRowHidden(r) || t->rowHeight(r) <= 0)
                return QString("row %1 (%2) is not on screen").arg(r).arg(texts[3]);
            heights << t->rowHeight(r);
        }
        // A column hidden or shown keeps the heights until the next fill.
        if (refilled)
            TableFit::fitRowHeights(t);
        for (int r = 0; r < t->rowCount() && refilled; ++r) {
            if (t->rowHeight(r) != heights[r])
                return QString("row %1 is %2 high, a fit makes it %3").arg(r).arg(heights[r]).arg(t->rowHeight(r));
        }
        if (table->searchText() != model.search)
            return QString("the table searches «%1», expected «%2»").arg(table->searchText(), model.search);
        const QString status = child<QLabel>(&w, "label_2")->text();
        const QString expectedStatus = expected.isEmpty() && !model.search.isEmpty()
                                           ? QString("Ничего не найдено")
                                           : QString("Показано %1 из %2").arg(expected.size()).arg(model.roster.size());
        if (status != expectedStatus)
            return QString("the status bar says «%1», expected «%2»").arg(status, expectedStatus);
        return {};
    }

    // The text of a box that came unasked, once.
    QString unexpected()
    {
        if (answers.unexpected().isEmpty())
            return {};
        const QString text = answers.unexpected().constFirst().text;
        answers.clear();
        return text.isEmpty() ? QString("<no text>") : text;
    }

    Model model;

private:
    QString anyNumber()
    {
        const QList<QStringList> all = rows("SELECT LN FROM Combat");
        return all.isEmpty() ? QString() : all[static_cast<int>(random.bounded(static_cast<quint32>(all.size())))][0];
    }
    template <typename T>
    const T &pick(const QList<T> &list)
    {
        return list[static_cast<int>(random.bounded(static_cast<quint32>(list.size())))];
    }
    QString count() { return random.bounded(3u) ? QString::number(random.bounded(3u)) : QString(); }
    Serviceman someone(const QString &ln)
    {
        Serviceman s;
        s.VP = pick(UNITS);
        s.Dol = pick(POSITIONS);
        s.FIO = QString("%1 %2").arg(pick(SURNAMES)).arg(random.bounded(1000u));
        s.LN = ln;
        s.Data_comb = QString("%1.03.19%2").arg(10 + random.bounded(18u)).arg(70 + random.bounded(29u));
        s.counts = {count(), count(), count(), count(), count(), count()};
        s.Dolz_nom = QString::number(random.bounded(5u));
        s.Zvan_nom = QString::number(random.bounded(5u));
        return s;
    }
    QString refillSilently()
    {
        refilled = true;
        model.search.clear();
        model.read();
        return {};
    }

    QString addByOtherWorkstation(int how)
    {
        for (int i = 0; i < how; ++i)
            if (!addServiceman(someone(QString("В-%1").arg(++made))))
                return "not added";
        return QString("another workstation adds %1").arg(how);
    }
    QString changeByOtherWorkstation()
    {
        const QString ln = anyNumber();
        exec("UPDATE Combat SET FIO = ?, VP = ?, vzs = ? WHERE LN = ?",
             {QString("%1 изм").arg(pick(SURNAMES)), pick(UNITS), count(), ln});
        return "another workstation changes " + ln;
    }
    QString removeByOtherWorkstation()
    {
        const QString ln = anyNumber();
        exec("DELETE FROM Combat WHERE LN = ?", {ln});
        return "another workstation deletes " + ln;
    }
    QString addThroughStorage(int n)
    {
        Servicemen::Entry entry;
        const Serviceman s = someone(QString("П-%1").arg(n));
        entry.fields = {s.VP, s.Dol, s.VZ, s.FIO, s.Data_comb, s.LN};
        QSqlError error;
        if (Servicemen::add(entry, &error) != Servicemen::Outcome::Saved)
            return "storage refused an add: " + error.text();
        return "storage adds " + s.LN;
    }
    QString changeThroughStorage()
    {
        const QString ln = anyNumber();
        Servicemen::Fields loaded;
        if (ln.isEmpty() || !Servicemen::read(ln, &loaded))
            return "nobody to change";
        Servicemen::Entry entry;
        entry.fields = loaded;
        entry.fields[Servicemen::FIO] = QString("%1 новый").arg(pick(SURNAMES));
        entry.fields[Servicemen::VP] = pick(UNITS);
        QSqlError error;
        Servicemen::change(ln, loaded, entry, &error);
        return "storage changes " + ln;
    }
    QString removeThroughStorage()
    {
        const QString ln = anyNumber();
        QSqlError error;
        Servicemen::remove(ln, Servicemen::From::Summary, &error);
        return "storage deletes " + ln;
    }
    // An order added, lifted or deleted; the counts wait for the recount of
    // a closed orders window.
    QString writeOrder()
    {
        const QString ln = anyNumber();
        const QString code = random.bounded(2u) ? QString("vzs") : pick(CODES);
        const QList<QStringList> orders = rows("SELECT prikaznom, ROWID FROM prikaz WHERE LN = ? AND what = ?", {ln, code});
        if (orders.isEmpty() || random.bounded(2u)) {
            const Orders::Fields f{QString("%1.05.2025").arg(10 + random.bounded(18u)),
                                   QString::number(++made), "Командир", "Приказ", ""};
            Orders::add(ln, code, f);
            return QString("order %1 of %2 added").arg(code, ln);
        }
        const QStringList &order = pick(orders);
        if (random.bounded(2u)) {
            exec("UPDATE prikaz SET actived_prikaz = '0' WHERE ROWID = ?", {order[1]});
            return QString("order %1 of %2 lifted by another workstation").arg(code, ln);
        }
        exec("DELETE FROM prikaz WHERE ROWID = ?", {order[1]});
        return QString("order %1 of %2 deleted by another workstation").arg(code, ln);
    }
    QString importRoster(int n)
    {
        Import::Rows sheet{{"Личный номер", "ФИО", "№ ВП", "Дата рождения"}};
        const int how = 5 + static_cast<int>(random.bounded(60u));
        for (int i = 0; i < how; ++i)
            sheet.append({QString("И-%1-%2").arg(n).arg(i), QString("%1 Импортный %2").arg(pick(SURNAMES)).arg(i),
                          pick(UNITS), "01.02.1990"});
        const Import::ServicemenCheck c =
            Import::checkServicemen(sheet, Import::match(sheet, Import::Kind::Servicemen), Import::Choices());
        Import::Written written;
        if (!Import::write(&c, nullptr, "roster.csv", &written))
            return "import failed: " + written.error;
        table->refill();
        refillSilently();
        return QString("import of %1").arg(how);
    }
    QString refresh()
    {
        answers.button("Так точно").button("OK");
        w.findChild<QAction *>("action_2")->trigger();
        refillSilently();
        return "refresh";
    }
    QString search()
    {
        QString text;
        switch (random.bounded(4u)) {
        case 0:
            text = QString::number(random.bounded(10u));
            break;
        case 1:
            text = pick(SURNAMES).toLower();
            break;
        case 2:
            text = "жжжщ";
            break;
        default:
            text = pick(UNITS.mid(0, 5));
        }
        child<QLineEdit>(&w, "lineEdit")->setText(" " + text + " ");
        child<QPushButton>(&w, "pushButton")->click();
        model.read();
        model.search = text;
        refilled = true;
        return "search " + text;
    }
    QString reset()
    {
        answers.button("OK");
        child<QPushButton>(&w, "pushButton_2")->click();
        refillSilently();
        return "reset";
    }
    QString click(const char *box)
    {
        child<QCheckBox>(&w, box)->click();
        refilled = true;
        return QString("%1 clicked").arg(box);
    }
    QString chooseUnit()
    {
        auto *units = child<QComboBox>(&w, "comboBox_2");
        const int index = random.bounded(3u) == 0 ? 0 : static_cast<int>(random.bounded(static_cast<quint32>(units->count())));
        units->setCurrentIndex(index);
        emit units->activated(index);
        refilled = true;
        return "unit " + units->currentText();
    }
    QString chooseCategory()
    {
        auto *categories = child<QComboBox>(&w, "comboBox");
        const int index = static_cast<int>(random.bounded(7u));
        refilled = refilled || child<QCheckBox>(&w, "checkBox")->isChecked() || fitToWindow();
        categories->setCurrentIndex(index);
        emit categories->activated(index);
        return QString("category %1").arg(index);
    }
    QString toggleColumn()
    {
        const char *names[] = {"action_7", "action_11", "action_12", "action_18", "action_19", "action_20",
                               "action_fitWidth"};
        const char *name = names[random.bounded(7u)];
        w.findChild<QAction *>(name)->trigger();
        refilled = fitToWindow();
        return QString("%1 toggled").arg(name);
    }
    QString ordersWindow()
    {
        if (t->rowCount() == 0)
            return "no row for an orders window";
        const int row = static_cast<int>(random.bounded(static_cast<quint32>(t->rowCount())));
        const int column = 6 + static_cast<int>(random.bounded(6u));
        const QString ln = t->item(row, 5)->text();
        QMetaObject::invokeMethod(&w, "on_tableWidget_6_cellDoubleClicked", Q_ARG(int, row), Q_ARG(int, column));
        const QPointer<addfile> orders = shownWindow<addfile>();
        if (!orders)
            return "FAIL: no orders window opened";
        orders->close();
        delete orders.data();
        refillSilently();
        // The count the window's closing wrote is that of the orders.
        const QString code = CODES[column - 6];
        const QString counted =
            value(QString("SELECT COUNT(*) FROM prikaz WHERE LN = ? AND what = ?%1")
                      .arg(code == "vzs" ? " AND actived_prikaz = '1'" : ""),
                  {ln, code});
        const QString stored = value(QString("SELECT %1 FROM Combat WHERE LN = ?").arg(code), {ln});
        if (!stored.isNull() && stored != counted)
            return QString("FAIL: the closed window left %1 = %2 for %3 orders").arg(code, stored, counted);
        return QString("orders window %1 of %2 opened and closed").arg(code, ln);
    }
    QString listWindow()
    {
        QMetaObject::invokeMethod(&w, "on_action_4_triggered");
        const QPointer<voenosluga> list = shownWindow<voenosluga>();
        if (!list)
            return "FAIL: no list window opened";
        list->close();
        delete list.data();
        refillSilently();
        return "list window opened and closed";
    }

    template <typename T>
    static T *shownWindow()
    {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *window = qobject_cast<T *>(top); window && window->isVisible())
                return window;
        return nullptr;
    }

    MainWindow &w;
    QTableWidget *t;
    // The rows of the summary table, which the window fills.
    SummaryTable *table;
    QRandomGenerator random;
    ModalAnswerer answers;
    int made = 0;
    // The heights were fitted since a column was last hidden or shown: a
    // fill fits them, hiding a column alone does not.
    bool refilled = true;
    bool fitToWindow() const { return w.findChild<QAction *>("action_fitWidth")->isChecked(); }
};

} // namespace

class TestSummaryModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestSupport::initTestCase();
        // Every statement's debug line would bury the step that failed.
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    }

    void tableShowsWhatTheModelSays()
    {
        bool given = false;
        const quint32 seed = qEnvironmentVariableIntValue("VEDOMER_MODEL_SEED", &given);
        const quint32 used = given ? seed : static_cast<quint32>(QDateTime::currentMSecsSinceEpoch() % 100000);
        const int seconds = qEnvironmentVariableIsSet("VEDOMER_MODEL_SECONDS")
                                ? qEnvironmentVariableIntValue("VEDOMER_MODEL_SECONDS")
                                : 45;
        WorkDir dir;
        for (int i = 0; i < 2; ++i)
            QVERIFY(addServiceman(QString::number(i + 1), QString("Первый %1").arg(i), QString("Н-%1").arg(i)));
        MainWindow w;
        w.resize(1200, 600);
        w.show();
        Walk walk(w, used);
        walk.model.read();
        QStringList steps;
        QElapsedTimer clock;
        clock.start();
        for (int n = 1; clock.elapsed() < seconds * 1000; ++n) {
            const QString done = walk.step(n);
            steps << done;
            QString wrong = done.startsWith("FAIL") ? done : walk.check();
            if (wrong.isEmpty() && !walk.unexpected().isEmpty())
                wrong = "an unexpected box: " + walk.unexpected();
            if (!wrong.isEmpty())
                QFAIL(qPrintable(QString("seed %1 (VEDOMER_MODEL_SEED), step %2: %3\nlast steps: %4")
                                     .arg(used)
                                     .arg(n)
                                     .arg(wrong, steps.mid(std::max<qsizetype>(0, steps.size() - 8)).join("; "))));
        }
        qInfo("seed %u: %lld steps", used, static_cast<long long>(steps.size()));
    }
};

QTEST_MAIN(TestSummaryModel)
#include "tst_summarymodel.moc"
