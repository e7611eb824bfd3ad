#ifndef IMPORT_CHECKSERVICEMEN_H
#define IMPORT_CHECKSERVICEMEN_H

#include "storage/import/checkrows.h"
#include "storage/register/servicemen.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

// The check of a roster's rows: each serviceman added, updated, left as he
// is or skipped, against the register and its reference lists.
namespace Import {

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

// The personal numbers a roster check leaves in the register afterwards.
QSet<QString> importedNumbers(const ServicemenCheck &check);

} // namespace Import

#endif // IMPORT_CHECKSERVICEMEN_H
