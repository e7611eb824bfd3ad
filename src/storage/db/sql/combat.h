#ifndef SQL_COMBAT_H
#define SQL_COMBAT_H

// The statement catalogue, the servicemen (Combat) and their counts. Part of the one catalogue of
// storage/sql.h, which includes it (and only it should).

namespace Sql {

// ---- Combat: the servicemen and their counts ------------------------------
// On a server the rows come unordered: Roster::read() puts them in the
// order SQLite's affinity gives the file's ORDER BY (unit numbers that read
// as numbers by their value before every other text), which costs the
// program a few milliseconds where the server's sort of 20,000 rows on those
// keys took a tenth of a second on every fill.
// Summary table of the main window.
inline constexpr Dialects SELECT_SUMMARY{
    "SELECT VP, Dol, VZ, FIO,Data_comb,LN,vzs, blag, gr, ZOMO, gosnag, posh,Dolz_nom,Zvan_nom "
    "FROM Combat ORDER BY VP ASC, Dolz_nom ASC, Zvan_nom ASC, FIO ASC",
    "SELECT VP, Dol, VZ, FIO,Data_comb,LN,vzs, blag, gr, ZOMO, gosnag, posh,Dolz_nom,Zvan_nom "
    "FROM Combat"};
// Servicemen list window: the counts come in another order.
inline constexpr Dialects SELECT_ROSTER{
    "SELECT VP, Dol, VZ, FIO,Data_comb,LN, blag, gr, ZOMO, posh, gosnag, vzs,Dolz_nom,Zvan_nom "
    "FROM Combat ORDER BY VP ASC, Dolz_nom ASC, Zvan_nom ASC, FIO ASC",
    "SELECT VP, Dol, VZ, FIO,Data_comb,LN, blag, gr, ZOMO, posh, gosnag, vzs,Dolz_nom,Zvan_nom "
    "FROM Combat"};
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

} // namespace Sql

#endif // SQL_COMBAT_H
