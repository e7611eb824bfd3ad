// The serviceman form: its layout, adding and changing a serviceman against a
// real database, the questions answered both ways, refused saves, the carrying
// over of a changed personal number and the Return key.
#include "windows/addcombat.h"
#include "programdb.h"
#include "testsupport.h"
#include "widgets.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QtTest>

#include <memory>

using namespace TestSupport;

namespace {

std::unique_ptr<addCombat> addForm()
{
    return std::make_unique<addCombat>(QString(), QString(), QString(), QString(), QString(), false,
                                       QString(), nullptr);
}

std::unique_ptr<addCombat> changeForm(const Serviceman &s)
{
    return std::make_unique<addCombat>(s.VP, s.Dol, s.VZ, s.FIO, s.Data_comb, true, s.LN, nullptr);
}

QStringList items(QComboBox *combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

void select(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    QVERIFY2(index >= 0, qPrintable(text));
    combo->setCurrentIndex(index);
}

// Clicks "Записать" and answers the save question (and what follows).
void save(addCombat &form, ModalAnswerer &answerer)
{
    child<QPushButton>(&form, "pushButton_2")->click();
    QVERIFY(answerer.done());
}

QStringList combatRow(const QString &ln)
{
    const QList<QStringList> r =
        rows("SELECT VP, Dol, VZ, FIO, Data_comb, LN, Dolz_nom, Zvan_nom FROM Combat "
             "WHERE LN = ?",
             {ln});
    return r.size() == 1 ? r.first() : QStringList{QString("%1 rows").arg(r.size())};
}

Order order(const QString &ln, const QString &what, const QString &number)
{
    Order o;
    o.LN = ln;
    o.what = what;
    o.Date_time = "01.02.2020";
    o.prikaznom = number;
    o.nameZO = "Выговор";
    return o;
}

Serviceman stored()
{
    Serviceman s;
    s.VP = "5";
    s.Dol = "Стрелок";
    s.VZ = "Рядовой";
    s.FIO = "Петров Пётр Петрович";
    s.Data_comb = "05.03.1990 7:05";
    s.LN = "Ж-100";
    s.Dolz_nom = "13";
    s.Zvan_nom = "20";
    return s;
}

} // namespace

class TestServicemanForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    void layoutAndAddMode()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        auto form = addForm();
        QCOMPARE(form->objectName(), QString("addCombat"));
        QCOMPARE(form->windowTitle(), QString("Добавление военослужащих"));
        QCOMPARE(form->minimumSize(), QSize(400, 300));
        QCOMPARE(form->maximumSize(), QSize(400, 300));
        QCOMPARE(form->font().family(), QString("Times New Roman"));
        QCOMPARE(form->font().pointSize(), 11);
        QVERIFY(!form->windowIcon().isNull());

        const QList<std::pair<const char *, QString>> labels{
            {"label_3", "№ВП"}, {"label_5", "Должность"},     {"label", "Воинское звание"},
            {"label_4", "ФИО"}, {"label_6", "Дата рождения"}, {"label_2", "Личный номер"}};
        for (const auto &[name, text] : labels) {
            QLabel *label = child<QLabel>(form.get(), name);
            QCOMPARE(label->text(), text);
            QCOMPARE(label->maximumWidth(), 85);
            QCOMPARE(label->minimumWidth(), QByteArray(name) == "label_6" ? 0 : 85);
        }
        QCOMPARE(child<QLineEdit>(form.get(), "lineEdit_VP")->minimumWidth(), 250);
        QVERIFY(child<QComboBox>(form.get(), "cb_dol")->autoFillBackground());
        QVERIFY(!child<QComboBox>(form.get(), "cb_dol")->isEditable());
        QVERIFY(!child<QComboBox>(form.get(), "cb_zv")->isEditable());
        auto *write = child<QPushButton>(form.get(), "pushButton_2");
        auto *leave = child<QPushButton>(form.get(), "pushButton");
        QCOMPARE(write->text(), QString("Записать"));
        QCOMPARE(leave->text(), QString("Выйти"));
        QVERIFY(write->autoDefault());
        QVERIFY(!write->isDefault());
        QVERIFY(!leave->autoDefault());
        QVERIFY(!write->icon().isNull());
        QVERIFY(!leave->icon().isNull());

        const QMetaObject *mo = form->metaObject();
        QStringList methods;
        for (int i = mo->methodOffset(); i < mo->methodCount(); ++i)
            methods << QString::fromLatin1(mo->method(i).methodSignature());
        QCOMPARE(methods,
                 (QStringList{"sig_close()", "on_pushButton_2_clicked()", "on_pushButton_clicked()"}));

        // Add mode: empty inputs, both lists filled in weight order but
        // without a current item, the date at its initial value shown in the
        // Russian short form.
        QCOMPARE(child<QLineEdit>(form.get(), "lineEdit_VP")->text(), QString());
        QCOMPARE(child<QLineEdit>(form.get(), "lineEdit_FIO")->text(), QString());
        QCOMPARE(child<QLineEdit>(form.get(), "lineEdit_LN")->text(), QString());
        auto *dol = child<QComboBox>(form.get(), "cb_dol");
        auto *zv = child<QComboBox>(form.get(), "cb_zv");
        QCOMPARE(dol->count(), 13);
        QCOMPARE(zv->count(), 20);
        QCOMPARE(dol->currentIndex(), -1);
        QCOMPARE(zv->currentIndex(), -1);
        QCOMPARE(zv->itemText(0), QString("Маршал Российской Федерации"));
        auto *date = child<QDateTimeEdit>(form.get(), "dateTimeEdit");
        QCOMPARE(date->dateTime(), QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
        // The Russian short form of this Qt: "dd.MM.yyyy HH:mm".
        QCOMPARE(date->displayFormat(), QLocale().dateTimeFormat(QLocale::ShortFormat));
        QCOMPARE(date->text(), QLocale().toString(date->dateTime(), QLocale::ShortFormat));
        QVERIFY2(date->text().startsWith("01.01.2000 "), qPrintable(date->text()));
    }

    // Every character reaches the database as typed; the position and rank
    // numbers are their places in the lists ordered by weight.
    void addStoresWhatWasTyped()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(exec("UPDATE Emploeses SET Massa_dolzn = 1 WHERE Dolzn = 'Стрелок'"));
        QVERIFY(exec("UPDATE Emploeses SET Massa_dolzn = 2 WHERE Dolzn = 'Водитель'"));
        QVERIFY(exec("UPDATE Emploeses SET Massa_dolzn = 3 WHERE Dolzn = 'Наводчик'"));
        QVERIFY(exec("UPDATE Ranks SET Rank_massa = 1 WHERE Rank = 'Ефрейтор'"));
        QVERIFY(exec("UPDATE Ranks SET Rank_massa = 2 WHERE Rank = 'Рядовой'"));
        auto form = addForm();
        auto *dol = child<QComboBox>(form.get(), "cb_dol");
        QCOMPARE(items(dol).mid(0, 4), (QStringList{"Стрелок", "Водитель", "Наводчик", "Командир части"}));
        select(dol, "Наводчик");
        select(child<QComboBox>(form.get(), "cb_zv"), "Рядовой");
        child<QLineEdit>(form.get(), "lineEdit_VP")->setText("в/ч '3' %1");
        child<QLineEdit>(form.get(), "lineEdit_FIO")->setText("Д'Артаньян %1 %10 %2");
        child<QLineEdit>(form.get(), "lineEdit_LN")->setText("АБ-123'45");
        child<QDateTimeEdit>(form.get(), "dateTimeEdit")
            ->setDateTime(QDateTime(QDate(1985, 12, 31), QTime(9, 5)));
        form->show();
        QSignalSpy closed(form.get(), &addCombat::sig_close);
        ModalAnswerer answerer;
        answerer.button("Так точно");
        save(*form, answerer);
        QCOMPARE(answerer.seen().first().informativeText, QString("Вы точно уверены что надо сохранить?"));
        QCOMPARE(combatRow("АБ-123'45"),
                 (QStringList{"в/ч '3' %1", "Наводчик", "Рядовой", "Д'Артаньян %1 %10 %2", "31.12.1985 09:05",
                              "АБ-123'45", "3", "2"}));
        QCOMPARE(closed.count(), 1);
        QVERIFY(!form->isVisible());
        QVERIFY(answerer.unexpected().isEmpty());
    }

    void addWithNothingEntered()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        auto form = addForm();
        ModalAnswerer answerer;
        answerer.button("Так точно");
        save(*form, answerer);
        QCOMPARE(rows("SELECT VP, Dol, VZ, FIO, Data_comb, LN, Dolz_nom, Zvan_nom, vzs FROM Combat"),
                 (QList<QStringList>{
                     {"", "", "", "",
                      QLocale().toString(QDateTime(QDate(2000, 1, 1), QTime(0, 0)), QLocale::ShortFormat), "",
                      "0", "0", ""}}));
    }

    void saveDeclinedWritesNothing()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        const QString before = dump();
        auto form = addForm();
        form->show();
        child<QLineEdit>(form.get(), "lineEdit_LN")->setText("1");
        QSignalSpy closed(form.get(), &addCombat::sig_close);
        ModalAnswerer answerer;
        answerer.button("Никак нет");
        save(*form, answerer);
        QCOMPARE(dump(), before);
        QCOMPARE(closed.count(), 0);
        QVERIFY(!form->isVisible());
    }

    // A name longer than the field holds is refused before the question,
    // in the window's status line.
    void overlongTextRefused()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        const QString before = dump();
        auto form = addForm();
        form->show();
        child<QLineEdit>(form.get(), "lineEdit_FIO")->setText(QString(256, QChar(u'я')));
        ModalAnswerer answerer;
        child<QPushButton>(form.get(), "pushButton_2")->click();
        QVERIFY(answerer.seen().isEmpty());
        QCOMPARE(dump(), before);
        QVERIFY(form->isVisible());
        QCOMPARE(form->statusBar()->currentMessage(), QString("Не сохранено: ФИО длиннее 255 знаков. Сократите его."));
    }

    void exitQuestion()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        auto form = changeForm(stored());
        form->show();
        child<QLineEdit>(form.get(), "lineEdit_FIO")->setText("Изменено");
        QSignalSpy closed(form.get(), &addCombat::sig_close);
        ModalAnswerer answerer;
        answerer.button("Никак нет");
        child<QPushButton>(form.get(), "pushButton")->click();
        QVERIFY(answerer.done());
        QCOMPARE(answerer.seen().first().informativeText, QString("Вы точно уверены что надо выйти?"));
        QVERIFY(form->isVisible());
        QCOMPARE(child<QLineEdit>(form.get(), "lineEdit_FIO")->text(), QString("Изменено"));
        QCOMPARE(closed.count(), 0);

        answerer.clear();
        answerer.button("Так точно");
        child<QPushButton>(form.get(), "pushButton")->click();
        QVERIFY(answerer.done());
        QVERIFY(!form->isVisible());
        QCOMPARE(closed.count(), 1);
    }

    // A save the database refuses says why, keeps the form open with what was
    // typed and does not report the form done.
    void duplicatePersonalNumberRefused()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman(stored()));
        const QString before = dump();
        auto form = addForm();
        form->show();
        child<QLineEdit>(form.get(), "lineEdit_LN")->setText("Ж-100");
        child<QLineEdit>(form.get(), "lineEdit_FIO")->setText("Сидоров");
        QSignalSpy closed(form.get(), &addCombat::sig_close);
        ModalAnswerer answerer;
        answerer.button("Так точно").button("OK");
        save(*form, answerer);
        const ModalAnswerer::Seen warning = answerer.seen().at(1);
        QCOMPARE(warning.title, QString("Ошибка"));
        // The number is named, the database's own (English) words are not.
        QCOMPARE(warning.text, QString("Запись не сохранена: военнослужащий с личным номером «Ж-100» уже есть."));
        QVERIFY(form->isVisible());
        QCOMPARE(child<QLineEdit>(form.get(), "lineEdit_FIO")->text(), QString("Сидоров"));
        QCOMPARE(closed.count(), 0);
        QCOMPARE(dump(), before);
    }

    // Changing to a personal number that another serviceman has: nothing
    // changes, his orders included.
    void changeToTakenNumberChangesNothing()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman(stored()));
        QVERIFY(addServiceman("7", "Сидоров", "Ж-200"));
        QVERIFY(addOrder(order("Ж-100", "vzs", "15")));
        const QString before = dump();
        auto form = changeForm(stored());
        form->show();
        child<QLineEdit>(form.get(), "lineEdit_LN")->setText("Ж-200");
        QSignalSpy closed(form.get(), &addCombat::sig_close);
        ModalAnswerer answerer;
        answerer.button("Так точно").button("OK");
        save(*form, answerer);
        QVERIFY(answerer.seen().at(1).text.contains("военнослужащий с личным номером «Ж-200» уже есть"));
        QCOMPARE(dump(), before);
        QVERIFY(form->isVisible());
        QCOMPARE(closed.count(), 0);
        // The connection is left outside any transaction: a later save works.
        child<QLineEdit>(form.get(), "lineEdit_LN")->setText("Ж-300");
        answerer.clear();
        answerer.button("Так точно");
        save(*form, answerer);
        QCOMPARE(value("SELECT LN FROM prikaz"), QString("Ж-300"));
        QCOMPARE(closed.count(), 1);
    }

    void changeWithNothingAlteredKeepsTheRow()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman(stored()));
        Serviceman other = stored();
        other.LN = "Ж-101";
        other.Data_comb = "31.12.1999 23:59";
        QVERIFY(addServiceman(other));
        const QList<QStringList> before = rows("SELECT * FROM Combat ORDER BY rowid");
        auto form = changeForm(stored());
        QCOMPARE(child<QComboBox>(form.get(), "cb_dol")->currentText(), QString("Стрелок"));
        QCOMPARE(child<QComboBox>(form.get(), "cb_zv")->currentText(), QString("Рядовой"));
        QCOMPARE(child<QDateTimeEdit>(form.get(), "dateTimeEdit")->dateTime(),
                 QDateTime(QDate(1990, 3, 5), QTime(7, 5)));
        ModalAnswerer answerer;
        answerer.button("Так точно");
        save(*form, answerer);
        QCOMPARE(rows("SELECT * FROM Combat ORDER BY rowid"), before);
    }

    // The hour is read with or without a leading zero.
    void birthDateRead_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected");
        const QDateTime initial(QDate(2000, 1, 1), QTime(0, 0));
        QTest::newRow("short hour") << "05.03.1990 7:05" << QDateTime(QDate(1990, 3, 5), QTime(7, 5));
        QTest::newRow("padded hour") << "05.03.1990 07:05" << QDateTime(QDate(1990, 3, 5), QTime(7, 5));
        QTest::newRow("evening") << "29.02.1988 23:59" << QDateTime(QDate(1988, 2, 29), QTime(23, 59));
        QTest::newRow("no such day") << "30.02.1988 10:00" << initial;
        QTest::newRow("date only") << "05.03.1990" << initial;
        QTest::newRow("empty") << "" << initial;
    }
    void birthDateRead()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        WorkDir dir;
        QVERIFY(openProgramDb());
        Serviceman s = stored();
        s.Data_comb = text;
        auto form = changeForm(s);
        QCOMPARE(child<QDateTimeEdit>(form.get(), "dateTimeEdit")->dateTime(), expected);
    }

    void changedValuesAreWritten()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman(stored()));
        auto form = changeForm(stored());
        child<QLineEdit>(form.get(), "lineEdit_VP")->setText("1a");
        child<QLineEdit>(form.get(), "lineEdit_FIO")->setText("О'Нил %9");
        select(child<QComboBox>(form.get(), "cb_dol"), "Командир роты");
        select(child<QComboBox>(form.get(), "cb_zv"), "Майор");
        child<QDateTimeEdit>(form.get(), "dateTimeEdit")
            ->setDateTime(QDateTime(QDate(1970, 7, 1), QTime(12, 30)));
        ModalAnswerer answerer;
        answerer.button("Так точно");
        save(*form, answerer);
        QCOMPARE(combatRow("Ж-100"), (QStringList{"1a", "Командир роты", "Майор", "О'Нил %9",
                                                  "01.07.1970 12:30", "Ж-100", "5", "8"}));
    }

    // A new personal number is carried to the orders and attached files; the
    // rows of other servicemen stay as they are.
    void newPersonalNumberCarriesOrdersAndFiles()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman(stored()));
        QVERIFY(addServiceman("7", "Сидоров", "Ж-200"));
        QVERIFY(addOrder(order("Ж-100", "vzs", "15")));
        QVERIFY(addOrder(order("Ж-100", "blag", "16")));
        QVERIFY(addOrder(order("Ж-200", "blag", "16")));
        QVERIFY(exec("INSERT INTO Files VALUES ('15', 'vzs', 'files/a.pdf', 'a.pdf', 'Ж-100')"));
        QVERIFY(exec("INSERT INTO Files VALUES ('16', 'blag', 'files/b.pdf', 'b.pdf', 'Ж-200')"));
        auto form = changeForm(stored());
        child<QLineEdit>(form.get(), "lineEdit_LN")->setText("Ж-'1'");
        QSignalSpy closed(form.get(), &addCombat::sig_close);
        ModalAnswerer answerer;
        answerer.button("Так точно");
        save(*form, answerer);
        QCOMPARE(closed.count(), 1);
        QCOMPARE(rows("SELECT LN, FIO FROM Combat ORDER BY rowid"),
                 (QList<QStringList>{{"Ж-'1'", "Петров Пётр Петрович"}, {"Ж-200", "Сидоров"}}));
        QCOMPARE(rows("SELECT LN, prikaznom FROM prikaz ORDER BY rowid"),
                 (QList<QStringList>{{"Ж-'1'", "15"}, {"Ж-'1'", "16"}, {"Ж-200", "16"}}));
        QCOMPARE(rows("SELECT LN, name_file FROM Files ORDER BY rowid"),
                 (QList<QStringList>{{"Ж-'1'", "a.pdf"}, {"Ж-200", "b.pdf"}}));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // When carrying over fails half-way, the Combat row and the orders keep
    // the old number too.
    void failedCarryOverChangesNothing()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(addServiceman(stored()));
        QVERIFY(addOrder(order("Ж-100", "vzs", "15")));
        QVERIFY(exec("DROP TABLE Files"));
        const QString before = dump();
        auto form = changeForm(stored());
        form->show();
        child<QLineEdit>(form.get(), "lineEdit_LN")->setText("Ж-101");
        QSignalSpy closed(form.get(), &addCombat::sig_close);
        ModalAnswerer answerer;
        answerer.button("Так точно").button("OK");
        save(*form, answerer);
        QCOMPARE(answerer.seen().at(1).title, QString("Ошибка"));
        QVERIFY(answerer.seen().at(1).text.contains("Запись не сохранена"));
        QCOMPARE(dump(), before);
        QCOMPARE(closed.count(), 0);
        QVERIFY(form->isVisible());
    }

    // A serviceman deleted meanwhile: the change is refused with a reason and
    // the form closes, reporting the roster changed.
    void changeOfDeletedServiceman()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        auto form = changeForm(stored());
        form->show();
        QSignalSpy closed(form.get(), &addCombat::sig_close);
        ModalAnswerer answerer;
        answerer.button("Так точно").button("OK");
        save(*form, answerer);
        QCOMPARE(answerer.seen().at(1).text,
                 QString("Военнослужащий Петров Пётр Петрович с личным номером «Ж-100» изменён или удалён, "
                         "окно будет закрыто. Запись не сохранена."));
        QCOMPARE(value("SELECT count(*) FROM Combat"), QString("0"));
        QCOMPARE(closed.count(), 1);
        QVERIFY(!form->isVisible());
    }

    // A stored position or rank that is no longer in its list stays unless
    // the user picks another entry.
    void storedNameMissingFromList()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        Serviceman s = stored();
        s.Dol = "Снайпер";
        s.Dolz_nom = "7";
        s.VZ = "рядовой"; // letter case differs from the list
        s.Zvan_nom = "19";
        QVERIFY(addServiceman(s));
        {
            auto form = changeForm(s);
            auto *dol = child<QComboBox>(form.get(), "cb_dol");
            QCOMPARE(dol->count(), 14);
            QVERIFY2(dol->currentText().startsWith("Снайпер"), qPrintable(dol->currentText()));
            QVERIFY(dol->currentText().contains("нет в справочнике"));
            QCOMPARE(dol->currentIndex(), 13);
            ModalAnswerer answerer;
            answerer.button("Так точно");
            save(*form, answerer);
            QCOMPARE(combatRow("Ж-100").mid(1, 2), (QStringList{"Снайпер", "рядовой"}));
            QCOMPARE(combatRow("Ж-100").mid(6), (QStringList{"7", "19"}));
        }
        {
            auto form = changeForm(s);
            select(child<QComboBox>(form.get(), "cb_zv"), "Сержант");
            ModalAnswerer answerer;
            answerer.button("Так точно");
            save(*form, answerer);
            QCOMPARE(combatRow("Ж-100").mid(1, 2), (QStringList{"Снайпер", "Сержант"}));
            QCOMPARE(combatRow("Ж-100").mid(6), (QStringList{"7", "17"}));
        }
    }

    // With empty reference lists the stored names stay in change mode; a new
    // serviceman gets an empty name and 0.
    void emptyReferenceLists()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        QVERIFY(exec("DELETE FROM Emploeses"));
        QVERIFY(exec("DROP TABLE Ranks"));
        QVERIFY(addServiceman(stored()));
        auto form = changeForm(stored());
        ModalAnswerer answerer;
        answerer.button("Так точно");
        save(*form, answerer);
        QCOMPARE(combatRow("Ж-100").mid(1, 2), (QStringList{"Стрелок", "Рядовой"}));
        QCOMPARE(combatRow("Ж-100").mid(6), (QStringList{"13", "20"}));

        auto added = addForm();
        QCOMPARE(child<QComboBox>(added.get(), "cb_dol")->count(), 0);
        child<QLineEdit>(added.get(), "lineEdit_LN")->setText("Н-1");
        answerer.clear();
        answerer.button("Так точно");
        save(*added, answerer);
        QCOMPARE(combatRow("Н-1").mid(1, 2), (QStringList{"", ""}));
        QCOMPARE(combatRow("Н-1").mid(6), (QStringList{"0", "0"}));
    }

    // A stored birth date that does not read in the field's form is written
    // back unchanged until the user sets a date.
    void unreadableBirthDateKept()
    {
        WorkDir dir;
        QVERIFY(openProgramDb());
        Serviceman s = stored();
        s.Data_comb = "1/5/90 7:05 AM";
        QVERIFY(addServiceman(s));
        {
            auto form = changeForm(s);
            QCOMPARE(child<QDateTimeEdit>(form.get(), "dateTimeEdit")->dateTime(),
                     QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
            ModalAnswerer answerer;
            answerer.button("Так точно");
            save(*form, answerer);
            QCOMPARE(combatRow("Ж-100").at(4), s.Data_comb);
        }
        {
            auto form = changeForm(s);
            child<QDateTimeEdit>(form.get(), "dateTimeEdit")->setDate(QDate(1990, 1, 5));
            ModalAnswerer answerer;
            answerer.button("Так точно");
            save(*form, answerer);
            QCOMPARE(combatRow("Ж-100").at(4),
                     QLocale().toString(QDateTime(QDate(1990, 1, 5), QTime(0, 0)), QLocale::ShortFormat));
        }
    }

    // Return in any input or on "Выйти" starts saving; keypad Enter does not.
    void returnKey_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("asks");
        for (const char *name : {"lineEdit_VP", "cb_dol", "cb_zv", "lineEdit_FIO", "dateTimeEdit",
                                 "lineEdit_LN", "pushButton", "pushButton_2"}) {
            QTest::newRow(QByteArray(name).append(" Return").constData())
                << QByteArray(name) << int(Qt::Key_Return) << true;
            QTest::newRow(QByteArray(name).append(" Enter").constData())
                << QByteArray(name) << int(Qt::Key_Enter) << (QByteArray(name) == "pushButton_2");
        }
    }
    void returnKey()
    {
        QFETCH(QByteArray, target);
        QFETCH(int, key);
        QFETCH(bool, asks);
        WorkDir dir;
        QVERIFY(openProgramDb());
        auto form = addForm();
        form->show();
        QWidget *w = child<QWidget>(form.get(), target.constData());
        ModalAnswerer answerer;
        if (asks)
            answerer.button("Никак нет");
        QTest::keyClick(w, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QVERIFY(answerer.unexpected().isEmpty());
        QCOMPARE(answerer.seen().size(), asks ? 1 : 0);
        if (asks)
            QCOMPARE(answerer.seen().first().informativeText,
                     QString("Вы точно уверены что надо сохранить?"));
        QCOMPARE(form->isVisible(), !asks);
    }
};

QTEST_MAIN(TestServicemanForm)
#include "tst_servicemanform.moc"
