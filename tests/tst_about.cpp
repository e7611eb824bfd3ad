// The About window: its form and credits, and the press gesture that emits
// tap() and, through the main window, shows "Настройки".
#include "aboutcredits.h"
#include "windows/abprog.h"
#include "windows/mainwindow.h"
#include "testsupport.h"
#include "toplevels.h"

#include <QAction>
#include <QLabel>
#include <QSignalSpy>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

using namespace TestSupport;

namespace {

void press(QWidget *w, Qt::MouseButton button, int times = 1)
{
    for (int i = 0; i < times; ++i)
        QTest::mousePress(w, button, Qt::NoModifier, QPoint(5, 5));
}

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    void form()
    {
        abprog w;
        QCOMPARE(w.objectName(), QString("abprog"));
        QCOMPARE(w.windowTitle(), QString("О программе"));
        QVERIFY(!w.windowIcon().isNull());
        QCOMPARE(w.font().family(), QString("Times New Roman"));
        QCOMPARE(w.font().pointSize(), 11);
        QCOMPARE(w.minimumSize(), QSize(500, 200));
        QCOMPARE(w.maximumSize(), QSize(500, 200));
        auto *text = w.findChild<QLabel *>("label");
        auto *emblem = w.findChild<QLabel *>("label_2");
        QVERIFY(text && emblem);
        QVERIFY(text->wordWrap());
        QCOMPARE(text->alignment(), Qt::AlignHCenter | Qt::AlignTop);
        QVERIFY(text->hasScaledContents());
        QVERIFY(text->openExternalLinks());
        QVERIFY(!(text->textInteractionFlags() & Qt::TextSelectableByMouse));

        QVERIFY(emblem->text().isEmpty());
        QVERIFY(emblem->hasScaledContents());
        QCOMPARE(emblem->minimumSize(), QSize(0, 160));
        QCOMPARE(emblem->maximumSize(), QSize(170, 160));
        QCOMPARE(emblem->pixmap().toImage(), QPixmap(":/Иконки/Vesk.png").toImage());
    }

    // The purpose and the credits chosen at build time, paragraph by paragraph.
    void credits()
    {
        abprog w;
        const QString html = w.findChild<QLabel *>("label")->text();
        QVERIFY(Qt::mightBeRichText(html));
        QVERIFY(html.contains("font-family:'Segoe UI'; font-size:9pt; font-weight:400"));
        QVERIFY(html.contains("font-family:'MS Shell Dlg 2'; font-size:8pt;"));
        QTextDocument doc;
        doc.setHtml(html);
        const QStringList paragraphs =
            doc.toPlainText().split(QChar::ParagraphSeparator).join('\n').split('\n');
        const QString author = QString::fromUtf8(VEDOMER_ABOUT_AUTHOR);
        const QString programmer = QString::fromUtf8(VEDOMER_ABOUT_PROGRAMMER);
        const QString supervisor = QString::fromUtf8(VEDOMER_ABOUT_SUPERVISOR);
        const QString email = QString::fromUtf8(VEDOMER_ABOUT_EMAIL);
        QCOMPARE(paragraphs,
                 (QStringList{"Данное программное обеспечение было разработано  с целью учета заслуг и "
                              "достижений военослужащих",
                              " ", "Автор программы: " + author, "", "Программист: " + programmer + " ", "",
                              "Контроль разработки: " + supervisor, "",
                              "За подробной информацией обращаться к разработчику по адресу:" + email}));
        QVERIFY(email.endsWith("@example.org"));
        // The names are in bold.
        for (const QString &name : {author, programmer, supervisor}) {
            const QTextCursor found = doc.find(name);
            QVERIFY2(!found.isNull(), qPrintable(name));
            QVERIFY(found.charFormat().fontWeight() > QFont::Normal);
        }
        QVERIFY(doc.find("Автор программы").charFormat().fontWeight() <= QFont::Normal);
    }

    // Right and middle presses do nothing; the first eleven left presses only
    // count; each one after them emits tap(). Windows count apart.
    void pressGesture()
    {
        abprog first;
        abprog second;
        QSignalSpy firstTaps(&first, &abprog::tap);
        QSignalSpy secondTaps(&second, &abprog::tap);
        QCOMPARE(abprog::THRESHOLD, 10);

        press(&first, Qt::RightButton, 20);
        press(&first, Qt::MiddleButton, 20);
        // Presses on the text and on the emblem reach the window too.
        press(first.findChild<QLabel *>("label"), Qt::LeftButton, 5);
        press(first.findChild<QLabel *>("label_2"), Qt::LeftButton, 5);
        press(&first, Qt::LeftButton);
        QCOMPARE(firstTaps.count(), 0);
        QTest::ignoreMessage(QtDebugMsg, "1");
        press(&first, Qt::LeftButton);
        QCOMPARE(firstTaps.count(), 1);
        press(&first, Qt::RightButton);
        QCOMPARE(firstTaps.count(), 1);
        QTest::ignoreMessage(QtDebugMsg, "1");
        QTest::ignoreMessage(QtDebugMsg, "1");
        press(&first, Qt::LeftButton, 2);
        QCOMPARE(firstTaps.count(), 3);

        press(&second, Qt::LeftButton, 11);
        QCOMPARE(secondTaps.count(), 0);
        QTest::ignoreMessage(QtDebugMsg, "1");
        press(&second, Qt::LeftButton);
        QCOMPARE(secondTaps.count(), 1);
        QCOMPARE(firstTaps.count(), 3);
    }

    // "О программе" opens a new About window each time; its gesture shows
    // the main window's "Настройки".
    void openedFromTheMainWindow()
    {
        WorkDir dir;
        TopLevelGuard<abprog> guard;
        MainWindow main;
        QAction *about = main.findChild<QAction *>("action_8");
        QAction *settingsAction = main.findChild<QAction *>("action_10");
        about->trigger();
        about->trigger();
        const QList<abprog *> opened = topLevels<abprog>();
        QCOMPARE(opened.size(), 2);
        for (abprog *a : opened) {
            QVERIFY(a->isVisible());
            QVERIFY(!a->parent());
            QVERIFY(a->testAttribute(Qt::WA_DeleteOnClose)); // freed once closed
        }

        settingsAction->setVisible(false);
        press(opened.first(), Qt::LeftButton, 11);
        QVERIFY(!settingsAction->isVisible());
        QTest::ignoreMessage(QtDebugMsg, "1"); // the window's
        QTest::ignoreMessage(QtDebugMsg, "1"); // the main window's
        press(opened.first(), Qt::LeftButton);
        QVERIFY(settingsAction->isVisible());

        settingsAction->setVisible(false);
        press(opened.last(), Qt::LeftButton, 11);
        QVERIFY(!settingsAction->isVisible());
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
