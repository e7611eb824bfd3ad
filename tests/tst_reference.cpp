// The reference tables editor: ranks and positions with their weights, read
// from and written to the database at once, and refused writes told.
#include "windows/addcombat.h"
#include "function.h"
#include "programdb.h"
#include "testsupport.h"
#include "windows/vestable.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlError>
#include <QSqlTableModel>
#include <QTableView>
#include <QtTest>

using namespace TestSupport;

namespace {

const int RANK = 1;
const int WEIGHT = 2;

// The program's own connection, as the main window opens it.
QTableView *view(vestable &w)
{
    return w.findChild<QTableView *>("tableView");
}

QSqlTableModel *model(vestable &w)
{
    return qobject_cast<QSqlTableModel *>(view(w)->model());
}

QComboBox *combo(vestable &w)
{
    return w.findChild<QComboBox *>("comboBox");
}

void add(vestable &w)
{
    w.findChild<QPushButton *>("pushButton")->click();
}

void remove(vestable &w)
{
    w.findChild<QPushButton *>("pushButton_2")->click();
}

QStringList column(QAbstractItemModel *m, int c)
{
    QStringList out;
    for (int r = 0; r < m->rowCount(); ++r)
        out << m->index(r, c).data().toString();
    return out;
}

// The names in the order the serviceman form lists them.
QStringList listed(const char *statement)
{
    QStringList out;
    QSqlQuery q = Function::Myquery(QString::fromLatin1(statement));
    while (q.next())
        out << q.value(1).toString();
    return out;
}

enum Finish { Return, Tab, LeaveOpen };

// Types into the editor of a cell as a user does and finishes the edit with
// Return (which asks the model to write pending rows), with Tab (which does
// not), or not at all.
void typeIntoCell(QTableView *v, const QModelIndex &index, const QString &text, Finish finish = Return)
{
    // After Tab the view has opened the next cell's editor already.
    if (!v->indexWidget(index)) {
        v->setCurrentIndex(index);
        v->edit(index);
    }
    QWidget *editor = v->indexWidget(index);
    QVERIFY(editor);
    if (auto *line = qobject_cast<QLineEdit *>(editor))
        line->setText(text);
    else if (auto *spin = qobject_cast<QSpinBox *>(editor))
        spin->setValue(text.toInt());
    else
        QFAIL(editor->metaObject()->className());
    if (finish == LeaveOpen)
        return;
    // The view commits and closes the editor from its event queue.
    QTest::keyClick(editor, finish == Return ? Qt::Key_Return : Qt::Key_Tab);
    QTRY_VERIFY(!v->indexWidget(index));
}

} // namespace

class TestReference : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initTestCase(); }
    void init() { failOnSlotWarnings(); }

    void form()
    {
        WorkDir dir;
        QVERIFY(TestSupport::openProgramDb());
        vestable w;
        QCOMPARE(w.objectName(), QString("vestable"));
        QCOMPARE(w.windowTitle(), QString("Приоретет"));
        QCOMPARE(w.size(), QSize(400, 300));
        QCOMPARE(w.font().family(), QString("Times New Roman"));
        QCOMPARE(w.font().pointSize(), 11);
        QCOMPARE(combo(w)->count(), 2);
        QCOMPARE(combo(w)->itemText(0), QString("Воинские звания"));
        QCOMPARE(combo(w)->itemText(1), QString("Должности"));
        QCOMPARE(combo(w)->currentIndex(), 0);
        QCOMPARE(combo(w)->font().pointSize(), 10);
        QCOMPARE(view(w)->font().pointSize(), 10);
        QVERIFY(!view(w)->isSortingEnabled());
        QVERIFY(view(w)->editTriggers() != QAbstractItemView::NoEditTriggers);
        QCOMPARE(w.findChild<QPushButton *>("pushButton")->text(), QString("Добавить"));
        QCOMPARE(w.findChild<QPushButton *>("pushButton_2")->text(), QString("Удалить"));

        QSqlTableModel *m = model(w);
        QCOMPARE(m->tableName(), QString("Ranks"));
        QCOMPARE(m->editStrategy(), QSqlTableModel::OnFieldChange);
        QCOMPARE(m->columnCount(), 3);
        QCOMPARE(m->headerData(RANK, Qt::Horizontal).toString(), QString("Rank"));
        QCOMPARE(m->headerData(WEIGHT, Qt::Horizontal).toString(), QString("Rank_massa"));
        QCOMPARE(m->rowCount(), 20);
        QCOMPARE(m->index(0, RANK).data().toString(), QString("Маршал Российской Федерации"));
        QCOMPARE(m->index(19, RANK).data().toString(), QString("Рядовой"));
    }

    // Each switch shows the chosen table read afresh, in a model of its own.
    void switchingTables()
    {
        WorkDir dir;
        QVERIFY(TestSupport::openProgramDb());
        vestable w;
        QSqlTableModel *ranks = model(w);
        combo(w)->setCurrentIndex(1);
        QSqlTableModel *positions = model(w);
        QVERIFY(positions != ranks);
        QCOMPARE(positions->tableName(), QString("Emploeses"));
        QCOMPARE(positions->editStrategy(), QSqlTableModel::OnFieldChange);
        QCOMPARE(positions->rowCount(), 13);
        QCOMPARE(positions->headerData(2, Qt::Horizontal).toString(), QString("Massa_dolzn"));
        QCOMPARE(positions->index(0, 1).data().toString(), QString("Командир части"));

        QVERIFY(exec("INSERT INTO Ranks (Rank, Rank_massa) VALUES ('Курсант', 205)"));
        combo(w)->setCurrentIndex(0);
        QCOMPARE(model(w)->tableName(), QString("Ranks"));
        QCOMPARE(model(w)->rowCount(), 21);
        QCOMPARE(model(w)->index(20, RANK).data().toString(), QString("Курсант"));
    }

    // A finished edit goes to the database at once, and the weights decide
    // the order of the lists of a serviceman form opened afterwards.
    void weightsReorderTheLists()
    {
        WorkDir dir;
        QVERIFY(TestSupport::openProgramDb());
        vestable w;
        QCOMPARE(listed(Sql::SELECT_RANKS).first(), QString("Маршал Российской Федерации"));
        typeIntoCell(view(w), model(w)->index(19, WEIGHT), "5");
        QCOMPARE(value("SELECT Rank_massa FROM Ranks WHERE Rank = 'Рядовой'"), QString("5"));
        QCOMPARE(listed(Sql::SELECT_RANKS).first(), QString("Рядовой"));
        QCOMPARE(listed(Sql::SELECT_RANKS).at(1), QString("Маршал Российской Федерации"));
        {
            // A serviceman form opened now lists the ranks in the new order
            // and stores the new place of the rank chosen.
            addCombat form("", "", "", "", "", false, "", nullptr);
            auto *ranks = form.findChild<QComboBox *>("cb_zv");
            QCOMPARE(ranks->itemText(0), QString("Рядовой"));
            QCOMPARE(ranks->itemText(1), QString("Маршал Российской Федерации"));
        }

        combo(w)->setCurrentIndex(1);
        QCOMPARE(listed(Sql::SELECT_POSITIONS).last(), QString("Стрелок"));
        typeIntoCell(view(w), model(w)->index(0, 2), "500");
        QCOMPARE(listed(Sql::SELECT_POSITIONS).last(), QString("Командир части"));
        {
            addCombat form("", "", "", "", "", false, "", nullptr);
            auto *positions = form.findChild<QComboBox *>("cb_dol");
            QCOMPARE(positions->itemText(positions->count() - 1), QString("Командир части"));
            QCOMPARE(positions->itemText(0), QString("Заместитель командира части"));
        }

        // A name is edited the same way, quotes and all.
        typeIntoCell(view(w), model(w)->index(12, 1), "Стрелок-\"снайпер\" д'Артаньяна %1");
        QCOMPARE(value("SELECT Dolzn FROM Emploeses WHERE Massa_dolzn = 130"),
                 QString("Стрелок-\"снайпер\" д'Артаньяна %1"));
    }

    void addBelowCurrentOrOnTop()
    {
        WorkDir dir;
        QVERIFY(TestSupport::openProgramDb());
        vestable w;
        QSqlTableModel *m = model(w);
        add(w);
        QCOMPARE(m->rowCount(), 21);
        QCOMPARE(m->index(0, RANK).data().toString(), QString());
        QCOMPARE(m->index(1, RANK).data().toString(), QString("Маршал Российской Федерации"));
        // Nothing reaches the database before a cell is filled.
        QCOMPARE(value("SELECT count(*) FROM Ranks"), QString("20"));

        // A second row while the first is still empty: the empty row moves.
        view(w)->setCurrentIndex(m->index(3, RANK));
        add(w);
        QCOMPARE(m->rowCount(), 21);
        QCOMPARE(m->index(0, RANK).data().toString(), QString("Маршал Российской Федерации"));
        QCOMPARE(m->index(2, RANK).data().toString(), QString("Генерал-полковник"));
        QCOMPARE(m->index(3, RANK).data().toString(), QString());
        QCOMPARE(m->index(4, RANK).data().toString(), QString("Генерал-лейтенант"));

        // Filled cell by cell, it becomes one record.
        typeIntoCell(view(w), m->index(3, RANK), "Генерал-капитан");
        typeIntoCell(view(w), m->index(3, WEIGHT), "35");
        QCOMPARE(rows("SELECT Rank, Rank_massa FROM Ranks WHERE id > 20"),
                 (QList<QStringList>{{"Генерал-капитан", "35"}}));
        QCOMPARE(listed(Sql::SELECT_RANKS).at(3), QString("Генерал-капитан"));

        // The new row, now stored, is a row like the others.
        view(w)->setCurrentIndex(m->index(3, RANK));
        add(w);
        QCOMPARE(m->index(4, RANK).data().toString(), QString());
        typeIntoCell(view(w), m->index(4, WEIGHT), "36");
        QCOMPARE(rows("SELECT Rank, Rank_massa FROM Ranks WHERE id > 20 ORDER BY id"),
                 (QList<QStringList>{{"Генерал-капитан", "35"}, {"", "36"}}));
        QCOMPARE(value("SELECT count(*) FROM Ranks"), QString("22"));
    }

    // Whatever was typed into a new row reaches the database, even when the
    // table is switched with the cell still being edited.
    void newRowKeptWhenSwitching()
    {
        WorkDir dir;
        QVERIFY(TestSupport::openProgramDb());
        vestable w;
        add(w);
        typeIntoCell(view(w), model(w)->index(0, RANK), "Курсант", Tab);
        typeIntoCell(view(w), model(w)->index(0, WEIGHT), "205", LeaveOpen);
        combo(w)->setCurrentIndex(1);
        QCOMPARE(rows("SELECT Rank, Rank_massa FROM Ranks WHERE id > 20"),
                 (QList<QStringList>{{"Курсант", "205"}}));
        combo(w)->setCurrentIndex(0);
        QCOMPARE(model(w)->rowCount(), 21);
        QCOMPARE(model(w)->index(20, RANK).data().toString(), QString("Курсант"));

        // The same when the window is closed in the middle of an edit.
        typeIntoCell(view(w), model(w)->index(20, WEIGHT), "210", LeaveOpen);
        w.close();
        QCOMPARE(value("SELECT Rank_massa FROM Ranks WHERE Rank = 'Курсант'"), QString("210"));
    }

    // A row added and left empty neither blocks the writes of other rows nor
    // lands in the database as an empty record.
    void emptyNewRowBlocksNothing()
    {
        WorkDir dir;
        QVERIFY(TestSupport::openProgramDb());
        vestable w;
        QSqlTableModel *m = model(w);
        view(w)->setCurrentIndex(m->index(1, RANK));
        add(w);
        QCOMPARE(m->index(2, RANK).data().toString(), QString());
        typeIntoCell(view(w), m->index(5, WEIGHT), "1");
        QCOMPARE(value("SELECT Rank_massa FROM Ranks WHERE Rank = 'Генерал-майор'"), QString("1"));
        QCOMPARE(m->rowCount(), 21);
        QCOMPARE(m->index(2, RANK).data().toString(), QString());
        QCOMPARE(m->index(5, RANK).data().toString(), QString("Генерал-майор"));
        QCOMPARE(m->index(5, WEIGHT).data().toString(), QString("1"));
        // Nor does it stop a delete.
        ModalAnswerer answerer;
        view(w)->setCurrentIndex(m->index(6, RANK));
        QCOMPARE(m->index(6, RANK).data().toString(), QString("Полковник"));
        remove(w);
        QCOMPARE(value("SELECT count(*) FROM Ranks WHERE Rank = 'Полковник'"), QString("0"));
        QCOMPARE(value("SELECT count(*) FROM Ranks"), QString("19"));
        QTest::qWait(50);
        QVERIFY(answerer.unexpected().isEmpty());

        add(w);
        combo(w)->setCurrentIndex(1);
        combo(w)->setCurrentIndex(0);
        QCOMPARE(value("SELECT count(*) FROM Ranks"), QString("19"));
        QCOMPARE(model(w)->rowCount(), 19);
    }

    void deleteCurrentRowOrNothing()
    {
        WorkDir dir;
        QVERIFY(TestSupport::openProgramDb());
        Serviceman s;
        s.LN = "1";
        s.VZ = "Капитан";
        s.Zvan_nom = "9";
        QVERIFY(addServiceman(s));
        vestable w;
        ModalAnswerer answerer;

        const QString before = dump();
        remove(w);
        QCOMPARE(dump(), before);
        QCOMPARE(model(w)->rowCount(), 20);

        // A rank that a serviceman holds: his record keeps its text and number.
        view(w)->setCurrentIndex(model(w)->index(8, RANK));
        remove(w);
        QCOMPARE(value("SELECT count(*) FROM Ranks"), QString("19"));
        QCOMPARE(value("SELECT count(*) FROM Ranks WHERE Rank = 'Капитан'"), QString("0"));
        QCOMPARE(model(w)->rowCount(), 19);
        QVERIFY(!column(model(w), RANK).contains("Капитан"));
        QCOMPARE(rows("SELECT VZ, Zvan_nom FROM Combat"), (QList<QStringList>{{"Капитан", "9"}}));

        // The table is read again: a row written by someone else shows up.
        QVERIFY(exec("INSERT INTO Ranks (Rank, Rank_massa) VALUES ('Курсант', 205)"));
        view(w)->setCurrentIndex(QModelIndex());
        remove(w);
        QCOMPARE(model(w)->rowCount(), 20);

        // An empty new row is simply taken away again.
        add(w);
        view(w)->setCurrentIndex(model(w)->index(0, RANK));
        remove(w);
        QCOMPARE(model(w)->rowCount(), 20);
        QCOMPARE(value("SELECT count(*) FROM Ranks"), QString("20"));
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // A write the database refuses is told with its reason, and the table
    // shows again what is stored.
    void refusedWritesAreTold()
    {
        WorkDir dir;
        QVERIFY(TestSupport::openProgramDb());
        QVERIFY(exec("CREATE TRIGGER no_update BEFORE UPDATE ON Ranks BEGIN "
                     "SELECT RAISE(ABORT, 'правка званий запрещена'); END"));
        QVERIFY(exec("CREATE TRIGGER no_insert BEFORE INSERT ON Ranks BEGIN "
                     "SELECT RAISE(ABORT, 'новые звания запрещены'); END"));
        QVERIFY(exec("CREATE TRIGGER no_delete BEFORE DELETE ON Ranks BEGIN "
                     "SELECT RAISE(ABORT, 'удаление званий запрещено'); END"));
        const QString before = dump();
        vestable w;
        w.show();
        ModalAnswerer answerer;
        answerer.button("OK").button("OK").button("OK");

        typeIntoCell(view(w), model(w)->index(19, WEIGHT), "5");
        QTRY_COMPARE(answerer.pending(), 2);
        QCOMPARE(answerer.seen().at(0).title, QString("Ошибка"));
        QVERIFY2(answerer.seen().at(0).text.startsWith("Изменение не сохранено"),
                 qPrintable(answerer.seen().at(0).text));
        QVERIFY(answerer.seen().at(0).detailedText.contains("правка званий запрещена"));
        QCOMPARE(model(w)->index(19, WEIGHT).data().toString(), QString("200"));
        QVERIFY(!model(w)->isDirty());

        add(w);
        typeIntoCell(view(w), model(w)->index(0, RANK), "Курсант");
        QTRY_COMPARE(answerer.pending(), 1);
        QVERIFY(answerer.seen().at(1).detailedText.contains("новые звания запрещены"));
        QCOMPARE(model(w)->rowCount(), 20);
        QCOMPARE(model(w)->index(0, RANK).data().toString(), QString("Маршал Российской Федерации"));

        view(w)->setCurrentIndex(model(w)->index(2, RANK));
        remove(w);
        QTRY_VERIFY(answerer.done());
        QVERIFY2(answerer.seen().at(2).text.startsWith("Запись не удалена"),
                 qPrintable(answerer.seen().at(2).text));
        QVERIFY(answerer.seen().at(2).detailedText.contains("удаление званий запрещено"));
        QCOMPARE(model(w)->rowCount(), 20);
        QCOMPARE(model(w)->index(2, RANK).data().toString(), QString("Генерал-полковник"));

        QCOMPARE(dump(), before);
        QTest::qWait(50);
        QVERIFY(answerer.unexpected().isEmpty());
    }

    // A table that cannot be read is told rather than shown empty in silence.
    void unreadableTableIsTold()
    {
        WorkDir dir;
        QVERIFY(TestSupport::openProgramDb());
        QVERIFY(exec("DROP TABLE Emploeses"));
        vestable w;
        ModalAnswerer answerer;
        answerer.button("OK");
        combo(w)->setCurrentIndex(1);
        QTRY_VERIFY(answerer.done());
        QCOMPARE(answerer.seen().at(0).title, QString("Ошибка"));
        QVERIFY2(answerer.seen().at(0).text.startsWith("Таблица не прочитана"),
                 qPrintable(answerer.seen().at(0).text));
        QCOMPARE(model(w)->rowCount(), 0);
        combo(w)->setCurrentIndex(0);
        QCOMPARE(model(w)->rowCount(), 20);
        QTest::qWait(50);
        QVERIFY(answerer.unexpected().isEmpty());
    }
};

QTEST_MAIN(TestReference)
#include "tst_reference.moc"
