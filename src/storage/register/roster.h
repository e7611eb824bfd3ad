#ifndef ROSTER_H
#define ROSTER_H

#include <QSqlError>
#include <QString>

#include <array>
#include <vector>

// The roster read by the servicemen tables.
namespace Roster {

// One serviceman as a roster statement returns him: fourteen texts, the
// unit number first (an empty value gives an empty text).
using Row = std::array<QString, 14>;

// The two windows that list the whole roster; each reads its own columns
// in its own order (the count columns differ).
enum class Table {
    // The main window's summary table (Sql::SELECT_SUMMARY).
    Summary,
    // The servicemen list window (Sql::SELECT_ROSTER).
    List
};

// The roster as `table` shows it, in the order described below. A failed
// read gives no rows and sets `error`.
std::vector<Row> read(Table table, QSqlError *error = nullptr);

// Runs a roster statement (Sql::SELECT_SUMMARY or Sql::SELECT_ROSTER) and
// returns its rows in the program's order: first the servicemen whose unit
// number does not read as a non-zero whole number (texts, empty, zero, too
// long for 32 bits), in the natural order of their unit numbers; then all
// the others in the order of the statement. Rows with the same unit number
// keep the order of the statement. On a server, whose statements give the
// rows unordered, "the order of the statement" is that of the file's ORDER
// BY, put in here. A failed read gives no rows and sets `error`.
std::vector<Row> read(const QString &statement, QSqlError *error = nullptr);

// The same order applied to rows already read.
void unitOrder(std::vector<Row> &rows);

// The servicemen under a personal number (0 or 1), or -1 with `error` set
// when the database could not be read.
int count(const QString &ln, QSqlError *error);
// The count a catalogue statement (%1 the personal number) gives for `ln`,
// or -1 with `error` set when the database could not be read.
int countOf(const char *statement, const QString &ln, QSqlError *error);

} // namespace Roster

#endif // ROSTER_H
