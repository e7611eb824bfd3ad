#ifndef CARDCONTENT_H
#define CARDCONTENT_H

#include "storage/register/cards.h"

#include <QDate>
#include <QString>

#include <vector>

// What a service card says, built once from the register's data and laid out
// by each of its forms: on paper (CardPrint::document) and as an OpenDocument
// text file (CardOdt::content).
namespace CardContent {

// A line of the particulars: "ФИО" and the serviceman's name.
struct Particular
{
    QString label;
    QString value;
};

// An order of a section.
struct Line
{
    QString date;
    QString number;
    QString name;
    QString issuer;
    QString outgoing;
    // How a penalty stands: "в силе" or "снято приказом № … от …"; empty
    // in the other sections.
    QString lifting;
    // The names of its documents, one a line.
    QString documents;
};

// A category: its heading with the count ("Взыскания (2, из них снято 1)",
// "Грамоты — записей нет") and its orders in date order.
struct Section
{
    QString heading;
    // The caption of the name column, as the orders window names it:
    // "Наименование" or "За что".
    QString nameCaption;
    // The penalties show their lifting in a column of its own.
    bool lifting = false;
    std::vector<Line> lines;
};

struct Card
{
    QString title;
    // The line at the foot of a printed page: whose card it is.
    QString pageLine;
    std::vector<Particular> particulars;
    // The six categories, penalties first.
    std::vector<Section> sections;
    // "Карточка составлена 12.03.2025".
    QString made;
};

Card build(const Cards::Card &card, const QDate &made);
std::vector<Card> build(const std::vector<Cards::Card> &cards, const QDate &made);

} // namespace CardContent

#endif // CARDCONTENT_H
