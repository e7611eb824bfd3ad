// The extract from an order: its pages as printed to PDF and read back, the
// same text in the .odt, the settings it reads (and none at all), and the
// commands of the orders window.
#include "export/extractprint.h"
#include "export/printing.h"
#include "orderwindow.h"
#include "pgserver.h"
#include "storage/setup/settings.h"
#include "testsupport.h"
#include "windows/grouporder.h"
#include "zipcontent.h"

#include <QAction>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QRegularExpression>
#include <QtTest>

using namespace TestSupport;

namespace {

// Three servicemen thanked by one order, a fourth by another order of the
// same number a year later.
void addGroup(const QString &reason)
{
    const QStringList ranks{"рядовой", "ефрейтор", "младший сержант", "сержант"};
    const QStringList names{"Яковлев Яков Яковлевич", "Ёлкин Пётр Ильич", "Абрамов Семён Сергеевич",
                            "Другой Иван Иванович"};
    for (int i = 0; i < 4; ++i) {
        Serviceman s;
        s.VP = "3";
        s.VZ = ranks.at(i);
        s.FIO = names.at(i);
        s.LN = QStringLiteral("ЖК-%1").arg(100 + i);
        QVERIFY(addServiceman(s));
        Order o;
        o.LN = s.LN;
        o.what = "blag";
        o.Date_time = i < 3 ? "12.03.2025" : "12.03.2026";
        o.prikaznom = "45";
        o.kemvidan = "командира войсковой части 00000";
        o.nameZO = reason;
        QVERIFY(addOrder(o));
    }
}

std::vector<Extracts::Extract> readExtracts(const QString &ln = QString(), const QString &date = "12.03.2025")
{
    QSqlError error;
    std::vector<Extracts::Extract> out = Extracts::read("blag", "45", date, ln, &error);
    if (error.isValid())
        qWarning("extracts not read: %s", qPrintable(error.text()));
    return out;
}

// The pages of the extracts as pdftotext reads them from the saved PDF.
QStringList pdfPages(const std::vector<Extracts::Extract> &extracts, const QString &name)
{
    QString error;
    if (Printing::savePdf(
            ExtractPrint::document(extracts, ExtractPrint::Setup::stored()), name,
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15)), 300,
            false, {}, &error) != Printing::Outcome::Done)
        return {QStringLiteral("not saved: ") + error};
    return pdfText(name).split('\f', Qt::SkipEmptyParts);
}

// Whether the texts stand in `text` in this order, wrapped lines joined.
QString missingInOrder(const QString &text, const QStringList &parts)
{
    const QString joined = text.simplified();
    qsizetype from = 0;
    for (const QString &part : parts) {
        from = joined.indexOf(part, from);
        if (from < 0)
            return part + " missing or out of order in:\n" + joined;
        from += part.size();
    }
    return QString();
}

void storeSetup()
{
    QVERIFY(Settings::storeSetting(Settings::EXTRACT_HEADER_KEYS[0], "Войсковая часть 00000"));
    QVERIFY(Settings::storeSetting(Settings::EXTRACT_HEADER_KEYS[2], "г. Энск"));
    QVERIFY(Settings::storeSetting(Settings::EXTRACT_POSITION_KEY, "Начальник строевой части"));
    QVERIFY(Settings::storeSetting(Settings::EXTRACT_RANK_KEY, "капитан"));
    QVERIFY(Settings::storeSetting(Settings::EXTRACT_NAME_KEY, "И. Петров"));
}

} // namespace

class TestExtract : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    // A page per serviceman the order names (its category, number and date),
    // by name, each with his rank, name and personal number, the order's
    // issuer, date, number and reason, and "Верно:" with the settings; the
    // extract of one row is his alone. With nothing set the page has lines
    // to write in by hand.
    void pagesOfGroupAndRow()
    {
        WorkDir dir;
        addGroup("за отличные показатели в боевой подготовке");
        QVERIFY(openProgramDb());
        QStringList pages = pdfPages(readExtracts(), dir.filePath("empty.pdf"));
        if (pages.value(0).isEmpty())
            QSKIP("pdftotext (Debian package poppler-utils) is not installed");
        QCOMPARE(pages.size(), 3);
        QString problem =
            missingInOrder(pages.at(0), {"_____", "ВЫПИСКА ИЗ ПРИКАЗА", "Верно:", "_____", "_____"});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));

        storeSetup();
        pages = pdfPages(readExtracts(), dir.filePath("group.pdf"));
        QCOMPARE(pages.size(), 3);
        const QStringList men{"младший сержант Абрамов Семён Сергеевич, личный номер ЖК-102.",
                              "ефрейтор Ёлкин Пётр Ильич, личный номер ЖК-101.",
                              "рядовой Яковлев Яков Яковлевич, личный номер ЖК-100."};
        for (int p = 0; p < 3; ++p) {
            problem =
                missingInOrder(pages.at(p), {"Войсковая часть 00000", "г. Энск", "ВЫПИСКА ИЗ ПРИКАЗА",
                                             "командира войсковой части 00000", "от 12.03.2025 № 45",
                                             "Объявить благодарность:", men.at(p),
                                             "За что поощрен: за отличные показатели в боевой подготовке.",
                                             "Верно:", "Начальник строевой части", "капитан", "И. Петров"});
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
            QVERIFY(!pages.at(p).contains("Другой"));
        }

        pages = pdfPages(readExtracts("ЖК-101"), dir.filePath("one.pdf"));
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages.at(0).contains("ЖК-101") && !pages.at(0).contains("ЖК-100") &&
                !pages.at(0).contains("ЖК-102"));
    }

    // An order's text longer than a page starts where it stands and goes on
    // over the next, and the next serviceman begins a page of his own; a word
    // wider than the page is broken and kept whole in the text.
    void longTextPages()
    {
        WorkDir dir;
        const QString word(300, QChar(u'ж'));
        QStringList words;
        for (int i = 0; i < 700; ++i)
            words << QStringLiteral("слово%1").arg(i);
        addGroup(word + ' ' + words.join(' '));
        QVERIFY(openProgramDb());
        const QStringList pages = pdfPages(readExtracts(), dir.filePath("long.pdf"));
        if (pages.value(0).isEmpty())
            QSKIP("pdftotext (Debian package poppler-utils) is not installed");
        QVERIFY2(pages.size() >= 6 && pages.size() % 3 == 0, qPrintable(QString::number(pages.size())));
        // It starts under the serviceman's line, not on a page of its own.
        QVERIFY2(pages.at(0).contains("За что поощрен:"), qPrintable(pages.at(0)));
        const int each = static_cast<int>(pages.size()) / 3;
        for (int p = 0; p < pages.size(); ++p) {
            const QString ln = QStringLiteral("ЖК-%1").arg(102 - p / each);
            QCOMPARE(pages.at(p).count(QRegularExpression("ЖК-\\d+")), pages.at(p).count(ln));
        }
        QString first;
        for (int p = 0; p < each; ++p)
            first += pages.at(p);
        first.remove(QRegularExpression("\\s"));
        const QString problem = missingInOrder(first, {word + "слово0слово1", "слово699.", "Верно:"});
        QVERIFY2(problem.isEmpty(), qPrintable(problem.left(300)));
    }

    // The same read on a server: everyone the order names, by name, and one
    // row's serviceman alone.
    void readOnServer()
    {
        PgServer pg;
        if (!pg.running())
            QSKIP(qPrintable(pg.missing()));
        WorkDir dir(WorkDir::WithoutDatabase);
        useNewServerDatabase(pg, "extract-test");
        QVERIFY(openProgramDb());
        addGroup("за отличие");
        QStringList lns;
        for (const Extracts::Extract &e : readExtracts())
            lns << e.ln + ' ' + e.rank;
        QCOMPARE(lns, (QStringList{"ЖК-102 младший сержант", "ЖК-101 ефрейтор", "ЖК-100 рядовой"}));
        QCOMPARE(readExtracts("ЖК-101").size(), size_t(1));
        useTestConnection(QString());
        QSqlDatabase::removeDatabase("extract-test");
    }

    // The text file holds the same texts, each extract after the first
    // beginning a page.
    void openDocumentText()
    {
        WorkDir dir;
        addGroup("за образцовый порядок");
        QVERIFY(openProgramDb());
        storeSetup();
        QString error;
        const QString name = dir.filePath("extracts.odt");
        QVERIFY2(ExtractPrint::writeOpenDocument(readExtracts(), ExtractPrint::Setup::stored(), name, &error),
                 qPrintable(error));
        const QString xml = QString::fromUtf8(zipContent(fileContent(name)).value("content.xml"));
        QCOMPARE(xml.count("text:style-name=\"HeaderOnNewPage\""), 2);
        QString text = xml;
        text.replace(QRegularExpression("<text:tab/>"), " ").replace(QRegularExpression("<[^>]*>"), " ");
        const QString problem = missingInOrder(
            text, {"Войсковая часть 00000", "ВЫПИСКА ИЗ ПРИКАЗА", "от 12.03.2025 № 45",
                   "младший сержант Абрамов Семён Сергеевич, личный номер ЖК-102.",
                   "За что поощрен: за образцовый порядок.", "Верно:", "Начальник строевой части",
                   "капитан И. Петров", "ефрейтор Ёлкин Пётр Ильич",
                   "рядовой Яковлев Яков Яковлевич, личный номер ЖК-100."});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // From the orders window: the chosen row's extract, and everyone's of
    // that order, each a page in the preview; with no row chosen the
    // window's line says what to do. From the group order's window too.
    void ordersWindowCommands()
    {
        WorkDir dir;
        addGroup("за отличие");
        OrdersWindowsCleanup cleanup;
        OrdersWindow w("ЖК-101", "blag");
        w.at<QAction>("action_extract")->trigger();
        QVERIFY2(w.status().contains("Приказ не выбран"), qPrintable(w.status()));
        QStringList seen;
        auto preview = [&seen](QWidget *widget) {
            auto *dialog = qobject_cast<QPrintPreviewDialog *>(widget);
            QVERIFY(dialog);
            auto *pages = dialog->findChild<QPrintPreviewWidget *>();
            QVERIFY(pages);
            seen << QStringLiteral("%1: %2").arg(dialog->windowTitle()).arg(pages->pageCount());
            dialog->reject();
        };
        ModalAnswerer answerer;
        answerer.custom(preview).custom(preview);
        clickCell(w.list(), 0);
        w.at<QAction>("action_extract")->trigger();
        w.at<QAction>("action_extracts")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(seen, (QStringList{"Выписка из приказа: 1", "Выписки из приказа (3): 3"}));

        // From the group order's window, by the order in its fields; an
        // order that is not there is said in the window's line.
        GroupOrder group;
        group.findChild<QLineEdit *>("number")->setText("45");
        group.findChild<QDateEdit *>("date")->setDate(QDate(2025, 3, 12));
        answerer.custom(preview);
        group.findChild<QPushButton *>("extracts")->click();
        QVERIFY(answerer.done());
        QCOMPARE(seen.last(), QString("Выписки из приказа (3): 3"));
        group.findChild<QLineEdit *>("number")->setText("46");
        group.findChild<QPushButton *>("extracts")->click();
        QVERIFY2(group.findChild<QLabel *>("note")->text().contains("нет приказа"),
                 qPrintable(group.findChild<QLabel *>("note")->text()));
        QVERIFY(answerer.unexpected().isEmpty());
    }
};

QTEST_MAIN(TestExtract)
#include "tst_extract.moc"
