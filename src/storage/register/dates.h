#ifndef DATES_H
#define DATES_H

#include <QDate>
#include <QList>
#include <QString>

// The text form of order dates.
namespace Dates {

// The date of a text "dd.MM.yyyy", as QDate::fromString with that format
// reads it (an invalid date for any other text), without its general parser.
QDate parse(const QString &text);
// The text qDebug() << dates writes, made directly: the general stream
// formats each date through its own printf, which dominates long lists.
QString debugText(const QList<QDate> &dates);

} // namespace Dates

#endif // DATES_H
