#include "storage/import/checkservicemen.h"

#include "function.h"
#include "storage/db/sql.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace Import {

using namespace Detail;

namespace {

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


// The columns a roster's texts come from.
struct RosterColumns
{
    explicit RosterColumns(const Matching &matching)
        : at(matching)
        , fullName(at(Column::FullName))
        , parts{at(Column::LastName), at(Column::FirstName), at(Column::Patronymic)}
        , ln(at(Column::PersonalNumber))
        , of{at(Column::Unit), at(Column::Position), at(Column::Rank), fullName, at(Column::BirthDate), ln}
    {
    }
    const Places at;
    const int fullName;
    const int parts[3];
    const int ln;
    // By field, the column its text comes from.
    const int of[6];
};

// The texts of a row the check reads further, as the file gives them.
struct RowTexts
{
    QString rank;
    QString position;
    QString birth;
    // The column the name comes from: the full name's, or the first of its
    // parts the sheet has.
    int nameColumn = -1;
};

// Reads a row into the serviceman's fields and what the file gives of them.
RowTexts readRow(const Row &row, const RosterColumns &columns, ServicemanRow &s)
{
    Servicemen::Fields &f = s.entry.fields;
    f[Servicemen::LN] = cell(row, columns.ln);
    RowTexts t;
    t.nameColumn = columns.fullName;
    if (columns.fullName >= 0) {
        f[Servicemen::FIO] = cell(row, columns.fullName);
    } else {
        QStringList words;
        for (const int p : columns.parts) {
            const QString w = cell(row, p);
            if (!w.isEmpty())
                words.append(w);
            if (t.nameColumn < 0 && p >= 0)
                t.nameColumn = p;
        }
        f[Servicemen::FIO] = words.join(QLatin1Char(' '));
    }
    f[Servicemen::VP] = cell(row, columns.at(Column::Unit));
    t.rank = cell(row, columns.at(Column::Rank));
    t.position = cell(row, columns.at(Column::Position));
    t.birth = cell(row, columns.at(Column::BirthDate));
    s.given = {!f[Servicemen::VP].isEmpty(), !t.position.isEmpty(), !t.rank.isEmpty(),
               !f[Servicemen::FIO].isEmpty(), !t.birth.isEmpty(), true};
    return t;
}

// The rows of a roster checked one by one, against the register and its
// reference lists as read once, and against the whole sheet.
class Roster
{
public:
    Roster(const Rows &rows, const Matching &matching, const Choices &choices, ServicemenCheck &out)
        : m_rows(rows)
        , m_headerRow(matching.headerRow)
        , m_choices(choices)
        , m_out(out)
        , m_columns(matching)
    {
    }

    // Reads the reference lists and the register; false (the check's error
    // says why) when they could not be read.
    bool readRegister()
    {
        return readList(Sql::SELECT_RANKS, &m_out.ranks, &m_out.error) &&
               readList(Sql::SELECT_POSITIONS, &m_out.positions, &m_out.error) &&
               (m_choices.updateExisting ? readStored(&m_stored, &m_register, &m_out.error)
                                         : readNumbers(&m_register, &m_out.error));
    }

    // Where each personal number stands in the file, and the numbers that
    // read alike in the register and in the file.
    void survey()
    {
        m_out.rows.reserve(m_rows.size());
        m_repeats.reserve(m_rows.size());
        for (const QString &ln : std::as_const(m_register))
            m_inRegister.add(ln, QString());
        for (int r = m_headerRow + 1; r < m_rows.size(); ++r) {
            const QString ln = cell(m_rows.at(r), m_columns.ln);
            if (!ln.isEmpty()) {
                m_repeats.add(ln, r + 1);
                m_inFile.add(ln, QString::number(r + 1));
            }
        }
    }

    // Checks the row at `r` (not a blank one) and counts it.
    void check(int r)
    {
        const Row &row = m_rows.at(r);
        ServicemanRow s;
        s.line = r + 1;
        const RowTexts t = readRow(row, m_columns, s);
        Servicemen::Fields &f = s.entry.fields;
        const QString &ln = f[Servicemen::LN];
        const bool known = !ln.isEmpty() && m_register.contains(ln);
        const QStringList problems = this->problems(row, t, known, s);
        if (!problems.isEmpty()) {
            // One remark alone is shared with the rows that have it.
            s.reason = problems.size() == 1 ? problems.constFirst() : problems.join(QStringLiteral("; "));
            ++m_out.skipped;
            m_out.rows.append(s);
            return;
        }
        // Only the rows written count their missing reference entries.
        resolve(t.rank, m_out.ranks, m_choices.ranks, &m_out.missingRanks, &m_out.newRanks, &f[Servicemen::VZ],
                &s.entry.rank);
        resolve(t.position, m_out.positions, m_choices.positions, &m_out.missingPositions, &m_out.newPositions,
                &f[Servicemen::DOL], &s.entry.position);
        if (!known) {
            s.action = Action::Add;
            ++m_out.added;
        } else if (sameAsStored(s, m_stored.value(ln))) {
            s.action = Action::Unchanged;
            ++m_out.unchanged;
        } else {
            s.action = Action::Update;
            ++m_out.updated;
        }
        m_out.rows.append(s);
    }

private:
    // Why the row is skipped, when it is; its birth date is read into the
    // form the register stores on the way.
    QStringList problems(const Row &row, const RowTexts &t, bool known, ServicemanRow &s)
    {
        Servicemen::Fields &f = s.entry.fields;
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
        given[Servicemen::DOL] = t.position;
        given[Servicemen::VZ] = t.rank;
        given[Servicemen::BIRTH] = t.birth;
        for (int field = 0; field < static_cast<int>(given.size()); ++field) {
            const auto which = static_cast<Servicemen::Field>(field);
            const int limit = Servicemen::maxLength(which);
            if (given[static_cast<size_t>(field)].size() > limit)
                problems.append(tooLongProblem(Servicemen::fieldName(which), limit,
                                               which == Servicemen::FIO ? t.nameColumn : m_columns.of[field]));
        }
        const QString repeated = ln.isEmpty() ? QString() : m_repeats.remark(ln);
        if (!repeated.isEmpty())
            problems.append(repeated);
        QString spelling, where;
        if (!ln.isEmpty() && !known && m_inRegister.other(ln, &spelling, &where))
            problems.append(lookalikeProblem(ln, spelling, QStringLiteral("в реестре")));
        else if (!ln.isEmpty() && repeated.isEmpty() && m_inFile.other(ln, &spelling, &where))
            problems.append(lookalikeProblem(ln, spelling, QStringLiteral("в строке %1").arg(where)));
        if (!t.birth.isEmpty() && t.birth.size() <= Servicemen::maxLength(Servicemen::BIRTH))
            readBirth(t.birth, s, problems);
        if (problems.isEmpty() && known && !m_choices.updateExisting)
            problems.append(QStringLiteral("личный номер «%1» уже есть в реестре").arg(ln));
        return problems;
    }

    void readBirth(const QString &birth, ServicemanRow &s, QStringList &problems) const
    {
        Servicemen::Fields &f = s.entry.fields;
        bool impossible = false;
        const QDate date = readDate(birth, &impossible);
        if (!date.isValid()) {
            problems.append(dateProblem(QStringLiteral("дата рождения"), birth, impossible));
            return;
        }
        f[Servicemen::BIRTH] = m_birthTexts(date);
        // The same day stored in another form stays as it is: no change, no
        // history entry.
        const auto was = m_stored.constFind(f[Servicemen::LN]);
        if (was != m_stored.cend() && m_birthTexts.read(was->fields[Servicemen::BIRTH]) == date)
            f[Servicemen::BIRTH] = was->fields[Servicemen::BIRTH];
    }

    const Rows &m_rows;
    const int m_headerRow;
    const Choices &m_choices;
    ServicemenCheck &m_out;
    const RosterColumns m_columns;
    QSet<QString> m_register;
    // With updates chosen, the stored values too: an update that changes
    // nothing is told apart.
    QHash<QString, Servicemen::Entry> m_stored;
    const BirthTexts m_birthTexts;
    Repeats m_repeats;
    Lookalikes m_inRegister;
    Lookalikes m_inFile;
};

} // namespace

ServicemenCheck checkServicemen(const Rows &rows, const Matching &matching, const Choices &choices)
{
    ServicemenCheck out;
    Roster roster(rows, matching, choices, out);
    if (!roster.readRegister())
        return out;
    roster.survey();
    for (int r = matching.headerRow + 1; r < rows.size(); ++r) {
        if (!rows.at(r).blank())
            roster.check(r);
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

} // namespace Import
