#include "function.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QHash>
#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlRecord>
#include <QStyle>
#include <QTableView>
#include <QTableWidget>
#include <QTextStream>
#include <QXmlStreamReader>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

const char LOG_FILE[] = "log";
const char DATABASE_FILE[] = "data/BaseDate.db";
const char TABLE_DESCRIPTOR[] = "settingstab.conf";
const char COLUMN_DESCRIPTOR[] = "settings.conf";

// One start element of a descriptor file with its attributes in document order.
struct Element
{
    QString name;
    QList<QPair<QString, QString>> attributes;
};

// Whether c may start (`start`) or continue a name of XML 1.0; ':' is left
// out, as namespaces give it a meaning of its own.
bool isNameChar(char32_t c, bool start)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (c >= 0xC0 && c <= 0xD6) ||
        (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
        (c >= 0x37F && c <= 0x1FFF) || c == 0x200C || c == 0x200D || (c >= 0x2070 && c <= 0x218F) ||
        (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
        (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF))
        return true;
    return !start && ((c >= '0' && c <= '9') || c == '-' || c == '.' || c == 0xB7 ||
                      (c >= 0x300 && c <= 0x36F) || c == 0x203F || c == 0x2040);
}

// Whether a text is a qualified XML name: a name, or two joined by one ':'.
// The reader checks element names itself but lets an attribute name through
// with any characters in it, and the column descriptor is read by attribute
// name: a damaged one would drop the column it declares.
bool isQualifiedName(QStringView name)
{
    const QList<QStringView> parts = name.split(u':');
    if (parts.size() > 2)
        return false;
    for (const QStringView part : parts) {
        if (part.isEmpty())
            return false;
        bool start = true;
        for (const char32_t c : part.toUcs4()) {
            if (!isNameChar(c, start))
                return false;
            start = false;
        }
    }
    return true;
}

// Whether the text of a document type declaration, outside its literals,
// comments and processing instructions, holds nothing but blanks, the
// punctuation of declarations and name characters. The reader checks how the
// declarations are built but not the names in them.
bool doctypeNamesValid(QStringView dtd)
{
    for (qsizetype i = 0; i < dtd.size(); ++i) {
        const QChar c = dtd[i];
        if (c == u'"' || c == u'\'') {
            i = dtd.indexOf(c, i + 1);
        } else if (dtd.mid(i).startsWith(u"<!--")) {
            i = dtd.indexOf(u"-->", i + 4);
            i = i < 0 ? i : i + 2;
        } else if (dtd.mid(i).startsWith(u"<?")) {
            i = dtd.indexOf(u"?>", i + 2);
            i = i < 0 ? i : i + 1;
        } else if (!QStringView(u" \t\r\n<>![]()|,?*+%;#:").contains(c) && !c.isSurrogate() &&
                   !isNameChar(c.unicode(), false)) {
            return false;
        }
        if (i < 0)
            return false;
    }
    return true;
}

// Reads a whole descriptor. On a missing or malformed file returns false and
// says why in `error` (with line and column for malformed XML).
bool readDescriptor(const QString &fileName, QList<Element> &elements, QString &error)
{
    QFile file(fileName);
    // Binary: the XML reader handles line ends itself, as XML defines them;
    // text mode would drop every CR, even the bytes of a UTF-16 file.
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    QXmlStreamReader xml(&file);
    // The reader takes a document type declaration anywhere; XML allows one,
    // before the root element.
    bool prolog = true, doctype = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::DTD) {
            if (!prolog || doctype)
                xml.raiseError(
                    QStringLiteral("объявление DOCTYPE допустимо только одно, перед корневым элементом"));
            doctype = true;
            bool named = isQualifiedName(xml.dtdName()) && doctypeNamesValid(xml.text());
            const QXmlStreamEntityDeclarations entities = xml.entityDeclarations();
            for (const QXmlStreamEntityDeclaration &d : entities)
                named = named && isQualifiedName(d.name());
            const QXmlStreamNotationDeclarations notations = xml.notationDeclarations();
            for (const QXmlStreamNotationDeclaration &d : notations)
                named = named && isQualifiedName(d.name());
            if (!named)
                xml.raiseError(QStringLiteral("недопустимое имя в объявлении DOCTYPE"));
        }
        if (token == QXmlStreamReader::StartElement) {
            prolog = false;
            Element e;
            e.name = xml.name().toString();
            const QXmlStreamAttributes attributes = xml.attributes();
            for (const QXmlStreamAttribute &a : attributes) {
                if (!isQualifiedName(a.qualifiedName()))
                    xml.raiseError(QStringLiteral("недопустимое имя атрибута «%1»").arg(a.qualifiedName()));
                e.attributes.append({a.name().toString(), a.value().toString()});
            }
            elements.append(e);
        }
    }
    if (xml.hasError()) {
        error = QStringLiteral("%1: ошибка в строке %2, столбце %3: %4")
                    .arg(fileName, QString::number(xml.lineNumber()), QString::number(xml.columnNumber()),
                         xml.errorString());
        return false;
    }
    return true;
}

void reportDescriptorError(const QString &error)
{
    Function::appendLog(error + QLatin1Char('\n'));
    qDebug() << error;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Ошибка файла"),
                    QStringLiteral("Не удалось открыть файл"), QMessageBox::Ok);
    box.setInformativeText(error + QStringLiteral("\nТаблицы базы данных не изменены."));
    box.exec();
}

// An SQL identifier in double quotes.
QString ident(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

// The column name at the start of a column definition, read as SQLite reads
// it (the name decides which present column the definition keeps): blanks
// and comments skipped; a name in "…", `…` or '…' with its doubled quotes
// undone, or in […]; otherwise the run of letters, digits, '_', '$' and
// characters beyond ASCII.
QString columnName(const QString &definition)
{
    const QStringView d(definition);
    const qsizetype n = d.size();
    qsizetype i = 0;
    for (;;) {
        while (i < n && (d[i] == u' ' || d[i] == u'\t' || d[i] == u'\n' || d[i] == u'\f' || d[i] == u'\r'))
            ++i;
        if (d.mid(i).startsWith(u"--")) {
            i = d.indexOf(u'\n', i);
            if (i < 0)
                return QString();
        } else if (d.mid(i).startsWith(u"/*")) {
            i = d.indexOf(u"*/", i + 2);
            if (i < 0)
                return QString();
            i += 2;
        } else {
            break;
        }
    }
    if (i == n)
        return QString();
    const QChar open = d[i];
    if (open == u'"' || open == u'`' || open == u'\'' || open == u'[') {
        const QChar close = open == u'[' ? QChar(u']') : open;
        QString name;
        for (qsizetype j = i + 1; j < n; ++j) {
            if (d[j] != close) {
                name += d[j];
            } else if (close != u']' && j + 1 < n && d[j + 1] == close) {
                name += close;
                ++j;
            } else {
                return name;
            }
        }
        return name; // unclosed: SQLite refuses the definition anyway
    }
    qsizetype end = i;
    while (end < n &&
           (d[end].isLetterOrNumber() || d[end] == u'_' || d[end] == u'$' || d[end].unicode() >= 0x80))
        ++end;
    return d.mid(i, end - i).toString();
}

struct TableInfo
{
    QString name;
    QString sql;
};

bool readTables(QList<TableInfo> &tables)
{
    QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::SELECT_TABLES));
    if (!query.isActive())
        return false;
    while (query.next())
        tables.append({query.value(0).toString(), query.value(1).toString()});
    return true;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Phase 1: creates the declared tables that are missing and drops the tables
// that the descriptor does not declare.
void verifyTables(const QList<TableInfo> &tables)
{
    QList<Element> elements;
    QString error;
    if (!readDescriptor(QString::fromLatin1(TABLE_DESCRIPTOR), elements, error)) {
        reportDescriptorError(error);
        return;
    }
    QStringList remaining;
    for (const TableInfo &t : tables)
        remaining.append(t.name);
    QStringList seen;
    for (const Element &e : elements) {
        const bool again =
            std::any_of(seen.cbegin(), seen.cend(), [&](const QString &s) { return sameName(s, e.name); });
        if (again) {
            qDebug().noquote() << "Таблица " + e.name + " объявлена повторно; повтор пропущен";
            continue;
        }
        seen.append(e.name);
        const bool exists = std::any_of(tables.cbegin(), tables.cend(),
                                        [&](const TableInfo &t) { return sameName(t.name, e.name); });
        if (exists) {
            remaining.removeIf([&](const QString &s) { return sameName(s, e.name); });
            qDebug().noquote() << "Таблица " + e.name + " верификацию прошла";
            continue;
        }
        // The creation statement first, then what fills the new table; stop at
        // the first failure so nothing runs against a table that was not made.
        for (const auto &attribute : e.attributes) {
            if (!Function::Myquery(attribute.second).isActive())
                break;
        }
    }
    for (const QString &name : remaining) {
        if (Function::Myquery(QString::fromLatin1(Sql::DROP_TABLE).arg(ident(name))).isActive())
            Function::appendLog(QStringLiteral("Таблица %1 удалена: её нет в %2\n")
                                    .arg(name, QString::fromLatin1(TABLE_DESCRIPTOR)));
    }
}

// Phase 2: adds the declared columns that are missing and drops the columns
// whose names the descriptor does not declare.
void verifyColumns()
{
    QList<Element> elements;
    QString error;
    if (!readDescriptor(QString::fromLatin1(COLUMN_DESCRIPTOR), elements, error)) {
        reportDescriptorError(error);
        return;
    }
    QList<TableInfo> tables;
    if (!readTables(tables))
        return;
    const QString attributeName = QStringLiteral("AtributSql");
    for (const TableInfo &table : tables) {
        QStringList definitions;
        for (const Element &e : elements) {
            if (!sameName(e.name, table.name))
                continue;
            for (const auto &attribute : e.attributes) {
                if (attribute.first == attributeName && !columnName(attribute.second).isEmpty())
                    definitions.append(attribute.second);
            }
        }
        if (definitions.isEmpty()) {
            // Nothing declared for this table: leave its columns alone rather
            // than treat every one of them as undeclared.
            qDebug().noquote() << "Столбцы таблицы " + table.name + " не описаны; таблица не изменена";
            continue;
        }
        QStringList present;
        QSqlQuery info = Function::Myquery(QString::fromLatin1(Sql::TABLE_INFO).arg(ident(table.name)));
        if (!info.isActive())
            continue;
        const int nameField = info.record().indexOf(QStringLiteral("name"));
        while (info.next())
            present.append(info.value(nameField).toString());
        info.finish();

        auto has = [](const QStringList &list, const QString &name) {
            return std::any_of(list.cbegin(), list.cend(),
                               [&](const QString &s) { return sameName(s, name); });
        };
        QStringList declared;
        for (const QString &definition : std::as_const(definitions)) {
            const QString name = columnName(definition);
            declared.append(name);
            if (has(present, name))
                continue;
            qDebug().noquote() << table.sql;
            if (Function::Myquery(QString::fromLatin1(Sql::ADD_COLUMN).arg(ident(table.name), definition))
                    .isActive())
                present.append(name);
        }
        QStringList leftovers;
        for (const QString &name : std::as_const(present)) {
            if (!has(declared, name))
                leftovers.append(name);
        }
        qDebug() << leftovers;
        for (const QString &name : std::as_const(leftovers)) {
            if (Function::Myquery(QString::fromLatin1(Sql::DROP_COLUMN).arg(ident(table.name), ident(name)))
                    .isActive())
                Function::appendLog(QStringLiteral("Столбец %1 таблицы %2 удалён: его нет в %3\n")
                                        .arg(name, table.name, QString::fromLatin1(COLUMN_DESCRIPTOR)));
        }
    }
}

} // namespace

QSqlQuery Function::Myquery(QString sql)
{
    return Myquery(std::move(sql), QSqlDatabase());
}

QSqlQuery Function::Myquery(QString sql, const QSqlDatabase &db)
{
    // An invalid connection means the default one.
    QSqlQuery query(db);
    query.setForwardOnly(true);
    bool ok = query.prepare(sql);
    QSqlError error;
    if (!ok) {
        qDebug() << false << "prepare";
        // The reason preparing gave (such as "no such table") is the one worth
        // logging; executing an unprepared query would only say "No query".
        error = query.lastError();
    } else {
        ok = query.exec();
        if (!ok)
            error = query.lastError();
    }
    if (ok) {
        qDebug() << "Запрос успешен." + sql;
        return query;
    }
    const QString message = QStringLiteral("В запросе содержится ошибка.") + sql;
    QFile file(QString::fromLatin1(LOG_FILE));
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        QTextStream out(&file);
        out << error.text();
        out << message + QStringLiteral(" Запрос");
        out.flush();
        qDebug() << error.text() << message + QStringLiteral(" Запрос");
        file.close();
    }
    qDebug() << error.text() << message + QStringLiteral(" Запрос ");
    return query;
}

int Function::leadingNumber(QStringView s)
{
    qint64 value = 0;
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u < u'0' || u > u'9')
            break;
        value = value * 10 + (u - u'0');
        if (value > INT_MAX)
            return 0; // too long for 32 bits counts as no number
    }
    return static_cast<int>(value);
}

bool Function::compareStrings(const QStringView &a, const QStringView &b)
{
    const int na = leadingNumber(a);
    const int nb = leadingNumber(b);
    if (na != nb)
        return na < nb;
    auto rest = [](QStringView s) {
        qsizetype p = 0;
        while (p < s.size() && s.at(p).unicode() >= u'0' && s.at(p).unicode() <= u'9')
            ++p;
        return p == s.size() ? s : s.mid(p);
    };
    return rest(a).compare(rest(b), Qt::CaseSensitive) < 0;
}

void Function::sortQListQString(QList<QString> &list)
{
    std::sort(list.begin(), list.end(),
              [](const QString &a, const QString &b) { return compareStrings(a, b); });
}

void Function::ver()
{
    QDir().mkpath(QStringLiteral("data"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(QString::fromLatin1(DATABASE_FILE));
        if (!db.open()) {
            qDebug() << db.lastError().text() << "Обращение к базе завершено  с ошибкой";
        } else {
            QList<TableInfo> tables;
            if (readTables(tables)) {
                verifyTables(tables);
                verifyColumns();
            } else {
                QMessageBox::warning(nullptr, QStringLiteral("Ошибка"),
                                     QStringLiteral("Файл %1 не читается как база данных, проверка "
                                                    "таблиц не выполнена. Файл оставлен как есть.")
                                         .arg(QString::fromLatin1(DATABASE_FILE)),
                                     QMessageBox::Ok);
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QString::fromLatin1(QSqlDatabase::defaultConnection));
    setHidden(QString::fromLatin1(COLUMN_DESCRIPTOR));
    setHidden(QString::fromLatin1(TABLE_DESCRIPTOR));
}

QString Function::q(const QString &value)
{
    return QString(value).replace(QLatin1Char('\''), QStringLiteral("''"));
}

void Function::appendLog(const QString &text)
{
    QFile file(QString::fromLatin1(LOG_FILE));
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        QTextStream out(&file);
        out << text;
    }
}

void Function::setHidden(const QString &fileName)
{
#ifdef Q_OS_WIN
    SetFileAttributesW(reinterpret_cast<LPCWSTR>(fileName.utf16()), FILE_ATTRIBUTE_HIDDEN);
#else
    // Elsewhere a file is hidden by its name alone; the program keeps its names.
    Q_UNUSED(fileName);
#endif
}

QString Function::databaseFolder()
{
    QString folder;
    {
        QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
        folder = settings.value(QStringLiteral("Path/db")).toString();
    }
    setHidden(QStringLiteral("settings.ini"));
    return folder.isEmpty() ? QStringLiteral("data") : folder;
}

QString Function::describeError(const QSqlError &error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    const QString lower = text.toLower();
    QString reason;
    if (lower.contains(QLatin1String("unique constraint failed: combat.ln")))
        reason = QStringLiteral("военнослужащий с таким личным номером уже есть");
    else if (lower.contains(QLatin1String("unique constraint")))
        reason = QStringLiteral("такая запись уже есть");
    else if (lower.contains(QLatin1String("readonly")) || lower.contains(QLatin1String("read-only")))
        reason = QStringLiteral("база данных открыта только для чтения");
    else if (lower.contains(QLatin1String("locked")) || lower.contains(QLatin1String("busy")))
        reason = QStringLiteral("база данных занята другой программой");
    else if (lower.contains(QLatin1String("disk is full")) ||
             lower.contains(QLatin1String("database or disk is full")))
        reason = QStringLiteral("на диске нет места");
    else if (lower.contains(QLatin1String("no such table")) ||
             lower.contains(QLatin1String("no such column")))
        reason = QStringLiteral("в базе данных нет нужной таблицы или столбца (запустите программу с "
                                "параметром --ver)");
    else if (lower.contains(QLatin1String("not a database")) || lower.contains(QLatin1String("malformed")))
        reason = QStringLiteral("файл базы данных повреждён");
    else if (lower.contains(QLatin1String("not open")) || lower.contains(QLatin1String("unable to open")) ||
             lower.contains(QLatin1String("disk i/o")))
        reason = QStringLiteral("база данных недоступна");
    else
        reason = QStringLiteral("база данных отказала");
    return text.trimmed().isEmpty() ? reason
                                    : reason + QStringLiteral(" (") + text.trimmed() + QLatin1Char(')');
}

void Function::warnFailure(QWidget *parent, const QString &what, const QSqlError &error)
{
    QMessageBox::warning(parent, QStringLiteral("Ошибка"),
                         what + QStringLiteral(": ") + describeError(error) + QLatin1Char('.'),
                         QMessageBox::Ok);
}

bool Function::confirm(const QString &question)
{
    QMessageBox box;
    QPushButton *yes = box.addButton(QStringLiteral("Так точно"), QMessageBox::ActionRole);
    QPushButton *no = box.addButton(QStringLiteral("Никак нет"), QMessageBox::ActionRole);
    box.setEscapeButton(no);
    box.setText(QStringLiteral("Сообщение"));
    box.setInformativeText(question);
    box.exec();
    return box.clickedButton() == yes;
}

void Function::initApplication()
{
    Q_INIT_RESOURCE(icon);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

namespace {

// Widths of texts in one font, from the advances of single characters and the
// adjustments of adjacent pairs (kerning, two-letter ligatures), each shaped
// once. Far cheaper than shaping every text of a large table.
class TextWidths
{
public:
    // The measures of one font, kept for the life of the program: the
    // advances and pair adjustments learned in one fill serve the next.
    static TextWidths &of(const QFont &font)
    {
        static std::vector<std::pair<QFont, std::unique_ptr<TextWidths>>> known;
        for (auto &entry : known)
            if (entry.first == font)
                return *entry.second;
        if (known.size() >= 8)
            known.erase(known.begin());
        known.emplace_back(font, std::make_unique<TextWidths>(font));
        return *known.back().second;
    }

    explicit TextWidths(const QFont &font)
        : m_metrics(font)
    {
    }

    // The width of a one-line text, or a negative value when the text holds
    // something the estimate does not cover (line breaks, tabs, characters the
    // font lacks, surrogates, combining marks).
    qreal estimate(QStringView text)
    {
        qreal width = 0;
        QChar previous;
        for (const QChar c : text) {
            if (!plain(c))
                return -1;
            width += advance(c);
            if (!previous.isNull())
                width += pair(previous, c);
            previous = c;
        }
        return width;
    }

    // The text with every ASCII digit replaced by the first digit that lays
    // out exactly like it (same advance, same adjustment beside every digit
    // and beside its neighbours in the text), so that texts differing only in
    // such digits share one measurement. Digits that kern differently (as
    // "11" does in some fonts) keep their own place.
    QString normalized(const QString &text)
    {
        classifyDigits();
        QString out = text;
        for (qsizetype i = 0; i < out.size(); ++i) {
            const QChar c = out.at(i);
            if (!isDigit(c) || m_digitClass[c.unicode() - u'0'] == c)
                continue;
            if ((i > 0 && !isDigit(text.at(i - 1)) && !neutralBeside(text.at(i - 1))) ||
                (i + 1 < text.size() && !isDigit(text.at(i + 1)) && !neutralBeside(text.at(i + 1))))
                return text;
            out[i] = m_digitClass[c.unicode() - u'0'];
        }
        return out;
    }

private:
    static bool isDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

    // Characters get small slots on first sight, so that their advances and
    // the adjustments of their pairs are found by index rather than hashing.
    static constexpr int SLOTS = 256;

    int slot(QChar c)
    {
        if (m_slots.empty())
            m_slots.assign(65536, -1);
        int s = m_slots[c.unicode()];
        if (s < 0 && static_cast<int>(m_chars.size()) < SLOTS) {
            s = static_cast<int>(m_chars.size());
            m_slots[c.unicode()] = static_cast<short>(s);
            m_chars.push_back(c);
            const bool ok = c.unicode() >= 0x20 && !c.isSurrogate() && !c.isMark() &&
                            c.category() != QChar::Separator_Line &&
                            c.category() != QChar::Separator_Paragraph && m_metrics.inFont(c);
            m_plainBySlot.push_back(ok);
            m_advanceBySlot.push_back(m_metrics.horizontalAdvance(QString(c)));
            if (m_pairBySlot.empty())
                m_pairBySlot.assign(SLOTS * SLOTS, std::numeric_limits<qreal>::quiet_NaN());
        }
        return s;
    }

    bool plain(QChar c)
    {
        const int s = slot(c);
        if (s >= 0)
            return m_plainBySlot[static_cast<size_t>(s)];
        return c.unicode() >= 0x20 && !c.isSurrogate() && !c.isMark() && m_metrics.inFont(c);
    }

    qreal advance(QChar c)
    {
        const int s = slot(c);
        return s >= 0 ? m_advanceBySlot[static_cast<size_t>(s)] : m_metrics.horizontalAdvance(QString(c));
    }

    qreal pair(QChar a, QChar b)
    {
        const int sa = slot(a);
        const int sb = slot(b);
        if (sa < 0 || sb < 0)
            return m_metrics.horizontalAdvance(QString(a) + b) - advance(a) - advance(b);
        qreal &p = m_pairBySlot[static_cast<size_t>(sa * SLOTS + sb)];
        if (std::isnan(p))
            p = m_metrics.horizontalAdvance(QString(a) + b) - advance(a) - advance(b);
        return p;
    }

    void classifyDigits()
    {
        if (m_classified)
            return;
        m_classified = true;
        for (int d = 0; d < 10; ++d) {
            const QChar dc(u'0' + d);
            m_digitClass[d] = dc;
            for (int e = 0; e < d; ++e) {
                const QChar ec(u'0' + e);
                if (m_digitClass[e] != ec || advance(dc) != advance(ec))
                    continue;
                bool same = true;
                for (int x = 0; x < 10 && same; ++x) {
                    const QChar xc(u'0' + x);
                    same = pair(dc, xc) == pair(ec, xc) && pair(xc, dc) == pair(xc, ec);
                }
                if (same) {
                    m_digitClass[d] = ec;
                    break;
                }
            }
        }
    }

    bool neutralBeside(QChar c)
    {
        const auto found = m_neutral.constFind(c.unicode());
        if (found != m_neutral.constEnd())
            return *found;
        bool ok = plain(c);
        for (int d = 0; ok && d < 10; ++d) {
            const QChar dc(u'0' + d);
            const QChar rc = m_digitClass[d];
            ok = pair(dc, c) == pair(rc, c) && pair(c, dc) == pair(c, rc);
        }
        m_neutral.insert(c.unicode(), ok);
        return ok;
    }

    QFontMetricsF m_metrics;
    std::vector<short> m_slots;
    std::vector<QChar> m_chars;
    std::vector<bool> m_plainBySlot;
    std::vector<qreal> m_advanceBySlot;
    std::vector<qreal> m_pairBySlot;
    QHash<char16_t, bool> m_neutral;
    QChar m_digitClass[10];
    bool m_classified = false;
};

} // namespace

namespace {
// The options a view paints its items with; the view keeps the function that
// makes them protected, and a pointer to it is taken through a subclass.
struct ViewOptions : QAbstractItemView
{
    static constexpr auto init = &ViewOptions::initViewItemOption;
};
} // namespace

void Function::fitRowHeights(QTableView *table)
{
    // A row's height is that of its tallest visible cell, or of its header
    // section. A cell whose text surely fits on one line is as tall as any
    // other one-line cell; every other cell is measured once per distinct
    // text (up to digits that lay out alike) by placing it in a probe row at
    // the end of the table and asking its delegate, with the view's options,
    // as the view does. The result is the height
    // QTableView::resizeRowsToContents() gives.
    auto *widget = qobject_cast<QTableWidget *>(table);
    if (!widget) {
        table->resizeRowsToContents();
        return;
    }
    const int rows = widget->rowCount();
    const int columns = widget->columnCount();
    if (rows == 0)
        return;
    const QHeaderView *header = widget->horizontalHeader();
    const int textMargin = widget->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    std::vector<int> visible;
    std::vector<qreal> room(static_cast<size_t>(columns), 0);
    for (int c = 0; c < columns; ++c) {
        if (header->isSectionHidden(c))
            continue;
        visible.push_back(c);
        room[static_cast<size_t>(c)] = header->sectionSize(c) - (widget->showGrid() ? 1 : 0) - 2 * textMargin;
    }
    if (visible.empty())
        return;
    TextWidths &widths = TextWidths::of(widget->font());
    std::vector<QHash<QString, int>> cellHeights(static_cast<size_t>(columns));
    const int probe = rows;
    bool probing = false;
    // The view measures a row by asking the delegate of each of its cells
    // for a size hint with the options it paints with; a cell alone is asked
    // the same way here, which spares the view's pass over the empty cells.
    QStyleOptionViewItem options;
    auto measureCell = [&](int c) {
        const QModelIndex index = widget->model()->index(probe, c);
        QStyleOptionViewItem option = options;
        if (widget->wordWrap()) {
            option.rect.setY(widget->rowViewportPosition(probe));
            option.rect.setHeight(std::max(1, widget->rowHeight(probe)));
            option.rect.setX(widget->columnViewportPosition(c));
            // The view wraps a text within the column less its grid line.
            option.rect.setWidth(widget->columnWidth(c) - (widget->showGrid() ? 1 : 0));
        }
        const int hint = widget->itemDelegateForIndex(index)->sizeHint(option, index).height();
        return widget->showGrid() ? hint + 1 : hint;
    };
    auto openProbe = [&] {
        if (!probing) {
            widget->setRowCount(rows + 1);
            probing = true;
            // As the view does before it measures: its style and font
            // settle when it is polished.
            widget->ensurePolished();
            (widget->*ViewOptions::init)(&options);
        }
    };
    auto measure = [&](int c, const QString &text) {
        openProbe();
        widget->setItem(probe, c, new QTableWidgetItem(text));
        const int h = measureCell(c);
        delete widget->takeItem(probe, c);
        return h;
    };
    // Height of one cell: 0 for a text that surely fits on one line.
    auto cellHeight = [&](int c, const QString &text) {
        QHash<QString, int> &cache = cellHeights[static_cast<size_t>(c)];
        auto found = cache.constFind(text);
        if (found != cache.constEnd())
            return *found;
        const qreal w = widths.estimate(text);
        // Room to spare absorbs what a pairwise estimate can miss.
        if (w >= 0 && w + 2 + w / 50 <= room[static_cast<size_t>(c)]) {
            cache.insert(text, 0);
            return 0;
        }
        const QString key = widths.normalized(text);
        found = cache.constFind(key);
        if (found == cache.constEnd())
            found = cache.insert(key, measure(c, text));
        const int h = *found;
        cache.insert(text, h);
        return h;
    };

    int oneLine = -1;
    std::vector<int> heights(static_cast<size_t>(rows), -1);
    for (int r = 0; r < rows; ++r) {
        bool styled = false;
        bool anyText = false;
        int tallest = 0;
        for (int c : visible) {
            const QTableWidgetItem *item = widget->item(r, c);
            if (!item)
                continue;
            if (item->data(Qt::FontRole).isValid() || item->data(Qt::DecorationRole).isValid() ||
                item->data(Qt::CheckStateRole).isValid()) {
                styled = true;
                break;
            }
            const QString text = item->text();
            if (text.isEmpty())
                continue;
            anyText = true;
            tallest = std::max(tallest, cellHeight(c, text));
        }
        if (styled || !anyText)
            continue; // measured below, after the probe row is gone
        if (oneLine < 0) {
            // A one-line row: its header section or its tallest cell, empty
            // cells included, as the view measures a row.
            openProbe();
            widget->setItem(probe, visible.front(), new QTableWidgetItem(QStringLiteral("0")));
            oneLine = widget->verticalHeader()->sectionSizeHint(probe);
            for (int c : visible)
                oneLine = std::max(oneLine, measureCell(c));
            delete widget->takeItem(probe, visible.front());
        }
        heights[static_cast<size_t>(r)] = std::max(tallest, oneLine);
    }
    if (probing)
        widget->setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        const int h = heights[static_cast<size_t>(r)];
        if (h < 0)
            widget->resizeRowToContents(r);
        else
            widget->setRowHeight(r, h);
    }
}

void Function::fitColumnWidth(QTableView *table, int column, const QStringList *texts)
{
    // The width QTableView::resizeColumnToContents() gives, taken over every
    // row: the texts are estimated cheaply and only those that may be the
    // widest are measured by the view.
    auto *widget = qobject_cast<QTableWidget *>(table);
    if (!widget) {
        table->resizeColumnToContents(column);
        return;
    }
    TextWidths &widths = TextWidths::of(widget->font());
    const int rows = widget->rowCount();
    const int count = texts ? static_cast<int>(texts->size()) : rows;
    std::vector<qreal> estimates(static_cast<size_t>(count), 0);
    qreal widest = 0;
    for (int r = 0; r < count; ++r) {
        qreal w = 0;
        if (texts) {
            w = widths.estimate(texts->at(r));
        } else if (const QTableWidgetItem *item = widget->item(r, column)) {
            const bool styled = item->data(Qt::FontRole).isValid() ||
                                item->data(Qt::DecorationRole).isValid() ||
                                item->data(Qt::CheckStateRole).isValid();
            w = styled ? -1 : widths.estimate(item->text());
        }
        estimates[static_cast<size_t>(r)] = w;
        widest = std::max(widest, w);
    }
    // Given texts are measured in a probe row at the end of the table.
    bool probing = false;
    auto measure = [&](int r) {
        if (!texts)
            return widget->sizeHintForIndex(widget->model()->index(r, column)).width();
        if (!probing) {
            widget->setRowCount(rows + 1);
            probing = true;
        }
        widget->setItem(rows, column, new QTableWidgetItem(texts->at(r)));
        const int w = widget->sizeHintForIndex(widget->model()->index(rows, column)).width();
        delete widget->takeItem(rows, column);
        return w;
    };
    int hint = 0;
    const qreal threshold = widest - 4 - widest / 25;
    for (int r = 0; r < count; ++r) {
        const qreal w = estimates[static_cast<size_t>(r)];
        if (w < 0 || (w >= threshold && (texts || widget->item(r, column))))
            hint = std::max(hint, measure(r));
    }
    if (probing)
        widget->setRowCount(rows);
    if (widget->showGrid())
        hint += 1;
    widget->horizontalHeader()->resizeSection(
        column, std::max(hint, widget->horizontalHeader()->sectionSizeHint(column)));
}

QDate Function::parseDate(const QString &text)
{
    auto digit = [&text](int i) {
        const char16_t u = text.at(i).unicode();
        return u >= u'0' && u <= u'9' ? u - u'0' : -1;
    };
    if (text.size() == 10 && text.at(2) == QLatin1Char('.') && text.at(5) == QLatin1Char('.')) {
        const int d[] = {digit(0), digit(1), digit(3), digit(4), digit(6), digit(7), digit(8), digit(9)};
        if (std::all_of(std::begin(d), std::end(d), [](int x) { return x >= 0; }))
            return QDate(d[4] * 1000 + d[5] * 100 + d[6] * 10 + d[7], d[2] * 10 + d[3], d[0] * 10 + d[1]);
    }
    return QDate::fromString(text, QStringLiteral("dd.MM.yyyy"));
}

QString Function::debugText(const QList<QDate> &dates)
{
    QString text;
    text.reserve(8 + dates.size() * 20);
    text += QLatin1String("QList(");
    for (qsizetype i = 0; i < dates.size(); ++i) {
        if (i > 0)
            text += QLatin1String(", ");
        const QDate &date = dates.at(i);
        if (!date.isValid()) {
            text += QLatin1String("QDate(Invalid)");
            continue;
        }
        const int y = date.year();
        if (y < 1 || y > 9999) {
            QDebug(&text).nospace() << date;
            continue;
        }
        const int m = date.month();
        const int d = date.day();
        const char16_t digits[] = {u'Q',
                                   u'D',
                                   u'a',
                                   u't',
                                   u'e',
                                   u'(',
                                   u'"',
                                   char16_t(u'0' + y / 1000),
                                   char16_t(u'0' + y / 100 % 10),
                                   char16_t(u'0' + y / 10 % 10),
                                   char16_t(u'0' + y % 10),
                                   u'-',
                                   char16_t(u'0' + m / 10),
                                   char16_t(u'0' + m % 10),
                                   u'-',
                                   char16_t(u'0' + d / 10),
                                   char16_t(u'0' + d % 10),
                                   u'"',
                                   u')'};
        text.append(reinterpret_cast<const QChar *>(digits), std::size(digits));
    }
    text += QLatin1Char(')');
    return text;
}

bool Function::wantsVerification(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("--ver"), Qt::CaseSensitive);
}
