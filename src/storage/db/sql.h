#ifndef SQL_H
#define SQL_H

#include <QString>

#include <cstddef>

class QSqlDatabase;

// The SQL statements of the program, in one place. New statements bind their
// values ("?" places, or $1, $2… of a server's statements of one round trip);
// the older ones carry theirs in their text between single quotes, passed
// through Query::quote() (quoting.h), which doubles single quotes: filled in
// by one multi-argument QString::arg call, where their markers have a gap
// (UPDATE_COMBAT has no %6) the arguments following those present, or joined
// to the pieces of a statement written in parts (the counts' COUNT_VZS_1…).
//
// Most statements run through the statement runner, Function::Myquery or
// Query::numbered (query.h), which logs a failure. The writers of many rows
// (the history's entries, the import's rows, the counts of a group order)
// prepare theirs once on a QSqlQuery of their own and log their failures
// themselves, and a few reads of a connection's own tables and columns (as it
// opens, the history's table, a chosen file's objects) run theirs directly.
//
// The register lives in an SQLite file or on a PostgreSQL server. A statement
// in standard SQL is one text that runs on both. Where PostgreSQL refuses the
// SQLite text (column names in single quotes, PRAGMA, sqlite_master, BEGIN
// IMMEDIATE), the statement is a pair of texts, and Sql::text() picks the one
// of the connection's driver; the same markers stand in both texts. Where the
// drivers differ only in the row's identity or in asking for the order the
// rows were added, the statement is written once with a marker (see Marked).
namespace Sql {

struct Dialects
{
    const char *sqlite;
    const char *postgresql;
};

// The statement's text for the driver of `db` (the program's default
// connection when none is given).
QString text(const char *statement);
QString text(const Dialects &statement, const QSqlDatabase &db);
QString text(const Dialects &statement);
// True when `db` (the default connection when none is given) is a PostgreSQL
// server.
bool onServer(const QSqlDatabase &db);
bool onServer();

// A statement written once for both drivers, expanded when the program is
// compiled into the two texts Sql::text() picks from (so running it costs
// nothing more than a pair does). Its markers:
//   {rowid}           the row's identity: "rowid" on SQLite, "id" on a server;
//   {in order added}  nothing on SQLite, which gives the rows in the order
//                     they were added, and " ORDER BY id" on a server, which
//                     moves a changed row and so is asked for that order.
// Any other "{" in the text stops the build.
template <std::size_t N>
struct Marked
{
    char sqlite[N] = {};
    char postgresql[N] = {};
    constexpr operator Dialects() const { return {sqlite, postgresql}; }
};

namespace Marker {
constexpr bool at(const char *text, const char *marker)
{
    while (*marker != '\0' && *text == *marker) {
        ++text;
        ++marker;
    }
    return *marker == '\0';
}
constexpr void append(char *to, std::size_t &end, const char *text)
{
    while (*text != '\0')
        to[end++] = *text++;
}
inline constexpr char ROWID[] = "{rowid}";
inline constexpr char IN_ORDER_ADDED[] = "{in order added}";
} // namespace Marker

// Both expansions are no longer than the text, so they fit its size.
template <std::size_t N>
constexpr Marked<N> marked(const char (&text)[N])
{
    Marked<N> out;
    std::size_t s = 0;
    std::size_t p = 0;
    for (std::size_t i = 0; text[i] != '\0';) {
        if (Marker::at(text + i, Marker::ROWID)) {
            Marker::append(out.sqlite, s, "rowid");
            Marker::append(out.postgresql, p, "id");
            i += sizeof Marker::ROWID - 1;
        } else if (Marker::at(text + i, Marker::IN_ORDER_ADDED)) {
            Marker::append(out.postgresql, p, " ORDER BY id");
            i += sizeof Marker::IN_ORDER_ADDED - 1;
        } else if (text[i] == '{') {
            throw "unknown marker in a statement";
        } else {
            out.sqlite[s++] = text[i];
            out.postgresql[p++] = text[i++];
        }
    }
    return out;
}

// True when `variant` is `statement` without its closing ";" and with more
// conditions after it: each conditioned change stays the change it conditions.
constexpr bool extends(const char *variant, const char *statement)
{
    while (*statement != '\0' && *statement != ';' && *variant == *statement) {
        ++variant;
        ++statement;
    }
    if (*variant == ' ')
        ++variant;
    return *statement == ';' && statement[1] == '\0' && variant[0] == 'A' && variant[1] == 'N' &&
           variant[2] == 'D' && variant[3] == ' ';
}

// ---- Transactions --------------------------------------------------------
// Several statements that stand or fall together. SQLite takes the write lock
// at once; PostgreSQL's serializable transaction refuses, with a failure that
// is tried again, what another clerk changed meanwhile.
inline constexpr Dialects BEGIN_IMMEDIATE{"BEGIN IMMEDIATE", "BEGIN ISOLATION LEVEL SERIALIZABLE"};
inline constexpr char COMMIT[] = "COMMIT";
// A transaction that waits for no one (copying a whole register).
inline constexpr char BEGIN[] = "BEGIN";
inline constexpr char ROLLBACK[] = "ROLLBACK";

} // namespace Sql

// The statements, grouped by table.
#include "storage/db/sql/combat.h"
#include "storage/db/sql/orders.h"
#include "storage/db/sql/grouporders.h"
#include "storage/db/sql/files.h"
#include "storage/db/sql/schema.h"
#include "storage/db/sql/history.h"
#include "storage/db/sql/server.h"
#include "storage/db/sql/reports.h"
#include "storage/db/sql/import.h"


// Category codes: the count columns of Combat and the values of "what".
namespace Code {
inline constexpr char VZS[] = "vzs";
inline constexpr char BLAG[] = "blag";
inline constexpr char GR[] = "gr";
inline constexpr char ZOMO[] = "ZOMO";
inline constexpr char GOSNAG[] = "gosnag";
inline constexpr char POSH[] = "posh";
} // namespace Code

#endif // SQL_H
