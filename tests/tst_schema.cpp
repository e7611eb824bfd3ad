// The schema verification: a working database made from nothing, declared
// tables and columns brought in, undeclared ones removed, and nothing lost
// when a descriptor is missing or broken.
#include "function.h"
#include "storage/setup/schema.h"
#include "testsupport.h"
#include "view/application.h"
#include "windows/mainwindow.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QtTest>

using namespace TestSupport;

namespace {

QStringList tableNames()
{
    QStringList names;
    for (const QStringList &r :
         rows("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%' ORDER BY name"))
        names << r.at(0);
    return names;
}

QStringList columns(const QString &table)
{
    QStringList names;
    for (const QStringList &r : rows(QString("PRAGMA table_info(\"%1\")").arg(table)))
        names << r.at(1);
    return names;
}

QString readLog()
{
    QFile f("log");
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Runs the verification again on the current folder, with the test connection
// closed so that it sees the new schema afterwards.
Schema::Report verify()
{
    testDb().close();
    return Function::ver();
}

// What the main window tells of a verification.
QString notes(const Schema::Report &report)
{
    return Application::verificationNotes(report).join('\n');
}

const QStringList FIVE{"Combat", "Emploeses", "Files", "Ranks", "prikaz"};
const QStringList FIVE_IN_ORDER{"Combat", "prikaz", "Files", "Ranks", "Emploeses"};

} // namespace

class TestSchema : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    void makesAWorkingDatabaseFromNothing()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        QVERIFY(!QFile::exists("data"));
        Function::ver();
        QVERIFY(QFile::exists("data/BaseDate.db"));
        QCOMPARE(tableNames(), FIVE);
        QCOMPARE(columns("Combat"), (QStringList{"VP", "Dol", "VZ", "FIO", "Data_comb", "LN", "vzs", "blag",
                                                 "gr", "ZOMO", "gosnag", "posh", "Dolz_nom", "Zvan_nom"}));
        QCOMPARE(columns("prikaz"), (QStringList{"LN", "what", "Date_time", "prikaznom", "kemvidan", "nameZO",
                                                 "actived_prikaz", "ish_SU", "Nomer_snytie", "Data_snytie"}));
        QCOMPARE(columns("Files"), (QStringList{"prikaznom", "what", "Giper", "name_file", "LN"}));
        QCOMPARE(columns("Ranks").size(), 3);
        QCOMPARE(columns("Emploeses").size(), 3);
        // The reference tables are filled, the most senior rank first.
        const QList<QStringList> ranks = rows("SELECT * FROM Ranks ORDER BY Rank_massa ASC");
        QCOMPARE(ranks.size(), 20);
        QCOMPARE(ranks.first().at(1), QString("Маршал Российской Федерации"));
        QCOMPARE(ranks.last().at(1), QString("Рядовой"));
        QCOMPARE(rows("SELECT * FROM Emploeses").size(), 13);
        QVERIFY(!QFile::exists("log"));
        // Whole numbers of VP sort as numbers, texts after them.
        for (const char *vp : {"10", "2", "3б", "1"})
            QVERIFY(addServiceman(vp, "И", QString("LN") + vp));
        QCOMPARE(rows("SELECT VP FROM Combat ORDER BY VP ASC"),
                 (QList<QStringList>{{"1"}, {"2"}, {"10"}, {"3б"}}));
        // A personal number is unique.
        QVERIFY(!exec("INSERT INTO Combat (LN) VALUES ('LN1')"));
    }

    void secondRunChangesNothing()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "100"));
        const QString before = dump();
        for (const QString &t : FIVE)
            QTest::ignoreMessage(QtDebugMsg, qPrintable("Таблица " + t + " верификацию прошла"));
        verify();
        QCOMPARE(dump(), before);
        QVERIFY(!QFile::exists("log"));
    }

    void dropsAnUndeclaredTableOnly()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "100"));
        Order order;
        order.LN = "100";
        order.what = "vzs";
        order.Date_time = "01.02.2020";
        order.prikaznom = "5";
        QVERIFY(addOrder(order));
        QVERIFY(exec("CREATE TABLE Extra (a TEXT)"));
        QVERIFY(exec("CREATE INDEX CombatFio ON Combat (FIO)"));
        QVERIFY(exec("CREATE VIEW Roster AS SELECT FIO FROM Combat"));
        ModalAnswerer answerer; // the drop is told by the main window
        const QString told = notes(verify());
        QVERIFY(answerer.unexpected().isEmpty());
        const QStringList copies = QDir("data").entryList({"BaseDate_before_ver_*.db"});
        QCOMPARE(copies.size(), 1);
        QVERIFY2(told.contains("таблица Extra") && told.contains(copies.first()), qPrintable(told));
        QCOMPARE(tableNames(), FIVE);
        QCOMPARE(value("SELECT FIO FROM Combat"), QString("Иванов"));
        QCOMPARE(value("SELECT prikaznom FROM prikaz"), QString("5"));
        // An index and a view are not tables: left as they are.
        QCOMPARE(value("SELECT count(*) FROM sqlite_master WHERE name IN ('CombatFio', 'Roster')"),
                 QString("2"));
        QVERIFY(readLog().contains("Extra"));
    }

    // Table names come from the database, not from words of the creation text.
    void typesWithParenthesesDoNotConfuseTableNames()
    {
        WorkDir dir;
        QVERIFY(exec("DROP TABLE Files"));
        QVERIFY(exec("CREATE TABLE Files (prikaznom VARCHAR(20), what TEXT, Giper TEXT, name_file TEXT, "
                     "LN TEXT)"));
        QVERIFY(exec("INSERT INTO Files VALUES ('1', 'vzs', 'files/a', 'a', '7')"));
        verify();
        QCOMPARE(tableNames(), FIVE);
        QCOMPARE(value("SELECT name_file FROM Files"), QString("a"));
    }

    void addsMissingColumnsAndDropsUndeclaredOnes()
    {
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "100"));
        // Combat is the first table created: it is compared too.
        QVERIFY(exec("ALTER TABLE Combat ADD COLUMN Old TEXT"));
        QVERIFY(exec("UPDATE Combat SET Old = 'x'"));
        QString text;
        QVERIFY(dir.readText("settings.conf", &text));
        text.replace("</columns>", "    <Combat AtributSql=\"Note TEXT\"/>\n</columns>");
        dir.writeFile("settings.conf", text.toUtf8());
        ModalAnswerer answerer; // the drop is told by the main window
        QVERIFY(notes(verify()).contains("столбец Combat.Old"));
        QVERIFY(answerer.unexpected().isEmpty());
        QVERIFY(columns("Combat").contains("Note"));
        QVERIFY(!columns("Combat").contains("Old"));
        QCOMPARE(rows("SELECT FIO, Note FROM Combat"), (QList<QStringList>{{"Иванов", ""}}));
        QVERIFY(readLog().contains("Old"));
    }

    // An element applies to the table of its own name only: "prikaz" must not
    // touch Files although "prikaznom" contains it.
    void elementAppliesToItsOwnTableOnly()
    {
        WorkDir dir;
        QString text;
        QVERIFY(dir.readText("settings.conf", &text));
        text.replace("</columns>", "    <prikaz AtributSql=\"Extra TEXT\"/>\n</columns>");
        dir.writeFile("settings.conf", text.toUtf8());
        verify();
        QVERIFY(columns("prikaz").contains("Extra"));
        QVERIFY(!columns("Files").contains("Extra"));
        QVERIFY(!QFile::exists("log"));
    }

    // Presence is decided by the column name: another spelling of the type
    // neither adds nor drops anything.
    void otherSpellingOfTypeIsPresent()
    {
        WorkDir dir;
        QVERIFY(addServiceman("7", "Петров", "200"));
        QString text;
        QVERIFY(dir.readText("settings.conf", &text));
        text.replace("AtributSql=\"FIO TEXT\"", "AtributSql=\"fio  text\"");
        dir.writeFile("settings.conf", text.toUtf8());
        const QString before = dump();
        verify();
        QCOMPARE(dump(), before);
        QVERIFY(!QFile::exists("log"));
    }

    // A definition names its column as SQLite reads it: a new column written
    // with quotes or comments is added, then kept with its values.
    void columnNameAsSqliteReadsIt_data()
    {
        QTest::addColumn<QString>("definition"); // as written in the XML attribute
        QTest::addColumn<QString>("column");
        QTest::newRow("single quotes") << "'Note' TEXT"
                                       << "Note";
        QTest::newRow("backquotes") << "`Note` TEXT"
                                    << "Note";
        QTest::newRow("doubled quotes inside") << "&quot;Заметка &quot;&quot;А&quot;&quot;&quot; TEXT"
                                               << "Заметка \"А\"";
        QTest::newRow("comment after the name") << "Note/* заметка */ TEXT"
                                                << "Note";
        QTest::newRow("comment before the name") << "-- заметка&#10;Note TEXT"
                                                 << "Note";
        QTest::newRow("leading blanks") << " &#9;Note TEXT"
                                        << "Note";
    }
    void columnNameAsSqliteReadsIt()
    {
        QFETCH(QString, definition);
        QFETCH(QString, column);
        WorkDir dir;
        QVERIFY(addServiceman("7", "Петров", "200"));
        QString text;
        QVERIFY(dir.readText("settings.conf", &text));
        text.replace("</columns>", "<Combat AtributSql=\"" + definition + "\"/></columns>");
        dir.writeFile("settings.conf", text.toUtf8());
        ModalAnswerer answerer; // no box is expected
        verify();
        QVERIFY2(columns("Combat").contains(column), qPrintable(columns("Combat").join(", ")));
        QVERIFY(
            exec(QString("UPDATE Combat SET \"%1\" = 'запись'").arg(QString(column).replace("\"", "\"\""))));
        const QString before = dump();
        verify();
        QCOMPARE(dump(), before);
        QVERIFY(answerer.unexpected().isEmpty());
        QVERIFY2(!QFile::exists("log"), qPrintable(readLog()));
    }

    void columnThatCannotBeDroppedStaysAndIsLogged()
    {
        WorkDir dir;
        QVERIFY(exec("CREATE TABLE Tmp (a TEXT)"));
        QVERIFY(exec("DROP TABLE Tmp"));
        QVERIFY(exec("CREATE UNIQUE INDEX Ux ON Combat (FIO)"));
        QVERIFY(addServiceman("1", "Сидоров", "300"));
        // FIO is declared; drop it from the descriptor: SQLite refuses to drop
        // an indexed column.
        QString text;
        QVERIFY(dir.readText("settings.conf", &text));
        text.remove("    <Combat AtributSql=\"FIO TEXT\"/>\n");
        dir.writeFile("settings.conf", text.toUtf8());
        verify();
        QVERIFY(columns("Combat").contains("FIO"));
        QCOMPARE(value("SELECT FIO FROM Combat"), QString("Сидоров"));
        QVERIFY(readLog().contains("DROP COLUMN \"FIO\""));
    }

    // Another copy's verification drops a column while this copy is open:
    // the summary that can no longer be read names that and a new start.
    void verificationWhileAnotherCopyIsOpen()
    {
        WorkDir dir;
        MainWindow w;
        QString text;
        QVERIFY(dir.readText("settings.conf", &text));
        dir.writeFile("settings.conf", text.remove("    <Combat AtributSql=\"posh TEXT\"/>\n").toUtf8());
        QVERIFY(Schema::verify("data/BaseDate.db", "settingstab.conf", "settings.conf")
                    .droppedColumns.contains("Combat.posh"));
        ModalAnswerer answerer;
        answerer.button("Так точно").button("OK");
        w.findChild<QAction *>("action_2")->trigger();
        const QString told = w.findChild<QLabel *>("label_2")->text();
        QVERIFY2(told.contains("изменены, пока программа была открыта") &&
                     told.contains("запустите её снова"),
                 qPrintable(told));
    }

    void tableWithoutColumnElementsIsLeftAlone()
    {
        WorkDir dir;
        QString text;
        QVERIFY(dir.readText("settings.conf", &text));
        text.remove(QRegularExpression("    <Files [^\n]*\n"));
        dir.writeFile("settings.conf", text.toUtf8());
        verify();
        QCOMPARE(columns("Files").size(), 5);
    }

    void brokenDescriptorsDropNothing_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("missing");
        // Rows whose content starts with '~' damage the shipped file instead:
        // "~from~to" replaces the first text with the second.
        QTest::newRow("tables missing") << "settingstab.conf" << QByteArray() << true;
        QTest::newRow("tables empty") << "settingstab.conf" << QByteArray("") << false;
        QTest::newRow("tables malformed")
            << "settingstab.conf" << QByteArray("<tables>\n<Combat create=\"x\">\n") << false;
        QTest::newRow("tables garbage") << "settingstab.conf" << QByteArray("\x01\x02 not xml") << false;
        QTest::newRow("columns missing") << "settings.conf" << QByteArray() << true;
        QTest::newRow("columns empty") << "settings.conf" << QByteArray("") << false;
        QTest::newRow("columns malformed")
            << "settings.conf" << QByteArray("<columns>\n  <Combat AtributSql=\"VP INTEGER\">\n</columns>")
            << false;
        // The reader lets any character into an attribute name.
        QTest::newRow("tables attribute name not a name")
            << "settingstab.conf" << QByteArray("~<Files create=~<Files cre@ate=") << false;
        QTest::newRow("columns attribute name not a name")
            << "settings.conf" << QByteArray("~<Combat AtributSql=\"VP ~<Combat Atri}butSql=\"VP ") << false;
        // The reader takes a document type declaration anywhere.
        QTest::newRow("tables DOCTYPE inside the root")
            << "settingstab.conf" << QByteArray("~<tables>~<tables><!DOCTYPE tables>") << false;
        QTest::newRow("columns DOCTYPE after the root")
            << "settings.conf" << QByteArray("~</columns>~</columns><!DOCTYPE columns>") << false;
        // Nor does it check the names inside a document type declaration.
        QTest::newRow("tables DOCTYPE name not a name")
            << "settingstab.conf" << QByteArray("~<tables>~<!DOCTYPE t`bles><tables>") << false;
        QTest::newRow("columns ELEMENT name not a name")
            << "settings.conf"
            << QByteArray("~<columns>~<!DOCTYPE columns [<!ELEMENT Com`bat ANY>]><columns>") << false;
        // Nor does it say a word when the file ends inside a character.
        QTest::newRow("tables ending inside a character")
            << "settingstab.conf" << QByteArray("~</tables>\n~</tables>\n\xED") << false;
    }
    void brokenDescriptorsDropNothing()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(bool, missing);
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "100"));
        // What the broken descriptor would otherwise remove: a table for the
        // table descriptor, a column for the column descriptor.
        if (file == "settingstab.conf")
            QVERIFY(exec("CREATE TABLE Extra (a TEXT)"));
        else
            QVERIFY(exec("ALTER TABLE Combat ADD COLUMN Old TEXT"));
        const QString before = dump();
        if (content.startsWith('~')) {
            QFile shipped(file);
            QVERIFY(shipped.open(QIODevice::ReadOnly));
            const QList<QByteArray> change = content.split('~');
            const QByteArray original = shipped.readAll();
            QVERIFY(original.contains(change.at(1)));
            content = QByteArray(original).replace(change.at(1), change.at(2));
        }
        QFile::remove(file);
        if (!missing)
            dir.writeFile(file, content);
        ModalAnswerer answerer;
        answerer.button("OK");
        verify();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen().first().title, QString("Ошибка файла"));
        QCOMPARE(answerer.seen().first().text, QString("Не удалось открыть файл"));
        QVERIFY(answerer.seen().first().informativeText.contains(file));
        QVERIFY(answerer.unexpected().isEmpty());
        QCOMPARE(dump(), before);
        const QString log = readLog();
        QVERIFY2(log.contains(file), qPrintable(log));
        if (!missing && !content.isEmpty())
            QVERIFY2(log.contains("строке"), qPrintable(log));
    }

    // Line ends are read as XML defines them, whatever the encoding: both
    // descriptors saved in UTF-16 with CR LF line ends (as Windows Notepad
    // saves "Unicode"), and a definition broken by a lone CR (old Mac line
    // ends), which XML reads as a blank.
    void lineEndsAsXmlReadsThem_data()
    {
        QTest::addColumn<bool>("utf16");
        QTest::newRow("UTF-16 with CR LF") << true;
        QTest::newRow("lone CR inside a definition") << false;
    }
    void lineEndsAsXmlReadsThem()
    {
        QFETCH(bool, utf16);
        WorkDir dir;
        QVERIFY(addServiceman("1", "Иванов", "100"));
        const QString before = dump();
        for (const QString file : {"settingstab.conf", "settings.conf"}) {
            QString text;
            QVERIFY(dir.readText(file, &text));
            if (utf16) {
                text.replace("\n", "\r\n").replace("encoding=\"UTF-8\"", "encoding=\"UTF-16\"");
                dir.writeFile(file,
                              QByteArray("\xff\xfe") +
                                  QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2));
            } else {
                text.replace("AtributSql=\"FIO TEXT\"", "AtributSql=\"FIO\rTEXT\"");
                dir.writeFile(file, text.toUtf8());
            }
        }
        ModalAnswerer answerer; // no box is expected
        verify();
        QVERIFY(answerer.unexpected().isEmpty());
        QCOMPARE(dump(), before);
        QVERIFY2(!QFile::exists("log"), qPrintable(readLog()));
    }

    // With the table descriptor missing the column phase still runs; its
    // box does not say the tables are unchanged when columns went.
    void columnPhaseRunsWithoutTableDescriptor()
    {
        WorkDir dir;
        QVERIFY(exec("ALTER TABLE Combat DROP COLUMN posh"));
        QVERIFY(exec("ALTER TABLE Combat ADD COLUMN Old TEXT"));
        QFile::remove("settingstab.conf");
        ModalAnswerer answerer;
        answerer.button("OK");
        const QString told = notes(verify());
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().size(), 1);
        QVERIFY(!answerer.seen().first().informativeText.contains("не изменены"));
        QVERIFY(told.contains("столбец Combat.Old"));
        QVERIFY(columns("Combat").contains("posh"));
        QVERIFY(!columns("Combat").contains("Old"));
    }

    // A table declared twice, or under another letter case, loses nothing and
    // gets no second set of initial rows.
    void repeatedAndCaseDifferentDeclarations()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        QString text;
        QVERIFY(dir.readText("settingstab.conf", &text));
        const QString ranks = text.section("<Ranks", 1, 1).section("/>", 0, 0);
        text.replace("</tables>", "    <Ranks" + ranks + "/>\n</tables>");
        dir.writeFile("settingstab.conf", text.toUtf8());
        Function::ver();
        QCOMPARE(value("SELECT count(*) FROM Ranks"), QString("20"));
        QVERIFY(addServiceman("1", "Иванов", "100"));
        const QString before = dump();
        text.replace("<Combat ", "<combat ");
        dir.writeFile("settingstab.conf", text.toUtf8());
        verify();
        QCOMPARE(dump(), before);
    }

    void fileThatIsNotADatabaseIsLeftAsItIs()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        const QByteArray junk("This is a letter, not a database.\n");
        dir.writeFile("data/BaseDate.db", junk);
        ModalAnswerer answerer;
        answerer.button("OK");
        Function::ver();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().first().title, QString("Ошибка"));
        QFile f("data/BaseDate.db");
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), junk);
    }

    // The verification itself shows nothing: it reports what it changed and
    // which descriptor it refused, and the caller tells the user.
    void reportSaysWhatWasDoneWithoutABox()
    {
        WorkDir dir;
        QVERIFY(exec("CREATE TABLE Extra (a TEXT)"));
        QVERIFY(exec("ALTER TABLE Combat ADD COLUMN Old TEXT"));
        testDb().close();
        ModalAnswerer answerer; // no box is expected
        Schema::Report report = Schema::verify("data/BaseDate.db", "settingstab.conf", "settings.conf");
        QVERIFY(report.opened && !report.unreadable && report.refusedDescriptors.isEmpty());
        QCOMPARE(report.droppedTables, QStringList{"Extra"});
        QCOMPARE(report.droppedColumns, QStringList{"Combat.Old"});
        dir.writeFile("settings.conf", "<columns>");
        QFile::remove("data/BaseDate.db");
        report = Schema::verify("data/BaseDate.db", "settingstab.conf", "settings.conf");
        QCOMPARE(report.createdTables, FIVE_IN_ORDER);
        QCOMPARE(report.refusedDescriptors.size(), 1);
        QVERIFY(report.refusedDescriptors.first().startsWith("settings.conf:"));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // The real program: "--ver" among other arguments makes the database
    // before the main window opens; "--VER" and "-ver" do not.
    void programRunsVerificationOnlyForItsOption_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("made");
        QTest::newRow("--ver with others") << QStringList{"-style", "fusion", "--ver"} << true;
        QTest::newRow("--VER") << QStringList{"--VER"} << false;
        QTest::newRow("-ver") << QStringList{"-ver"} << false;
    }
    void programRunsVerificationOnlyForItsOption()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, made);
        WorkDir dir(WorkDir::WithoutDatabase);
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(env);
        program.start(VEDOMER_EXE, args);
        QVERIFY(program.waitForStarted());
        if (made) {
            // The main window opens on the new database and writes no log.
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists("data/BaseDate.db"), 20000);
            QTRY_COMPARE_WITH_TIMEOUT(tableNames(), FIVE, 20000);
        } else {
            // The main window finds no database, logs it and says so.
            QTRY_VERIFY_WITH_TIMEOUT(readLog().contains("Обращение к базе завершено  с ошибкой"), 20000);
            QVERIFY(!QFile::exists("data/BaseDate.db"));
        }
        program.kill();
        program.waitForFinished();
        testDb().close();
    }

    // The real program with "--ver" and a table descriptor without Files:
    // no box, and the main window tells the drop and the copy in its status
    // bar and the log.
    void programTellsDropsOnceItsWindowIsOpen()
    {
        WorkDir dir;
        QString text;
        QVERIFY(dir.readText("settingstab.conf", &text));
        dir.writeFile("settingstab.conf", text.remove(QRegularExpression("    <Files [^\n]*\n")).toUtf8());
        testDb().close();
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(env);
        program.start(VEDOMER_EXE, {"--ver"});
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(readLog().contains("Удалено проверкой таблиц"), 20000);
        program.kill();
        program.waitForFinished();
        const QStringList copies = QDir("data").entryList({"BaseDate_before_ver_*.db"});
        QCOMPARE(copies.size(), 1);
        const QString told = readLog().section("Удалено проверкой таблиц", 1);
        QVERIFY2(told.contains("таблица Files") && told.contains(copies.first()), qPrintable(told));
    }
};

QTEST_MAIN(TestSchema)
#include "tst_schema.moc"
