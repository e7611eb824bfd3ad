#include "storage/import/checkorders.h"

#include "function.h"
#include "storage/db/sql.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <tuple>

namespace Import {

using namespace Detail;

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

namespace {

// An order's key: its serviceman's personal number, its category and its
// number.
QString orderKey(const QString &ln, const QString &code, const QString &number)
{
    QString k;
    k.reserve(ln.size() + code.size() + number.size() + 2);
    k.append(ln).append(QChar(0x1f)).append(code).append(QChar(0x1f)).append(number);
    return k;
}

// The texts of a row the check reads further, as the file gives them.
struct OrderTexts
{
    QString category;
    QString date;
    QString liftDate;
    QString liftNumber;
};

// The rows of a sheet of orders checked one by one, against the register as
// read once, the roster checked with them and the orders before them.
class OrderSheet
{
public:
    OrderSheet(const Rows &rows, const Matching &matching, const ServicemenCheck &roster, OrdersCheck &out)
        : m_rows(rows)
        , m_roster(roster)
        , m_out(out)
        , m_at(matching)
    {
    }

    // Reads the register's personal numbers and orders; false (the check's
    // error says why) when they could not be read.
    bool readRegister()
    {
        if (!readNumbers(&m_register, &m_out.error))
            return false;
        m_imported = importedNumbers(m_roster);
        // The roster's skipped rows by personal number (the first of them),
        // for an order of a serviceman who is only there.
        for (const ServicemanRow &r : m_roster.rows) {
            const QString &ln = r.entry.fields[Servicemen::LN];
            if (r.action == Action::Skip && !ln.isEmpty() && !m_left.contains(ln))
                m_left.insert(ln, &r);
        }
        QSqlQuery query = Function::Myquery(QString::fromLatin1(Sql::IMPORT_REGISTER_ORDERS));
        if (!query.isActive()) {
            m_out.error = query.lastError().text();
            return false;
        }
        while (query.next())
            m_seen.insert(orderKey(query.value(0).toString(), query.value(1).toString(), query.value(2).toString()), 0);
        return true;
    }

    void reserve()
    {
        m_seen.reserve(m_seen.size() + m_rows.size());
        m_out.rows.reserve(m_rows.size());
    }

    // Checks the row at `r` (not a blank one) and counts it.
    void check(int r)
    {
        const Row &row = m_rows.at(r);
        OrderRow o;
        o.line = r + 1;
        const OrderTexts t = readRow(row, o);
        QStringList problems;
        if (row.otherEncoding())
            problems.append(otherEncodingProblem());
        if (tooLong(o, t, problems)) {
            o.reason = problems.join(QStringLiteral("; "));
            ++m_out.skipped;
            m_out.rows.append(o);
            return;
        }
        checkTexts(o, t, problems);
        if (problems.isEmpty()) {
            const QString k = orderKey(o.ln, o.code, o.number);
            const auto found = m_seen.constFind(k);
            if (found != m_seen.constEnd())
                problems.append(found.value() == 0
                                    ? QStringLiteral("приказ № %1 уже есть у военнослужащего").arg(o.number)
                                    : QStringLiteral("приказ повторяется в файле (строка %1)").arg(found.value()));
            else
                m_seen.insert(k, o.line);
        }
        if (problems.isEmpty()) {
            o.action = Action::Add;
            ++m_out.added;
        } else {
            o.reason = problems.join(QStringLiteral("; "));
            ++m_out.skipped;
        }
        m_out.rows.append(o);
    }

private:
    // Reads a row into the order, its category into a code.
    OrderTexts readRow(const Row &row, OrderRow &o)
    {
        OrderTexts t;
        o.ln = cell(row, m_at(Column::PersonalNumber));
        t.category = cell(row, m_at(Column::Category));
        // A sheet names a handful of categories over and over.
        auto known = m_codes.constFind(t.category);
        if (known == m_codes.constEnd())
            known = m_codes.insert(t.category, categoryCode(t.category));
        o.code = known.value();
        o.number = cell(row, m_at(Column::OrderNumber));
        t.date = cell(row, m_at(Column::OrderDate));
        o.issuer = cell(row, m_at(Column::Issuer));
        o.name = cell(row, m_at(Column::OrderName));
        o.outgoing = cell(row, m_at(Column::Outgoing));
        t.liftDate = cell(row, m_at(Column::LiftDate));
        t.liftNumber = cell(row, m_at(Column::LiftNumber));
        return t;
    }

    // The texts longer than an order sensibly holds, each a problem; true
    // when there is one.
    bool tooLong(const OrderRow &o, const OrderTexts &t, QStringList &problems) const
    {
        const std::tuple<const char *, const QString *, Column, int> texts[] = {
            {"личный номер", &o.ln, Column::PersonalNumber, Servicemen::maxLength(Servicemen::LN)},
            {"категория", &t.category, Column::Category, 100},
            {"номер приказа", &o.number, Column::OrderNumber, 100},
            {"дата приказа", &t.date, Column::OrderDate, 50},
            {"кем издан", &o.issuer, Column::Issuer, 255},
            {"наименование", &o.name, Column::OrderName, 1000},
            {"исходящий номер", &o.outgoing, Column::Outgoing, 100},
            {"номер приказа о снятии", &t.liftNumber, Column::LiftNumber, 100},
            {"дата снятия", &t.liftDate, Column::LiftDate, 50},
        };
        bool tooLong = false;
        for (const auto &[what, text, column, limit] : texts) {
            if (text->size() > limit) {
                problems.append(tooLongProblem(QString::fromUtf8(what), limit, m_at(column)));
                tooLong = true;
            }
        }
        return tooLong;
    }

    // What the texts lack or do not say rightly: the serviceman, the
    // category, the number and the dates. The dates are read into the order.
    void checkTexts(OrderRow &o, const OrderTexts &t, QStringList &problems) const
    {
        if (o.ln.isEmpty())
            problems.append(QStringLiteral("нет личного номера"));
        else if (!m_register.contains(o.ln) && !m_imported.contains(o.ln)) {
            const ServicemanRow *skipped = m_left.value(o.ln);
            if (skipped)
                problems.append(QStringLiteral("военнослужащий с личным номером «%1» не будет добавлен: "
                                               "строка %2 списка военнослужащих пропущена (%3)")
                                    .arg(o.ln, QString::number(skipped->line), skipped->reason));
            else
                problems.append(QStringLiteral("военнослужащего с личным номером «%1» нет ни в реестре, "
                                               "ни в импорте")
                                    .arg(o.ln));
        }
        if (t.category.isEmpty())
            problems.append(QStringLiteral("нет категории"));
        else if (o.code.isEmpty())
            problems.append(QStringLiteral("категория «%1» не распознана").arg(t.category));
        if (o.number.isEmpty())
            problems.append(QStringLiteral("нет номера приказа"));
        bool impossible = false;
        if (t.date.isEmpty()) {
            problems.append(QStringLiteral("нет даты приказа"));
        } else {
            const QDate d = readDate(t.date, &impossible);
            // A date already written "dd.MM.yyyy" is stored as it stands.
            const bool stored = t.date.size() == 10 && t.date.at(2) == QLatin1Char('.');
            if (d.isValid())
                o.date = stored ? t.date : d.toString(QStringLiteral("dd.MM.yyyy"));
            else
                problems.append(dateProblem(QStringLiteral("дата приказа"), t.date, impossible));
        }
        // Only a penalty is lifted.
        if (o.code == QLatin1String(Code::VZS) && (!t.liftDate.isEmpty() || !t.liftNumber.isEmpty())) {
            o.inForce = false;
            o.liftNumber = t.liftNumber;
            if (!t.liftDate.isEmpty()) {
                const QDate d = readDate(t.liftDate, &impossible);
                if (d.isValid())
                    o.liftDate = d.toString(QStringLiteral("dd.MM.yyyy"));
                else
                    problems.append(dateProblem(QStringLiteral("дата снятия"), t.liftDate, impossible));
            }
        }
    }

    const Rows &m_rows;
    const ServicemenCheck &m_roster;
    OrdersCheck &m_out;
    const Places m_at;
    QSet<QString> m_register;
    QSet<QString> m_imported;
    QHash<QString, const ServicemanRow *> m_left;
    // The orders already there, by personal number, code and number: 0 for
    // the register's, the line for the file's.
    QHash<QString, int> m_seen;
    QHash<QString, QString> m_codes;
};

} // namespace

OrdersCheck checkOrders(const Rows &rows, const Matching &matching, const ServicemenCheck &roster)
{
    OrdersCheck out;
    OrderSheet sheet(rows, matching, roster, out);
    if (!sheet.readRegister())
        return out;
    sheet.reserve();
    for (int r = matching.headerRow + 1; r < rows.size(); ++r) {
        if (!rows.at(r).blank())
            sheet.check(r);
    }
    return out;
}

} // namespace Import
