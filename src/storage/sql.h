#ifndef SQL_H
#define SQL_H

#include <QString>

#include <cstddef>

class QSqlDatabase;

// The SQL statements of the program, in one place. Values are filled with one
// multi-argument QString::arg call over values passed through Query::quote(),
// which doubles single quotes. A multi-argument arg() gives its arguments to
// the markers in ascending order of their numbers, so for a template with a gap
// (UPDATE_COMBAT has no %6) the arguments follow the markers that are present.
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

// ---- Combat: the servicemen and their counts ------------------------------
// Whole numbers as SQLite's integer affinity keeps them: a text that reads as
// a number is ordered by its value before every other text. PostgreSQL keeps
// the unit number as text, so its order says the same in three keys (NULL
// first, then numbers by value, then texts by their bytes).
#define VEDOMER_PG_NUMBER "VP ~ '^[[:space:]]*[+-]?([0-9]+([.][0-9]*)?|[.][0-9]+)([eE][+-]?[0-9]{1,4})?[[:space:]]*$'"
#define VEDOMER_PG_UNIT_ORDER                                                                             \
    " ORDER BY VP IS NULL DESC, " VEDOMER_PG_NUMBER " DESC, CASE WHEN " VEDOMER_PG_NUMBER                 \
    " THEN CAST(VP AS numeric) END ASC, CASE WHEN " VEDOMER_PG_NUMBER " THEN NULL ELSE VP END COLLATE "   \
    "\"C\" ASC, Dolz_nom ASC NULLS FIRST, Zvan_nom ASC NULLS FIRST, FIO COLLATE \"C\" ASC NULLS FIRST"
// Summary table of the main window.
inline constexpr Dialects SELECT_SUMMARY{
    "SELECT VP, Dol, VZ, FIO,Data_comb,LN,vzs, blag, gr, ZOMO, gosnag, posh,Dolz_nom,Zvan_nom "
    "FROM Combat ORDER BY VP ASC, Dolz_nom ASC, Zvan_nom ASC, FIO ASC",
    "SELECT VP, Dol, VZ, FIO,Data_comb,LN,vzs, blag, gr, ZOMO, gosnag, posh,Dolz_nom,Zvan_nom "
    "FROM Combat" VEDOMER_PG_UNIT_ORDER};
// Servicemen list window: the counts come in another order.
inline constexpr Dialects SELECT_ROSTER{
    "SELECT VP, Dol, VZ, FIO,Data_comb,LN, blag, gr, ZOMO, posh, gosnag, vzs,Dolz_nom,Zvan_nom "
    "FROM Combat ORDER BY VP ASC, Dolz_nom ASC, Zvan_nom ASC, FIO ASC",
    "SELECT VP, Dol, VZ, FIO,Data_comb,LN, blag, gr, ZOMO, posh, gosnag, vzs,Dolz_nom,Zvan_nom "
    "FROM Combat" VEDOMER_PG_UNIT_ORDER};
// The serviceman as the list shows him, read again. %1 LN.
inline constexpr char SELECT_SERVICEMAN[] =
    "SELECT VP, Dol, VZ, FIO, Data_comb, LN FROM Combat WHERE LN = '%1'";
// Insert: the rank number stands between the two pieces. %1 VP, %2 rank, %3 LN,
// %4 full name, %5 position, %6 position number, %7 birth date.
inline constexpr Dialects INSERT_COMBAT_1{
    "INSERT INTO Combat('VP','Dol','VZ','LN','FIO','Dolz_nom','Zvan_nom','Data_comb')"
    "VALUES('%1','%5','%2','%3','%4','%6','",
    "INSERT INTO Combat(VP,Dol,VZ,LN,FIO,Dolz_nom,Zvan_nom,Data_comb)"
    "VALUES('%1','%5','%2','%3','%4','%6','"};
inline constexpr char INSERT_COMBAT_2[] = "','%7')";
// %1 VP, %2 position, %3 rank, %4 full name, %5 new LN, %7 position number,
// %8 rank number, %9 old LN, %10 birth date.
inline constexpr char UPDATE_COMBAT[] =
    "UPDATE Combat SET VP = '%1',Dol = '%2' , VZ = '%3',  FIO = '%4', LN = '%5', Dolz_nom ='%7', "
    "Zvan_nom ='%8', Data_comb = '%10' WHERE LN = '%9' ;";
// Serviceman form: the stored position and rank numbers of a serviceman, kept
// when his stored position or rank is no longer in the reference list. %1 LN.
inline constexpr char SELECT_COMBAT_NUMBERS[] = "SELECT Dolz_nom, Zvan_nom FROM Combat WHERE LN = '%1'";
// Deleting a serviceman, from the main window and from the servicemen list:
// the same delete, kept as two texts because the main window's has two
// blanks after WHERE and each window runs its own. %1 personal number.
inline constexpr char DELETE_COMBAT_MAIN[] = "DELETE FROM Combat WHERE  LN = '%1'";
inline constexpr char DELETE_COMBAT_LIST[] = "DELETE FROM Combat WHERE LN = '%1'";
// Windows that went stale and several copies at work on one database: every
// write of the orders window and of the serviceman form runs in a transaction
// that first checks its serviceman, and a change writes only while the row is
// as the window loaded it (here and for the orders below). Plain SQL, so that
// a server database takes them as they are.
// The servicemen under one personal number (0 or 1). %1 LN.
inline constexpr char COUNT_SERVICEMAN[] = "SELECT count(*) FROM Combat WHERE LN = '%1'";
// UPDATE_COMBAT while the serviceman holds the loaded values: the markers
// of UPDATE_COMBAT, then the loaded unit number, position, rank, full name
// and birth date (%11 to %15). The unit number is compared as the column
// compares it (a number with a number), the others as texts.
inline constexpr char UPDATE_COMBAT_UNCHANGED[] =
    "UPDATE Combat SET VP = '%1',Dol = '%2' , VZ = '%3',  FIO = '%4', LN = '%5', Dolz_nom ='%7', "
    "Zvan_nom ='%8', Data_comb = '%10' WHERE LN = '%9' AND (VP = '%11' OR VP IS NULL AND '%11' = '') "
    "AND COALESCE(Dol, '') = '%12' AND COALESCE(VZ, '') = '%13' AND COALESCE(FIO, '') = '%14' AND "
    "COALESCE(Data_comb, '') = '%15' ;";
static_assert(extends(UPDATE_COMBAT_UNCHANGED + 0, UPDATE_COMBAT + 0));
// The service cards of servicemen: their particulars (and below their orders
// and attached documents). %1 the personal numbers, each quoted, separated
// by commas. The rows in the order they were added.
inline constexpr auto SELECT_CARD_SERVICEMEN =
    marked("SELECT VP, Dol, VZ, FIO, Data_comb, LN FROM Combat WHERE LN IN (%1) ORDER BY {rowid};");
// Recount: built by concatenation around the personal number and the code.
inline constexpr char COUNT_VZS_1[] = "SELECT actived_prikaz FROM prikaz WHERE LN ='";
inline constexpr char COUNT_VZS_2[] = "' AND what='";
inline constexpr char COUNT_VZS_3[] = "'";
inline constexpr char COUNT_OTHER_1[] = "SELECT prikaznom FROM %1 WHERE LN ='";
inline constexpr char COUNT_OTHER_2[] = "'AND what='";
inline constexpr char COUNT_OTHER_3[] = "' ;";
inline constexpr char UPDATE_COUNT_1[] = "UPDATE Combat SET ";
inline constexpr char UPDATE_COUNT_2[] = " = '%1' WHERE LN = '";
inline constexpr char UPDATE_COUNT_3[] = "';";
// The six counts of every serviceman put right at once where they differ
// from his orders, counted as the recount above counts them: a penalty only
// while its in-force flag reads as the whole number 1 (blanks around it, a
// plus sign and leading zeros allowed), every other category all its orders.
// A count is compared as the summary table reads it (empty as "0"), and only
// a count that differs is written, so a serviceman never recounted keeps his
// empty counts while he has no orders. Only rows with a wrong count are
// written; the number of rows changed is the number put right.
#define VEDOMER_RECOUNT_DIFFERS(code) "COALESCE(NULLIF(Combat." code ", ''), '0') <> n." code
#define VEDOMER_RECOUNT_SET(code)                                                                        \
    code " = CASE WHEN " VEDOMER_RECOUNT_DIFFERS(code) " THEN n." code " ELSE Combat." code " END"
#define VEDOMER_RECOUNT_OF(code, condition) "count(*) FILTER (WHERE what = '" code "'" condition ") AS " code
#define VEDOMER_RECOUNT_TEXT(code) "CAST(COALESCE(o." code ", 0) AS TEXT) AS " code
#define VEDOMER_RECOUNT_ALL(inForce)                                                                      \
    "UPDATE Combat SET " VEDOMER_RECOUNT_SET("vzs") ", " VEDOMER_RECOUNT_SET("blag") ", "                 \
    VEDOMER_RECOUNT_SET("gr") ", " VEDOMER_RECOUNT_SET("ZOMO") ", " VEDOMER_RECOUNT_SET("gosnag") ", "    \
    VEDOMER_RECOUNT_SET("posh") " FROM (SELECT c.LN AS LN, " VEDOMER_RECOUNT_TEXT("vzs") ", "             \
    VEDOMER_RECOUNT_TEXT("blag") ", " VEDOMER_RECOUNT_TEXT("gr") ", " VEDOMER_RECOUNT_TEXT("ZOMO") ", "   \
    VEDOMER_RECOUNT_TEXT("gosnag") ", " VEDOMER_RECOUNT_TEXT("posh") " FROM Combat AS c LEFT JOIN "       \
    "(SELECT LN, " VEDOMER_RECOUNT_OF("vzs", " AND " inForce) ", " VEDOMER_RECOUNT_OF("blag", "") ", "    \
    VEDOMER_RECOUNT_OF("gr", "") ", " VEDOMER_RECOUNT_OF("ZOMO", "") ", " VEDOMER_RECOUNT_OF("gosnag", "") \
    ", " VEDOMER_RECOUNT_OF("posh", "") " FROM prikaz GROUP BY LN) AS o ON o.LN = c.LN) AS n "             \
    "WHERE Combat.LN = n.LN AND (" VEDOMER_RECOUNT_DIFFERS("vzs") " OR " VEDOMER_RECOUNT_DIFFERS("blag")  \
    " OR " VEDOMER_RECOUNT_DIFFERS("gr") " OR " VEDOMER_RECOUNT_DIFFERS("ZOMO") " OR "                    \
    VEDOMER_RECOUNT_DIFFERS("gosnag") " OR " VEDOMER_RECOUNT_DIFFERS("posh") ")"
// SQLite has no patterns of that kind: the flag without its blanks, its one
// plus sign and its leading zeros is "1". The flags the program writes, "1"
// and "0", are told at once.
#define VEDOMER_SQLITE_BLANKS "' ' || char(9, 10, 11, 12, 13)"
#define VEDOMER_SQLITE_FLAG "trim(actived_prikaz, " VEDOMER_SQLITE_BLANKS ")"
inline constexpr Dialects RECOUNT_ALL{
    VEDOMER_RECOUNT_ALL("(actived_prikaz = '1' OR actived_prikaz <> '0' AND ltrim(CASE WHEN substr("
                        VEDOMER_SQLITE_FLAG ", 1, 1) = '+' THEN substr(" VEDOMER_SQLITE_FLAG ", 2) ELSE "
                        VEDOMER_SQLITE_FLAG " END, '0') = '1')"),
    VEDOMER_RECOUNT_ALL("actived_prikaz ~ '^\\s*\\+?0*1\\s*$'")};
#undef VEDOMER_SQLITE_FLAG
#undef VEDOMER_SQLITE_BLANKS
#undef VEDOMER_RECOUNT_ALL
#undef VEDOMER_RECOUNT_TEXT
#undef VEDOMER_RECOUNT_OF
#undef VEDOMER_RECOUNT_SET
#undef VEDOMER_RECOUNT_DIFFERS

// ---- prikaz: the orders ---------------------------------------------------
// Penalties in force (the red swatch of the orders window), for the view of
// servicemen with penalties in force and the reminder of old ones.
// %1 the penalties' code, %2 the in-force flag.
inline constexpr char SELECT_PENALTIES_IN_FORCE[] =
    "SELECT LN, Date_time FROM prikaz WHERE what = '%1' AND actived_prikaz = '%2'";
// Everyone with an order of one category, in force or lifted ("Только с
// записями": the count of penalties counts only those in force). Bound: the
// category's code.
inline constexpr char SELECT_WITH_ORDERS[] = "SELECT DISTINCT LN FROM prikaz WHERE what = ?";
// A changed personal number follows into the orders (and below into the
// attached files). %1 new LN, %2 old LN.
inline constexpr char UPDATE_ORDERS_LN[] = "UPDATE prikaz SET LN = '%1' WHERE LN = '%2'";
// %1 "prikaz", %2 LN, %3 code. SQLite gives the rows in the order they were
// added; PostgreSQL moves a changed row, so it is asked for that order.
inline constexpr auto SELECT_ORDERS =
    marked("SELECT nameZO,Date_time, prikaznom,kemvidan,ish_SU,Nomer_snytie,Data_snytie,actived_prikaz "
           "FROM %1 WHERE LN ='%2'AND what='%3'{in order added};");
// %1 LN, %2 code, %3 date, %4 number, %5 issuer, %6 name, %7 1 (unquoted), %8 outgoing number.
inline constexpr Dialects INSERT_ORDER{
    "INSERT INTO prikaz('LN','what','Date_time','prikaznom','kemvidan','nameZO',actived_prikaz,"
    "ish_SU)VALUES('%1','%2','%3','%4','%5','%6',%7,'%8')",
    "INSERT INTO prikaz(LN,what,Date_time,prikaznom,kemvidan,nameZO,actived_prikaz,"
    "ish_SU)VALUES('%1','%2','%3','%4','%5','%6',%7,'%8')"};
// %1 LN, %2 old number, %3 code, %4 date, %5 new number, %6 issuer, %7 name, %8 outgoing.
inline constexpr char UPDATE_ORDER[] =
    "UPDATE prikaz SET Date_time = '%4' , prikaznom = '%5',kemvidan ='%6',nameZO = '%7',ish_SU "
    "='%8' WHERE LN = '%1' AND what = '%3' AND prikaznom = '%2';";
// %1 0, %2 lifting date, %3 lifting number, %4 LN, %5 order number, %6 code.
inline constexpr char LIFT_ORDER[] =
    "UPDATE prikaz SET actived_prikaz = '%1',Data_snytie = '%2' , Nomer_snytie = '%3' WHERE LN = "
    "'%4' AND what = '%6' AND prikaznom = '%5';";
// %1 LN, %2 code, %3 number.
inline constexpr char DELETE_ORDER[] = "DELETE FROM prikaz WHERE LN ='%1'AND what='%2'AND prikaznom ='%3';";
// Orders under a personal number that no serviceman holds. %1 LN.
inline constexpr char COUNT_ORPHAN_ORDERS[] =
    "SELECT count(*) FROM prikaz WHERE LN = '%1' AND NOT EXISTS (SELECT 1 FROM Combat WHERE LN = '%1')";
// UPDATE_ORDER while the order holds the loaded values: %1 to %8 as there,
// then the loaded name, date, issuer, outgoing number, lifting number,
// lifting date and in-force flag (a NULL was loaded as an empty text).
#define VEDOMER_UPDATE_ORDER_UNCHANGED                                                                   \
    "UPDATE prikaz SET Date_time = '%4' , prikaznom = '%5',kemvidan ='%6',nameZO = '%7',ish_SU "         \
    "='%8' WHERE LN = '%1' AND what = '%3' AND prikaznom = '%2' AND COALESCE(nameZO, '') = '%9' "        \
    "AND COALESCE(Date_time, '') = '%10' AND COALESCE(kemvidan, '') = '%11' AND COALESCE(ish_SU, '') = " \
    "'%12' AND COALESCE(Nomer_snytie, '') = '%13' AND COALESCE(Data_snytie, '') = '%14' AND "            \
    "COALESCE(actived_prikaz, '') = '%15'"
inline constexpr char UPDATE_ORDER_UNCHANGED[] = VEDOMER_UPDATE_ORDER_UNCHANGED ";";
// LIFT_ORDER while the order holds the loaded values: %1 to %6 as there,
// then the loaded values %7 to %13 in the order of UPDATE_ORDER_UNCHANGED.
#define VEDOMER_LIFT_ORDER_UNCHANGED                                                                     \
    "UPDATE prikaz SET actived_prikaz = '%1',Data_snytie = '%2' , Nomer_snytie = '%3' WHERE LN = "       \
    "'%4' AND what = '%6' AND prikaznom = '%5' AND COALESCE(nameZO, '') = '%7' AND COALESCE(Date_time, " \
    "'') = '%8' AND COALESCE(kemvidan, '') = '%9' AND COALESCE(ish_SU, '') = '%10' AND "                 \
    "COALESCE(Nomer_snytie, '') = '%11' AND COALESCE(Data_snytie, '') = '%12' AND "                      \
    "COALESCE(actived_prikaz, '') = '%13'"
inline constexpr char LIFT_ORDER_UNCHANGED[] = VEDOMER_LIFT_ORDER_UNCHANGED ";";
static_assert(extends(UPDATE_ORDER_UNCHANGED + 0, UPDATE_ORDER + 0));
static_assert(extends(LIFT_ORDER_UNCHANGED + 0, LIFT_ORDER + 0));
// Order numbers restart every year, so one serviceman may hold two orders of
// one number in one category. While the orders window lists such orders it
// reads each row's identity with them (SQLite's rowid, a server table's id)
// and changes, lifts and deletes that one row only.
// SELECT_ORDERS with the identity as a ninth field.
inline constexpr auto SELECT_ORDERS_WITH_ID =
    marked("SELECT nameZO,Date_time, prikaznom,kemvidan,ish_SU,Nomer_snytie,Data_snytie,actived_prikaz,"
           "{rowid} FROM %1 WHERE LN ='%2'AND what='%3'{in order added};");
// UPDATE_ORDER_UNCHANGED on the one row: %16 its identity.
inline constexpr auto UPDATE_ORDER_ROW = marked(VEDOMER_UPDATE_ORDER_UNCHANGED " AND {rowid} = '%16';");
// LIFT_ORDER_UNCHANGED on the one row: %14 its identity.
inline constexpr auto LIFT_ORDER_ROW = marked(VEDOMER_LIFT_ORDER_UNCHANGED " AND {rowid} = '%14';");
// DELETE_ORDER on the one row: %4 its identity.
inline constexpr auto DELETE_ORDER_ROW =
    marked("DELETE FROM prikaz WHERE LN ='%1'AND what='%2'AND prikaznom ='%3' AND {rowid} = '%4';");
static_assert(extends(UPDATE_ORDER_ROW.sqlite, UPDATE_ORDER_UNCHANGED + 0));
static_assert(extends(UPDATE_ORDER_ROW.postgresql, UPDATE_ORDER_UNCHANGED + 0));
static_assert(extends(LIFT_ORDER_ROW.sqlite, LIFT_ORDER_UNCHANGED + 0));
static_assert(extends(LIFT_ORDER_ROW.postgresql, LIFT_ORDER_UNCHANGED + 0));
static_assert(extends(DELETE_ORDER_ROW.sqlite, DELETE_ORDER + 0));
static_assert(extends(DELETE_ORDER_ROW.postgresql, DELETE_ORDER + 0));
#undef VEDOMER_UPDATE_ORDER_UNCHANGED
#undef VEDOMER_LIFT_ORDER_UNCHANGED
// The dates of a serviceman's orders of one number in one category, in the
// order they were added.
// %1 LN, %2 code, %3 number.
inline constexpr auto SELECT_ORDER_DATES = marked(
    "SELECT Date_time FROM prikaz WHERE LN = '%1' AND what = '%2' AND prikaznom = '%3' ORDER BY {rowid}");
// The orders of the service cards. %1 as for the servicemen.
inline constexpr auto SELECT_CARD_ORDERS =
    marked("SELECT LN, what, nameZO, Date_time, prikaznom, kemvidan, ish_SU, Nomer_snytie, Data_snytie, "
           "actived_prikaz FROM prikaz WHERE LN IN (%1) ORDER BY {rowid};");

// ---- Files: the documents attached to orders ------------------------------
// A changed personal number follows into the attached files. %1 new LN,
// %2 old LN.
inline constexpr char UPDATE_FILES_LN[] = "UPDATE Files SET LN = '%1' WHERE LN = '%2'";
// %1 number, %2 code, %3 "files/" + name, %4 name, %5 LN.
inline constexpr Dialects INSERT_FILE{
    "INSERT INTO Files('prikaznom','what','Giper','name_file','LN')VALUES('%1','%2','%3','%4','%5')",
    "INSERT INTO Files(prikaznom,what,Giper,name_file,LN)VALUES('%1','%2','%3','%4','%5')"};
// %1 "Files", %2 LN, %3 code, %4 number.
inline constexpr auto SELECT_FILES =
    marked("SELECT name_file FROM %1 WHERE LN ='%2'AND what='%3'AND prikaznom ='%4'{in order added};");
// The attachments of one serviceman's order, found by the personal number as
// well, so that one serviceman's document is never taken for another's.
// %1 LN, %2 code, %3 number, %4 name.
inline constexpr char SELECT_ORDER_FILE_PATH[] =
    "SELECT Giper FROM Files WHERE LN = '%1' AND what = '%2' AND prikaznom = '%3' AND name_file = '%4';";
inline constexpr char DELETE_ORDER_FILE[] =
    "DELETE FROM Files WHERE LN = '%1' AND what = '%2' AND prikaznom = '%3' AND name_file = '%4';";
// How many attachments refer to one stored copy. %1 path of the copy.
inline constexpr char COUNT_FILE_REFERENCES[] = "SELECT count(*) FROM Files WHERE Giper = '%1';";
// The attachments follow their order to its new number.
// %1 LN, %2 code, %3 old number, %4 new number.
inline constexpr char RENUMBER_FILES[] =
    "UPDATE Files SET prikaznom = '%4' WHERE LN = '%1' AND what = '%2' AND prikaznom = '%3';";
// The attachments kept under a number that no order of the serviceman holds
// in the category (left by a deleted order). Bound: LN, code, number.
inline constexpr auto SELECT_LEFTOVER_FILES =
    marked("SELECT name_file FROM Files WHERE LN = ? AND what = ? AND prikaznom = ? AND NOT EXISTS (SELECT 1 "
           "FROM prikaz WHERE prikaz.LN = Files.LN AND prikaz.what = Files.what AND prikaz.prikaznom = "
           "Files.prikaznom) ORDER BY {rowid};");
// Attachments are kept under the order's number. When one of two orders of
// one number is given another, the other keeps its attachments and the
// renumbered one gets rows of its own referring to the same stored copies;
// a name the new number already has is not added twice.
// %1 LN, %2 code, %3 old number, %4 new number.
inline constexpr char COPY_FILES_TO_NUMBER[] =
    "INSERT INTO Files (prikaznom, what, Giper, name_file, LN) SELECT '%4', what, Giper, name_file, LN "
    "FROM Files WHERE LN = '%1' AND what = '%2' AND prikaznom = '%3' AND NOT EXISTS (SELECT 1 FROM "
    "Files AS taken WHERE taken.LN = '%1' AND taken.what = '%2' AND taken.prikaznom = '%4' AND "
    "taken.name_file = Files.name_file)";
// The attached documents of the service cards. %1 as for the servicemen.
inline constexpr auto SELECT_CARD_FILES =
    marked("SELECT LN, what, prikaznom, name_file FROM Files WHERE LN IN (%1) ORDER BY {rowid};");
// The stored copies the attachments refer to, each once: in order for the
// copy of a file's documents onto a server, and as found for the check of
// the folder "files".
inline constexpr char SELECT_FILE_PATHS[] = "SELECT DISTINCT Giper FROM Files ORDER BY Giper";
inline constexpr char SELECT_FILE_COPIES[] = "SELECT DISTINCT Giper FROM Files";

// ---- Kopii: the content of attached documents -----------------------------
// The content of attached documents kept in the database (table Kopii, one
// row per stored copy, keyed by the path Giper of the Files rows). On a
// server every document is kept there; an SQLite file holds them when it was
// written from a server. %1 the path.
inline constexpr char SELECT_CONTENT[] = "SELECT Soderz FROM Kopii WHERE Giper = '%1'";
// Server only: a fingerprint of the content, so that an identical document is
// found without fetching it.
inline constexpr char SELECT_CONTENT_MD5[] = "SELECT md5(Soderz) FROM Kopii WHERE Giper = '%1'";
// Bound: the path, the content. A path already taken is left as it is (no
// row is added).
inline constexpr char INSERT_CONTENT[] =
    "INSERT INTO Kopii (Giper, Soderz) VALUES (?, ?) ON CONFLICT (Giper) DO NOTHING";
// The content goes once no attachment refers to it.
inline constexpr char DELETE_UNUSED_CONTENT[] =
    "DELETE FROM Kopii WHERE Giper = '%1' AND NOT EXISTS (SELECT 1 FROM Files WHERE Giper = '%1')";
// In an SQLite file the table is made only in a backup written from a server
// (the register's own file keeps its documents in the folder "files").
inline constexpr char CONTENT_TABLE[] = "Kopii";
inline constexpr char CREATE_CONTENT_TABLE[] = "CREATE TABLE Kopii (Giper TEXT PRIMARY KEY, Soderz BLOB)";
inline constexpr char SELECT_CONTENT_PATHS[] = "SELECT Giper FROM Kopii ORDER BY Giper";
// Every document with its content, for a backup of a server (read row by row).
inline constexpr char SELECT_ALL_CONTENT[] = "SELECT Giper, Soderz FROM Kopii ORDER BY Giper";

// ---- Ranks and Emploeses: the reference lists -----------------------------
// The reference tables as the reference tables editor's model names them:
// PostgreSQL keeps unquoted names in lower case, and its model quotes them.
// The model gives the rows in the order they were added.
inline constexpr Dialects RANKS_TABLE{"Ranks", "ranks"};
inline constexpr Dialects POSITIONS_TABLE{"Emploeses", "emploeses"};
inline constexpr Dialects REFERENCE_ORDER{"", "ORDER BY id"};
inline constexpr char SELECT_POSITIONS[] = "SELECT * FROM Emploeses  ORDER BY Massa_dolzn ASC;";
inline constexpr char SELECT_RANKS[] = "SELECT * FROM Ranks ORDER BY Rank_massa ASC ;";

// ---- Schema and maintenance -----------------------------------------------
// Schema verification: the tables (name and creation text) and the columns
// of one table (in a field "name"). %1 the table's name made safe for a text
// literal.
inline constexpr Dialects SELECT_TABLES{
    "SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
    "ESCAPE '\\' ORDER BY rowid",
    "SELECT table_name, '' FROM information_schema.tables WHERE table_schema = current_schema() AND "
    "table_type = 'BASE TABLE' ORDER BY table_name"};
inline constexpr Dialects TABLE_INFO{
    "PRAGMA table_info('%1')",
    "SELECT column_name AS name FROM information_schema.columns WHERE table_schema = current_schema() "
    "AND lower(table_name) = lower('%1') ORDER BY ordinal_position"};
inline constexpr char ADD_COLUMN[] = "ALTER TABLE %1 ADD COLUMN %2 ;";
inline constexpr char DROP_COLUMN[] = "ALTER TABLE %1 DROP COLUMN %2;";
inline constexpr char DROP_TABLE[] = "DROP TABLE %1";
// A cheap read that fails at once on a file that is not a database: the
// number of tables.
inline constexpr Dialects PROBE{"SELECT count(*) FROM sqlite_master",
                                "SELECT count(*) FROM pg_catalog.pg_tables WHERE schemaname = current_schema()"};

// Server only: the user of the connection, and whether he may add, change
// and delete rows in every table of the register that is there (a viewer may
// only read). One look at connection time decides whether the program works
// read-only.
inline constexpr char MAY_WRITE[] =
    "SELECT current_user, COALESCE(bool_and(has_table_privilege(to_regclass(t), p)), true) FROM "
    "unnest(ARRAY['combat', 'prikaz', 'files', 'ranks', 'emploeses', 'kopii']) AS t, "
    "unnest(ARRAY['INSERT', 'UPDATE', 'DELETE']) AS p";
// Server only: whether the user may make tables in the database's schema.
inline constexpr char MAY_CREATE_TABLES[] = "SELECT current_user, has_schema_privilege(current_schema(), 'CREATE')";

// Backup and restore, on connections of their own. %1 the backup's path.
inline constexpr char BACKUP_INTO[] = "VACUUM INTO '%1'";
// Answers "ok" when the file's structure is sound.
inline constexpr char QUICK_CHECK[] = "PRAGMA quick_check";
// A cheap look at a copy: the number of the register's tables among those
// named (bound: the names), and the length the file must have by its pages.
inline constexpr char COPY_LOOKS_WHOLE[] =
    "SELECT (SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name COLLATE NOCASE IN (?, ?)), "
    "(SELECT page_count * page_size FROM pragma_page_count(), pragma_page_size())";

// Copying a whole register between an SQLite file and a server. %1 table,
// %2 the columns separated by commas, %3 the rows "(…), (…)". The rows are read
// in the order they were added.
inline constexpr auto SELECT_ALL_ROWS = marked("SELECT %2 FROM %1 ORDER BY {rowid}");
inline constexpr char INSERT_ROWS[] = "INSERT INTO %1 (%2) VALUES %3";
inline constexpr char COUNT_ROWS[] = "SELECT count(*) FROM %1";
inline constexpr char DELETE_ROWS[] = "DELETE FROM %1";
// Server only: a backup reads one consistent picture of the register.
inline constexpr char BEGIN_SNAPSHOT[] = "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";
// Server only: while a register is put in place, other clerks' changes wait.
inline constexpr char LOCK_REGISTER[] = "LOCK TABLE Combat, prikaz, Files, Ranks, Emploeses, Kopii IN EXCLUSIVE MODE";
// Server only: the next identity of a table whose ids were copied follows the
// largest id. %1 table.
inline constexpr char RESTART_IDENTITY[] =
    "SELECT setval(pg_get_serial_sequence('%1', 'id'), coalesce(max(id), 0) + 1, false) FROM %1";
// Restore: the chosen copy, brought into line on a temporary copy of its own,
// is loaded into the live database in one transaction of the live
// database's connection, which holds the write lock from before the safety
// copy is made until the commit. %1 the temporary copy's path.
inline constexpr char ATTACH_RESTORED[] = "ATTACH DATABASE '%1' AS restored";
// Room to hold the whole load in memory until the commit (64 MB), rather
// than writing it out twice.
inline constexpr char RESTORE_CACHE[] = "PRAGMA cache_size = -65536";
inline constexpr char DETACH_RESTORED[] = "DETACH DATABASE restored";
// What the live database holds, and what replaces it: tables first, then
// indexes, views and triggers in the order they were made.
inline constexpr char SELECT_LIVE_OBJECTS[] =
    "SELECT type, name FROM main.sqlite_master WHERE type IN ('table', 'view') AND name NOT LIKE "
    "'sqlite\\_%' ESCAPE '\\'";
inline constexpr char SELECT_RESTORED_OBJECTS[] =
    "SELECT type, name, sql FROM restored.sqlite_master WHERE sql IS NOT NULL AND name NOT LIKE "
    "'sqlite\\_%' ESCAPE '\\' ORDER BY type <> 'table', rowid";
// %1 TABLE or VIEW, %2 the quoted name.
inline constexpr char DROP_LIVE_OBJECT[] = "DROP %1 main.%2";
// %1 the quoted table name.
inline constexpr char COPY_RESTORED_ROWS[] = "INSERT INTO main.%1 SELECT * FROM restored.%1";

// The history of changes: one row per change, written beside the change
// (by the program in the same transaction on a file, by triggers on a
// server). Not one of the tables the descriptors declare: made by the
// program where it is missing, and never dropped by the verification.
inline constexpr Dialects CREATE_HISTORY{
    "CREATE TABLE IF NOT EXISTS history (id INTEGER PRIMARY KEY, at TEXT NOT NULL, who TEXT, workstation TEXT, "
    "action TEXT NOT NULL, LN TEXT, FIO TEXT, what TEXT, prikaznom TEXT, field TEXT, old_value TEXT, "
    "new_value TEXT)",
    "CREATE TABLE IF NOT EXISTS history (id BIGSERIAL PRIMARY KEY, at TEXT NOT NULL, who TEXT, workstation TEXT, "
    "action TEXT NOT NULL, LN TEXT, FIO TEXT, what TEXT, prikaznom TEXT, field TEXT, old_value TEXT, "
    "new_value TEXT)"};
// One serviceman's history, newest first, is read by his personal number.
inline constexpr char CREATE_HISTORY_LN_INDEX[] = "CREATE INDEX IF NOT EXISTS history_ln ON history (LN, id)";
// Bound: at, who, workstation, action, LN, FIO, what, prikaznom, field,
// old_value, new_value.
inline constexpr char INSERT_HISTORY[] =
    "INSERT INTO history (at, who, workstation, action, LN, FIO, what, prikaznom, field, old_value, new_value) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
// The same with the serviceman's name read from Combat by his personal
// number, in the one statement. Bound: at, who, workstation, action, LN, the
// LN again (for the name), what, prikaznom, field, old_value, new_value.
inline constexpr char INSERT_HISTORY_NAMED[] =
    "INSERT INTO history (at, who, workstation, action, LN, FIO, what, prikaznom, field, old_value, new_value) "
    "SELECT ?, ?, ?, ?, ?, (SELECT FIO FROM Combat WHERE LN = ? LIMIT 1), ?, ?, ?, ?, ?";
// Whether the history table is there (SQLite: a row when it is; server: its
// name or NULL).
inline constexpr Dialects HISTORY_EXISTS{"SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'history'",
                                         "SELECT to_regclass('history')::text"};
// Server only: whether this connection's role may write the history itself
// (its owner): only then a restore puts the copy's history in place.
inline constexpr char HISTORY_WRITABLE[] =
    "SELECT has_table_privilege('history', 'DELETE') AND has_table_privilege('history', 'INSERT')";
// Server only: the history written by the database itself. One trigger
// function for the five tables: one row per added or deleted row, one row per
// changed column of a changed row (the six counts of Combat follow the orders
// and are left out). It runs with its owner's rights, so that clerks, who may
// not write the history, leave their entries all the same; the role and the
// workstation (the connection's application_name) are the session's.
inline constexpr char CREATE_HISTORY_FUNCTION[] = R"SQL(CREATE OR REPLACE FUNCTION history_record() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public AS $body$
DECLARE
    t text := lower(TG_TABLE_NAME);
    o jsonb;
    n jsonb;
    r jsonb;
    k text;
    v_action text;
    v_ln text;
    v_fio text;
    v_what text;
    v_number text;
    v_old text;
    v_new text;
    v_at text := to_char(localtimestamp, 'YYYY-MM-DD HH24:MI:SS');
    v_ws text := current_setting('application_name', true);
    names jsonb := '{"vp":"VP","dol":"Dol","vz":"VZ","fio":"FIO","data_comb":"Data_comb","ln":"LN",
        "dolz_nom":"Dolz_nom","zvan_nom":"Zvan_nom","what":"what","date_time":"Date_time",
        "prikaznom":"prikaznom","kemvidan":"kemvidan","namezo":"nameZO","actived_prikaz":"actived_prikaz",
        "ish_su":"ish_SU","nomer_snytie":"Nomer_snytie","data_snytie":"Data_snytie","giper":"Giper",
        "name_file":"name_file","rank":"Rank","rank_massa":"Rank_massa","dolzn":"Dolzn",
        "massa_dolzn":"Massa_dolzn","ranks":"Ranks","emploeses":"Emploeses"}';
BEGIN
    IF TG_OP <> 'INSERT' THEN o := to_jsonb(OLD); END IF;
    IF TG_OP <> 'DELETE' THEN n := to_jsonb(NEW); END IF;
    r := coalesce(n, o);
    IF t = 'combat' THEN
        v_action := CASE TG_OP WHEN 'INSERT' THEN 'serviceman_added' WHEN 'UPDATE' THEN 'serviceman_changed'
                    ELSE 'serviceman_deleted' END;
        v_ln := r->>'ln';
        v_fio := r->>'fio';
    ELSIF t = 'prikaz' OR t = 'files' THEN
        v_ln := r->>'ln';
        v_what := r->>'what';
        v_number := r->>'prikaznom';
        SELECT c.FIO INTO v_fio FROM Combat c WHERE c.LN = v_ln LIMIT 1;
        IF t = 'files' THEN
            v_action := CASE TG_OP WHEN 'DELETE' THEN 'document_detached' ELSE 'document_attached' END;
            IF TG_OP = 'INSERT' THEN v_new := r->>'name_file';
            ELSIF TG_OP = 'DELETE' THEN v_old := r->>'name_file'; END IF;
        ELSIF TG_OP = 'UPDATE' AND (o->>'actived_prikaz') IS DISTINCT FROM (n->>'actived_prikaz')
              AND trim(n->>'actived_prikaz') = '0' THEN
            v_action := 'order_lifted';
        ELSE
            v_action := CASE TG_OP WHEN 'INSERT' THEN 'order_added' WHEN 'UPDATE' THEN 'order_changed'
                        ELSE 'order_deleted' END;
        END IF;
    ELSE
        v_action := 'reference_changed';
        v_what := coalesce(names->>t, TG_TABLE_NAME);
        IF TG_OP = 'INSERT' THEN v_new := coalesce(r->>'rank', r->>'dolzn');
        ELSIF TG_OP = 'DELETE' THEN v_old := coalesce(r->>'rank', r->>'dolzn'); END IF;
    END IF;
    IF TG_OP <> 'UPDATE' THEN
        INSERT INTO history (at, who, workstation, action, LN, FIO, what, prikaznom, field, old_value, new_value)
        VALUES (v_at, session_user, v_ws, v_action, v_ln, v_fio, v_what, v_number, NULL, v_old, v_new);
        RETURN NULL;
    END IF;
    FOR k IN SELECT attname FROM pg_attribute WHERE attrelid = TG_RELID AND attnum > 0 AND NOT attisdropped
             ORDER BY attnum LOOP
        IF k <> 'id' AND NOT (t = 'combat' AND k IN ('vzs', 'blag', 'gr', 'zomo', 'gosnag', 'posh'))
           AND (o->k) IS DISTINCT FROM (n->k) THEN
            INSERT INTO history (at, who, workstation, action, LN, FIO, what, prikaznom, field, old_value, new_value)
            VALUES (v_at, session_user, v_ws, v_action, v_ln, v_fio, v_what, v_number, coalesce(names->>k, k),
                    o->>k, n->>k);
        END IF;
    END LOOP;
    RETURN NULL;
END
$body$)SQL";
// %1 the table: its trigger, made anew where it is there.
inline constexpr char CREATE_HISTORY_TRIGGER[] =
    "CREATE OR REPLACE TRIGGER history_%1 AFTER INSERT OR UPDATE OR DELETE ON %1 "
    "FOR EACH ROW EXECUTE FUNCTION history_record()";
// Server only: the entries no trigger sees (a restore, a move onto the
// server, an import), written with the owner's rights for any clerk; it
// writes no other kind. Bound: the action, what it came from.
inline constexpr char CREATE_HISTORY_EVENT_FUNCTION[] = R"SQL(CREATE OR REPLACE FUNCTION
history_event(p_action text, p_source text) RETURNS void LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public AS $body$
BEGIN
    IF p_action NOT IN ('restore', 'transfer', 'import') THEN
        RAISE EXCEPTION 'history_event: % is not an event', p_action USING ERRCODE = '22023';
    END IF;
    INSERT INTO history (at, who, workstation, action, new_value)
    VALUES (to_char(localtimestamp, 'YYYY-MM-DD HH24:MI:SS'), session_user,
            current_setting('application_name', true), p_action, p_source);
END
$body$)SQL";
// A row of a reference list as stored, before its change is written. %1
// the table; bound: the id.
inline constexpr char SELECT_REFERENCE_ROW[] = "SELECT * FROM %1 WHERE id = ?";
inline constexpr char INSERT_HISTORY_EVENT[] = "SELECT history_event(?, ?)";
// Server only: the history is read by clerks and viewers and written by no
// one but the owner of the functions above (the default privileges of the
// clerks' group would give them more).
inline constexpr char HISTORY_PRIVILEGES[] = R"SQL(DO $body$
BEGIN
    REVOKE ALL ON history FROM PUBLIC;
    REVOKE ALL ON SEQUENCE history_id_seq FROM PUBLIC;
    REVOKE ALL ON FUNCTION history_record() FROM PUBLIC;
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'vedomer_clerks') THEN
        REVOKE ALL ON history FROM vedomer_clerks;
        REVOKE ALL ON SEQUENCE history_id_seq FROM vedomer_clerks;
        GRANT SELECT ON history TO vedomer_clerks;
    END IF;
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'vedomer_viewers') THEN
        REVOKE ALL ON history FROM vedomer_viewers;
        GRANT SELECT ON history TO vedomer_viewers;
    END IF;
END
$body$)SQL";
// The names of the users for the filter's list, one step of the index on
// "who" per name rather than a pass over every entry.
inline constexpr char CREATE_HISTORY_WHO_INDEX[] = "CREATE INDEX IF NOT EXISTS history_who ON history (who)";
inline constexpr char SELECT_HISTORY_USERS[] =
    "WITH RECURSIVE users(name) AS (SELECT min(who) FROM history UNION ALL "
    "SELECT (SELECT min(who) FROM history WHERE who > users.name) FROM users WHERE users.name IS NOT NULL) "
    "SELECT name FROM users WHERE name IS NOT NULL";
// A page of the history, newest first: the head, then one condition per
// filter in use (each binds one value), then the order and the page's size
// (bound). The entries older than an id read so far: HISTORY_OLDER_THAN.
inline constexpr char SELECT_HISTORY[] =
    "SELECT id, at, who, workstation, action, LN, FIO, what, prikaznom, field, old_value, new_value "
    "FROM history WHERE 1 = 1";
inline constexpr char HISTORY_OLDER_THAN[] = " AND id < ?";
inline constexpr char HISTORY_OF_LN[] = " AND LN = ?";
// The period: "at" from the first day's start to before the day after the last.
inline constexpr char HISTORY_FROM[] = " AND at >= ?";
inline constexpr char HISTORY_BEFORE[] = " AND at < ?";
inline constexpr char HISTORY_OF_WHO[] = " AND who = ?";
inline constexpr char HISTORY_OF_ACTION[] = " AND action = ?";
inline constexpr char HISTORY_OF_WHAT[] = " AND what = ?";
// The search on an SQLite file, by the program's own function (SQLite's LIKE
// folds only Latin letters): bound the text looked for.
inline constexpr char HISTORY_FOUND[] = " AND history_found(?, FIO, LN, prikaznom, old_value, new_value)";
inline constexpr char HISTORY_PAGE[] = " ORDER BY id DESC LIMIT ?";
} // namespace Sql

#undef VEDOMER_PG_UNIT_ORDER
#undef VEDOMER_PG_NUMBER

// Category codes: the count columns of Combat and the values of "what".
namespace Code {
inline constexpr char VZS[] = "vzs";
inline constexpr char BLAG[] = "blag";
inline constexpr char GR[] = "gr";
inline constexpr char ZOMO[] = "ZOMO";
inline constexpr char GOSNAG[] = "gosnag";
inline constexpr char POSH[] = "posh";
} // namespace Code

#include "storage/sqlserver.h"

#endif // SQL_H
