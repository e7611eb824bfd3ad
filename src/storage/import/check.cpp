#include "storage/import/check.h"

#include "function.h"
#include "storage/db/sql.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <tuple>

namespace Import {

namespace {

// A two-digit year: this century up to the current year, else the last one.
int fullYear(int year, int digits)
{
    if (digits != 2)
        return year;
    const int now = QDate::currentDate().year();
    return 2000 + year <= now ? 2000 + year : 1900 + year;
}

// The text of a cell, trimmed; a null text when the file has no such column.
QString cell(const Row &row, int index)
{
    if (index < 0)
        return QString();
    const QString text = row.value(index).trimmed();
    return text.isNull() ? QString(QLatin1String("")) : text;
}

// Where each kind of column stands (its first place), found once: a sheet
// may be thousands of columns wide, and every row asks.
class Places
{
public:
    explicit Places(const Matching &matching)
    {
        m_places.fill(-1);
        for (int i = static_cast<int>(matching.columns.size()) - 1; i >= 0; --i)
            m_places[static_cast<size_t>(matching.columns.at(i))] = i;
    }
    int operator()(Column column) const { return m_places[static_cast<size_t>(column)]; }

private:
    std::array<int, static_cast<size_t>(Column::LiftDate) + 1> m_places;
};

// A personal number as it reads to the eye: letters in one case, and the
// Latin letters that look like Russian ones taken for them.
QString lookalike(const QString &ln)
{
    static const QString latin = QStringLiteral("ABCEHKMOPTXY");
    static const QString cyrillic = QStringLiteral("АВСЕНКМОРТХУ");
    QString key = ln.toUpper();
    for (QChar &c : key) {
        const qsizetype at = c.unicode() < 128 ? latin.indexOf(c) : -1;
        if (at >= 0)
            c = cyrillic.at(at);
    }
    return key;
}

QString lookalikeProblem(const QString &ln, const QString &other, const QString &where)
{
    return QStringLiteral("личный номер «%1» отличается от «%2» %3 только регистром букв или латинскими "
                          "буквами вместо русских")
        .arg(ln, other, where);
}

const QString &otherEncodingProblem()
{
    static const QString text = QStringLiteral("строка записана в другой кодировке, чем остальной файл "
                                               "(её текст искажён)");
    return text;
}

// A text longer than its field holds, named with its column.
QString tooLongProblem(const QString &what, int limit, int column)
{
    return QStringLiteral("%1 длиннее %2 знаков (столбец %3)").arg(what, QString::number(limit), columnName(column));
}

// Where the personal numbers of a sheet stand: how many rows hold each, and
// the first few of them, so that a number repeated in thousands of rows is
// told in a line, not in thousands.
class Repeats
{
public:
    static constexpr int SHOWN = 3;

    void add(const QString &ln, int line)
    {
        Lines &l = m_lines[ln];
        if (l.count < SHOWN)
            l.first[l.count] = line;
        ++l.count;
    }
    // The remark of a repeated number (one text shared by its rows), or an
    // empty one.
    QString remark(const QString &ln)
    {
        const auto found = m_lines.find(ln);
        if (found == m_lines.end() || found->count < 2)
            return QString();
        if (found->remark.isEmpty()) {
            QStringList shown;
            for (int i = 0; i < std::min(found->count, SHOWN); ++i)
                shown.append(QString::number(found->first[i]));
            found->remark = found->count <= SHOWN
                                ? QStringLiteral("личный номер «%1» повторяется в файле (строки %2)")
                                      .arg(ln, shown.join(QStringLiteral(", ")))
                                : QStringLiteral("личный номер «%1» повторяется в файле (строк: %2, первые — %3)")
                                      .arg(ln, QString::number(found->count), shown.join(QStringLiteral(", ")));
        }
        return found->remark;
    }
    void reserve(qsizetype size) { m_lines.reserve(size); }

private:
    struct Lines
    {
        int count = 0;
        int first[SHOWN] = {};
        QString remark;
    };
    QHash<QString, Lines> m_lines;
};

// The personal numbers that read alike but are written differently: by
// their look-alike key, the first two spellings met and where.
class Lookalikes
{
public:
    void add(const QString &ln, const QString &where)
    {
        Spellings &s = m_keys[lookalike(ln)];
        if (s.first.isNull())
            s.first = {ln, where};
        else if (s.second.isNull() && s.first.ln != ln)
            s.second = {ln, where};
    }
    // Another spelling of the number and where it stands, when there is one.
    bool other(const QString &ln, QString *spelling, QString *where) const
    {
        const auto found = m_keys.constFind(lookalike(ln));
        if (found == m_keys.cend())
            return false;
        const Spelling &o = found->first.ln != ln ? found->first : found->second;
        if (o.isNull())
            return false;
        *spelling = o.ln;
        *where = o.where;
        return true;
    }

private:
    struct Spelling
    {
        QString ln;
        QString where;
        bool isNull() const { return ln.isNull(); }
    };
    struct Spellings
    {
        Spelling first;
        Spelling second;
    };
    QHash<QString, Spellings> m_keys;
};

QString squeezed(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (!c.isSpace())
            out.append(c.toLower());
    }
    return out;
}

// A reference list as the serviceman form lists it (the name is the second
// column), or false when it could not be read.
bool readList(const char *statement, QStringList *names, QString *error)
{
    QSqlQuery query = Function::Myquery(QString::fromLatin1(statement));
    if (!query.isActive()) {
        *error = query.lastError().text();
        return false;
    }
    while (query.next())
        names->append(query.value(1).toString());
    return true;
}

bool readNumbers(QSet<QString> *numbers, QString *error)
{
    QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::IMPORT_REGISTER_LNS));
    if (!query.isActive()) {
        *error = query.lastError().text();
        return false;
    }
    while (query.next())
        numbers->insert(query.value(0).toString());
    return true;
}

// The register's servicemen as stored, by personal number.
bool readStored(QHash<QString, Servicemen::Entry> *stored, QSet<QString> *numbers, QString *error)
{
    QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::IMPORT_REGISTER_SERVICEMEN));
    if (!query.isActive()) {
        *error = query.lastError().text();
        return false;
    }
    while (query.next()) {
        const QString ln = query.value(0).toString();
        Servicemen::Entry e;
        const std::pair<int, Servicemen::Field> texts[] = {
            {1, Servicemen::VP}, {2, Servicemen::DOL}, {3, Servicemen::VZ}, {4, Servicemen::FIO}, {5, Servicemen::BIRTH}};
        for (const auto &[column, field] : texts)
            e.fields[field] = query.value(column).toString();
        e.fields[Servicemen::LN] = ln;
        e.position = query.value(6).toInt();
        e.rank = query.value(7).toInt();
        numbers->insert(ln);
        stored->insert(ln, e);
    }
    return true;
}

// Whether an update would leave the serviceman as he is: every text the row
// gives is the stored one, and so are the places of its rank and position
// (the texts it does not give are kept anyway).
bool sameAsStored(const ServicemanRow &row, const Servicemen::Entry &stored)
{
    using namespace Servicemen;
    for (const Field f : {VP, DOL, VZ, FIO, BIRTH}) {
        if (row.given[f] && row.entry.fields[f] != stored.fields[f])
            return false;
    }
    return (!row.given[DOL] || row.entry.position == stored.position) &&
           (!row.given[VZ] || row.entry.rank == stored.rank);
}

// The entry of a reference list a name of the file takes: the entry itself,
// one written in another case or spacing, the user's mapping, or a new
// entry after the list (its place counted after the list's).
void resolve(const QString &name, const QStringList &list, const QMap<QString, QString> &mapping,
             QStringList *missing, QStringList *added, QString *stored, int *number)
{
    *stored = QString(QLatin1String(""));
    *number = 0;
    if (name.isEmpty())
        return;
    int at = static_cast<int>(list.indexOf(name));
    if (at < 0) {
        const QString s = squeezed(name);
        for (int i = 0; i < list.size() && at < 0; ++i) {
            if (squeezed(list.at(i)) == s)
                at = i;
        }
    }
    if (at < 0 && !missing->contains(name))
        missing->append(name);
    if (at < 0 && mapping.contains(name))
        at = static_cast<int>(list.indexOf(mapping.value(name)));
    if (at >= 0) {
        *stored = list.at(at);
        *number = at + 1;
        return;
    }
    int extra = static_cast<int>(added->indexOf(name));
    if (extra < 0) {
        added->append(name);
        extra = static_cast<int>(added->size()) - 1;
    }
    *stored = name;
    *number = static_cast<int>(list.size()) + extra + 1;
}

QString dateProblem(const QString &what, const QString &text, bool impossible)
{
    return impossible ? QStringLiteral("%1 «%2» не существует").arg(what, text)
                      : QStringLiteral("%1 «%2» не распознана").arg(what, text);
}

} // namespace

QDate readDate(const QString &text, bool *impossible)
{
    if (impossible)
        *impossible = false;
    const QString t = text.trimmed();
    // "dd.MM.yyyy", the common case, read without the patterns.
    if (t.size() == 10 && t.at(2) == QLatin1Char('.') && t.at(5) == QLatin1Char('.')) {
        int d[8];
        int k = 0;
        for (const int i : {0, 1, 3, 4, 6, 7, 8, 9}) {
            const char16_t u = t.at(i).unicode();
            d[k++] = u >= u'0' && u <= u'9' ? u - u'0' : -1;
        }
        if (std::all_of(d, d + 8, [](int x) { return x >= 0; })) {
            const QDate date(d[4] * 1000 + d[5] * 100 + d[6] * 10 + d[7], d[2] * 10 + d[3], d[0] * 10 + d[1]);
            if (!date.isValid() && impossible)
                *impossible = true;
            return date;
        }
    }
    static const QRegularExpression dotted(QStringLiteral("^(\\d{1,2})\\.(\\d{1,2})\\.(\\d{4}|\\d{2})(?:\\s+\\d{1,2}:\\d{2}(?::\\d{2})?)?$"));
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})(?:[T ]\\d{1,2}:\\d{2}(?::\\d{2}(?:\\.\\d+)?)?)?$"));
    // Day numbers of five digits and more (from 18.05.1927): a year typed
    // alone ("1991") is not taken for a day of 1905.
    static const QRegularExpression serial(QStringLiteral("^(\\d{5,7})(?:[.,]\\d+)?$"));
    QRegularExpressionMatch m = dotted.match(t);
    int y = 0;
    int mo = 0;
    int d = 0;
    if (m.hasMatch()) {
        d = m.captured(1).toInt();
        mo = m.captured(2).toInt();
        y = fullYear(m.captured(3).toInt(), static_cast<int>(m.captured(3).size()));
    } else if ((m = iso.match(t)).hasMatch()) {
        y = m.captured(1).toInt();
        mo = m.captured(2).toInt();
        d = m.captured(3).toInt();
    } else if ((m = serial.match(t)).hasMatch()) {
        // A spreadsheet's day number: 1 is 31.12.1899, 2958465 is 31.12.9999.
        const int days = m.captured(1).toInt();
        if (days >= 1 && days <= 2958465)
            return QDate(1899, 12, 30).addDays(days);
        if (impossible)
            *impossible = true;
        return QDate();
    } else {
        return QDate();
    }
    const QDate date(y, mo, d);
    if (!date.isValid() && impossible)
        *impossible = true;
    return date;
}

QString birthText(const QDate &date)
{
    return QLocale().toString(QDateTime(date, QTime(0, 0)), QLocale::ShortFormat);
}

namespace {

// birthText() for a whole sheet: the language's form read once.
class BirthTexts
{
public:
    QString operator()(const QDate &date) const
    {
        return m_locale.toString(QDateTime(date, QTime(0, 0)), m_format);
    }
    // The day a stored birth text names, as the serviceman form reads it
    // (its own form, with a one- or two-digit hour), else as a plain date.
    QDate read(const QString &text) const
    {
        for (const QString &format : {m_format, m_shortHour, m_longHour}) {
            const QDateTime at = m_locale.toDateTime(text, format);
            if (at.isValid())
                return at.date();
        }
        return readDate(text.section(QLatin1Char(' '), 0, 0));
    }

private:
    QLocale m_locale;
    QString m_format = m_locale.dateTimeFormat(QLocale::ShortFormat);
    QString m_shortHour = QString(m_format).replace(QLatin1String("HH"), QLatin1String("H"));
    QString m_longHour = QString(m_shortHour).replace(QLatin1String("H"), QLatin1String("HH"));
};

} // namespace

ServicemenCheck checkServicemen(const Rows &rows, const Matching &matching, const Choices &choices)
{
    ServicemenCheck out;
    QSet<QString> register_;
    // With updates chosen, the stored values too: an update that changes
    // nothing is told apart.
    QHash<QString, Servicemen::Entry> stored;
    if (!readList(Sql::SELECT_RANKS, &out.ranks, &out.error) ||
        !readList(Sql::SELECT_POSITIONS, &out.positions, &out.error) ||
        !(choices.updateExisting ? readStored(&stored, &register_, &out.error)
                                 : readNumbers(&register_, &out.error)))
        return out;

    const Places at(matching);
    const int fullName = at(Column::FullName);
    const int parts[] = {at(Column::LastName), at(Column::FirstName), at(Column::Patronymic)};
    const int lnAt = at(Column::PersonalNumber);
    const int columnOf[] = {at(Column::Unit), at(Column::Position), at(Column::Rank), fullName, at(Column::BirthDate),
                            lnAt};

    const BirthTexts birthTexts;
    out.rows.reserve(rows.size());
    // Where each personal number stands in the file, and the numbers that
    // read alike in the register and in the file.
    Repeats repeats;
    repeats.reserve(rows.size());
    Lookalikes inRegister;
    for (const QString &ln : std::as_const(register_))
        inRegister.add(ln, QString());
    Lookalikes inFile;
    for (int r = matching.headerRow + 1; r < rows.size(); ++r) {
        const QString ln = cell(rows.at(r), lnAt);
        if (!ln.isEmpty()) {
            repeats.add(ln, r + 1);
            inFile.add(ln, QString::number(r + 1));
        }
    }

    for (int r = matching.headerRow + 1; r < rows.size(); ++r) {
        const Row &row = rows.at(r);
        if (row.blank())
            continue;
        ServicemanRow s;
        s.line = r + 1;
        Servicemen::Fields &f = s.entry.fields;
        f[Servicemen::LN] = cell(row, lnAt);
        int nameColumn = fullName;
        if (fullName >= 0) {
            f[Servicemen::FIO] = cell(row, fullName);
        } else {
            QStringList words;
            for (const int p : parts) {
                const QString w = cell(row, p);
                if (!w.isEmpty())
                    words.append(w);
                if (nameColumn < 0 && p >= 0)
                    nameColumn = p;
            }
            f[Servicemen::FIO] = words.join(QLatin1Char(' '));
        }
        f[Servicemen::VP] = cell(row, at(Column::Unit));
        const QString rank = cell(row, at(Column::Rank));
        const QString position = cell(row, at(Column::Position));
        const QString birth = cell(row, at(Column::BirthDate));
        s.given = {!f[Servicemen::VP].isEmpty(), !position.isEmpty(), !rank.isEmpty(),
                   !f[Servicemen::FIO].isEmpty(), !birth.isEmpty(), true};
        const QString &ln = f[Servicemen::LN];

        QStringList problems;
        if (row.otherEncoding())
            problems.append(otherEncodingProblem());
        if (ln.isEmpty())
            problems.append(QStringLiteral("нет личного номера"));
        if (f[Servicemen::FIO].isEmpty())
            problems.append(QStringLiteral("нет ФИО"));
        // The texts as the file gives them, before a date is read.
        Servicemen::Fields given = f;
        given[Servicemen::DOL] = position;
        given[Servicemen::VZ] = rank;
        given[Servicemen::BIRTH] = birth;
        for (int field = 0; field < static_cast<int>(given.size()); ++field) {
            const auto which = static_cast<Servicemen::Field>(field);
            const int limit = Servicemen::maxLength(which);
            if (given[static_cast<size_t>(field)].size() > limit)
                problems.append(tooLongProblem(Servicemen::fieldName(which), limit,
                                               which == Servicemen::FIO ? nameColumn : columnOf[field]));
        }
        const QString repeated = ln.isEmpty() ? QString() : repeats.remark(ln);
        if (!repeated.isEmpty())
            problems.append(repeated);
        const bool known = !ln.isEmpty() && register_.contains(ln);
        QString spelling, where;
        if (!ln.isEmpty() && !known && inRegister.other(ln, &spelling, &where))
            problems.append(lookalikeProblem(ln, spelling, QStringLiteral("в реестре")));
        else if (!ln.isEmpty() && repeated.isEmpty() && inFile.other(ln, &spelling, &where))
            problems.append(lookalikeProblem(ln, spelling, QStringLiteral("в строке %1").arg(where)));
        if (!birth.isEmpty() && birth.size() <= Servicemen::maxLength(Servicemen::BIRTH)) {
            bool impossible = false;
            const QDate date = readDate(birth, &impossible);
            if (!date.isValid()) {
                problems.append(dateProblem(QStringLiteral("дата рождения"), birth, impossible));
            } else {
                f[Servicemen::BIRTH] = birthTexts(date);
                // The same day stored in another form stays as it is: no
                // change, no history entry.
                const auto was = stored.constFind(ln);
                if (was != stored.cend() && birthTexts.read(was->fields[Servicemen::BIRTH]) == date)
                    f[Servicemen::BIRTH] = was->fields[Servicemen::BIRTH];
            }
        }
        if (problems.isEmpty() && known && !choices.updateExisting)
            problems.append(QStringLiteral("личный номер «%1» уже есть в реестре").arg(ln));
        if (!problems.isEmpty()) {
            // One remark alone is shared with the rows that have it.
            s.reason = problems.size() == 1 ? problems.constFirst() : problems.join(QStringLiteral("; "));
            ++out.skipped;
            out.rows.append(s);
            continue;
        }
        // Only the rows written count their missing reference entries.
        resolve(rank, out.ranks, choices.ranks, &out.missingRanks, &out.newRanks, &f[Servicemen::VZ], &s.entry.rank);
        resolve(position, out.positions, choices.positions, &out.missingPositions, &out.newPositions, &f[Servicemen::DOL],
                &s.entry.position);
        if (!known) {
            s.action = Action::Add;
            ++out.added;
        } else if (sameAsStored(s, stored.value(ln))) {
            s.action = Action::Unchanged;
            ++out.unchanged;
        } else {
            s.action = Action::Update;
            ++out.updated;
        }
        out.rows.append(s);
    }
    return out;
}

QSet<QString> importedNumbers(const ServicemenCheck &check)
{
    QSet<QString> numbers;
    for (const ServicemanRow &r : check.rows) {
        if (r.action != Action::Skip)
            numbers.insert(r.entry.fields[Servicemen::LN]);
    }
    return numbers;
}

QString categoryCode(const QString &text)
{
    static const QHash<QString, QString> names = [] {
        QHash<QString, QString> n;
        const std::pair<const char *, const char *> pairs[] = {
            {"взыскания", "vzs"},
            {"взыскание", "vzs"},
            {"благодарности", "blag"},
            {"благодарность", "blag"},
            {"грамоты", "gr"},
            {"грамота", "gr"},
            {"знакиотличияморф", "ZOMO"},
            {"знакиотличия", "ZOMO"},
            {"знакотличия", "ZOMO"},
            {"государственныенаграды", "gosnag"},
            {"гос.награды", "gosnag"},
            {"государственнаянаграда", "gosnag"},
            {"ветеранвоеннойслужбы", "posh"},
        };
        for (const auto &p : pairs)
            n.insert(QString::fromUtf8(p.first), QString::fromLatin1(p.second));
        for (const char *code : {Code::VZS, Code::BLAG, Code::GR, Code::ZOMO, Code::GOSNAG, Code::POSH})
            n.insert(QString::fromLatin1(code).toLower(), QString::fromLatin1(code));
        return n;
    }();
    return names.value(squeezed(text));
}

OrdersCheck checkOrders(const Rows &rows, const Matching &matching,
                        const ServicemenCheck &roster)
{
    OrdersCheck out;
    QSet<QString> register_;
    if (!readNumbers(&register_, &out.error))
        return out;
    const QSet<QString> imported = importedNumbers(roster);
    // The roster's skipped rows by personal number (the first of them), for
    // an order of a serviceman who is only there.
    QHash<QString, const ServicemanRow *> left;
    for (const ServicemanRow &r : roster.rows) {
        const QString &ln = r.entry.fields[Servicemen::LN];
        if (r.action == Action::Skip && !ln.isEmpty() && !left.contains(ln))
            left.insert(ln, &r);
    }
    // The orders already there, by personal number, code and number.
    QHash<QString, int> seen;
    const auto key = [](const QString &ln, const QString &code, const QString &number) {
        QString k;
        k.reserve(ln.size() + code.size() + number.size() + 2);
        k.append(ln).append(QChar(0x1f)).append(code).append(QChar(0x1f)).append(number);
        return k;
    };
    {
        QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::IMPORT_REGISTER_ORDERS));
        if (!query.isActive()) {
            out.error = query.lastError().text();
            return out;
        }
        while (query.next())
            seen.insert(key(query.value(0).toString(), query.value(1).toString(), query.value(2).toString()), 0);
    }
    const Places at(matching);
    QHash<QString, QString> codes;
    seen.reserve(seen.size() + rows.size());
    out.rows.reserve(rows.size());
    for (int r = matching.headerRow + 1; r < rows.size(); ++r) {
        const Row &row = rows.at(r);
        if (row.blank())
            continue;
        OrderRow o;
        o.line = r + 1;
        o.ln = cell(row, at(Column::PersonalNumber));
        const QString category = cell(row, at(Column::Category));
        // A sheet names a handful of categories over and over.
        auto known = codes.constFind(category);
        if (known == codes.constEnd())
            known = codes.insert(category, categoryCode(category));
        o.code = known.value();
        o.number = cell(row, at(Column::OrderNumber));
        const QString date = cell(row, at(Column::OrderDate));
        o.issuer = cell(row, at(Column::Issuer));
        o.name = cell(row, at(Column::OrderName));
        o.outgoing = cell(row, at(Column::Outgoing));
        const QString liftDate = cell(row, at(Column::LiftDate));
        const QString liftNumber = cell(row, at(Column::LiftNumber));

        QStringList problems;
        if (row.otherEncoding())
            problems.append(otherEncodingProblem());
        // The longest texts an order sensibly holds.
        const std::tuple<const char *, const QString *, Column, int> texts[] = {
            {"личный номер", &o.ln, Column::PersonalNumber, Servicemen::maxLength(Servicemen::LN)},
            {"категория", &category, Column::Category, 100},
            {"номер приказа", &o.number, Column::OrderNumber, 100},
            {"дата приказа", &date, Column::OrderDate, 50},
            {"кем издан", &o.issuer, Column::Issuer, 255},
            {"наименование", &o.name, Column::OrderName, 1000},
            {"исходящий номер", &o.outgoing, Column::Outgoing, 100},
            {"номер приказа о снятии", &liftNumber, Column::LiftNumber, 100},
            {"дата снятия", &liftDate, Column::LiftDate, 50},
        };
        bool tooLong = false;
        for (const auto &[what, text, column, limit] : texts) {
            if (text->size() > limit) {
                problems.append(tooLongProblem(QString::fromUtf8(what), limit, at(column)));
                tooLong = true;
            }
        }
        if (tooLong) {
            o.reason = problems.join(QStringLiteral("; "));
            ++out.skipped;
            out.rows.append(o);
            continue;
        }
        if (o.ln.isEmpty())
            problems.append(QStringLiteral("нет личного номера"));
        else if (!register_.contains(o.ln) && !imported.contains(o.ln)) {
            const ServicemanRow *skipped = left.value(o.ln);
            if (skipped)
                problems.append(QStringLiteral("военнослужащий с личным номером «%1» не будет добавлен: "
                                               "строка %2 списка военнослужащих пропущена (%3)")
                                    .arg(o.ln, QString::number(skipped->line), skipped->reason));
            else
                problems.append(QStringLiteral("военнослужащего с личным номером «%1» нет ни в реестре, "
                                               "ни в импорте")
                                    .arg(o.ln));
        }
        if (category.isEmpty())
            problems.append(QStringLiteral("нет категории"));
        else if (o.code.isEmpty())
            problems.append(QStringLiteral("категория «%1» не распознана").arg(category));
        if (o.number.isEmpty())
            problems.append(QStringLiteral("нет номера приказа"));
        bool impossible = false;
        if (date.isEmpty()) {
            problems.append(QStringLiteral("нет даты приказа"));
        } else {
            const QDate d = readDate(date, &impossible);
            // A date already written "dd.MM.yyyy" is stored as it stands.
            const bool stored = date.size() == 10 && date.at(2) == QLatin1Char('.');
            if (d.isValid())
                o.date = stored ? date : d.toString(QStringLiteral("dd.MM.yyyy"));
            else
                problems.append(dateProblem(QStringLiteral("дата приказа"), date, impossible));
        }
        // Only a penalty is lifted.
        if (o.code == QLatin1String(Code::VZS) && (!liftDate.isEmpty() || !liftNumber.isEmpty())) {
            o.inForce = false;
            o.liftNumber = liftNumber;
            if (!liftDate.isEmpty()) {
                const QDate d = readDate(liftDate, &impossible);
                if (d.isValid())
                    o.liftDate = d.toString(QStringLiteral("dd.MM.yyyy"));
                else
                    problems.append(dateProblem(QStringLiteral("дата снятия"), liftDate, impossible));
            }
        }
        if (problems.isEmpty()) {
            const QString k = key(o.ln, o.code, o.number);
            const auto found = seen.constFind(k);
            if (found != seen.constEnd())
                problems.append(found.value() == 0
                                    ? QStringLiteral("приказ № %1 уже есть у военнослужащего").arg(o.number)
                                    : QStringLiteral("приказ повторяется в файле (строка %1)").arg(found.value()));
            else
                seen.insert(k, o.line);
        }
        if (problems.isEmpty()) {
            o.action = Action::Add;
            ++out.added;
        } else {
            o.reason = problems.join(QStringLiteral("; "));
            ++out.skipped;
        }
        out.rows.append(o);
    }
    return out;
}

} // namespace Import
