// Documents attached to an order: attaching, opening and deleting.
#include "orderwindow.h"
#include "testsupport.h"
#include "urlcatcher.h"
#include "storage/register/attachmentremoval.h"
#include "storage/register/attachments.h"
#include "storage/register/orders.h"
#include "windows/mainwindow.h"

#include <QAction>
#include <QLabel>
#include <QDesktopServices>
#include <QPushButton>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using namespace TestSupport;

namespace {

QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void addOrders()
{
    QVERIFY(addServiceman("1", "Иванов Иван Иванович", "77"));
    QVERIFY(addServiceman("2", "Петров Пётр Петрович", "88"));
    for (const auto &[ln, number] : {std::pair{"77", "15"}, {"77", "16"}, {"88", "15"}}) {
        Order o;
        o.LN = ln;
        o.what = "blag";
        o.prikaznom = number;
        o.Date_time = number == QString("15") ? "02.01.2020" : "01.01.2020";
        QVERIFY(addOrder(o));
    }
}

// Shows the page "Файлы" of the order in `row` of the list.
void showFiles(const OrdersWindow &w, int row)
{
    auto *tabs = w.at<QTabWidget>("tabWidget");
    tabs->setCurrentIndex(0);
    clickCell(w.list(), row);
    tabs->setCurrentIndex(1);
}

// Attaches `path` through the file dialog; `answers` follow the dialog.
void attach(const OrdersWindow &w, const QString &path, const QStringList &answers = {})
{
    ModalAnswerer answerer;
    answerer.file(path);
    for (const QString &a : answers)
        answerer.button(a);
    w.at<QPushButton>("pushButton")->click();
    QVERIFY(answerer.done());
    QVERIFY(answerer.unexpected().isEmpty());
}

QList<QStringList> fileRows()
{
    return rows("SELECT prikaznom, what, Giper, name_file, LN FROM Files ORDER BY rowid");
}

} // namespace

class TestOrderFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    // A copy goes to "files" (made when missing) and the row is recorded.
    // A different file of a taken name is kept under a free name; the same
    // content reuses the copy; one name is attached to an order once.
    void attaching()
    {
        WorkDir dir;
        addOrders();
        QTemporaryDir outside;
        const QString a = outside.filePath("Приказ 15.pdf");
        const QString other = outside.filePath("other/Приказ 15.pdf");
        QDir().mkpath(outside.filePath("other"));
        {
            QFile f(a);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("first");
        }
        {
            QFile f(other);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("second");
        }
        QVERIFY(QDir("files").removeRecursively());
        OrdersWindow w77("77", "blag");
        showFiles(w77, 0); // order 15
        attach(w77, a);
        QCOMPARE(fileRows(),
                 (QList<QStringList>{{"15", "blag", "files/Приказ 15.pdf", "Приказ 15.pdf", "77"}}));
        QCOMPARE(read("files/Приказ 15.pdf"), QByteArray("first"));
        QCOMPARE(column(w77.files(), 0), QStringList{"Приказ 15.pdf"});

        showFiles(w77, 1); // order 16: same content, same copy
        attach(w77, a);
        OrdersWindow w88("88", "blag");
        showFiles(w88, 0);
        attach(w88, other); // another file of that name
        QCOMPARE(fileRows().mid(1),
                 (QList<QStringList>{{"16", "blag", "files/Приказ 15.pdf", "Приказ 15.pdf", "77"},
                                     {"15", "blag", "files/Приказ 15 (2).pdf", "Приказ 15.pdf", "88"}}));
        QCOMPARE(read("files/Приказ 15.pdf"), QByteArray("first"));
        QCOMPARE(read("files/Приказ 15 (2).pdf"), QByteArray("second"));
        QCOMPARE(QDir("files").entryList(QDir::Files).size(), 2);
        QCOMPARE(column(w88.files(), 0), QStringList{"Приказ 15.pdf"});

        ModalAnswerer answerer;
        answerer.file(other).button("OK");
        w88.at<QPushButton>("pushButton")->click();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(1).title, QString("Оповещение"));
        QCOMPARE(fileRows().size(), 3);
        QCOMPARE(w88.files()->rowCount(), 1);

        // The lists are loaded from the table each time the page is shown.
        showFiles(w77, 0);
        QCOMPARE(column(w77.files(), 0), QStringList{"Приказ 15.pdf"});
    }

    // Names with quotes are stored as they are; a cancelled dialog records
    // nothing; the action "Удалить" sits on the file list's context menu.
    void namesAndCancel()
    {
        WorkDir dir;
        addOrders();
        dir.writeFile("src/Д'Арт %1.txt", "x");
        OrdersWindow w("77", "blag");
        QVERIFY(w.files()->actions().contains(w.at<QAction>("action")));
        showFiles(w, 0);
        attach(w, dir.filePath("src/Д'Арт %1.txt"));
        QCOMPARE(value("SELECT Giper FROM Files"), QString("files/Д'Арт %1.txt"));
        QCOMPARE(value("SELECT name_file FROM Files"), QString("Д'Арт %1.txt"));

        ModalAnswerer answerer;
        answerer.cancel().button("OK");
        w.at<QPushButton>("pushButton")->click();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(1).text, QString("Не выбрано имя фаила"));
        QCOMPARE(fileRows().size(), 1);
    }

    // A failed copy or a refused row is reported and leaves nothing behind:
    // no row, no name in the list, no stray copy.
    void failures()
    {
        WorkDir dir;
        addOrders();
        dir.writeFile("src/big.bin", QByteArray(256 * 1024, 'x'));
        dir.writeFile("src/doc.pdf", "doc");
        OrdersWindow w("77", "blag");
        showFiles(w, 0);
#ifdef Q_OS_UNIX
        {
            // Files may not grow past 64 KiB while this copy runs.
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit saved{};
            getrlimit(RLIMIT_FSIZE, &saved);
            rlimit small = saved;
            small.rlim_cur = 64 * 1024;
            setrlimit(RLIMIT_FSIZE, &small);
            ModalAnswerer answerer;
            answerer.file(dir.filePath("src/big.bin")).button("OK");
            w.at<QPushButton>("pushButton")->click();
            setrlimit(RLIMIT_FSIZE, &saved);
            QVERIFY(answerer.done());
            QCOMPARE(answerer.seen().at(1).title, QString("Ошибка"));
            QVERIFY2(answerer.seen().at(1).text.startsWith("Файл «big.bin» не прикреплён"),
                     qPrintable(answerer.seen().at(1).text));
            QVERIFY(!QFile::exists("files/big.bin"));
        }
#endif
        // The database may not grow on the program's connection, and the
        // attachment's record needs room.
        QVERIFY(exec("CREATE TRIGGER refuse BEFORE INSERT ON Files BEGIN "
                     "INSERT INTO prikaz (nameZO) VALUES (zeroblob(100000)); END"));
        auto onProgramConnection = [](const QString &pragma) {
            QSqlQuery query(QSqlDatabase::database());
            const QVariant value = query.exec(pragma) && query.next() ? query.value(0) : QVariant();
            query.finish();
            return value;
        };
        const int pageCount = onProgramConnection("PRAGMA page_count").toInt();
        QVERIFY(pageCount > 0);
        QCOMPARE(onProgramConnection(QString("PRAGMA max_page_count = %1").arg(pageCount)).toInt(), pageCount);
        ModalAnswerer answerer;
        answerer.file(dir.filePath("src/doc.pdf")).button("OK");
        w.at<QPushButton>("pushButton")->click();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(1).title, QString("Ошибка"));
        QVERIFY(answerer.seen().at(1).text.startsWith("Файл не прикреплён: на диске нет места"));
        QVERIFY(!QFile::exists("files/doc.pdf"));
        QCOMPARE(fileRows().size(), 0);
        QCOMPARE(w.files()->rowCount(), 0);

        // The folder cannot be made where a plain file takes its name.
        QVERIFY(exec("DROP TRIGGER refuse"));
        onProgramConnection("PRAGMA max_page_count = 1073741823");
        QVERIFY(QDir("files").removeRecursively());
        dir.writeFile("files", "not a folder");
        answerer.clear();
        answerer.file(dir.filePath("src/doc.pdf")).button("OK");
        w.at<QPushButton>("pushButton")->click();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(1).title, QString("Ошибка"));
        QCOMPARE(fileRows().size(), 0);
    }

    // Opening finds this serviceman's copy, hands it to the desktop, and says
    // in the status line when the copy is missing.
    void opening()
    {
        WorkDir dir;
        addOrders();
        dir.writeFile("files/Приказ 15.pdf", "of 88");
        dir.writeFile("files/Приказ 15 (2).pdf", "of 77");
        QVERIFY(
            exec("INSERT INTO Files VALUES ('15', 'blag', 'files/Приказ 15.pdf', 'Приказ 15.pdf', '88')"));
        QVERIFY(exec(
            "INSERT INTO Files VALUES ('15', 'blag', 'files/Приказ 15 (2).pdf', 'Приказ 15.pdf', '77')"));
        UrlCatcher catcher;
        OrdersWindow w("77", "blag");
        showFiles(w, 0);
        QTableWidget *files = w.files();
        doubleClickCell(files, 0);
        QCOMPARE(catcher.urls,
                 QList<QUrl>{QUrl::fromLocalFile(QFileInfo("files/Приказ 15 (2).pdf").absoluteFilePath())});

        QVERIFY(QFile::remove("files/Приказ 15 (2).pdf"));
        ModalAnswerer answerer;
        doubleClickCell(files, 0);
        QVERIFY2(w.status().contains("не найдена"), qPrintable(w.status()));
        QVERIFY(answerer.unexpected().isEmpty());
        QCOMPARE(catcher.urls.size(), 1);
    }

    // A name an attachment refers to stays its document's when the copy went
    // missing (a tidied folder): another file of that name gets a free name.
    void missingCopyKeepsItsName()
    {
        WorkDir dir;
        addOrders();
        dir.writeFile("src/a/order.pdf", "of 77");
        dir.writeFile("src/b/order.pdf", "of 88");
        OrdersWindow w77("77", "blag");
        showFiles(w77, 0);
        attach(w77, dir.filePath("src/a/order.pdf"));
        QVERIFY(QFile::remove("files/order.pdf"));
        OrdersWindow w88("88", "blag");
        showFiles(w88, 0);
        attach(w88, dir.filePath("src/b/order.pdf"));
        QCOMPARE(rows("SELECT LN, Giper FROM Files ORDER BY rowid"),
                 (QList<QStringList>{{"77", "files/order.pdf"}, {"88", "files/order (2).pdf"}}));
        QCOMPARE(read("files/order (2).pdf"), QByteArray("of 88"));
    }

    // Only copies inside "files" are opened, links and ".." resolved; a record
    // naming anything else is refused (status line and log), and deleting it
    // leaves that file where it is.
    void onlyTheStoreIsOpened()
    {
        WorkDir dir;
        addOrders();
        dir.writeFile("outside/run.sh", "outside");
        dir.writeFile("outside/ext/doc.pdf", "outside");
        QVERIFY(QFile::link(dir.filePath("outside/run.sh"), "files/link.pdf"));
        QVERIFY(QFile::link(dir.filePath("outside/ext"), "files/ext"));
        const QStringList paths{dir.filePath("outside/run.sh"), "files/../outside/run.sh", "files/link.pdf",
                                "files/ext/doc.pdf"};
        for (const QString &path : paths)
            QVERIFY(exec("INSERT INTO Files VALUES ('15', 'blag', ?, ?, '77')", {path, path}));
        UrlCatcher catcher;
        ModalAnswerer answerer;
        OrdersWindow w("77", "blag");
        showFiles(w, 0);
        QStringList said;
        for (int i = 0; i < paths.size(); ++i) {
            doubleClickCell(w.files(), i);
            said << w.status();
        }
        QVERIFY(catcher.urls.isEmpty());
        for (int i = 0; i < paths.size(); ++i) {
            clickCell(w.files(), 0);
            answerer.button("Так точно");
            w.at<QPushButton>("pushButton_2")->click();
        }
        QCOMPARE(fileRows().size(), 0);
        QCOMPARE(read("outside/run.sh") + read("outside/ext/doc.pdf"), QByteArray("outsideoutside"));
        QVERIFY(QFileInfo("files/link.pdf").isSymLink());
        QVERIFY(answerer.unexpected().isEmpty());
        QCOMPARE(said.filter("вне папки документов").size(), paths.size());
        QString log;
        QVERIFY(dir.readText("log", &log));
        QCOMPARE(log.count("не открыт"), paths.size());
    }

    // Deleting removes only this order's row; the copy is moved aside with
    // the last row that refers to it (a backup may still refer to it).
    void deleting()
    {
        WorkDir dir;
        addOrders();
        dir.writeFile("files/Приказ 15.pdf", "shared");
        for (const char *row : {"('15', 'blag', 'files/Приказ 15.pdf', 'Приказ 15.pdf', '77')",
                                "('16', 'blag', 'files/Приказ 15.pdf', 'Приказ 15.pdf', '77')",
                                "('15', 'blag', 'files/Приказ 15.pdf', 'Приказ 15.pdf', '88')",
                                "('15', 'blag', 'files/gone.pdf', 'gone.pdf', '77')"})
            QVERIFY(exec(QString("INSERT INTO Files VALUES %1").arg(row)));
        OrdersWindow w("77", "blag");
        showFiles(w, 0);
        QCOMPARE(column(w.files(), 0), (QStringList{"Приказ 15.pdf", "gone.pdf"}));

        ModalAnswerer answerer;
        answerer.button("Так точно"); // nothing chosen: asks, does nothing
        w.at<QPushButton>("pushButton_2")->click();
        clickCell(w.files(), 0);
        answerer.button("Никак нет");
        w.at<QPushButton>("pushButton_2")->click();
        QVERIFY(answerer.done());
        QCOMPARE(fileRows().size(), 4);

        answerer.button("Так точно");
        w.at<QPushButton>("pushButton_2")->click();
        QCOMPARE(column(w.files(), 0), QStringList{"gone.pdf"});
        QCOMPARE(rows("SELECT prikaznom, LN FROM Files WHERE name_file = 'Приказ 15.pdf' ORDER BY rowid"),
                 (QList<QStringList>{{"16", "77"}, {"15", "88"}}));
        QVERIFY(QFile::exists("files/Приказ 15.pdf"));

        clickCell(w.files(), 0); // a copy already gone still loses its row
        answerer.button("Так точно");
        w.at<QAction>("action")->trigger();
        QCOMPARE(w.files()->rowCount(), 0);

        OrdersWindow w88("88", "blag");
        showFiles(w88, 0);
        showFiles(w, 1);
        for (const OrdersWindow *o : {&w88, &w}) {
            clickCell(o->files(), 0);
            answerer.button("Так точно");
            o->at<QPushButton>("pushButton_2")->click();
        }
        QVERIFY(answerer.done());
        QCOMPARE(fileRows().size(), 0);
        QVERIFY(!QFile::exists("files/Приказ 15.pdf"));
        QVERIFY(QFile::exists("files/Откреплённые/Приказ 15.pdf"));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // A program stopped during an attachment before its record was written
    // leaves no copy named in the folder; stopped after, the next start
    // gives the copy its name; stopped after a removal was written, the
    // next start puts the copy aside, unless a record still names it; each
    // is told.
    void stoppedAttachmentsAreFinishedAtStart()
    {
        WorkDir dir;
        addOrders();
        dir.writeFile("source/before.pdf", "before");
        dir.writeFile("source/after.pdf", "after");
        openProgramDatabase();
        QString target;
        QString error;
        bool fresh = false;
        QVERIFY(Attachments::store(dir.filePath("source/before.pdf"), "before.pdf", &target, &fresh, &error));
        QVERIFY(!QFile::exists("files/before.pdf"));
        QVERIFY(Attachments::store(dir.filePath("source/after.pdf"), "after.pdf", &target, &fresh, &error));
        QCOMPARE(Orders::attach("77", "blag", "15", target, "after.pdf").outcome, Orders::Outcome::Done);
        dir.writeFile("files/detached.pdf", "detached");
        dir.writeFile("files/kept.pdf", "kept");
        QVERIFY(exec("INSERT INTO Files VALUES ('16', 'blag', 'files/kept.pdf', 'kept.pdf', '77')"));
        Attachments::markRemoval("files/detached.pdf");
        Attachments::markRemoval("files/kept.pdf");
        {
            MainWindow main;
            QCOMPARE(read("files/after.pdf"), QByteArray("after"));
            QCOMPARE(QDir("files").entryList(QDir::Files | QDir::Hidden), (QStringList{"after.pdf", "kept.pdf"}));
            QCOMPARE(read("files/Откреплённые/detached.pdf"), QByteArray("detached"));
            const QString said = main.findChild<QLabel *>("label_start")->toolTip();
            QVERIFY2(said.contains("«after.pdf»") && said.contains("«detached.pdf»"), qPrintable(said));
        }
        // The name of the copy that never got its record is free again.
        QVERIFY(Attachments::store(dir.filePath("source/before.pdf"), "before.pdf", &target, &fresh, &error));
        QCOMPARE(target, QString("files/before.pdf"));
    }
};

QTEST_MAIN(TestOrderFiles)
#include "tst_orderfiles.moc"
