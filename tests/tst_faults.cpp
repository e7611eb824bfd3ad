// Faults of the disk and of the database file, made real against the real
// windows: every write command under each fault says "Ошибка" and loses
// nothing; a second copy of the program is waited for; damaged database
// files are told and left alone; attaching, backups and restores on folders
// that cannot take a file.
#include "windows/addcombat.h"
#include "storage/copies/databasecopy.h"
#include "storage/copies/chosenfile.h"
#include "faults.h"
#include "function.h"
#include "view/application.h"
#include "windows/mainwindow.h"
#include "orderwindow.h"
#include "testsupport.h"
#include "widgets.h"
#include "toplevels.h"
#include "windows/vestable.h"
#include "windows/voenosluga.h"

#include <QAction>
#include <QCheckBox>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

#include <functional>

using namespace TestSupport;

namespace {

const char SERVICEMAN[] = "100";

// The files below a folder with their contents, for before/after comparisons.
QMap<QString, QByteArray> files(const QString &folder)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        out.insert(QDir(folder).relativeFilePath(f.fileName()),
                   f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>"));
    }
    return out;
}

// One serviceman with a penalty in force and a thanks with a document, made
// once and copied into the working folder of each test.
QByteArray filledDatabase()
{
    static QByteArray database;
    if (!database.isEmpty())
        return database;
    WorkDir dir;
    Order penalty;
    penalty.LN = SERVICEMAN;
    penalty.what = "vzs";
    penalty.prikaznom = "4";
    penalty.Date_time = "01.02.2020";
    penalty.nameZO = "Выговор";
    Order thanks = penalty;
    thanks.what = "blag";
    thanks.prikaznom = "7";
    thanks.nameZO = "За отличие";
    Serviceman s;
    s.VP = "1";
    s.Dol = "Стрелок";
    s.VZ = "Рядовой";
    s.FIO = "Иванов Иван Иванович";
    s.Data_comb = "01.01.2000 0:00";
    s.LN = SERVICEMAN;
    // Stale counts, so that the recount has to write.
    s.counts = QStringList{"0", "0", "0", "0", "0", "0"};
    s.Dolz_nom = "13";
    s.Zvan_nom = "20";
    const bool made = addServiceman(s) && addOrder(penalty) && addOrder(thanks) &&
                      exec("INSERT INTO Files (prikaznom, what, Giper, name_file, LN) VALUES (?,?,?,?,?)",
                           {"7", "blag", "files/doc.pdf", "doc.pdf", SERVICEMAN});
    testDb().close();
    QFile file("data/BaseDate.db");
    if (made && file.open(QIODevice::ReadOnly))
        database = file.readAll();
    return database;
}

// The working folder of one test: the filled database, its document and a
// file to attach.
void fill(const WorkDir &dir)
{
    const QByteArray database = filledDatabase();
    QVERIFY(!database.isEmpty());
    dir.writeFile("data/BaseDate.db", database);
    dir.writeFile("files/doc.pdf", "document");
    dir.writeFile("outside/new.pdf", "new document");
}

// Types into a cell of the reference editor and finishes with Return.
void typeIntoCell(QTableView *view, const QModelIndex &index, const QString &text)
{
    view->setCurrentIndex(index);
    view->edit(index);
    QWidget *editor = view->indexWidget(index);
    QVERIFY(editor);
    editor->setProperty(editor->metaObject()->userProperty().name(),
                        editor->metaObject()->userProperty().typeId() == QMetaType::Int
                            ? QVariant(text.toInt())
                            : QVariant(text));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(!view->indexWidget(index));
}

// An orders window of the serviceman with the order in `row` clicked.
addfile *ordersWindow(const char *code, int row = 0)
{
    auto *w = new addfile(SERVICEMAN, code, "Иванов Иван Иванович");
    w->show();
    clickCell(child<QTableWidget>(w, "tableWidget_2"), row);
    return w;
}

// Every command that writes to the database, run in its window as the user
// runs it. Each answers the questions with "Так точно" and expects a warning.
struct Command
{
    const char *name;
    std::function<void(MainWindow &, const WorkDir &, ModalAnswerer &)> run;
};

void click(QWidget *w, const char *button)
{
    child<QPushButton>(w, button)->click();
}

const QList<Command> &commands()
{
    static const QList<Command> list{
        {"main window: delete",
         [](MainWindow &w, const WorkDir &, ModalAnswerer &a) {
             summary(w)->setCurrentCell(0, 0);
             a.button("Так точно").button("OK");
             w.findChild<QAction *>("action_6")->trigger();
         }},
        {"main window: recount on closing the orders window",
         [](MainWindow &w, const WorkDir &, ModalAnswerer &a) {
             doubleClickCell(summary(w), 0, 6);
             QList<addfile *> opened = topLevels<addfile>();
             QCOMPARE(opened.size(), 1);
             a.button("OK");
             opened.first()->close();
         }},
        {"list window: delete",
         [](MainWindow &, const WorkDir &, ModalAnswerer &a) {
             auto *list = new voenosluga(nullptr);
             list->show();
             child<QTableWidget>(list, "tableWidget")->setCurrentCell(0, 0);
             a.button("Так точно").button("OK");
             child<QAction>(list, "action_del")->trigger();
         }},
        {"serviceman form: add",
         [](MainWindow &, const WorkDir &, ModalAnswerer &a) {
             auto *form = new addCombat("", "", "", "", "", false, "", nullptr);
             form->setAttribute(Qt::WA_DeleteOnClose);
             form->show();
             child<QLineEdit>(form, "lineEdit_LN")->setText("200");
             child<QLineEdit>(form, "lineEdit_FIO")->setText("Петров");
             a.button("Так точно").button("OK");
             click(form, "pushButton_2");
         }},
        {"serviceman form: change",
         [](MainWindow &, const WorkDir &, ModalAnswerer &a) {
             auto *form = new addCombat("1", "Стрелок", "Рядовой", "Иванов Иван Иванович", "01.01.2000 0:00",
                                        true, SERVICEMAN, nullptr);
             form->setAttribute(Qt::WA_DeleteOnClose);
             form->show();
             child<QLineEdit>(form, "lineEdit_FIO")->setText("Иванов И. И.");
             a.button("Так точно").button("OK");
             click(form, "pushButton_2");
         }},
        {"serviceman form: new personal number",
         [](MainWindow &, const WorkDir &, ModalAnswerer &a) {
             auto *form = new addCombat("1", "Стрелок", "Рядовой", "Иванов Иван Иванович", "01.01.2000 0:00",
                                        true, SERVICEMAN, nullptr);
             form->setAttribute(Qt::WA_DeleteOnClose);
             form->show();
             child<QLineEdit>(form, "lineEdit_LN")->setText("101");
             a.button("Так точно").button("OK");
             click(form, "pushButton_2");
         }},
        {"orders window: add",
         [](MainWindow &, const WorkDir &, ModalAnswerer &a) {
             addfile *w = ordersWindow("vzs");
             child<QLineEdit>(w, "lineEdit_2")->setText("5");
             a.button("Так точно").button("OK");
             click(w, "pushButton_7");
         }},
        {"orders window: change",
         [](MainWindow &, const WorkDir &, ModalAnswerer &a) {
             addfile *w = ordersWindow("vzs");
             child<QLineEdit>(w, "lineEdit_3")->setText("Штаб");
             a.button("Так точно").button("OK");
             click(w, "pushButton_4");
         }},
        {"orders window: new number",
         [](MainWindow &, const WorkDir &, ModalAnswerer &a) {
             addfile *w = ordersWindow("blag");
             child<QLineEdit>(w, "lineEdit_2")->setText("8");
             a.button("Так точно").button("OK");
             click(w, "pushButton_4");
         }},
        {"orders window: lift",
         [](MainWindow &, const WorkDir &, ModalAnswerer &a) {
             addfile *w = ordersWindow("vzs");
             child<QCheckBox>(w, "checkBox")->setChecked(true);
             child<QLineEdit>(w, "lineEdit_5")->setText("12");
             a.button("Так точно").button("OK");
             click(w, "pushButton_4");
         }},
        {"orders window: delete",
         [](MainWindow &, const WorkDir &, ModalAnswerer &a) {
             addfile *w = ordersWindow("vzs");
             a.button("Так точно").button("OK");
             click(w, "pushButton_6");
         }},
        {"orders window: attach",
         [](MainWindow &, const WorkDir &dir, ModalAnswerer &a) {
             addfile *w = ordersWindow("blag");
             child<QTabWidget>(w, "tabWidget")->setCurrentIndex(1);
             a.file(dir.filePath("outside/new.pdf")).button("OK");
             click(w, "pushButton");
         }},
        {"orders window: delete attachment",
         [](MainWindow &, const WorkDir &, ModalAnswerer &a) {
             addfile *w = ordersWindow("blag");
             child<QTabWidget>(w, "tabWidget")->setCurrentIndex(1);
             child<QTableWidget>(w, "tableWidget")->setCurrentCell(0, 0);
             a.button("Так точно").button("OK");
             click(w, "pushButton_2");
         }},
        {"reference editor: change",
         [](MainWindow &, const WorkDir &, ModalAnswerer &a) {
             auto *editor = new vestable(nullptr);
             editor->show();
             auto *view = child<QTableView>(editor, "tableView");
             a.button("OK");
             typeIntoCell(view, view->model()->index(19, 2), "5");
         }},
        {"reference editor: add",
         [](MainWindow &, const WorkDir &, ModalAnswerer &a) {
             auto *editor = new vestable(nullptr);
             editor->show();
             auto *view = child<QTableView>(editor, "tableView");
             click(editor, "pushButton");
             a.button("OK");
             typeIntoCell(view, view->model()->index(0, 1), "Курсант");
         }},
        {"reference editor: delete",
         [](MainWindow &, const WorkDir &, ModalAnswerer &a) {
             auto *editor = new vestable(nullptr);
             editor->show();
             auto *view = child<QTableView>(editor, "tableView");
             view->setCurrentIndex(view->model()->index(2, 1));
             a.button("OK");
             click(editor, "pushButton_2");
         }},
    };
    return list;
}

// The faults under which every command runs.
enum Fault {
    ReadOnlyFile,
    ReadOnlyFolder,
    FullDisk,
    FileRemoved,
    FolderRemoved,
    LockedByAnotherCopy,
};

// The faults of the folder of attached documents.
enum FilesFault {
    FilesMissing,
    FilesCannotBeMade,
    FilesReadOnly,
    FilesFull,
};

// Deletes the windows a command opened.
void closeWindows()
{
    qDeleteAll(topLevels<addfile>());
    qDeleteAll(topLevels<voenosluga>());
    qDeleteAll(topLevels<addCombat>());
    qDeleteAll(topLevels<vestable>());
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestSupport::initTestCase();
        QVERIFY(!filledDatabase().isEmpty());
    }
    void init() { failOnSlotWarnings(); }
    void cleanupTestCase()
    {
        qInfo("Faults injected: %d; data lost: none (every database compared whole before and after)",
              faultsInjected());
    }

    // Every write command of every window under each fault of the disk or of
    // the database: a warning "Ошибка" that says why, the whole database and
    // the documents as they were. The file or folder is made read-only before
    // the program opens the database; the disk fills up, the file or its
    // folder goes and another copy takes the lock while the windows are open.
    void writeCommandsUnderFaults_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("reason");
        const QList<std::tuple<Fault, const char *, const char *>> faults{
            {ReadOnlyFile, "read-only file", "база данных открыта только для чтения"},
            {ReadOnlyFolder, "read-only folder", "база данных открыта только для чтения"},
            {FullDisk, "full disk", "на диске нет места"},
            {FileRemoved, "file removed", "база данных открыта только для чтения"},
            {FolderRemoved, "folder removed", "база данных открыта только для чтения"},
            {LockedByAnotherCopy, "locked by another copy", "база данных занята другой программой"},
        };
        for (const auto &[fault, faultName, reason] : faults) {
            for (int c = 0; c < commands().size(); ++c)
                QTest::addRow("%s, %s", faultName, commands().at(c).name)
                    << int(fault) << c << QString::fromUtf8(reason);
        }
    }
    void writeCommandsUnderFaults()
    {
        QFETCH(int, fault);
        QFETCH(int, command);
        QFETCH(QString, reason);
        WorkDir dir(WorkDir::WithoutDatabase);
        fill(dir);
        std::unique_ptr<SmallDisk> disk;
        if (fault == FullDisk) {
            // The database moves onto a small disk mounted in place of its folder.
            QVERIFY(QDir().rename("data", "data.orig"));
            disk = std::make_unique<SmallDisk>("data", 256);
            if (!disk->ok())
                QSKIP(qPrintable(disk->why()));
            QVERIFY(QFile::copy("data.orig/BaseDate.db", "data/BaseDate.db"));
        }
        const QMap<QString, QByteArray> documents = files("files");
        std::unique_ptr<Unwritable> unwritable;
        if (fault == ReadOnlyFile || fault == ReadOnlyFolder) {
            unwritable = std::make_unique<Unwritable>(fault == ReadOnlyFile ? "data/BaseDate.db" : "data");
            if (!unwritable->ok())
                QSKIP(qPrintable(unwritable->how()));
            static bool told = false;
            if (!std::exchange(told, true))
                qInfo("read-only for this process: %s", qPrintable(unwritable->how()));
        }
        ModalAnswerer answerer;
        auto w = std::make_unique<MainWindow>();
        w->show();
        QVERIFY(answerer.unexpected().isEmpty());
        // Where the start could write it put the stale counts right; they are
        // made stale again, so that the recount has to write.
        if (value("SELECT vzs FROM Combat") != "0")
            QVERIFY(exec("UPDATE Combat SET vzs = '0', blag = '0'"));
        const QString before = dump();
        std::unique_ptr<LockHolder> holder;
        switch (fault) {
        case FullDisk:
            QVERIFY(disk->fill());
            break;
        case FileRemoved:
            QVERIFY(QFile::remove("data/BaseDate.db"));
            break;
        case FolderRemoved:
            QVERIFY(QDir("data").removeRecursively());
            break;
        case LockedByAnotherCopy: {
            // The program waits 5 s for the other copy (secondCopyIsWaitedFor);
            // here it waits 0.1 s, to fail fast.
            QSqlQuery pragma(QSqlDatabase::database());
            QVERIFY(pragma.exec("PRAGMA busy_timeout = 100"));
            holder = std::make_unique<LockHolder>("data/BaseDate.db", -1);
            QVERIFY2(holder->locked(), qPrintable(holder->error()));
            break;
        }
        default:
            break;
        }
        countFault();

        commands().at(command).run(*w, dir, answerer);
        QTRY_VERIFY(answerer.done());
        // Time for a box that should not come.
        QTest::qWait(20);
        closeWindows();
        w.reset();
        QVERIFY(answerer.unexpected().isEmpty());
        const ModalAnswerer::Seen warning = answerer.seen().last();
        QCOMPARE(warning.title, QString("Ошибка"));
        // The reason in Russian; the database's own words only in the details.
        QVERIFY2(warning.text.contains(": " + reason + "."), qPrintable(warning.text));
        QVERIFY(!warning.detailedText.isEmpty());
        if (holder)
            QVERIFY(holder->release());
        QCOMPARE(dump(), before);
        QCOMPARE(files("files"), documents);
        // Nothing made anew where the database was.
        if (fault == FileRemoved || fault == FolderRemoved)
            QVERIFY(!QFile::exists("data/BaseDate.db"));
    }

    // A second copy of the program that holds the write lock for a moment is
    // waited for (the connection waits up to 5 s), so the write goes through
    // and both copies' changes are kept: a plain statement and a transaction.
    void secondCopyIsWaitedFor()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        fill(dir);
        MainWindow w;
        QSqlQuery pragma(QSqlDatabase::database());
        QVERIFY(pragma.exec("PRAGMA busy_timeout") && pragma.next());
        QCOMPARE(pragma.value(0).toInt(), 5000);
        pragma.finish();

        const QList<std::pair<const char *, int>> writes{{"orders window: add", 0},
                                                         {"serviceman form: new personal number", 1}};
        for (const auto &[name, n] : writes) {
            const Command *command = nullptr;
            for (const Command &c : commands()) {
                if (QByteArray(c.name) == name)
                    command = &c;
            }
            QVERIFY(command);
            LockHolder holder("data/BaseDate.db", 300, QString("Другая копия %1").arg(n));
            QVERIFY2(holder.locked(), qPrintable(holder.error()));
            countFault();
            ModalAnswerer answerer;
            QElapsedTimer waited;
            waited.start();
            command->run(w, dir, answerer);
            const qint64 ms = waited.elapsed();
            closeWindows();
            QVERIFY(holder.release());
            QVERIFY2(ms >= 250 && ms < 4000, qPrintable(QString("%1: %2 ms").arg(name).arg(ms)));
            // Only the question was asked: no warning, the write went through.
            QCOMPARE(answerer.pending(), 1);
            QCOMPARE(answerer.seen().size(), 1);
            QVERIFY(answerer.unexpected().isEmpty());
        }
        QCOMPARE(rows("SELECT LN, what, prikaznom FROM prikaz ORDER BY rowid"),
                 (QList<QStringList>{{"101", "vzs", "4"}, {"101", "blag", "7"}, {"101", "vzs", "5"}}));
        QCOMPARE(value("SELECT LN FROM Files"), QString("101"));
        QCOMPARE(value("SELECT group_concat(Rank, ', ') FROM Ranks WHERE Rank_massa = 1000"),
                 QString("Другая копия 0, Другая копия 1"));
    }

    // "--ver" while another program holds the database locked: told as
    // busy, not as a file that is no database, and nothing changes.
    void verificationOfABusyDatabase()
    {
        WorkDir dir;
        QVERIFY(exec("CREATE TABLE Extra (a TEXT)"));
        testDb().close();
        LockHolder holder("data/BaseDate.db", -1, QString(), true);
        QVERIFY2(holder.locked(), qPrintable(holder.error()));
        countFault();
        ModalAnswerer answerer;
        answerer.button("OK");
        Function::ver();
        QVERIFY(answerer.done());
        QVERIFY(holder.release());
        QVERIFY2(answerer.seen().at(0).text.contains("занята другой программой"),
                 qPrintable(answerer.seen().at(0).text));
        QCOMPARE(value("SELECT count(*) FROM sqlite_master WHERE name = 'Extra'"), QString("1"));
    }

    // The folder of documents gone, gone where it cannot be made again,
    // read-only or full. Attaching says "Ошибка" and changes nothing, or,
    // where the folder can be made again, attaches; deleting an attachment
    // takes its row and keeps a copy it cannot remove.
    void filesFolderFaults_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<bool>("warns");
        const QByteArray attach("orders window: attach");
        const QByteArray detach("orders window: delete attachment");
        QTest::newRow("missing, attach") << int(FilesMissing) << attach << false;
        QTest::newRow("missing, delete attachment") << int(FilesMissing) << detach << false;
        QTest::newRow("missing and cannot be made, attach") << int(FilesCannotBeMade) << attach << true;
        QTest::newRow("read-only, attach") << int(FilesReadOnly) << attach << true;
        QTest::newRow("read-only, delete attachment") << int(FilesReadOnly) << detach << false;
        QTest::newRow("full, attach") << int(FilesFull) << attach << true;
    }
    void filesFolderFaults()
    {
        QFETCH(int, fault);
        QFETCH(QByteArray, command);
        QFETCH(bool, warns);
        WorkDir dir(WorkDir::WithoutDatabase);
        fill(dir);
        std::unique_ptr<SmallDisk> disk;
        std::unique_ptr<Unwritable> unwritable;
        switch (fault) {
        case FilesMissing:
        case FilesCannotBeMade:
            QVERIFY(QDir("files").removeRecursively());
            if (fault == FilesCannotBeMade)
                unwritable = std::make_unique<Unwritable>(dir.path());
            break;
        case FilesReadOnly:
            unwritable = std::make_unique<Unwritable>("files");
            break;
        case FilesFull:
            QVERIFY(QDir().rename("files", "files.orig"));
            disk = std::make_unique<SmallDisk>("files", 64);
            if (!disk->ok())
                QSKIP(qPrintable(disk->why()));
            QVERIFY(QFile::copy("files.orig/doc.pdf", "files/doc.pdf"));
            QVERIFY(disk->fill());
            break;
        }
        if (unwritable && !unwritable->ok())
            QSKIP(qPrintable(unwritable->how()));
        countFault();
        QString before;
        const QMap<QString, QByteArray> documents = files("files");
        {
            ModalAnswerer answerer;
            MainWindow w;
            // As the start left it (the stale counts put right).
            before = dump();
            for (const Command &c : commands()) {
                if (command == c.name)
                    c.run(w, dir, answerer);
            }
            QTRY_VERIFY(answerer.pending() <= 1);
            QTest::qWait(20);
            closeWindows();
            QVERIFY(answerer.unexpected().isEmpty());
            QCOMPARE(answerer.done(), warns);
            const QString titles = [&] {
                QStringList out;
                for (const ModalAnswerer::Seen &seen : answerer.seen())
                    out << seen.title + ": " + seen.text;
                return out.join('\n');
            }();
            QVERIFY2(titles.contains("Ошибка") == warns, qPrintable(titles));
        }
        unwritable.reset();
        if (warns) {
            QCOMPARE(dump(), before);
            QCOMPARE(files("files"), documents);
        } else if (command.contains("attach") && !command.contains("delete")) {
            QCOMPARE(value("SELECT group_concat(Giper, ', ') FROM Files"),
                     QString("files/doc.pdf, files/new.pdf"));
            QCOMPARE(files("files").value("files/new.pdf"), QByteArray("new document"));
        } else {
            QCOMPARE(value("SELECT count(*) FROM Files"), QString("0"));
            QCOMPARE(files("files"), documents);
        }
    }

    // Backup and restore where the database folder is read-only, full, or
    // has room for the restored copy but not for the safety copy of the
    // live file: "Ошибка", not a file of the folder changed, none left
    // behind, and the program goes on reading its database.
    void copiesInFaultyFolder_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("restore");
        // A read-only database is copied as well as any.
        QTest::newRow("read-only file, backup") << int(ReadOnlyFile) << false;
        QTest::newRow("read-only folder, backup") << int(ReadOnlyFolder) << false;
        QTest::newRow("read-only folder, restore") << int(ReadOnlyFolder) << true;
        QTest::newRow("full disk, backup") << int(FullDisk) << false;
        QTest::newRow("full disk, restore") << int(FullDisk) << true;
        QTest::newRow("room for one copy only, restore") << int(-1) << true;
    }
    void copiesInFaultyFolder()
    {
        QFETCH(int, fault);
        QFETCH(bool, restore);
        WorkDir dir(WorkDir::WithoutDatabase);
        fill(dir);
        QString error;
        QVERIFY(QDir().mkpath("outside"));
        QVERIFY2(DatabaseCopy::backup("data/BaseDate.db", "outside/copy.db", &error), qPrintable(error));
        std::unique_ptr<SmallDisk> disk;
        std::unique_ptr<Unwritable> unwritable;
        if (fault == ReadOnlyFile || fault == ReadOnlyFolder) {
            unwritable = std::make_unique<Unwritable>(fault == ReadOnlyFile ? "data/BaseDate.db" : "data");
            if (!unwritable->ok())
                QSKIP(qPrintable(unwritable->how()));
        } else {
            QVERIFY(QDir().rename("data", "data.orig"));
            disk = std::make_unique<SmallDisk>("data", 256);
            if (!disk->ok())
                QSKIP(qPrintable(disk->why()));
            QVERIFY(QFile::copy("data.orig/BaseDate.db", "data/BaseDate.db"));
            QVERIFY(disk->fill());
            // Room for the chosen copy, not for the safety copy as well.
            if (fault != FullDisk)
                QVERIFY(disk->free(int(QFileInfo("outside/copy.db").size() / 1024) + 8));
        }
        countFault();
        QMap<QString, QByteArray> before;
        {
            ModalAnswerer answerer;
            MainWindow w;
            // As the start left it (the stale counts put right where there was room).
            before = files("data");
            QCOMPARE(summary(w)->rowCount(), 1);
            answerer.button("Так точно");
            if (restore)
                answerer.file(dir.filePath("outside/copy.db"));
            answerer.button("OK");
            w.findChild<QAction *>(restore ? "action_9" : "action")->trigger();
            QVERIFY(answerer.done());
            QVERIFY(answerer.unexpected().isEmpty());
            const ModalAnswerer::Seen told = answerer.seen().last();
            if (fault == ReadOnlyFile && !restore) {
                QCOMPARE(told.text, QString("Резервная копия создана"));
                const QStringList made = QDir("data").entryList({"BaseDate2*.db"});
                QCOMPARE(made.size(), 1);
                QVERIFY(DatabaseCopy::isDatabase("data/" + made.first()));
                QVERIFY(QFile::remove("data/" + made.first()));
                return;
            }
            QCOMPARE(told.title, QString("Ошибка"));
            QVERIFY2(told.text.startsWith(restore ? "Резервная копия не восстановлена: "
                                                  : "Резервная копия не создана: "),
                     qPrintable(told.text));
            // The reason is the one the system gave (in Qt's Russian), not
            // "Unknown error".
            if (fault != ReadOnlyFile && fault != ReadOnlyFolder)
                QVERIFY2(told.text.contains("Нет свободного места на устройстве") ||
                             told.text.contains("на диске нет места"),
                         qPrintable(told.text));
            QMetaObject::invokeMethod(&w, "clear_tableWidgets");
            QCOMPARE(summary(w)->rowCount(), 1);
        }
        QCOMPARE(files("data"), before);
    }

    // The daily copy where the database folder is read-only: the user is
    // told once a day, and the program goes on with its database.
    void dailyCopyInReadOnlyFolder()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        fill(dir);
        Unwritable unwritable("data");
        if (!unwritable.ok())
            QSKIP(qPrintable(unwritable.how()));
        ModalAnswerer answerer;
        MainWindow w;
        answerer.button("OK");
        for (int i = 0; i < 2; ++i) {
            w.backupDaily();
            QVERIFY(QTest::qWaitFor([&w] { return !w.dailyCopyRunning(); }));
        }
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
        QCOMPARE(answerer.seen().size(), 1);
        QVERIFY2(answerer.seen().first().text.startsWith("Ежедневная резервная копия базы данных не создана: "),
                 qPrintable(answerer.seen().first().text));
        QCOMPARE(summary(w)->rowCount(), 1);
    }

    // A backup of a file without a single table (an empty file reads as one)
    // would hold nothing: it is refused, no copy is left and the file stays.
    void backupOfFileWithoutTables_data()
    {
        QTest::addColumn<bool>("empty");
        QTest::newRow("empty file") << true;
        QTest::newRow("database without tables") << false;
    }
    void backupOfFileWithoutTables()
    {
        QFETCH(bool, empty);
        WorkDir dir(WorkDir::WithoutDatabase);
        dir.writeFile("data/BaseDate.db", "");
        if (!empty) {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "without tables");
            db.setDatabaseName("data/BaseDate.db");
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("PRAGMA user_version = 7"));
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase("without tables");
        }
        const QMap<QString, QByteArray> before = files("data");
        QCOMPARE(QFileInfo("data/BaseDate.db").size() == 0, empty);
        countFault();
        QString error;
        QVERIFY(!DatabaseCopy::backup("data/BaseDate.db", "data/copy.db", &error));
        QVERIFY2(error.contains("нет ни одной таблицы"), qPrintable(error));
        QCOMPARE(files("data"), before);
    }

    // A "BaseDate.db" that is empty, cut short or not a database: the program
    // starts, says so, every write and the backup say "Ошибка", the schema
    // verification leaves it alone, and not a byte of it changes.
    void damagedDatabaseFile_data()
    {
        QTest::addColumn<int>("keep");
        QTest::addColumn<QByteArray>("tail");
        QTest::newRow("empty file") << 0 << QByteArray();
        QTest::newRow("a text, not a database") << 0 << QByteArray("Список личного состава\n");
        QTest::newRow("first page only") << 4096 << QByteArray();
        QTest::newRow("cut in half") << -2 << QByteArray();
        QTest::newRow("last page missing") << -1 << QByteArray();
        QTest::newRow("database header, then something else") << 100 << QByteArray(8000, '\x5a');
    }
    void damagedDatabaseFile()
    {
        QFETCH(int, keep);
        QFETCH(QByteArray, tail);
        WorkDir dir(WorkDir::WithoutDatabase);
        fill(dir);
        // Several pages, so that a cut leaves whole pages behind.
        QVERIFY(testDb().transaction());
        for (int i = 0; i < 200; ++i)
            QVERIFY(addServiceman("2", QString("Петров %1 ").arg(i) + QString(100, QChar(u'ж')),
                                  QString::number(1000 + i)));
        QVERIFY(testDb().commit());
        testDb().close();
        QByteArray damaged;
        {
            QFile f("data/BaseDate.db");
            QVERIFY(f.open(QIODevice::ReadOnly));
            damaged = f.readAll();
        }
        QVERIFY(damaged.size() > 8 * 4096);
        damaged = (keep >= 0 ? damaged.left(keep)
                             : damaged.left(keep == -1 ? damaged.size() - 4096 : damaged.size() / 2)) +
                  tail;
        dir.writeFile("data/BaseDate.db", damaged);
        countFault();

        ModalAnswerer answerer;
        answerer.button("OK");
        auto w = std::make_unique<MainWindow>();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).title, QString("Ошибка"));
        QVERIFY2(answerer.seen().at(0).text.contains("BaseDate.db"), qPrintable(answerer.seen().at(0).text));
        QCOMPARE(summary(*w)->rowCount(), 0);
        for (const char *name : {"serviceman form: add", "orders window: add", "main window: backup"}) {
            answerer.clear();
            if (QByteArray(name) == "main window: backup") {
                answerer.button("Так точно").button("OK");
                w->findChild<QAction *>("action")->trigger();
            } else {
                for (const Command &c : commands()) {
                    if (QByteArray(c.name) == name)
                        c.run(*w, dir, answerer);
                }
            }
            QTRY_VERIFY(answerer.done());
            closeWindows();
            QVERIFY(answerer.unexpected().isEmpty());
            QCOMPARE(answerer.seen().last().title, QString("Ошибка"));
        }
        w.reset();
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
        if (!damaged.isEmpty()) {
            // An empty file is where the verification makes a new database.
            answerer.clear();
            answerer.button("OK");
            Function::ver();
            QVERIFY(answerer.done());
            QCOMPARE(answerer.seen().at(0).title, QString("Ошибка"));
        }
        QCOMPARE(QDir("data").entryList(QDir::Files), QStringList{"BaseDate.db"});
        QFile f("data/BaseDate.db");
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll() == damaged);
    }
};

int main(int argc, char *argv[])
{
    // Started again by LockHolder as the other copy of the program.
    const int holder = holdLockMain(argc, argv);
    if (holder >= 0)
        return holder;
    privateMounts();
    QApplication app(argc, argv);
    TestFaults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_faults.moc"
