// The window "История изменений": newest first, the filters and the search,
// the pages, one serviceman's history and the export of what the filters leave.
#include "programdb.h"
#include "testsupport.h"
#include "widgets.h"
#include "zipcontent.h"
#include "storage/history/historytable.h"
#include "storage/db/sql.h"
#include "windows/history.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSqlError>
#include <QtTest>

using namespace TestSupport;

namespace {

// One entry: when, who, what was done, whose, the category.
bool add(const QString &at, const QString &who, const char *action, const QString &ln, const QString &fio,
         const QString &what = QString(), const QString &oldValue = QString())
{
    return exec(QString::fromLatin1(Sql::INSERT_HISTORY),
                {at, who, "ПК-1", QString::fromLatin1(action), ln, fio, what, "12", "nameZO", oldValue, "новое"});
}

bool openWithHistory()
{
    QSqlError error;
    return openProgramDb() && History::ensureTable(testDb(), &error);
}

QTableWidget *table(HistoryWindow &w)
{
    return child<QTableWidget>(&w, "tableWidget");
}

QString status(HistoryWindow &w)
{
    return child<QLabel>(&w, "statusLine")->text();
}

void choose(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    combo->setCurrentIndex(index);
}

QByteArray content(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    void newestFirstAndFilters()
    {
        WorkDir dir;
        QVERIFY(openWithHistory());
        QVERIFY(add("2025-03-09 23:59:59", "petrov", History::Action::SERVICEMAN_ADDED, "А-1", "Иванов"));
        QVERIFY(add("2025-03-10 00:00:00", "sidorov", History::Action::ORDER_ADDED, "А-1", "Иванов", Code::VZS));
        QVERIFY(add("2025-03-12 23:59:59", "petrov", History::Action::ORDER_LIFTED, "Б-2", "Щукин", Code::VZS));
        QVERIFY(add("2025-03-13 00:00:00", "petrov", History::Action::ORDER_ADDED, "Б-2", "Щукин", Code::BLAG));
        HistoryWindow w;
        QTableWidget *t = table(w);
        QCOMPARE(column(t, 0), (QStringList{"13.03.2025 00:00:00", "12.03.2025 23:59:59", "10.03.2025 00:00:00",
                                            "09.03.2025 23:59:59"}));
        QCOMPARE(t->item(1, 3)->text(), QString("Снято взыскание"));
        QCOMPARE(t->item(1, 6)->text(), QString("Взыскания"));
        QCOMPARE(t->item(1, 8)->text(), QString("Наименование"));
        QCOMPARE(status(w), QString("Показано 4 записи"));

        // The period takes both its days whole.
        child<QDateEdit>(&w, "dateFrom")->setDate(QDate(2025, 3, 10));
        child<QDateEdit>(&w, "dateTo")->setDate(QDate(2025, 3, 12));
        child<QCheckBox>(&w, "allDates")->setChecked(false);
        QCOMPARE(column(t, 0), (QStringList{"12.03.2025 23:59:59", "10.03.2025 00:00:00"}));
        choose(child<QComboBox>(&w, "comboWho"), "petrov");
        QCOMPARE(column(t, 4), QStringList{"Б-2"});
        child<QCheckBox>(&w, "allDates")->setChecked(true);
        QCOMPARE(column(t, 4), (QStringList{"Б-2", "Б-2", "А-1"}));
        choose(child<QComboBox>(&w, "comboAction"), "Добавлен приказ");
        QCOMPARE(column(t, 6), QStringList{"Благодарности"});
        choose(child<QComboBox>(&w, "comboWho"), "Все пользователи");
        choose(child<QComboBox>(&w, "comboWhat"), "Взыскания");
        QCOMPARE(column(t, 0), QStringList{"10.03.2025 00:00:00"});
        choose(child<QComboBox>(&w, "comboAction"), "Удалён приказ");
        QCOMPARE(t->rowCount(), 0);
        QCOMPARE(status(w), QString("Записей нет"));
    }

    // Stored codes in the words the clerk knows: a penalty's state, the rank
    // and the position their numbers stand for in the lists, dates as dates.
    void valuesAsTheClerkKnowsThem()
    {
        WorkDir dir;
        QVERIFY(openWithHistory());
        const auto change = [](const char *field, const QString &was, const QString &now) {
            return exec(QString::fromLatin1(Sql::INSERT_HISTORY),
                        {"2025-01-01 10:00:00", "u", "ПК-1", "serviceman_changed", "7", "Петров", QString(),
                         QString(), field, was, now});
        };
        QVERIFY(change("actived_prikaz", "1", "0"));
        QVERIFY(change("Zvan_nom", "20", "19"));
        QVERIFY(change("Dolz_nom", "13", "99"));
        QVERIFY(change("Data_comb", "01.01.2000 0:00", "2001-02-03"));
        HistoryWindow w;
        QTableWidget *t = table(w);
        QCOMPARE(column(t, 8), (QStringList{"Дата рождения", "Должность по списку", "Звание по списку",
                                            "Действие взыскания"}));
        QCOMPARE(column(t, 9), (QStringList{"01.01.2000", "Стрелок", "Рядовой", "в силе"}));
        QCOMPARE(column(t, 10), (QStringList{"03.02.2001", "99", "Ефрейтор", "снято"}));
    }

    // The search ignores case in Cyrillic names and values; one serviceman's
    // window shows his entries only.
    void searchAndOneServiceman()
    {
        WorkDir dir;
        QVERIFY(openWithHistory());
        QVERIFY(add("2025-01-01 10:00:00", "u", History::Action::SERVICEMAN_CHANGED, "А-1", "ИВАНОВ Пётр"));
        QVERIFY(add("2025-01-02 10:00:00", "u", History::Action::SERVICEMAN_CHANGED, "Б-2", "Щукин", {}, "Ёлкин"));
        QVERIFY(add("2025-01-03 10:00:00", "u", History::Action::SERVICEMAN_CHANGED, "В-3", "Сидоров"));
        HistoryWindow all;
        auto *search = child<QLineEdit>(&all, "search");
        search->setText("иванов пётр");
        QTRY_COMPARE(column(table(all), 4), QStringList{"А-1"});
        search->setText("ёлк");
        QTRY_COMPARE(column(table(all), 4), QStringList{"Б-2"});

        HistoryWindow one("В-3", "Сидоров");
        QCOMPARE(one.windowTitle(), QString("История изменений — Сидоров (В-3)"));
        QCOMPARE(column(table(one), 5), QStringList{"Сидоров"});
    }

    // Pages of 500 by "Ещё" and by scrolling to the end; the export writes
    // every entry the filters leave, not only the pages shown.
    void pagesAndExport()
    {
        WorkDir dir;
        QVERIFY(openWithHistory());
        QVERIFY(testDb().transaction());
        for (int i = 0; i < 1200; ++i)
            QVERIFY(add(QString("2025-02-01 10:%1:%2").arg(i / 60, 2, 10, QChar('0')).arg(i % 60, 2, 10, QChar('0')),
                        "u", History::Action::ORDER_ADDED, QString("Н-%1").arg(i), QString("Номер %1").arg(i)));
        QVERIFY(testDb().commit());
        HistoryWindow w;
        QTableWidget *t = table(w);
        QCOMPARE(t->rowCount(), 500);
        QCOMPARE(t->item(0, 4)->text(), QString("Н-1199"));
        child<QPushButton>(&w, "buttonMore")->click();
        QCOMPARE(t->rowCount(), 1000);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        t->scrollToBottom();
        QCOMPARE(t->rowCount(), 1200);
        QCOMPARE(t->item(1199, 4)->text(), QString("Н-0"));
        QVERIFY(!child<QPushButton>(&w, "buttonMore")->isEnabled());
        QCOMPARE(status(w), QString("Показано 1200 записей"));

        child<QLineEdit>(&w, "search")->setText("номер 1");
        QTRY_COMPARE(t->rowCount(), 311);
        QString error;
        for (const char *name : {"h.xlsx", "h.ods", "h.pdf"})
            QVERIFY2(w.exportTo(dir.filePath(name), &error), qPrintable(error));
        // "Номер 1", "Номер 10" … "Номер 1199": 1 + 10 + 100 + 200.
        const QString strings = QString::fromUtf8(zipContent(content(dir.filePath("h.xlsx"))).value("xl/sharedStrings.xml"));
        QCOMPARE(strings.count("<t>Номер 1"), 311);
        QVERIFY(strings.contains("<t>Добавлен приказ</t>"));
        const QString ods = QString::fromUtf8(zipContent(content(dir.filePath("h.ods"))).value("content.xml"));
        QCOMPARE(ods.count(">Номер 1"), 311);
        QVERIFY(content(dir.filePath("h.pdf")).startsWith("%PDF"));
        const QString text = pdfText(dir.filePath("h.pdf"));
        if (!text.isNull())
            QVERIFY(text.contains("Номер 1199") && text.contains("Номер 1000") && !text.contains("Номер 999"));
        // Each file says at its top which filters made it.
        const QString chosen = "Отбор — период: все даты; пользователь: все; изменения: все; категория: все; "
                               "поиск: «номер 1»";
        QVERIFY(strings.contains(chosen));
        QVERIFY(ods.contains(chosen));
        if (!text.isNull())
            QVERIFY(text.simplified().contains(chosen));
    }

    // A register of an earlier version has no history: the window says so.
    void withoutTable()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        HistoryWindow w;
        QCOMPARE(table(w)->rowCount(), 0);
        QCOMPARE(status(w), QString("В этой базе данных истории изменений нет"));
    }
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
