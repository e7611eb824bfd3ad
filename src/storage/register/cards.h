#ifndef CARDS_H
#define CARDS_H

#include <QSqlError>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// What a serviceman's service card shows, read from the register.
namespace Cards {

struct Order
{
    QString name;
    QString date;
    QString number;
    QString issuer;
    QString outgoing;
    QString liftNumber;
    QString liftDate;
    bool inForce = true;
    QStringList files;
};

struct Card
{
    QString vp;
    QString position;
    QString rank;
    QString name;
    QString birthDate;
    QString ln;
    // Per category, in the order of the summary's count columns (penalties
    // first); each in date order, orders without a readable date last.
    std::array<std::vector<Order>, 6> orders;
};

// The category codes in the order of the cards' sections.
QString code(int section);

// The cards of the servicemen with these personal numbers, in the order
// given. Numbers not in the roster (deleted meanwhile) are put in `missing`.
// A failed read gives no cards and sets `error`.
std::vector<Card> read(const QStringList &personalNumbers, QStringList *missing, QSqlError *error);

} // namespace Cards

#endif // CARDS_H
