// Times the program's own code at the size of a large unit against the floor
// that no fill of the same rows can beat, and prints one line per measure.
//   vedomer_bench            N = 1,000, 5,000 and 20,000, median of 9 runs
//   vedomer_bench --quick    N = 1,000, one run (for CI: keeps it from rotting)
//   --size N, --runs R       one size only, R runs (for profiling)
//   --copy-mb M              the register of the start-up measure, M MB (400; 20 with --quick)
//   --history E              the entries of the history measures (1,000,000; 50,000 with --quick)
//   --latency                adds the clerk's commands on a server behind a delaying proxy (10 and
//                            50 ms round trip) at the largest size (200 with --quick, always run)
//   --latency-only           that table alone
//   --reports                the commander's report of a year alone, on a file and on a server:
//                            20,000 servicemen and 300,000 orders (--size N: N servicemen, 15 N orders)
//   --group                  only the group order for 1,000 servicemen and the lifting order for
//                            500 penalties, on a file and on a server at 50 ms a round trip
//   --import [N]             only the import: N servicemen and 10 x N orders (20,000) from .xlsx
//                            and .csv, its preview and its writing against their floors
#include "windows/addcombat.h"
#include "windows/addfile.h"
#include "export/cardprint.h"
#include "export/extractprint.h"
#include "export/printing.h"
#include "export/tableprint.h"
#include "function.h"
#include "windows/mainwindow.h"
#include "export/tableexport.h"
#include "storage/copies/autobackup.h"
#include "storage/copies/databasecopy.h"
#include "storage/history/historylog.h"
#include "storage/register/grouporders.h"
#include "storage/register/orders.h"
#include "storage/register/servicemen.h"
#include "storage/register/cards.h"
#include "storage/history/historyread.h"
#include "storage/history/historytable.h"
#include "storage/import/check.h"
#include "storage/import/sheetfile.h"
#include "storage/import/write.h"
#include "storage/register/recount.h"
#include "storage/reports/report.h"
#include "storage/db/sql.h"
#include "storage/register/summarycolumns.h"
#include "windows/history.h"
#include "windows/importwindow.h"
#include "windows/voenosluga.h"
#include "clerks.h"
#include "netproxy.h"
#include "pgserver.h"
#include "storage/db/connection.h"
#include "storage/copies/servercopy.h"
#include "storage/db/query.h"
#include "storage/db/quoting.h"
#include "view/application.h"
#include "storage/copies/databaserestore.h"
#include "storage/copies/serverbackup.h"
#include "storage/db/serverconnection.h"

#include <QApplication>
#include <QTableView>
#include <QCheckBox>
#include <QThread>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QPainter>
#include <QPdfWriter>
#include <QSqlDatabase>
#include <QRegularExpression>
#include <QSqlError>
#include <QSettings>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#endif

namespace {

const char BENCH_CONNECTION[] = "bench-fill";

struct Measure
{
    QString name;
    int n;
    double ms;
    double floorMs; // 0 when the measure has no floor of its own
    double fillMs = 0; // the summary fill timed in turns with it, if it was
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : (v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2);
}

// The processor time of the whole program so far (every thread, user and
// system): on a machine others load too, it tells the work done where the
// time on the clock does not.
#ifdef Q_OS_UNIX
// The processor time a clock of the system counts (the process's or the
// calling thread's), in milliseconds.
double cpuMs(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}
#endif

double processCpuMs()
{
#ifdef Q_OS_UNIX
    return cpuMs(CLOCK_PROCESS_CPUTIME_ID);
#else
    return 0;
#endif
}

// The median time of `work` on the clock; `cpuMs`, when given, gets the
// median of its processor time.
double timeMs(int runs, const std::function<void()> &prepare, const std::function<void()> &work,
              const std::function<void()> &after = {}, double *cpuMs = nullptr)
{
    std::vector<double> times;
    std::vector<double> cpu;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer t;
        const double cpuStart = processCpuMs();
        t.start();
        work();
        times.push_back(t.nsecsElapsed() / 1e6);
        cpu.push_back(processCpuMs() - cpuStart);
        if (after)
            after();
    }
    if (cpuMs)
        *cpuMs = median(cpu);
    return median(times);
}

// The processor time a server's process for this connection has used so
// far (user and system, from /proc): the server's share of a measure, on
// this machine.
double backendCpuMs()
{
#ifndef Q_OS_UNIX
    return 0;
#endif
    QSqlQuery pid(QStringLiteral("SELECT pg_backend_pid()"));
    if (!pid.next())
        return 0;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid.value(0).toString()));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // The fields after the name in parentheses: utime and stime are the
    // 14th and 15th of the line.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
#ifdef Q_OS_UNIX
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
#else
    return 0;
#endif
}

// Makes the database through the shipped descriptors and the schema
// verification, then fills it in one transaction.
bool makeDatabase(int n, const QString &bigLn)
{
    QDir().mkpath("files");
    QFile::remove("data/BaseDate.db");
    Function::ver();
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", BENCH_CONNECTION);
    db.setDatabaseName("data/BaseDate.db");
    if (!db.open())
        return false;
    std::mt19937 rng(20261207u + n);
    QSqlQuery q(db);
    q.exec("BEGIN");
    std::vector<QString> positions, ranks;
    q.exec("SELECT * FROM Emploeses ORDER BY Massa_dolzn ASC");
    while (q.next())
        positions.push_back(q.value(1).toString());
    q.exec("SELECT * FROM Ranks ORDER BY Rank_massa ASC");
    while (q.next())
        ranks.push_back(q.value(1).toString());
    const QStringList surnames{"Иванов",  "Смирнов", "Кузнецов", "Попов",   "Васильев",
                               "Петров",  "Соколов", "Михайлов", "Новиков", "Фёдоров",
                               "Морозов", "Волков",  "Алексеев", "Лебедев"};
    const QStringList names{"Иван", "Пётр", "Сергей", "Алексей", "Дмитрий", "Андрей", "Максим", "Олег"};
    const QStringList codes{"vzs", "blag", "gr", "ZOMO", "gosnag", "posh"};
    QSqlQuery man(db), order(db);
    man.prepare("INSERT INTO Combat (VP, Dol, VZ, FIO, Data_comb, LN, vzs, blag, gr, ZOMO, gosnag, posh, "
                "Dolz_nom, Zvan_nom) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    order.prepare(
        "INSERT INTO prikaz (LN, what, Date_time, prikaznom, kemvidan, nameZO, actived_prikaz, ish_SU, "
        "Nomer_snytie, Data_snytie) VALUES (?,?,?,?,?,?,?,?,?,?)");
    auto date = [&rng]() {
        return QDate(2000, 1, 1).addDays(static_cast<int>(rng() % 9000)).toString("dd.MM.yyyy");
    };
    for (int i = 0; i < n; ++i) {
        const QString ln = i == 0 ? bigLn : QString("Л-%1").arg(100000 + i);
        QString vp;
        switch (rng() % 10) {
        case 0:
            vp = QString("%1а").arg(rng() % 40 + 1);
            break;
        case 1:
            vp = QString("в/ч %1").arg(rng() % 9 + 1);
            break;
        default:
            vp = QString::number(rng() % 200 + 1);
        }
        const int p = static_cast<int>(rng() % positions.size());
        const int r = static_cast<int>(rng() % ranks.size());
        int counts[6] = {0, 0, 0, 0, 0, 0};
        const int orders = i == 0 ? 2000 : static_cast<int>(rng() % 11);
        for (int k = 0; k < orders; ++k) {
            const int c = i == 0 ? 0 : static_cast<int>(rng() % 6);
            const bool lifted = c == 0 && rng() % 3 == 0;
            QString when = date();
            if (i == 0 && k % 50 == 0)
                when = k % 100 == 0 ? QString() : QDate(2010, 1, 1).addDays(k).toString(Qt::ISODate);
            order.addBindValue(ln);
            order.addBindValue(codes.at(c));
            order.addBindValue(when);
            order.addBindValue(QString::number(k + 1));
            order.addBindValue("Командир войсковой части");
            order.addBindValue(c == 0 ? "Выговор" : "За образцовое исполнение обязанностей");
            order.addBindValue(lifted ? "0" : "1");
            order.addBindValue(QString("СУ-%1").arg(k));
            order.addBindValue(lifted ? QString::number(k + 500) : QString());
            order.addBindValue(lifted ? date() : QString());
            if (!order.exec())
                return false;
            if (c != 0 || !lifted)
                ++counts[c];
        }
        man.addBindValue(vp);
        man.addBindValue(positions[p]);
        man.addBindValue(ranks[r]);
        // Every second serviceman is an "Иванович": the search text of the
        // benchmark is in about half the rows.
        const QString father = i % 2 ? QStringLiteral("Иван") : names.at(rng() % (names.size() - 1) + 1);
        man.addBindValue(
            QString("%1 %2 %3ович")
                .arg(surnames.at(rng() % surnames.size()), names.at(rng() % names.size()), father));
        man.addBindValue(QDate(1970, 1, 1).addDays(rng() % 12000).toString("dd.MM.yyyy") + " 0:00");
        man.addBindValue(ln);
        for (int c : counts)
            man.addBindValue(QString::number(c));
        man.addBindValue(p + 1);
        man.addBindValue(r + 1);
        if (!man.exec())
            return false;
    }
    const bool ok = q.exec("COMMIT");
    q = QSqlQuery();
    man = QSqlQuery();
    order = QSqlQuery();
    db.close();
    return ok;
}

// The orders the database of `db` holds.
int ordersIn(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    q.exec("SELECT count(*) FROM prikaz");
    return q.next() ? q.value(0).toInt() : 0;
}

// Orders added up to `orders` in all, in one transaction: `make` gives the
// values of the k-th order (personal number, code, date, number, issuer,
// name, in force, lifting number and date).
void topUp(const QSqlDatabase &db, int orders, const std::function<QVariantList(int)> &make)
{
    const int have = ordersIn(db);
    QSqlQuery q(db);
    q.exec("BEGIN");
    QSqlQuery order(db);
    order.prepare("INSERT INTO prikaz (LN, what, Date_time, prikaznom, kemvidan, nameZO, actived_prikaz, "
                  "Nomer_snytie, Data_snytie) VALUES (?,?,?,?,?,?,?,?,?)");
    for (int k = have; k < orders; ++k) {
        for (const QVariant &value : make(k))
            order.addBindValue(value);
        order.exec();
    }
    order = QSqlQuery();
    q.exec("COMMIT");
}

// Orders added up to `orders` in all (ten a serviceman makes a register of
// 20,000 servicemen hold 200,000), spread at random over the servicemen.
void topUpOrders(const QSqlDatabase &db, int n, int orders, const QString &bigLn)
{
    std::mt19937 rng(20261208u + n);
    const QStringList codes{"vzs", "blag", "gr", "ZOMO", "gosnag", "posh"};
    topUp(db, orders, [&](int k) {
        const int i = static_cast<int>(rng() % n);
        const QString code = codes.at(static_cast<int>(rng() % 6));
        return QVariantList{i == 0 ? bigLn : QString("Л-%1").arg(100000 + i),
                            code,
                            "01.02.2020",
                            QString::number(k),
                            "Командир войсковой части",
                            "За образцовое исполнение обязанностей",
                            rng() % 3 ? "1" : "0",
                            QVariant(),
                            QVariant()};
    });
}

// ---- The import ----------------------------------------------------------
// A roster of n servicemen and 10 x n orders as two sheets: the rows of
// each, the header first.
struct ImportSheets
{
    QList<QStringList> roster;
    QList<QStringList> orders;
};

ImportSheets importSheets(int n)
{
    std::mt19937 rng(20261209u + n);
    ImportSheets s;
    s.roster.append({"Личный номер", "Фамилия", "Имя", "Отчество", "Воинское звание", "Должность",
                     "Дата рождения", "№ ВП"});
    s.orders.append({"Личный номер", "Категория", "Номер приказа", "Дата приказа", "Кем издан", "Наименование",
                     "Исходящий номер", "Номер снятия", "Дата снятия"});
    const QStringList ranks{"Рядовой", "Ефрейтор", "Сержант", "Старшина", "Лейтенант", "Капитан", "Майор"};
    const QStringList positions{"Стрелок", "Водитель", "Командир отделения", "Командир взвода"};
    const QStringList categories{"Взыскания", "Благодарности", "Грамоты", "Знаки отличия МО РФ",
                                 "Государственные награды", "Ветеран военной службы"};
    for (int i = 0; i < n; ++i) {
        const QString ln = QString("И-%1").arg(100000 + i);
        s.roster.append({ln, "Иванов", "Иван", "Иванович", ranks.at(rng() % ranks.size()),
                         positions.at(rng() % positions.size()),
                         QDate(1970, 1, 1).addDays(rng() % 12000).toString("dd.MM.yyyy"),
                         QString::number(rng() % 200 + 1)});
        for (int k = 0; k < 10; ++k) {
            const int c = static_cast<int>(rng() % 6);
            const bool lifted = c == 0 && rng() % 3 == 0;
            s.orders.append({ln, categories.at(c), QString::number(k + 1),
                             QDate(2000, 1, 1).addDays(rng() % 9000).toString("dd.MM.yyyy"),
                             "Командир войсковой части", "За образцовое исполнение обязанностей",
                             QString("СУ-%1").arg(k), lifted ? QString::number(k + 500) : QString(),
                             lifted ? "01.02.2024" : QString()});
        }
    }
    return s;
}

bool writeCsv(const QString &name, const QList<QStringList> &rows)
{
    QFile f(name);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray out;
    for (const QStringList &r : rows)
        out += r.join(';').toUtf8() + "\r\n";
    return f.write(out) == out.size();
}

bool writeXlsx(const QString &name, const QList<QStringList> &rows)
{
    TableExport::Grid grid;
    grid.header = rows.first();
    for (int i = 0; i < grid.header.size(); ++i)
        grid.columns.append(i);
    grid.rows = rows.mid(1);
    grid.sheet = "Лист1";
    QString error;
    return TableExport::writeWorkbook(grid, name, &error);
}

// The import's preview (each file read, matched and every row checked) and
// its writing, against a floor that inserts the same rows with one prepared
// statement a table in one transaction. Prints its lines and its checks.
bool importBench(int n, int runs)
{
    const ImportSheets sheets = importSheets(n);
    QFile::remove("data/BaseDate.db");
    Function::ver();
    QString reason;
    if (!Connection::open("data/BaseDate.db", &reason)) {
        fprintf(stderr, "import not timed: %s\n", qPrintable(reason));
        return false;
    }
    bool ok = true;
    const auto empty = [] {
        QSqlQuery q;
        q.exec("DELETE FROM Combat");
        q.exec("DELETE FROM prikaz");
        q.exec("DELETE FROM history");
        q.exec("VACUUM");
    };
    // The floor: the rows as the check leaves them, written plainly.
    double floorMs = 0;
    double floorCpuMs = 0;
    for (const char *format : {"xlsx", "csv"}) {
        const QString roster = QString("roster.%1").arg(format);
        const QString orders = QString("orders.%1").arg(format);
        const bool xlsx = QString(format) == "xlsx";
        if (!(xlsx ? writeXlsx(roster, sheets.roster) && writeXlsx(orders, sheets.orders)
                   : writeCsv(roster, sheets.roster) && writeCsv(orders, sheets.orders))) {
            fprintf(stderr, "import files not written\n");
            return false;
        }
        Import::ServicemenCheck men;
        Import::OrdersCheck ords;
        // The clerk chooses the two files one after the other, and each
        // choice reads its file and checks its rows: each is a preview.
        QString readError;
        double menReadMs = 0, ordersReadMs = 0;
        const auto read = [&](const QString &name, double *ms) {
            QElapsedTimer reading;
            reading.start();
            const Import::SheetFile file = Import::readSheet(name);
            *ms = reading.nsecsElapsed() / 1e6;
            if (readError.isEmpty())
                readError = file.error;
            return file;
        };
        const double menMs = timeMs(runs, empty, [&] {
            const Import::SheetFile r = read(roster, &menReadMs);
            men = Import::checkServicemen(r.rows, Import::match(r.rows, Import::Kind::Servicemen),
                                          Import::Choices());
        });
        const double ordersMs = timeMs(runs, empty, [&] {
            const Import::SheetFile o = read(orders, &ordersReadMs);
            ords = Import::checkOrders(o.rows, Import::match(o.rows, Import::Kind::Orders), men);
        });
        const double previewMs = std::max(menMs, ordersMs);
        // The orders in the import window: read, checked and shown, every
        // row in the preview, against the reading alone.
        double windowMs = 0;
        int shownRows = 0;
        {
            QElapsedTimer shown;
            shown.start();
            ImportWindow window;
            window.load(Import::Kind::Orders, orders);
            windowMs = shown.nsecsElapsed() / 1e6;
            if (const auto *table = window.findChild<QTableView *>("previewOrders"))
                shownRows = table->model()->rowCount() - 1;
        }
        printf("import %s: the window's preview of %d orders %.0f ms, reading %.0f ms of it\n", format, shownRows,
               windowMs, ordersReadMs);
        if (!readError.isEmpty())
            fprintf(stderr, "import from .%s: %s\n", format, qPrintable(readError));
        // The floor writes the rows the check leaves, the same for both files.
        if (floorMs == 0 && men.added == n) {
            floorMs = timeMs(runs, empty, [&] {
                QSqlQuery q;
                q.exec("BEGIN");
                QSqlQuery man, order;
                man.prepare("INSERT INTO Combat (VP, Dol, VZ, LN, FIO, Dolz_nom, Zvan_nom, Data_comb) "
                            "VALUES (?,?,?,?,?,?,?,?)");
                for (const Import::ServicemanRow &r : men.rows) {
                    const Servicemen::Fields &f = r.entry.fields;
                    for (const QVariant &v : QVariantList{f[0], f[1], f[2], f[5], f[3], r.entry.position,
                                                          r.entry.rank, f[4]})
                        man.addBindValue(v);
                    man.exec();
                }
                order.prepare("INSERT INTO prikaz (LN, what, Date_time, prikaznom, kemvidan, nameZO, "
                              "actived_prikaz, ish_SU, Nomer_snytie, Data_snytie) VALUES (?,?,?,?,?,?,?,?,?,?)");
                for (const Import::OrderRow &o : ords.rows) {
                    for (const QVariant &v : QVariantList{o.ln, o.code, o.date, o.number, o.issuer, o.name,
                                                          o.inForce ? "1" : "0", o.outgoing, o.liftNumber,
                                                          o.liftDate})
                        order.addBindValue(v);
                    order.exec();
                }
                q.exec("COMMIT");
            }, {}, &floorCpuMs);
        }
        Import::Written w;
        double importCpuMs = 0;
        const double importMs = timeMs(runs, empty, [&] { Import::write(&men, &ords, roster, &w); }, [&] {
            QFile::remove(w.backup);
        }, &importCpuMs);
        const bool all = w.added == n && w.orders == 10 * n;
        printf("import %s: %d servicemen, %d orders: preview of the servicemen %.0f ms (reading %.0f ms of it), of "
               "the orders %.0f ms (reading %.0f ms), import %.0f ms, floor %.0f ms%s\n",
               format, n, 10 * n, menMs, menReadMs, ordersMs, ordersReadMs, importMs, floorMs,
               all ? "" : " (not every row written)");
        printf("import %s: processor time of the import %.0f ms, of the floor %.0f ms (%.2f x)\n", format,
               importCpuMs, floorCpuMs, floorCpuMs > 0 ? importCpuMs / floorCpuMs : 0.0);
        const auto require = [&](bool holds, const QString &what) {
            printf("%s %s\n", holds ? "ok  " : "FAIL", qPrintable(what));
            ok = ok && holds;
        };
        require(all && previewMs <= 2000, QString("import preview of each file from .%1 at %2 <= 2 s").arg(format).arg(n));
        require(all && importMs <= 2 * floorMs, QString("import from .%1 at %2 <= 2 x floor").arg(format).arg(n));
        // The same rows onto a server, once: the COPYs of their rows, the
        // triggers' entry for each row and the recount.
        if (xlsx)
            continue;
        TestSupport::PgServer pg;
        if (!pg.running()) {
            fprintf(stderr, "import onto a server not timed: %s\n", qPrintable(pg.missing()));
            continue;
        }
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
        pg.pointSettingsAt(pg.createDatabase());
        Function::ver();
        QString where;
        if (!Connection::openChosen({}, &where, &reason)) {
            fprintf(stderr, "import onto a server not timed: %s\n", qPrintable(reason));
            continue;
        }
        // The server's processor time counts too: the program's alone would
        // leave out what its statements cost there.
        const double backendBefore = backendCpuMs();
        double clientCpuMs = 0;
        const double serverMs = timeMs(1, {}, [&] { Import::write(&men, &ords, roster, &w); }, {}, &clientCpuMs);
        const double backendMs = backendCpuMs() - backendBefore;
        QSqlQuery entries("SELECT count(*) FROM history");
        entries.next();
        printf("import onto a server: %d servicemen, %d orders in %.0f ms (%s history entries; %s)\n", w.added,
               w.orders, serverMs, qPrintable(entries.value(0).toString()),
               w.error.isEmpty() ? "written" : qPrintable(w.error));
        printf("import onto a server: processor time %.0f ms, the program's %.0f ms and the server's %.0f ms\n",
               clientCpuMs + backendMs, clientCpuMs, backendMs);
        require(w.error.isEmpty() && serverMs < 5000, QString("import onto a server at %1 < 5 s").arg(n));
        entries = QSqlQuery();
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
    }
    return ok;
}

// The floor: the same rows read with the same statement into a table of the
// same shape with plain items, nothing else.
void floorFill(QTableWidget &table, const QString &sql, int columns)
{
    table.setRowCount(0);
    QSqlQuery q;
    q.setForwardOnly(true);
    q.exec(sql);
    int r = 0;
    while (q.next()) {
        table.insertRow(r);
        for (int c = 0; c < columns; ++c)
            table.setItem(r, c, new QTableWidgetItem(q.value(c).toString()));
        ++r;
    }
}

// The floor of one statement: its median over the runs, the table emptied after.
double timeFloor(int runs, const QFont &font, const QString &sql, int columns)
{
    QTableWidget table(0, columns);
    table.setFont(font);
    return timeMs(runs, {}, [&] { floorFill(table, sql, columns); });
}

// A work and its floor timed in turns, run for run, so that a machine busy
// with something else slows both alike; the medians of each. `beforeFloor`
// runs untimed before each run of the floor.
std::pair<double, double> timePair(int runs, const std::function<void()> &work, const std::function<void()> &floor,
                                   const std::function<void()> &beforeFloor = {})
{
    std::vector<double> works, floors;
    for (int i = 0; i < runs; ++i) {
        floors.push_back(timeMs(1, beforeFloor, floor));
        works.push_back(timeMs(1, {}, work));
    }
    return {median(works), median(floors)};
}

// Opening a window: each run deletes the window of the run before it first
// (and runs `before`); the last one is kept in `window`.
template <typename Window>
double timeWindow(int runs, std::unique_ptr<Window> &window, const std::function<Window *()> &make,
                  const std::function<void()> &before = {})
{
    return timeMs(
        runs,
        [&] {
            window.reset();
            if (before)
                before();
        },
        [&] { window.reset(make()); });
}

// Print measures: the summary table and the service cards to PDF, each
// against a floor that paints the same texts page by page with QPainter on
// the same paper: every text of the document once, where a table's row is one
// line of its cells side by side (no measuring, no wrapping, no grid, no
// colours), the page line and the header row at the top of every page.
const QPageLayout PAPER(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                        QPageLayout::Millimeter);
constexpr int PRINT_RESOLUTION = 1200;

qint64 fileSize(const QString &name)
{
    return QFileInfo(name).size();
}

// Gives the number of pages painted.
int floorPdf(const QString &file, const Paper::Document &document, const QPageLayout &layout)
{
    QPdfWriter writer(file);
    writer.setResolution(PRINT_RESOLUTION);
    writer.setPageLayout(layout);
    QPainter painter(&writer);
    const qreal pt = PRINT_RESOLUTION / 72.0;
    const QRect area = layout.paintRectPixels(PRINT_RESOLUTION);
    qreal y = 0;
    bool firstPage = true;
    int pages = 0;
    const QFont *font = nullptr;
    const Paper::Part *part = nullptr;
    const Paper::Table *table = nullptr;
    std::vector<qreal> xs;
    std::function<void(const QFont &, const Paper::Row &)> line;
    auto newPage = [&] {
        if (!firstPage)
            writer.newPage();
        firstPage = false;
        ++pages;
        y = 0;
        line(part->lineFont, {Paper::Cell{part->line, {}, {}}});
        if (table && !table->header.empty())
            line(table->headerFont, table->header);
    };
    line = [&](const QFont &f, const Paper::Row &cells) {
        if (font != &f) {
            painter.setFont(f);
            font = &f;
        }
        const QFontMetricsF metrics(f, &writer);
        if (y + metrics.lineSpacing() > area.height())
            newPage();
        for (size_t c = 0; c < cells.size(); ++c)
            painter.drawText(QPointF(c < xs.size() ? xs[c] : 0, y + metrics.ascent()), cells[c].text);
        y += metrics.lineSpacing() + 3 * pt;
    };
    for (const Paper::Part &p : document.parts) {
        part = &p;
        table = nullptr;
        xs.clear();
        newPage();
        for (const auto &block : p.blocks) {
            if (const auto *text = std::get_if<Paper::Text>(&block)) {
                xs.clear();
                line(text->font, {Paper::Cell{text->text, {}, {}}});
                continue;
            }
            table = &std::get<Paper::Table>(block);
            qreal total = 0;
            for (const qreal w : table->widths)
                total += w * pt;
            const qreal scale = std::min<qreal>(1, area.width() / std::max<qreal>(total, 1));
            xs.clear();
            qreal x = 0;
            for (const qreal w : table->widths) {
                xs.push_back(x);
                x += w * pt * scale;
            }
            if (!table->header.empty())
                line(table->headerFont, table->header);
            for (const Paper::Row &row : table->rows)
                line(row.size() == 1 ? table->headerFont : table->font, row);
            table = nullptr;
        }
    }
    return pages;
}

// The pages of a PDF file written by Qt: its page objects counted.
int pdfPages(const QString &file)
{
    QFile pdf(file);
    if (!pdf.open(QIODevice::ReadOnly))
        return 0;
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    return static_cast<int>(QString::fromLatin1(pdf.readAll()).count(page));
}

// One order added and changed, as the orders window writes them, with the
// history's entries and without, in turns on a copy of the register: the
// median milliseconds of a pair with them and without.
std::pair<double, double> timeOrderWrites(int pairs)
{
    QFile::remove("data/writes.db");
    QFile::copy("data/BaseDate.db", "data/writes.db");
    QString reason;
    std::vector<double> with, without;
    if (!Connection::open("data/writes.db", &reason)) {
        fprintf(stderr, "writes not timed: %s\n", qPrintable(reason));
        return {0, 0};
    }
    Servicemen::Entry man;
    man.fields = {"1", "", "", "Писарев", "", "bench-writes"};
    QSqlError error;
    Servicemen::add(man, &error);
    for (int i = 0; i < 2 * pairs; ++i) {
        const bool history = i % 2 == 0;
        History::setWriting(history);
        const QString number = QString("w-%1").arg(i);
        const Orders::Fields fields{"01.02.2024", number, "Командир", "Выговор", ""};
        Orders::Fields changed = fields;
        changed.issuer = "Начальник штаба";
        QElapsedTimer t;
        t.start();
        const bool ok = Orders::add("bench-writes", "vzs", fields).outcome == Orders::Outcome::Done &&
                        Orders::change("bench-writes", "vzs", number, QString(),
                                       {"Выговор", "01.02.2024", "Командир", "", "", "", "1"}, changed)
                                .outcome == Orders::Outcome::Done;
        (history ? with : without).push_back(t.nsecsElapsed() / 1e6);
        if (!ok)
            fprintf(stderr, "an order write failed\n");
    }
    History::setWriting(true);
    QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
    QFile::remove("data/writes.db");
    return {median(with), median(without)};
}

// The history of changes: `entries` entries spread evenly over `servicemen`
// servicemen, oldest first, in one transaction through one prepared insert.
bool makeHistory(const QSqlDatabase &db, int entries, int servicemen)
{
    QSqlError error;
    if (!History::ensureTable(db, &error))
        return false;
    const char *const actions[] = {History::Action::SERVICEMAN_CHANGED, History::Action::ORDER_ADDED,
                                   History::Action::ORDER_CHANGED, History::Action::ORDER_LIFTED,
                                   History::Action::DOCUMENT_ATTACHED};
    const char *const codes[] = {"vzs", "blag", "gr", "ZOMO", "gosnag", "posh"};
    const QStringList users{"kadry1", "kadry2", "kadry3", "nachalnik"};
    QSqlQuery q(db);
    if (!q.exec("BEGIN"))
        return false;
    q.prepare(QString::fromLatin1(Sql::INSERT_HISTORY));
    const QDateTime start(QDate(2020, 1, 1), QTime(8, 0));
    for (int i = 0; i < entries; ++i) {
        const int man = i % servicemen;
        const bool changed = i % 5 == 0;
        q.addBindValue(start.addSecs(i * 60LL).toString("yyyy-MM-dd HH:mm:ss"));
        q.addBindValue(users.at(i % users.size()));
        q.addBindValue(QString("КАДРЫ-%1").arg(i % 3));
        q.addBindValue(QString::fromLatin1(actions[i % 5]));
        q.addBindValue(QString("Л-%1").arg(man, 6, 10, QChar('0')));
        q.addBindValue(QString("Фамилия%1 Имя Отчество").arg(man));
        q.addBindValue(changed ? QVariant() : QVariant(QString::fromLatin1(codes[i % 6])));
        q.addBindValue(changed ? QVariant() : QVariant(QString::number(i % 900)));
        q.addBindValue(changed ? "Dol" : "nameZO");
        q.addBindValue(QString("Прежнее значение %1").arg(i));
        q.addBindValue(QString("Новое значение %1").arg(i));
        if (!q.exec())
            return false;
    }
    return q.exec("COMMIT");
}

// The floor of a history page: a plain table of its columns made and the
// same rows read into it with the window's statement.
void floorHistory(std::unique_ptr<QTableWidget> &shown, const QString &ln)
{
    shown = std::make_unique<QTableWidget>(0, 11);
    QTableWidget &table = *shown;
    QString sql = QString::fromLatin1(Sql::SELECT_HISTORY);
    QSqlQuery q;
    q.setForwardOnly(true);
    if (!ln.isEmpty())
        sql += QString::fromLatin1(Sql::HISTORY_OF_LN);
    q.prepare(sql + QString::fromLatin1(Sql::HISTORY_PAGE));
    if (!ln.isEmpty())
        q.addBindValue(ln);
    q.addBindValue(History::PAGE_SIZE);
    q.exec();
    // The texts first, then the rows all at once: no row is inserted alone.
    QStringList texts;
    while (q.next()) {
        for (int c = 0; c < 11; ++c)
            texts.append(q.value(c + 1).toString());
    }
    const int rows = static_cast<int>(texts.size() / 11);
    table.setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < 11; ++c)
            table.setItem(r, c, new QTableWidgetItem(texts.at(r * 11 + c)));
    }
}

long peakRssMb()
{
#ifdef Q_OS_UNIX
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
#else
    return 0;
#endif
}

// Answers every message box as soon as it shows, as a clerk who means it
// would: "Так точно" where one is asked, the one button of a notice. A box
// titled "Ошибка" is printed, so that a command that failed is not taken for
// a fast one.
class BoxAnswerer : public QObject
{
public:
    BoxAnswerer() { qApp->installEventFilter(this); }
    ~BoxAnswerer() override { qApp->removeEventFilter(this); }
    int errors = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = event->type() == QEvent::Show ? qobject_cast<QMessageBox *>(watched) : nullptr;
        if (!box)
            return false;
        if (box->windowTitle() == QLatin1String("Ошибка")) {
            ++errors;
            fprintf(stderr, "latency: %s %s\n", qPrintable(box->text()), qPrintable(box->informativeText()));
        }
        QTimer::singleShot(0, box, [box] {
            const QList<QAbstractButton *> buttons = box->buttons();
            for (QAbstractButton *button : buttons) {
                if (button->text() == QLatin1String("Так точно")) {
                    button->click();
                    return;
                }
            }
            if (!buttons.isEmpty())
                buttons.first()->click();
        });
        return false;
    }
};

double threadCpuMs()
{
#ifdef Q_OS_UNIX
    return cpuMs(CLOCK_THREAD_CPUTIME_ID);
#else
    return 0;
#endif
}

struct Latency
{
    QString name;
    int roundTripMs;
    double ms;
    int trips;
    // The processor time of the program's own thread: its own work, which a
    // busy machine stretches in `ms` but not here.
    double cpuMs;
    // Backup and restore are not interactive; the writes must take at most
    // four round trips.
    bool interactive = true;
    bool write = false;
    // Shown but not judged, with the reason: the opening of the program,
    // which is not one of the clerk's commands, with its connection (libpq's
    // exchanges and the statements Qt's driver runs on it) and the rest.
    QString info;
};

// Backup and restore: at most a few dozen round trips at any size.
constexpr int COPY_TRIPS = 50;

// The verdict of one line of the latency table against the goal at 50 ms.
QString verdict(const Latency &l)
{
    if (l.roundTripMs != 50)
        return l.write && l.trips > 4 ? QString("FAIL more than 4 round trips") : QString("ok");
    if (!l.interactive)
        return l.trips <= COPY_TRIPS ? QString("ok") : QString("FAIL more than %1 round trips").arg(COPY_TRIPS);
    if (!l.info.isEmpty())
        return "info " + l.info;
    if (l.write && l.trips > 4)
        return QString("FAIL more than 4 round trips");
    if (l.ms < 500)
        return QString("ok");
    const double own = l.cpuMs + 50.0 * l.trips;
    // What neither the program's processor time nor the round trips hold is
    // the server's own work on the statement, the rows' transfer and a
    // machine busy with other work: said, not excused.
    return own < 500 ? QString("FAIL %1 ms measured, own work + round trips %2 ms, the rest the server's work, the "
                               "transfer or a busy machine")
                           .arg(l.ms, 0, 'f', 0)
                           .arg(own, 0, 'f', 0)
                     : QString("FAIL own work + round trips %1 ms").arg(own, 0, 'f', 0);
}

// The file's register (data/BaseDate.db) moved onto a new database of `pg`,
// which settings.ini then names and the default connection holds open; its
// name, or an empty one with `error` set.
QString moveOntoServer(TestSupport::PgServer &pg, QString *error)
{
    const QString database = pg.createDatabase();
    pg.pointSettingsAt(database);
    Function::ver();
    QString where;
    ServerCopy::Counts counts;
    if (!Connection::openChosen({}, &where, error) ||
        !ServerCopy::transfer(QDir::current().absoluteFilePath("data/BaseDate.db"), &counts, error))
        return QString();
    return database;
}

// The clerk's commands on a register of `n` servicemen with 10 orders each on
// a server reached through a proxy that adds each of `delays` as round trip:
// the time of each (the median of `runs`) and its round trips (of the last
// run). The register is the file's, made anew and moved onto a new database
// of `pg`, with one document in fifty servicemen.
std::vector<Latency> latencyTable(TestSupport::PgServer &pg, int n, const std::vector<int> &delays, int runs,
                                  const QString &bigLn)
{
    std::vector<Latency> out;
    QSqlDatabase::removeDatabase(BENCH_CONNECTION);
    QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
    QSettings("settings.ini", QSettings::IniFormat).setValue("Database/kind", "sqlite");
    if (!makeDatabase(n, bigLn)) {
        fprintf(stderr, "latency: could not fill the database for N = %d\n", n);
        return out;
    }
    {
        QSqlDatabase db = QSqlDatabase::database(BENCH_CONNECTION);
        db.open();
        topUpOrders(db, n, 10 * n, bigLn);
        // Documents of about 20 KB under the first order of every fiftieth serviceman.
        QDir().mkpath("files");
        QSqlQuery file(db);
        file.prepare("INSERT INTO Files (prikaznom, what, Giper, name_file, LN) VALUES (?,?,?,?,?)");
        const QByteArray content(20000, 'x');
        for (int i = 1; i < n; i += 50) {
            const QString name = QString("приказ-%1.pdf").arg(i);
            QFile f("files/" + name);
            f.open(QIODevice::WriteOnly);
            f.write(content);
            file.addBindValue("1");
            file.addBindValue("vzs");
            file.addBindValue("files/" + name);
            file.addBindValue(name);
            file.addBindValue(QString("Л-%1").arg(100000 + i));
            file.exec();
        }
        file = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(BENCH_CONNECTION);
    QString error;
    const QString database = moveOntoServer(pg, &error);
    if (database.isEmpty()) {
        fprintf(stderr, "latency: could not fill the server for N = %d: %s\n", n, qPrintable(error));
        return out;
    }
    QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);

    TestSupport::NetProxy proxy(pg.port());
    pg.allowPort(proxy.port());
    pg.pointSettingsAt(database, QStringLiteral("clerk"), proxy.port());
    BoxAnswerer answerer;
    // A serviceman of a few orders, as a clerk opens them.
    const QString ln = QString("Л-%1").arg(100000 + n / 2);
    for (const int delay : delays) {
        proxy.setRoundTrip(delay);
        auto measure = [&](const QString &name, const std::function<void()> &prepare,
                           const std::function<void()> &work, int times, bool write = false) {
            std::vector<double> ms, cpu;
            int trips = 0;
            for (int i = 0; i < times; ++i) {
                if (prepare)
                    prepare();
                proxy.resetRoundTrips();
                const double cpuBefore = threadCpuMs();
                QElapsedTimer t;
                t.start();
                work();
                ms.push_back(t.nsecsElapsed() / 1e6);
                cpu.push_back(threadCpuMs() - cpuBefore);
                trips = proxy.roundTrips();
            }
            out.push_back({name, delay, median(ms), trips, median(cpu), true, write, {}});
        };
        // A connection closed says goodbye, which the proxy counts on its
        // own thread: it is let through before the count starts.
        auto letGo = [](const QString &connection) {
            QSqlDatabase::removeDatabase(connection);
            QThread::msleep(100);
        };
        std::unique_ptr<MainWindow> window;
        measure(
            "start", [&] {
                window.reset();
                letGo(QSqlDatabase::defaultConnection);
            },
            [&] { window.reset(new MainWindow); }, runs);
        out.back().info = "the opening of the program, not judged (the next two lines)";
        const Latency start = out.back();
        // The connection alone, as the start makes it: libpq's exchanges and
        // the statements Qt's driver runs on every connection it opens.
        const QString alone = QStringLiteral("bench-connection");
        measure("connection", [&] { letGo(alone); }, [&] {
            QString reason;
            if (!Connection::openChosenServer(alone, &reason, {}))
                fprintf(stderr, "latency: no connection: %s\n", qPrintable(reason));
        }, runs);
        letGo(alone);
        out.back().info = "libpq's exchanges and the statements Qt's driver runs at every connection";
        const Latency connection = out.back();
        // The opening of the program is not one of the clerk's commands the
        // goal is set for: it is shown, and its fill is judged as the
        // summary fill below.
        out.push_back({"start without connection", delay, start.ms - connection.ms, start.trips - connection.trips,
                       start.cpuMs - connection.cpuMs, true, false,
                       "the opening (the window, the check of the tables, the first fill), not judged"});
        measure("summary fill", {}, [&] { window->clear_tableWidgets(); }, runs);
        auto *category = window->findChild<QComboBox *>("comboBox");
        auto *records = window->findChild<QCheckBox *>("checkBox");
        auto *units = window->findChild<QComboBox *>("comboBox_2");
        auto *inForce = window->findChild<QCheckBox *>("checkBox_2");
        auto *search = window->findChild<QLineEdit *>("lineEdit");
        // Each filter is switched on over the full table.
        auto plain = [&] {
            category->setCurrentIndex(0);
            records->setChecked(false);
            units->setCurrentIndex(0);
            inForce->setChecked(false);
            window->clear_tableWidgets();
        };
        measure("records any", plain, [&] { records->click(); }, runs);
        measure("records vzs", [&] { plain(); category->setCurrentIndex(1); }, [&] { records->click(); }, runs);
        measure("unit", plain, [&] {
            const int unit = units->count() / 2;
            units->setCurrentIndex(unit);
            emit units->activated(unit);
        }, runs);
        measure("penalties in force", plain, [&] { inForce->click(); }, runs);
        measure("search", [&] { plain(); search->setText("иванович"); },
                [&] { QMetaObject::invokeMethod(window.get(), "on_pushButton_clicked"); }, runs);
        measure("reset", [&] { inForce->setChecked(true); records->setChecked(true); },
                [&] { QMetaObject::invokeMethod(window.get(), "on_pushButton_2_clicked"); }, runs);

        // The orders window: opened, the four writes, closed (the recount
        // and the refill of the summary).
        std::unique_ptr<addfile> orders;
        measure("orders window open", [&] { orders.reset(); },
                [&] { orders.reset(new addfile(ln, "vzs", "Иванов Иван Иванович")); }, runs);
        auto *table = orders->findChild<QTableWidget *>("tableWidget_2");
        auto edit = [&](const char *name) { return orders->findChild<QLineEdit *>(name); };
        auto *lifting = orders->findChild<QCheckBox *>("checkBox");
        auto choose = [&](const QString &number) {
            for (int r = 0; r < table->rowCount(); ++r) {
                if (table->item(r, 2) && table->item(r, 2)->text() == number) {
                    table->setCurrentCell(r, 2);
                    QMetaObject::invokeMethod(orders.get(), "on_tableWidget_2_cellClicked", Q_ARG(int, r),
                                              Q_ARG(int, 2));
                    return;
                }
            }
            fprintf(stderr, "latency: order %s not listed\n", qPrintable(number));
        };
        int written = 0;
        QString number;
        measure("add an order", [&] {
                    number = QString("Л%1-%2").arg(delay).arg(++written);
                    edit("lineEdit_2")->setText(number);
                    edit("lineEdit_3")->setText("Командир войсковой части");
                    edit("lineEdit_4")->setText("Выговор");
                    edit("lineEdit_6")->setText("СУ-1");
                },
                [&] { QMetaObject::invokeMethod(orders.get(), "on_pushButton_7_clicked"); }, runs, true);
        measure("change an order", [&] {
                    choose(number);
                    edit("lineEdit_3")->setText(QString("Начальник штаба %1").arg(++written));
                },
                [&] { QMetaObject::invokeMethod(orders.get(), "on_pushButton_4_clicked"); }, 1, true);
        measure("lift an order", [&] {
                    choose(number);
                    lifting->setChecked(true);
                    edit("lineEdit_5")->setText("С-1");
                },
                [&] { QMetaObject::invokeMethod(orders.get(), "on_pushButton_4_clicked"); }, 1, true);
        measure("delete an order", [&] { choose(number); },
                [&] { QMetaObject::invokeMethod(orders.get(), "on_pushButton_6_clicked"); }, 1, true);
        QObject::connect(orders.get(), SIGNAL(wtf(QString, QString)), window.get(), SLOT(recordfile(QString, QString)));
        measure("orders window close", {}, [&] { orders->close(); }, 1);
        orders.reset();

        // The form's save of a changed full name.
        std::unique_ptr<addCombat> form;
        Servicemen::Fields man;
        measure("form save", [&] {
                    form.reset();
                    Servicemen::read(ln, &man);
                    form.reset(new addCombat(man[0], man[1], man[2], man[3], man[4], true, man[5]));
                    form->findChild<QLineEdit *>("lineEdit_FIO")->setText(man[Servicemen::FIO] + "ё");
                },
                [&] { QMetaObject::invokeMethod(form.get(), "on_pushButton_2_clicked"); }, runs, true);
        form.reset();

        std::unique_ptr<voenosluga> list;
        measure("list window", [&] { list.reset(); }, [&] { list.reset(new voenosluga); }, runs);
        list.reset();
        measure("service card", {}, [&] {
            QStringList missing;
            QSqlError failed;
            CardPrint::document(Cards::read({ln}, &missing, &failed), QDate::currentDate());
        }, runs);
        window.reset();

        const QString copy = QString("latency-%1.db").arg(delay);
        measure("backup", [&] { QFile::remove(copy); }, [&] {
            QString failed;
            if (!ServerCopy::backup(copy, &failed))
                fprintf(stderr, "latency: backup failed: %s\n", qPrintable(failed));
        }, 1);
        measure("restore", {}, [&] {
            QString failed;
            ServerCopy::Counts restored;
            if (!ServerCopy::restore(copy, &restored, &failed))
                fprintf(stderr, "latency: restore failed: %s\n", qPrintable(failed));
        }, 1);
        out.back().interactive = false;
        out[out.size() - 2].interactive = false;
    }
    QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
    QSettings("settings.ini", QSettings::IniFormat).setValue("Database/kind", "sqlite");
    if (answerer.errors > 0)
        fprintf(stderr, "latency: %d commands failed\n", answerer.errors);
    return out;
}

// Orders added up to `orders` in all for the report's measure: spread over
// the servicemen and over 2024 to 2026, a third of the penalties lifted some
// days to a year later.
void topUpDatedOrders(const QSqlDatabase &db, int n, int orders, const QString &bigLn)
{
    std::mt19937 rng(20261209u + n);
    const QStringList codes{"vzs", "blag", "gr", "ZOMO", "gosnag", "posh"};
    topUp(db, orders, [&](int k) {
        const int i = static_cast<int>(rng() % n);
        const int c = static_cast<int>(rng() % 3 == 0 ? 0 : rng() % 6);
        const QDate when = QDate(2024, 1, 1).addDays(static_cast<int>(rng() % 1096));
        const bool lifted = c == 0 && rng() % 3 == 0;
        const QString liftedOn =
            lifted ? when.addDays(static_cast<int>(rng() % 400)).toString("dd.MM.yyyy") : QString();
        return QVariantList{i == 0 ? bigLn : QString("Л-%1").arg(100000 + i),
                            codes.at(c),
                            when.toString("dd.MM.yyyy"),
                            QString::number(k),
                            "Командир войсковой части",
                            c == 0 ? "Выговор" : "За образцовое исполнение обязанностей",
                            lifted ? "0" : "1",
                            lifted ? QString::number(k + 7) : QString(),
                            liftedOn};
    });
}

// The floor of the report: the same figures as one statement (per unit, per
// month of the orders and of the liftings, per serviceman with penalties in
// force) read into a plain table.
QString reportFloorSql(const Reports::Period &year)
{
    const QString day = Sql::text(Sql::REPORT_DAY);
    const int a = year.from.year() * 10000 + year.from.month() * 100 + year.from.day();
    const int b = year.to.year() * 10000 + year.to.month() * 100 + year.to.day();
    auto given = [](const char *code) {
        return QString("SUM(CASE WHEN what = '%1' AND d BETWEEN %2 AND %3 THEN 1 ELSE 0 END)").arg(code);
    };
    const QString inForce = "SUM(CASE WHEN what = 'vzs' AND d <= %1 AND (f = 1 OR l > %1) THEN 1 ELSE 0 END)";
    return QString("WITH o AS (SELECT COALESCE(c.VP, '') AS vp, c.LN AS ln, p.what AS what, %1 AS d, %2 AS l, "
                   "CASE WHEN p.actived_prikaz = '1' THEN 1 ELSE 0 END AS f FROM prikaz AS p JOIN Combat AS c "
                   "ON c.LN = p.LN) ")
               .arg(day.arg("p.Date_time"), day.arg("p.Data_snytie")) +
           QString("SELECT 'unit', vp, %1, SUM(CASE WHEN what = 'vzs' AND f = 0 AND l BETWEEN %4 AND %5 THEN 1 "
                   "ELSE 0 END), %2, %3, SUM(CASE WHEN d IS NULL THEN 1 ELSE 0 END) FROM o GROUP BY vp ")
               .arg(given("vzs").arg(a).arg(b), QString(inForce).arg(b),
                    QStringList{given("blag").arg(a).arg(b), given("gr").arg(a).arg(b),
                                given("ZOMO").arg(a).arg(b), given("gosnag").arg(a).arg(b),
                                given("posh").arg(a).arg(b)}
                        .join(", "))
               .arg(a)
               .arg(b) +
           QString("UNION ALL SELECT 'men', COALESCE(VP, ''), COUNT(*), 0, 0, 0, 0, 0, 0, 0, 0 FROM Combat GROUP BY "
                   "COALESCE(VP, '') "
                   "UNION ALL SELECT 'month', CAST(d / 100 AS TEXT), SUM(CASE WHEN what = 'vzs' THEN 1 ELSE 0 END), "
                   "SUM(CASE WHEN what <> 'vzs' THEN 1 ELSE 0 END), 0, 0, 0, 0, 0, 0, 0 FROM o WHERE d BETWEEN %1 "
                   "AND %2 GROUP BY d / 100 "
                   "UNION ALL SELECT 'lifted', CAST(l / 100 AS TEXT), COUNT(*), 0, 0, 0, 0, 0, 0, 0, 0 FROM o WHERE "
                   "what = 'vzs' AND f = 0 AND l BETWEEN %1 AND %2 GROUP BY l / 100 "
                   "UNION ALL SELECT 'man', ln, n, 0, 0, 0, 0, 0, 0, 0, 0 FROM (SELECT ln, %3 AS n FROM o GROUP BY "
                   "ln) AS m WHERE n > 0")
               .arg(a)
               .arg(b)
               .arg(QString(inForce).arg(b));
}

// The year's report on a register of `n` servicemen and `orders` orders, on
// the file and then on a new database of `pg` (when it runs), each against
// its floor; prints a line per measure and an ok/FAIL line per place. False
// when a check failed.
bool reportsBench(TestSupport::PgServer &pg, int n, int orders, int runs, const QString &bigLn)
{
    QSqlDatabase::removeDatabase(BENCH_CONNECTION);
    QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
    if (!makeDatabase(n, bigLn)) {
        fprintf(stderr, "reports: could not fill the database for N = %d\n", n);
        return false;
    }
    {
        QSqlDatabase db = QSqlDatabase::database(BENCH_CONNECTION);
        db.open();
        topUpDatedOrders(db, n, orders, bigLn);
        db.close();
    }
    QSqlDatabase::removeDatabase(BENCH_CONNECTION);
    const Reports::Period year{QDate(2025, 1, 1), QDate(2025, 12, 31)};
    QString why;
    if (!Connection::open(QDir::current().absoluteFilePath("data/BaseDate.db"), &why)) {
        fprintf(stderr, "reports: could not open the file: %s\n", qPrintable(why));
        return false;
    }
    bool ok = true;
    printf("%-28s %7s %10s %10s %8s %8s\n", "report of a year", "orders", "median ms", "floor ms", "x floor",
           "cpu ms");
    auto measure = [&](const char *where) {
        QTableWidget table(0, 11);
        Reports::Report report;
        const QString sql = reportFloorSql(year);
        // The program's own thread: all of the work on a file, none of the
        // server's.
        std::vector<double> cpu;
        const auto [ms, floorMs] = timePair(
            runs,
            [&] {
                const double before = threadCpuMs();
                report = Reports::build(year);
                cpu.push_back(threadCpuMs() - before);
            },
            [&] { floorFill(table, sql, 11); });
        if (!report.error.isEmpty() || table.rowCount() == 0)
            fprintf(stderr, "reports: %s: %s\n", where,
                    qPrintable(report.error.isEmpty() ? QString("the floor read nothing") : report.error));
        printf("%-28s %7d %10.1f %10.1f %8.2f %8.1f\n", qPrintable(QString("report (%1)").arg(where)), orders, ms,
               floorMs, floorMs > 0 ? ms / floorMs : 0.0, median(cpu));
        const bool met = ms <= 2 * floorMs && ms < 1000 && report.error.isEmpty();
        printf("%s report of a year on a %s (%d servicemen, %d orders) <= 2 x floor and under 1 s\n",
               met ? "ok  " : "FAIL", where, n, orders);
        ok = ok && met;
    };
    measure("file");
    QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
    if (pg.running()) {
        QString error;
        if (moveOntoServer(pg, &error).isEmpty()) {
            fprintf(stderr, "reports: could not fill the server: %s\n", qPrintable(error));
            return false;
        }
        QSqlQuery analyze;
        analyze.exec("ANALYZE prikaz");
        analyze.exec("ANALYZE Combat");
        measure("server");
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
        QSettings("settings.ini", QSettings::IniFormat).setValue("Database/kind", "sqlite");
    }
    return ok;
}

// A group order for 1,000 servicemen and a lifting order for 500 of its
// penalties, on the file and on a server behind a proxy of 50 ms a round
// trip, each against a floor in turns with it: the same rows written bare,
// on the file by one prepared statement in one transaction, on the server by
// one statement in a transaction (its values as one array). Prints a line
// per measure and an ok/FAIL line per goal; false when one was missed.
bool groupBench(TestSupport::PgServer &pg, int runs, const QString &bigLn)
{
    constexpr int MEN = 1000;
    constexpr int LIFTED = 500;
    QSqlDatabase::removeDatabase(BENCH_CONNECTION);
    QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
    QSettings("settings.ini", QSettings::IniFormat).setValue("Database/kind", "sqlite");
    if (!makeDatabase(MEN, bigLn)) {
        fprintf(stderr, "group: could not fill the database\n");
        return false;
    }
    QSqlDatabase::removeDatabase(BENCH_CONNECTION);
    QString why;
    if (!Connection::open(QDir::current().absoluteFilePath("data/BaseDate.db"), &why)) {
        fprintf(stderr, "group: could not open the file: %s\n", qPrintable(why));
        return false;
    }
    bool ok = true;
    printf("%-30s %7s %10s %10s %8s %7s\n", "group writes", "rows", "median ms", "floor ms", "x floor", "trips");
    int round = 0;
    auto measure = [&](const char *where, TestSupport::NetProxy *proxy) {
        const bool server = Sql::onServer();
        QStringList lns;
        {
            QSqlQuery men = Function::Myquery(QString("SELECT LN FROM Combat ORDER BY LN LIMIT %1").arg(MEN));
            while (men.next())
                lns << men.value(0).toString();
        }
        const QString ids = QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(lns)).toJson(QJsonDocument::Compact));
        // The floor: the order's rows, then the lifting of the first 500, bare.
        const auto floorAdd = [&](const QString &number) {
            if (server) {
                Function::Myquery("BEGIN");
                Query::numbered("INSERT INTO prikaz (LN, what, Date_time, prikaznom, kemvidan, nameZO, "
                                "actived_prikaz, ish_SU) SELECT value, 'vzs', '09.05.2025', $2, 'И', 'Н', '1', '' "
                                "FROM jsonb_array_elements_text(CAST($1 AS jsonb))",
                                {ids, number});
                Function::Myquery("COMMIT");
                return;
            }
            QSqlQuery q;
            q.exec("BEGIN");
            q.prepare("INSERT INTO prikaz (LN, what, Date_time, prikaznom, kemvidan, nameZO, actived_prikaz, ish_SU) "
                      "VALUES (?, 'vzs', '09.05.2025', ?, 'И', 'Н', '1', '')");
            for (const QString &ln : std::as_const(lns)) {
                q.addBindValue(ln);
                q.addBindValue(number);
                q.exec();
            }
            q.exec("COMMIT");
        };
        // The rows to lift, found before the floor's clock starts.
        const auto floorRows = [&](const QString &number) {
            QStringList rows;
            QSqlQuery q = Function::Myquery(
                QString("SELECT %1 FROM prikaz WHERE prikaznom = ? LIMIT %2").arg(server ? "id" : "rowid").arg(LIFTED),
                QVariantList{number}, QSqlDatabase());
            while (q.next())
                rows << q.value(0).toString();
            return rows;
        };
        const auto floorLift = [&](const QStringList &rows) {
            if (server) {
                Function::Myquery("BEGIN");
                Query::numbered("UPDATE prikaz SET actived_prikaz = '0', Data_snytie = '10.05.2025', Nomer_snytie "
                                "= 'с' WHERE id = ANY(CAST($1 AS bigint[]))",
                                {"{" + rows.join(",") + "}"});
                Function::Myquery("COMMIT");
                return;
            }
            QSqlQuery q;
            q.exec("BEGIN");
            q.prepare("UPDATE prikaz SET actived_prikaz = '0', Data_snytie = '10.05.2025', Nomer_snytie = 'с' "
                      "WHERE rowid = ?");
            for (const QString &row : rows) {
                q.addBindValue(row);
                q.exec();
            }
            q.exec("COMMIT");
        };
        std::vector<double> add, addFloor, lift, liftFloor;
        int addTrips = 0;
        int liftTrips = 0;
        bool written = true;
        for (int i = 0; i < runs; ++i, ++round) {
            const QString number = QString("г-%1").arg(round);
            const QString floorNumber = QString("ф-%1").arg(round);
            QElapsedTimer t;
            if (proxy)
                proxy->resetRoundTrips();
            t.start();
            written = GroupOrders::add(lns, "vzs", {"09.05.2025", number, "И", "Н", ""}).outcome ==
                          GroupOrders::Outcome::Done &&
                      written;
            add.push_back(t.nsecsElapsed() / 1e6);
            addTrips = proxy ? proxy->roundTrips() : 0;
            t.start();
            floorAdd(floorNumber);
            addFloor.push_back(t.nsecsElapsed() / 1e6);
            std::vector<GroupOrders::Penalty> all;
            std::vector<GroupOrders::Penalty> chosen;
            QSqlError error;
            GroupOrders::penaltiesInForce(&all, &error);
            for (const GroupOrders::Penalty &p : all)
                if (p.number == number && chosen.size() < size_t(LIFTED))
                    chosen.push_back(p);
            if (proxy)
                proxy->resetRoundTrips();
            t.start();
            written = GroupOrders::lift(chosen, "10.05.2025", "с").outcome == GroupOrders::Outcome::Done &&
                      chosen.size() == size_t(LIFTED) && written;
            lift.push_back(t.nsecsElapsed() / 1e6);
            liftTrips = proxy ? proxy->roundTrips() : 0;
            const QStringList rows = floorRows(floorNumber);
            t.start();
            floorLift(rows);
            liftFloor.push_back(t.nsecsElapsed() / 1e6);
        }
        const auto line = [&](const QString &name, int rows, double ms, double floorMs, int trips) {
            printf("%-30s %7d %10.1f %10.1f %8.2f %7d\n", qPrintable(name), rows, ms, floorMs,
                   floorMs > 0 ? ms / floorMs : 0.0, trips);
        };
        line(QString("group order (%1)").arg(where), MEN, median(add), median(addFloor), addTrips);
        line(QString("lifting order (%1)").arg(where), LIFTED, median(lift), median(liftFloor), liftTrips);
        const auto goal = [&](bool met, const QString &what) {
            printf("%s %s\n", met ? "ok  " : "FAIL", qPrintable(what));
            ok = ok && met;
        };
        goal(written, QString("group writes on a %1 written whole").arg(where));
        if (proxy) {
            goal(addTrips <= 4 && median(add) < 1000,
                 "group order for 1,000 on a server at 50 ms: <= 4 round trips, under 1 s");
            goal(liftTrips <= 4 && median(lift) < 1000,
                 "lifting order for 500 on a server at 50 ms: <= 4 round trips, under 1 s");
        } else {
            goal(median(add) < 1000 && median(add) <= 12 * median(addFloor),
                 "group order for 1,000 on a file: under 1 s, <= 12 x floor");
            goal(median(lift) < 1000 && median(lift) <= 12 * median(liftFloor),
                 "lifting order for 500 on a file: under 1 s, <= 12 x floor");
        }
    };
    measure("file", nullptr);
    QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
    if (pg.running()) {
        QString error;
        const QString database = moveOntoServer(pg, &error);
        if (database.isEmpty()) {
            fprintf(stderr, "group: could not fill the server: %s\n", qPrintable(error));
            return false;
        }
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
        TestSupport::NetProxy proxy(pg.port(), 50);
        pg.allowPort(proxy.port());
        pg.pointSettingsAt(database, QStringLiteral("clerk"), proxy.port());
        QString where;
        if (!Connection::openChosen({}, &where, &error)) {
            fprintf(stderr, "group: could not open the server: %s\n", qPrintable(error));
            return false;
        }
        measure("server", &proxy);
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
        QSettings("settings.ini", QSettings::IniFormat).setValue("Database/kind", "sqlite");
    }
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    // Started again as one of the clerks of the server measure.
    if (const int clerk = TestSupport::Clerks::clientMain(argc, argv); clerk >= 0)
        return clerk;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Application::initApplication();
    qSetMessagePattern("");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &msg) {
        if (type >= QtWarningMsg)
            fprintf(stderr, "%s\n", qPrintable(msg));
    });
    const QStringList arguments = app.arguments();
    const bool quick = arguments.contains("--quick");
    std::vector<int> sizes = quick ? std::vector<int>{1000} : std::vector<int>{1000, 5000, 20000};
    int runs = quick ? 1 : 9;
    // --size N and --runs R measure one size only (for profiling).
    if (const qsizetype i = arguments.indexOf("--size"); i > 0 && i + 1 < arguments.size())
        sizes = {arguments.at(i + 1).toInt()};
    if (const qsizetype i = arguments.indexOf("--runs"); i > 0 && i + 1 < arguments.size())
        runs = std::max(1, arguments.at(i + 1).toInt());
    // The commands on a server behind a delaying proxy: small and once with
    // --quick (so that it keeps working), else on request.
    const bool latencyOnly = arguments.contains("--latency-only");
    const bool latency = quick || latencyOnly || arguments.contains("--latency");
    const int latencySize = quick ? 200 : *std::max_element(sizes.begin(), sizes.end());
    if (latencyOnly)
        sizes.clear();

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    QDir::setCurrent(dir.path());
    const QString conf = QStringLiteral(VEDOMER_CONF_DIR);
    QFile::copy(conf + "/settingstab.conf", "settingstab.conf");
    QFile::copy(conf + "/settings.conf", "settings.conf");
    {
        QFile s("settings.ini");
        s.open(QIODevice::WriteOnly);
        s.write("[Path]\ndb=data\n");
    }
    QFile::copy(conf + "/settingstab-postgresql.conf", "settingstab-postgresql.conf");
    QFile::copy(conf + "/settings-postgresql.conf", "settings-postgresql.conf");
    // --import [N]: the import's measures alone.
    if (const qsizetype i = arguments.indexOf("--import"); i > 0) {
        const int n = i + 1 < arguments.size() && arguments.at(i + 1).toInt() > 0 ? arguments.at(i + 1).toInt()
                                                                                  : 20000;
        return importBench(n, quick ? 1 : std::min(runs, 3)) ? 0 : 1;
    }
    const QString bigLn = "Л-000000";
    std::vector<Measure> measures;
    // The same register on a local PostgreSQL server, where one can be started.
    TestSupport::PgServer pg;
    if (!pg.running())
        fprintf(stderr, "server measures skipped: %s\n", qPrintable(pg.missing()));
    struct FileSizes
    {
        int n;
        const char *what;
        qint64 bytes;
        qint64 floorBytes;
    };
    std::vector<FileSizes> pdfSizes;
    // The group writes alone.
    if (arguments.contains("--group"))
        return groupBench(pg, runs, bigLn) ? 0 : 1;
    // The commander's report alone.
    if (arguments.contains("--reports")) {
        const int servicemen = arguments.contains("--size") ? sizes.front() : 20000;
        return reportsBench(pg, servicemen, 15 * servicemen, runs, bigLn) ? 0 : 1;
    }
    for (int n : sizes) {
        QSqlDatabase::removeDatabase(BENCH_CONNECTION);
        if (!makeDatabase(n, bigLn)) {
            fprintf(stderr, "could not fill the database for N = %d\n", n);
            return 1;
        }
        QSqlDatabase::removeDatabase(BENCH_CONNECTION);

        // An order's add and change with their entries in the history,
        // against the same writes without them.
        const auto [withHistory, withoutHistory] = timeOrderWrites(quick ? 30 : 100);
        measures.push_back({"order write + history", n, withHistory, withoutHistory});

        // Construction with its first fill; each window opens the default
        // connection afresh, as at start-up.
        std::unique_ptr<MainWindow> window;
        const double construct = timeWindow<MainWindow>(
            runs, window, [] { return new MainWindow; },
            [] { QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection); });
        auto *summary = window->findChild<QTableWidget *>("tableWidget_6");

        const double floor = timeFloor(runs, summary->font(), Sql::text(Sql::SELECT_SUMMARY), 14);
        measures.push_back({"floor (summary)", n, floor, floor});
        measures.push_back({"construction", n, construct, floor});
        const double fill = timeMs(runs, {}, [&] { window->clear_tableWidgets(); });
        measures.push_back({"clear_tableWidgets", n, fill, floor});

        auto *search = window->findChild<QLineEdit *>("lineEdit");
        int found = 0;

        // The search, the row filters and the view of penalties in force, each
        // switched on over the full table as the user does. Each run of a
        // filter follows a run of the plain summary fill, so that both meet
        // the machine in the same state, and the filter is compared with that
        // fill: a fill that follows a filter puts every row in anew, where
        // the refill of an unchanged table above puts in none.
        auto *category = window->findChild<QComboBox *>("comboBox");
        auto *records = window->findChild<QCheckBox *>("checkBox");
        auto *units = window->findChild<QComboBox *>("comboBox_2");
        auto *inForce = window->findChild<QCheckBox *>("checkBox_2");
        // Widget states alone: no refill until the timed step.
        auto filters = [&](int categoryIndex, bool withRecords, int unitIndex, bool penalties) {
            category->setCurrentIndex(categoryIndex);
            records->setChecked(withRecords);
            units->setCurrentIndex(unitIndex);
            inForce->setChecked(penalties);
        };
        const int unit = units->count() / 2;
        auto filtered = [&](const char *name, const std::function<void()> &prepare,
                            const std::function<void()> &work) {
            std::vector<double> alone, inTurn;
            for (int i = 0; i < runs; ++i) {
                // The fill drops the search of the run before.
                inTurn.push_back(timeMs(1, [&] { filters(0, false, 0, false); }, [&] { window->clear_tableWidgets(); }));
                alone.push_back(timeMs(1, prepare, work, [&] { found = summary->rowCount(); }));
            }
            measures.push_back({QString("%1 (%2 rows left)").arg(QString::fromLatin1(name)).arg(found), n,
                                median(alone), floor, median(inTurn)});
        };
        filtered("records any", [&] { filters(0, false, 0, false); }, [&] { records->click(); });
        filtered("search", [&] { search->setText("иванович"); },
                 [&] { QMetaObject::invokeMethod(window.get(), "on_pushButton_clicked"); });
        filtered("records vzs", [&] { filters(1, false, 0, false); }, [&] { records->click(); });
        filtered("unit", [&] { filters(0, false, 0, false); },
                 [&] {
                     units->setCurrentIndex(unit);
                     emit units->activated(unit);
                 });
        filtered("in force", [&] { filters(0, false, 0, false); }, [&] { inForce->click(); });
        filtered(
            "all filters",
            [&] {
                filters(1, true, 0, true);
                search->setText("иванович");
            },
            [&] { QMetaObject::invokeMethod(window.get(), "on_pushButton_clicked"); });
        filters(0, false, 0, false);
        window->clear_tableWidgets();

        measures.push_back(
            {"recordfile", n, timeMs(runs, {}, [&] { window->recordfile(bigLn, "vzs"); }), floor});

        // The list window against the floor of its own statement.
        const double listFloor =
            timeFloor(runs, summary->font(), Sql::text(Sql::SELECT_ROSTER), 14);
        std::unique_ptr<voenosluga> list;
        measures.push_back({"floor (list)", n, listFloor, listFloor});
        measures.push_back(
            {"list window", n, timeWindow<voenosluga>(runs, list, [] { return new voenosluga; }), listFloor});
        list.reset();

        // The orders window of the serviceman with 2,000 penalties.
        const QString ordersSql =
            Sql::text(Sql::SELECT_ORDERS)
                .arg(QStringLiteral("prikaz"), Query::quote(bigLn), QStringLiteral("vzs"));
        const double orderFloor = timeFloor(runs, summary->font(), ordersSql, 8);
        std::unique_ptr<addfile> orders;
        measures.push_back({"floor (2,000 orders)", n, orderFloor, orderFloor});
        const double ordersMs =
            timeWindow<addfile>(runs, orders, [&] { return new addfile(bigLn, "vzs", "Иванов Иван Иванович"); });
        measures.push_back({"orders window (2,000)", n, ordersMs, orderFloor});
        orders.reset();

        QString text;
        measures.push_back({"print/export text", n,
                            timeMs(runs, {}, [&] { text = TableExport::html(summary, "black"); }), floor});
        for (const char *suffix : {".xls", ".xlsx"}) {
            const QString file = QString("export%1").arg(QString::fromLatin1(suffix));
            QString error;
            const double ms = timeMs(
                runs, [&] { QFile::remove(file); },
                [&] {
                    if (!TableExport::write(summary, file, &error))
                        fprintf(stderr, "export failed: %s\n", qPrintable(error));
                });
            measures.push_back({QString("export %1").arg(QString::fromLatin1(suffix)), n, ms, floor});
        }
        // The summary table printed to PDF: three runs each, a print being
        // seconds at 20,000.
        const int printRuns = std::min(runs, 3);
        {
            QString error;
            const Paper::Document texts = TablePrint::document(summary, QDate::currentDate());
            const auto [ms, floorMs] = timePair(
                printRuns,
                [&] {
                    if (Printing::savePdf(TablePrint::document(summary, QDate::currentDate()), "print.pdf", PAPER,
                                          PRINT_RESOLUTION, false, {}, &error) != Printing::Outcome::Done)
                        fprintf(stderr, "print failed: %s\n", qPrintable(error));
                },
                [&] { floorPdf("floor.pdf", texts, PAPER); });
            measures.push_back({"floor (print)", n, floorMs, floorMs});
            measures.push_back({"print to PDF", n, ms, floorMs});
            pdfSizes.push_back({n, "print", fileSize("print.pdf"), fileSize("floor.pdf")});
        }
        // Every serviceman's card, read from the database, to PDF.
        {
            QStringList numbers;
            for (int r = 0; r < summary->rowCount(); ++r)
                numbers.append(summary->item(r, SummaryColumns::LN)->text());
            const QPageLayout portrait(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                                       QPageLayout::Millimeter);
            QString error;
            // The floor's texts are made just before it paints and dropped
            // after, so that it finds the memory as the cards do (a whole
            // roster's document made anew) and the run holds one document.
            std::optional<Paper::Document> texts;
            int floorPages = 0;
            const auto [ms, floorMs] = timePair(
                printRuns,
                [&] {
                    texts.reset();
                    QStringList gone;
                    QSqlError failed;
                    const std::vector<Cards::Card> read = Cards::read(numbers, &gone, &failed);
                    if (Printing::savePdf(CardPrint::document(read, QDate::currentDate()), "cards.pdf", portrait,
                                          PRINT_RESOLUTION, false, {}, &error) != Printing::Outcome::Done)
                        fprintf(stderr, "cards failed: %s\n", qPrintable(error));
                },
                [&] { floorPages = floorPdf("floor-cards.pdf", *texts, portrait); },
                [&] {
                    QStringList missing;
                    QSqlError readError;
                    texts.emplace(CardPrint::document(Cards::read(numbers, &missing, &readError), QDate::currentDate()));
                });
            texts.reset();
            measures.push_back({"floor (cards)", n, floorMs, floorMs});
            measures.push_back({"cards to PDF", n, ms, floorMs});
            pdfSizes.push_back({n, "cards", fileSize("cards.pdf"), fileSize("floor-cards.pdf")});

            // 1,000 extracts from one order naming 1,000 servicemen, read
            // from the database, to PDF: per page against the cards' floor
            // per page. The order's rows go again after.
            const QString extractNumber = QStringLiteral("В-1000");
            const QString extractDate = QStringLiteral("01.02.2025");
            const int extracts = std::min<int>(1000, static_cast<int>(numbers.size()));
            QSqlDatabase db = QSqlDatabase::database();
            db.transaction();
            QSqlQuery insert(db);
            insert.prepare(QString::fromLatin1(Sql::INSERT_GROUP_ORDER));
            for (int i = 0; i < extracts; ++i) {
                insert.addBindValue(numbers.at(i));
                insert.addBindValue(QStringLiteral("blag"));
                insert.addBindValue(extractDate);
                insert.addBindValue(extractNumber);
                insert.addBindValue(QStringLiteral("командира войсковой части 00000"));
                insert.addBindValue(QStringLiteral("за отличные показатели в боевой подготовке и образцовый "
                                                   "порядок в подразделении"));
                insert.addBindValue(QString());
                if (!insert.exec())
                    fprintf(stderr, "extract order not added: %s\n", qPrintable(insert.lastError().text()));
            }
            db.commit();
            const double extractMs = timeMs(printRuns, {}, [&] {
                QSqlError failed;
                const std::vector<Extracts::Extract> read =
                    Extracts::read(QStringLiteral("blag"), extractNumber, extractDate, QString(), &failed);
                if (Printing::savePdf(ExtractPrint::document(read, ExtractPrint::Setup::stored()), "extracts.pdf",
                                      portrait, PRINT_RESOLUTION, false, {}, &error) != Printing::Outcome::Done)
                    fprintf(stderr, "extracts failed: %s\n", qPrintable(error));
            });
            QSqlQuery remove(db);
            remove.prepare(QStringLiteral("DELETE FROM prikaz WHERE prikaznom = ?"));
            remove.addBindValue(extractNumber);
            remove.exec();
            const int extractPages = pdfPages("extracts.pdf");
            if (extractPages != extracts)
                fprintf(stderr, "extracts: %d pages for %d servicemen\n", extractPages, extracts);
            measures.push_back({"floor (card page)", n, floorMs / std::max(floorPages, 1), 0});
            measures.push_back({"extract pages to PDF", n, extractMs / std::max(extractPages, 1),
                                floorMs / std::max(floorPages, 1)});
        }
        window.reset();
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);

        // A restore copies the whole database three times (the chosen file
        // to check it, the safety copy, the load into the live file): against
        // the one copy of a backup.
        const QString chosen = QString("copy%1.db").arg(n);
        QString error;
        auto report = [&error](bool done) {
            if (!done)
                fprintf(stderr, "copy failed: %s\n", qPrintable(error));
        };
        report(DatabaseCopy::backup("data/BaseDate.db", chosen, &error));
        const double copyFloor = timeMs(
            runs, [] { QFile::remove("floor.db"); },
            [&] { report(DatabaseCopy::backup("data/BaseDate.db", "floor.db", &error)); });
        measures.push_back({"floor (backup)", n, copyFloor, copyFloor});
        measures.push_back({"restore", n,
                            timeMs(runs, {}, [&] { report(DatabaseCopy::restore(chosen, "data", &error)); }),
                            copyFloor});
        // The counts put right at start: ten orders a serviceman, and one
        // serviceman in a hundred with a wrong count before each run.
        {
            QFile::remove("recount.db");
            report(DatabaseCopy::backup("data/BaseDate.db", "recount.db", &error));
            QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE");
            db.setDatabaseName("recount.db");
            db.open();
            const int orders = 10 * n;
            topUpOrders(db, n, orders, bigLn);
            QSqlQuery q(db);
            int corrected = 0;
            QSqlError failed;
            Recount::wholeRegister(&corrected, &failed);
            const double ms = timeMs(
                runs, [&] { q.exec("UPDATE Combat SET posh = '99' WHERE rowid % 100 = 0"); },
                [&] {
                    if (!Recount::wholeRegister(&corrected, &failed))
                        fprintf(stderr, "recount failed: %s\n", qPrintable(failed.text()));
                });
            measures.push_back({QString("recount at start (%1 orders, %2 wrong)").arg(orders).arg(corrected), n,
                                ms, 0});
            q = QSqlQuery();
            db.close();
        }
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
        if (pg.running()) {
            // The file's register moved onto a new server database, then the
            // same fills from there.
            QString error;
            if (moveOntoServer(pg, &error).isEmpty()) {
                fprintf(stderr, "could not fill the server for N = %d: %s\n", n, qPrintable(error));
                return 1;
            }
            window.reset(new MainWindow);
            // Against the same work on the file ("x floor" is "x file" here).
            measures.push_back(
                {"server summary fill", n, timeMs(runs, {}, [&] { window->clear_tableWidgets(); }), fill});
            measures.push_back(
                {"server orders window", n,
                 timeWindow<addfile>(runs, orders, [&] { return new addfile(bigLn, "vzs", "Иванов Иван Иванович"); }),
                 ordersMs});
            orders.reset();
            window.reset();
            QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
            QSettings("settings.ini", QSettings::IniFormat).setValue("Database/kind", "sqlite");
        }
    }
    // The history window on a long history: one serviceman's and the whole
    // register's first page (the window made with its first page, as the
    // other windows are measured), each against a plain table of the same
    // rows made and filled, in turns.
    int historyEntries = quick ? 50000 : 1000000;
    if (const qsizetype i = arguments.indexOf("--history"); i > 0 && i + 1 < arguments.size())
        historyEntries = std::max(1000, arguments.at(i + 1).toInt());
    if (!latencyOnly) {
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
        QFile::remove("data/history.db");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE");
            db.setDatabaseName("data/history.db");
            const int servicemen = std::max(1, historyEntries / 50);
            QElapsedTimer made;
            made.start();
            if (!db.open() || !makeHistory(db, historyEntries, servicemen)) {
                fprintf(stderr, "could not fill the history: %s\n", qPrintable(db.lastError().text()));
                return 1;
            }
            measures.push_back({"history fill (1 transaction)", historyEntries, made.nsecsElapsed() / 1e6, 0});
            const QString one = QString("Л-%1").arg(servicemen / 2, 6, 10, QChar('0'));
            std::unique_ptr<HistoryWindow> shown;
            std::unique_ptr<QTableWidget> plain;
            for (const QString &ln : {one, QString()}) {
                const auto [ms, floorMs] = timePair(
                    std::max(runs, 5), [&] { shown.reset(new HistoryWindow(ln, "Фамилия Имя Отчество")); },
                    [&] { floorHistory(plain, ln); },
                    [&] {
                        shown.reset();
                        plain.reset();
                    });
                const int rows = shown ? shown->findChild<QTableWidget *>("tableWidget")->rowCount() : 0;
                measures.push_back({QString(ln.isEmpty() ? "history register (%1 rows)" : "history one (%1 rows)")
                                        .arg(rows),
                                    historyEntries, ms, floorMs});
            }
            // The search goes through every entry the filters leave: one
            // serviceman's name over the whole register (no floor: told).
            shown.reset(new HistoryWindow);
            auto *search = shown->findChild<QLineEdit *>("search");
            const double searched = timeMs(1, [&] { search->setText("Фамилия7 Имя"); },
                                           [&] { emit search->returnPressed(); });
            measures.push_back({QString("history search (%1 rows)")
                                    .arg(shown->findChild<QTableWidget *>("tableWidget")->rowCount()),
                                historyEntries, searched, 0});
            shown.reset();
            db.close();
        }
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
        QFile::remove("data/history.db");
    }

    // The first start of a day with a large register (documents of a
    // server's copy, say): how long the window's thread goes without
    // answering while the daily copy of it is made, as the longest gap
    // between the ticks of a 10 ms timer there. Once: a copy of hundreds of
    // MB takes seconds.
    int copyMb = quick ? 20 : 400;
    if (const qsizetype i = arguments.indexOf("--copy-mb"); i > 0 && i + 1 < arguments.size())
        copyMb = std::max(1, arguments.at(i + 1).toInt());
    double startGapMs = -1;
    double dailyCopyMs = 0;
    if (!latencyOnly) {
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", BENCH_CONNECTION);
            db.setDatabaseName("data/BaseDate.db");
            QSqlQuery q(db);
            if (!db.open() || !q.exec("CREATE TABLE Ballast (b BLOB)") ||
                !q.exec(QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                "INSERT INTO Ballast SELECT zeroblob(1048576) FROM n")
                            .arg(copyMb)))
                fprintf(stderr, "could not make the large register: %s\n", qPrintable(q.lastError().text()));
            q = QSqlQuery();
            db.close();
        }
        QSqlDatabase::removeDatabase(BENCH_CONNECTION);
        const QString daily = AutoBackup::name("data", QDate::currentDate());
        QFile::remove(daily);
        auto window = std::make_unique<MainWindow>();
        QTimer ticks;
        ticks.setInterval(10);
        QElapsedTimer tick, copying;
        qint64 longest = 0;
        QObject::connect(&ticks, &QTimer::timeout, [&] { longest = std::max(longest, tick.nsecsElapsed()); tick.start(); });
        ticks.start();
        tick.start();
        copying.start();
        window->backupDaily();
        while (window->dailyCopyRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        dailyCopyMs = copying.nsecsElapsed() / 1e6;
        longest = std::max(longest, tick.nsecsElapsed());
        ticks.stop();
        if (AutoBackup::isSoundCopy(daily))
            startGapMs = longest / 1e6;
        else
            fprintf(stderr, "the daily copy was not made\n");
        window.reset();
        QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
        QFile::remove(daily);
        QFile::remove("data/BaseDate.db");
    }

    // Ten clerks writing at once into one server register, each a process
    // of its own through the program's storage functions, for a minute
    // (--clerks-seconds S; 5 s with --quick): the writes a second they get
    // done, and whether every one of them is found afterwards.
    int clerkSeconds = quick ? 5 : 60;
    if (const qsizetype i = arguments.indexOf("--clerks-seconds"); i > 0 && i + 1 < arguments.size())
        clerkSeconds = std::max(1, arguments.at(i + 1).toInt());
    TestSupport::Clerks::Outcome clerks;
    if (pg.running()) {
        const QString name = pg.createDatabase();
        pg.pointSettingsAt(name);
        Function::ver();
        {
            const QSqlDatabase check = pg.connect("bench-clerks", name);
            clerks = TestSupport::Clerks::run(app.applicationFilePath(), check, 10, clerkSeconds);
        }
        QSqlDatabase::removeDatabase("bench-clerks");
        QSettings("settings.ini", QSettings::IniFormat).setValue("Database/kind", "sqlite");
    }

    // The memory of the measures above, before the latency table's own register.
    const long peak = peakRssMb();
    std::vector<Latency> latencies;
    bool latencyMet = true;
    if (latency && pg.running())
        latencies = latencyTable(pg, latencySize, {10, 50}, quick ? 1 : runs, bigLn);

    if (!latencyOnly)
        printf("%-28s %7s %10s %8s\n", "measure", "N", "median ms", "x floor");
    for (const Measure &m : measures)
        printf("%-28s %7d %10.1f %8.2f\n", qPrintable(m.name), m.n, m.ms,
               m.floorMs > 0 ? m.ms / m.floorMs : 0.0);
    for (const FileSizes &f : pdfSizes)
        printf("%-28s %7d %10.1f %8.2f\n", qPrintable(QString("%1 PDF size (MB)").arg(f.what)), f.n,
               f.bytes / 1e6, f.floorBytes > 0 ? double(f.bytes) / f.floorBytes : 0.0);
    if (!latencyOnly)
        printf("%-28s %7d %10.1f  (copy %.0f ms)\n", "start: longest gap, MB copy", copyMb, startGapMs, dailyCopyMs);
    if (!latencies.empty()) {
        printf("\non a server of %d servicemen and %d orders, through a proxy adding a round trip:\n", latencySize,
               10 * latencySize);
        printf("%-28s %7s %10s %8s %8s  %s\n", "command", "rtt ms", "ms", "trips", "cpu ms", "goal");
        for (const Latency &l : latencies)
            printf("%-28s %7d %10.1f %8d %8.1f  %s\n", qPrintable(l.name), l.roundTripMs, l.ms, l.trips, l.cpuMs,
                   qPrintable(verdict(l)));
        // On a server 50 ms away: every interactive command under 0.5 s,
        // every write in at most four round trips, backup and restore in a
        // few dozen.
        QStringList slow, chatty;
        for (const Latency &l : latencies) {
            if (l.roundTripMs == 50 && l.interactive && l.info.isEmpty() && l.ms >= 500)
                slow.append(l.name);
            if ((l.write && l.trips > 4) || (!l.interactive && l.trips > COPY_TRIPS))
                chatty.append(QString("%1 (%2 ms)").arg(l.name).arg(l.roundTripMs));
        }
        latencyMet = slow.isEmpty() && chatty.isEmpty();
        printf("%s every interactive command under 0.5 s at 50 ms round trip (the clerk's commands; the opening "
               "is shown, not judged), "
               "every write in at most 4 round trips, backup and restore in at most %d\n",
               latencyMet ? "ok  " : "FAIL", COPY_TRIPS);
        if (!slow.isEmpty())
            printf("     slower: %s\n", qPrintable(slow.join(", ")));
        // What the program itself adds to the network, free of a busy
        // machine: its own processor time and the round trips (the server's
        // own work is not in it).
        QStringList over;
        for (const Latency &l : latencies) {
            if (l.roundTripMs == 50 && l.interactive && l.info.isEmpty() && l.cpuMs + 50 * l.trips >= 500)
                over.append(l.name);
        }
        printf("info own work + round trips at 50 ms under 0.5 s: %s\n",
               over.isEmpty() ? "every interactive command" : qPrintable("all but " + over.join(", ")));
        if (!chatty.isEmpty())
            printf("     more round trips: %s\n", qPrintable(chatty.join(", ")));
    }
    printf("peak resident memory: %ld MB\n", peak);
    if (pg.running()) {
        printf("server, 10 clerks at once: %.0f writes/s (%d writes in %.1f s, %d refused and told)\n",
               clerks.seconds > 0 ? clerks.written / clerks.seconds : 0.0, clerks.written, clerks.seconds,
               clerks.refused);
        for (auto i = clerks.reasons.cbegin(); i != clerks.reasons.cend(); ++i)
            printf("  refused %5d x %s\n", i.value(), qPrintable(i.key()));
        for (const QString &problem : std::as_const(clerks.problems))
            fprintf(stderr, "10 clerks: %s\n", qPrintable(problem));
    }

    // The speed the program must reach, as ratios within this run.
    if (!app.arguments().contains("--check"))
        return 0;
    bool ok = true;
    auto find = [&](const QString &prefix, int n) -> const Measure * {
        for (const Measure &m : measures)
            if (m.n == n && m.name.startsWith(prefix))
                return &m;
        return nullptr;
    };
    auto require = [&](bool holds, const QString &what) {
        printf("%s %s\n", holds ? "ok  " : "FAIL", qPrintable(what));
        ok = ok && holds;
    };
    ok = ok && latencyMet;
    for (int n : sizes) {
        const Measure *fill = find("clear_tableWidgets", n);
        const Measure *search = find("search (", n);
        const Measure *list = find("list window", n);
        const Measure *orders = find("orders window", n);
        require(fill->ms <= 2 * fill->floorMs, QString("summary fill at %1 <= 2 x floor").arg(n));
        require(search->ms <= 1.2 * search->fillMs, QString("search at %1 <= 1.2 x summary fill (%2 ms in turn with it)")
                                                        .arg(n)
                                                        .arg(search->fillMs, 0, 'f', 1));
        for (const char *name : {"records any", "records vzs", "unit", "in force", "all filters"}) {
            const Measure *filter = find(QString::fromLatin1(name) + " (", n);
            require(filter->ms <= 1.2 * filter->fillMs,
                    QString("%1 at %2 <= 1.2 x summary fill (%3 ms in turn with it)")
                        .arg(name)
                        .arg(n)
                        .arg(filter->fillMs, 0, 'f', 1));
        }
        require(list->ms <= 1.5 * list->floorMs, QString("list window at %1 <= 1.5 x floor").arg(n));
        require(orders->ms <= 2 * orders->floorMs, QString("orders window at %1 <= 2 x floor").arg(n));
        const Measure *writes = find("order write + history", n);
        require(writes->ms <= 1.2 * writes->floorMs,
                QString("order add + change with its history at %1 <= 1.2 x without").arg(n));
        // On a local server: within twice the same work on the file.
        if (const Measure *server = find("server summary fill", n); server && n >= 20000)
            require(server->ms <= 2 * server->floorMs, QString("server summary fill at %1 <= 2 x file's").arg(n));
        if (const Measure *server = find("server orders window", n))
            require(server->ms <= 2 * server->floorMs, QString("server orders window at %1 <= 2 x file's").arg(n));
        for (const char *what : {"print to PDF", "cards to PDF", "extract pages to PDF"}) {
            const Measure *m = find(what, n);
            require(m->ms <= 2 * m->floorMs, QString("%1 at %2 <= 2 x floor").arg(what).arg(n));
        }
        for (const FileSizes &f : pdfSizes)
            if (f.n == n)
                require(f.bytes <= 2 * f.floorBytes, QString("%1 PDF size at %2 <= 2 x floor's").arg(f.what).arg(n));
    }
    for (const char *what : {"history one", "history register"}) {
        const Measure *m = find(what, historyEntries);
        require(m && m->ms <= 2 * m->floorMs,
                QString("%1 at %2 entries <= 2 x floor").arg(what).arg(historyEntries));
    }
    if (!latencyOnly)
        require(startGapMs >= 0 && startGapMs < 100,
            QString("window's longest gap at start while a %1 MB daily copy runs < 100 ms").arg(copyMb));
    if (std::find(sizes.begin(), sizes.end(), 20000) != sizes.end()) {
        for (const Measure &m : measures) {
            if (m.n != 20000)
                continue;
            if (m.name.startsWith("floor")) {
                // What the machine itself gives: the floor's own growth.
                if (const Measure *small = find(m.name, 5000))
                    printf("info %s: 20,000 = %.2f x 5,000\n", qPrintable(m.name), m.ms / small->ms);
                continue;
            }
            // The same measure at 5,000 ("search" names its rows left).
            const Measure *small = find(m.name.section(QStringLiteral(" ("), 0, 0), 5000);
            if (small)
                require(m.ms <= 4.6 * small->ms, QString("%1: 20,000 <= 4.6 x 5,000").arg(m.name));
        }
        if (const Measure *recount = find("recount at start", 20000))
            require(recount->ms < 300, "recount at start at 20,000 (200,000 orders) < 0.3 s");
        require(peak < 400, "peak memory at 20,000 < 400 MB");
    }
    if (pg.running())
        require(clerks.problems.isEmpty() && clerks.written > 0,
                "10 clerks at once: every write found, none lost, every refusal told, none hung");
    if (!latencyOnly && !groupBench(pg, quick ? 1 : 3, bigLn))
        ok = false;
    return ok ? 0 : 1;
}
