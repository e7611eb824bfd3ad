#include "testsupport.h"

#include "function.h"
#include "pgserver.h"
#include "storage/register/orders.h"
#include "storage/register/servicemen.h"
#include "view/application.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTest>

namespace TestSupport {

namespace {
const char TEST_CONNECTION[] = "testsupport";

QString settingsText()
{
    return QStringLiteral("[Path]\ndb=data\n");
}
} // namespace

void initTestCase()
{
    Application::initApplication();
    failOnSlotWarnings();
}

void failOnSlotWarnings()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("connectSlotsByName")));
}

WorkDir::WorkDir(Database database)
{
    if (!m_dir.isValid())
        return;
    m_previous = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    const QString conf = QStringLiteral(VEDOMER_CONF_DIR);
    bool ok = true;
    for (const char *name : {"settingstab.conf", "settings.conf", "settingstab-postgresql.conf", "settings-postgresql.conf"}) {
        const QString file = QString::fromLatin1(name);
        ok = QFile::copy(conf + QLatin1Char('/') + file, file) && ok;
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    }
    writeFile(QStringLiteral("settings.ini"), settingsText().toUtf8());
    ok = ok && QDir().mkpath(QStringLiteral("files"));
    if (database == WithDatabase) {
        Function::ver();
        ok = ok && QFile::exists(QStringLiteral("data/BaseDate.db"));
    }
    m_valid = ok;
}

WorkDir::~WorkDir()
{
    {
        QSqlDatabase test = QSqlDatabase::database(QString::fromLatin1(TEST_CONNECTION), false);
        if (test.isValid())
            test.close();
    }
    QSqlDatabase::removeDatabase(QString::fromLatin1(TEST_CONNECTION));
    {
        QSqlDatabase main =
            QSqlDatabase::database(QString::fromLatin1(QSqlDatabase::defaultConnection), false);
        if (main.isValid())
            main.close();
    }
    QSqlDatabase::removeDatabase(QString::fromLatin1(QSqlDatabase::defaultConnection));
    if (!m_previous.isEmpty())
        QDir::setCurrent(m_previous);
}

void WorkDir::writeFile(const QString &relative, const QByteArray &content) const
{
    const QString full = m_dir.filePath(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile f(full);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(content);
}

bool WorkDir::readText(const QString &relative, QString *text) const
{
    QFile f(m_dir.filePath(relative));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    *text = QString::fromUtf8(f.readAll());
    return true;
}

static QString &overridden()
{
    static QString name;
    return name;
}

void useTestConnection(const QString &name)
{
    overridden() = name;
}

QString useNewServerDatabase(PgServer &pg, const QString &connection, bool verify)
{
    const QString name = pg.createDatabase();
    pg.pointSettingsAt(name);
    if (verify)
        Function::ver();
    QSqlDatabase::removeDatabase(connection);
    pg.connect(connection, name);
    useTestConnection(connection);
    return name;
}

QSqlDatabase testDb()
{
    if (!overridden().isEmpty())
        return QSqlDatabase::database(overridden());
    const QString name = QString::fromLatin1(TEST_CONNECTION);
    QSqlDatabase db = QSqlDatabase::database(name, false);
    if (!db.isValid()) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }
    const QString file = QDir::current().absoluteFilePath(QStringLiteral("data/BaseDate.db"));
    if (db.databaseName() != file) {
        db.close();
        db.setDatabaseName(file);
    }
    if (!db.isOpen())
        db.open();
    return db;
}

namespace {
bool run(QSqlQuery &q, const QString &sql, const QVariantList &values)
{
    // Without values the statement runs as it stands (a server prepares
    // only queries, and runs several statements of one text).
    if (values.isEmpty()) {
        if (q.exec(sql))
            return true;
        qWarning("test statement failed: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return false;
    }
    if (!q.prepare(sql)) {
        qWarning("test statement not prepared: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return false;
    }
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        qWarning("test statement failed: %s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return false;
    }
    return true;
}
} // namespace

bool exec(const QString &sql, const QVariantList &values)
{
    QSqlQuery q(testDb());
    return run(q, sql, values);
}

QList<QStringList> rows(const QString &sql, const QVariantList &values)
{
    QList<QStringList> result;
    QSqlQuery q(testDb());
    if (!run(q, sql, values))
        return result;
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < q.record().count(); ++i)
            row.append(q.value(i).toString());
        result.append(row);
    }
    return result;
}

QString value(const QString &sql, const QVariantList &values)
{
    const QList<QStringList> r = rows(sql, values);
    return r.isEmpty() || r.first().isEmpty() ? QString() : r.first().first();
}

QString pdfText(const QString &file, int first, int last)
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        return QString();
    QStringList arguments{QStringLiteral("-raw"), QStringLiteral("-enc"), QStringLiteral("UTF-8")};
    if (first > 0)
        arguments << QStringLiteral("-f") << QString::number(first);
    if (last > 0)
        arguments << QStringLiteral("-l") << QString::number(last);
    arguments << file << QStringLiteral("-");
    QProcess process;
    process.start(pdftotext, arguments);
    if (!process.waitForFinished(120000))
        return QStringLiteral("pdftotext did not finish");
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString dump()
{
    QString out;
    const QList<QStringList> tables =
        rows(QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type='table' ORDER BY name"));
    for (const QStringList &t : tables) {
        out += QStringLiteral("## %1\n%2\n").arg(t.at(0), t.at(1));
        QSqlQuery q(testDb());
        if (!run(q, QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(t.at(0)), {}))
            continue;
        while (q.next()) {
            QStringList cells;
            for (int i = 0; i < q.record().count(); ++i) {
                const QVariant v = q.value(i);
                cells.append(v.isNull() ? QStringLiteral("<NULL>")
                                        : QStringLiteral("%1:%2").arg(QString::fromLatin1(v.typeName()),
                                                                      v.toString()));
            }
            out += cells.join(QLatin1Char('|')) + QLatin1Char('\n');
        }
    }
    return out;
}

QStringList readColumn(const QString &database, const QString &sql)
{
    QStringList out;
    const QString name = QStringLiteral("testsupport_read");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(database);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            if (!q.exec(sql))
                out << QStringLiteral("<not read>");
            while (q.next())
                out << q.value(0).toString();
        } else {
            out << QStringLiteral("<not opened>");
        }
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

QByteArray fileContent(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool execIn(const QString &database, const QStringList &statements)
{
    const QString name = QStringLiteral("testsupport_exec");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(database);
        ok = db.open();
        for (const QString &sql : statements) {
            QSqlQuery q(db);
            ok = ok && run(q, sql, {});
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool addServiceman(const Serviceman &s)
{
    QVariantList values{s.VP, s.Dol, s.VZ, s.FIO, s.Data_comb, s.LN};
    for (int i = 0; i < 6; ++i) {
        const QString c = s.counts.value(i);
        values.append(c.isNull() ? QVariant() : QVariant(c));
    }
    values.append(s.Dolz_nom);
    values.append(s.Zvan_nom);
    return exec(QStringLiteral("INSERT INTO Combat (VP, Dol, VZ, FIO, Data_comb, LN, vzs, blag, gr, ZOMO, "
                               "gosnag, posh, Dolz_nom, Zvan_nom) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
                values);
}

bool addServiceman(const QString &vp, const QString &fio, const QString &ln)
{
    Serviceman s;
    s.VP = vp;
    s.FIO = fio;
    s.LN = ln;
    s.Dol = QStringLiteral("Стрелок");
    s.VZ = QStringLiteral("Рядовой");
    s.Data_comb = QStringLiteral("01.01.2000 0:00");
    s.Dolz_nom = QStringLiteral("13");
    s.Zvan_nom = QStringLiteral("20");
    return addServiceman(s);
}

bool addOrder(const Order &o)
{
    return exec(QStringLiteral("INSERT INTO prikaz (LN, what, Date_time, prikaznom, kemvidan, nameZO, "
                               "actived_prikaz, ish_SU, Nomer_snytie, Data_snytie) VALUES "
                               "(?,?,?,?,?,?,?,?,?,?)"),
                {o.LN, o.what, o.Date_time, o.prikaznom, o.kemvidan, o.nameZO, o.actived_prikaz, o.ish_SU,
                 o.Nomer_snytie, o.Data_snytie});
}

bool addOrdersForCounts(const Serviceman &s)
{
    const QStringList codes{"vzs", "blag", "gr", "ZOMO", "gosnag", "posh"};
    for (int i = 0; i < 6; ++i) {
        for (int n = 1; n <= s.counts.value(i).toInt(); ++n) {
            Order o;
            o.LN = s.LN;
            o.what = codes.at(i);
            o.Date_time = QStringLiteral("01.01.2020");
            o.prikaznom = QString::number(n);
            if (!addOrder(o))
                return false;
        }
    }
    return true;
}

ModalAnswerer::ModalAnswerer()
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    m_timer.start();
}

ModalAnswerer::~ModalAnswerer() = default;

namespace {
QString plain(QString text)
{
    return text.remove(QLatin1Char('&'));
}
} // namespace

ModalAnswerer &ModalAnswerer::button(const QString &text)
{
    m_plan.append([text](QWidget *w) {
        const QList<QAbstractButton *> buttons = w->findChildren<QAbstractButton *>();
        for (QAbstractButton *b : buttons) {
            if (plain(b->text()) == text && b->isVisible()) {
                b->click();
                return;
            }
        }
        qWarning("ModalAnswerer: no button \"%s\" in %s; rejected", qPrintable(text),
                 w->metaObject()->className());
        if (auto *d = qobject_cast<QDialog *>(w))
            d->reject();
    });
    return *this;
}

ModalAnswerer &ModalAnswerer::file(const QString &path)
{
    m_plan.append([path](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        if (!dialog) {
            qWarning("ModalAnswerer: expected a file dialog, found %s", w->metaObject()->className());
            if (auto *d = qobject_cast<QDialog *>(w))
                d->reject();
            return;
        }
        if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            edit->setText(path);
        static_cast<QDialog *>(dialog)->accept();
    });
    return *this;
}

ModalAnswerer &ModalAnswerer::cancel()
{
    m_plan.append([](QWidget *w) {
        if (auto *d = qobject_cast<QDialog *>(w))
            d->reject();
        else
            w->close();
    });
    return *this;
}

ModalAnswerer &ModalAnswerer::custom(std::function<void(QWidget *)> handler)
{
    m_plan.append(std::move(handler));
    return *this;
}

void ModalAnswerer::clear()
{
    m_plan.clear();
    m_seen.clear();
    m_unexpected.clear();
}

ModalAnswerer::Seen ModalAnswerer::describe(QWidget *w)
{
    Seen s;
    s.className = QString::fromLatin1(w->metaObject()->className());
    s.title = w->windowTitle();
    if (auto *box = qobject_cast<QMessageBox *>(w)) {
        s.text = box->text();
        s.informativeText = box->informativeText();
        s.detailedText = box->detailedText();
        const QList<QAbstractButton *> buttons = box->buttons();
        for (QAbstractButton *b : buttons)
            s.buttons.append(plain(b->text()));
    }
    return s;
}

void ModalAnswerer::poll()
{
    QWidget *w = QApplication::activeModalWidget();
    if (!w || !w->isVisible())
        return;
    if (w == m_last) {
        // A dialog still open two seconds after its answer would keep the
        // test waiting for ever: it is rejected and recorded as unplanned.
        if (m_answered.elapsed() < 2000)
            return;
        Seen s = describe(w);
        s.className += QStringLiteral(" (still open after its answer)");
        m_unexpected.append(s);
        qWarning("ModalAnswerer: %s \"%s\" still open after its answer; rejected", qPrintable(s.className),
                 qPrintable(s.title));
        m_answered.restart();
        if (auto *d = qobject_cast<QDialog *>(w))
            d->reject();
        else
            w->close();
        return;
    }
    m_last = w;
    m_answered.restart();
    const Seen s = describe(w);
    if (m_plan.isEmpty()) {
        m_unexpected.append(s);
        qWarning("ModalAnswerer: unplanned %s \"%s\" %s %s; rejected", qPrintable(s.className),
                 qPrintable(s.title), qPrintable(s.text), qPrintable(s.informativeText));
        if (auto *d = qobject_cast<QDialog *>(w))
            d->reject();
        else
            w->close();
        return;
    }
    m_seen.append(s);
    const auto handler = m_plan.takeFirst();
    handler(w);
}

void changeEveryKind(const QString &fio)
{
    QSqlError error;
    Servicemen::Entry man;
    man.fields = {"12", "Стрелок", "Рядовой", fio, "01.01.2000", "7"};
    QCOMPARE(Servicemen::add(man, &error), Servicemen::Outcome::Saved);
    Servicemen::Entry promoted = man;
    promoted.fields[Servicemen::VZ] = "Ефрейтор";
    QCOMPARE(Servicemen::change("7", man.fields, promoted, &error), Servicemen::Outcome::Saved);
    const auto loaded = [] {
        const auto c = Orders::list("7", "vzs").rows.at(0).cells;
        return Orders::Loaded{c[0], c[1], c[3], c[4], c[5], c[6], c[7]};
    };
    Orders::Fields fields{"01.02.2024", "15", "Командир", "Выговор", ""};
    QCOMPARE(Orders::add("7", "vzs", fields).outcome, Orders::Outcome::Done);
    fields.number = "16";
    QCOMPARE(Orders::change("7", "vzs", "15", QString(), loaded(), fields).outcome, Orders::Outcome::Done);
    QCOMPARE(Orders::lift("7", "vzs", "16", QString(), loaded(), "01.03.2024", "20").outcome,
             Orders::Outcome::Done);
    QCOMPARE(Orders::attach("7", "vzs", "16", "files/a.pdf", "a.pdf").outcome, Orders::Outcome::Done);
    QSet<QString> copies;
    QCOMPARE(Orders::detach("7", "vzs", "16", "a.pdf", &copies).outcome, Orders::Outcome::Done);
    QCOMPARE(Orders::remove("7", "vzs", "16", QString()).outcome, Orders::Outcome::Done);
}

} // namespace TestSupport
