// The commander's report: its figures against a register with known answers,
// on a file and on a server, its export, and the window "Отчёты" with its
// list, charts and pages.
#include "function.h"
#include "orderwindow.h"
#include "pgserver.h"
#include "programdb.h"
#include "testsupport.h"
#include "toplevels.h"
#include "widgets.h"
#include "zipcontent.h"
#include "export/reportexport.h"
#include "storage/db/connection.h"
#include "storage/reports/report.h"
#include "windows/addfile.h"
#include "windows/reports.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QtTest>

using namespace TestSupport;

namespace {

const Reports::Period QUARTER{QDate(2026, 1, 1), QDate(2026, 3, 31)};

bool order(const QString &ln, const char *what, const QString &date, const QString &lifted = QString(),
           const char *flag = "1")
{
    static int number = 0;
    Order o;
    o.LN = ln;
    o.what = QString::fromLatin1(what);
    o.Date_time = date;
    o.prikaznom = QString::number(++number);
    o.actived_prikaz = QString::fromLatin1(flag);
    o.Data_snytie = lifted;
    return addOrder(o);
}

// Units "2" (two men), "10" and none; the quarter's answers are in check().
void fillRegister()
{
    QVERIFY(addServiceman("2", "Алексеев А.А.", "1"));
    QVERIFY(addServiceman("10", "Борисов Б.Б.", "2"));
    QVERIFY(addServiceman("", "Васильев В.В.", "3"));
    QVERIFY(addServiceman("2", "Григорьев Г.Г.", "4"));
    // Imposed on the first day, before the period, lifted after it, lifted
    // on the last day, an impossible date; thanks on the last day and the
    // day after.
    QVERIFY(order("1", "vzs", "01.01.2026"));
    QVERIFY(order("1", "vzs", "15.12.2025"));
    QVERIFY(order("1", "vzs", "10.02.2026", "20.04.2026", "0"));
    QVERIFY(order("1", "vzs", "31.03.2026", "31.03.2026", "0"));
    QVERIFY(order("1", "vzs", "31.02.2026"));
    QVERIFY(order("1", "blag", "31.03.2026"));
    QVERIFY(order("1", "blag", "01.04.2026"));
    // Imposed before the period and lifted in it; one of each incentive; a
    // lifting without a date.
    QVERIFY(order("2", "vzs", "10.10.2025", "05.02.2026", "0"));
    QVERIFY(order("2", "gr", "15.01.2026"));
    QVERIFY(order("2", "ZOMO", "16.01.2026"));
    QVERIFY(order("2", "gosnag", "17.02.2026"));
    QVERIFY(order("2", "posh", "18.03.2026"));
    QVERIFY(order("2", "vzs", "01.03.2026", "", "0"));
    // Without a unit; a date written the other way round.
    QVERIFY(order("3", "vzs", "20.03.2026"));
    QVERIFY(order("3", "blag", "2026-03-01"));
    // A serviceman no longer in the register.
    QVERIFY(order("99", "vzs", "01.02.2026"));
}

QString figures(const Reports::UnitFigures &u)
{
    return QStringLiteral("%1: %2 | %3 %4 %5 | %6 %7 %8 %9 %10")
        .arg(u.unit)
        .arg(u.servicemen)
        .arg(u.penaltiesImposed)
        .arg(u.penaltiesLifted)
        .arg(u.penaltiesInForce)
        .arg(u.thanks)
        .arg(u.certificates)
        .arg(u.badges)
        .arg(u.stateAwards)
        .arg(u.veterans);
}

void check()
{
    Reports::Report r = Reports::build(QUARTER);
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    QStringList units;
    for (const Reports::UnitFigures &u : r.units)
        units << figures(u);
    QCOMPARE(units, QStringList({": 1 | 1 0 1 | 0 0 0 0 0", "2: 2 | 3 1 3 | 1 0 0 0 0",
                                 "10: 1 | 1 1 0 | 0 1 1 1 1"}));
    QCOMPARE(figures(r.total), QString(": 4 | 5 2 4 | 1 1 1 1 1"));
    QCOMPARE(r.undated, 3);
    QCOMPARE(r.top.size(), 2);
    QCOMPARE(r.top.at(0).fio + r.top.at(0).unit + QString::number(r.top.at(0).penaltiesInForce),
             QString("Алексеев А.А.23"));
    QCOMPARE(r.top.at(1).ln, QString("3"));
    QStringList months;
    for (const Reports::MonthFigures &m : r.months)
        months << QStringLiteral("%1 %2 %3 %4")
                      .arg(m.month.toString("MM.yyyy"))
                      .arg(m.penaltiesImposed)
                      .arg(m.penaltiesLifted)
                      .arg(m.incentives);
    QCOMPARE(months, QStringList({"01.2026 1 0 2", "02.2026 1 1 1", "03.2026 3 1 2"}));

    // One unit; the list of the most penalised cut to one.
    r = Reports::build(QUARTER, "2", 1);
    QCOMPARE(r.units.size(), 1);
    QCOMPARE(figures(r.total), QString(": 2 | 3 1 3 | 1 0 0 0 0"));
    QCOMPARE(r.undated, 1);
    QCOMPARE(r.top.size(), 1);
    QCOMPARE(r.months.at(0).incentives, 0);
    QCOMPARE(Reports::units(), QStringList({"", "2", "10"}));
}

// The window on the first quarter of 2026, all units.
void showQuarter(ReportsWindow &w)
{
    child<QComboBox>(&w, "comboKind")->setCurrentIndex(1);
    child<QComboBox>(&w, "comboPart")->setCurrentIndex(0);
    child<QSpinBox>(&w, "spinYear")->setValue(2026);
    child<QPushButton>(&w, "buttonShow")->click();
}

QStringList row(const QTableWidget *t, int r)
{
    QStringList out;
    for (int c = 0; c < t->columnCount(); ++c)
        out << (t->item(r, c) ? t->item(r, c)->text() : QString());
    return out;
}

} // namespace

class TestReports : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    void countsFiguresOnFile()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        fillRegister();
        check();
    }

    // The file's day function: the rules of a date, on each new handle of
    // the program's connection.
    void readsDaysOnEveryOpening()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        const QList<QPair<QVariant, QVariant>> days{
            {"29.02.2024", 20240229}, {"29.02.2000", 20000229}, {"31.12.9999", 99991231}, {"30.04.2026", 20260430},
            {"29.02.2100", {}}, {"29.02.2025", {}}, {"31.04.2026", {}}, {"00.01.2026", {}}, {"01.13.2026", {}},
            {"01.01.0000", {}}, {"1.01.2026", {}}, {"01.01.2026 ", {}}, {"01/01/2026", {}}, {"2026-03-01", {}},
            {"", {}}, {QVariant(QMetaType(QMetaType::QString)), {}}};
        const auto read = [&] {
            for (const auto &[text, day] : days) {
                QSqlQuery q;
                QVERIFY2(q.prepare("SELECT report_day(?)"), qPrintable(q.lastError().text()));
                q.addBindValue(text);
                QVERIFY(q.exec() && q.next());
                QCOMPARE(q.value(0).isNull() ? QVariant() : QVariant(q.value(0).toInt()), day);
            }
        };
        read();
        QString why;
        QVERIFY(Connection::openAgain(QDir::current().absoluteFilePath("data/BaseDate.db"), &why));
        read();
        QSqlDatabase::database().close();
        QVERIFY(Connection::reopen(&why));
        read();
    }

    void countsFiguresOnServer()
    {
        PgServer pg;
        if (!pg.running())
            QSKIP(qPrintable(pg.missing()));
        WorkDir dir(WorkDir::WithoutDatabase);
        useNewServerDatabase(pg, "reports-test");
        QVERIFY(openProgramDb());
        fillRegister();
        check();
        {
            // The window over the server's connection.
            ReportsWindow w;
            showQuarter(w);
            const QTableWidget *summary = child<QTableWidget>(&w, "tableSummary");
            QCOMPARE(row(summary, summary->rowCount() - 1),
                     (QStringList{"Итого", "4", "5", "2", "4", "1", "1", "1", "1", "1"}));
        }
        useTestConnection(QString());
        QSqlDatabase::removeDatabase("reports-test");
    }

    // A sheet per tab under the title; figures as numbers.
    void exportsReport()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        fillRegister();
        const Reports::Report r = Reports::build(QUARTER);
        QString error;
        QVERIFY2(ReportExport::write(r, "r.xlsx", &error), qPrintable(error));
        QVERIFY2(ReportExport::write(r, "r.ods", &error), qPrintable(error));
        QMap<QString, QByteArray> zip = zipContent(fileContent("r.xlsx"));
        const QString book = QString::fromUtf8(zip.value("xl/workbook.xml"));
        QCOMPARE(book.count("<sheet "), 3);
        const QString strings = QString::fromUtf8(zip.value("xl/sharedStrings.xml"));
        for (const char *text : {"Воинская дисциплина и поощрения за I квартал 2026 г.", "Все подразделения",
                                 "Приказов без даты: 3 (не учтены)", "без подразделения", "март 2026"})
            QVERIFY2(strings.contains(QString::fromUtf8(text)), text);
        // Row 4 is the header, the total (5 imposed) stands in row 8.
        QVERIFY(QString::fromUtf8(zip.value("xl/worksheets/sheet1.xml")).contains("<c r=\"C8\"><v>5</v></c>"));
        zip = zipContent(fileContent("r.ods"));
        const QString xml = QString::fromUtf8(zip.value("content.xml"));
        QCOMPARE(xml.count("<table:table "), 3);
        QVERIFY(xml.contains("office:value-type=\"float\" office:value=\"5\""));
        QVERIFY(xml.contains("<text:p>Алексеев А.А.</text:p>"));
    }

    // Every serviceman with a penalty in force goes on paper and into the
    // file, as many as the window lists. Unit names too long to stand under
    // their bars whole are numbered there and named under the chart.
    void listsEveryoneWithPenalties()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(testDb().transaction());
        for (int i = 1; i <= 90; ++i) {
            const QString ln = QString("Л-%1").arg(i, 2, 10, QChar('0'));
            QVERIFY(addServiceman(QString("мотострелковая рота %1").arg(i % 15 + 1),
                                  QString("Боец %1").arg(i, 2, 10, QChar('0')), ln));
            QVERIFY(order(ln, "vzs", "01.02.2026"));
        }
        QVERIFY(testDb().commit());
        ReportsWindow w;
        showQuarter(w);
        QCOMPARE(child<QTableWidget>(&w, "tableTop")->rowCount(), 90);
        QChart *units = child<QWidget>(&w, "chartUnits")->findChild<QChartView *>()->chart();
        QCOMPARE(qobject_cast<QBarCategoryAxis *>(units->axes(Qt::Horizontal).value(0))->categories().last(),
                 QString("15"));
        const QString key = child<QWidget>(&w, "chartUnits")->findChild<QLabel *>()->text();
        QVERIFY2(key.contains("1 — мотострелковая рота 1;") && key.contains("— мотострелковая рота 15;"),
                 qPrintable(key));
        QString error;
        QVERIFY2(ReportExport::write(Reports::build(QUARTER), "r.xlsx", &error), qPrintable(error));
        const QString strings = QString::fromUtf8(zipContent(fileContent("r.xlsx")).value("xl/sharedStrings.xml"));
        QCOMPARE(strings.count("<t>Боец "), 90);
        QVERIFY2(w.savePdf(dir.filePath("r.pdf"), &error), qPrintable(error));
        const QString text = pdfText(dir.filePath("r.pdf"));
        if (text.isNull())
            QSKIP("pdftotext is not installed");
        QCOMPARE(text.count("Боец "), 90);
    }

    void windowShowsReport()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        fillRegister();
        ReportsWindow w;
        showQuarter(w);
        QCOMPARE(w.period().from, QUARTER.from);
        QCOMPARE(w.period().to, QUARTER.to);
        QVERIFY(child<QLabel>(&w, "labelTitle")->text().contains("за I квартал 2026 г., все подразделения"));

        const QTableWidget *summary = child<QTableWidget>(&w, "tableSummary");
        QCOMPARE(column(summary, 0), (QStringList{"без подразделения", "2", "10", "Итого"}));
        QCOMPARE(row(summary, 3), (QStringList{"Итого", "4", "5", "2", "4", "1", "1", "1", "1", "1"}));
        QCOMPARE(child<QLabel>(&w, "labelUndated")->text(), QString("Приказов без даты: 3 (не учтены)"));
        QCOMPARE(row(child<QTableWidget>(&w, "tableTop"), 0),
                 (QStringList{"1", "Алексеев А.А.", "1", "2", "Рядовой", "3"}));
        QCOMPARE(column(child<QTableWidget>(&w, "tableMonths"), 0),
                 (QStringList{"январь 2026", "февраль 2026", "март 2026"}));

        // Four bars per unit, three lines by month.
        QChart *units = child<QWidget>(&w, "chartUnits")->findChild<QChartView *>()->chart();
        QCOMPARE(units->series().size(), 1);
        QCOMPARE(qobject_cast<QBarSeries *>(units->series().at(0))->barSets().size(), 4);
        auto *axis = qobject_cast<QBarCategoryAxis *>(units->axes(Qt::Horizontal).value(0));
        QVERIFY(axis);
        QCOMPARE(axis->categories(), (QStringList{"без<br>№ ВП", "2", "10"}));
        QCOMPARE(child<QWidget>(&w, "chartMonths")->findChild<QChartView *>()->chart()->series().size(), 3);
        // The servicemen without a unit are in the report, not a choice of their own.
        QCOMPARE(child<QComboBox>(&w, "comboUnit")->count(), 3);
    }

    void listOpensPenalties()
    {
        WorkDir dir;
        TopLevelGuard<addfile> guard;
        QVERIFY(openProgramDb());
        fillRegister();
        ReportsWindow w;
        w.show();
        showQuarter(w);
        QTableWidget *top = child<QTableWidget>(&w, "tableTop");
        child<QTabWidget>(&w, "tabs")->setCurrentWidget(top->parentWidget());
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(top->rowCount(), 2);
        doubleClickCell(top, 0, 1);
        QCOMPARE(topLevels<addfile>().size(), 1);
        QVERIFY(topLevels<addfile>().at(0)->windowTitle().contains("Алексеев А.А."));
        top->setCurrentCell(1, 1);
        QTest::keyClick(top, Qt::Key_Return);
        QCOMPARE(topLevels<addfile>().size(), 2);
    }

    void printsReportToPdf()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        fillRegister();
        ReportsWindow w;
        showQuarter(w);
        QString error;
        QVERIFY2(w.savePdf(dir.filePath("отчёт.pdf"), &error), qPrintable(error));
        const QString text = pdfText(dir.filePath("отчёт.pdf")).simplified();
        if (text.isNull())
            QSKIP("pdftotext is not installed");
        for (const char *line : {"Воинская дисциплина и поощрения", "за I квартал 2026 г., все подразделения",
                                 "Приказов без даты: 3 (не учтены)", "стр. 1 из"})
            QVERIFY2(text.contains(QString::fromUtf8(line)), line);
        // The charts are painted text: a title of their own, a month on the
        // axis beside the one in the table.
        QVERIFY(text.contains("По подразделениям"));
        QVERIFY(text.count("март 2026") >= 2);
    }
};

QTEST_MAIN(TestReports)
#include "tst_reports.moc"
