#ifndef EXTRACTS_H
#define EXTRACTS_H

#include <QSqlError>
#include <QString>

#include <vector>

// What the extracts from an order ("Выписка из приказа") are made of, read
// from the register: the order as stored and the serviceman it names.
namespace Extracts {

struct Extract
{
    // The order: category code, number and date as stored, who issued it,
    // its name or reason, the outgoing number and, for a penalty, its lifting.
    QString code;
    QString number;
    QString date;
    QString issuer;
    QString title;
    QString outgoing;
    QString liftNumber;
    QString liftDate;
    bool inForce = true;
    // The serviceman.
    QString rank;
    QString name;
    QString ln;
};

// The extracts of the order of the category `code`, `number` and `date`:
// that of the serviceman `ln`, or, when `ln` is empty, one for everyone the
// order names (a group order is one row per serviceman), by name. Rows under
// a personal number no serviceman holds give none. A failed read gives none
// and sets `error`.
std::vector<Extract> read(const QString &code, const QString &number, const QString &date, const QString &ln,
                          QSqlError *error);

} // namespace Extracts

#endif // EXTRACTS_H
