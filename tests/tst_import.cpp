// The import of a roster kept in a spreadsheet: the files as read by the
// readers (.xlsx, .ods, .xls made by LibreOffice, .csv in its variants) and
// the damaged ones they refuse.
#include "storage/import/sheetfile.h"
#include "testsupport.h"
#include "zipcontent.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QUrl>
#include <QtTest>

using namespace TestSupport;

namespace {

using Rows = QVector<QStringList>;

// Converts files with LibreOffice into `format`; empty when it worked,
// else the reason. The CSV sources are read as UTF-8 with ';', dates
// recognised as in a Russian office program.
QString convert(const QString &format, const QStringList &files, const QString &outDir, const QString &profile)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStandardPaths::findExecutable("soffice"),
                  QStringList{"-env:UserInstallation=" + QUrl::fromLocalFile(profile).toString(), "--headless",
                              "--norestore", "--infilter=CSV:59,34,76,1,,1049,false,true", "--convert-to", format,
                              "--outdir", outDir} +
                      files);
    if (!process.waitForFinished(240000)) {
        process.kill();
        process.waitForFinished();
        return "soffice did not finish: " + QString::fromLocal8Bit(process.readAll());
    }
    return process.exitCode() == 0 ? QString() : "soffice failed: " + QString::fromLocal8Bit(process.readAll());
}

QString failure(const Import::SheetFile &file)
{
    return file.path + ": " + file.error;
}

} // namespace

class TestImport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }

    // A roster typed as CSV and saved by LibreOffice as .xlsx, .ods and
    // .xls reads back cell for cell: Cyrillic, a date, an empty cell in the
    // middle, a number; and the second sheet of a workbook is read when
    // chosen, an empty third one refused by its name.
    void readsSpreadsheetsMadeByLibreOffice()
    {
        if (QStandardPaths::findExecutable("soffice").isEmpty())
            QSKIP("LibreOffice (soffice) is not installed: install the Debian package libreoffice-calc-nogui");
        WorkDir dir(WorkDir::WithoutDatabase);
        dir.writeFile("roster.csv", "ФИО;Личный номер;Дата рождения;Подразделение\n"
                                    "Иванов Иван Иванович;А-123456;15.03.1990;\"1 взвод; 2 отделение\"\n"
                                    "Петров Пётр;;20.04.1991;2 взвод\n"
                                    "Щукин Эдуард;703311;;\n");
        const Rows roster{{"ФИО", "Личный номер", "Дата рождения", "Подразделение"},
                          {"Иванов Иван Иванович", "А-123456", "1990-03-15", "1 взвод; 2 отделение"},
                          {"Петров Пётр", "", "1991-04-20", "2 взвод"},
                          {"Щукин Эдуард", "703311"}};
        // Three sheets, the second with a text of two spaces and a row
        // repeated to the end of the sheet, the third empty.
        dir.writeFile(
            "book.fods",
            R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet"><office:body><office:spreadsheet>
<table:table table:name="Люди"><table:table-row><table:table-cell office:value-type="string"><text:p>первый</text:p>
</table:table-cell></table:table-row></table:table>
<table:table table:name="Приказы"><table:table-row><table:table-cell office:value-type="string"><text:p>второй  лист</text:p>
</table:table-cell><table:table-cell/><table:table-cell office:value-type="float" office:value="42"><text:p>42</text:p>
</table:table-cell></table:table-row><table:table-row table:number-rows-repeated="1048575"><table:table-cell
 table:number-columns-repeated="1024"/></table:table-row></table:table>
<table:table table:name="Пусто"><table:table-row><table:table-cell/></table:table-row></table:table>
</office:spreadsheet></office:body></office:document>)");
        const QString out = dir.filePath("converted");
        for (const QString format : {"xlsx", "ods", "xls"}) {
            const QString failed = convert(format, {dir.filePath("roster.csv"), dir.filePath("book.fods")}, out,
                                           dir.filePath("lo-profile"));
            QVERIFY2(failed.isEmpty(), qPrintable(failed));
            Import::SheetFile file = Import::readSheet(out + "/roster." + format);
            QVERIFY2(file.error.isEmpty(), qPrintable(failure(file)));
            QCOMPARE(file.rows, roster);
            QCOMPARE(file.sheets.size(), 1);

            file = Import::readSheet(out + "/book." + format, 1);
            QVERIFY2(file.error.isEmpty(), qPrintable(failure(file)));
            QCOMPARE(file.sheets, QStringList({"Люди", "Приказы", "Пусто"}));
            QCOMPARE(file.rows, Rows({{"второй  лист", "", "42"}}));

            file = Import::readSheet(out + "/book." + format, 2);
            QCOMPARE(file.error, "В листе «Пусто» файла «book." + format + "» нет ни одной строки.");
            QVERIFY(file.rows.isEmpty());
        }
    }

    // The CSV an office program saves: Windows-1251 with ';' and CRLF, UTF-8
    // with its mark and ',' and a quoted field holding doubled quotes and a
    // line break, tabs; and the separator the user chooses over the found one.
    void readsCsvVariants()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        QStringEncoder cp1251("windows-1251");
        dir.writeFile("old.csv", cp1251.encode(u"ФИО;Звание\r\nЁлкин Яков;Ст. сержант\r\n\r\nЪ;\r\n"));
        dir.writeFile("new.csv", "\xEF\xBB\xBFФИО,Подразделение\r\n\"Сидоров \"\"Малый\"\"\",\"1 рота,\r\n2 взвод\"\r\n");
        dir.writeFile("tabs.txt", "ФИО\tНомер;\nИванов\t1,5\n");
        struct Case
        {
            const char *name;
            QByteArray encoding;
            QChar separator;
            Rows rows;
        };
        const Case cases[] = {
            {"old.csv", "windows-1251", ';', {{"ФИО", "Звание"}, {"Ёлкин Яков", "Ст. сержант"}, {}, {"Ъ", ""}}},
            {"new.csv", "UTF-8", ',', {{"ФИО", "Подразделение"}, {"Сидоров \"Малый\"", "1 рота,\n2 взвод"}}},
            {"tabs.txt", "UTF-8", '\t', {{"ФИО", "Номер;"}, {"Иванов", "1,5"}}},
        };
        for (const Case &c : cases) {
            const Import::SheetFile file = Import::readSheet(dir.filePath(c.name));
            QVERIFY2(file.error.isEmpty(), qPrintable(failure(file)));
            QCOMPARE(file.csv.encoding, c.encoding);
            QCOMPARE(file.csv.separator, c.separator);
            QCOMPARE(file.rows, c.rows);
        }
        const Import::CsvFormat chosen{"UTF-8", ';'};
        const Import::SheetFile file = Import::readSheet(dir.filePath("tabs.txt"), 0, &chosen);
        QCOMPARE(file.rows, Rows({{"ФИО\tНомер", ""}, {"Иванов\t1,5"}}));
    }

    // Files that cannot be read are refused whole with the reason and the
    // file's name: nothing half-read, no crash.
    void refusesBrokenFiles()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        const QByteArray sheet = "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                                 "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Иванов</t></is></c></row>"
                                 "</sheetData></worksheet>";
        const QList<QPair<QString, QByteArray>> workbook{
            {"xl/workbook.xml",
             "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
             "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
             "<sheet name=\"Лист1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
            {"xl/_rels/workbook.xml.rels",
             "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
             "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
             "worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
            {"xl/worksheets/sheet1.xml", sheet + QByteArray(200000, ' ')}};
        QVERIFY(writeZip(dir.filePath("whole.xlsx"), workbook));
        QCOMPARE(Import::readSheet(dir.filePath("whole.xlsx")).rows, Rows({{"Иванов"}}));
        const QByteArray whole = fileContent(dir.filePath("whole.xlsx"));
        dir.writeFile("cut.xlsx", whole.left(whole.size() / 2));
        // The same workbook named .ods, and one with a fault on its third line.
        dir.writeFile("renamed.ods", whole);
        QList<QPair<QString, QByteArray>> badXml = workbook;
        badXml.last().second = "<worksheet>\n<sheetData>\n<row><c></row></sheetData></worksheet>";
        QVERIFY(writeZip(dir.filePath("badxml.xlsx"), badXml));
        dir.writeFile("stray.csv", "ФИО;Звание\nИванов;Рядовой\n\"Петров;Сержант\nСидоров;Рядовой\n");
        dir.writeFile("empty.csv", "\n;;\n\n");
        dir.writeFile("picture.xlsx", QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 12));

        QCOMPARE(Import::readSheet(dir.filePath("renamed.ods")).rows, Rows({{"Иванов"}}));
        const QPair<const char *, QString> refused[] = {
            {"missing.xlsx", "Файл «missing.xlsx» не найден."},
            {"cut.xlsx", "Файл «cut.xlsx» повреждён или записан не до конца: его не удаётся прочитать."},
            {"badxml.xlsx", "Файл «badxml.xlsx» повреждён: часть «xl/worksheets/sheet1.xml» не читается (строка 3)."},
            {"stray.csv", "Файл «stray.csv»: в строке 3 кавычка открыта и не закрыта. Исправьте эту строку и "
                          "повторите импорт."},
            {"empty.csv", "В листе «empty» файла «empty.csv» нет ни одной строки."},
            {"picture.xlsx",
             "Файл «picture.xlsx» не похож на таблицу: программа читает файлы .xlsx, .ods, .xls и .csv."},
        };
        for (const auto &[name, error] : refused) {
            const Import::SheetFile file = Import::readSheet(dir.filePath(name));
            QCOMPARE(file.error, error);
            QVERIFY(file.rows.isEmpty());
        }
        QCOMPARE(Import::readSheet(dir.filePath("whole.xlsx"), 1).error, QString("В файле «whole.xlsx» нет листа № 2."));
    }
};

QTEST_MAIN(TestImport)
#include "tst_import.moc"
