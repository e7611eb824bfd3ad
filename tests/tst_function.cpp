// The natural order, the quoting of values, the command-line option and the
// query helper's log entries.
#include "function.h"
#include "storage/register/dates.h"
#include "storage/db/errors.h"
#include "storage/db/quoting.h"
#include "storage/register/summarycolumns.h"
#include "testsupport.h"
#include "view/application.h"
#include "view/singleinstance.h"
#include "view/tablefit.h"

#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlError>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <QDate>

#include <random>

using namespace TestSupport;

class TestFunction : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }

    void naturalOrder_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("less");
        QTest::newRow("2 < 10") << "2"
                                << "10" << true;
        QTest::newRow("10 !< 2") << "10"
                                 << "2" << false;
        QTest::newRow("10 < 10а") << "10"
                                  << "10а" << true;
        QTest::newRow("10а < 10б") << "10а"
                                   << "10б" << true;
        QTest::newRow("05 < 5") << "05"
                                << "5" << true;
        QTest::newRow("5 !< 05") << "5"
                                 << "05" << false;
        QTest::newRow("а < 1") << "а"
                               << "1" << true;
        QTest::newRow("empty < а") << ""
                                   << "а" << true;
        QTest::newRow("0 < а (code units)") << "0"
                                            << "а" << true;
        QTest::newRow("irreflexive") << "12а"
                                     << "12а" << false;
        QTest::newRow("case-sensitive: A < a") << "A"
                                               << "a" << true;
        QTest::newRow("overflow counts as 0") << "99999999999"
                                              << "1" << true;
        QTest::newRow("leading zeros are no overflow") << "0000000000007"
                                                       << "8" << true;
        QTest::newRow("Arabic-Indic digits are no digits") << "\u0663"
                                                           << "1" << true;
    }
    void naturalOrder()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, less);
        QCOMPARE(Function::compareStrings(a, b), less);
    }

    void sortExample()
    {
        QList<QString> list{"10", "9", "9а", "", "б", "а"};
        Function::sortQListQString(list);
        QCOMPARE(list, (QList<QString>{"", "а", "б", "9", "9а", "10"}));
    }

    // The comparison must be a strict weak ordering or std::sort misbehaves.
    void strictWeakOrdering()
    {
        std::mt19937 rng(12345);
        const QString alphabet = QStringLiteral("0123456789аб a");
        auto randomText = [&]() {
            QString s;
            const int n = static_cast<int>(rng() % 5);
            for (int i = 0; i < n; ++i)
                s += alphabet.at(static_cast<int>(rng() % alphabet.size()));
            return s;
        };
        for (int i = 0; i < 20000; ++i) {
            const QString a = randomText(), b = randomText(), c = randomText();
            QVERIFY(!Function::compareStrings(a, a));
            if (Function::compareStrings(a, b))
                QVERIFY2(!Function::compareStrings(b, a), qPrintable(a + " / " + b));
            if (Function::compareStrings(a, b) && Function::compareStrings(b, c))
                QVERIFY2(Function::compareStrings(a, c), qPrintable(a + " / " + b + " / " + c));
        }
    }

    void quoting()
    {
        QCOMPARE(Query::quote("Д'Артаньян"), QString("Д''Артаньян"));
        QCOMPARE(Query::quote("''"), QString("''''"));
        QCOMPARE(Query::quote("%1 %2"), QString("%1 %2"));
        // A value holding a marker is not filled again by a multi-argument arg.
        const QString sql = QString(Sql::DELETE_ORDER).arg(Query::quote("%2"), Query::quote("x'"), "7");
        QCOMPARE(sql, QString("DELETE FROM prikaz WHERE LN ='%2'AND what='x'''AND prikaznom ='7';"));
    }

    void verOption_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("wanted");
        QTest::newRow("alone") << QStringList{"vedomer", "--ver"} << true;
        QTest::newRow("among others") << QStringList{"vedomer", "-platform", "xcb", "--ver", "x"} << true;
        QTest::newRow("capitals") << QStringList{"vedomer", "--VER"} << false;
        QTest::newRow("one dash") << QStringList{"vedomer", "-ver"} << false;
        QTest::newRow("none") << QStringList{"vedomer"} << false;
    }
    void verOption()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, wanted);
        QCOMPARE(Application::wantsVerification(args), wanted);
    }

    void datesReadAsTheGeneralParserReadsThem()
    {
        QStringList texts{"01.01.2020", "29.02.2024",  "29.02.2023", "31.04.2021", "00.01.2020",
                          "01.13.2020", "01.01.0000",  "1.01.2020",  "01/01/2020", "2020-01-01",
                          "",           "01.01.2020 ", "٠١.٠١.٢٠٢٠", "ab.cd.efgh", "31.12.9999"};
        quint32 seed = 7;
        for (int i = 0; i < 5000; ++i) {
            QString t;
            for (int k = 0; k < 10; ++k) {
                seed = seed * 1103515245u + 12345u;
                t += (k == 2 || k == 5) && (seed >> 20) % 8 ? QChar('.') : QChar('0' + (seed >> 16) % 10);
            }
            texts << t;
        }
        QList<QDate> dates;
        for (const QString &t : std::as_const(texts)) {
            QVERIFY2(Dates::parse(t) == QDate::fromString(t, "dd.MM.yyyy"), qPrintable(t));
            dates << Dates::parse(t);
        }
        // The debug line of a list of dates is the one the general stream writes.
        dates << QDate(-44, 3, 15) << QDate(12345, 1, 2) << QDate(999, 1, 2);
        static QString written;
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &m) { written = m; });
        qDebug() << dates;
        const QString general = written;
        qDebug().noquote() << Dates::debugText(dates);
        qInstallMessageHandler(previous);
        QCOMPARE(written, general);
        QVERIFY(general.contains("QDate(Invalid)") && general.contains("QDate(\"2024-02-29\")"));
    }

    void queryHelperLogsFailures()
    {
        WorkDir dir;
        QVERIFY(dir.isValid());
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE");
        db.setDatabaseName("data/BaseDate.db");
        QVERIFY(db.open());

        QSqlQuery ok = Function::Myquery("SELECT count(*) FROM Ranks");
        QVERIFY(ok.isActive());
        QVERIFY(ok.next());
        QCOMPARE(ok.value(0).toInt(), 20);
        QVERIFY(!QFile::exists("log"));

        // A missing table: the driver's own reason is logged, not "No query".
        QSqlQuery bad = Function::Myquery("SELECT * FROM Missing");
        QVERIFY(!bad.isActive());
        QVERIFY(!bad.next());
        QFile log("log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString first = QString::fromUtf8(log.readAll());
        log.close();
        QVERIFY2(first.contains("no such table: Missing"), qPrintable(first));
        QVERIFY(!first.contains("No query"));
        QVERIFY(first.endsWith("В запросе содержится ошибка.SELECT * FROM Missing Запрос"));

        // A second failure runs on in the same line.
        Function::Myquery("INSERT INTO Missing VALUES (1)");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString both = QString::fromUtf8(log.readAll());
        QVERIFY(!both.contains('\n'));
        QVERIFY(both.startsWith(first));
        QCOMPARE(both.count("В запросе содержится ошибка."), 2);

        // A failure at execution (not at preparing) is logged too.
        QVERIFY(Function::Myquery("CREATE TABLE U (a TEXT UNIQUE)").isActive());
        QVERIFY(Function::Myquery("INSERT INTO U VALUES ('x')").isActive());
        QVERIFY(!Function::Myquery("INSERT INTO U VALUES ('x')").isActive());
        log.close();
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(log.readAll()).contains("UNIQUE constraint failed"));
        log.close();

        // Long failed statements: the log stays near its bound, and the one
        // before it is kept as log.1.
        const QString longValue(100000, QChar(u'ж'));
        QLoggingCategory::setFilterRules("default.debug=false");
        for (int i = 0; i < 8; ++i)
            Function::Myquery("INSERT INTO Missing VALUES ('" + longValue + "')");
        QLoggingCategory::setFilterRules(QString());
        QVERIFY(QFileInfo("log").size() <= 1024 * 1024);
        QVERIFY(QFileInfo("log.1").size() > 512 * 1024);
        db.close();
    }

    void plainReasons()
    {
        WorkDir dir;
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE");
        db.setDatabaseName("data/BaseDate.db");
        QVERIFY(db.open());
        QVERIFY(Function::Myquery("INSERT INTO Combat (LN) VALUES ('1')").isActive());
        QSqlQuery twice = Function::Myquery("INSERT INTO Combat (LN) VALUES ('1')");
        QVERIFY(!twice.isActive());
        const QString reason = Errors::describe(twice.lastError());
        QVERIFY2(reason.startsWith("военнослужащий с таким личным номером уже есть"), qPrintable(reason));
        QVERIFY(Errors::describe(Function::Myquery("SELECT * FROM Missing").lastError())
                    .contains("--ver"));
        db.close();
    }

    // Qt's own dialogs and buttons speak Russian, and a box without a title
    // of its own carries the program's name.
    void applicationSpeaksRussian()
    {
        QCOMPARE(QGuiApplication::applicationDisplayName(), QString("Ведомер"));
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString("Отмена"));
    }

    // One copy per working folder: a second is refused and brings the first
    // forward; the lock of a copy that no longer runs is taken over.
    void oneCopyPerWorkingFolder()
    {
        QTemporaryDir folder;
        {
            SingleInstance first(folder.path());
            QVERIFY(first.acquire());
            QSignalSpy forward(&first, &SingleInstance::comeForward);
            SingleInstance second(folder.path());
            QVERIFY(!second.acquire());
            QVERIFY(second.askToComeForward());
            QVERIFY(forward.wait(2000));
        }
        QProcess gone;
        gone.start("true");
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());
        QFile stale(folder.filePath("vedomer.lock"));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        // As QLockFile writes it: pid, program, host, machine, boot.
        stale.write(QByteArray::number(pid) + "\nvedomer\n" + QSysInfo::machineHostName().toUtf8() +
                    "\n" + QSysInfo::machineUniqueId() + "\n" + QSysInfo::bootUniqueId() + "\n");
        stale.close();
        SingleInstance after(folder.path());
        QVERIFY(after.acquire());
    }

    // A lock another computer left (a folder on a flash drive) is taken over
    // only when the user says so, asked with the computer's name and the
    // time, and "--ver" leaves the database to the copy that may still work
    // there; an empty, damaged or unreadable lock (a power cut) is taken over
    // without a question, and the log says so.
    void lockNotHeldOnThisComputer()
    {
        WorkDir dir;
        QVERIFY(exec("CREATE TABLE Extra (a TEXT)"));
        testDb().close();
        auto writeLock = [](const QByteArray &content) {
            QFile lock("vedomer.lock");
            return lock.open(QIODevice::WriteOnly) && lock.write(content) == content.size();
        };
        const QByteArray foreign("4242\nvedomer\nflash-pc\n0123456789abcdef0123456789abcdef\nboot\n");
        for (const bool open : {false, true}) {
            QVERIFY(writeLock(foreign));
            SingleInstance instance(dir.path());
            ModalAnswerer answerer;
            answerer.button(open ? "Открыть здесь" : "Не открывать");
            Schema::Report report;
            QCOMPARE(Application::start(instance, {"vedomer", "--ver"}, &report), open);
            QVERIFY(answerer.done());
            QCOMPARE(answerer.seen().size(), 1);
            QCOMPARE(value("SELECT count(*) FROM sqlite_master WHERE name = 'Extra'"), QString("1"));
            QCOMPARE(Application::verificationNotes(report).join(' ').contains("не выполнена"), open);
            const QString since = QFileInfo("vedomer.lock").lastModified().toString("dd.MM.yyyy hh:mm");
            QVERIFY2(answerer.seen().at(0).text.contains("«flash-pc» (с " + since + ")"),
                     qPrintable(answerer.seen().at(0).text));
            QCOMPARE(fileContent("vedomer.lock").startsWith("4242\n"), !open);
        }
        const QByteArray damaged[] = {QByteArray(), QByteArray(60, '\0'), QByteArray("x\n")};
        for (const QByteArray &content : damaged) {
            QVERIFY(writeLock(content));
            SingleInstance instance(dir.path());
            ModalAnswerer answerer; // no box is expected
            QVERIFY(instance.acquire());
            QVERIFY(fileContent("vedomer.lock").startsWith(QByteArray::number(QCoreApplication::applicationPid())));
            QVERIFY(answerer.unexpected().isEmpty());
        }
        QVERIFY(QDir().mkdir("vedomer.lock"));
        QVERIFY(SingleInstance(dir.path()).acquire());
        QString log;
        QVERIFY(dir.readText("log", &log));
        QCOMPARE(log.count("vedomer.lock"), 5);
        QVERIFY(log.contains("flash-pc"));
    }

    // The statements written once for both drivers run, on each, exactly the
    // texts they ran when every driver had a text of its own.
    void catalogueTextsPerDriver()
    {
        const QSqlDatabase sqlite = QSqlDatabase::addDatabase("QSQLITE", "texts on SQLite");
        const QSqlDatabase server = QSqlDatabase::addDatabase("QPSQL", "texts on a server");
        QStringList differ;
        const auto check = [&](const auto &statement, const char *onSqlite, const char *onServer) {
            if (Sql::text(statement, sqlite) != QLatin1String(onSqlite))
                differ << Sql::text(statement, sqlite);
            if (Sql::text(statement, server) != QLatin1String(onServer))
                differ << Sql::text(statement, server);
        };
        check(Sql::SELECT_ORDERS,
              "SELECT nameZO,Date_time, prikaznom,kemvidan,ish_SU,Nomer_snytie,Data_snytie,actived_prikaz FROM %1 WHERE LN ='%2'AND what='%3';",
              "SELECT nameZO,Date_time, prikaznom,kemvidan,ish_SU,Nomer_snytie,Data_snytie,actived_prikaz FROM %1 WHERE LN ='%2'AND what='%3' ORDER BY id;");
        check(Sql::SELECT_ORDERS_WITH_ID,
              "SELECT nameZO,Date_time, prikaznom,kemvidan,ish_SU,Nomer_snytie,Data_snytie,actived_prikaz,rowid FROM %1 WHERE LN ='%2'AND what='%3';",
              "SELECT nameZO,Date_time, prikaznom,kemvidan,ish_SU,Nomer_snytie,Data_snytie,actived_prikaz,id FROM %1 WHERE LN ='%2'AND what='%3' ORDER BY id;");
        check(Sql::SELECT_ORDER_DATES,
              "SELECT Date_time FROM prikaz WHERE LN = '%1' AND what = '%2' AND prikaznom = '%3' ORDER BY rowid",
              "SELECT Date_time FROM prikaz WHERE LN = '%1' AND what = '%2' AND prikaznom = '%3' ORDER BY id");
        check(Sql::UPDATE_ORDER_ROW,
              "UPDATE prikaz SET Date_time = '%4' , prikaznom = '%5',kemvidan ='%6',nameZO = '%7',ish_SU ='%8' WHERE LN = '%1' AND what = '%3' AND prikaznom = '%2' AND COALESCE(nameZO, '') = '%9' AND COALESCE(Date_time, '') = '%10' AND COALESCE(kemvidan, '') = '%11' AND COALESCE(ish_SU, '') = '%12' AND COALESCE(Nomer_snytie, '') = '%13' AND COALESCE(Data_snytie, '') = '%14' AND COALESCE(actived_prikaz, '') = '%15' AND rowid = '%16';",
              "UPDATE prikaz SET Date_time = '%4' , prikaznom = '%5',kemvidan ='%6',nameZO = '%7',ish_SU ='%8' WHERE LN = '%1' AND what = '%3' AND prikaznom = '%2' AND COALESCE(nameZO, '') = '%9' AND COALESCE(Date_time, '') = '%10' AND COALESCE(kemvidan, '') = '%11' AND COALESCE(ish_SU, '') = '%12' AND COALESCE(Nomer_snytie, '') = '%13' AND COALESCE(Data_snytie, '') = '%14' AND COALESCE(actived_prikaz, '') = '%15' AND id = '%16';");
        check(Sql::LIFT_ORDER_ROW,
              "UPDATE prikaz SET actived_prikaz = '%1',Data_snytie = '%2' , Nomer_snytie = '%3' WHERE LN = '%4' AND what = '%6' AND prikaznom = '%5' AND COALESCE(nameZO, '') = '%7' AND COALESCE(Date_time, '') = '%8' AND COALESCE(kemvidan, '') = '%9' AND COALESCE(ish_SU, '') = '%10' AND COALESCE(Nomer_snytie, '') = '%11' AND COALESCE(Data_snytie, '') = '%12' AND COALESCE(actived_prikaz, '') = '%13' AND rowid = '%14';",
              "UPDATE prikaz SET actived_prikaz = '%1',Data_snytie = '%2' , Nomer_snytie = '%3' WHERE LN = '%4' AND what = '%6' AND prikaznom = '%5' AND COALESCE(nameZO, '') = '%7' AND COALESCE(Date_time, '') = '%8' AND COALESCE(kemvidan, '') = '%9' AND COALESCE(ish_SU, '') = '%10' AND COALESCE(Nomer_snytie, '') = '%11' AND COALESCE(Data_snytie, '') = '%12' AND COALESCE(actived_prikaz, '') = '%13' AND id = '%14';");
        check(Sql::DELETE_ORDER_ROW,
              "DELETE FROM prikaz WHERE LN ='%1'AND what='%2'AND prikaznom ='%3' AND rowid = '%4';",
              "DELETE FROM prikaz WHERE LN ='%1'AND what='%2'AND prikaznom ='%3' AND id = '%4';");
        check(Sql::SELECT_FILES,
              "SELECT name_file FROM %1 WHERE LN ='%2'AND what='%3'AND prikaznom ='%4';",
              "SELECT name_file FROM %1 WHERE LN ='%2'AND what='%3'AND prikaznom ='%4' ORDER BY id;");
        check(Sql::SELECT_LEFTOVER_FILES,
              "SELECT name_file FROM Files WHERE LN = ? AND what = ? AND prikaznom = ? AND NOT EXISTS (SELECT 1 FROM prikaz WHERE prikaz.LN = Files.LN AND prikaz.what = Files.what AND prikaz.prikaznom = Files.prikaznom) ORDER BY rowid;",
              "SELECT name_file FROM Files WHERE LN = ? AND what = ? AND prikaznom = ? AND NOT EXISTS (SELECT 1 FROM prikaz WHERE prikaz.LN = Files.LN AND prikaz.what = Files.what AND prikaz.prikaznom = Files.prikaznom) ORDER BY id;");
        check(Sql::SELECT_CARD_SERVICEMEN,
              "SELECT VP, Dol, VZ, FIO, Data_comb, LN FROM Combat WHERE LN IN (%1) ORDER BY rowid;",
              "SELECT VP, Dol, VZ, FIO, Data_comb, LN FROM Combat WHERE LN IN (%1) ORDER BY id;");
        check(Sql::SELECT_CARD_ORDERS,
              "SELECT LN, what, nameZO, Date_time, prikaznom, kemvidan, ish_SU, Nomer_snytie, Data_snytie, actived_prikaz FROM prikaz WHERE LN IN (%1) ORDER BY rowid;",
              "SELECT LN, what, nameZO, Date_time, prikaznom, kemvidan, ish_SU, Nomer_snytie, Data_snytie, actived_prikaz FROM prikaz WHERE LN IN (%1) ORDER BY id;");
        check(Sql::SELECT_CARD_FILES,
              "SELECT LN, what, prikaznom, name_file FROM Files WHERE LN IN (%1) ORDER BY rowid;",
              "SELECT LN, what, prikaznom, name_file FROM Files WHERE LN IN (%1) ORDER BY id;");
        check(Sql::SELECT_ALL_ROWS,
              "SELECT %2 FROM %1 ORDER BY rowid",
              "SELECT %2 FROM %1 ORDER BY id");
        QVERIFY2(differ.isEmpty(), qPrintable(differ.join('\n')));
    }

    // The one column layout names the fields of the roster statements in
    // their order, so a column added to one is added to the other.
    void columnLayoutFollowsTheStatements()
    {
        auto fields = [](const char *statement) {
            QString list = QString::fromLatin1(statement).section("SELECT ", 1).section(" FROM", 0, 0);
            QStringList out;
            for (const QString &field : list.split(','))
                out << field.trimmed();
            return out;
        };
        auto layout = [](const auto &columns) {
            QStringList out;
            for (const SummaryColumns::Column &c : columns)
                out << QString::fromLatin1(c.field);
            return out;
        };
        QCOMPARE(layout(SummaryColumns::SUMMARY), fields(Sql::SELECT_SUMMARY.sqlite));
        QCOMPARE(layout(SummaryColumns::LIST), fields(Sql::SELECT_ROSTER.sqlite));
    }

    // The fast fitting must give exactly what the view's own measurement of
    // every row and column gives, on texts that wrap, that nearly fit, that
    // differ only in digits (which some fonts kern, "11"), and on texts the
    // estimate does not cover.
    void fittingMatchesTheViewsOwnMeasure()
    {
        std::mt19937 rng(7);
        const QStringList positions{"Командир отделения",           "Стрелок",  "Механик-водитель",
                                    "Заместитель командира взвода", "Наводчик", ""};
        const QStringList specials{
            "x\ny",      "\tтаб",     "😀 эмодзи",     "е\u0308ж",   "очень-очень-длинное-слово-без-пробелов",
            "AVAV WAWA", "fi ffi fl", "<b>&amp;</b>", "  пробелы  "};
        auto date = [&]() {
            return QDate(1960, 1, 1).addDays(static_cast<int>(rng() % 25000)).toString("dd.MM.yyyy") +
                   QString(" %1:%2").arg(rng() % 24).arg(rng() % 60, 2, 10, QChar('0'));
        };
        QTableWidget a(0, 6), b(0, 6);
        for (QTableWidget *t : {&a, &b}) {
            t->setFont(QFont("Times New Roman", 10));
            t->setColumnWidth(0, 50);
            t->setColumnWidth(1, 100);
            t->setColumnWidth(2, 90);
            t->setColumnWidth(4, 60);
            t->setColumnHidden(5, true);
            t->setRowCount(600);
        }
        for (int r = 0; r < 600; ++r) {
            const QStringList row{QString::number(rng() % 300) + (rng() % 5 ? "" : "а"),
                                  positions.at(rng() % positions.size()),
                                  date(),
                                  QString("Фамилия%1 Имя Отчество").arg(QString(rng() % 12, QChar(u'ы'))),
                                  r % 7 == 0 ? specials.at(rng() % specials.size())
                                             : QString::number(rng() % 12),
                                  "скрытый столбец с очень длинным текстом, который не в счёт"};
            for (int c = 0; c < 6; ++c) {
                if (r % 53 == 5)
                    continue; // a row without items
                a.setItem(r, c, new QTableWidgetItem(row.at(c)));
                b.setItem(r, c, new QTableWidgetItem(row.at(c)));
            }
        }
        a.item(10, 1)->setFont(QFont("Times New Roman", 16));
        b.item(10, 1)->setFont(QFont("Times New Roman", 16));
        a.resizeColumnToContents(3);
        TableFit::fitColumnWidth(&b, 3);
        QCOMPARE(b.columnWidth(3), a.columnWidth(3));
        a.resizeRowsToContents();
        TableFit::fitRowHeights(&b);
        QCOMPARE(b.rowCount(), 600);
        int taller = 0;
        for (int r = 0; r < 600; ++r) {
            QVERIFY2(b.rowHeight(r) == a.rowHeight(r),
                     qPrintable(QString("row %1: %2 instead of %3 (%4)")
                                    .arg(r)
                                    .arg(b.rowHeight(r))
                                    .arg(a.rowHeight(r))
                                    .arg(a.item(r, 2) ? a.item(r, 2)->text() : QString())));
            taller += a.rowHeight(r) > a.rowHeight(0) ? 1 : 0;
        }
        QVERIFY(taller > 0); // the data did make rows of several heights

        // Texts at the very edge of their column, a pixel at a time, with and
        // without the grid.
        QTableWidget c(1, 2), d(1, 2);
        for (const bool grid : {true, false}) {
            c.setShowGrid(grid);
            d.setShowGrid(grid);
            for (int width = 40; width <= 130; ++width) {
                for (const char *text : {"11.11.2014 8:19", "Иванов Иван Иванович", "Ёлкин-Палкин"}) {
                    c.setColumnWidth(1, width);
                    d.setColumnWidth(1, width);
                    c.setItem(0, 1, new QTableWidgetItem(QString::fromUtf8(text)));
                    d.setItem(0, 1, new QTableWidgetItem(QString::fromUtf8(text)));
                    c.resizeRowsToContents();
                    TableFit::fitRowHeights(&d);
                    QVERIFY2(d.rowHeight(0) == c.rowHeight(0), qPrintable(QString("%1 at %2 px, grid %3")
                                                                              .arg(QString::fromUtf8(text))
                                                                              .arg(width)
                                                                              .arg(grid)));
                }
            }
        }
    }
};

QTEST_MAIN(TestFunction)
#include "tst_function.moc"
