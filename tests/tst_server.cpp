// The register on a PostgreSQL server: the verification, the same tables as
// from an SQLite file, the windows' writes, documents, backups, several
// clerks at once and the faults of a network database, all against a private
// server that the test starts itself.
#include "clerks.h"
#include "function.h"
#include "netproxy.h"
#include "orderwindow.h"
#include "pgserver.h"
#include "programdb.h"
#include "testsupport.h"
#include "urlcatcher.h"
#include "widgets.h"
#include "storage/register/attachmentreading.h"
#include "storage/register/attachments.h"
#include "storage/db/connection.h"
#include "storage/register/grouporders.h"
#include "storage/register/orders.h"
#include "storage/register/recount.h"
#include "storage/register/roster.h"
#include "storage/history/historytable.h"
#include "storage/db/sql.h"
#include "storage/setup/schema.h"
#include "storage/copies/servercopy.h"
#include "storage/register/servicemen.h"
#include "storage/db/transaction.h"
#include "windows/addcombat.h"
#include "windows/history.h"
#include "windows/mainwindow.h"
#include "windows/vestable.h"
#include "windows/voenosluga.h"
#include "storage/db/errors.h"
#include "storage/db/query.h"
#include "storage/copies/serverbackup.h"
#include "storage/db/serverconnection.h"
#include "view/application.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QLabel>
#include <QProcess>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

#include <atomic>
#include <thread>

using namespace TestSupport;

namespace {

const char CLERK[] = "server-test";

QStringList texts(const QTableWidget *t)
{
    QStringList out;
    for (int r = 0; r < t->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < t->columnCount(); ++c)
            cells << (t->item(r, c) ? t->item(r, c)->text() : QString());
        out << cells.join('|');
    }
    return out;
}

QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void trigger(QObject &w, const char *action)
{
    child<QAction>(&w, action)->trigger();
}

// Saves the serviceman form, answering the question and then `then`.
void save(addCombat &form, ModalAnswerer &answerer, const char *then = nullptr)
{
    answerer.button("Так точно");
    if (then)
        answerer.button(then);
    child<QPushButton>(&form, "pushButton_2")->click();
}

// Gives a serviceman another personal number in his form, opened as the list
// window opens it.
void renumber(const QString &from, const QString &to, ModalAnswerer &answerer, const char *then = nullptr)
{
    const QStringList stored = rows("SELECT VP, Dol, VZ, FIO, Data_comb FROM Combat WHERE LN = ?", {from}).value(0);
    addCombat form(stored.value(0), stored.value(1), stored.value(2), stored.value(3), stored.value(4), true,
                   from, nullptr);
    child<QLineEdit>(&form, "lineEdit_LN")->setText(to);
    save(form, answerer, then);
}

bool openssl(const QStringList &arguments)
{
    QProcess p;
    p.start("openssl", arguments);
    return p.waitForFinished(60000) && p.exitCode() == 0;
}

// A certificate authority in `dir`: name.key and name.crt.
bool makeAuthority(const QString &dir, const QString &name)
{
    return openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-keyout", dir + "/" + name + ".key", "-out", dir + "/" + name + ".crt", "-days", "2",
                    "-subj", "/CN=" + name});
}

} // namespace

class TestServer : public QObject
{
    Q_OBJECT

    PgServer *pg = nullptr;

    // The current folder's settings.ini names a new server database, made by
    // the verification; the test's statements go to it.
    QString freshServer(bool verify = true)
    {
        return useNewServerDatabase(*pg, CLERK, verify);
    }

private slots:
    void initTestCase()
    {
        TestSupport::initTestCase();
        QStandardPaths::setTestModeEnabled(true);
        pg = new PgServer;
        if (!pg->running())
            QSKIP(qPrintable(pg->missing()));
    }
    void cleanupTestCase() { delete pg; }
    void init() { failOnSlotWarnings(); }
    void cleanup() { useTestConnection(QString()); }

    // "--ver" against the server: the six tables with the reference lists,
    // undeclared columns and tables dropped, and nothing at all changed by a
    // broken descriptor; a database without tables points to "--ver".
    void verification()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        freshServer(false);
        {
            ModalAnswerer answerer;
            answerer.button("OK");
            MainWindow w;
            QVERIFY(answerer.seen().value(0).text.contains("--ver"));
        }
        Function::ver();
        const QString tables =
            "SELECT string_agg(table_name, ' ' ORDER BY table_name) FROM information_schema.tables "
            "WHERE table_schema = 'public'";
        QCOMPARE(value(tables), QString("combat emploeses files history kopii prikaz ranks"));
        QCOMPARE(value("SELECT count(*) FROM Ranks"), QString("20"));
        QCOMPARE(
            value("SELECT is_identity FROM information_schema.columns WHERE table_name = 'emploeses' AND "
                  "column_name = 'id'"),
            QString("YES"));
        QVERIFY(exec("ALTER TABLE Combat ADD COLUMN Extra TEXT"));
        QVERIFY(exec("CREATE TABLE Roster (a TEXT)"));
        dir.writeFile("settingstab-postgresql.conf", "<tables><Combat");
        {
            // The broken table descriptor, then the column dropped after a
            // copy, which the main window tells.
            ModalAnswerer answerer;
            answerer.button("OK");
            QVERIFY(Application::verificationNotes(Function::ver()).join(' ').contains("столбец combat.extra"));
            QVERIFY(answerer.done());
            QVERIFY(answerer.unexpected().isEmpty());
        }
        QVERIFY(value(tables).contains("roster"));
        QFile::remove("settingstab-postgresql.conf");
        QFile::copy(VEDOMER_CONF_DIR "/settingstab-postgresql.conf", "settingstab-postgresql.conf");
        {
            // Before the first drop the register is copied into a file.
            ModalAnswerer answerer;
            QVERIFY(Application::verificationNotes(Function::ver()).join(' ').contains("BaseDate_before_ver_"));
            QVERIFY(answerer.unexpected().isEmpty());
        }
        // One copy before each run that dropped: the column then the table.
        QCOMPARE(QDir("data").entryList({"BaseDate_before_ver_*.db"}).size(), 2);
        QCOMPARE(value(tables), QString("combat emploeses files history kopii prikaz ranks"));
        QCOMPARE(value("SELECT count(*) FROM information_schema.columns WHERE column_name = 'extra'"),
                 QString("0"));
        QString log;
        QVERIFY(dir.readText("log", &log) && log.contains("Столбец extra таблицы combat удалён"));
        // The tables changed under an open copy: it says to start it again.
        MainWindow w;
        QVERIFY(exec("ALTER TABLE Combat DROP COLUMN posh"));
        ModalAnswerer answerer;
        answerer.button("Так точно").button("OK");
        trigger(w, "action_2");
        const QString told = child<QLabel>(&w, "label_2")->text();
        QVERIFY2(told.contains("изменены, пока программа была открыта"), qPrintable(told));
    }

    // The summary table, a search, the list window and the orders window show
    // the same rows in the same order from a file and from a server.
    void sameRowsOnBothKinds()
    {
        auto shown = [](bool server, PgServer *pg) {
            WorkDir dir;
            if (server)
                useNewServerDatabase(*pg, CLERK);
            const QStringList units{"10", "2", "а", "3б", "", "12а", "2", "1", "-4", "1.5", "Я"};
            for (int i = 0; i < units.size(); ++i)
                addServiceman(units[i], i % 2 ? QString("борисов %1").arg(i) : QString("Жуков %1").arg(i),
                              QString::number(i));
            for (const char *number : {"5", "6", "7", "8"}) {
                Order o;
                o.LN = "1";
                o.what = "vzs";
                o.prikaznom = number;
                o.Date_time = QString(number) == "7"   ? "03.03.2021"
                              : QString(number) == "8" ? ""
                                                       : "01.02.2020";
                addOrder(o);
            }
            // A changed row keeps its place among the orders of its date.
            exec("UPDATE prikaz SET actived_prikaz = '0' WHERE prikaznom = '5'");
            QStringList out;
            {
                MainWindow w;
                out << texts(summary(w));
                child<QLineEdit>(&w, "lineEdit")->setText("ОВ");
                child<QPushButton>(&w, "pushButton")->click();
                out << texts(summary(w));
                voenosluga list;
                out << texts(child<QTableWidget>(&list, "tableWidget"));
                OrdersWindow orders("1", "vzs");
                out << texts(orders.list());
            }
            useTestConnection(QString());
            return out;
        };
        const QStringList file = shown(false, pg);
        QCOMPARE(shown(true, pg), file);
    }

    // The server gives the roster unordered and the program orders it as the
    // file's ORDER BY does under SQLite's affinity: the order the server
    // itself gives on those keys, texts and missing values included.
    void ordersRosterAsTheFile()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        freshServer();
        const QStringList units{"10", "2", "а", " 12 ", "1e1", "010", ".5", "5.", "+3", "-0", "1e99999", "١٢",
                                "-4", "1.5", "", "Я", "0.50", "2", "1e-1", "ab"};
        int n = 0;
        for (const QString &unit : units)
            for (const char *number : {"NULL", "3", "1"})
                QVERIFY(exec(QString("INSERT INTO Combat (VP, FIO, LN, Dolz_nom, Zvan_nom) VALUES (?, ?, ?, %1, %2)")
                                 .arg(number, n % 3 ? "2" : "NULL"),
                             {unit, QString("Ёжиков %1").arg(n % 5 * 7 + n), QString::number(n)}) &&
                        ++n);
        QVERIFY(exec("INSERT INTO Combat (LN, FIO) VALUES ('a', 'б'), ('b', '𝔸'), ('c', NULL), ('d', 'Ａ'), ('e', '')"));
        QList<QStringList> expected = rows(
            "SELECT LN, VP FROM Combat ORDER BY VP IS NULL DESC, VP ~ '^[[:space:]]*[+-]?([0-9]+([.][0-9]*)?|[.][0-9]+)"
            "([eE][+-]?[0-9]{1,4})?[[:space:]]*$' DESC, CASE WHEN VP ~ '^[[:space:]]*[+-]?([0-9]+([.][0-9]*)?|[.][0-9]+)"
            "([eE][+-]?[0-9]{1,4})?[[:space:]]*$' THEN CAST(VP AS numeric) END, CASE WHEN VP ~ '^[[:space:]]*[+-]?"
            "([0-9]+([.][0-9]*)?|[.][0-9]+)([eE][+-]?[0-9]{1,4})?[[:space:]]*$' THEN NULL ELSE VP END COLLATE \"C\", "
            "Dolz_nom NULLS FIRST, Zvan_nom NULLS FIRST, FIO COLLATE \"C\" NULLS FIRST, LN");
        std::vector<Roster::Row> reference;
        for (const QStringList &row : expected) {
            Roster::Row r;
            r[0] = row[1];
            r[5] = row[0];
            reference.push_back(r);
        }
        Roster::unitOrder(reference);
        QString where, reason;
        QVERIFY2(Connection::openChosen({}, &where, &reason), qPrintable(reason));
        QSqlError error;
        std::vector<Roster::Row> read = Roster::read(Sql::text(Sql::SELECT_SUMMARY), &error);
        QVERIFY(!error.isValid());
        QStringList got, want;
        for (size_t i = 0; i < read.size(); ++i) {
            got << read[i][0] + "/" + read[i][5];
            want << reference[i][0] + "/" + reference[i][5];
        }
        QCOMPARE(got, want);
    }

    // Counts left wrong are put right at start as on a file: penalties
    // while their flag reads as 1, the rest all; an empty count without
    // orders stays.
    void countsPutRightAtStart()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        freshServer();
        Serviceman s;
        s.FIO = "Громов";
        s.LN = "1";
        s.counts = QStringList{"5", QString(), "", "0", "2", "1"};
        QVERIFY(addServiceman(s) && addServiceman("2", "Новый", "2"));
        Order o;
        o.LN = "1";
        o.what = "vzs";
        for (const char *flag : {"1", " +01 ", "0", "1.0", "++1", ""}) {
            o.actived_prikaz = flag;
            QVERIFY(addOrder(o));
        }
        o.what = "gosnag";
        QVERIFY(addOrder(o) && addOrder(o));
        // The last run of this workstation left an orders window's change
        // not recounted.
        QVERIFY(QDir().mkpath("data"));
        QFile unsettled("data/BaseDate_counts_unsettled");
        QVERIFY(unsettled.open(QIODevice::WriteOnly));
        unsettled.close();
        {
            MainWindow w;
        }
        QCOMPARE(rows("SELECT vzs, blag, gr, ZOMO, gosnag, posh FROM Combat ORDER BY LN"),
                 (QList<QStringList>{{"2", "", "", "0", "2", "0"}, {"", "", "", "", "", ""}}));
        QCOMPARE(value("SELECT count(*) FROM Combat WHERE blag IS NULL"), QString("2"));
        QString log;
        QVERIFY(dir.readText("log", &log) && log.contains("у военнослужащих: 1 "));
    }

    // The history window reads the server's history: newest first, the
    // users' list, a filter.
    void historyWindow()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        freshServer();
        openProgramDatabase();
        QSqlError error;
        QVERIFY(History::ensureTable(testDb(), &error));
        for (const QStringList &e : {QStringList{"2025-05-01 09:00:00", "кадровик", "vzs"},
                                     QStringList{"2025-05-02 09:00:00", "clerk", "blag"}})
            QVERIFY(exec(Sql::INSERT_HISTORY, {e[0], e[1], "ПК", History::Action::ORDER_ADDED, "1", "Громов", e[2],
                                               "7", QString(), QString(), QString()}));
        HistoryWindow w;
        QCOMPARE(column(child<QTableWidget>(&w, "tableWidget"), 6), (QStringList{"Благодарности", "Взыскания"}));
        auto *who = child<QComboBox>(&w, "comboWho");
        QCOMPARE(who->count(), 3);
        who->setCurrentIndex(who->findText("кадровик"));
        QCOMPARE(column(child<QTableWidget>(&w, "tableWidget"), 1), QStringList{"кадровик"});
        who->setCurrentIndex(0);
        child<QLineEdit>(&w, "search")->setText("ГРОМ");
        QTRY_COMPARE(child<QTableWidget>(&w, "tableWidget")->rowCount(), 2);
        child<QLineEdit>(&w, "search")->setText("громова");
        QTRY_COMPARE(child<QTableWidget>(&w, "tableWidget")->rowCount(), 0);
    }

    // Servicemen and orders written through the windows, with texts that
    // need care; a changed personal number takes the orders and documents
    // along; counts are recounted from the orders.
    void windowsWrite()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        freshServer();
        openProgramDatabase();
        const QString odd = "О'Брайен %1 \\n " + QString(100000, QChar(u'щ'));
        ModalAnswerer answerer;
        {
            addCombat form(QString(), QString(), QString(), QString(), QString(), false, QString(), nullptr);
            child<QLineEdit>(&form, "lineEdit_VP")->setText("5'");
            child<QLineEdit>(&form, "lineEdit_LN")->setText("Л'1");
            child<QLineEdit>(&form, "lineEdit_FIO")->setText(odd.left(255)); // the longest name the form takes
            save(form, answerer);
        }
        QCOMPARE(rows("SELECT VP, FIO, Dolz_nom FROM Combat WHERE LN = 'Л''1'"),
                 (QList<QStringList>{{"5'", odd.left(255), "0"}}));
        {
            OrdersWindow w("Л'1", "vzs");
            int added = 0;
            for (const char *number : {"1", "2", "2"}) {
                w.at<QLineEdit>("lineEdit_2")->setText(number);
                w.at<QLineEdit>("lineEdit_4")->setText(odd);
                answerer.button("Так точно");
                if (added++ == 2)
                    answerer.button("Так точно"); // the number is taken: asked first
                w.at<QPushButton>("pushButton_7")->click();
            }
            exec("INSERT INTO Files (prikaznom, what, Giper, name_file, LN) VALUES ('2', 'vzs', 'files/a', "
                 "'a', 'Л''1')");
            clickCell(w.list(), 1); // one date: in the order they were added
            w.at<QLineEdit>("lineEdit_2")->setText("3");
            answerer.button("Так точно");
            w.at<QPushButton>("pushButton_4")->click();
            clickCell(w.list(), 0);
            w.at<QCheckBox>("checkBox")->setChecked(true);
            w.at<QLineEdit>("lineEdit_5")->setText("с\\1");
            answerer.button("Так точно");
            w.at<QPushButton>("pushButton_4")->click();
            clickCell(w.list(), 2); // the other "2", whose document the renumbered one got a copy of
            answerer.button("Так точно");
            w.at<QPushButton>("pushButton_6")->click();
        }
        QCOMPARE(
            rows("SELECT prikaznom, nameZO = ?, actived_prikaz, Nomer_snytie FROM prikaz ORDER BY id", {odd}),
            (QList<QStringList>{{"1", "true", "0", "с\\1"}, {"3", "true", "1", ""}}));
        QCOMPARE(rows("SELECT prikaznom FROM Files ORDER BY id"), (QList<QStringList>{{"2"}, {"3"}}));
        {
            MainWindow w;
            QVERIFY(exec("UPDATE Combat SET vzs = NULL")); // the start counted it
            w.recordfile("Л'1", "vzs");
        }
        QCOMPARE(value("SELECT vzs FROM Combat"), QString("1"));
        {
            // Opened with the serviceman as stored, as the list window opens it.
            const QStringList stored = rows("SELECT VP, Dol, VZ, FIO, Data_comb FROM Combat").value(0);
            addCombat form(stored.value(0), stored.value(1), stored.value(2), stored.value(3),
                           stored.value(4), true, "Л'1", nullptr);
            child<QLineEdit>(&form, "lineEdit_FIO")->setText("Ф");
            child<QLineEdit>(&form, "lineEdit_LN")->setText("Л2");
            save(form, answerer);
        }
        QCOMPARE(
            value("SELECT string_agg(DISTINCT LN, ',') FROM (SELECT LN FROM prikaz UNION ALL SELECT LN FROM "
                  "Files UNION ALL SELECT LN FROM Combat) x"),
            QString("Л2"));
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // Over a network every round trip costs: each write of the orders
    // window (with its list read again) and the form's save take at most
    // four, a row filter none, the start three beyond the connection, and a
    // backup and a restore a few, counted by a proxy between the program
    // and the server.
    void writesInFewRoundTrips()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        const QString name = freshServer();
        NetProxy proxy(pg->port());
        pg->allowPort(proxy.port());
        pg->pointSettingsAt(name, "clerk", proxy.port());
        openProgramDatabase();
        QVERIFY(exec("INSERT INTO Combat (LN, FIO) VALUES ('Л1', 'Ф')"));
        ModalAnswerer answerer;
        QStringList chatty;
        auto counted = [&](const char *what, QAbstractButton *button) {
            answerer.button("Так точно");
            proxy.resetRoundTrips();
            button->click();
            if (proxy.roundTrips() > 4)
                chatty << QString("%1: %2").arg(what).arg(proxy.roundTrips());
        };
        {
            OrdersWindow w("Л1", "vzs");
            w.at<QLineEdit>("lineEdit_2")->setText("1");
            counted("add", w.at<QPushButton>("pushButton_7"));
            clickCell(w.list(), 0);
            w.at<QLineEdit>("lineEdit_3")->setText("И");
            counted("change", w.at<QPushButton>("pushButton_4"));
            clickCell(w.list(), 0);
            w.at<QCheckBox>("checkBox")->setChecked(true);
            counted("lift", w.at<QPushButton>("pushButton_4"));
            QCOMPARE(rows("SELECT kemvidan, actived_prikaz FROM prikaz"), (QList<QStringList>{{"И", "0"}}));
            clickCell(w.list(), 0);
            counted("delete", w.at<QPushButton>("pushButton_6"));
        }
        {
            addCombat form(QString(), QString(), QString(), "Ф", QString(), true, "Л1", nullptr);
            child<QLineEdit>(&form, "lineEdit_FIO")->setText("Ф2");
            counted("save", child<QPushButton>(&form, "pushButton_2"));
        }
        {
            // A row filter chooses among the rows the fill read.
            MainWindow w;
            auto *units = child<QComboBox>(&w, "comboBox_2");
            proxy.resetRoundTrips();
            units->setCurrentIndex(1);
            emit units->activated(1);
            QCOMPARE(proxy.roundTrips(), 0);
            QCOMPARE(summary(w)->rowCount(), 1);
        }
        QCOMPARE(rows("SELECT FIO FROM Combat"), (QList<QStringList>{{"Ф2"}}));
        QCOMPARE(value("SELECT count(*) FROM prikaz"), QString("0"));
        // The start: beyond the connection with the driver's own statements,
        // one look at the database, the summary and the penalties.
        {
            QString reason;
            proxy.resetRoundTrips();
            QVERIFY2(Connection::openChosenServer("trips", &reason, {}), qPrintable(reason));
            const int connecting = proxy.roundTrips();
            // Closing a connection says goodbye to the server, which the
            // proxy counts on its own thread: it is let through first.
            QSqlDatabase::removeDatabase("trips");
            QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
            QTest::qWait(500);
            proxy.resetRoundTrips();
            MainWindow w;
            if (proxy.roundTrips() - connecting > 3)
                chatty << QString("start: %1 + %2").arg(connecting).arg(proxy.roundTrips() - connecting);
        }
        // A backup and a restore send the rows in large batches: a few round
        // trips whatever the register's size.
        exec("INSERT INTO Combat (LN, FIO) SELECT 'Н' || n, 'Ф ' || n FROM generate_series(1, 1500) n");
        exec("INSERT INTO prikaz (LN, what, prikaznom) SELECT 'Н' || (n % 1500 + 1), 'vzs', n FROM "
             "generate_series(1, 4000) n");
        exec("INSERT INTO Kopii (Giper, Soderz) SELECT 'files/d' || n, convert_to(repeat('д', 500), 'UTF8') "
             "FROM generate_series(1, 300) n");
        exec("INSERT INTO Files (prikaznom, what, Giper, name_file, LN) SELECT n, 'vzs', 'files/d' || n, 'd', "
             "'Н1' FROM generate_series(1, 300) n");
        QString failure;
        ServerCopy::Counts counts;
        proxy.resetRoundTrips();
        QVERIFY2(ServerCopy::backup("copy.db", &failure), qPrintable(failure));
        if (proxy.roundTrips() > 12)
            chatty << QString("backup: %1").arg(proxy.roundTrips());
        exec("DELETE FROM prikaz");
        proxy.resetRoundTrips();
        QVERIFY2(ServerCopy::restore("copy.db", &counts, &failure), qPrintable(failure));
        if (proxy.roundTrips() > 30)
            chatty << QString("restore: %1").arg(proxy.roundTrips());
        QCOMPARE(value("SELECT count(*) || ' ' || sum(length(Soderz)) FROM Kopii"), QString("300 300000"));
        QCOMPARE(counts.orders, 4000);
        QCOMPARE(chatty.join("; "), QString());
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // A group order with a document, the lifting of its penalties by one
    // order and the change of all its rows: each at most four round trips
    // for 60 servicemen, with the entries of every row and one of the group.
    // The document is one row of Kopii until its last attachment goes.
    void groupWritesInFewRoundTrips()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        const QString name = freshServer();
        NetProxy proxy(pg->port());
        pg->allowPort(proxy.port());
        pg->pointSettingsAt(name, "clerk", proxy.port());
        openProgramDatabase();
        QVERIFY(exec("INSERT INTO Combat (LN, FIO) SELECT 'Н' || n, 'Ф ' || n FROM generate_series(1, 60) n"));
        QStringList lns;
        for (int n = 1; n <= 60; ++n)
            lns << QString("Н%1").arg(n);
        dir.writeFile("in/a.pdf", "документ");
        GroupOrders::Document d;
        d.name = "a.pdf";
        QString failure;
        QVERIFY2(Attachments::store(dir.filePath("in/a.pdf"), d.name, &d.target, &d.fresh, &failure),
                 qPrintable(failure));
        QStringList chatty;
        const auto trips = [&](const char *what, GroupOrders::Outcome outcome) {
            QCOMPARE(outcome, GroupOrders::Outcome::Done);
            if (proxy.roundTrips() > 4)
                chatty << QString("%1: %2").arg(what).arg(proxy.roundTrips());
        };
        proxy.resetRoundTrips();
        trips("add", GroupOrders::add(lns, "vzs", {"09.05.2025", "7", "И", "Н", ""}, {d}).outcome);
        QVERIFY(Attachments::settle(d.target));
        std::vector<GroupOrders::Penalty> penalties;
        QSqlError error;
        QVERIFY(GroupOrders::penaltiesInForce(&penalties, &error));
        QCOMPARE(penalties.size(), size_t(60));
        QCOMPARE(value("SELECT string_agg(DISTINCT vzs, ',') FROM Combat"), QString("1"));
        proxy.resetRoundTrips();
        trips("lift", GroupOrders::lift(penalties, "10.05.2025", "8").outcome);
        QStringList ids;
        QVERIFY(GroupOrders::sameOrder("vzs", "7", "09.05.2025", &ids, &error));
        QCOMPARE(ids.size(), 60);
        proxy.resetRoundTrips();
        trips("change", GroupOrders::changeAll("vzs", "7", "09.05.2025", ids, {"09.05.2025", "9", "И", "Н", ""})
                            .outcome);
        QCOMPARE(chatty.join("; "), QString());
        QCOMPARE(value("SELECT count(*) || ' ' || string_agg(DISTINCT prikaznom || actived_prikaz || Nomer_snytie, "
                       "',') FROM prikaz"),
                 QString("60 908"));
        QCOMPARE(value("SELECT string_agg(DISTINCT vzs, ',') FROM Combat"), QString("0"));
        QCOMPARE(rows("SELECT action, count(*) FROM history WHERE action NOT LIKE 'serviceman%' GROUP BY action "
                      "ORDER BY action"),
                 // The documents' rows follow the new number: an entry each.
                 (QList<QStringList>{{"document_attached", "120"},
                                     {"group_lifted", "1"},
                                     {"group_order_added", "1"},
                                     {"group_order_changed", "1"},
                                     {"order_added", "60"},
                                     {"order_changed", "60"},
                                     {"order_lifted", "180"}}));
        QCOMPARE(value("SELECT count(*) || ' ' || count(DISTINCT Giper) || ' ' || min(prikaznom) FROM Files"),
                 QString("60 1 9"));
        QSet<QString> copies;
        QCOMPARE(Orders::detach("Н1", "vzs", "9", "a.pdf", &copies).outcome, Orders::Outcome::Done);
        QString file;
        QVERIFY2(Attachments::localCopy(d.target, &file, &failure), qPrintable(failure));
        QCOMPARE(fileContent(file), QByteArray("документ"));
        QVERIFY(exec("DELETE FROM Files WHERE LN <> 'Н2'"));
        QCOMPARE(Orders::detach("Н2", "vzs", "9", "a.pdf", &copies).outcome, Orders::Outcome::Done);
        QCOMPARE(value("SELECT count(*) FROM Kopii"), QString("0"));
    }

    // Behind a connection whose server reads a backslash in a quoted text as
    // an escape (standard_conforming_strings off, as a pooler that drops the
    // start-up option leaves it), the orders window's and the form's writes
    // store hostile texts byte for byte and the recount counts them; a
    // statement that would read otherwise is not sent, and says why. A NUL
    // is named by its field before anything is written.
    void valuesApartFromText()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        freshServer();
        QVERIFY(openProgramDb());
        QVERIFY(Function::Myquery("SET standard_conforming_strings = off").isActive());
        const QString ln = "Л\\'1";
        const QString hostile = "x\\''; SELECT 'injected";
        QVERIFY(exec("INSERT INTO Combat (LN, FIO) VALUES (?, 'Ф')", {ln}));
        QCOMPARE(Orders::add(ln, "vzs", {"01.02.2020", "1", hostile, hostile, ""}).outcome,
                 Orders::Outcome::Done);
        QSqlError error;
        QCOMPARE(Recount::category(ln, "vzs", &error), Recount::Result::Done);
        Servicemen::Entry entry;
        entry.fields = {"", "", "", hostile, "", ln};
        QCOMPARE(Servicemen::change(ln, {"", "", "", "Ф", "", ln}, entry, &error),
                 Servicemen::Outcome::Saved);
        QCOMPARE(rows("SELECT c.FIO, c.vzs, p.kemvidan, p.nameZO FROM Combat c JOIN prikaz p USING (LN)"),
                 (QList<QStringList>{{hostile, "1", hostile, hostile}}));
        entry.fields = {"", "", "", "Б\\", "", "2"};
        QCOMPARE(Servicemen::add(entry, &error), Servicemen::Outcome::Failed);
        QVERIFY2(Errors::describe(error).contains("standard_conforming_strings"),
                 qPrintable(Errors::describe(error)));
        QCOMPARE(value("SELECT count(*) FROM Combat"), QString("1"));

        const QString nul = QString("Выговор") + QChar(0) + "!";
        QVERIFY(exec("INSERT INTO Combat (LN, FIO) VALUES ('5', 'Ф')"));
        ModalAnswerer answerer;
        {
            OrdersWindow w("5", "vzs");
            w.at<QLineEdit>("lineEdit_2")->setText("2");
            w.at<QLineEdit>("lineEdit_4")->setText(nul);
            answerer.button("Так точно");
            w.at<QPushButton>("pushButton_7")->click();
            QVERIFY2(w.status().contains("в поле «Наименование"), qPrintable(w.status()));
        }
        addCombat form(QString(), QString(), QString(), QString(), QString(), false, QString(), nullptr);
        child<QLineEdit>(&form, "lineEdit_LN")->setText("3");
        child<QLineEdit>(&form, "lineEdit_FIO")->setText(nul);
        save(form, answerer, "OK");
        QVERIFY2(answerer.seen().last().text.contains("в поле «ФИО»"),
                 qPrintable(answerer.seen().last().text));
        QCOMPARE(value("SELECT count(*) || ' ' || (SELECT count(*) FROM prikaz) FROM Combat"),
                 QString("2 1"));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // Rows sent by COPY (an import's) come back byte for byte whatever the
    // server reads in quoted texts: tabs, line breaks, backslashes, "\N"
    // as a text, an empty text apart from NULL. A NUL is not sent; a row
    // the server refuses fails the COPY alone, and the connection goes on.
    void copiesRowsByteForByte()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        freshServer();
        QVERIFY(openProgramDb());
        QVERIFY(Function::Myquery("SET standard_conforming_strings = off").isActive());
        const QString sql = "COPY Combat (LN, FIO, VP, Dolz_nom) FROM STDIN";
        const QStringList texts{"a\tb", "строка 1\nстрока 2\r", "C:\\N\\", "\\N", "'; DROP TABLE Combat; --"};
        Query::CopyRows copy;
        for (int i = 0; i < texts.size(); ++i)
            copy.add({QString::number(i), texts.at(i), i == 0 ? QVariant() : QVariant(QString("")), i});
        QVERIFY(Query::copy(sql, copy).isActive());
        QCOMPARE(rows("SELECT FIO, coalesce(VP, 'NULL'), Dolz_nom FROM Combat ORDER BY LN"),
                 (QList<QStringList>{{texts.at(0), "NULL", "0"}, {texts.at(1), "", "1"}, {texts.at(2), "", "2"},
                                     {texts.at(3), "", "3"}, {texts.at(4), "", "4"}}));

        Query::CopyRows nul;
        nul.add({"9", QString("x") + QChar(0)});
        QCOMPARE(Query::copy(sql, nul).lastError().nativeErrorCode(), QString("22021"));
        Query::CopyRows refused;
        refused.add({"10", "Ф", "", "не число"});
        QCOMPARE(Query::copy(sql, refused).lastError().nativeErrorCode(), QString("22P02"));
        QCOMPARE(value("SELECT count(*) FROM Combat"), QString("5"));
    }

    // A document is kept in the database, opened from the user's cache
    // folder, and goes with its last attachment.
    void documents()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        freshServer();
        addServiceman("1", "Первый", "1");
        Order o;
        o.LN = "1";
        o.what = "blag";
        for (const char *number : {"1", "2"}) {
            o.prikaznom = number;
            addOrder(o);
        }
        dir.writeFile("in/a.txt", "первый");
        dir.writeFile("other/a.txt", "второй");
        OrdersWindow w("1", "blag");
        ModalAnswerer answerer;
        auto *tabs = w.at<QTabWidget>("tabWidget");
        for (int row : {0, 1}) {
            tabs->setCurrentIndex(0);
            clickCell(w.list(), row);
            tabs->setCurrentIndex(1);
            answerer.file(dir.filePath(row ? "other/a.txt" : "in/a.txt"));
            w.at<QPushButton>("pushButton")->click();
        }
        QCOMPARE(rows("SELECT Giper, convert_from(Soderz, 'UTF8') FROM Kopii ORDER BY Giper"),
                 (QList<QStringList>{{"files/a (2).txt", "второй"}, {"files/a.txt", "первый"}}));
        QVERIFY(!QFile::exists("files/a.txt"));
        UrlCatcher catcher;
        doubleClickCell(w.files(), 0);
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(read(catcher.urls[0].toLocalFile()), QByteArray("второй"));
        QVERIFY(catcher.urls[0].toLocalFile().startsWith(
            QStandardPaths::writableLocation(QStandardPaths::CacheLocation)));
        // The cache folder is the user's alone (one an earlier version left
        // open too), and a copy that no record names goes.
        const QString cached = catcher.urls[0].toLocalFile();
        const QString server = QFileInfo(QFileInfo(cached).absolutePath()).absolutePath();
        QVERIFY(
            QFile::setPermissions(server, QFile::permissions(server) | QFile::ReadOther | QFile::ExeOther));
        QFile stale(server + "/files/gone.txt");
        QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("ушедший") > 0);
        stale.close();
        doubleClickCell(w.files(), 0);
        QVERIFY(!stale.exists() && QFile::exists(cached));
        QCOMPARE(QFile::permissions(server) & (QFile::ReadOther | QFile::ExeOther), QFile::Permissions());
        clickCell(w.files(), 0);
        answerer.button("Так точно");
        w.at<QPushButton>("pushButton_2")->click();
        QCOMPARE(value("SELECT string_agg(Giper, ',') FROM Kopii"), QString("files/a.txt"));
        // A name an attachment refers to stays taken when its content is gone.
        exec("DELETE FROM Kopii");
        dir.writeFile("third/a.txt", "третий");
        answerer.file(dir.filePath("third/a.txt"));
        w.at<QPushButton>("pushButton")->click();
        QCOMPARE(value("SELECT string_agg(Giper, ',') FROM Kopii"), QString("files/a (2).txt"));
        // An attachment that met another clerk's write at the same moment is
        // recorded on the second try, without a word to the user.
        QVERIFY(exec("CREATE SEQUENCE file_tries; CREATE FUNCTION file_conflict() RETURNS trigger AS $$ BEGIN IF "
                     "nextval('file_tries') = 1 THEN RAISE EXCEPTION 'conflict' USING ERRCODE = '40001'; END IF; "
                     "RETURN NEW; END $$ LANGUAGE plpgsql; CREATE TRIGGER fc BEFORE INSERT ON Files FOR EACH ROW "
                     "EXECUTE FUNCTION file_conflict()"));
        dir.writeFile("fourth/b.txt", "четвёртый");
        answerer.file(dir.filePath("fourth/b.txt"));
        w.at<QPushButton>("pushButton")->click();
        QCOMPARE(value("SELECT count(*) FROM Files WHERE name_file = 'b.txt'"), QString("1"));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // A backup of the server is an SQLite file that the SQLite mode opens as
    // it is, documents included; restoring it replaces the server's data (and
    // a file the server cannot take changes nothing); an SQLite register with
    // its documents moves onto an empty server database only.
    void backupRestoreAndTransfer()
    {
        WorkDir dir;
        addServiceman("3", "Файлов Ф.", "77");
        Order o;
        o.LN = "77";
        o.what = "blag";
        o.prikaznom = "1";
        addOrder(o);
        dir.writeFile("files/p.pdf", "PDF");
        exec("INSERT INTO Files VALUES ('1', 'blag', 'files/p.pdf', 'p.pdf', '77')");
        const QString file = dir.filePath("data/BaseDate.db");
        freshServer();
        ModalAnswerer answerer;
        {
            MainWindow w;
            answerer.button("Так точно").file(file).button("OK");
            trigger(w, "action_21");
            QVERIFY2(
                answerer.seen().last().text.contains("военнослужащих 1, приказов 1, прикреплённых файлов 1"),
                qPrintable(answerer.seen().last().text));
            answerer.button("Так точно").file(file).button("OK");
            trigger(w, "action_21");
            QVERIFY(answerer.seen().last().text.contains("только в пустую базу"));
            QCOMPARE(value("SELECT convert_from(Soderz, 'UTF8') FROM Kopii"), QString("PDF"));

            // Hundreds of documents: every one goes into the backup.
            exec("INSERT INTO Kopii (Giper, Soderz) SELECT 'files/d' || n || '.txt', "
                 "convert_to('документ ' || n, 'UTF8') FROM generate_series(1, 350) n");
            answerer.button("Так точно").button("OK");
            trigger(w, "action");
            QCOMPARE(answerer.seen().last().text, QString("Резервная копия создана"));
            const QStringList made = QDir("data").entryList({"BaseDate2*.db"});
            QCOMPARE(made.size(), 1);
            const QString backup = dir.filePath("data/" + made[0]);
            QCOMPARE(readColumn(backup, "SELECT count(*) || ' ' || sum(length(Soderz)) FROM Kopii"),
                     QStringList{value("SELECT count(*) || ' ' || sum(length(Soderz)) FROM Kopii")});
            exec("DELETE FROM Combat");
            exec("UPDATE Ranks SET Rank = 'Х' WHERE id = 1");
            answerer.button("Так точно").file(backup).button("OK");
            trigger(w, "action_9");
            QCOMPARE(answerer.seen().last().text, QString("База восстановлена"));
            QCOMPARE(summary(w)->rowCount(), 1);
            QCOMPARE(value("SELECT Rank FROM Ranks WHERE id = 1"), QString("Маршал Российской Федерации"));
            // The daily copy is made the same way, through a connection of its own.
            w.backupDaily();
            QVERIFY(QTest::qWaitFor([&w] { return !w.dailyCopyRunning(); }));
            const QStringList daily = QDir("data").entryList({"BaseDate_auto_*.db"});
            QCOMPARE(daily.size(), 1);
            QCOMPARE(readColumn("data/" + daily[0], "SELECT FIO FROM Combat"), QStringList{"Файлов Ф."});
            QCOMPARE(readColumn("data/" + daily[0], "SELECT count(*) FROM Kopii"),
                     QStringList{value("SELECT count(*) FROM Kopii")});

            // A file whose position number is no number: the server refuses it whole.
            {
                QSqlDatabase broken = QSqlDatabase::addDatabase("QSQLITE", "broken");
                broken.setDatabaseName(backup);
                QVERIFY(broken.open() && QSqlQuery(broken).exec("UPDATE Combat SET Dolz_nom = 'abc'"));
                broken.close();
            }
            QSqlDatabase::removeDatabase("broken");
            answerer.button("Так точно").file(backup).button("OK");
            trigger(w, "action_9");
            QVERIFY(answerer.seen().last().text.contains("Данные на сервере не изменены"));
            QCOMPARE(value("SELECT Dolz_nom FROM Combat"), QString("13"));
        }
        // The SQLite mode opens a copy of the server (the one the restore
        // kept of what it replaced) as it is, its documents too.
        useTestConnection(QString());
        QSettings("settings.ini", QSettings::IniFormat).setValue("Database/kind", "sqlite");
        QFile::remove("files/p.pdf");
        QFile::remove("data/BaseDate.db");
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
        QVERIFY(QFile::copy("data/BaseDate_old.db", "data/BaseDate.db"));
        // The verification keeps the copies of the documents.
        QVERIFY(Schema::verify("data/BaseDate.db", "settingstab.conf", "settings.conf").droppedTables.isEmpty());
        OrdersWindow orders("77", "blag");
        clickCell(orders.list(), 0);
        orders.at<QTabWidget>("tabWidget")->setCurrentIndex(1);
        UrlCatcher catcher;
        doubleClickCell(orders.files(), 0);
        QCOMPARE(read("files/p.pdf"), QByteArray("PDF"));
        QCOMPARE(catcher.urls.size(), 1);
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // "Перенести базу на сервер" into a database without tables, as a new
    // user does it: the tables are made and every row moved, and the window
    // then shows them; a user who may not make the tables is told so before
    // anything is asked.
    void transferIntoEmptyDatabase()
    {
        WorkDir dir;
        for (int i = 1; i <= 3; ++i)
            QVERIFY(addServiceman("1", QString("Военнослужащий %1").arg(i), QString::number(i)));
        Order o;
        o.LN = "2";
        for (const char *what : {"vzs", "blag", "gr"}) {
            o.what = what;
            QVERIFY(addOrder(o));
        }
        QVERIFY(exec("INSERT INTO Files VALUES ('1', 'blag', 'files/p.pdf', 'p.pdf', '2')"));
        dir.writeFile("files/p.pdf", "PDF");
        // The file's history comes along as it is: when, who, where, what.
        QSqlError historyError;
        QVERIFY(History::ensureTable(testDb(), &historyError));
        for (int i = 1; i <= 7; ++i)
            QVERIFY(exec(QString::fromLatin1(Sql::INSERT_HISTORY),
                         {QString("2025-01-0%1 10:00:00").arg(i), "kadrovik", "ПК-1", "order_changed", "2",
                          "Военнослужащий 2", "vzs", QString::number(i), "nameZO", "Выговор", QString()}));
        const QString entries =
            "SELECT at, who, workstation, action, LN, FIO, what, prikaznom, field, old_value, new_value FROM "
            "history ORDER BY id";
        const QList<QStringList> fileHistory = rows(entries);
        const QString file = dir.filePath("data/BaseDate.db");
        const QStringList tables{"Combat", "prikaz", "Files", "Ranks", "Emploeses"};
        QStringList counts;
        for (const QString &table : tables)
            counts << readColumn(file, "SELECT count(*) FROM " + table);
        const QString name = pg->createDatabase();
        ModalAnswerer answerer;
        pg->pointSettingsAt(name, "reader");
        {
            answerer.button("OK").button("OK");
            MainWindow w;
            trigger(w, "action_21");
            QVERIFY2(answerer.seen().last().text.contains("у пользователя «reader» нет права их создавать"),
                     qPrintable(answerer.seen().last().text));
        }
        pg->pointSettingsAt(name);
        answerer.button("OK");
        MainWindow w;
        QVERIFY(answerer.seen().last().text.contains("нет ни одной таблицы"));
        QVERIFY(answerer.seen().last().text.contains("«Перенести базу на сервер»"));
        QSqlDatabase::removeDatabase(CLERK);
        pg->connect(CLERK, name);
        useTestConnection(CLERK);
        {
            // Stopped from its progress box, it leaves not even the tables.
            ServerCopy::Counts stopped;
            QString error;
            QSqlDatabase::database().open();
            QVERIFY(!ServerCopy::transfer(file, &stopped, &error,
                                          [](int, int, const QString &) { return false; }));
            QVERIFY(stopped.cancelled);
            QCOMPARE(value("SELECT count(*) FROM pg_tables WHERE schemaname = 'public'"), QString("0"));
            QSqlDatabase::database().close();
        }
        answerer.button("Так точно").file(file).button("OK");
        trigger(w, "action_21");
        QVERIFY2(answerer.seen().last().text.contains(
                     "военнослужащих 3, приказов 3, прикреплённых файлов 1, записей истории изменений 7."),
                 qPrintable(answerer.seen().last().text));
        QCOMPARE(rows(entries + " LIMIT 7"), fileHistory);
        QCOMPARE(rows("SELECT count(*), max(action) FROM history WHERE id > 7"),
                 (QList<QStringList>{{"1", "transfer"}}));
        // The move made the server's history whole: its triggers write on.
        QVERIFY(exec("UPDATE Combat SET FIO = 'Новиков' WHERE LN = '1'"));
        QCOMPARE(value("SELECT new_value FROM history WHERE field = 'FIO'"), QString("Новиков"));
        for (int i = 0; i < tables.size(); ++i)
            QCOMPARE(value("SELECT count(*) FROM " + tables[i]), counts[i]);
        QCOMPARE(value("SELECT convert_from(Soderz, 'UTF8') FROM Kopii"), QString("PDF"));
        QCOMPARE(summary(w)->rowCount(), 3);
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // Several clerks: others' changes show on "Обновить"; a record deleted
    // meanwhile is not found; a transaction that meets another's change is
    // tried once more, and a second failure is told.
    void severalClerks()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        freshServer();
        addServiceman("1", "Первый", "1");
        Order o;
        o.LN = "1";
        o.what = "gr";
        o.prikaznom = "9";
        addOrder(o);
        ModalAnswerer answerer;
        MainWindow w;
        addServiceman("2", "Второй", "2"); // another clerk
        answerer.button("Так точно").button("OK");
        trigger(w, "action_2");
        QCOMPARE(summary(w)->rowCount(), 2);
        {
            OrdersWindow orders("1", "gr");
            clickCell(orders.list(), 0);
            exec("DELETE FROM prikaz");
            answerer.button("Так точно").button("OK");
            orders.at<QPushButton>("pushButton_4")->click();
            QVERIFY(answerer.seen().last().text.contains("изменил или удалил другой пользователь"));
        }
        addOrder(o);
        QVERIFY(exec(
            "CREATE SEQUENCE tries; CREATE TABLE conflicts (n int); INSERT INTO conflicts VALUES (1); "
            "CREATE FUNCTION conflict() RETURNS trigger AS $$ BEGIN IF nextval('tries') <= (SELECT n FROM "
            "conflicts) THEN RAISE EXCEPTION 'conflict' USING ERRCODE = '40001'; END IF; RETURN NEW; END "
            "$$ LANGUAGE plpgsql; CREATE TRIGGER c BEFORE UPDATE ON Combat FOR EACH ROW EXECUTE FUNCTION "
            "conflict()"));
        auto moveTo = [&](const QString &from, const QString &to, const char *then = nullptr) {
            renumber(from, to, answerer, then);
        };
        moveTo("1", "11");
        QCOMPARE(value("SELECT LN FROM prikaz UNION ALL SELECT LN FROM Combat WHERE VP = '1'"),
                 QString("11"));
        exec("ALTER SEQUENCE tries RESTART; UPDATE conflicts SET n = 2");
        moveTo("11", "12", "OK");
        QVERIFY(answerer.seen().last().text.contains("одновременно изменил другой пользователь"));
        QCOMPARE(value("SELECT count(*) FROM prikaz WHERE LN = '11'"), QString("1"));
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // A recount that waited for another clerk's write of the serviceman's
    // orders counts his order too.
    void recountAfterAnotherClerksWrite()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        const QString name = freshServer();
        addServiceman("1", "Первый", "1");
        QString where, reason;
        QVERIFY2(Connection::openChosen({}, &where, &reason), qPrintable(reason));
        std::atomic<bool> holding{false};
        std::thread other([&] {
            QSqlQuery(pg->connect("other", name)).exec("BEGIN; SELECT 1 FROM Combat WHERE LN = '1' FOR SHARE; "
                                                     "INSERT INTO prikaz (LN, what) VALUES ('1', 'blag')");
            holding = true;
            QThread::msleep(1000);
            QSqlQuery(QSqlDatabase::database("other")).exec("COMMIT");
            QSqlDatabase::removeDatabase("other");
        });
        while (!holding)
            QThread::msleep(10);
        QSqlError error;
        const Recount::Result counted = Recount::category("1", "blag", &error);
        other.join();
        QCOMPARE(counted, Recount::Result::Done);
        QCOMPARE(value("SELECT blag FROM Combat"), QString("1"));
    }

    // A connection that breaks inside a transaction fails the whole write:
    // the server undoes what came before the break, no later statement of
    // it runs on a new connection, its COMMIT fails and says why, and the
    // next command connects again.
    void connectionLostInTransaction()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        freshServer();
        QString where, reason;
        QVERIFY2(Connection::openChosen({}, &where, &reason), qPrintable(reason));
        QSqlQuery pid = Function::Myquery("SELECT pg_backend_pid()");
        QVERIFY(pid.next());
        const QString backend = pid.value(0).toString();
        pid = QSqlQuery();
        auto insert = [](const char *rank) {
            return Function::Myquery("INSERT INTO Ranks (Rank) VALUES (?)", QVariantList{QString(rank)}).isActive();
        };
        {
            Transaction transaction;
            QSqlError error;
            QVERIFY(transaction.begin(&error));
            QVERIFY(insert("до обрыва"));
            QVERIFY(exec("SELECT pg_terminate_backend(?::int)", {backend}));
            QTRY_COMPARE(value("SELECT count(*) FROM pg_stat_activity WHERE pid = ?::int", {backend}),
                         QString("0"));
            QVERIFY(!insert("при обрыве"));
            // A write that goes on past a failed statement writes nothing more.
            QVERIFY(!insert("после обрыва"));
            QVERIFY(!transaction.commit(&error));
            const QString reason = Errors::describe(error);
            QVERIFY2(reason.contains("прервалась посреди записи, из неё ничего не сохранено"), qPrintable(reason));
        }
        QCOMPARE(value("SELECT count(*) FROM Ranks WHERE Rank LIKE '%обрыв%'"), QString("0"));
        QVERIFY(insert("потом"));
        QCOMPARE(value("SELECT count(*) FROM Ranks WHERE Rank = 'потом'"), QString("1"));
    }

    // Through a network that fails: a cable pulled in the middle of a write
    // fails the write whole and says why, and the next command connects
    // again; a server that stops answering is told within seconds.
    void droppedConnection()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        const QString name = freshServer();
        addServiceman("1", "Первый", "1");
        Order o;
        o.LN = "1";
        o.what = "vzs";
        addOrder(o);
        // The orders' move waits on the server while the cable is pulled.
        QVERIFY(exec("CREATE FUNCTION slow() RETURNS trigger AS $$ BEGIN PERFORM pg_sleep(1); RETURN NEW; END $$ "
                     "LANGUAGE plpgsql; CREATE TRIGGER s BEFORE UPDATE ON prikaz FOR EACH ROW EXECUTE FUNCTION "
                     "slow()"));
        NetProxy proxy(pg->port());
        pg->allowPort(proxy.port());
        pg->pointSettingsAt(name, "clerk", proxy.port());
        ModalAnswerer answerer;
        MainWindow w;
        std::thread cutter([&proxy] {
            QThread::msleep(500);
            proxy.cut();
        });
        renumber("1", "2", answerer, "OK");
        cutter.join();
        // The renumbering is one statement on a server, committed by itself:
        // the break leaves it done whole or not at all, and the clerk is told
        // first that which of the two is not known.
        QVERIFY2(answerer.seen().last().text.startsWith("Неизвестно, сохранена ли запись: связь с сервером"),
                 qPrintable(answerer.seen().last().text));
        // The server ends the statement it was running on its own time.
        QTRY_COMPARE_WITH_TIMEOUT(value("SELECT count(*) FROM pg_stat_activity WHERE query LIKE 'WITH man%' AND "
                                        "state = 'active'"),
                                  QString("0"), 10000);
        const QString after =
            value("SELECT string_agg(LN, ',') FROM (SELECT LN FROM Combat UNION ALL SELECT LN FROM prikaz) x");
        QVERIFY2(after == "1,1" || after == "2,2", qPrintable(after));
        // The next command connects again and writes (a save of the same
        // number where the renumbering went through).
        renumber(after == "1,1" ? "1" : "2", "2", answerer);
        QCOMPARE(value("SELECT string_agg(LN, ',') FROM (SELECT LN FROM Combat UNION ALL SELECT LN FROM prikaz) x"),
                 QString("2,2"));

        proxy.setSilent(true);
        QElapsedTimer clock;
        clock.start();
        answerer.button("Так точно").button("OK");
        trigger(w, "action_2");
        QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(answerer.seen().last().text.contains("сервер базы данных не отвечает"),
                 qPrintable(answerer.seen().last().text));
        proxy.setSilent(false);
        answerer.button("Так точно").button("OK");
        trigger(w, "action_2");
        QVERIFY(answerer.seen().last().text.endsWith("Таблицы обновлены"));
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // A server that is busy past the watchdog's limit without a word (a write
    // waiting on a row another clerk holds in a long transaction) is waited
    // for: the write goes through and nothing is told.
    void busyServer()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        const QString name = freshServer();
        addServiceman("1", "Первый", "1");
        ModalAnswerer answerer;
        MainWindow w;
        std::thread holder([&] {
            QSqlQuery(pg->connect("holder", name))
                .exec("BEGIN; SELECT 1 FROM Combat WHERE LN = '1' FOR UPDATE; SELECT pg_sleep(12); COMMIT");
            QSqlDatabase::removeDatabase("holder");
        });
        const auto joined = qScopeGuard([&] { holder.join(); });
        QTRY_COMPARE(value("SELECT count(*) FROM pg_stat_activity WHERE wait_event = 'PgSleep' AND datname = "
                           "current_database()"),
                     QString("1"));
        renumber("1", "2", answerer);
        QCOMPARE(value("SELECT LN FROM Combat"), QString("2"));
        QVERIFY(answerer.done());
        QVERIFY2(answerer.unexpected().isEmpty(), qPrintable(answerer.unexpected().value(0).text));
    }

    // The encryption of the connection: a server that does not encrypt is
    // refused where the settings demand it and named in the status bar where
    // they do not; with the certificate checked, a certificate another
    // authority signed, or one given to another name than the one
    // connected to, is refused and told as such.
    void encryption()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        const QString name = freshServer();
        auto opened = [](const char *mode, const QString &ca = QString(), const char *host = "127.0.0.1") {
            {
                QSettings s("settings.ini", QSettings::IniFormat);
                s.setValue("Database/sslmode", mode);
                s.setValue("Database/sslrootcert", ca);
                s.setValue("Database/host", host);
            }
            QString where, reason;
            return Connection::openChosen({}, &where, &reason) ? QString("opened") : reason;
        };
        {
            MainWindow w;
            const auto *plain = w.findChild<QLabel *>("label_plain");
            QVERIFY(plain && plain->isVisibleTo(&w));
        }
        QVERIFY(opened("require").contains("сервер не шифрует соединения"));

        const QString certs = dir.filePath("certs");
        QVERIFY(QDir().mkpath(certs));
        dir.writeFile("certs/san.cnf", "subjectAltName = IP:127.0.0.1\n");
        QVERIFY(makeAuthority(certs, "ca") && makeAuthority(certs, "other"));
        QVERIFY(openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                         certs + "/server.key", "-out", certs + "/server.csr", "-subj", "/CN=127.0.0.1"}));
        QVERIFY(openssl({"x509", "-req", "-in", certs + "/server.csr", "-CA", certs + "/ca.crt", "-CAkey",
                         certs + "/ca.key", "-CAcreateserial", "-out", certs + "/server.crt", "-days", "2",
                         "-extfile", certs + "/san.cnf"}));
        QVERIFY(pg->useSsl(certs + "/server.crt", certs + "/server.key"));
        QCOMPARE(opened("verify-full", certs + "/ca.crt"), QString("opened"));
        QSqlQuery ssl = Function::Myquery("SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()");
        QVERIFY(ssl.next() && ssl.value(0).toBool());
        ssl = QSqlQuery();
        for (const QString &refused : {opened("verify-full", certs + "/other.crt"),
                                       opened("verify-full", certs + "/ca.crt", "localhost")})
            QVERIFY2(refused.contains("сертификат сервера не удалось подтвердить"), qPrintable(refused));
        {
            // At start the refusal is told without "--ver", which cannot help.
            ModalAnswerer answerer;
            answerer.button("OK");
            MainWindow w;
            const QString told = answerer.seen().value(0).text;
            QVERIFY2(told.contains("сертификат сервера не удалось подтвердить") && !told.contains("--ver"),
                     qPrintable(told));
        }
        QVERIFY(pg->useSsl(QString(), QString()));
    }

    // The administrator's script makes clerks and viewers (run before the
    // tables are made and again after): a viewer's program has every command
    // that writes disabled with the reason and says "Только просмотр", a
    // write forced through is refused as his lack of rights and changes
    // nothing; a clerk writes. Only the owner makes tables (in public, as
    // PostgreSQL 14 let everyone) and temporary tables; the history's events
    // are the clerks', a restore the administrators': a clerk's is refused
    // before anything is asked, an administrator's is one entry.
    void clerksAndViewers()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        const QString name = pg->createDatabase();
        const QString script = QStringLiteral(VEDOMER_CONF_DIR "/../scripts/server-roles.sql");
        QVERIFY(pg->admin("GRANT CREATE ON SCHEMA public TO PUBLIC", name));
        QVERIFY(pg->runScript(script, name));
        pg->pointSettingsAt(name);
        Function::ver();
        QVERIFY(pg->runScript(script, name));
        QVERIFY(pg->createUser("viewer1", "vedomer_viewers") && pg->createUser("clerk1", "vedomer_clerks") &&
                pg->createUser("admin1", "vedomer_admins"));
        QSqlDatabase::removeDatabase(CLERK);
        pg->connect(CLERK, name);
        useTestConnection(CLERK);
        QCOMPARE(value("SELECT concat_ws(' ', has_schema_privilege('public', 'public', 'CREATE'), "
                       "has_database_privilege('clerk1', current_database(), 'TEMPORARY'), "
                       "has_database_privilege('viewer1', current_database(), 'TEMPORARY'), "
                       "has_function_privilege('viewer1', 'history_event(text, text)', 'EXECUTE'), "
                       "has_function_privilege('clerk1', 'history_event(text, text)', 'EXECUTE'), "
                       "has_function_privilege('clerk1', 'history_restore(text, text)', 'EXECUTE'), "
                       "has_function_privilege('admin1', 'history_restore(text, text)', 'EXECUTE'), "
                       "has_function_privilege('viewer1', 'history_group(text, text, text, text)', 'EXECUTE'), "
                       "has_function_privilege('clerk1', 'history_group(text, text, text, text)', 'EXECUTE'))"),
                 QString("f f f f t f t f t"));
        QVERIFY(addServiceman("1", "Первый", "1"));
        const QString why = "Только просмотр: у пользователя «viewer1» нет права изменять базу данных";
        Servicemen::Entry entry;
        entry.fields = {"2", "", "", "Второй", "", "2"};
        pg->pointSettingsAt(name, "viewer1");
        {
            ModalAnswerer answerer;
            MainWindow w;
            QCOMPARE(summary(w)->rowCount(), 1);
            QVERIFY(child<QLabel>(&w, "label_readOnly")->isVisibleTo(&w));
            QList<QObject *> writes;
            for (const char *action : {"action_6", "action_9", "action_21"})
                writes << child<QAction>(&w, action);
            OrdersWindow orders("1", "vzs");
            for (const char *button :
                 {"pushButton_7", "pushButton_4", "pushButton_6", "pushButton", "pushButton_2"})
                writes << orders.at<QPushButton>(button);
            writes << orders.at<QAction>("action");
            addCombat form("1", "", "", "Первый", "", true, "1", nullptr);
            voenosluga list;
            vestable lists;
            writes << child<QPushButton>(&form, "pushButton_2") << child<QAction>(&list, "action_del")
                   << child<QPushButton>(&lists, "pushButton") << child<QPushButton>(&lists, "pushButton_2");
            for (QObject *o : std::as_const(writes)) {
                QVERIFY2(!o->property("enabled").toBool(), qPrintable(o->objectName()));
                QCOMPARE(o->property("toolTip").toString(), why);
            }
            QCOMPARE(child<QTableView>(&lists, "tableView")->editTriggers(),
                     QAbstractItemView::NoEditTriggers);
            // Forced through all the same, the server refuses and says why.
            QSqlError error;
            QCOMPARE(Servicemen::add(entry, &error), Servicemen::Outcome::Failed);
            QVERIFY2(Errors::describe(error).contains("у пользователя базы данных «viewer1» нет прав"),
                     qPrintable(Errors::describe(error)));
            QCOMPARE(Orders::add("1", "vzs", {"01.02.2020", "7", "", "Выговор", ""}).error.nativeErrorCode(),
                     QString("42501"));
            QVERIFY(answerer.unexpected().isEmpty());
        }
        QCOMPARE(value("SELECT (SELECT count(*) FROM Combat) || '/' || (SELECT count(*) FROM prikaz)"),
                 QString("1/0"));
        // Nor does "--ver" change a table for him.
        QVERIFY(Function::ver().refused.contains(why));
        pg->pointSettingsAt(name, "clerk1");
        MainWindow w;
        QVERIFY(!child<QLabel>(&w, "label_readOnly")->isVisibleTo(&w));
        QVERIFY(child<QAction>(&w, "action_6")->isEnabled());
        QSqlError error;
        QCOMPARE(Servicemen::add(entry, &error), Servicemen::Outcome::Saved);
        QCOMPARE(Orders::add("2", "vzs", {"01.02.2020", "7", "", "Выговор", ""}).outcome,
                 Orders::Outcome::Done);
        w.recordfile("2", "vzs");
        QCOMPARE(rows("SELECT LN, vzs FROM Combat ORDER BY LN"), (QList<QStringList>{{"1", ""}, {"2", "1"}}));

        ModalAnswerer answerer;
        answerer.button("OK");
        trigger(w, "action_9");
        QCOMPARE(answerer.seen().size(), 1);
        QVERIFY2(
            answerer.seen()[0].text.contains("может только её владелец или член группы vedomer_admins, а не "
                                             "пользователь «clerk1»"),
            qPrintable(answerer.seen()[0].text));
        pg->pointSettingsAt(name, "admin1");
        QVERIFY(openProgramDb());
        QString failure;
        QVERIFY2(ServerCopy::backup(dir.filePath("copy.db"), &failure), qPrintable(failure));
        QVERIFY(addServiceman("3", "Третий", "3"));
        const QString last = value("SELECT max(id) FROM history");
        ServerCopy::Counts counts;
        QVERIFY2(ServerCopy::restore(dir.filePath("copy.db"), &counts, &failure), qPrintable(failure));
        QCOMPARE(
            rows("SELECT who, action, old_value, new_value FROM history WHERE id > ?", {last.toInt()}),
            (QList<QStringList>{{"admin1", "restore",
                                 "было: военнослужащих 3, приказов 1, документов 0; стало: военнослужащих "
                                 "2, приказов 1, документов 0",
                                 dir.filePath("copy.db")}}));
    }

    // Ten clerks, each a process of its own, write at once on servicemen of
    // their own and on one they share (for VEDOMER_CLERKS_SECONDS, 10 by
    // default; the benchmark runs a minute): every write they were told of
    // is there, none is lost, every refusal was told with its reason, none
    // hangs, and the counts are the orders counted afresh.
    void tenClerksAtOnce()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        freshServer();
        const int seconds = qEnvironmentVariableIsSet("VEDOMER_CLERKS_SECONDS")
                                ? qEnvironmentVariableIntValue("VEDOMER_CLERKS_SECONDS")
                                : 10;
        const Clerks::Outcome out =
            Clerks::run(QCoreApplication::applicationFilePath(), testDb(), 10, seconds);
        QVERIFY2(out.problems.isEmpty(), qPrintable(out.problems.mid(0, 10).join('\n')));
        QVERIFY(out.written > 10 * seconds);
        qInfo("%d writes in %.1f s (%.0f a second), %d refused", out.written, out.seconds,
              out.written / out.seconds, out.refused);
        for (auto i = out.reasons.cbegin(); i != out.reasons.cend(); ++i)
            qInfo("%d × %s", i.value(), qPrintable(i.key()));
    }

    // A password asked at start and kept nowhere; a wrong one, a closed port,
    // a server stopped while the program runs and a user who may only read
    // are each told as "Ошибка" with the reason.
    void faults()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        const QString name = freshServer();
        addServiceman("1", "Первый", "1");
        pg->admin("CREATE ROLE asker LOGIN PASSWORD 'asker-secret'");
        pg->pointSettingsAt(name, "asker");
        ModalAnswerer answerer;
        answerer.custom([](QWidget *d) {
            d->findChild<QLineEdit *>()->setText("asker-secret");
            static_cast<QInputDialog *>(d)->accept();
        });
        {
            MainWindow w;
        }
        QVERIFY(answerer.done() && answerer.seen()[0].className == "QInputDialog");
        QVERIFY(answerer.unexpected().isEmpty());
        QString settings;
        QVERIFY(dir.readText("settings.ini", &settings) && !settings.contains("secret"));
        pg->admin("ALTER ROLE reader PASSWORD 'changed'");
        pg->pointSettingsAt(name, "reader");
        QSettings("settings.ini", QSettings::IniFormat).setValue("Database/port", pg->port() + 1);
        // A server that does not answer is told in Russian, named, with what
        // to check; libpq's words stay in the log.
        const QString noServer = QString("на сервере «127.0.0.1:%1»: сервер не отвечает").arg(pg->port() + 1);
        for (const QString &reason : {noServer, QString("password authentication failed")}) {
            answerer.button("OK");
            MainWindow w;
            const QString told = answerer.seen().last().text;
            QVERIFY2(told.contains(reason), qPrintable(told));
            QVERIFY2(reason != noServer || (told.contains("«Настройки»") && !told.contains("connect")),
                     qPrintable(told));
            QCOMPARE(summary(w)->rowCount(), 0);
            pg->pointSettingsAt(name, "reader");
        }
        QVERIFY(!QFile::exists("data/BaseDate.db"));
        pg->admin("ALTER ROLE reader PASSWORD 'reader-secret'");
        MainWindow w;
        QCOMPARE(summary(w)->rowCount(), 1);
        // A user who may only read saves nothing.
        addCombat form(QString(), QString(), QString(), QString(), QString(), false, QString(), nullptr);
        QVERIFY(!child<QPushButton>(&form, "pushButton_2")->isEnabled());
        QVERIFY(pg->stop());
        answerer.button("Так точно").button("OK");
        trigger(w, "action_2");
        QVERIFY(answerer.seen().last().text.contains("нет связи с сервером"));
        QVERIFY(pg->start());
        answerer.button("Так точно").button("OK");
        trigger(w, "action_2");
        // The connection the stopped server dropped is opened again.
        QVERIFY(answerer.seen().last().text.endsWith("Таблицы обновлены"));
        QCOMPARE(summary(w)->rowCount(), 1);
    }

    // On a server the database writes the history: a clerk who does not own
    // the register leaves his entries under his role and workstation, one per
    // changed column, and may read the history but not write, change or
    // delete it; his backup carries it and his restore is entered.
    void historyByTriggers()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        const QString name = pg->createDatabase();
        // A clerk as the group role of the server's rights makes him: every
        // right on what the owner makes later.
        QVERIFY(pg->admin("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'vedomer_clerks') THEN "
                          "CREATE ROLE vedomer_clerks NOLOGIN; END IF; END $$; CREATE ROLE clerk2 LOGIN PASSWORD "
                          "'clerk2-secret' IN ROLE vedomer_clerks; GRANT CONNECT ON DATABASE " +
                          name + " TO vedomer_clerks"));
        QVERIFY(pg->admin("GRANT USAGE ON SCHEMA public TO vedomer_clerks; ALTER DEFAULT PRIVILEGES FOR ROLE clerk "
                          "GRANT ALL ON TABLES TO vedomer_clerks; ALTER DEFAULT PRIVILEGES FOR ROLE clerk GRANT ALL "
                          "ON SEQUENCES TO vedomer_clerks", name));
        QFile passwords(qEnvironmentVariable("PGPASSFILE"));
        QVERIFY(passwords.open(QIODevice::Append));
        passwords.write("127.0.0.1:*:*:clerk2:clerk2-secret\n");
        passwords.close();
        pg->pointSettingsAt(name);
        Function::ver();
        pg->connect(CLERK, name);
        useTestConnection(CLERK);
        pg->pointSettingsAt(name, "clerk2");
        QVERIFY(openProgramDb());

        QSqlError error;
        TestSupport::changeEveryKind("Петров П.");
        if (QTest::currentTestFailed())
            return;
        // Neither a temporary table "history" of his own nor the restore's
        // setting keeps his changes out of the history.
        QVERIFY(
            Function::Myquery("CREATE TEMP TABLE history (id serial, at text, who text, workstation text, "
                              "action text, LN text, FIO text, what text, prikaznom text, field text, "
                              "old_value text, new_value text)")
                .isActive());
        QVERIFY(Function::Myquery("SELECT set_config('vedomer.restoring', 'on', false)").isActive());
        QVERIFY(Function::Myquery("UPDATE Ranks SET Rank = 'Маршал' WHERE id = 1").isActive());
        QVERIFY(Function::Myquery("DROP TABLE pg_temp.history").isActive());
        QVERIFY(Servicemen::remove("7", Servicemen::From::Summary, &error));

        const QString c = "clerk2";
        const QString p = "Петров П.";
        QCOMPARE(rows("SELECT action, LN, FIO, what, prikaznom, field, old_value, new_value, who FROM history "
                      "ORDER BY id"),
                 (QList<QStringList>{
                     {"serviceman_added", "7", p, "", "", "", "", "", c},
                     {"serviceman_changed", "7", p, "", "", "VZ", "Рядовой", "Ефрейтор", c},
                     {"order_added", "7", p, "vzs", "15", "", "", "", c},
                     {"order_changed", "7", p, "vzs", "16", "prikaznom", "15", "16", c},
                     {"order_lifted", "7", p, "vzs", "16", "actived_prikaz", "1", "0", c},
                     {"order_lifted", "7", p, "vzs", "16", "Nomer_snytie", "", "20", c},
                     {"order_lifted", "7", p, "vzs", "16", "Data_snytie", "", "01.03.2024", c},
                     {"document_attached", "7", p, "vzs", "16", "", "", "a.pdf", c},
                     {"document_detached", "7", p, "vzs", "16", "", "a.pdf", "", c},
                     {"order_deleted", "7", p, "vzs", "16", "Date_time", "01.02.2024", "", c},
                     {"order_deleted", "7", p, "vzs", "16", "nameZO", "Выговор", "", c},
                     {"reference_changed", "", "", "Ranks", "", "Rank", "Маршал Российской Федерации", "Маршал", c},
                     {"serviceman_deleted", "7", p, "", "", "", "", "", c},
                 }));
        QCOMPARE(value("SELECT DISTINCT workstation FROM history"), QSysInfo::machineHostName());
        for (const char *forged : {"INSERT INTO history (at, action) VALUES ('x', 'restore')",
                                   "UPDATE history SET who = 'x'", "DELETE FROM history"}) {
            const QSqlQuery refused = Function::Myquery(forged);
            QVERIFY(!refused.isActive());
            QCOMPARE(refused.lastError().nativeErrorCode(), QString("42501"));
        }
        QVERIFY(Function::Myquery("SELECT count(*) FROM history").isActive());
        // Events are entered by the clerks' group only.
        const QSqlQuery event =
            Function::Myquery("SELECT history_event('import', 'x')", pg->connect("stranger", name, "reader"));
        QCOMPARE(event.lastError().nativeErrorCode(), QString("42501"));

        QString failure;
        QVERIFY2(ServerCopy::backup(dir.filePath("copy.db"), &failure), qPrintable(failure));
        QCOMPARE(readColumn(dir.filePath("copy.db"), "SELECT count(*) FROM history"), QStringList{"13"});
        // His restore is refused, and nothing is entered.
        ServerCopy::Counts counts;
        QVERIFY(!ServerCopy::restore(dir.filePath("copy.db"), &counts, &failure));
        QVERIFY2(failure.contains("а не пользователь «clerk2»"), qPrintable(failure));
        QCOMPARE(value("SELECT count(*) FROM history"), QString("13"));
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
    }
};

int main(int argc, char *argv[])
{
    // Started again as one of several clerks.
    const int clerk = Clerks::clientMain(argc, argv);
    if (clerk >= 0)
        return clerk;
    QApplication app(argc, argv);
    TestServer test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_server.moc"
