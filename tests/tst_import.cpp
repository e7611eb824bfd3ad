// The import of a roster kept in a spreadsheet: the files as read by the
// readers (.xlsx, .ods, .xls made by LibreOffice, .csv in its variants) and
// the damaged ones they refuse; the check of every row with its reason, the
// user's choices, and the writing, all or nothing, on a file and a server.
#include "function.h"
#include "pgserver.h"
#include "programdb.h"
#include "storage/import/check.h"
#include "storage/import/sheetfile.h"
#include "storage/import/write.h"
#include "storage/db/sql.h"
#include "view/application.h"
#include "widgets.h"
#include "windows/importwindow.h"
#include "testsupport.h"
#include "zipcontent.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTableView>
#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QUrl>
#include <QtTest>

#include <ctime>

using namespace TestSupport;
using namespace Import;

namespace {



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


// A roster with a line above its headers, the name in three columns.
const Rows ROSTER = {
    {"Список личного состава"},
    {" ЛИЧНЫЙ   номер", "Фамилия", "Имя", "Отчество", "Воинское звание", "Должность", "Дата рождения", "№ ВП"},
    {"100", "Иванов", "Иван", "Иванович", "капитан", "Командир роты", "05.03.1990", "12"},
    {"101", "Петров", "Пётр", "", "Старшина", "", "1985-07-01", "12"},
    {"102", "Сидоров", "", "", "Генералиссимус", "", "33000", ""},
    {"103", "Козлов", "", "", "", "", "1.2.95", ""},
    {"", "Безномерной", "", "", "", "", "", ""},
    {"104", "", "", "", "", "", "", ""},
    {"105", "Дважды", "", "", "", "", "", ""},
    {"105", "Дважды-2", "", "", "", "", "", ""},
    {"106", "Невозможный", "", "", "", "", "31.02.1990", ""},
    {"107", "Нечитаемый", "", "", "", "", "вчера", ""},
    {"7", "Старый", "", "", "Майор", "", "", "99"},
    {},
};

const Rows ORDERS = {
    {"Личный номер", "Категория", "Номер", "Дата", "Кем издан", "Наименование", "Номер снятия", "Дата снятия"},
    {"100", "Взыскания", "1", "01.02.2020", "Командир", "Выговор", "", ""},
    {"100", "vzs", "2", "2021-03-04", "Командир", "Замечание", "5", "01.06.2021"},
    {"101", " благодарность ", "3", "44000", "Командир", "За службу", "", ""},
    {"999", "Грамоты", "4", "01.01.2020", "", "", "", ""},
    {"101", "Премия", "5", "01.01.2020", "", "", "", ""},
    {"101", "Грамоты", "6", "30.02.2020", "", "", "", ""},
    {"101", "Грамоты", "", "01.01.2020", "", "", "", ""},
    {"7", "Грамоты", "8", "01.01.2020", "", "", "", ""},
    {"7", "Грамоты", "8", "02.01.2020", "", "", "", ""},
    {"106", "Грамоты", "9", "01.01.2020", "", "", "", ""},
};

// The bound on the processor time of each hostile file; the sanitizers'
// checks slow every step several times over.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 BOUND_MS = 5000 * 4;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr qint64 BOUND_MS = 5000 * 4;
#else
constexpr qint64 BOUND_MS = 5000;
#endif
#else
constexpr qint64 BOUND_MS = 5000;
#endif

// The processor time this process spent since start(), in milliseconds: the
// bounds hold for the work itself, however busy the machine is.
class CpuTimer
{
public:
    void start() { m_start = now(); }
    void restart() { start(); }
    qint64 elapsed() const { return (now() - m_start) / 1000000; }

private:
    static qint64 now()
    {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
    }
    qint64 m_start = 0;
};

QString reasonOf(const ServicemenCheck &c, int line)
{
    for (const ServicemanRow &r : c.rows) {
        if (r.line == line)
            return r.reason;
    }
    return "<no row>";
}

QString birth(int y, int m, int d)
{
    return QLocale().toString(QDateTime(QDate(y, m, d), QTime(0, 0)), QLocale::ShortFormat);
}

// The roster checked and written with the choices; the check is returned.
ServicemenCheck importRoster(const Choices &choices, Written *written, const Progress &progress = {})
{
    const Matching m = match(ROSTER, Kind::Servicemen);
    const ServicemenCheck c = checkServicemen(ROSTER, m, choices);
    write(&c, nullptr, "roster.xlsx", written, progress);
    return c;
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
        QByteArray longRoster = "Личный номер;ФИО;Дата рождения\n";
        for (int r = 0; r < 2000; ++r)
            longRoster += QByteArray::number(r) + ";Боец номер " + QByteArray::number(r) + " с фамилией для объёма;05.03.1990\n";
        dir.writeFile("long.csv", longRoster);
        const QString out = dir.filePath("converted");
        // An .xls whose stream is damaged past its middle says which rows it
        // did not read.
        const QString converted = convert("xls", {dir.filePath("long.csv")}, out, dir.filePath("lo-profile"));
        QVERIFY2(converted.isEmpty(), qPrintable(converted));
        QByteArray damaged = fileContent(out + "/long.xls");
        QVERIFY(Import::readSheet(out + "/long.xls").warning.isEmpty());
        damaged.replace(damaged.size() * 8 / 10, 8192, QByteArray(8192, '\0'));
        dir.writeFile("damaged.xls", damaged);
        const SheetFile partly = Import::readSheet(dir.filePath("damaged.xls"));
        QVERIFY(partly.rows.size() < 2001);
        QCOMPARE(partly.warning, QString("Файл «damaged.xls» прочитан не весь: в его листе 2001 строк, а строки с %1 по "
                                         "2001 пусты или не читаются — файл, возможно, повреждён. Проверьте, все ли "
                                         "строки на месте.")
                                     .arg(partly.rows.size() + 1));
        for (const QString format : {"xlsx", "ods", "xls"}) {
            const QString failed = convert(format, {dir.filePath("roster.csv"), dir.filePath("book.fods")}, out,
                                           dir.filePath("lo-profile"));
            QVERIFY2(failed.isEmpty(), qPrintable(failed));
            Import::SheetFile file = Import::readSheet(out + "/roster." + format);
            QVERIFY2(file.error.isEmpty(), qPrintable(failure(file)));
            QCOMPARE(file.rows, roster);
            QCOMPARE(file.warning, QString());
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
    // file's name: nothing half-read, no crash. The workbook written by hand
    // before them has parts over 16 KB, shared strings with entities and
    // rich text, and a comment in its sheet (read by expat, not the quick
    // reader).
    void refusesBrokenFiles()
    {
        WorkDir dir(WorkDir::WithoutDatabase);
        const QByteArray sheet = "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                                 "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Иванов</t></is></c>"
                                 "<c r=\"C1\" t=\"s\"><v>0</v></c></row><!-- by hand --><row r=\"2\"><c t=\"s\"><v>1</v>"
                                 "</c></row>" +
                                 QByteArray(200000, ' ') + "</sheetData></worksheet>";
        const Rows rows{{"Иванов", "", "Петров & сынъ"}, {"Боец"}};
        const QList<QPair<QString, QByteArray>> workbook{
            {"xl/workbook.xml",
             "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
             "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
             "<sheet name=\"Лист1\" sheetId=\"1\" r:id=\"rId1\"/></sheets>" +
                 QByteArray(200000, ' ') + "</workbook>"},
            {"xl/_rels/workbook.xml.rels",
             "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
             "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
             "worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"http://schemas."
             "openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" Target=\"strings.xml\"/>"
             "</Relationships>"},
            {"xl/strings.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<sst><si><t>Петров &amp; сын&#x44A;</t></si>"
                               "<si><r><t>Бо</t></r><r><t>ец</t></r><rPh><t>x</t></rPh></si></sst>"},
            {"xl/worksheets/sheet1.xml", sheet}};
        QVERIFY(writeZip(dir.filePath("whole.xlsx"), workbook));
        QCOMPARE(Import::readSheet(dir.filePath("whole.xlsx")).rows, rows);
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

        QCOMPARE(Import::readSheet(dir.filePath("renamed.ods")).rows, rows);
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

    // Headers found below a title line; each refused row with its reason;
    // dates in every form stored as the serviceman form stores them; an
    // unknown rank counted as a new entry; the user's matching remembered.
    void checksRows()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman("99", "Старый С.", "7"));
        Matching m = match(ROSTER, Kind::Servicemen);
        QCOMPARE(m.headerRow, 1);
        QCOMPARE(m.columns.value(0), Column::PersonalNumber);
        QCOMPARE(m.columns.value(7), Column::Unit);

        const ServicemenCheck c = checkServicemen(ROSTER, m, Choices());
        QVERIFY(c.error.isEmpty());
        QCOMPARE(c.added, 4);
        QCOMPARE(c.updated, 0);
        QCOMPARE(c.skipped, 7);
        QCOMPARE(reasonOf(c, 7), QString("нет личного номера"));
        QCOMPARE(reasonOf(c, 8), QString("нет ФИО"));
        QCOMPARE(reasonOf(c, 9), QString("личный номер «105» повторяется в файле (строки 9, 10)"));
        QCOMPARE(reasonOf(c, 10), reasonOf(c, 9));
        QCOMPARE(reasonOf(c, 11), QString("дата рождения «31.02.1990» не существует"));
        QCOMPARE(reasonOf(c, 12), QString("дата рождения «вчера» не распознана"));
        QCOMPARE(reasonOf(c, 13), QString("личный номер «7» уже есть в реестре"));

        const Servicemen::Fields &ivanov = c.rows.at(0).entry.fields;
        QCOMPARE(ivanov[Servicemen::FIO], QString("Иванов Иван Иванович"));
        // Another letter case takes the list's own spelling and place.
        QCOMPARE(ivanov[Servicemen::VZ], QString("Капитан"));
        QCOMPARE(c.rows.at(0).entry.rank, 9);
        QCOMPARE(ivanov[Servicemen::BIRTH], birth(1990, 3, 5));
        QCOMPARE(c.rows.at(1).entry.fields[Servicemen::BIRTH], birth(1985, 7, 1));
        QCOMPARE(c.rows.at(2).entry.fields[Servicemen::BIRTH], birth(1990, 5, 7)); // day 33000
        QCOMPARE(c.rows.at(3).entry.fields[Servicemen::BIRTH], birth(1995, 2, 1));
        QCOMPARE(c.newRanks, QStringList{"Генералиссимус"});
        QCOMPARE(c.rows.at(2).entry.rank, static_cast<int>(c.ranks.size()) + 1);

        // A matching the user changed is offered again for the same headers.
        m.columns[7] = Column::None;
        remember(ROSTER.at(1).toList(), m.columns);
        QCOMPARE(match(ROSTER, Kind::Servicemen).columns.value(7), Column::None);
    }

    // The choices written: a number in the register updated or skipped, a
    // new rank added to the list or mapped to an entry; the history of the
    // import; a cancel and a failure half-way leave the register as it was.
    void importsAllOrNothing()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman("99", "Старый С.", "7"));
        const QString before = dump();

        Written w;
        importRoster(Choices(), &w, [](int, int) { return false; });
        QVERIFY(w.cancelled);
        QCOMPARE(dump(), before);
        QVERIFY(QFileInfo::exists(w.backup));

        // A failure at the orders leaves nothing of the servicemen written before.
        QVERIFY(exec("CREATE TRIGGER refuse BEFORE INSERT ON prikaz BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        const QString armed = dump();
        const ServicemenCheck roster = checkServicemen(ROSTER, match(ROSTER, Kind::Servicemen), Choices());
        const OrdersCheck orders = checkOrders(ORDERS, match(ORDERS, Kind::Orders), roster);
        QVERIFY(!write(&roster, &orders, "roster.xlsx", &w));
        QVERIFY(!w.error.isEmpty());
        QCOMPARE(dump(), armed);
        QVERIFY(exec("DROP TRIGGER refuse"));

        Choices skip;
        skip.ranks.insert("Генералиссимус", "Маршал Российской Федерации");
        importRoster(skip, &w);
        QVERIFY2(w.error.isEmpty(), qPrintable(w.error));
        QCOMPARE(w.added, 4);
        QCOMPARE(rows("SELECT VP, VZ, FIO, Zvan_nom, vzs FROM Combat WHERE LN IN ('7', '102') ORDER BY LN"),
                 (QList<QStringList>{{"", "Маршал Российской Федерации", "Сидоров", "1", "0"},
                                     {"99", "Рядовой", "Старый С.", "20", ""}}));
        QCOMPARE(value("SELECT count(*) FROM history WHERE action = 'serviceman_added'"), QString("4"));
        QCOMPARE(value("SELECT new_value FROM history WHERE action = 'import'"),
                 QString("Импорт из «roster.xlsx»: добавлено 4, обновлено 0, приказов 0"));

        // Again with updates and the new rank added to the list.
        QVERIFY(exec("DELETE FROM Combat WHERE LN <> '7'"));
        Choices update;
        update.updateExisting = true;
        importRoster(update, &w);
        QCOMPARE(w.updated, 1);
        QCOMPARE(w.ranks, 1);
        QCOMPARE(rows("SELECT VP, VZ, FIO, Zvan_nom FROM Combat WHERE LN IN ('7', '102') ORDER BY LN"),
                 (QList<QStringList>{{"", "Генералиссимус", "Сидоров", "21"}, {"99", "Майор", "Старый", "8"}}));
        QCOMPARE(value("SELECT Rank_massa FROM Ranks WHERE Rank = 'Генералиссимус'"), QString("210"));
        QCOMPARE(rows("SELECT field, old_value, new_value FROM history WHERE action = 'serviceman_changed' "
                      "ORDER BY id"),
                 (QList<QStringList>{{"VZ", "Рядовой", "Майор"}, {"FIO", "Старый С.", "Старый"}, {"Zvan_nom", "20", "8"}}));

        // The same file once more: nobody is updated, nothing is logged.
        const ServicemenCheck again = importRoster(update, &w);
        QCOMPARE(again.updated, 0);
        QCOMPARE(again.unchanged, 5);
        QCOMPARE(w.updated, 0);
        QCOMPARE(value("SELECT count(*) FROM history WHERE action = 'serviceman_changed'"), QString("3"));
    }

    // Orders checked against the register and the roster imported with
    // them; a lifted penalty is not in force; the counts are recounted.
    void importsOrders()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman("99", "Старый С.", "7"));
        QVERIFY(addOrder({"7", "gr", "01.01.2019", "8", "", "", "1", "", "", ""}));
        const ServicemenCheck roster = checkServicemen(ROSTER, match(ROSTER, Kind::Servicemen), Choices());
        const OrdersCheck c = checkOrders(ORDERS, match(ORDERS, Kind::Orders), roster);
        QStringList reasons;
        for (const OrderRow &o : c.rows)
            reasons.append(o.reason);
        QCOMPARE(reasons, (QStringList{"", "", "",
                                       "военнослужащего с личным номером «999» нет ни в реестре, ни в импорте",
                                       "категория «Премия» не распознана", "дата приказа «30.02.2020» не существует",
                                       "нет номера приказа", "приказ № 8 уже есть у военнослужащего",
                                       "приказ № 8 уже есть у военнослужащего",
                                       "военнослужащий с личным номером «106» не будет добавлен: строка "
                                       "11 списка военнослужащих пропущена (дата рождения «31.02.1990» "
                                       "не существует)"}));
        Written w;
        QVERIFY(write(&roster, &c, "orders.csv", &w));
        QCOMPARE(w.orders, 3);
        QCOMPARE(rows("SELECT what, Date_time, prikaznom, actived_prikaz, Nomer_snytie, Data_snytie FROM prikaz "
                      "WHERE LN <> '7' ORDER BY rowid"),
                 (QList<QStringList>{{"vzs", "01.02.2020", "1", "1", "", ""},
                                     {"vzs", "04.03.2021", "2", "0", "5", "01.06.2021"},
                                     {"blag", "18.06.2020", "3", "1", "", ""}}));
        QCOMPARE(rows("SELECT vzs, blag FROM Combat WHERE LN IN ('100', '101') ORDER BY LN"),
                 (QList<QStringList>{{"1", "0"}, {"0", "1"}}));
        QCOMPARE(value("SELECT count(*) FROM history WHERE action = 'order_added'"), QString("3"));
        QCOMPARE(skippedReport(&roster, &c).size(), 1 + roster.skipped + c.skipped);

        // The same orders checked at the same time elsewhere are refused by
        // the write, and so is an update of a man deleted since the check.
        const OrdersCheck twice = checkOrders(ORDERS, match(ORDERS, Kind::Orders), roster);
        QCOMPARE(twice.added, 0);
        QVERIFY(!write(nullptr, &c, "orders.csv", &w));
        QCOMPARE(w.error, QString("приказ № 1 военнослужащего с личным номером «100» (строка 2) тем временем уже "
                                  "внесён в реестр; проверьте файл ещё раз"));
        Choices update;
        update.updateExisting = true;
        const ServicemenCheck stale = checkServicemen(ROSTER, match(ROSTER, Kind::Servicemen), update);
        QVERIFY(exec("DELETE FROM Combat WHERE LN = '7'"));
        const QString before = dump();
        QVERIFY(!write(&stale, nullptr, "roster.csv", &w));
        QCOMPARE(w.error, QString("военнослужащего с личным номером «7» (строка 13) тем временем удалили из реестра "
                                  "или дали ему другой номер; проверьте файл ещё раз"));
        QCOMPARE(dump(), before);
    }

    // Rows the check flags: a value longer than its field, a personal
    // number that differs from another only in case or in Latin look-alike
    // letters, a line in another encoding; a birth date stored in another
    // form of the same day is no change.
    void flagsDoubtfulRows()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman("99", "Старый С.", "А-7"));
        QVERIFY(addServiceman("1", "Второй", "В-9"));
        QVERIFY(exec("UPDATE Combat SET Data_comb = ? WHERE LN = 'В-9'", {birth(1990, 3, 5).replace(" 00:", " 0:")}));
        const Rows sheet{{"ФИО", "Личный номер", "Дата рождения"},
                         {QString(300, QChar(u'я')), "1"},
                         {"Латинский", "a-7"},
                         {"Строчный", "б-1"},
                         {"Прописной", "Б-1"},
                         {"Второй", "В-9", "05.03.1990"}};
        Choices update;
        update.updateExisting = true;
        const ServicemenCheck c = checkServicemen(sheet, match(sheet, Kind::Servicemen), update);
        QCOMPARE(reasonOf(c, 2), QString("ФИО длиннее 255 знаков (столбец A)"));
        QCOMPARE(reasonOf(c, 3), QString("личный номер «a-7» отличается от «А-7» в реестре только регистром букв или "
                                         "латинскими буквами вместо русских"));
        QCOMPARE(reasonOf(c, 4), QString("личный номер «б-1» отличается от «Б-1» в строке 5 только регистром букв "
                                         "или латинскими буквами вместо русских"));
        QVERIFY(reasonOf(c, 5).contains("от «б-1» в строке 4"));
        QCOMPARE(c.unchanged, 1);

        // A roster in Windows-1251 with one line saved as UTF-8.
        QByteArray csv = QStringEncoder("windows-1251").encode(QString("ФИО;Личный номер\nИванов;1\n"));
        csv += QString("Петров;2\n").toUtf8();
        csv += QStringEncoder("windows-1251").encode(QString("Сидоров;3\n"));
        dir.writeFile("mixed.csv", csv);
        const SheetFile mixed = readSheet(dir.filePath("mixed.csv"));
        QCOMPARE(mixed.csv.encoding, QByteArray("windows-1251"));
        const ServicemenCheck m = checkServicemen(mixed.rows, match(mixed.rows, Kind::Servicemen), Choices());
        QCOMPARE(m.added, 2);
        QCOMPARE(reasonOf(m, 3), QString("строка записана в другой кодировке, чем остальной файл (её текст искажён)"));
    }

    // Files made to hurt are refused or read within bounds, each in
    // seconds: a sheet with one cell in its last column per row, a part
    // that inflates a thousandfold, an .ods of a million rows repeating
    // sixteen thousand cells, a number repeated in 16,000 rows, a field of
    // 50 MB, a password-protected workbook.
    void boundsHostileFiles()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        CpuTimer timer;
        const auto workbook = [](const QByteArray &sheet) {
            return QList<QPair<QString, QByteArray>>{
                {"xl/workbook.xml",
                 "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
                 "<sheet name=\"Лист1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
                {"xl/_rels/workbook.xml.rels",
                 "<Relationships><Relationship Id=\"rId1\" Type=\"worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                 "</Relationships>"},
                {"xl/worksheets/sheet1.xml", sheet}};
        };
        QByteArray sparse = "<worksheet><sheetData>";
        for (int r = 1; r <= 200000; ++r)
            sparse += "<row r=\"" + QByteArray::number(r) + "\"><c r=\"XFD" + QByteArray::number(r) +
                      "\" t=\"inlineStr\"><is><t>x</t></is></c></row>";
        QVERIFY(writeZip(dir.filePath("sparse.xlsx"), workbook(sparse + "</sheetData></worksheet>")));
        QVERIFY(writeZip(dir.filePath("bomb.xlsx"),
                         workbook("<worksheet><sheetData>" + QByteArray(100 << 20, ' ') + "</sheetData></worksheet>")));
        QVERIFY(writeZip(
            dir.filePath("repeated.ods"),
            {{"content.xml",
              "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
              "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
              "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:spreadsheet>"
              "<table:table table:name=\"Лист1\"><table:table-row><table:table-cell><text:p>ФИО</text:p>"
              "</table:table-cell><table:table-cell><text:p>Личный номер</text:p></table:table-cell>"
              "</table:table-row><table:table-row table:number-rows-repeated=\"1048000\"><table:table-cell "
              "table:number-columns-repeated=\"16000\"><text:p>б/н</text:p></table:table-cell></table:table-row>"
              "</table:table></office:spreadsheet></office:body></office:document-content>"}}));
        QByteArray bn = "ФИО;Личный номер\n";
        for (int r = 0; r < 16000; ++r)
            bn += "Боец;б/н\n";
        dir.writeFile("bn.csv", bn);
        dir.writeFile("field.csv", "ФИО;Личный номер\nБоец;\"" + QByteArray(50 << 20, 'x') + "\"\n");
        dir.writeFile("locked.xlsx", QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(504, '\0') +
                                         QByteArray("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32));

        timer.start();
        const SheetFile wide = readSheet(dir.filePath("sparse.xlsx"));
        QVERIFY2(wide.error.isEmpty(), qPrintable(wide.error));
        QCOMPARE(wide.rows.size(), 200000);
        QCOMPARE(wide.columns, 16384);
        QCOMPARE(wide.rows.at(199999).storedCells(), 1);
        QCOMPARE(wide.rows.at(199999).value(16383), QString("x"));
        QVERIFY2(timer.elapsed() < BOUND_MS, qPrintable(QString::number(timer.elapsed())));

        const QPair<const char *, QString> refused[] = {
            {"bomb.xlsx", "Файл «bomb.xlsx» не читается: его часть «xl/worksheets/sheet1.xml» распаковывается в "
                          "объём, больший сжатого более чем в 200 раз. Так бывает у повреждённых файлов и у "
                          "составленных, чтобы переполнить память."},
            {"field.csv", "Файл «field.csv» не читается: в строке 2, столбце B значение длиннее 32767 знаков — "
                          "больше, чем вмещает ячейка таблицы."},
            {"locked.xlsx", "Файл «locked.xlsx» защищён паролем. Сохраните его без пароля и повторите импорт."},
        };
        for (const auto &[name, error] : refused) {
            timer.restart();
            const SheetFile file = readSheet(dir.filePath(name));
            QCOMPARE(file.error, error);
            QVERIFY(file.rows.isEmpty());
            QVERIFY2(timer.elapsed() < BOUND_MS, name);
        }

        // Read, checked and shown in the preview.
        for (const char *name : {"bn.csv", "repeated.ods"}) {
            timer.restart();
            ImportWindow w;
            QVERIFY(w.load(Kind::Servicemen, dir.filePath(name)));
            const QTableView *table = child<QTableView>(&w, "previewServicemen");
            const int rows = QString(name) == "bn.csv" ? 16000 : 1048000;
            QCOMPARE(table->model()->rowCount(), 1 + rows);
            QCOMPARE(table->model()->index(1, 0).data().toString(),
                     QString("пропустить: личный номер «б/н» повторяется в файле (строк: %1, первые — 2, 3, 4)")
                         .arg(rows));
            QVERIFY(table->findChildren<QComboBox *>().size() <= 100);
            QVERIFY2(timer.elapsed() < BOUND_MS, qPrintable(QString::number(timer.elapsed())));
        }
    }

    // On a server: the same rows, their history written by the triggers
    // and the import's own entry.
    void importsOnServer()
    {
        PgServer pg;
        if (!pg.running())
            QSKIP(qPrintable(pg.missing()));
        WorkDir dir(WorkDir::WithoutDatabase);
        const QString name = useNewServerDatabase(pg, "clerk-import");
        // Every statement that writes entries leaves a line: their action
        // and number; every change of a serviceman's row, his number. Combat's triggers are put back as an earlier version
        // made them (a row trigger for additions too), which the verification
        // puts right.
        QVERIFY(pg.admin(
            "CREATE SCHEMA counts; GRANT USAGE ON SCHEMA counts TO PUBLIC; CREATE TABLE counts.statements (id "
            "serial, action text, entries bigint); GRANT ALL ON counts.statements, counts.statements_id_seq TO "
            "PUBLIC; CREATE FUNCTION count_statement() RETURNS trigger LANGUAGE plpgsql AS $$ "
            "BEGIN INSERT INTO counts.statements (action, entries) SELECT action, count(*) FROM added GROUP BY "
            "action; RETURN NULL; END $$; CREATE TRIGGER count_statement AFTER INSERT ON history REFERENCING NEW "
            "TABLE AS added FOR EACH STATEMENT EXECUTE FUNCTION count_statement(); CREATE TABLE counts.updated (LN "
            "text); GRANT ALL ON counts.updated TO PUBLIC; CREATE FUNCTION count_update() RETURNS trigger LANGUAGE "
            "plpgsql AS $$ BEGIN INSERT INTO counts.updated VALUES (NEW.LN); RETURN NULL; END $$; CREATE TRIGGER "
            "count_update AFTER UPDATE ON Combat FOR EACH ROW EXECUTE FUNCTION count_update(); "
            "DROP TRIGGER history_added_combat "
            "ON Combat; CREATE OR REPLACE TRIGGER history_combat AFTER INSERT OR UPDATE OR DELETE ON Combat FOR EACH "
            "ROW EXECUTE FUNCTION history_record()",
            name));
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman("99", "Старый С.", "7"));
        Function::ver();
        QVERIFY(openProgramDb());

        Choices update;
        update.updateExisting = true;
        const ServicemenCheck roster = checkServicemen(ROSTER, match(ROSTER, Kind::Servicemen), update);
        const OrdersCheck orders = checkOrders(ORDERS, match(ORDERS, Kind::Orders), roster);
        Written w;
        QVERIFY2(write(&roster, &orders, "roster.xlsx", &w), qPrintable(w.error));
        QCOMPARE(w.added, 4);
        QCOMPARE(w.updated, 1);
        QCOMPARE(w.orders, 4);
        QVERIFY(QFileInfo::exists(w.backup));
        QCOMPARE(rows("SELECT LN, VZ, Zvan_nom, vzs, blag, gr FROM Combat WHERE LN IN ('7', '100', '102') ORDER BY LN"),
                 (QList<QStringList>{{"100", "Капитан", "9", "1", "0", "0"},
                                     {"102", "Генералиссимус", "21", "0", "0", "0"},
                                     {"7", "Майор", "8", "", "", "1"}}));
        // The added men came with their counts: the recount changed only
        // the man already there.
        QCOMPARE(rows("SELECT DISTINCT LN FROM counts.updated"), (QList<QStringList>{{"7"}}));
        QCOMPARE(rows("SELECT action, count(*) FROM history WHERE action <> 'reference_changed' GROUP BY action "
                      "ORDER BY action"),
                 (QList<QStringList>{{"import", "1"}, {"order_added", "4"}, {"serviceman_added", "5"},
                                     {"serviceman_changed", "3"}}));
        // The added rows' entries, one statement's at once, each as one
        // row's alone is written.
        QCOMPARE(rows("SELECT action, entries FROM counts.statements WHERE action LIKE '%_added' ORDER BY id"),
                 (QList<QStringList>{{"serviceman_added", "1"}, {"serviceman_added", "4"}, {"order_added", "4"}}));
        QCOMPARE(rows("SELECT action, LN, FIO, what, prikaznom, field, old_value, new_value, who FROM history "
                      "WHERE action LIKE '%_added' ORDER BY id"),
                 (QList<QStringList>{{"serviceman_added", "7", "Старый С.", "", "", "", "", "", "clerk"},
                                     {"serviceman_added", "100", "Иванов Иван Иванович", "", "", "", "", "", "clerk"},
                                     {"serviceman_added", "101", "Петров Пётр", "", "", "", "", "", "clerk"},
                                     {"serviceman_added", "102", "Сидоров", "", "", "", "", "", "clerk"},
                                     {"serviceman_added", "103", "Козлов", "", "", "", "", "", "clerk"},
                                     {"order_added", "100", "Иванов Иван Иванович", "vzs", "1", "", "", "", "clerk"},
                                     {"order_added", "100", "Иванов Иван Иванович", "vzs", "2", "", "", "", "clerk"},
                                     {"order_added", "101", "Петров Пётр", "blag", "3", "", "", "", "clerk"},
                                     {"order_added", "7", "Старый", "gr", "8", "", "", "", "clerk"}}));
        useTestConnection(QString());
    }

    // A .csv read, shown and written through the window: the line of what
    // will happen, the register refilled, the backup named, the report.
    void importsThroughTheWindow()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        dir.writeFile("roster.csv", "ФИО;Личный номер;Дата рождения\r\nИванов И. И.;1;01.02.1990\r\nПетров;;1991\r\n");
        ImportWindow w;
        QSignalSpy imported(&w, &ImportWindow::imported);
        QVERIFY(w.load(Kind::Servicemen, dir.filePath("roster.csv")));
        QCOMPARE(child<QLabel>(&w, "summaryLine")->text(), QString("Будет добавлено: 1, обновлено: 0, пропущено: 1"));
        QCOMPARE(value("SELECT count(*) FROM Combat"), QString("0"));
        QVERIFY(w.startImport());
        QCOMPARE(imported.count(), 1);
        QCOMPARE(rows("SELECT FIO, LN, Data_comb FROM Combat"),
                 (QList<QStringList>{{"Иванов И. И.", "1", birth(1990, 2, 1)}}));
        QVERIFY(child<QLabel>(&w, "statusLine")->text().contains("Резервная копия перед импортом: «"));
        QString error;
        QVERIFY(w.saveReport(dir.filePath("report.csv"), &error));
        QString report;
        QVERIFY(dir.readText("report.csv", &report));
        QVERIFY2(report.contains("\"Военнослужащие\";\"3\";\"\";\"нет личного номера; дата рождения «1991» не распознана\""),
                 qPrintable(report));

        // The same file with updates chosen: the one written is as stored.
        child<QComboBox>(&w, "existingChoice")->setCurrentIndex(1);
        QCOMPARE(child<QLabel>(&w, "summaryLine")->text(),
                 QString("Будет добавлено: 0, обновлено: 0, пропущено: 1, без изменений: 1"));
    }

    // Every row of a long sheet is in the preview with its reason, and the
    // choice narrows it to the rows with remarks; of a header row thousands
    // of columns wide the preview shows a bounded part, and says so.
    void previewShowsEveryRow()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QByteArray csv = "ФИО;Личный номер;Дата рождения";
        for (int c = 0; c < 16000; ++c)
            csv += ";Прочее " + QByteArray::number(c);
        for (int line = 2; line <= 300; ++line)
            csv += "\nБоец;" + QByteArray::number(line) + (line % 5 == 0 ? ";31.02.1990" : ";01.02.1990");
        dir.writeFile("long.csv", csv + "\n");
        ImportWindow w;
        QVERIFY(w.load(Kind::Servicemen, dir.filePath("long.csv")));
        const QTableView *table = child<QTableView>(&w, "previewServicemen");
        const QAbstractItemModel *preview = table->model();
        QCOMPARE(preview->rowCount(), 1 + 299);
        QCOMPARE(preview->headerData(249, Qt::Vertical).toInt(), 250);
        QCOMPARE(preview->index(249, 0).data().toString(),
                 QString("пропустить: дата рождения «31.02.1990» не существует"));
        QCOMPARE(preview->columnCount(), 1 + 100);
        QCOMPARE(table->findChildren<QComboBox *>().size(), 100);

        child<QCheckBox>(&w, "remarksServicemen")->setChecked(true);
        QCOMPARE(preview->rowCount(), 1 + 60);
        for (int r = 1; r < preview->rowCount(); ++r)
            QCOMPARE(preview->headerData(r, Qt::Vertical).toInt() % 5, 0);
        QCOMPARE(child<QLabel>(&w, "noteServicemen")->text(),
                 QString("Показаны строки с замечаниями: 60 из 299. Показаны первые 100 столбцов из 16003; "
                         "столбцы за ними узнаются только по заголовкам."));
    }
};

QTEST_MAIN(TestImport)
#include "tst_import.moc"
