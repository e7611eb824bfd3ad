#include "clerks.h"

#include "function.h"
#include "storage/db/connection.h"
#include "storage/db/errors.h"
#include "storage/register/orders.h"
#include "storage/register/recount.h"
#include "storage/register/servicemen.h"
#include "storage/setup/opening.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace TestSupport::Clerks {

namespace {

const char CLIENT[] = "--clerk-client";
const char SHARED[] = "shared";
const char DATE[] = "01.02.2020";

QString own(int clerk)
{
    return QStringLiteral("own%1").arg(clerk);
}

// One clerk's writes and what he believes they left.
struct Clerk
{
    int index = 0;
    int written = 0;
    QStringList lines;

    // A write that was not done must have been told with a reason.
    bool told(bool done, const QSqlError &error, const QString &op = QString())
    {
        if (done) {
            ++written;
            return true;
        }
        lines << QStringLiteral("R\t") + Errors::describe(error) + QStringLiteral("\t") +
                     error.nativeErrorCode() + QLatin1Char(' ') + op;
        return false;
    }
    // An order only this clerk writes is never found changed by another.
    bool told(const Orders::Result &r)
    {
        if (r.outcome != Orders::Outcome::Done && r.outcome != Orders::Outcome::Failed)
            lines << QStringLiteral("X\tan order of its own found %1: ")
                             .arg(r.outcome == Orders::Outcome::Gone      ? QStringLiteral("without its serviceman")
                                  : r.outcome == Orders::Outcome::Several ? QStringLiteral("twice")
                                                                          : QStringLiteral("changed")) +
                         r.statement;
        return told(r.outcome == Orders::Outcome::Done, r.error, r.statement.left(30));
    }

    void orders(const QString &ln, int k)
    {
        const QString code = QLatin1String(k % 3 ? Code::VZS : Code::BLAG);
        const QString number = QStringLiteral("%1-%2").arg(index).arg(k);
        Orders::Fields fields{QString::fromLatin1(DATE), number, QStringLiteral("штаб"),
                              QStringLiteral("приказ ") + number, QString()};
        Orders::Result r = Orders::add(ln, code, fields);
        if (!told(r))
            return;
        QString name = fields.name, active = QStringLiteral("1");
        const Orders::Loaded added{fields.name, fields.date, fields.issuer, QString(),
                                   QString(),   QString(),   active};
        fields.name = QStringLiteral("изменён ") + number;
        r = Orders::change(ln, code, number, QString(), added, fields);
        if (told(r))
            name = fields.name;
        if (code == QLatin1String(Code::VZS)) {
            const Orders::Loaded changed{name,      fields.date, fields.issuer, QString(),
                                         QString(), QString(),   active};
            r = Orders::lift(ln, code, number, QString(), changed, QStringLiteral("02.02.2020"),
                             QStringLiteral("с") + number);
            if (told(r))
                active = QStringLiteral("0");
        }
        lines << QStringList{QStringLiteral("O"), ln, code, number, name, active}.join(QLatin1Char('\t'));
        QSqlError error;
        told(Recount::category(ln, code, &error) == Recount::Result::Done, error, "recount");
    }

    // The form's save of a serviceman as read just before: the shared one
    // goes one version up, which only one of the clerks who read a version
    // may write.
    void save(const QString &ln, int k)
    {
        Servicemen::Fields loaded;
        QSqlError error;
        if (!Servicemen::read(ln, &loaded)) {
            lines << QStringLiteral("X\t%1 not read").arg(ln);
            return;
        }
        Servicemen::Entry entry;
        entry.fields = loaded;
        const int version = ln == QLatin1String(SHARED)
                                ? loaded[Servicemen::FIO].section(QLatin1Char(' '), 1).toInt() + 1
                                : k;
        entry.fields[Servicemen::FIO] = QStringLiteral("Версия %1").arg(version);
        const Servicemen::Outcome outcome = Servicemen::change(ln, loaded, entry, &error);
        if (outcome == Servicemen::Outcome::Changed) {
            lines << QStringLiteral("R\tсведения о военнослужащем тем временем изменил другой пользователь");
            return;
        }
        if (!told(outcome == Servicemen::Outcome::Saved, error, "save"))
            return;
        lines << (ln == QLatin1String(SHARED)
                      ? QStringLiteral("V\t%1").arg(version)
                      : QStringLiteral("F\t%1\t%2").arg(ln, entry.fields[Servicemen::FIO]));
    }
};

} // namespace

int clientMain(int argc, char **argv)
{
    if (argc < 4 || qstrcmp(argv[1], CLIENT) != 0)
        return -1;
    QCoreApplication app(argc, argv);
    // Without the program's set-up: the connection's hooks alone.
    Opening::install();
    QString where, reason;
    if (!Connection::openChosen({}, &where, &reason)) {
        std::printf("R\tне подключён: %s\n", qPrintable(reason));
        return 2;
    }
    Clerk clerk;
    clerk.index = QByteArray(argv[2]).toInt();
    const qint64 until = QByteArray(argv[3]).toLongLong() * 1000;
    QElapsedTimer timer;
    timer.start();
    for (int k = 1; timer.elapsed() < until; ++k) {
        clerk.orders(k % 2 ? own(clerk.index) : QString::fromLatin1(SHARED), k);
        clerk.save(k % 4 == 0 ? own(clerk.index) : QString::fromLatin1(SHARED), k);
    }
    // The last closing of the shared serviceman's windows: recounted until
    // it is done, as the next start would put it right.
    for (const char *code : {Code::VZS, Code::BLAG}) {
        QSqlError error;
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (Recount::category(QString::fromLatin1(SHARED), QString::fromLatin1(code), &error) ==
                Recount::Result::Done)
                break;
        }
    }
    clerk.lines << QStringLiteral("W\t%1").arg(clerk.written);
    std::printf("%s\n", clerk.lines.join(QLatin1Char('\n')).toUtf8().constData());
    return 0;
}

Outcome run(const QString &program, const QSqlDatabase &db, int clients, int seconds)
{
    Outcome out;
    QSqlQuery q(db);
    auto exec = [&](const QString &sql, const QVariantList &values = {}) {
        q.prepare(sql);
        for (const QVariant &v : values)
            q.addBindValue(v);
        if (!q.exec())
            out.problems << sql + QStringLiteral(": ") + q.lastError().text();
        return q.isActive();
    };
    exec(QStringLiteral("INSERT INTO Combat (LN, FIO) VALUES (?, 'Версия 0')"),
         {QString::fromLatin1(SHARED)});
    for (int i = 0; i < clients; ++i)
        exec(QStringLiteral("INSERT INTO Combat (LN, FIO) VALUES (?, 'Свой')"), {own(i)});
    std::vector<std::unique_ptr<QProcess>> processes;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < clients; ++i) {
        processes.push_back(std::make_unique<QProcess>());
        // Nothing waits on a full pipe: the report goes into a file, the
        // debug lines nowhere.
        processes.back()->setStandardOutputFile(QStringLiteral("clerk%1.out").arg(i));
        processes.back()->setStandardErrorFile(QProcess::nullDevice());
        processes.back()->start(program,
                                {QString::fromLatin1(CLIENT), QString::number(i), QString::number(seconds)});
    }
    QMap<QString, QStringList> orders;
    QSet<int> versions;
    // Each serviceman's last save: later lines of a clerk come later.
    QMap<QString, QString> saved{{QString::fromLatin1(SHARED), QStringLiteral("Версия 0")}};
    for (size_t i = 0; i < processes.size(); ++i) {
        QProcess *p = processes[i].get();
        // The watchdog: a clerk still writing long after his time hangs.
        if (!p->waitForFinished(std::max<qint64>(1000, (seconds + 60) * 1000 - timer.elapsed()))) {
            out.problems << QStringLiteral("a clerk hung");
            p->kill();
            p->waitForFinished();
        }
        if (p->exitCode() != 0)
            out.problems << QStringLiteral("a clerk ended with %1").arg(p->exitCode());
        QFile report(QStringLiteral("clerk%1.out").arg(i));
        report.open(QIODevice::ReadOnly);
        const QStringList lines =
            QString::fromUtf8(report.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &line : lines) {
            const QStringList f = line.split(QLatin1Char('\t'));
            if (f[0] == QLatin1String("W")) {
                out.written += f.value(1).toInt();
            } else if (f[0] == QLatin1String("R")) {
                ++out.refused;
                ++out.reasons[f.value(1) + QLatin1Char(' ') + f.value(2)];
                // Told as the general refusal, the user would not know why.
                if (f.value(1).isEmpty() || f.value(1) == QStringLiteral("база данных отказала"))
                    out.problems << QStringLiteral("refused without a reason: ") + line;
            } else if (f[0] == QLatin1String("O")) {
                orders.insert(f.mid(1, 3).join(QLatin1Char('\t')), f.mid(4));
            } else if (f[0] == QLatin1String("V")) {
                if (versions.contains(f[1].toInt()))
                    out.problems << QStringLiteral("version %1 saved twice: a lost update").arg(f[1]);
                versions.insert(f[1].toInt());
                if (f[1].toInt() > saved[QString::fromLatin1(SHARED)].section(QLatin1Char(' '), 1).toInt())
                    saved[QString::fromLatin1(SHARED)] = QStringLiteral("Версия ") + f[1];
            } else if (f[0] == QLatin1String("X")) {
                out.problems << f.value(1);
            } else if (f[0] == QLatin1String("F")) {
                saved[f[1]] = f[2];
            }
        }
    }
    out.seconds = timer.elapsed() / 1000.0;
    // Every order a clerk was told was written is there as he left it, and
    // no other.
    exec(QStringLiteral("SELECT LN, what, prikaznom, nameZO, actived_prikaz FROM prikaz"));
    int found = 0;
    while (q.next()) {
        ++found;
        const QString key =
            QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()}.join(
                QLatin1Char('\t'));
        if (orders.value(key) != QStringList{q.value(3).toString(), q.value(4).toString()})
            out.problems << QStringLiteral("order not as written: ") + key;
    }
    if (found != orders.size())
        out.problems << QStringLiteral("%1 orders written, %2 found").arg(orders.size()).arg(found);
    exec(QStringLiteral("SELECT LN, FIO FROM Combat"));
    while (q.next()) {
        if (saved.value(q.value(0).toString(), q.value(1).toString()) != q.value(1).toString())
            out.problems << QStringLiteral("the last save of %1 is lost").arg(q.value(0).toString());
    }
    // The counts the summary shows are the orders counted afresh.
    exec(QStringLiteral(
        "SELECT c.LN FROM Combat c WHERE COALESCE(c.vzs, '0') <> (SELECT count(*) FROM prikaz p WHERE "
        "p.LN = c.LN AND what = 'vzs' AND actived_prikaz = '1')::text OR COALESCE(c.blag, '0') <> "
        "(SELECT count(*) FROM prikaz p WHERE p.LN = c.LN AND what = 'blag')::text"));
    while (q.next())
        out.problems << QStringLiteral("counts of %1 differ from the orders").arg(q.value(0).toString());
    return out;
}

} // namespace TestSupport::Clerks
