// Paper: the pagination of tables, the summary table and the service cards as
// printed to PDF and read back, and a print that is cancelled or fails.
#include "export/cardprint.h"
#include "export/paper.h"
#include "export/printing.h"
#include "export/tableprint.h"
#include "windows/mainwindow.h"
#include "programdb.h"
#include "testsupport.h"
#include "widgets.h"

#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QtTest>

using namespace TestSupport;

namespace {

// A row of `lines` lines of text in the first column.
Paper::Row tallRow(int number, int lines)
{
    QStringList text{QStringLiteral("строка %1").arg(number)};
    for (int i = 1; i < lines; ++i)
        text << QStringLiteral("продолжение %1").arg(i);
    return {Paper::Cell{text.join('\n'), {}, Qt::AlignLeft | Qt::AlignVCenter},
            Paper::Cell{QString::number(number), {}, Qt::AlignCenter}};
}

Paper::Document tableDocument(const std::vector<Paper::Row> &rows)
{
    Paper::Table table;
    table.font = QFont("Times New Roman", 10);
    table.headerFont = QFont("Times New Roman", 11, QFont::Bold);
    table.widths = {300, 100};
    table.header = {Paper::Cell{"Заголовок", {}, Qt::AlignCenter}, Paper::Cell{"№", {}, Qt::AlignCenter}};
    table.rows = rows;
    Paper::Part part;
    part.line = "Проба";
    part.lineFont = table.font;
    part.blocks.emplace_back(std::move(table));
    Paper::Document document;
    document.parts.push_back(std::move(part));
    return document;
}

// A serviceman with an order in every category, one penalty lifted, and a
// document attached to a thanks.
void addFullServiceman()
{
    Serviceman s;
    s.VP = "12";
    s.Dol = "Командир отделения";
    s.VZ = "Сержант";
    s.FIO = "Петров Пётр Петрович";
    s.Data_comb = "01.02.1990 0:00";
    s.LN = "АБ-1";
    QVERIFY(addServiceman(s));
    const char *codes[] = {"vzs", "blag", "gr", "ZOMO", "gosnag", "posh"};
    for (int i = 0; i < 6; ++i) {
        Order o;
        o.LN = s.LN;
        o.what = codes[i];
        o.Date_time = QStringLiteral("0%1.03.2020").arg(i + 1);
        o.prikaznom = QStringLiteral("П-%1").arg(i + 1);
        o.kemvidan = "Командир части";
        o.nameZO = QStringLiteral("Основание %1").arg(codes[i]);
        o.ish_SU = QStringLiteral("СУ-%1").arg(i + 1);
        QVERIFY(addOrder(o));
    }
    // An earlier penalty, lifted: listed before the later one.
    Order lifted;
    lifted.LN = s.LN;
    lifted.what = "vzs";
    lifted.Date_time = "15.01.2019";
    lifted.prikaznom = "П-0";
    lifted.kemvidan = "Командир полка";
    lifted.nameZO = "Выговор";
    lifted.ish_SU = "СУ-0";
    lifted.actived_prikaz = "0";
    lifted.Nomer_snytie = "С-77";
    lifted.Data_snytie = "20.06.2019";
    QVERIFY(addOrder(lifted));
    QVERIFY(exec("INSERT INTO Files (prikaznom, what, Giper, name_file, LN) VALUES (?,?,?,?,?)",
                 {"П-2", "blag", "files/Приказ 2.pdf", "Приказ 2.pdf", s.LN}));
}

std::vector<Cards::Card> readCards(const QStringList &numbers)
{
    QStringList missing;
    QSqlError error;
    std::vector<Cards::Card> cards = Cards::read(numbers, &missing, &error);
    if (error.isValid() || !missing.isEmpty())
        qWarning("cards not read: %s %s", qPrintable(error.text()), qPrintable(missing.join(',')));
    return cards;
}

QString savedPdf(const Paper::Document &document, const QString &name,
                 QPageLayout::Orientation orientation = QPageLayout::Portrait)
{
    QString error;
    const Printing::Outcome outcome =
        Printing::savePdf(document, name, QPageLayout(QPageSize(QPageSize::A4), orientation, QMarginsF(15, 15, 15, 15)),
                          300, false, {}, &error);
    return outcome == Printing::Outcome::Done ? pdfText(name) : QStringLiteral("not saved: ") + error;
}

// Positions of the texts in `text`, in the order given; -1 for a text
// missing or out of order.
QList<qsizetype> inOrder(const QString &wrapped, const QStringList &parts)
{
    // Wrapped lines joined again.
    const QString text = wrapped.simplified();
    QList<qsizetype> at;
    qsizetype from = 0;
    for (const QString &part : parts) {
        const qsizetype i = from < 0 ? -1 : text.indexOf(part, from);
        at << i;
        from = i < 0 ? -1 : i + part.size();
    }
    return at;
}

} // namespace

class TestPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    // Every page starts with the header row; every row is on exactly one
    // page, in order, except one taller than a page, which goes on over
    // pages of its own in slices; rows over half a page high take a page each.
    void paginationRules()
    {
        QPdfWriter device(QDir::temp().filePath("vedomer-tst_print-probe.pdf"));
        device.setResolution(300);
        device.setPageSize(QPageSize(QPageSize::A4));
        const qreal body = device.height();
        const qreal line = QFontMetricsF(QFont("Times New Roman", 10), &device).lineSpacing();
        const int half = static_cast<int>(body * 0.55 / line);
        const int overPage = static_cast<int>(body * 2.5 / line);

        // Three rows over half a page high: three pages.
        Paper::Document halves = tableDocument({tallRow(1, half), tallRow(2, half), tallRow(3, half)});
        auto layout = Paper::Layout::make(halves, &device, device.width(), body);
        QCOMPARE(layout->pageCount(), 3);

        // Short rows around one taller than a page.
        std::vector<Paper::Row> rows;
        for (int i = 0; i < 60; ++i)
            rows.push_back(tallRow(i, i == 30 ? overPage : 1));
        Paper::Document mixed = tableDocument(rows);
        layout = Paper::Layout::make(mixed, &device, device.width(), body);
        QVERIFY(layout->pageCount() >= 4);
        QStringList seen;
        QList<int> pagesOfTall;
        for (int p = 0; p < layout->pageCount(); ++p) {
            const auto pageRows = layout->tableRows(p);
            QVERIFY(pageRows.size() >= 2);
            QCOMPARE(pageRows.front().front(), QString("Заголовок"));
            for (size_t r = 1; r < pageRows.size(); ++r) {
                if (pageRows[r][1] == "30")
                    pagesOfTall << p;
                if (seen.isEmpty() || seen.last() != pageRows[r][1])
                    seen << pageRows[r][1];
            }
        }
        QStringList expected;
        for (int i = 0; i < 60; ++i)
            expected << QString::number(i);
        QCOMPARE(seen, expected);
        // The tall row: three pages and the start of a fourth at most, its
        // own from its first page, on consecutive pages.
        QVERIFY2(pagesOfTall.size() >= 3 && pagesOfTall.size() <= 4, qPrintable(QString::number(pagesOfTall.size())));
        for (int i = 1; i < pagesOfTall.size(); ++i)
            QCOMPARE(pagesOfTall[i], pagesOfTall[i - 1] + 1);
        QCOMPARE(layout->tableRows(pagesOfTall.front()).size(), size_t(2));
    }

    // Columns narrower than their texts widen to hold a text on one line
    // where the page has room; a picture takes the room left on a page when
    // two thirds of it fit there, else a page of its own.
    void columnWidthsAndPictures()
    {
        QPdfWriter device(QDir::temp().filePath("vedomer-tst_print-probe.pdf"));
        device.setResolution(300);
        device.setPageSize(QPageSize(QPageSize::A4));
        const qreal body = device.height();
        const qreal row = QFontMetricsF(QFont("Times New Roman", 10), &device).lineSpacing() + 2 * 1.5 * 300 / 72;
        auto document = [&](qreal filled, qreal picture, QRectF *painted) {
            std::vector<Paper::Row> rows(static_cast<size_t>(body * filled / row),
                                         Paper::Row{Paper::Cell{"Иванов Иван Иванович", {}, Qt::AlignLeft}, Paper::Cell{"1", {}, Qt::AlignLeft}});
            Paper::Document d = tableDocument(rows);
            std::get<Paper::Table>(d.parts[0].blocks[0]).widths = {1, 1};
            d.parts[0].blocks.emplace_back(
                Paper::Picture{100, picture * body * 72 / 300, [painted](QPainter *, const QRectF &room) { *painted = room; }});
            return d;
        };
        QRectF room;
        QImage image(8, 8, QImage::Format_RGB32);
        QPainter painter(&image);
        const Paper::Document oneLine = document(0.8, 0.01, &room);
        QCOMPARE(Paper::Layout::make(oneLine, &device, device.width(), body)->pageCount(), 1);
        const Paper::Document shrunk = document(0.35, 0.75, &room);
        auto layout = Paper::Layout::make(shrunk, &device, device.width(), body);
        QCOMPARE(layout->pageCount(), 1);
        layout->paint(&painter, 0, false);
        QVERIFY(room.height() > body * 0.5 && room.height() < body * 0.7);
        const Paper::Document moved = document(0.6, 0.75, &room);
        layout = Paper::Layout::make(moved, &device, device.width(), body);
        QCOMPARE(layout->pageCount(), 2);
        layout->paint(&painter, 1, false);
        QVERIFY(room.top() < body * 0.05);
        QVERIFY(qAbs(room.height() - body * 0.75) < 2);
    }

    // The table as printed: shown columns and rows only, the title line with
    // the category shown and the page count on every page.
    void summaryPages()
    {
        WorkDir dir;
        for (int i = 0; i < 120; ++i)
            QVERIFY(addServiceman(QString::number(i + 1), QStringLiteral("Сидоров %1").arg(i), QStringLiteral("ЛН-%1").arg(i)));
        MainWindow w;
        auto *combo = child<QComboBox>(&w, "comboBox");
        combo->setCurrentIndex(3);
        emit combo->activated(3);
        const QString text = savedPdf(TablePrint::document(summary(w), QDate(2025, 3, 12)), dir.filePath("t.pdf"),
                                      QPageLayout::Landscape);
        if (text.isNull())
            QSKIP("pdftotext (Debian package poppler-utils) is not installed");
        const QStringList pages = text.split('\f', Qt::SkipEmptyParts);
        QVERIFY2(pages.size() >= 3, qPrintable(text.left(300)));
        for (int p = 0; p < pages.size(); ++p) {
            QVERIFY(pages[p].contains("Сводная таблица — Грамоты — 12.03.2025"));
            QVERIFY(pages[p].contains(QStringLiteral("стр. %1 из %2").arg(p + 1).arg(pages.size())));
            QVERIFY(pages[p].contains("Личный"));
            QVERIFY(!pages[p].contains("Взыскания"));
        }
        for (int i = 0; i < 120; ++i)
            QCOMPARE(text.count(QStringLiteral("ЛН-%1\n").arg(i)), 1);
    }

    // The card: heading, the sections in their order with counts, penalties
    // with their lifting, documents, the date made; a serviceman without
    // orders says so in each section; a second card starts a page of its own;
    // awkward texts come out as typed.
    void cardSections()
    {
        WorkDir dir;
        addFullServiceman();
        const QString awkward = QStringLiteral("Д'Артаньян %1 Йо\u0301жиков 🎖") + QString(1000, QChar(u'ж'));
        QVERIFY(addServiceman("7", awkward, "ВГ-2"));
        QVERIFY(openProgramDb());
        const QString text =
            savedPdf(CardPrint::document(readCards({"АБ-1", "ВГ-2"}), QDate(2025, 3, 12)), dir.filePath("c.pdf"));
        if (text.isNull())
            QSKIP("pdftotext (Debian package poppler-utils) is not installed");
        const QStringList order{"Служебная карточка", "12", "Командир отделения", "Сержант", "Петров Пётр Петрович",
                                "01.02.1990 0:00", "АБ-1",
                                "Взыскания (2, из них снято 1)", "15.01.2019", "П-0", "Выговор", "Командир полка", "СУ-0",
                                "снято приказом № С-77 от 20.06.2019",
                                "01.03.2020", "П-1", "Основание vzs", "в силе",
                                "Благодарности (1)", "П-2", "Основание blag", "Приказ 2.pdf",
                                "Грамоты (1)", "Основание gr", "Знаки отличия МО РФ (1)", "Основание ZOMO",
                                "Государственные награды (1)", "Основание gosnag", "Ветеран военной службы (1)",
                                "Основание posh", "Карточка составлена 12.03.2025"};
        const QList<qsizetype> at = inOrder(text, order);
        if (at.contains(-1))
            QFAIL(qPrintable(order.at(at.indexOf(-1)) + " missing or out of order in:\n" + text));

        const QStringList pages = text.split('\f', Qt::SkipEmptyParts);
        qsizetype second = -1;
        for (qsizetype p = 0; p < pages.size(); ++p)
            if (pages[p].contains("ВГ-2")) {
                second = p;
                break;
            }
        QVERIFY(second > 0);
        QVERIFY(!pages[second - 1].contains("ВГ-2"));
        QString rest;
        for (qsizetype p = second; p < pages.size(); ++p)
            rest += pages[p];
        QCOMPARE(rest.count("записей нет"), 6);
        QString joined = rest;
        joined.remove(QRegularExpression("\\s"));
        // The emoji is painted (from a font that has it) but Qt's PDF writer
        // leaves characters beyond the first 65,536 out of the text layer.
        QString typed = awkward;
        typed.remove(QRegularExpression("\\s")).remove(QStringLiteral("🎖"));
        QVERIFY2(joined.contains(typed), qPrintable(rest.left(400)));
    }

    // The single card is the current row's; "Служебные карточки показанных"
    // makes one card per row the search left, and names a serviceman
    // deleted since.
    void cardsOfShownRows()
    {
        WorkDir dir;
        addFullServiceman();
        QVERIFY(addServiceman("7", "Иванов Иван", "ВГ-2"));
        QVERIFY(addServiceman("8", "Иванова Анна", "ДЕ-3"));
        MainWindow w;
        QTableWidget *t = summary(w);
        child<QLineEdit>(&w, "lineEdit")->setText("иванов");
        child<QPushButton>(&w, "pushButton")->click();
        QCOMPARE(t->rowCount(), 2);
        QStringList titles;
        auto preview = [&titles](QWidget *widget) {
            QVERIFY(qobject_cast<QPrintPreviewDialog *>(widget));
            titles << widget->windowTitle();
            static_cast<QDialog *>(widget)->reject();
        };
        ModalAnswerer answerer;
        answerer.custom(preview).custom(preview);
        t->setCurrentCell(1, 0);
        child<QAction>(&w, "action_card")->trigger();
        child<QAction>(&w, "action_cards")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(titles, (QStringList{"Служебная карточка", "Служебные карточки (2)"}));

        QVERIFY(exec("DELETE FROM Combat WHERE LN = ?", {t->item(0, 5)->text()}));
        answerer.clear();
        answerer.button("OK").custom(preview);
        child<QAction>(&w, "action_cards")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).title, QString("Ошибка"));
        QVERIFY2(answerer.seen().at(0).text.contains("нет в базе"), qPrintable(answerer.seen().at(0).text));
        QCOMPARE(titles.last(), QString("Служебная карточка"));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // A cancelled write leaves neither a part of the new file nor a changed
    // old one; a folder that is not there is reported with its reason.
    void cancelAndFailureLeaveNoFile()
    {
        WorkDir dir;
        std::vector<Paper::Row> rows;
        for (int i = 0; i < 400; ++i)
            rows.push_back(tallRow(i, 1));
        const Paper::Document document = tableDocument(rows);
        const QPageLayout page(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15));
        QString error;
        int calls = 0;
        const Paper::Progress stopAtPage2 = [&calls](int done, int, const QString &what) {
            ++calls;
            return !(what.startsWith("Печать") && done >= 2);
        };
        dir.writeFile("old.pdf", "earlier");
        const QStringList before = QDir().entryList(QDir::Files | QDir::Hidden);
        for (const char *name : {"new.pdf", "old.pdf"})
            QCOMPARE(Printing::savePdf(document, name, page, 300, false, stopAtPage2, &error),
                     Printing::Outcome::Cancelled);
        QVERIFY(calls > 2);
        QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), before);
        QString old;
        QVERIFY(dir.readText("old.pdf", &old));
        QCOMPARE(old, QString("earlier"));

        QCOMPARE(Printing::savePdf(document, "нет/t.pdf", page, 300, false, {}, &error), Printing::Outcome::Failed);
        QVERIFY2(error.contains("t.pdf") && error.contains(": "), qPrintable(error));
        QVERIFY(!QFile::exists("нет"));
    }
};

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
