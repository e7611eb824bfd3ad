#include "function.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlRecord>
#include <QStyle>
#include <QTableView>
#include <QTextStream>
#include <QXmlStreamReader>

#include <algorithm>
#include <climits>

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

// Reads a whole descriptor. On a missing or malformed file returns false and
// says why in `error` (with line and column for malformed XML).
bool readDescriptor(const QString &fileName, QList<Element> &elements, QString &error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            Element e;
            e.name = xml.name().toString();
            const QXmlStreamAttributes attributes = xml.attributes();
            for (const QXmlStreamAttribute &a : attributes)
                e.attributes.append({a.name().toString(), a.value().toString()});
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

// The column name at the start of a column definition, quotes removed.
QString columnName(const QString &definition)
{
    const QString d = definition.trimmed();
    if (d.isEmpty())
        return QString();
    const QChar open = d.at(0);
    const QChar close = open == QLatin1Char('[') ? QLatin1Char(']') : open;
    if (open == QLatin1Char('"') || open == QLatin1Char('`') || open == QLatin1Char('[')) {
        const qsizetype end = d.indexOf(close, 1);
        return end < 0 ? d.mid(1) : d.mid(1, end - 1);
    }
    const qsizetype blank = d.indexOf(QRegularExpression(QStringLiteral("\\s")));
    return blank < 0 ? d : d.left(blank);
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
    QSqlQuery query;
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

void Function::fitRowHeights(QTableView *table)
{
    const QAbstractItemModel *model = table->model();
    if (!model)
        return;
    const int rows = model->rowCount();
    const int columns = model->columnCount();
    const QHeaderView *header = table->horizontalHeader();
    const QFontMetrics metrics(table->font());
    // The delegate leaves a focus-frame margin on each side of the text; a
    // little extra keeps texts that nearly fill a cell among the measured ones.
    const int margin =
        2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1) + 4;
    int oneLine = -1;
    for (int r = 0; r < rows; ++r) {
        bool simple = true;
        bool anyText = false;
        for (int c = 0; c < columns && simple; ++c) {
            if (header->isSectionHidden(c))
                continue;
            const QModelIndex index = model->index(r, c);
            const QVariant font = model->data(index, Qt::FontRole);
            const QVariant decoration = model->data(index, Qt::DecorationRole);
            const QString text = model->data(index, Qt::DisplayRole).toString();
            if (font.isValid() || decoration.isValid() || text.contains(QLatin1Char('\n')))
                simple = false;
            else if (!text.isEmpty()) {
                anyText = true;
                simple = metrics.horizontalAdvance(text) + margin <= header->sectionSize(c);
            }
        }
        if (!simple || !anyText) {
            table->resizeRowToContents(r);
        } else if (oneLine < 0) {
            table->resizeRowToContents(r);
            oneLine = table->rowHeight(r);
        } else {
            table->setRowHeight(r, oneLine);
        }
    }
}

bool Function::wantsVerification(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("--ver"), Qt::CaseSensitive);
}
