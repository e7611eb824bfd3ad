#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

class QWidget;

namespace TestSupport {

class PgServer;

// Program-wide set-up as the executable does it, and a failure for every
// "connectSlotsByName" warning (a misspelt object or slot name). Call from
// initTestCase().
void initTestCase();
// The same failure for the current test function; call from init().
void failOnSlotWarnings();

// A fresh temporary working folder that becomes the current directory: the
// shipped descriptors, settings.ini with "Path/db" = "data", files/ and, unless
// asked otherwise, data/BaseDate.db made by the schema verification. The
// previous directory is restored and the default connection removed when it
// goes, so destroy the windows of a test before it.
class WorkDir
{
public:
    enum Database { WithDatabase, WithoutDatabase };
    explicit WorkDir(Database database = WithDatabase);
    ~WorkDir();
    WorkDir(const WorkDir &) = delete;
    WorkDir &operator=(const WorkDir &) = delete;

    bool isValid() const { return m_valid; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &relative) const { return m_dir.filePath(relative); }
    // Writes a file below the folder (folders made as needed).
    void writeFile(const QString &relative, const QByteArray &content) const;
    // Reads a UTF-8 text file below the folder; false when it cannot be read.
    bool readText(const QString &relative, QString *text) const;

private:
    QTemporaryDir m_dir;
    QString m_previous;
    bool m_valid = false;
};

// A connection of the tests' own to data/BaseDate.db of the current folder,
// so the tests can read and fill the database beside the program's connection.
QSqlDatabase testDb();
// Makes testDb() (and so exec(), rows() and value()) the connection of this
// name, a server's in the server tests; an empty name goes back to the file.
void useTestConnection(const QString &name);
// A new database of `pg` that settings.ini names, its tables made by the
// verification (unless `verify` is false), opened anew as the connection
// `connection`, which the test's statements then use. Gives its name.
QString useNewServerDatabase(PgServer &pg, const QString &connection, bool verify = true);
// Runs one statement on the test connection; fails the test on an error.
bool exec(const QString &sql, const QVariantList &values = {});
// All rows of a query as texts (NULL as an empty text).
QList<QStringList> rows(const QString &sql, const QVariantList &values = {});
// One value (first column of the first row), or a null QString.
QString value(const QString &sql, const QVariantList &values = {});
// The whole database as text, table by table in rowid order: for comparing a
// database before and after a command.
QString dump();
// The first column of a query on any database file, read on a read-only
// connection of its own; {"<not opened>"} when the file does not open.
QStringList readColumn(const QString &database, const QString &sql);
// The bytes of a file, "<missing>" when it cannot be read.
QByteArray fileContent(const QString &path);
// Runs statements on any database file (made when missing) on a connection
// of its own; false at the first that fails.
bool execIn(const QString &database, const QStringList &statements);

// The text of a PDF file as pdftotext (Debian package poppler-utils) reads it,
// pages `first` to `last` (0: from the first / to the last page), in the
// order the text was painted. A null text when pdftotext is not installed.
QString pdfText(const QString &file, int first = 0, int last = 0);

struct Serviceman
{
    QString VP;
    QString Dol;
    QString VZ;
    QString FIO;
    QString Data_comb;
    QString LN;
    // vzs, blag, gr, ZOMO, gosnag, posh; a null text stores NULL.
    QStringList counts = {QString(), QString(), QString(), QString(), QString(), QString()};
    QString Dolz_nom;
    QString Zvan_nom;
};
bool addServiceman(const Serviceman &s);
// Shorthand: unit number, full name, personal number.
bool addServiceman(const QString &vp, const QString &fio, const QString &ln);

struct Order
{
    QString LN;
    QString what;
    QString Date_time;
    QString prikaznom;
    QString kemvidan;
    QString nameZO;
    QString actived_prikaz = QStringLiteral("1");
    QString ish_SU;
    QString Nomer_snytie;
    QString Data_snytie;
};
bool addOrder(const Order &o);
// For each count of the serviceman that is a whole number, as many orders of
// its category, in force: the counts then agree with the orders, as the start
// of the program leaves them.
bool addOrdersForCounts(const Serviceman &s);

// Answers modal dialogs (message boxes, file dialogs, any QDialog) in the
// order they appear, without a person. Every modal window found when no
// answer is planned is closed (rejected) and recorded in unexpected(), so a
// test can never hang on one.
class ModalAnswerer : public QObject
{
    Q_OBJECT
public:
    struct Seen
    {
        QString className;
        QString title;
        QString text;
        QString informativeText;
        QString detailedText;
        QStringList buttons;
    };

    ModalAnswerer();
    ~ModalAnswerer() override;

    // The next dialog: click the button whose text (without '&') is this.
    ModalAnswerer &button(const QString &text);
    // The next dialog is a file dialog: type this path and accept.
    ModalAnswerer &file(const QString &path);
    // The next dialog: reject it (Cancel, Esc).
    ModalAnswerer &cancel();
    // The next dialog: call this with it (for anything else).
    ModalAnswerer &custom(std::function<void(QWidget *)> handler);

    // True once every planned answer has been given.
    bool done() const { return m_plan.isEmpty(); }
    int pending() const { return static_cast<int>(m_plan.size()); }
    const QList<Seen> &seen() const { return m_seen; }
    const QList<Seen> &unexpected() const { return m_unexpected; }
    void clear();

private:
    void poll();
    static Seen describe(QWidget *w);

    QTimer m_timer;
    QList<std::function<void(QWidget *)>> m_plan;
    QList<Seen> m_seen;
    QList<Seen> m_unexpected;
    QPointer<QWidget> m_last;
    QElapsedTimer m_answered;
};

// Serviceman "7" (named `fio`) added and given another rank, then an order
// of his added, renumbered, lifted, given a document that is detached again,
// and deleted: every kind of change the program makes to one serviceman,
// through its storage. A failed step fails the current test.
void changeEveryKind(const QString &fio);

} // namespace TestSupport

#endif // TESTSUPPORT_H
