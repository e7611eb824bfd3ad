#ifndef IMPORT_CHECK_H
#define IMPORT_CHECK_H

#include "storage/import/columns.h"
#include "storage/register/servicemen.h"

#include <QDate>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

// The check of every row of an import before anything is written: what each
// row will do (be added, update a serviceman, be skipped) and why a skipped
// row is skipped, in plain Russian. Reads the register; writes nothing.
namespace Import {

// A date as a spreadsheet gives it: "dd.MM.yyyy", "d.M.yy", "yyyy-MM-dd" or
// a day number (days from 30.12.1899; five digits at least, so that a year
// alone is not read as a day). Invalid when it is none of these or
// names no day of the calendar; `impossible` then tells a day that does not
// exist ("31.02.1990") from a text that is no date at all.
QDate readDate(const QString &text, bool *impossible = nullptr);
// A birth date as the serviceman form stores it: the date with 0:00 in the
// short date-and-time form of the user's language.
QString birthText(const QDate &date);

// Unchanged: a serviceman already in the register whose every value the file
// gives is the stored one (nothing is written for him).
enum class Action { Add, Update, Unchanged, Skip };

// What the user chose where the file and the register disagree.
struct Choices
{
    // A personal number already in the register: update the serviceman's
    // fields (true) or skip the row.
    bool updateExisting = false;
    // A rank or position missing from its reference list: mapped to the
    // named entry of the list; a name without a mapping is added to the list.
    QMap<QString, QString> ranks;
    QMap<QString, QString> positions;
};

struct ServicemanRow
{
    int line = 0; // the row's number in the sheet, from 1
    Action action = Action::Skip;
    QString reason;
    Servicemen::Entry entry;
    // Which of the six texts the file gives (an update keeps the others).
    std::array<bool, 6> given{};
};

struct ServicemenCheck
{
    QVector<ServicemanRow> rows;
    // The reference lists as stored, in their order (the numbers written are
    // places in them), and the names of the file missing from them.
    QStringList ranks;
    QStringList positions;
    QStringList newRanks;
    QStringList newPositions;
    // Every name of the file missing from its list, mapped by the user or not.
    QStringList missingRanks;
    QStringList missingPositions;
    int added = 0;
    int updated = 0;
    int unchanged = 0;
    int skipped = 0;
    // The register could not be read: nothing may be written.
    QString error;
};

// Checks the rows of a roster below its header row.
ServicemenCheck checkServicemen(const Rows &rows, const Matching &matching,
                                const Choices &choices);

struct OrderRow
{
    int line = 0;
    Action action = Action::Skip;
    QString reason;
    QString ln;
    QString code;
    QString date;
    QString number;
    QString issuer;
    QString name;
    QString outgoing;
    QString liftNumber;
    QString liftDate;
    bool inForce = true;
};

struct OrdersCheck
{
    QVector<OrderRow> rows;
    int added = 0;
    int skipped = 0;
    QString error;
};

// The category code ("vzs" …) a text names: the categories' Russian names
// as the program shows them, or the codes, without case and blanks; empty
// when none.
QString categoryCode(const QString &text);

// Checks the orders of a sheet below its header row against the register
// and the roster checked with them (the servicemen it adds, and the rows it
// skips, named by an order of a serviceman who is only there).
OrdersCheck checkOrders(const Rows &rows, const Matching &matching,
                        const ServicemenCheck &roster);

// The personal numbers a roster check leaves in the register afterwards.
QSet<QString> importedNumbers(const ServicemenCheck &check);

} // namespace Import

#endif // IMPORT_CHECK_H
