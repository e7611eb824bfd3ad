// Print and export of the summary table: the table text, the files written
// for each ending, printing to PDF, and the exported files as LibreOffice
// reads them.
#include "windows/mainwindow.h"
#include "export/cardprint.h"
#include "export/tableexport.h"
#include "programdb.h"
#include "testsupport.h"
#include "widgets.h"
#include "zipcontent.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableWidget>
#include <QUrl>
#include <QtTest>

using namespace TestSupport;

namespace {

const QString HEAD = QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                                    "charset=utf-8\"></head><body><table border=1 bordercolor=");

void choose(MainWindow &w, int index)
{
    auto *combo = w.findChild<QComboBox *>("comboBox");
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

void search(MainWindow &w, const QString &text)
{
    w.findChild<QLineEdit *>("lineEdit")->setText(text);
    w.findChild<QPushButton *>("pushButton")->click();
}

QByteArray content(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The rows of an HTML table text, cells unescaped.
QList<QStringList> htmlRows(const QString &html)
{
    QList<QStringList> out;
    static const QRegularExpression row("<tr>(.*?)</tr>", QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression cell("<td>(.*?)</td>", QRegularExpression::DotMatchesEverythingOption);
    for (const QRegularExpressionMatch &r : row.globalMatch(html)) {
        QStringList cells;
        for (const QRegularExpressionMatch &c : cell.globalMatch(r.captured(1)))
            cells << c.captured(1)
                         .replace("&lt;", "<")
                         .replace("&gt;", ">")
                         .replace("&quot;", "\"")
                         .replace("&amp;", "&");
        out << cells;
    }
    return out;
}

// What the table shows: header row and rows of the shown columns.
QList<QStringList> shown(QTableWidget *t)
{
    QList<QStringList> out;
    QStringList header;
    for (int c = 0; c < t->columnCount(); ++c)
        if (!t->isColumnHidden(c))
            header << t->horizontalHeaderItem(c)->text();
    out << header;
    for (int r = 0; r < t->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < t->columnCount(); ++c)
            if (!t->isColumnHidden(c))
                cells << t->item(r, c)->text();
        out << cells;
    }
    return out;
}

QList<QStringList> oneLineHeaders(QList<QStringList> rows)
{
    for (QString &h : rows.first())
        h.replace('\n', ' ');
    return rows;
}

// Servicemen whose texts try the export: Cyrillic, markup characters,
// counts, an empty count.
void addExamples()
{
    Serviceman a;
    a.VP = "12а";
    a.Dol = "Командир отделения";
    a.VZ = "Сержант";
    a.FIO = "Ёлкин <Пётр> & сыновья";
    a.Data_comb = "01.02.1990 0:00";
    a.LN = "АБ-123456";
    a.counts = {"1", "0", "2", "0", "0", "0"};
    a.Dolz_nom = "1";
    a.Zvan_nom = "2";
    QVERIFY(addServiceman(a) && addOrdersForCounts(a));
    Serviceman b = a;
    b.VP = "7";
    b.Dol = "Стрелок";
    b.VZ = "Рядовой";
    b.FIO = "Иванов Иван Иванович";
    b.Data_comb = "15.11.2001 0:00";
    b.LN = "ВГ-654321";
    b.counts = {"0", "3", "", "0", "1", "0"};
    QVERIFY(addServiceman(b) && addOrdersForCounts(b));
    Serviceman c = b;
    c.VP = "7";
    c.FIO = "Щукин \"Ястреб\" Юрий";
    c.LN = "ДЕ-000111";
    c.counts = {"0", "0", "0", "0", "0", "12"};
    QVERIFY(addServiceman(c) && addOrdersForCounts(c));
}

// Answers the export's save dialog with a name; records its caption and
// filters.
struct SaveAnswer
{
    QString caption;
    QStringList filters;
};

void answerSave(ModalAnswerer &answerer, const QString &path, SaveAnswer *seen = nullptr)
{
    answerer.custom([path, seen](QWidget *widget) {
        auto *dialog = qobject_cast<QFileDialog *>(widget);
        QVERIFY(dialog);
        if (seen) {
            seen->caption = dialog->windowTitle();
            seen->filters = dialog->nameFilters();
        }
        dialog->findChild<QLineEdit *>("fileNameEdit")->setText(path);
        // Accepted once the answerer has returned, so that it can answer the
        // dialog's own question about replacing a file.
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
}

void exportTo(MainWindow &w, ModalAnswerer &answerer, const QString &path, SaveAnswer *seen = nullptr)
{
    answerSave(answerer, path, seen);
    w.findChild<QAction *>("action_Exel")->trigger();
}

// Prints through the print dialog to a PDF file.
void answerPrint(ModalAnswerer &answerer, const QString &pdf)
{
    answerer.button("Так точно").custom([pdf](QWidget *widget) {
        auto *dialog = qobject_cast<QPrintDialog *>(widget);
        QVERIFY(dialog);
        dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
        dialog->printer()->setOutputFileName(pdf);
        // Accepted as the dialog's OK does, keeping the printer as set here.
        dialog->done(QDialog::Accepted);
    });
}

void printTo(MainWindow &w, ModalAnswerer &answerer, const QString &pdf)
{
    answerPrint(answerer, pdf);
    w.findChild<QAction *>("action_3")->trigger();
}

// CSV as LibreOffice writes it.
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (quoted) {
            if (ch == '"' && i + 1 < text.size() && text.at(i + 1) == '"') {
                cell += '"';
                ++i;
            } else if (ch == '"') {
                quoted = false;
            } else {
                cell += ch;
            }
        } else if (ch == '"') {
            quoted = true;
        } else if (ch == ',') {
            row << cell;
            cell.clear();
        } else if (ch == '\n') {
            row << cell;
            rows << row;
            row.clear();
            cell.clear();
        } else if (ch != '\r') {
            cell += ch;
        }
    }
    if (!cell.isEmpty() || !row.isEmpty())
        rows << (row << cell);
    return rows;
}

// Converts files with LibreOffice; empty when it worked, else the reason.
QString convert(const QString &filter, const QStringList &files, const QString &outDir,
                const QString &profile)
{
    const QString soffice = QStandardPaths::findExecutable("soffice");
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments{"-env:UserInstallation=" + QUrl::fromLocalFile(profile).toString(),
                          "--headless",
                          "--norestore",
                          "--convert-to",
                          filter,
                          "--outdir",
                          outDir};
    arguments += files;
    process.start(soffice, arguments);
    if (!process.waitForFinished(240000)) {
        process.kill();
        process.waitForFinished();
        return "soffice did not finish: " + QString::fromLocal8Bit(process.readAll());
    }
    if (process.exitCode() != 0)
        return "soffice failed: " + QString::fromLocal8Bit(process.readAll());
    return QString();
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    // With the filter on "Грамоты" and every data column shown the text has
    // seven columns, headers as the table holds them; markup characters are
    // escaped; the encoding is declared before the body.
    void tableTextOfOneCategory()
    {
        WorkDir dir;
        Serviceman s;
        s.VP = "1";
        s.Dol = "Стрелок";
        s.VZ = "Рядовой";
        s.FIO = "Д'Артаньян <Шарль> & Ко";
        s.Data_comb = "01.02.1990 0:00";
        s.LN = "АБ-1";
        s.counts = {"1", "0", "2", "0", "0", "0"};
        QVERIFY(addServiceman(s) && addOrdersForCounts(s));
        MainWindow w;
        choose(w, 3);
        QCOMPARE(
            TableExport::html(summary(w), "black"),
            HEAD + "black cellpadding=5 ><tr><td>№ ВП</td><td>Должность</td><td>Воинское\nзвание</td>"
                   "<td>ФИО</td><td>Дата\nрождения</td><td>Личный\nномер</td><td>Грамоты</td></tr>"
                   "<tr><td>1</td><td>Стрелок</td><td>Рядовой</td><td>Д'Артаньян &lt;Шарль&gt; &amp; Ко</td>"
                   "<td>01.02.1990 0:00</td><td>АБ-1</td><td>2</td></tr></table></body></html>");
    }

    // The rows the table holds after a search, the shown columns only.
    void tableTextFollowsTheTable()
    {
        WorkDir dir;
        addExamples();
        MainWindow w;
        QTableWidget *t = summary(w);
        QCOMPARE(htmlRows(TableExport::html(t, "red")).size(), 4);
        search(w, "7");
        QCOMPARE(t->rowCount(), 2);
        w.findChild<QAction *>("action_19")->trigger(); // hides "Личный номер"
        choose(w, 2);
        const QList<QStringList> rows = htmlRows(TableExport::html(t, "red"));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows, shown(t));
        QCOMPARE(rows.first(), (QStringList{"№ ВП", "Должность", "Воинское\nзвание", "ФИО", "Дата\nрождения",
                                            "Благодарности"}));
        search(w, "нет такого");
        QCOMPARE(t->rowCount(), 0);
        QCOMPARE(htmlRows(TableExport::html(t, "red")), QList<QStringList>{rows.first()});
    }

    // The name decides what is written; the dialog offers the filters in order.
    void exportEndings_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("kind");
        QTest::newRow(".xls") << "Таблица.xls"
                              << "Таблица.xls"
                              << "html";
        QTest::newRow(".XLS in capitals") << "ТАБЛИЦА.XLS"
                                          << "ТАБЛИЦА.XLS"
                                          << "html";
        QTest::newRow(".txt gets .xls") << "Таблица.txt"
                                        << "Таблица.txt.xls"
                                        << "html";
        QTest::newRow("no ending") << "Таблица"
                                   << "Таблица.xls"
                                   << "html";
        QTest::newRow(".htm") << "t.htm"
                              << "t.htm"
                              << "html";
        QTest::newRow(".html") << "t.HTML"
                               << "t.HTML"
                               << "html";
        QTest::newRow(".odt") << "t.odt"
                              << "t.odt"
                              << "application/vnd.oasis.opendocument.text";
        QTest::newRow(".ODT in capitals") << "T.ODT"
                                          << "T.ODT"
                                          << "application/vnd.oasis.opendocument.text";
        QTest::newRow(".ods") << "t.ods"
                              << "t.ods"
                              << "application/vnd.oasis.opendocument.spreadsheet";
        QTest::newRow(".xlsx") << "t.xlsx"
                               << "t.xlsx"
                               << "xlsx";
        QTest::newRow(".XLSX in capitals") << "T.XLSX"
                                           << "T.XLSX"
                                           << "xlsx";
    }
    void exportEndings()
    {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QFETCH(QString, kind);
        WorkDir dir;
        addExamples();
        MainWindow w;
        ModalAnswerer answerer;
        SaveAnswer seen;
        exportTo(w, answerer, dir.filePath(typed), &seen);
        QVERIFY(answerer.done());
        QVERIFY(answerer.unexpected().isEmpty());
        QCOMPARE(seen.caption, QString("Save as..."));
        QCOMPARE(seen.filters,
                 (QStringList{"EXCEL files (*.xls)", "Excel 2007+ (*.xlsx)", "ODS files (*.ods)",
                              "ODF files (*.odt)", "HTML-Files (*.htm *.html)", "All Files (*)"}));
        if (typed != written)
            QVERIFY(!QFile::exists(typed));
        const QByteArray data = content(written);
        if (kind == "html") {
            QCOMPARE(data, TableExport::html(summary(w), "black").toUtf8());
            return;
        }
        QStringList order;
        const QMap<QString, QByteArray> zip = zipContent(data, &order);
        QVERIFY2(!zip.isEmpty(), "not a readable archive");
        if (kind == "xlsx") {
            QVERIFY(zip.contains("xl/workbook.xml"));
        } else {
            QCOMPARE(order.first(), QString("mimetype"));
            QCOMPARE(zip.value("mimetype"), kind.toLatin1());
        }
    }

    // The workbook: header bold, counts as numbers, every other cell text
    // (a personal number stays as typed), widths fitted to the texts.
    void workbookCells()
    {
        WorkDir dir;
        addExamples();
        MainWindow w;
        ModalAnswerer answerer;
        exportTo(w, answerer, dir.filePath("t.xlsx"));
        const QMap<QString, QByteArray> zip = zipContent(content("t.xlsx"));
        const QString sheet = QString::fromUtf8(zip.value("xl/worksheets/sheet1.xml"));
        const QString styles = QString::fromUtf8(zip.value("xl/styles.xml"));
        const QString strings = QString::fromUtf8(zip.value("xl/sharedStrings.xml"));
        QVERIFY(styles.contains("<b/>"));
        QVERIFY(strings.contains("<t>Воинское звание</t>"));
        QVERIFY(strings.contains("<t>Ёлкин &lt;Пётр&gt; &amp; сыновья</t>"));
        QVERIFY(strings.contains("<t>АБ-123456</t>"));
        // Header cells carry the bold style, other text cells another one.
        static const QRegularExpression cellPattern("<c r=\"([A-Z]+)(\\d+)\"( s=\"(\\d+)\")?( t=\"s\")?>");
        QHash<QString, QString> styleOf;
        QSet<QString> textCells;
        for (const QRegularExpressionMatch &m : cellPattern.globalMatch(sheet)) {
            styleOf.insert(m.captured(1) + m.captured(2), m.captured(4));
            if (!m.captured(5).isEmpty())
                textCells.insert(m.captured(1) + m.captured(2));
        }
        QVERIFY(!styleOf.value("A1").isEmpty());
        QVERIFY(styleOf.value("A1") != styleOf.value("A2"));
        QVERIFY(textCells.contains("F2"));  // personal number
        QVERIFY(!textCells.contains("H2")); // a count of thanks
        QVERIFY(sheet.contains("<c r=\"H3\"><v>3</v></c>"));
        QVERIFY(sheet.contains("<pane ySplit=\"1\""));
        // The name column is wider than the unit column.
        static const QRegularExpression colPattern("<col min=\"(\\d+)\" max=\"\\d+\" width=\"([\\d.]+)\"");
        QHash<int, double> widths;
        for (const QRegularExpressionMatch &m : colPattern.globalMatch(sheet))
            widths.insert(m.captured(1).toInt(), m.captured(2).toDouble());
        QCOMPARE(widths.size(), 12);
        QVERIFY(widths.value(4) > widths.value(1) + 10);
    }

    void spreadsheetCells()
    {
        WorkDir dir;
        addExamples();
        MainWindow w;
        ModalAnswerer answerer;
        exportTo(w, answerer, dir.filePath("t.ods"));
        const QMap<QString, QByteArray> zip = zipContent(content("t.ods"));
        QVERIFY(
            zip.value("META-INF/manifest.xml").contains("application/vnd.oasis.opendocument.spreadsheet"));
        const QString xml = QString::fromUtf8(zip.value("content.xml"));
        QVERIFY(xml.contains("fo:font-weight=\"bold\""));
        QVERIFY(xml.contains("<table:table-cell table:style-name=\"header\" office:value-type=\"string\">"
                             "<text:p>Воинское звание</text:p>"));
        QVERIFY(xml.contains("<text:p>Ёлкин &lt;Пётр&gt; &amp; сыновья</text:p>"));
        QVERIFY(xml.contains("office:value-type=\"float\" office:value=\"3\""));
        QVERIFY(xml.contains("office:value-type=\"string\"><text:p>АБ-123456</text:p>"));
        QCOMPARE(xml.count("<table:table-column "), 12);
    }

    // A file that cannot be written is reported; nothing is left behind.
    void failedExport()
    {
        WorkDir dir;
        addExamples();
        MainWindow w;
        for (const QString name : {"нет/такой/папки/t.xls", "нет/t.xlsx", "нет/t.ods", "нет/t.odt"}) {
            ModalAnswerer answerer;
            answerSave(answerer, dir.filePath(name));
            answerer.button("OK");
            w.findChild<QAction *>("action_Exel")->trigger();
            QVERIFY(answerer.done());
            QCOMPARE(answerer.seen().at(1).title, QString("Ошибка"));
            QVERIFY2(answerer.seen().at(1).text.startsWith("Таблица не сохранена в файл «"),
                     qPrintable(answerer.seen().at(1).text));
            QVERIFY(answerer.seen().at(1).text.contains(QFileInfo(name).fileName()));
        }
        QVERIFY(!QFile::exists("нет"));
    }

    // An export over an earlier file replaces it; a cancelled dialog writes
    // nothing.
    void replaceAndCancel()
    {
        WorkDir dir;
        addExamples();
        MainWindow w;
        dir.writeFile("t.xls", "earlier");
        ModalAnswerer answerer;
        answerSave(answerer, dir.filePath("t.xls"));
        answerer.button("Да"); // the dialog's own question about replacing
        w.findChild<QAction *>("action_Exel")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(content("t.xls"), TableExport::html(summary(w), "black").toUtf8());

        answerer.clear();
        answerer.cancel();
        const QStringList before = QDir().entryList(QDir::Files);
        w.findChild<QAction *>("action_Exel")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(QDir().entryList(QDir::Files), before);
    }

    // Printing goes through the print dialog's printer: here a PDF file,
    // whose text is the table's shown columns and rows.
    void printToPdf()
    {
        WorkDir dir;
        addExamples();
        MainWindow w;
        w.findChild<QAction *>("action_20")->trigger(); // hides "Дата рождения"
        search(w, "7");
        ModalAnswerer answerer;
        printTo(w, answerer, dir.filePath("table.pdf"));
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).informativeText, QString("Вы точно уверены что вывести на печать?"));
        QVERIFY(answerer.unexpected().isEmpty());
        QVERIFY(content("table.pdf").startsWith("%PDF"));

        const QString text = pdfText("table.pdf");
        if (text.isNull())
            QSKIP(
                "pdftotext (Debian package poppler-utils) is not installed: the printed text is not checked");
        for (const char *expected :
             {"Иванов", "Щукин", "\"Ястреб\"", "ВГ-654321", "ДЕ-000111", "Стрелок", "Воинское", "Ветеран"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)),
                     qPrintable(QString::fromUtf8(expected) + " not in:\n" + text));
        for (const char *absent : {"Ёлкин", "Командир", "15.11.2001", "рождения"})
            QVERIFY2(!text.contains(QString::fromUtf8(absent)),
                     qPrintable(QString::fromUtf8(absent) + " in:\n" + text));
    }

    // "Никак нет" and a cancelled print dialog print nothing and say nothing;
    // a printer that fails is reported.
    void printRefusedCancelledAndFailed()
    {
        WorkDir dir;
        addExamples();
        MainWindow w;
        ModalAnswerer answerer;
        answerer.button("Никак нет");
        w.findChild<QAction *>("action_3")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().size(), 1);

        answerer.clear();
        answerer.button("Так точно").cancel();
        w.findChild<QAction *>("action_3")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().size(), 2);
        QCOMPARE(answerer.seen().at(1).className, QString("QPrintDialog"));

        answerer.clear();
        answerPrint(answerer, dir.filePath("нет/table.pdf"));
        answerer.button("OK");
        w.findChild<QAction *>("action_3")->trigger();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(2).title, QString("Ошибка"));
        QVERIFY2(answerer.seen().at(2).text.startsWith("Таблица не напечатана"),
                 qPrintable(answerer.seen().at(2).text));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // The files as LibreOffice reads them: every spreadsheet export holds the
    // table's cells, and the OpenDocument text holds them in order.
    void libreOfficeReadsTheExports()
    {
        if (QStandardPaths::findExecutable("soffice").isEmpty())
            QSKIP(
                "LibreOffice (soffice) is not installed: install the Debian packages libreoffice-calc-nogui "
                "and libreoffice-writer-nogui to check the exports in it");
        WorkDir dir;
        addExamples();
        MainWindow w;
        choose(w, 0);
        const QList<QStringList> expected = oneLineHeaders(shown(summary(w)));
        for (const char *name : {"html.xls", "open.ods", "book.xlsx", "text.odt"}) {
            ModalAnswerer answerer;
            exportTo(w, answerer, dir.filePath(name));
            QVERIFY(answerer.done());
        }
        const QString out = dir.filePath("converted");
        const QString profile = dir.filePath("lo-profile");
        QString failed = convert(
            "csv:Text - txt - csv (StarCalc):44,34,76",
            {dir.filePath("html.xls"), dir.filePath("open.ods"), dir.filePath("book.xlsx")}, out, profile);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        failed = convert("txt:Text (encoded):UTF8", {dir.filePath("text.odt")}, out, profile);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));

        for (const char *name : {"html", "open", "book"}) {
            const QList<QStringList> cells = parseCsv(QString::fromUtf8(content(out + "/" + name + ".csv")));
            QCOMPARE(cells, expected);
        }
        QString text = QString::fromUtf8(content(out + "/text.txt"));
        text.remove(QChar(0xfeff));
        QStringList lines = text.split('\n');
        for (QString &line : lines)
            line = line.trimmed();
        QStringList flat;
        for (const QStringList &row : expected)
            flat += row;
        // The document starts and ends with an empty paragraph around the table.
        while (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        while (!lines.isEmpty() && lines.first().isEmpty())
            lines.removeFirst();
        QCOMPARE(lines, flat);
    }

    // The service card as .odt: columns as wide as their words, headings and
    // header rows kept with the rows below, as LibreOffice lays it out.
    void cardOpenDocument()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman("12", "Петров Пётр Петрович", "АБ-1"));
        Order o;
        o.LN = "АБ-1";
        o.what = "vzs";
        o.Date_time = "15.01.2019";
        o.prikaznom = "П-1";
        o.kemvidan = "Командир полка";
        o.nameZO = "Выговор";
        QVERIFY(addOrder(o));
        QStringList missing;
        QSqlError error;
        const std::vector<Cards::Card> cards = Cards::read({"АБ-1"}, &missing, &error);
        QString why;
        QVERIFY2(CardPrint::writeOpenDocument(cards, QDate(2025, 3, 12), dir.filePath("card.odt"), &why),
                 qPrintable(why));
        const QString xml = QString::fromUtf8(zipContent(content("card.odt")).value("content.xml"));
        QVERIFY(xml.contains("fo:keep-with-next=\"always\""));
        QVERIFY(xml.contains("style:may-break-between-rows=\"true\""));
        QVERIFY(xml.contains("<table:table-header-rows>"));
        // The number column narrower than the name column.
        static const QRegularExpression width("style:name=\"Table2\\.(\\d)\"[^>]*>"
                                              "<style:table-column-properties style:column-width=\"([\\d.]+)cm");
        QHash<int, double> widths;
        for (const QRegularExpressionMatch &m : width.globalMatch(xml))
            widths.insert(m.captured(1).toInt(), m.captured(2).toDouble());
        QCOMPARE(widths.size(), 7);
        QVERIFY(widths.value(2) < widths.value(3));
        if (QStandardPaths::findExecutable("soffice").isEmpty())
            QSKIP("LibreOffice (soffice) is not installed");
        const QString failed = convert("pdf", {dir.filePath("card.odt")}, dir.filePath("pdf"), dir.filePath("lo"));
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        const QString text = pdfText(dir.filePath("pdf/card.pdf"));
        QVERIFY(text.contains("Наименование"));
        QVERIFY(text.contains("Служебная карточка"));
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
