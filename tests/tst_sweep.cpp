// Every write command a clerk gives, swept over its steps: run once to
// number its statements and file calls, then once per point, killed before
// or after a statement, killed before a file call, or with that call failed
// (EIO, ENOSPC, a short write). After each point: SQLite finds the database
// sound; it holds wholly the state before the command or wholly the state
// after it (history included); once the next start has finished what a stop
// left, the documents folder agrees with the attachment records and no
// unfinished copy of the database looks like a copy; and the clerk was told
// of success only where the change is there, of failure only where it is
// not.
//
// VEDOMER_SWEEP_COMMANDS (0: all), VEDOMER_SWEEP_SHARE (0..1) and
// VEDOMER_SWEEP_SECONDS (0: no limit, else for each register) choose how
// much is run, in an order shuffled by VEDOMER_SWEEP_SEED (a new one each
// run, printed); "./dev sweep" runs all. VEDOMER_SWEEP_ONLY="command/point"
// runs one point ("command": all of its points), VEDOMER_SWEEP_VERBOSE shows
// what the program logs.
#include "function.h"
#include "orderwindow.h"
#include "pgserver.h"
#include "testsupport.h"
#include "storage/register/attachmentremoval.h"
#include "storage/register/attachments.h"
#include "storage/register/grouporders.h"
#include "storage/copies/autobackup.h"
#include "storage/copies/databasecopy.h"
#include "storage/db/errors.h"
#include "storage/import/write.h"
#include "storage/register/orders.h"
#include "storage/setup/settings.h"
#include "storage/register/recount.h"
#include "storage/register/servicemen.h"
#include "view/application.h"
#include "windows/mainwindow.h"
#include "windows/vestable.h"

#include <QAction>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlTableModel>
#include <QTableView>
#include <QtTest>

#include <dlfcn.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>

using namespace TestSupport;

namespace {

enum class Told { Nothing, Done, Failed, Unknown };

// What a storage call that the window reports as done or refused told.
Told toldBy(bool done, const QSqlError &error = {})
{
    return done ? Told::Done : Errors::isOutcomeUnknown(error) ? Told::Unknown : Told::Failed;
}
Told toldBy(const Orders::Result &result)
{
    return toldBy(result.outcome == Orders::Outcome::Done, result.error);
}
Told toldBy(const GroupOrders::Result &result)
{
    return toldBy(result.outcome == GroupOrders::Outcome::Done, result.error);
}

// The last box of a main window's command, by its words.
Told toldByBox(const ModalAnswerer &answerer, QString *text)
{
    if (answerer.seen().isEmpty())
        return Told::Nothing;
    const QString said = answerer.seen().constLast().text;
    *text = said + ' ' + answerer.seen().constLast().informativeText;
    if (said.startsWith("Неизвестно"))
        return Told::Unknown;
    if (said == "Резервная копия создана" || said == "База восстановлена" || said.startsWith("База данных заменена"))
        return Told::Done;
    return Told::Failed;
}

Servicemen::Fields stored(const QString &ln)
{
    Servicemen::Fields fields;
    Servicemen::read(ln, &fields);
    return fields;
}

Servicemen::Entry entry(const Servicemen::Fields &fields)
{
    return {fields, 5, 19};
}

// The listed values of the order `number` as the orders window loads them.
Orders::Loaded loaded(const QString &ln, const QString &code, const QString &number)
{
    for (const Orders::Row &row : Orders::list(ln, code).rows)
        if (row.cells[2] == number)
            return {row.cells[0], row.cells[1], row.cells[3], row.cells[4], row.cells[5], row.cells[6], row.cells[7]};
    return {};
}

// The reference editor tells nothing: a refused write is not known to be
// refused, a written one shows.
Told referenceWrite(bool add)
{
    vestable w(nullptr);
    auto *model = qobject_cast<QSqlTableModel *>(w.findChild<QTableView *>("tableView")->model());
    if (add) {
        model->insertRow(0);
        return model->setData(model->index(0, 1), "Курсант") ? Told::Done : Told::Unknown;
    }
    return model->setData(model->index(2, 2), 205) ? Told::Done : Told::Unknown;
}

// From here on the kill library numbers the steps.
void startCounting()
{
    if (auto start = reinterpret_cast<void (*)()>(dlsym(RTLD_DEFAULT, "vedomer_sweep_start")))
        start();
}

// A command of the main window, its boxes answered.
Told mainWindowCommand(const char *action, const QString &file, QString *text)
{
    MainWindow w;
    ModalAnswerer answerer;
    answerer.button("Так точно");
    if (!file.isEmpty())
        answerer.file(QDir::current().absoluteFilePath(file));
    answerer.button("OK");
    startCounting();
    w.findChild<QAction *>(action)->trigger();
    return toldByBox(answerer, text);
}

Told import()
{
    Import::Rows roster{{"Личный номер", "Фамилия", "Воинское звание", "Должность", "№ ВП"}};
    Import::Rows orders{{"Личный номер", "Категория", "Номер", "Дата", "Кем издан", "Наименование"}};
    for (int i = 0; i < 8; ++i) {
        const QString ln = QString::number(i % 2 ? 1000 + i : 10 + i);
        roster.append({ln, "Новиков" + QString::number(i), "Сержант", "Стрелок", "3"});
        orders.append({ln, "Грамоты", QString::number(50 + i), "01.02.2026", "Командир", "За службу"});
    }
    Import::Choices choices;
    choices.updateExisting = true;
    const Import::ServicemenCheck servicemen =
        Import::checkServicemen(roster, Import::match(roster, Import::Kind::Servicemen), choices);
    const Import::OrdersCheck checked = Import::checkOrders(orders, Import::match(orders, Import::Kind::Orders), servicemen);
    Import::Written written;
    return Import::write(&servicemen, &checked, "roster.csv", &written) ? Told::Done
           : written.unknown                                            ? Told::Unknown
                                                                        : Told::Failed;
}

// Unsettled counts as an orders window leaves them while it is open.
void unsettledCount()
{
    openProgramDatabase();
    // The marker is made by the first pair this process leaves unsettled.
    Recount::settled("5", "blag");
    Recount::pending("5", "blag");
    QVERIFY(exec("UPDATE Combat SET blag = '9' WHERE LN = '5'"));
}

struct Command
{
    const char *name;
    // Run in the test before the state "before" is taken.
    std::function<void()> setup;
    // Run in the driver, on the program's connection unless it opens its own.
    std::function<Told(QString *text)> run;
    // Swept on a server register as well.
    bool server = true;
};

const Orders::Fields ORDER{"01.02.2026", "77", "Командир части", "Благодарность", "15/3"};

const QList<Command> &commands()
{
    static const QList<Command> all{
        {"order add", {}, [](QString *) { return toldBy(Orders::add("5", "blag", ORDER)); }},
        {"order change", {},
         [](QString *) { return toldBy(Orders::change("5", "blag", "2", {}, loaded("5", "blag", "2"), ORDER)); }},
        {"order lift", {},
         [](QString *) {
             return toldBy(Orders::lift("5", "vzs", "3", {}, loaded("5", "vzs", "3"), "01.03.2026", "12"));
         }},
        {"order delete", {}, [](QString *) { return toldBy(Orders::remove("5", "blag", "1", {})); }},
        {"attach", {},
         [](QString *text) {
             QString target;
             bool fresh = false;
             if (!Attachments::store("doc.pdf", "doc.pdf", &target, &fresh, text))
                 return Told::Failed;
             const Orders::Result result = Orders::attach("5", "blag", "2", target, "doc.pdf");
             if (result.outcome != Orders::Outcome::Done) {
                 if (fresh)
                     Attachments::discard(target);
             } else if (fresh) {
                 Attachments::settle(target);
             }
             return toldBy(result);
         }},
        {"detach", {},
         [](QString *) {
             Attachments::markRemoval("files/a.pdf");
             QSet<QString> copies;
             const Orders::Result result = Orders::detach("5", "blag", "1", "a.pdf", &copies);
             if (result.outcome == Orders::Outcome::Done)
                 Attachments::removeUnused(copies);
             else
                 Attachments::forgetRemoval();
             return toldBy(result);
         }},
        // The group writes: an order with a document for three men, the
        // lifting of two penalties by one order, the change of an order's
        // every row.
        {"group order", {},
         [](QString *text) {
             GroupOrders::Document d;
             d.name = "doc.pdf";
             if (!Attachments::store("doc.pdf", d.name, &d.target, &d.fresh, text))
                 return Told::Failed;
             const GroupOrders::Result result = GroupOrders::add({"5", "6", "8"}, "blag", ORDER, {d});
             if (result.outcome != GroupOrders::Outcome::Done) {
                 if (d.fresh)
                     Attachments::discard(d.target);
             } else if (d.fresh) {
                 Attachments::settle(d.target);
             }
             return toldBy(result);
         }},
        {"group lift", {},
         [](QString *) {
             std::vector<GroupOrders::Penalty> penalties;
             QSqlError error;
             if (!GroupOrders::penaltiesInForce(&penalties, &error))
                 return toldBy(false, error);
             return toldBy(GroupOrders::lift(penalties, "01.03.2026", "12"));
         }},
        {"change all", {},
         [](QString *) {
             QStringList ids;
             QSqlError error;
             if (!GroupOrders::sameOrder("gr", "4", "04.02.2025", &ids, &error))
                 return toldBy(false, error);
             return toldBy(GroupOrders::changeAll("gr", "4", "04.02.2025", ids, ORDER));
         }},
        {"serviceman add", {},
         [](QString *) {
             QSqlError error;
             return toldBy(Servicemen::add(entry({"3", "Стрелок", "Рядовой", "Новый", "", "9000"}), &error) ==
                               Servicemen::Outcome::Saved,
                           error);
         }},
        {"serviceman change", {},
         [](QString *) {
             Servicemen::Fields fields = stored("7");
             Servicemen::Entry changed = entry(fields);
             changed.fields[Servicemen::FIO] = "Иванов Иван Петрович";
             QSqlError error;
             return toldBy(Servicemen::change("7", fields, changed, &error) == Servicemen::Outcome::Saved, error);
         }},
        {"personal number change", {},
         [](QString *) {
             Servicemen::Fields fields = stored("5");
             Servicemen::Entry changed = entry(fields);
             changed.fields[Servicemen::LN] = "5000";
             QSqlError error;
             return toldBy(Servicemen::change("5", fields, changed, &error) == Servicemen::Outcome::Saved, error);
         }},
        {"serviceman delete", {},
         [](QString *) {
             QSqlError error;
             return toldBy(Servicemen::remove("7", Servicemen::From::Summary, &error), error);
         }},
        {"reference add", {}, [](QString *) { return referenceWrite(true); }},
        {"reference edit", {}, [](QString *) { return referenceWrite(false); }},
        {"import", {}, [](QString *) { return import(); }},
        {"restore", {}, [](QString *text) { return mainWindowCommand("action_9", "backup.db", text); }, false},
        {"backup", {}, [](QString *text) { return mainWindowCommand("action", {}, text); }},
        {"daily copy", {},
         [](QString *text) {
             AutoBackup::Run run(Settings::databaseFolder(), QDate::currentDate(), 3,
                                 Sql::onServer() ? QString() : "data/BaseDate.db");
             run.start();
             run.wait();
             *text = run.result().error;
             return toldBy(run.result().outcome == AutoBackup::Outcome::Made);
         }},
        {"recount at close", unsettledCount,
         [](QString *) {
             QSqlError error;
             const bool done = Recount::category("5", "blag", &error) == Recount::Result::Done;
             if (done)
                 Recount::settled("5", "blag");
             return toldBy(done, error);
         }},
        {"recount at start", unsettledCount,
         [](QString *text) {
             // A connection lost once the statement was sent is told as
             // not known.
             *text = Recount::atStart();
             return text->isEmpty() ? Told::Done : text->contains("неизвестно") ? Told::Unknown : Told::Failed;
         }},
        {"--ver drops a column", [] { QVERIFY(exec("ALTER TABLE Combat ADD COLUMN Extra TEXT")); },
         [](QString *text) {
             const Schema::Report report = Function::ver();
             *text = report.dropsRefused + report.notDropped.join(' ');
             return !report.droppedColumns.isEmpty() ? Told::Done
                    : text->isEmpty()               ? Told::Unknown
                                                    : Told::Failed;
         }},
    };
    return all;
}

const Command *command(const QString &name)
{
    for (const Command &c : commands())
        if (name == c.name)
            return &c;
    return nullptr;
}

// A state as text with the times of the history and the dated names of
// copies masked: a run that ends the same is the same state.
QString masked(QString state)
{
    static const QRegularExpression times(
        "\\d{4}-\\d\\d-\\d\\d[T ]\\d\\d:\\d\\d(:\\d\\d(\\.\\d+)?)?|\\d{4}_\\d\\d?_\\d\\d?(_\\d\\d?_\\d\\d?_\\d\\d?)?");
    return state.replace(times, "<time>");
}

// Before the files or the database under them are put back.
void closeConnections()
{
    for (const QString &name : QSqlDatabase::connectionNames())
        QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
}

bool copyTree(const QString &from, const QString &to)
{
    QDir(to).removeRecursively();
    QDir().mkpath(to);
    bool ok = true;
    for (const QFileInfo &entry : QDir(from).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString target = to + '/' + entry.fileName();
        ok = (entry.isDir() ? copyTree(entry.filePath(), target) : QFile::copy(entry.filePath(), target)) && ok;
    }
    return ok;
}

struct Run
{
    bool killed = false;
    bool crashed = false;
    Told told = Told::Nothing;
    QString text;
};

// The command run by this program as a driver, with the kill library
// striking at `point` (none: counting into `counts`).
Run drive(const QString &name, const QString &point, const QString &counts = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LD_PRELOAD", VEDOMER_KILLSHIM);
    env.insert("VEDOMER_SWEEP_DIR", QDir::currentPath());
    env.insert("VEDOMER_SWEEP_POINT", point);
    env.insert("VEDOMER_SWEEP_COUNT", counts);
    // VEDOMER_SWEEP_VERBOSE shows what the driver logs (with VEDOMER_SWEEP_ONLY).
    const bool verbose = qEnvironmentVariableIsSet("VEDOMER_SWEEP_VERBOSE");
    env.insert("QT_LOGGING_RULES", verbose ? "" : "*.debug=false;*.warning=false");
    process.setProcessEnvironment(env);
    if (verbose)
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QCoreApplication::applicationFilePath(), {"--sweep-driver", name});
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        run.crashed = true;
        return run;
    }
    run.killed = process.exitStatus() == QProcess::CrashExit && process.exitCode() == SIGKILL;
    run.crashed = !run.killed && (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0);
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    static const QStringList words{"nothing", "done", "failed", "unknown"};
    const qsizetype at = out.indexOf("told:");
    if (at >= 0) {
        run.told = Told(words.indexOf(out.mid(at + 5).section(' ', 0, 0)));
        run.text = out.mid(at + 5).section(' ', 1).trimmed();
    }
    return run;
}

// What the next start finds wrong: copies of documents that no record
// names, records whose copy is missing, an unfinished file left, a copy of
// the database that SQLite does not read as sound.
QStringList folderFaults(bool server)
{
    DatabaseCopy::removeStaleParts("data");
    openProgramDatabase();
    Attachments::finishInterrupted();
    QStringList faults;
    QSet<QString> recorded;
    for (const QStringList &row : rows("SELECT DISTINCT Giper FROM Files"))
        recorded.insert(row.at(0));
    for (const QString &copy : recorded)
        if (server ? value("SELECT count(*) FROM Kopii WHERE Giper = ?", {copy}) != "1" : !QFileInfo::exists(copy))
            faults << "no copy of " + copy;
    for (const QString &copy : QDir("files").entryList(QDir::Files | QDir::Hidden))
        if (!server && !recorded.contains("files/" + copy))
            faults << "no record of files/" + copy;
    for (const QString &file : QDir("data").entryList(QDir::Files | QDir::Hidden)) {
        if (file.endsWith(".part"))
            faults << "left data/" + file;
        else if (file.endsWith(".db") && file != "BaseDate.db" &&
                 readColumn("data/" + file, "PRAGMA integrity_check") != QStringList{"ok"})
            faults << "unsound data/" + file;
    }
    closeConnections();
    return faults;
}

QStringList dataFiles()
{
    return QDir("data").entryList({"*.db"}, QDir::Files);
}

// The shared state: a register of 200 servicemen, orders of one of them,
// a document attached to one, a backup taken before one more order.
void fillRegister(bool server)
{
    QVERIFY(testDb().transaction());
    for (int i = 1; i <= 200; ++i)
        QVERIFY(addServiceman(QString::number(i % 7 + 1), QString("Иванов%1 Иван Иванович").arg(i), QString::number(i)));
    const auto order = [](const char *ln, const char *code, const char *date, const char *number, const char *name) {
        return Order{ln, code, date, number, "Командир", name, "1", {}, {}, {}};
    };
    QVERIFY(addOrder(order("5", "blag", "01.02.2025", "1", "Благодарность")));
    QVERIFY(addOrder(order("5", "blag", "02.02.2025", "2", "Благодарность")));
    QVERIFY(addOrder(order("5", "vzs", "03.02.2025", "3", "Выговор")));
    QVERIFY(exec("UPDATE Combat SET blag = '2', vzs = '1' WHERE LN = '5'"));
    QVERIFY(exec("INSERT INTO Files (prikaznom, what, Giper, name_file, LN) VALUES ('1', 'blag', 'files/a.pdf', "
                 "'a.pdf', '5')"));
    const QByteArray a(3000, 'a');
    if (server)
        QVERIFY(exec("INSERT INTO Kopii VALUES ('files/a.pdf', ?)", {a}));
    QVERIFY(testDb().commit());
    if (!server)
        QVERIFY(exec("VACUUM INTO 'backup.db'"));
    QVERIFY(addOrder(order("9", "gr", "04.02.2025", "4", "Грамота")));
    QVERIFY(addOrder(order("11", "gr", "04.02.2025", "4", "Грамота")));
    QVERIFY(addOrder(order("12", "vzs", "05.02.2025", "6", "Замечание")));
    QVERIFY(exec("UPDATE Combat SET gr = '1' WHERE LN IN ('9', '11')"));
    QVERIFY(exec("UPDATE Combat SET vzs = '1' WHERE LN = '12'"));
    QFile copy("files/a.pdf"), doc("doc.pdf");
    QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(a) == a.size());
    QVERIFY(doc.open(QIODevice::WriteOnly) && doc.write(QByteArray(5000, 'd')) == 5000);
}

// Where the register lives, for the sweep: each command's state "before"
// kept as a base to put back before every point.
struct Place
{
    bool server = false;
    std::function<void(int base)> save;
    std::function<void(int base)> load;
    std::function<QString()> state;
};

// The server's tables as text, row by row in the order of their texts, the
// generated ids left out (a statement run once more takes new ones).
QString serverState()
{
    QString out;
    const QList<QStringList> tables =
        rows("SELECT table_name, string_agg(column_name, ',' ORDER BY ordinal_position) FROM "
             "information_schema.columns WHERE table_schema = 'public' GROUP BY table_name ORDER BY table_name");
    for (const QStringList &t : tables) {
        out += "## " + t.join(' ') + '\n';
        for (const QStringList &row : rows(QString("SELECT row_to_json(x)::text AS r FROM \"%1\" x ORDER BY r").arg(t.at(0))))
            out += row.at(0) + '\n';
    }
    static const QRegularExpression ids("\"id\":\\d+,?");
    return masked(out.replace(ids, QString()));
}

// The first lines of `state` that `other` lacks, for the message.
QStringList difference(const QString &state, const QString &other)
{
    const QStringList lines = other.split('\n');
    QStringList out;
    for (const QString &line : state.split('\n'))
        if (!lines.contains(line) && out.size() < 3)
            out << line.left(200);
    return out;
}

void sweep(const Place &place)
{
    struct Point
    {
        int command;
        QString what;
    };
    struct Base
    {
        QString before, after;
        QStringList copies;
    };
    QList<Point> points;
    QHash<int, Base> bases;
    const quint32 seed = qEnvironmentVariableIsSet("VEDOMER_SWEEP_SEED")
                             ? qEnvironmentVariable("VEDOMER_SWEEP_SEED").toUInt()
                             : QRandomGenerator::global()->generate();
    std::mt19937 random(seed);
    // VEDOMER_SWEEP_COMMANDS: that many of the commands, chosen by the seed
    // (each costs a clean run, and on a server two copies of the database).
    QList<int> chosen;
    for (int c = 0; c < commands().size(); ++c)
        if (!place.server || commands().at(c).server)
            chosen << c;
    std::shuffle(chosen.begin(), chosen.end(), random);
    // The points that once found a fault run first, in every share.
    const QStringList found = place.server ? QStringList{"attach/before 5", "attach/before 6", "attach/after 7",
                                                         "detach/lose 5", "detach/cut 6", "recount at start/lose 1",
                                                         "import/lose 83", "import/lose 107",
                                                         "import/cut 83", "import/lose 80"}
                                           : QStringList{"serviceman change/enospc 8", "import/eio 34",
                                                         "restore/eio 172", "restore/enospc 172"};
    const auto hasFound = [&](int c) { return !found.filter(QString(commands().at(c).name) + '/').isEmpty(); };
    std::stable_partition(chosen.begin(), chosen.end(), hasFound);
    if (const int some = qEnvironmentVariableIntValue("VEDOMER_SWEEP_COMMANDS"); some > 0 && some < chosen.size())
        chosen.resize(std::max<qsizetype>(some, std::count_if(chosen.begin(), chosen.end(), hasFound)));
    const QString only = qEnvironmentVariable("VEDOMER_SWEEP_ONLY");
    if (!only.isEmpty())
        chosen.removeIf([&](int c) {
            return only != commands().at(c).name && !only.startsWith(commands().at(c).name + QString('/'));
        });
    std::sort(chosen.begin(), chosen.end());
    closeConnections();
    QVERIFY(copyTree("files", "template/files") && copyTree("data", "template/data"));
    place.save(-1);
    for (const int c : std::as_const(chosen)) {
        const Command &command = commands().at(c);
        place.load(-1);
        QVERIFY(copyTree("template/files", "files") && copyTree("template/data", "data"));
        if (command.setup)
            command.setup();
        closeConnections();
        place.save(c);
        QVERIFY(copyTree("files", QString("base/%1/files").arg(c)) && copyTree("data", QString("base/%1/data").arg(c)));
        Base b{place.state(), {}, dataFiles()};
        closeConnections();
        const Run clean = drive(command.name, {}, QDir::current().absoluteFilePath("counts"));
        QVERIFY2(clean.told == Told::Done && !clean.crashed, qPrintable(command.name + (": " + clean.text)));
        b.after = place.state();
        const bool copies = QByteArray(command.name).contains("copy") || QByteArray(command.name) == "backup";
        QVERIFY2(b.after != b.before || copies, command.name);
        const QStringList faults = folderFaults(place.server);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(", ")));
        bases.insert(c, b);
        QFile counts("counts");
        QVERIFY(counts.open(QIODevice::ReadOnly));
        const long statements = counts.readLine().trimmed().toLong();
        const QByteArray calls = place.server ? QByteArray() : counts.readLine().trimmed();
        for (long n = 1; n <= statements; ++n)
            for (const char *what : {"before", "after", "cut", "lose"})
                if (place.server || what[0] == 'b' || what[0] == 'a')
                    points << Point{c, QString("%1 %2").arg(what).arg(n)};
        for (int n = 1; n <= calls.size(); ++n)
            for (const char *what : {"kill", "eio", "enospc", "short"})
                if (what[0] != 's' || calls.at(n - 1) == 'w')
                    points << Point{c, QString("%1 %2").arg(what).arg(n)};
    }

    const double share =
        qEnvironmentVariableIsSet("VEDOMER_SWEEP_SHARE") ? qEnvironmentVariable("VEDOMER_SWEEP_SHARE").toDouble() : 1;
    const int seconds = qEnvironmentVariableIntValue("VEDOMER_SWEEP_SECONDS");
    std::shuffle(points.begin(), points.end(), random);
    std::stable_partition(points.begin(), points.end(), [&](const Point &p) {
        return found.contains(commands().at(p.command).name + ('/' + p.what));
    });
    // "command/point" runs that point alone (as a failure names it).
    if (!only.isEmpty())
        points.removeIf([&](const Point &p) {
            return only != commands().at(p.command).name && only != commands().at(p.command).name + ('/' + p.what);
        });
    const qsizetype all = points.size();
    points.resize(qBound(qsizetype(0), qsizetype(all * share + 0.5), all));
    std::printf("sweep (%s): seed %u, %lld of %lld points chosen%s\n", place.server ? "server" : "file", seed,
                static_cast<long long>(points.size()), static_cast<long long>(all),
                seconds > 0 ? qPrintable(QString(", %1 s at most").arg(seconds)) : "");
    std::fflush(stdout);

    QElapsedTimer clock;
    clock.start();
    int swept = 0;
    QStringList faults;
    for (const Point &point : std::as_const(points)) {
        if (seconds > 0 && clock.elapsed() > seconds * 1000)
            break;
        const Command &command = commands().at(point.command);
        const Base &base = bases[point.command];
        place.load(point.command);
        QVERIFY(copyTree(QString("base/%1/files").arg(point.command), "files") &&
                copyTree(QString("base/%1/data").arg(point.command), "data"));
        const Run run = drive(command.name, point.what);
        ++swept;
        QStringList wrong;
        if (run.crashed)
            wrong << "the program crashed or hung";
        if (!place.server && value("PRAGMA integrity_check") != "ok")
            wrong << "integrity: " + value("PRAGMA integrity_check");
        const QString now = place.state();
        const bool before = now == base.before, after = now == base.after;
        if (!before && !after)
            wrong << "neither before nor after: " + difference(now, base.before).join(' ') + " | " +
                         difference(now, base.after).join(' ');
        if (run.told == Told::Done && !after)
            wrong << "told done, not written";
        if (run.told == Told::Failed && !before)
            wrong << "told failed, written";
        if (!run.killed && run.told == Told::Nothing)
            wrong << "told nothing";
        const bool copies = QByteArray(command.name).contains("copy") || QByteArray(command.name) == "backup";
        if (run.told == Told::Done && copies && dataFiles().size() <= base.copies.size())
            wrong << "told done, no copy";
        closeConnections();
        wrong << folderFaults(place.server);
        if (!wrong.isEmpty()) {
            faults << QString("%1/%2: %3 (told %4 «%5»)")
                          .arg(command.name, point.what, wrong.join("; "))
                          .arg(int(run.told))
                          .arg(run.text);
            std::printf("sweep: %s\n", qPrintable(faults.constLast()));
        }
        if (swept % 250 == 0)
            std::printf("sweep: %d points, %lld s\n", swept, static_cast<long long>(clock.elapsed() / 1000));
        std::fflush(stdout);
    }
    std::printf("sweep (%s): seed %u, %d points swept, %lld sound\n", place.server ? "server" : "file", seed, swept,
                static_cast<long long>(swept - faults.size()));
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
}

} // namespace

class TestSweep : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestSupport::initTestCase();
        QLoggingCategory::setFilterRules("*.debug=false");
    }

    void file()
    {
        WorkDir dir;
        fillRegister(false);
        // The daily copy is the command's own, not the start's.
        dir.writeFile("settings.ini", "[Path]\ndb=data\n[Backup]\nauto_copies=0\n");
        closeConnections();
        Place place;
        place.save = place.load = [](int) { closeConnections(); };
        place.state = [] { return masked(dump()); };
        sweep(place);
    }

    void server()
    {
        PgServer pg;
        if (!pg.running())
            QSKIP(qPrintable(pg.missing()));
        QStandardPaths::setTestModeEnabled(true);
        WorkDir dir(WorkDir::WithoutDatabase);
        useNewServerDatabase(pg, "sweep");
        fillRegister(true);
        dir.writeFile("settings.ini", fileContent("settings.ini") + "[Backup]\nauto_copies=0\n");
        const QString live = QSettings("settings.ini", QSettings::IniFormat).value("Database/name").toString();
        const auto reconnect = [&] {
            QSqlDatabase::removeDatabase("sweep");
            pg.connect("sweep", live);
        };
        Place place;
        place.server = true;
        place.save = [&](int base) {
            closeConnections();
            QVERIFY(pg.admin(QString("CREATE DATABASE sweep_%1 TEMPLATE %2 OWNER clerk").arg(base + 1).arg(live)));
            reconnect();
        };
        place.load = [&](int base) {
            closeConnections();
            QVERIFY(pg.admin(QString("DROP DATABASE %1 WITH (FORCE)").arg(live)));
            QVERIFY(pg.admin(QString("CREATE DATABASE %1 TEMPLATE sweep_%2 OWNER clerk").arg(live).arg(base + 1)));
            reconnect();
        };
        place.state = serverState;
        sweep(place);
        closeConnections();
        useTestConnection({});
    }
};

// The driver: one command in a process of its own, what the clerk was told
// printed as "told:<done|failed|unknown|nothing> <text>".
int driverMain(int argc, char *argv[])
{
    if (argc < 3 || qstrcmp(argv[1], "--sweep-driver") != 0)
        return -1;
    QApplication app(argc, argv);
    Application::initApplication();
    const Command *c = command(QString::fromUtf8(argv[2]));
    if (!c)
        return 2;
    // The main window's commands open it, answer its boxes and start the
    // count themselves; "--ver" opens its own connection.
    const QByteArray name = argv[2];
    std::optional<ModalAnswerer> answerer;
    if (name != "restore" && name != "backup") {
        if (!name.startsWith("--ver"))
            openProgramDatabase();
        answerer.emplace();
        startCounting();
    }
    QString text;
    const Told told = c->run(&text);
    static const char *const words[] = {"nothing", "done", "failed", "unknown"};
    std::printf("told:%s %s\n", words[int(told)], text.toUtf8().constData());
    return 0;
}

int main(int argc, char *argv[])
{
    // The whole sweep runs for long; a share has its own budget.
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", "86400000");
    const int driver = driverMain(argc, argv);
    if (driver >= 0)
        return driver;
    QApplication app(argc, argv);
    TestSweep test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sweep.moc"
