#include "storage/import/columns.h"

#include "storage/setup/settings.h"

#include <QVariantMap>

namespace Import {

namespace {

struct Known
{
    Column column;
    // Kept in settings.ini: never changed once released.
    const char *code;
    const char *caption;
    // The headers that name it, without blanks and in lower case.
    QStringList headers;
    bool orders;
    bool servicemen;
};

const QVector<Known> &known()
{
    static const QVector<Known> table = {
        {Column::FullName, "fio", "ФИО", {"фио", "фамилияимяотчество", "фамилия,имя,отчество"}, false, true},
        {Column::LastName, "last", "Фамилия", {"фамилия"}, false, true},
        {Column::FirstName, "first", "Имя", {"имя"}, false, true},
        {Column::Patronymic, "patronymic", "Отчество", {"отчество"}, false, true},
        {Column::PersonalNumber, "ln", "Личный номер", {"личныйномер", "л/н", "лн"}, true, true},
        {Column::Rank, "rank", "Воинское звание", {"воинскоезвание", "звание"}, false, true},
        {Column::Position, "position", "Должность", {"должность"}, false, true},
        {Column::BirthDate, "birth", "Дата рождения", {"датарождения"}, false, true},
        {Column::Unit, "unit", "№ ВП", {"№вп", "вп", "подразделение"}, false, true},
        {Column::Category, "category", "Категория", {"категория", "вид", "видприказа"}, true, false},
        {Column::OrderNumber, "number", "Номер приказа", {"номерприказа", "№приказа", "номер", "приказ"}, true,
         false},
        {Column::OrderDate, "date", "Дата приказа", {"датаприказа", "дата"}, true, false},
        {Column::Issuer, "issuer", "Кем издан", {"кемиздан", "кемвыдан"}, true, false},
        {Column::OrderName, "name", "Наименование", {"наименование", "зачтопоощрен", "зачто"}, true, false},
        {Column::Outgoing, "outgoing", "Исходящий номер", {"исходящийномер", "исх.№", "исходящий", "исх.номер"},
         true, false},
        {Column::LiftNumber, "liftnumber", "Номер приказа о снятии",
         {"номерприказаоснятии", "номерснятия", "№снятия"}, true, false},
        {Column::LiftDate, "liftdate", "Дата снятия", {"датаснятия", "датаприказаоснятии"}, true, false},
    };
    return table;
}

bool fits(const Known &k, Kind kind)
{
    return kind == Kind::Orders ? k.orders : k.servicemen;
}

// A header without its blanks, in lower case: "Личный  номер" is "личныйномер".
QString squeezed(const QString &header)
{
    QString out;
    out.reserve(header.size());
    for (const QChar c : header) {
        if (!c.isSpace())
            out.append(c.toLower());
    }
    return out.replace(QChar(0x0451), QChar(0x0435)); // ё reads as е
}

QString key(const QStringList &headers)
{
    QStringList keyed;
    for (const QString &h : headers)
        keyed.append(squeezed(h));
    while (!keyed.isEmpty() && keyed.constLast().isEmpty())
        keyed.removeLast();
    return keyed.join(QLatin1Char('|'));
}

} // namespace

QVector<Column> choices(Kind kind)
{
    QVector<Column> out{Column::None};
    for (const Known &k : known()) {
        if (fits(k, kind))
            out.append(k.column);
    }
    return out;
}

QString caption(Column column)
{
    for (const Known &k : known()) {
        if (k.column == column)
            return QString::fromUtf8(k.caption);
    }
    return QStringLiteral("(не загружать)");
}

Column recognise(const QString &header, Kind kind)
{
    const QString h = squeezed(header);
    if (h.isEmpty())
        return Column::None;
    for (const Known &k : known()) {
        if (fits(k, kind) && k.headers.contains(h))
            return k.column;
    }
    return Column::None;
}

int Matching::indexOf(Column column) const
{
    return static_cast<int>(columns.indexOf(column));
}

Matching match(const Rows &rows, Kind kind)
{
    Matching m;
    const int last = std::min<int>(20, static_cast<int>(rows.size()));
    for (int r = 0; r < last && m.headerRow < 0; ++r) {
        QVector<Column> found;
        int recognised = 0;
        const Row &row = rows.at(r);
        for (qsizetype i = 0; i < row.size(); ++i) {
            Column c = recognise(row.value(i), kind);
            // A column named twice is taken once, where it is named first.
            if (c != Column::None && found.contains(c))
                c = Column::None;
            recognised += c != Column::None;
            found.append(c);
        }
        if (recognised >= 2) {
            m.headerRow = r;
            m.columns = found;
        }
    }
    if (m.headerRow < 0)
        return m;
    // The data may reach past the headers: those columns count as well.
    const qsizetype headers = m.columns.size();
    qsizetype width = headers;
    for (const Row &row : rows)
        width = std::max(width, row.size());
    m.columns.resize(width, Column::None);
    const QStringList saved = Settings::setting(Settings::IMPORT_COLUMNS_KEY)
                                  .toMap()
                                  .value(key(rows.at(m.headerRow).toList()))
                                  .toStringList();
    if (saved.size() >= headers) {
        for (qsizetype i = 0; i < std::min(saved.size(), width); ++i) {
            Column c = Column::None;
            for (const Known &k : known()) {
                if (QLatin1String(k.code) == saved.at(i) && fits(k, kind))
                    c = k.column;
            }
            m.columns[i] = c;
        }
    }
    return m;
}

void remember(const QStringList &headers, const QVector<Column> &columns)
{
    QStringList codes;
    for (const Column c : columns) {
        QString code = QStringLiteral("-");
        for (const Known &k : known()) {
            if (k.column == c)
                code = QString::fromLatin1(k.code);
        }
        codes.append(code);
    }
    QVariantMap saved = Settings::setting(Settings::IMPORT_COLUMNS_KEY).toMap();
    saved.insert(key(headers), codes);
    Settings::storeSetting(Settings::IMPORT_COLUMNS_KEY, saved);
}

} // namespace Import
