#ifndef HISTORYTABLE_H
#define HISTORYTABLE_H

#include <QSqlDatabase>
#include <QString>

class QSqlError;

// The table of the history of changes, "history": one row per change.
//   at           when, "yyyy-MM-dd HH:mm:ss" in local time
//   who          the computer's user (file) or the server role (server)
//   workstation  the computer's name
//   action       what happened, one of History::Action's codes
//   LN, FIO      the serviceman's personal number and name, where there is one
//   what         the category's code (Code::VZS …), for orders and documents
//   prikaznom    the order's number
//   field        the column that changed (one row per changed column)
//   old_value, new_value
namespace History {

// The codes of the column "action".
namespace Action {
inline constexpr char SERVICEMAN_ADDED[] = "serviceman_added";
inline constexpr char SERVICEMAN_CHANGED[] = "serviceman_changed";
inline constexpr char SERVICEMAN_DELETED[] = "serviceman_deleted";
inline constexpr char ORDER_ADDED[] = "order_added";
inline constexpr char ORDER_CHANGED[] = "order_changed";
inline constexpr char ORDER_LIFTED[] = "order_lifted";
inline constexpr char ORDER_DELETED[] = "order_deleted";
inline constexpr char DOCUMENT_ATTACHED[] = "document_attached";
inline constexpr char DOCUMENT_DETACHED[] = "document_detached";
inline constexpr char REFERENCE_CHANGED[] = "reference_changed";
inline constexpr char RESTORE[] = "restore";
inline constexpr char TRANSFER[] = "transfer";
inline constexpr char IMPORT[] = "import";
// One entry for a write made for several servicemen at once, beside the
// entries of each row: the category, the number and how many rows.
inline constexpr char GROUP_ORDER_ADDED[] = "group_order_added";
inline constexpr char GROUP_LIFTED[] = "group_lifted";
inline constexpr char GROUP_ORDER_CHANGED[] = "group_order_changed";
} // namespace Action

// The table's name, which the schema verification leaves alone.
inline constexpr char TABLE[] = "history";

// Makes the table and its indexes where they are missing (a register made
// by an earlier version); false with `error` when the database refused.
bool ensureTable(const QSqlDatabase &db, QSqlError *error);

// Why the "history" of the SQLite file `db` cannot take the program's entries
// (a view, not a table; a column missing; a column that must be filled and
// that the program does not fill), in plain Russian; empty when it can or
// when there is none.
QString unfit(const QSqlDatabase &db);

} // namespace History

#endif // HISTORYTABLE_H
