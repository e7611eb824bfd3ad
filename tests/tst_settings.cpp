// The settings window: the database folder in settings.ini, chosen in a
// dialog, typed, or reset to "data"; and the way to the reference editor.
// The rights of the working folder and of what the program writes there.
#include "export/tableexport.h"
#include "function.h"
#include "view/application.h"
#include "storage/register/attachments.h"
#include "storage/copies/databasecopy.h"
#include "storage/setup/settings.h"
#include "storage/setup/privacy.h"
#include "windows/mainwindow.h"
#include "windows/settings.h"
#include "testsupport.h"
#include "toplevels.h"
#include "windows/vestable.h"
#include "storage/db/errorlog.h"
#include "storage/db/errors.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QScopeGuard>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace TestSupport;

namespace {

QLineEdit *field(settings &w)
{
    return w.findChild<QLineEdit *>("lineEdit");
}

void click(settings &w, const char *button)
{
    w.findChild<QPushButton *>(button)->click();
}

QString storedFolder()
{
    return QSettings("settings.ini", QSettings::IniFormat).value("Path/db").toString();
}

QByteArray settingsFile()
{
    QFile f("settings.ini");
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The user's usual file mask, which the program finds at start.
const mode_t USUAL_MASK = 022;

bool setMode(const QString &path, int mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

// The paths whose mode is not `expected`, each with its mode.
QString wrongModes(const QStringList &paths, int expected)
{
    QStringList wrong;
    struct stat st {};
    for (const QString &path : paths)
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || int(st.st_mode & 0777) != expected)
            wrong << QStringLiteral("%1 %2").arg(path).arg(st.st_mode & 0777, 0, 8);
    return wrong.join(", ");
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        ::umask(USUAL_MASK);
        TestSupport::initTestCase();
    }
    void init() { failOnSlotWarnings(); }

    void form()
    {
        WorkDir dir;
        settings w;
        QCOMPARE(w.objectName(), QString("settings"));
        QCOMPARE(w.windowTitle(), QString("Настройки"));
        QCOMPARE(w.size(), QSize(400, 124));
        QCOMPARE(w.font().family(), QString("Times New Roman"));
        QCOMPARE(w.font().pointSize(), 11);
        QCOMPARE(w.findChild<QLabel *>("label")->text(), QString("Путь до базы"));
        QCOMPARE(w.findChild<QPushButton *>("pushButton")->text(), QString("Выбрать путь до базы"));
        QCOMPARE(w.findChild<QPushButton *>("pushButton_3")->text(), QString("Стандартный путь"));
        QCOMPARE(w.findChild<QPushButton *>("pushButton_2")->text(), QString("Приоретет"));
        QCOMPARE(field(w)->text(), QString("data"));
    }

    // The field shows "Path/db" as it stands, empty when there is none.
    void fieldShowsTheStoredValue_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("shown");
        QTest::newRow("folder") << QByteArray("[Path]\ndb=/srv/база данных\n") << "/srv/база данных";
        QTest::newRow("no key") << QByteArray("[Other]\nx=1\n") << "";
        QTest::newRow("no file") << QByteArray() << "";
    }
    void fieldShowsTheStoredValue()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, shown);
        WorkDir dir;
        if (content.isEmpty())
            QFile::remove("settings.ini");
        else
            dir.writeFile("settings.ini", content);
        settings w;
        QCOMPARE(field(w)->text(), shown);
    }

    // A folder picked in the dialog is stored as the dialog gives it; a
    // cancelled dialog changes neither the file nor the field.
    void pickFolderOrCancel()
    {
        WorkDir dir;
        QVERIFY(QDir().mkpath("другая база"));
        const QString picked = QDir(dir.path()).absoluteFilePath("другая база");
        settings w;
        ModalAnswerer answerer;
        answerer.file(picked + "/");
        click(w, "pushButton");
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).className, QString("QFileDialog"));
        QCOMPARE(storedFolder(), picked);
        QCOMPARE(field(w)->text(), picked);
        QVERIFY(!picked.endsWith('/'));

        const QByteArray before = settingsFile();
        answerer.cancel();
        click(w, "pushButton");
        QVERIFY(answerer.done());
        QCOMPARE(settingsFile(), before);
        QCOMPARE(field(w)->text(), picked);
        QVERIFY(answerer.unexpected().isEmpty());
    }

    void standardFolder()
    {
        WorkDir dir;
        dir.writeFile("settings.ini", "[Path]\ndb=/elsewhere\n");
        settings w;
        QCOMPARE(field(w)->text(), QString("/elsewhere"));
        click(w, "pushButton_3");
        QCOMPARE(storedFolder(), QString("data"));
        QCOMPARE(field(w)->text(), QString("data"));
    }

    // Enter stores the text as typed; a text set by the program is not stored.
    void typedFolder()
    {
        WorkDir dir;
        settings w;
        field(w)->setText("  /путь с пробелами  ");
        QCOMPARE(storedFolder(), QString("data"));
        QTest::keyClick(field(w), Qt::Key_Return);
        QCOMPARE(storedFolder(), QString("  /путь с пробелами  "));
        // A second window reads what the first wrote.
        settings other;
        QCOMPARE(field(other)->text(), QString("  /путь с пробелами  "));
    }

    // The encryption of the server connection, checked against a
    // certificate authority's file: a file that is not there is not stored,
    // and a line of the window says so; one picked in the dialog is.
    void encryptionSetting()
    {
        WorkDir dir;
        QSettings("settings.ini", QSettings::IniFormat).setValue("Database/kind", "postgresql");
        settings w;
        auto *mode = w.findChild<QComboBox *>("comboBox_ssl");
        QVERIFY(mode);
        QCOMPARE(mode->currentText(), QString("если сервер поддерживает"));
        mode->setCurrentIndex(2);
        emit mode->activated(2);
        auto stored = [](const char *key) { return QSettings("settings.ini", QSettings::IniFormat).value(key); };
        QCOMPARE(stored("Database/sslmode").toString(), QString("verify-full"));
        auto *ca = w.findChild<QLineEdit *>("lineEdit_ca");
        ca->setText("нет.crt");
        QTest::keyClick(ca, Qt::Key_Return);
        QVERIFY(!stored("Database/sslrootcert").isValid());
        auto *note = w.findChild<QLabel *>("label_ca_note");
        QVERIFY(note->text().contains("«нет.crt» не найден"));
        // The note is shown whole, in as many lines as it needs.
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        ca->setText("нет-и-этого-файла-центра-сертификации-выданного-для-сервера-базы-данных.crt");
        QTest::keyClick(ca, Qt::Key_Return);
        QTRY_VERIFY2(note->height() >= note->heightForWidth(note->width()),
                     qPrintable(QString("%1 < %2").arg(note->height()).arg(note->heightForWidth(note->width()))));
        dir.writeFile("ca.crt", "CA");
        ModalAnswerer answerer;
        answerer.file(dir.filePath("ca.crt"));
        click(w, "pushButton_ca");
        QCOMPARE(stored("Database/sslrootcert").toString(), dir.filePath("ca.crt"));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // A settings file that cannot be written is told, and the field shows
    // what the file really holds.
    void unwritableSettingsAreTold()
    {
        // Without a database: making one reads settings.ini, and Qt keeps
        // what it read even once the file has become a folder.
        WorkDir dir(WorkDir::WithoutDatabase);
        QVERIFY(QFile::remove("settings.ini"));
        QVERIFY(QDir().mkpath("settings.ini"));
        settings w;
        w.show();
        ModalAnswerer answerer;
        answerer.button("OK");
        click(w, "pushButton_3");
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).title, QString("Ошибка"));
        QVERIFY2(answerer.seen().at(0).text.startsWith("Путь до базы не сохранён"),
                 qPrintable(answerer.seen().at(0).text));
        QCOMPARE(field(w)->text(), QString());

        answerer.button("OK");
        field(w)->setText("/typed");
        QTest::keyClick(field(w), Qt::Key_Return);
        QVERIFY(answerer.done());
        QCOMPARE(field(w)->text(), QString());
        // Leaving the field unchanged writes nothing and tells nothing.
        QTest::keyClick(field(w), Qt::Key_Return);
        QTest::qWait(50);
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // A settings.ini that is there but cannot be read (a folder in its
    // place, not a settings file) is told in the status bar and the log,
    // with the database opened instead; a missing one stays silent.
    void unreadableSettingsAreTold_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << "folder";
        QTest::newRow("garbage") << "garbage";
        QTest::newRow("missing") << "missing";
    }
    void unreadableSettingsAreTold()
    {
        QFETCH(QString, kind);
        WorkDir dir;
        QVERIFY(QFile::remove("settings.ini"));
        if (kind == "folder")
            QVERIFY(QDir().mkpath("settings.ini"));
        else if (kind == "garbage")
            dir.writeFile("settings.ini", QByteArray(64, '\0')); // a power cut
        MainWindow w;
        const QLabel *note = w.findChild<QLabel *>("label_start");
        QVERIFY(note);
        const QString told = note->text();
        QString log;
        if (kind == "missing") {
            QVERIFY(told.isEmpty());
            QVERIFY(!dir.readText("log", &log));
            return;
        }
        const QString database = QFileInfo("data/BaseDate.db").absoluteFilePath();
        QVERIFY2(told.contains("settings.ini не прочитан") && told.contains("«" + database + "»") &&
                     told.contains("открыта"),
                 qPrintable(told));
        QVERIFY(dir.readText("log", &log) && log.contains(told));
    }

    // "--ver" makes and mends data/BaseDate.db alone: for a database kept in
    // another folder the advice is to restore a backup or choose the folder.
    void adviceForADatabaseElsewhere()
    {
        WorkDir dir;
        QSettings("settings.ini", QSettings::IniFormat).setValue("Path/db", dir.filePath("elsewhere"));
        ModalAnswerer answerer;
        answerer.button("OK");
        {
            MainWindow w;
        }
        QVERIFY(answerer.done());
        const QString advice = answerer.seen().at(0).text;
        QVERIFY2(!advice.contains("создаёт запуск программы с параметром --ver") &&
                     advice.contains("«Востановление резервной копии»"),
                 qPrintable(advice));
        QVERIFY(QDir().mkpath("elsewhere"));
        QVERIFY(QFile::copy("data/BaseDate.db", "elsewhere/BaseDate.db"));
        MainWindow w;
        const QString reason = Errors::describe(Function::Myquery("SELECT * FROM Missing").lastError());
        QVERIFY2(!reason.contains("--ver") && reason.contains("резервной копии"), qPrintable(reason));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // The reminder's months (12 until changed) and the number of daily copies
    // (30): text or a negative number is refused with a message and nothing
    // is written; 0 turns it off.
    void wholeNumbers_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("initial");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("reminder") << "lineEdit_2" << "Reminder/penalty_months" << "12"
                                  << "Срок напоминания не сохранён";
        QTest::newRow("daily copies") << "lineEdit_3" << "Backup/auto_copies" << "30"
                                      << "Число ежедневных копий не сохранено";
    }
    void wholeNumbers()
    {
        QFETCH(QString, field);
        QFETCH(QString, key);
        QFETCH(QString, initial);
        QFETCH(QString, refusal);
        WorkDir dir;
        settings w;
        w.show();
        auto *number = w.findChild<QLineEdit *>(field);
        QCOMPARE(number->text(), initial);
        ModalAnswerer answerer;
        for (const char *typed : {"двенадцать", "-1", "", "1.5"}) {
            answerer.button("OK");
            number->setText(QString::fromUtf8(typed));
            QTest::keyClick(number, Qt::Key_Return);
            QVERIFY(answerer.done());
            QCOMPARE(answerer.seen().last().title, QString("Ошибка"));
            QVERIFY2(answerer.seen().last().text.startsWith(refusal), qPrintable(answerer.seen().last().text));
            QCOMPARE(number->text(), initial);
            QVERIFY(!settingsFile().contains(key.section('/', 0, 0).toUtf8()));
        }
        for (const char *typed : {" 6 ", "0"}) {
            number->setText(QString::fromLatin1(typed));
            QTest::keyClick(number, Qt::Key_Return);
            QCOMPARE(number->text(), QString::fromLatin1(typed).trimmed());
            QCOMPARE(QSettings("settings.ini", QSettings::IniFormat).value(key).toInt(), number->text().toInt());
        }
        QCOMPARE(storedFolder(), QString("data"));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // The extract's header and signature are stored as typed (blanks around
    // dropped) once the field is left, and a new window shows them.
    void extractSettings()
    {
        WorkDir dir;
        {
            settings w;
            w.show();
            auto *rank = w.findChild<QLineEdit *>("lineEdit_extractRank");
            QVERIFY(rank && rank->text().isEmpty());
            rank->setText("  капитан ");
            QTest::keyClick(rank, Qt::Key_Return);
            auto *header = w.findChild<QLineEdit *>("lineEdit_extractHeader2");
            header->setText("Войсковая часть 00000");
            QTest::keyClick(header, Qt::Key_Return);
        }
        QCOMPARE(Settings::setting(Settings::EXTRACT_RANK_KEY).toString(), QString("капитан"));
        settings again;
        QCOMPARE(again.findChild<QLineEdit *>("lineEdit_extractHeader2")->text(), QString("Войсковая часть 00000"));
        QCOMPARE(again.findChild<QLineEdit *>("lineEdit_extractHeader1")->text(), QString());
    }

    // "Приоретет" opens a new editor on every click; "Настройки" in the main
    // window a new settings window, which changes nothing there.
    void windowsOpened()
    {
        WorkDir dir;
        TopLevelGuard<vestable> editors;
        TopLevelGuard<settings> windows;
        MainWindow main;
        QAction *open = main.findChild<QAction *>("action_10");
        open->trigger();
        open->trigger();
        const QList<settings *> opened = topLevels<settings>();
        QCOMPARE(opened.size(), 2);
        for (settings *s : opened) {
            QVERIFY(s->isVisible());
            QVERIFY(!s->parent());
            QVERIFY(s->testAttribute(Qt::WA_DeleteOnClose)); // freed once closed
        }

        settings *s = opened.first();
        click(*s, "pushButton_2");
        click(*s, "pushButton_2");
        const QList<vestable *> editorsOpened = topLevels<vestable>();
        QCOMPARE(editorsOpened.size(), 2);
        for (vestable *e : editorsOpened) {
            QVERIFY(e->isVisible());
            QVERIFY(!e->parent());
        }

        QVERIFY(addServiceman("1", "Иванов", "1"));
        auto *summary = main.findChild<QTableWidget *>("tableWidget_6");
        QCOMPARE(summary->rowCount(), 0);
        QVERIFY(s->close());
        QVERIFY(!s->isVisible());
        QCOMPARE(summary->rowCount(), 0);
        QCOMPARE(topLevels<settings>().size(), 2);
    }

    // What the program writes in its working folder is the user's alone;
    // what he exports to a place he chose gets his usual rights.
    void privateFiles()
    {
        const auto usual = qScopeGuard([] { ::umask(USUAL_MASK); });
        WorkDir dir(WorkDir::WithoutDatabase);
        QVERIFY(QFile::remove("settings.ini") && QDir("files").removeRecursively());
        Privacy::keepPrivate();
        Function::ver();
        QVERIFY(Settings::storeDatabaseFolder("data"));
        QVERIFY(Query::appendLog("запись\n"));
        QString error;
        QVERIFY2(DatabaseCopy::backup("data/BaseDate.db", "data/BaseDate_copy.db", &error),
                 qPrintable(error));
        dir.writeFile("in/Приказ.pdf", "документ");
        QVERIFY(setMode("in/Приказ.pdf", 0644));
        QString copy;
        bool fresh = false;
        QVERIFY(Attachments::store("in/Приказ.pdf", "Приказ.pdf", &copy, &fresh, &error));
        QVERIFY(Attachments::settle(copy));
        QCOMPARE(wrongModes({"data", "files"}, 0700), QString());
        QCOMPARE(wrongModes({"data/BaseDate.db", "data/BaseDate_copy.db", "settings.ini", "log", copy}, 0600),
                 QString());

        QTableWidget table(1, 1);
        QVERIFY2(TableExport::write(&table, "in/table.html", &error), qPrintable(error));
        QCOMPARE(wrongModes({"in/table.html"}, 0666 & ~int(USUAL_MASK)), QString());
    }

    // A folder an earlier version left open to every user is closed at
    // start, and the log says so in one line; in a database folder chosen
    // elsewhere only the program's files are.
    void earlierFolderClosed()
    {
        const auto usual = qScopeGuard([] { ::umask(USUAL_MASK); });
        WorkDir dir;
        QTemporaryDir elsewhere;
        QVERIFY(Settings::storeDatabaseFolder(elsewhere.path()));
        dir.writeFile("log", "прежняя запись\n");
        dir.writeFile("data/BaseDate_old.db", "копия");
        dir.writeFile("files/Приказ.pdf", "документ");
        const QString database = elsewhere.filePath("BaseDate.db");
        const QString notes = elsewhere.filePath("notes.txt");
        QVERIFY(QFile::copy("data/BaseDate.db", database) && QFile::copy("log", notes));
        const QStringList folders = {dir.path(), "data", "files"};
        const QStringList files = {"settings.ini", "log", "data/BaseDate.db", "data/BaseDate_old.db",
                                   "files/Приказ.pdf", database};
        for (const QString &path : folders + QStringList{elsewhere.path()})
            QVERIFY(setMode(path, 0755));
        for (const QString &path : files + QStringList{notes})
            QVERIFY(setMode(path, 0644));

        Privacy::keepPrivate();
        QCOMPARE(wrongModes(folders, 0700), QString());
        QCOMPARE(wrongModes(files, 0600), QString());
        QCOMPARE(wrongModes({elsewhere.path()}, 0755), QString());
        QCOMPARE(wrongModes({notes}, 0644), QString());
        QString log;
        QVERIFY(dir.readText("log", &log));
        const QStringList lines = log.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        for (const char *named : {"сама папка", "settings.ini", "data/BaseDate.db", "files/Приказ.pdf"})
            QVERIFY2(lines.last().contains(QString::fromUtf8(named)), qPrintable(lines.last()));
        QVERIFY2(lines.last().contains(database), qPrintable(lines.last()));

        Privacy::keepPrivate();
        QVERIFY(dir.readText("log", &log));
        QCOMPARE(log.split('\n', Qt::SkipEmptyParts), lines);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
