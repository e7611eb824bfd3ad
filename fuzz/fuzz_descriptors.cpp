// Fuzz target for the schema verification's reading of the two descriptor
// files, settingstab.conf (tables) and settings.conf (columns).
//
// Once per process a working folder is made from the shipped descriptors by
// the schema verification and filled with rows, plus a table and a column that the
// descriptors do not declare (what a broken descriptor must not remove). Its
// database file is kept in memory. For every input the folder gets a fresh
// copy of that database and the descriptors the input gives, then the
// verification runs. The first byte chooses what the rest is:
//   0: settingstab.conf (settings.conf as shipped),
//   1: settings.conf (settingstab.conf as shipped),
//   2: settingstab.conf, a NUL byte, settings.conf.
// Whether a descriptor is well-formed XML is judged apart from the program's
// own reader, by Expat on the bytes of the file. Checked after every run
// (besides the sanitizers finding no fault):
// - a table descriptor that is not well-formed drops no table and changes no
//   stored value;
// - a column descriptor that is not well-formed drops no column;
// - both not well-formed: the database is exactly as before;
// - a well-formed table descriptor never drops a table it names, and a
//   well-formed column descriptor never drops a column it declares (the
//   column's name as SQLite itself reads the declaration);
// - each descriptor that is not well-formed is refused once in the
//   verification's report, naming it, and a well-formed one is read;
// - the database is still sound.
#include "storage/setup/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <expat.h>

#ifndef VEDOMER_CONF_DIR
#error "VEDOMER_CONF_DIR must name the folder of the shipped descriptors"
#endif

namespace {

const char TABLES[] = "settingstab.conf";
const char COLUMNS[] = "settings.conf";
const char DATABASE[] = "data/BaseDate.db";
const char CHECK_CONNECTION[] = "fuzz_check";

// One table as stored: its columns in order and its rows by rowid.
struct Table
{
    QStringList columns;
    QMap<qlonglong, QVariantList> rows;
    bool operator==(const Table &o) const { return columns == o.columns && rows == o.rows; }
    bool operator!=(const Table &o) const { return !(*this == o); }
};
using Snapshot = QMap<QString, Table>;

QByteArray pristineDatabase;
Snapshot pristine;
QByteArray shippedTables;
QByteArray shippedColumns;

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "descriptors: %s\n", what.toUtf8().constData());
    std::abort();
}

void quiet(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    // The verification reports every step on the debug output; only what
    // ends the process is worth printing.
    if (type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", message.toUtf8().constData());
}

QByteArray readFile(const QString &name)
{
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1").arg(name));
    return f.readAll();
}

void writeFile(const QString &name, const QByteArray &content)
{
    QFile f(name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        fail(QStringLiteral("cannot write %1").arg(name));
}

// What a descriptor holds, as an independent XML parser (Expat, with
// namespace processing like the program's reader) reads the file's bytes:
// whether it is well-formed XML, and its elements as (element name, attribute
// name, value), names without their namespace prefix.
struct Declaration
{
    QString element, attribute, value;
};
enum class Verdict { WellFormed, Broken, Undecided };

// Expat puts the namespace and the local name together with this separator;
// XML 1.0 allows it nowhere in a document, not even as a character reference.
constexpr XML_Char NAMESPACE_SEPARATOR = '\x01';

QString localName(const XML_Char *name)
{
    const QString full = QString::fromUtf8(name);
    return full.mid(full.lastIndexOf(QLatin1Char(NAMESPACE_SEPARATOR)) + 1);
}

void XMLCALL startElement(void *user, const XML_Char *name, const XML_Char **attributes)
{
    auto *declarations = static_cast<QList<Declaration> *>(user);
    const QString element = localName(name);
    declarations->append({element, QString(), QString()});
    for (const XML_Char **a = attributes; *a; a += 2)
        declarations->append({element, localName(a[0]), QString::fromUtf8(a[1])});
}

// Expat takes any version number in the XML declaration; XML 1.0 allows only
// "1." and digits, and a reader may refuse all but "1.0".
QString declaredVersion;

void XMLCALL xmlDeclaration(void *, const XML_Char *version, const XML_Char *, int)
{
    declaredVersion = version ? QString::fromUtf8(version) : QString();
}

// Whether the name-like run of characters around a byte offset of the
// document holds a character beyond ASCII. Expat knows the names of XML 1.0
// as its fourth edition gave them; the fifth allows many more characters
// beyond ASCII, so where Expat stops at such a name it has not decided.
bool nonAsciiNameAt(const QByteArray &content, qint64 offset)
{
    QString text;
    qsizetype at = 0;
    const bool le =
        content.startsWith("\xff\xfe") || (content.size() > 1 && content[0] != 0 && content[1] == 0);
    const bool be =
        content.startsWith("\xfe\xff") || (content.size() > 1 && content[0] == 0 && content[1] != 0);
    if (le || be) {
        for (qsizetype i = 0; i + 1 < content.size(); i += 2) {
            const auto a = uchar(content[i]), b = uchar(content[i + 1]);
            text += QChar(char16_t(le ? a | b << 8 : a << 8 | b));
        }
        at = qsizetype(offset / 2);
    } else {
        // Decoded whole: a byte order mark at the offset must stay a character.
        text = QString::fromUtf8(content);
        at = QString::fromUtf8(content.left(qsizetype(offset))).size();
    }
    auto inName = [](QChar c) {
        const char16_t u = c.unicode();
        return u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
               u == '_' || u == '-' || u == '.' || u == ':';
    };
    at = std::clamp<qsizetype>(at, 0, text.size());
    qsizetype from = at, to = at;
    while (from > 0 && inName(text.at(from - 1)))
        --from;
    while (to < text.size() && inName(text.at(to)))
        ++to;
    for (qsizetype i = from; i < to; ++i) {
        if (text.at(i).unicode() >= 0x80)
            return true;
    }
    return false;
}

Verdict judge(const QByteArray &content, QList<Declaration> &declarations)
{
    XML_Parser parser = XML_ParserCreateNS(nullptr, NAMESPACE_SEPARATOR);
    XML_SetUserData(parser, &declarations);
    XML_SetStartElementHandler(parser, startElement);
    XML_SetXmlDeclHandler(parser, xmlDeclaration);
    declaredVersion.clear();
    const bool ok = XML_Parse(parser, content.constData(), int(content.size()), XML_TRUE) == XML_STATUS_OK;
    const XML_Error error = XML_GetErrorCode(parser);
    const qint64 errorOffset = XML_GetCurrentByteIndex(parser);
    XML_ParserFree(parser);
    if (ok && !declaredVersion.isEmpty() && declaredVersion != QLatin1String("1.0")) {
        static const QRegularExpression later(QStringLiteral("^1\\.[0-9]+$"));
        return later.match(declaredVersion).hasMatch() ? Verdict::Undecided : Verdict::Broken;
    }
    if (ok)
        return Verdict::WellFormed;
    // An encoding Expat does not know (the program's reader may) and Expat's
    // own limit on entity expansion say nothing about well-formedness.
    if (error == XML_ERROR_UNKNOWN_ENCODING || error == XML_ERROR_AMPLIFICATION_LIMIT_BREACH)
        return Verdict::Undecided;
    if ((error == XML_ERROR_INVALID_TOKEN || error == XML_ERROR_SYNTAX) &&
        nonAsciiNameAt(content, errorOffset))
        return Verdict::Undecided;
    return Verdict::Broken;
}

// The name SQLite gives the column of a definition, found by creating a
// table of that one column in memory; empty when it is no such definition.
QString sqliteColumnName(const QString &definition)
{
    static QHash<QString, QString> known;
    const auto found = known.constFind(definition);
    if (found != known.constEnd())
        return *found;
    QString name;
    QSqlDatabase db = QSqlDatabase::database(QStringLiteral("fuzz_scratch"));
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("CREATE TABLE scratch (%1)").arg(definition))) {
        QSqlQuery info(db);
        if (info.exec(QStringLiteral("PRAGMA table_info(scratch)")) && info.next()) {
            name = info.value(1).toString();
            if (info.next())
                name.clear(); // more than one column: not one definition
        }
        info.finish();
        q.exec(QStringLiteral("DROP TABLE scratch"));
    }
    if (known.size() > 100000)
        known.clear();
    known.insert(definition, name);
    return name;
}

bool exec(QSqlDatabase &db, const QString &sql, const QVariantList &values = {})
{
    QSqlQuery q(db);
    if (!q.prepare(sql))
        return false;
    for (const QVariant &v : values)
        q.addBindValue(v);
    return q.exec();
}

// The tables of the database with their columns, and the rows of those
// that `rowsOf` names (all when it is empty); false when the database cannot
// be read.
bool snapshot(Snapshot &out, const Snapshot &rowsOf)
{
    bool ok = true;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(CHECK_CONNECTION));
        db.setDatabaseName(QLatin1String(DATABASE));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        ok = db.open();
        QStringList names;
        if (ok) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("PRAGMA quick_check")) && q.next() &&
                 q.value(0).toString() == QLatin1String("ok");
        }
        if (ok) {
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT "
                                       "LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name"));
            while (ok && q.next())
                names.append(q.value(0).toString());
        }
        for (const QString &name : std::as_const(names)) {
            if (!ok)
                break;
            const QString quoted = QLatin1Char('"') +
                                   QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
                                   QLatin1Char('"');
            Table table;
            QSqlQuery info(db);
            if (!info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted)))
                continue; // a table the statements of a descriptor made unreadable
            while (info.next())
                table.columns.append(info.value(1).toString());
            if (rowsOf.isEmpty() || rowsOf.contains(name)) {
                QSqlQuery rows(db);
                ok = rows.exec(QStringLiteral("SELECT rowid, * FROM %1").arg(quoted));
                while (ok && rows.next()) {
                    QVariantList values;
                    for (int i = 1; i < rows.record().count(); ++i)
                        values.append(rows.value(i));
                    table.rows.insert(rows.value(0).toLongLong(), values);
                }
            }
            out.insert(name, table);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QLatin1String(CHECK_CONNECTION));
    return ok;
}

// The verification works in the current folder; libFuzzer names its corpus
// and artifacts relative to the folder it was started in. Each run therefore
// steps into the working folder and back.
class InWorkingFolder
{
public:
    InWorkingFolder()
        : m_back(QDir::currentPath())
    {
        // In memory where the system offers it: the verification's writes
        // each wait for the disk otherwise.
        static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                     ? QStringLiteral("/dev/shm/vedomer-fuzz-XXXXXX")
                                     : QDir::tempPath() + QStringLiteral("/vedomer-fuzz-XXXXXX"));
        if (!dir.isValid() || !QDir::setCurrent(dir.path()))
            fail(QStringLiteral("no working folder"));
    }
    ~InWorkingFolder() { QDir::setCurrent(m_back); }

private:
    QString m_back;
};

Schema::Report verify()
{
    return Schema::verify(QLatin1String(DATABASE), QLatin1String(TABLES), QLatin1String(COLUMNS));
}

// The working folder and its filled database.
void setUp()
{
    InWorkingFolder in;
    shippedTables = readFile(QStringLiteral(VEDOMER_CONF_DIR "/settingstab.conf"));
    shippedColumns = readFile(QStringLiteral(VEDOMER_CONF_DIR "/settings.conf"));
    writeFile(QLatin1String(TABLES), shippedTables);
    writeFile(QLatin1String(COLUMNS), shippedColumns);
    verify();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fuzz_fill"));
        db.setDatabaseName(QLatin1String(DATABASE));
        bool ok = db.open() && exec(db, QStringLiteral("BEGIN"));
        const QStringList codes{"vzs", "blag", "gr", "ZOMO", "gosnag", "posh"};
        for (int i = 1; ok && i <= 15; ++i) {
            const QString n = QString::number(i);
            ok = exec(
                db,
                QStringLiteral("INSERT INTO Combat (VP, Dol, VZ, FIO, Data_comb, LN, vzs, blag, gr, ZOMO, "
                               "gosnag, posh, Dolz_nom, Zvan_nom) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
                {i % 3 ? QVariant(n) : QVariant(n + QStringLiteral("б")), QStringLiteral("Стрелок"),
                 QStringLiteral("Рядовой"), QStringLiteral("Иванов-%1 Пётр 'Ёж' \"%2\"").arg(n, n),
                 QStringLiteral("01.01.1990 0:00"), QStringLiteral("Ж-%1").arg(n), "1", "0", "2", "0", "0",
                 "0", i % 13, i % 20});
            for (int k = 0; ok && k < 2; ++k) {
                const QString number = n + QLatin1Char('/') + QString::number(k);
                ok =
                    exec(db,
                         QStringLiteral(
                             "INSERT INTO prikaz (LN, what, Date_time, prikaznom, kemvidan, nameZO, "
                             "actived_prikaz, ish_SU, Nomer_snytie, Data_snytie) VALUES "
                             "(?,?,?,?,?,?,?,?,?,?)"),
                         {QStringLiteral("Ж-%1").arg(n), codes.at((i + k) % codes.size()),
                          QStringLiteral("0%1.02.2020").arg(k + 1), number, QStringLiteral("Командир"),
                          QStringLiteral("Приказ %1").arg(number), k % 2, QString(), QString(), QString()}) &&
                    exec(db,
                         QStringLiteral("INSERT INTO Files (prikaznom, what, Giper, name_file, LN) VALUES "
                                        "(?,?,?,?,?)"),
                         {number, codes.at((i + k) % codes.size()), QStringLiteral("files/%1.pdf").arg(n),
                          QStringLiteral("%1.pdf").arg(n), QStringLiteral("Ж-%1").arg(n)});
            }
        }
        // What only a descriptor that is read to its end may remove.
        ok = ok && exec(db, QStringLiteral("CREATE TABLE Extra (a TEXT, b INTEGER)")) &&
             exec(db, QStringLiteral("INSERT INTO Extra VALUES ('хранится', 7), ('и это', 8)")) &&
             exec(db, QStringLiteral("ALTER TABLE Combat ADD COLUMN Old TEXT")) &&
             exec(db, QStringLiteral("UPDATE Combat SET Old = 'старое ' || LN")) &&
             exec(db, QStringLiteral("COMMIT"));
        db.close();
        if (!ok)
            fail(QStringLiteral("cannot fill the database"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fuzz_fill"));
    QSqlDatabase scratch =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fuzz_scratch"));
    scratch.setDatabaseName(QStringLiteral(":memory:"));
    if (!scratch.open())
        fail(QStringLiteral("no scratch database"));
    pristineDatabase = readFile(QLatin1String(DATABASE));
    if (!snapshot(pristine, {}) || pristine.size() != 6 || !pristine.value("Combat").columns.contains("Old"))
        fail(QStringLiteral("the filled database is not as made"));
    QFile::remove(QStringLiteral("log"));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    static int argc = 1;
    static char name[] = "fuzz_descriptors";
    static char *argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    InWorkingFolder in;
    const int mode = data[0] % 3;
    const QByteArray rest(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    QByteArray tables = shippedTables, columns = shippedColumns;
    if (mode == 0) {
        tables = rest;
    } else if (mode == 1) {
        columns = rest;
    } else {
        const qsizetype nul = rest.indexOf('\0');
        tables = nul < 0 ? rest : rest.left(nul);
        columns = nul < 0 ? QByteArray() : rest.mid(nul + 1);
    }

    // A fresh copy of the filled database, nothing left of the last run
    // (nor the copies made before dropping).
    for (const char *extra : {"-journal", "-wal", "-shm"})
        QFile::remove(QLatin1String(DATABASE) + QLatin1String(extra));
    const QDir folder = QFileInfo(QLatin1String(DATABASE)).dir();
    for (const QString &copy : folder.entryList({QStringLiteral("BaseDate_before_ver_*")}, QDir::Files))
        QFile::remove(folder.filePath(copy));
    writeFile(QLatin1String(DATABASE), pristineDatabase);
    writeFile(QLatin1String(TABLES), tables);
    writeFile(QLatin1String(COLUMNS), columns);
    QFile::remove(QStringLiteral("log"));
    QList<Declaration> tableDeclarations, columnDeclarations;
    const Verdict tablesVerdict = judge(tables, tableDeclarations);
    const Verdict columnsVerdict = judge(columns, columnDeclarations);
    const bool tablesBroken = tablesVerdict == Verdict::Broken;
    const bool columnsBroken = columnsVerdict == Verdict::Broken;

    const QStringList boxes = verify().refusedDescriptors;

    // One refusal for each descriptor the verification refused, and it must
    // have refused every broken one; a well-formed one is read.
    auto refused = [&boxes](const char *file) {
        return int(std::count_if(boxes.cbegin(), boxes.cend(), [&](const QString &text) {
            return text.startsWith(QLatin1String(file) + QLatin1Char(':'));
        }));
    };
    const int tablesRefused = refused(TABLES), columnsRefused = refused(COLUMNS);
    if (boxes.size() != tablesRefused + columnsRefused || tablesRefused > 1 || columnsRefused > 1)
        fail(QStringLiteral("unexpected refusals: ") + boxes.join(QStringLiteral(" | ")));
    if (tablesBroken != bool(tablesRefused) && tablesVerdict != Verdict::Undecided)
        fail(QStringLiteral("table descriptor %1, yet %2")
                 .arg(tablesBroken ? QStringLiteral("not well-formed") : QStringLiteral("well-formed"),
                      tablesRefused ? boxes.join(QStringLiteral(" | ")) : QStringLiteral("read")));
    if (columnsBroken != bool(columnsRefused) && columnsVerdict != Verdict::Undecided)
        fail(QStringLiteral("column descriptor %1, yet %2")
                 .arg(columnsBroken ? QStringLiteral("not well-formed") : QStringLiteral("well-formed"),
                      columnsRefused ? boxes.join(QStringLiteral(" | ")) : QStringLiteral("read")));

    Snapshot after;
    if (!snapshot(after, pristine)) {
        // Statements of a well-formed table descriptor may do anything; with
        // a broken one nothing but added or dropped columns may happen.
        if (tablesBroken)
            fail(QStringLiteral("database unreadable after a broken table descriptor"));
        return 0;
    }
    if (tablesBroken && columnsBroken && after != pristine)
        fail(QStringLiteral("both descriptors broken, yet the database changed"));
    for (auto it = pristine.cbegin(); it != pristine.cend(); ++it) {
        const QString &name = it.key();
        const Table &before = it.value();
        if (!after.contains(name)) {
            if (tablesBroken)
                fail(QStringLiteral("table %1 dropped after a broken table descriptor").arg(name));
            if (tablesVerdict == Verdict::WellFormed) {
                for (const Declaration &d : std::as_const(tableDeclarations)) {
                    if (d.element == name)
                        fail(QStringLiteral("table %1 dropped though the table descriptor names it")
                                 .arg(name));
                }
            }
            continue;
        }
        const Table &now = after[name];
        if (columnsVerdict == Verdict::WellFormed) {
            for (const Declaration &d : std::as_const(columnDeclarations)) {
                if (d.element != name || d.attribute != QLatin1String("AtributSql"))
                    continue;
                const QString column = sqliteColumnName(d.value);
                auto has = [&](const QStringList &list) {
                    return std::any_of(list.cbegin(), list.cend(), [&](const QString &c) {
                        return c.compare(column, Qt::CaseInsensitive) == 0;
                    });
                };
                if (!column.isEmpty() && has(before.columns) && !has(now.columns))
                    fail(QStringLiteral("column %1.%2 dropped though the column descriptor declares it as %3")
                             .arg(name, column, d.value));
            }
        }
        if (columnsBroken) {
            for (const QString &column : before.columns) {
                if (!now.columns.contains(column))
                    fail(QStringLiteral("column %1.%2 dropped after a broken column descriptor")
                             .arg(name, column));
            }
        }
        if (tablesBroken) {
            // Only the column phase ran: the values of the columns still
            // there are those stored before, row for row.
            if (now.rows.keys() != before.rows.keys())
                fail(QStringLiteral("rows of %1 changed after a broken table descriptor (%2 rows, were %3)")
                         .arg(name)
                         .arg(now.rows.size())
                         .arg(before.rows.size()));
            for (int c = 0; c < before.columns.size(); ++c) {
                const int at = int(now.columns.indexOf(before.columns.at(c)));
                if (at < 0)
                    continue;
                for (auto row = before.rows.cbegin(); row != before.rows.cend(); ++row) {
                    if (now.rows.value(row.key()).value(at) != row.value().at(c))
                        fail(QStringLiteral("value of %1.%2 changed after a broken table descriptor")
                                 .arg(name, before.columns.at(c)));
                }
            }
        }
    }
    return 0;
}
