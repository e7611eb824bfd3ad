#ifndef REPORTDAY_H
#define REPORTDAY_H

class QSqlDatabase;

namespace Reports {

// Gives an SQLite connection the function report_day(text): the day of a
// "dd.MM.yyyy" text as the whole number yyyymmdd, NULL when the text is not
// a real date of that form (the month's length, 29 February in leap years
// only, no year 0000). The report's statements read every order's dates
// through it. Called after each opening of the program's connection (a new
// handle forgets its functions); false on a server or where the driver's
// handle is not SQLite's.
bool addDayFunction(const QSqlDatabase &db);

} // namespace Reports

#endif // REPORTDAY_H
