#ifndef IMPORT_COLUMNS_H
#define IMPORT_COLUMNS_H

#include "storage/import/sheetfile.h"

#include <QString>
#include <QStringList>
#include <QVector>

// Which column of a spreadsheet holds what: found from the header row by
// the headers' words (letter case and blanks do not count), changeable by
// the user, and remembered for the next file with the same headers.
namespace Import {

// What a column of the file holds.
enum class Column {
    None,
    // The servicemen.
    FullName,
    LastName,
    FirstName,
    Patronymic,
    PersonalNumber,
    Rank,
    Position,
    BirthDate,
    Unit,
    // The orders (with PersonalNumber).
    Category,
    OrderNumber,
    OrderDate,
    Issuer,
    OrderName,
    Outgoing,
    LiftNumber,
    LiftDate,
};

// What the file is: the roster, or the orders of its servicemen.
enum class Kind { Servicemen, Orders };

// The columns the user may choose from for a kind of file, None first.
QVector<Column> choices(Kind kind);
// The column's name as the preview shows it.
QString caption(Column column);
// The column a header names (None when none): "ФИО", "Личный номер",
// "№ ВП" or "Подразделение", ..., compared without case and blanks.
Column recognise(const QString &header, Kind kind);

struct Matching
{
    // The row of the headers (0-based), -1 when none was found.
    int headerRow = -1;
    // One per column of the file that counts (up to the last one holding a
    // value in any row).
    QVector<Column> columns;
    // The column of each kind (its index in the file), -1 when none.
    int indexOf(Column column) const;
};

// The header row is the first of the first 20 rows with at least two
// recognised headers; a matching remembered for the same headers is taken
// in place of the recognised one.
Matching match(const Rows &rows, Kind kind);

// Remembers the user's matching for files with these headers.
void remember(const QStringList &headers, const QVector<Column> &columns);

} // namespace Import

#endif // IMPORT_COLUMNS_H
