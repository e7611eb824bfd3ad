#ifndef PENALTIES_H
#define PENALTIES_H

#include <QDate>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QString>

// Penalties in force: who has one, and which of them are old enough that the
// clerk should think of lifting them. Nothing here lifts anything.
namespace Penalties {

// A penalty in force is one whose in-force flag is exactly "1", as the
// orders window paints it red.
inline constexpr char IN_FORCE[] = "1";

struct InForce
{
    // Personal numbers with at least one penalty in force.
    QSet<QString> servicemen;
    // Per personal number, how many of them are older than the reminder's
    // months (only those with one or more).
    QHash<QString, int> old;
};

// Reads the penalties in force of every serviceman. A penalty counts as old
// when its date reads as "dd.MM.yyyy" and it is older than `months` on `today`
// (none with `months` 0). False, with `error`, when the read failed.
bool read(int months, const QDate &today, InForce *result, QSqlError *error);

// Everyone with a penalty on record, in force or lifted. False, with `error`,
// when the read failed.
bool recorded(QSet<QString> *servicemen, QSqlError *error);

// True when a penalty of `date` is more than `months` months old on `today`:
// exactly `months` months is not yet older. A date that does not read, or
// `months` 0, is never old.
bool isOld(const QDate &date, int months, const QDate &today);

// The age of a penalty on `today` in whole months and days: "14 мес. 3 дн.",
// "12 мес.".
QString age(const QDate &date, const QDate &today);

} // namespace Penalties

#endif // PENALTIES_H
