#ifndef ERRORS_H
#define ERRORS_H

#include <QString>

class QSqlError;

// Refused statements read by the database's own result code (SQLite's
// result codes, PostgreSQL's SQLSTATE), never by the words of its message.
namespace Errors {

// The reason of a database error in plain Russian. The codes are read as
// the driver of the program's connection gives them, or as the named driver
// gives them.
QString describe(const QSqlError &error);
QString describe(const QSqlError &error, const QString &driverName);
// True when another program (or another copy) held the database or the
// records locked.
bool isBusy(const QSqlError &error, const QString &driverName);
// The database's own words about an error (English, for the log and for
// support), apart from the reason.
QString databaseWords(const QSqlError &error);
// True when the program's connection refused a serviceman because his
// personal number is taken.
bool isTakenPersonalNumber(const QSqlError &error);
// True for a failure that the same work may get past when tried once
// more: a serializable transaction that met another clerk's change, a
// deadlock.
bool isConflict(const QSqlError &error, const QString &driverName);
// True when SQLite's disk refused a write of a file (full, or failing).
bool isDiskWriteFault(const QSqlError &error);
// True for a write whose connection to the server broke while the server
// may have been saving it (a statement that commits by itself, a COMMIT):
// whether it was saved is not known.
bool isOutcomeUnknown(const QSqlError &error);
// For such a write, why it is not known and what to do, to follow "Неизвестно,
// сохранён ли приказ: ".
QString unknownOutcomeReason(const QSqlError &error);

} // namespace Errors

#endif // ERRORS_H
