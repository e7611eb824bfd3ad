#ifndef SQL_H
#define SQL_H

#include <QString>

class QSqlDatabase;

// The SQL statements of the program, in one place. Values are filled with one
// multi-argument QString::arg call over values passed through Function::q(),
// which doubles single quotes. A multi-argument arg() gives its arguments to
// the markers in ascending order of their numbers, so for a template with a gap
// (UPDATE_COMBAT has no %6) the arguments follow the markers that are present.
//
// The register lives in an SQLite file or on a PostgreSQL server. A statement
// in standard SQL is one text that runs on both. Where PostgreSQL refuses the
// SQLite text (column names in single quotes, PRAGMA, sqlite_master, BEGIN
// IMMEDIATE) or gives its rows in another order, the statement is a pair of
// texts, and Sql::text() picks the one of the connection's driver; the same
// markers stand in both texts.
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
// Penalties in force (the red swatch of the orders window), for the view of
// servicemen with penalties in force and the reminder of old ones.
// %1 the penalties' code, %2 the in-force flag.
inline constexpr char SELECT_PENALTIES_IN_FORCE[] =
    "SELECT LN, Date_time FROM prikaz WHERE what = '%1' AND actived_prikaz = '%2'";
// Everyone with an order of one category, in force or lifted ("Только с
// записями": the count of penalties counts only those in force). Bound: the
// category's code.
inline constexpr char SELECT_WITH_ORDERS[] = "SELECT DISTINCT LN FROM prikaz WHERE what = ?";
// The same on a server, with the code quoted in (%1).
inline constexpr char SELECT_WITH_ORDERS_QUOTED[] = "SELECT DISTINCT LN FROM prikaz WHERE what = '%1'";
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
// Deleting a serviceman, from the main window and from the servicemen list:
// the same delete, kept as two texts because the main window's has two
// blanks after WHERE and each window runs its own. %1 personal number.
inline constexpr char DELETE_COMBAT_MAIN[] = "DELETE FROM Combat WHERE  LN = '%1'";
inline constexpr char DELETE_COMBAT_LIST[] = "DELETE FROM Combat WHERE LN = '%1'";
// The reference tables as the reference tables editor's model names them:
// PostgreSQL keeps unquoted names in lower case, and its model quotes them.
// The model gives the rows in the order they were added.
inline constexpr Dialects RANKS_TABLE{"Ranks", "ranks"};
inline constexpr Dialects POSITIONS_TABLE{"Emploeses", "emploeses"};
inline constexpr Dialects REFERENCE_ORDER{"", "ORDER BY id"};
inline constexpr char SELECT_POSITIONS[] = "SELECT * FROM Emploeses  ORDER BY Massa_dolzn ASC;";
inline constexpr char SELECT_RANKS[] = "SELECT * FROM Ranks ORDER BY Rank_massa ASC ;";
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
// A changed personal number follows into the orders and attached files.
// %1 new LN, %2 old LN.
inline constexpr char UPDATE_ORDERS_LN[] = "UPDATE prikaz SET LN = '%1' WHERE LN = '%2'";
inline constexpr char UPDATE_FILES_LN[] = "UPDATE Files SET LN = '%1' WHERE LN = '%2'";
// Several statements that stand or fall together. SQLite takes the write lock
// at once; PostgreSQL's serializable transaction refuses, with a failure that
// is tried again, what another clerk changed meanwhile.
inline constexpr Dialects BEGIN_IMMEDIATE{"BEGIN IMMEDIATE", "BEGIN ISOLATION LEVEL SERIALIZABLE"};
inline constexpr char COMMIT[] = "COMMIT";
// A transaction that waits for no one (copying a whole register).
inline constexpr char BEGIN[] = "BEGIN";
inline constexpr char ROLLBACK[] = "ROLLBACK";
// %1 "prikaz", %2 LN, %3 code. SQLite gives the rows in the order they were
// added; PostgreSQL moves a changed row, so it is asked for that order.
inline constexpr Dialects SELECT_ORDERS{
    "SELECT nameZO,Date_time, prikaznom,kemvidan,ish_SU,Nomer_snytie,Data_snytie,actived_prikaz "
    "FROM %1 WHERE LN ='%2'AND what='%3';",
    "SELECT nameZO,Date_time, prikaznom,kemvidan,ish_SU,Nomer_snytie,Data_snytie,actived_prikaz "
    "FROM %1 WHERE LN ='%2'AND what='%3' ORDER BY id;"};
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
// %1 number, %2 code, %3 "files/" + name, %4 name, %5 LN.
inline constexpr Dialects INSERT_FILE{
    "INSERT INTO Files('prikaznom','what','Giper','name_file','LN')VALUES('%1','%2','%3','%4','%5')",
    "INSERT INTO Files(prikaznom,what,Giper,name_file,LN)VALUES('%1','%2','%3','%4','%5')"};
// %1 "Files", %2 LN, %3 code, %4 number.
inline constexpr Dialects SELECT_FILES{
    "SELECT name_file FROM %1 WHERE LN ='%2'AND what='%3'AND prikaznom ='%4';",
    "SELECT name_file FROM %1 WHERE LN ='%2'AND what='%3'AND prikaznom ='%4' ORDER BY id;"};
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
inline constexpr Dialects SELECT_LEFTOVER_FILES{
    "SELECT name_file FROM Files WHERE LN = ? AND what = ? AND prikaznom = ? AND NOT EXISTS (SELECT 1 "
    "FROM prikaz WHERE prikaz.LN = Files.LN AND prikaz.what = Files.what AND prikaz.prikaznom = "
    "Files.prikaznom) ORDER BY rowid;",
    "SELECT name_file FROM Files WHERE LN = ? AND what = ? AND prikaznom = ? AND NOT EXISTS (SELECT 1 "
    "FROM prikaz WHERE prikaz.LN = Files.LN AND prikaz.what = Files.what AND prikaz.prikaznom = "
    "Files.prikaznom) ORDER BY id;"};

// The service cards of servicemen: their particulars, orders and attached
// documents. %1 the personal numbers, each quoted, separated by commas.
// The rows in the order they were added.
inline constexpr Dialects SELECT_CARD_SERVICEMEN{
    "SELECT VP, Dol, VZ, FIO, Data_comb, LN FROM Combat WHERE LN IN (%1) ORDER BY rowid;",
    "SELECT VP, Dol, VZ, FIO, Data_comb, LN FROM Combat WHERE LN IN (%1) ORDER BY id;"};
inline constexpr Dialects SELECT_CARD_ORDERS{
    "SELECT LN, what, nameZO, Date_time, prikaznom, kemvidan, ish_SU, Nomer_snytie, Data_snytie, "
    "actived_prikaz FROM prikaz WHERE LN IN (%1) ORDER BY rowid;",
    "SELECT LN, what, nameZO, Date_time, prikaznom, kemvidan, ish_SU, Nomer_snytie, Data_snytie, "
    "actived_prikaz FROM prikaz WHERE LN IN (%1) ORDER BY id;"};
inline constexpr Dialects SELECT_CARD_FILES{
    "SELECT LN, what, prikaznom, name_file FROM Files WHERE LN IN (%1) ORDER BY rowid;",
    "SELECT LN, what, prikaznom, name_file FROM Files WHERE LN IN (%1) ORDER BY id;"};

// Windows that went stale and several copies at work on one database: every
// write of the orders window and of the serviceman form runs in a transaction
// that first checks its serviceman, and a change writes only while the row is
// as the window loaded it. Plain SQL, so that a server database takes them
// as they are.
// The servicemen under one personal number (0 or 1). %1 LN.
inline constexpr char COUNT_SERVICEMAN[] = "SELECT count(*) FROM Combat WHERE LN = '%1'";
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
// UPDATE_COMBAT while the serviceman holds the loaded values: the markers
// of UPDATE_COMBAT, then the loaded unit number, position, rank, full name
// and birth date (%11 to %15). The unit number is compared as the column
// compares it (a number with a number), the others as texts.
inline constexpr char UPDATE_COMBAT_UNCHANGED[] =
    "UPDATE Combat SET VP = '%1',Dol = '%2' , VZ = '%3',  FIO = '%4', LN = '%5', Dolz_nom ='%7', "
    "Zvan_nom ='%8', Data_comb = '%10' WHERE LN = '%9' AND (VP = '%11' OR VP IS NULL AND '%11' = '') "
    "AND COALESCE(Dol, '') = '%12' AND COALESCE(VZ, '') = '%13' AND COALESCE(FIO, '') = '%14' AND "
    "COALESCE(Data_comb, '') = '%15' ;";
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
static_assert(extends(UPDATE_ORDER_UNCHANGED + 0, UPDATE_ORDER + 0));
static_assert(extends(LIFT_ORDER_UNCHANGED + 0, LIFT_ORDER + 0));
static_assert(extends(UPDATE_COMBAT_UNCHANGED + 0, UPDATE_COMBAT + 0));

// Order numbers restart every year, so one serviceman may hold two orders of
// one number in one category. While the orders window lists such orders it
// reads each row's identity with them (SQLite's rowid, a server table's id)
// and changes, lifts and deletes that one row only.
// SELECT_ORDERS with the identity as a ninth field.
inline constexpr Dialects SELECT_ORDERS_WITH_ID{
    "SELECT nameZO,Date_time, prikaznom,kemvidan,ish_SU,Nomer_snytie,Data_snytie,actived_prikaz,rowid "
    "FROM %1 WHERE LN ='%2'AND what='%3';",
    "SELECT nameZO,Date_time, prikaznom,kemvidan,ish_SU,Nomer_snytie,Data_snytie,actived_prikaz,id "
    "FROM %1 WHERE LN ='%2'AND what='%3' ORDER BY id;"};
// UPDATE_ORDER_UNCHANGED on the one row: %16 its identity.
inline constexpr Dialects UPDATE_ORDER_ROW{VEDOMER_UPDATE_ORDER_UNCHANGED " AND rowid = '%16';",
                                           VEDOMER_UPDATE_ORDER_UNCHANGED " AND id = '%16';"};
// LIFT_ORDER_UNCHANGED on the one row: %14 its identity.
inline constexpr Dialects LIFT_ORDER_ROW{VEDOMER_LIFT_ORDER_UNCHANGED " AND rowid = '%14';",
                                         VEDOMER_LIFT_ORDER_UNCHANGED " AND id = '%14';"};
// DELETE_ORDER on the one row: %4 its identity.
inline constexpr Dialects DELETE_ORDER_ROW{
    "DELETE FROM prikaz WHERE LN ='%1'AND what='%2'AND prikaznom ='%3' AND rowid = '%4';",
    "DELETE FROM prikaz WHERE LN ='%1'AND what='%2'AND prikaznom ='%3' AND id = '%4';"};
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
inline constexpr Dialects SELECT_ORDER_DATES{
    "SELECT Date_time FROM prikaz WHERE LN = '%1' AND what = '%2' AND prikaznom = '%3' ORDER BY rowid",
    "SELECT Date_time FROM prikaz WHERE LN = '%1' AND what = '%2' AND prikaznom = '%3' ORDER BY id"};
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
// On a server each write of the orders window and of the serviceman form is
// one statement, one round trip: the check of the serviceman, the write
// conditioned on the loaded values, the documents that follow it and what the
// window is told afterwards. One statement stands or falls as a whole; the
// serviceman's row is held (FOR SHARE) while it runs, so that nobody deletes
// or renumbers him meanwhile, and the order's row (FOR UPDATE), so that a
// change that met another clerk's is checked against what that one wrote.
// Values are spliced in through Function::q() rather than bound: Qt's
// PostgreSQL driver spends three round trips on a statement with bound
// values (PREPARE, EXECUTE, DEALLOCATE). Each gives at least one row: the
// servicemen found (0 or 1), the orders the write was aimed at, the orders
// written, then a text (NULL when none) and, for a deletion, a count.
#define VEDOMER_SERVER_MAN(ln) "WITH man AS (SELECT LN FROM Combat WHERE LN = '" ln "' FOR SHARE), "
#define VEDOMER_SERVER_LEFTOVER(ln, code, number)                                                         \
    "leftover AS (SELECT name_file, id FROM Files WHERE LN = '" ln "' AND what = '" code                  \
    "' AND prikaznom = '" number "' AND NOT EXISTS (SELECT 1 FROM prikaz WHERE prikaz.LN = Files.LN AND " \
    "prikaz.what = Files.what AND prikaz.prikaznom = Files.prikaznom))"
#define VEDOMER_SERVER_COUNTS(targeted)                                                                    \
    "SELECT (SELECT count(*) FROM man), " targeted ", (SELECT count(*) FROM written)"
// INSERT_ORDER with the check of the serviceman and the documents a deleted
// order of the number left under it (SELECT_LEFTOVER_FILES, as they were
// before the insert). %1 LN, %2 code, %3 date, %4 number, %5 issuer, %6 name,
// %7 outgoing number.
inline constexpr char ADD_ORDER_AT_ONCE[] =
    VEDOMER_SERVER_MAN("%1") VEDOMER_SERVER_LEFTOVER("%1", "%2", "%4") ", written AS (INSERT INTO prikaz (LN, "
    "what, Date_time, prikaznom, kemvidan, nameZO, actived_prikaz, ish_SU) SELECT '%1', '%2', '%3', '%4', "
    "'%5', '%6', '1', '%7' FROM man RETURNING id) " VEDOMER_SERVER_COUNTS("1")
    ", leftover.name_file FROM (SELECT 1) AS one LEFT JOIN leftover ON true ORDER BY leftover.id";
// The order (of the identity %16, or the only one of its number when %16 is
// empty) as the list loaded it; the markers of UPDATE_ORDER_ROW.
#define VEDOMER_SERVER_TARGET_LOADED(ln, code, number, name, date, issuer, outgoing, liftNumber, liftDate,   \
                                     inForce, id)                                                            \
    "target AS (SELECT id FROM prikaz WHERE LN = '" ln "' AND what = '" code "' AND prikaznom = '" number  \
    "' AND COALESCE(nameZO, '') = '" name "' AND COALESCE(Date_time, '') = '" date                         \
    "' AND COALESCE(kemvidan, '') = '" issuer "' AND COALESCE(ish_SU, '') = '" outgoing                    \
    "' AND COALESCE(Nomer_snytie, '') = '" liftNumber "' AND COALESCE(Data_snytie, '') = '" liftDate       \
    "' AND COALESCE(actived_prikaz, '') = '" inForce "' AND ('" id "' = '' OR CAST(id AS TEXT) = '" id     \
    "') FOR UPDATE), "
#define VEDOMER_SERVER_ONE_TARGET "id IN (SELECT id FROM target) AND (SELECT count(*) FROM target) = 1 AND " \
    "EXISTS (SELECT 1 FROM man)"
// UPDATE_ORDER_ROW with the check of the serviceman; a new number takes the
// documents along (RENUMBER_FILES), or, while another order keeps the old
// one, a copy of their rows (COPY_FILES_TO_NUMBER), and gives the documents
// left under it. Markers as UPDATE_ORDER_ROW (%16 empty for the only order of
// its number).
inline constexpr char CHANGE_ORDER_AT_ONCE[] =
    VEDOMER_SERVER_MAN("%1")
    VEDOMER_SERVER_TARGET_LOADED("%1", "%3", "%2", "%9", "%10", "%11", "%12", "%13", "%14", "%15", "%16")
    "written AS (UPDATE prikaz SET Date_time = '%4', prikaznom = '%5', kemvidan = '%6', nameZO = '%7', "
    "ish_SU = '%8' WHERE " VEDOMER_SERVER_ONE_TARGET " RETURNING id), "
    "kept AS (SELECT 1 FROM prikaz WHERE '%16' <> '' AND LN = '%1' AND what = '%3' AND prikaznom = '%2' AND "
    "id NOT IN (SELECT id FROM target)), "
    "moved AS (UPDATE Files SET prikaznom = '%5' WHERE '%5' <> '%2' AND EXISTS (SELECT 1 FROM written) AND NOT "
    "EXISTS (SELECT 1 FROM kept) AND LN = '%1' AND what = '%3' AND prikaznom = '%2' RETURNING id), "
    "copied AS (INSERT INTO Files (prikaznom, what, Giper, name_file, LN) SELECT '%5', what, Giper, name_file, "
    "LN FROM Files WHERE '%5' <> '%2' AND EXISTS (SELECT 1 FROM written) AND EXISTS (SELECT 1 FROM kept) AND "
    "LN = '%1' AND what = '%3' AND prikaznom = '%2' AND NOT EXISTS (SELECT 1 FROM Files AS taken WHERE "
    "taken.LN = '%1' AND taken.what = '%3' AND taken.prikaznom = '%5' AND taken.name_file = Files.name_file) "
    "RETURNING id), " VEDOMER_SERVER_LEFTOVER("%1", "%3", "%5") " " VEDOMER_SERVER_COUNTS(
        "(SELECT count(*) FROM target)") ", CASE WHEN '%5' <> '%2' THEN leftover.name_file END FROM (SELECT 1) "
    "AS one LEFT JOIN leftover ON true ORDER BY leftover.id";
// LIFT_ORDER_ROW with the check of the serviceman; its markers (%14 empty
// for the only order of its number).
inline constexpr char LIFT_ORDER_AT_ONCE[] =
    VEDOMER_SERVER_MAN("%4")
    VEDOMER_SERVER_TARGET_LOADED("%4", "%6", "%5", "%7", "%8", "%9", "%10", "%11", "%12", "%13", "%14")
    "written AS (UPDATE prikaz SET actived_prikaz = '%1', Data_snytie = '%2', Nomer_snytie = '%3' WHERE "
    VEDOMER_SERVER_ONE_TARGET " RETURNING id) " VEDOMER_SERVER_COUNTS("(SELECT count(*) FROM target)")
    ", NULL";
// DELETE_ORDER_ROW with the check of the serviceman; the dates of the
// orders that keep the number and the documents attached under it. Markers
// as DELETE_ORDER_ROW (%4 empty for the only order of its number).
inline constexpr char DELETE_ORDER_AT_ONCE[] =
    VEDOMER_SERVER_MAN("%1")
    "target AS (SELECT id FROM prikaz WHERE LN = '%1' AND what = '%2' AND prikaznom = '%3' AND ('%4' = '' OR "
    "CAST(id AS TEXT) = '%4') FOR UPDATE), "
    "written AS (DELETE FROM prikaz WHERE id IN (SELECT id FROM target) AND (SELECT count(*) FROM target) <= 1 "
    "AND EXISTS (SELECT 1 FROM man) RETURNING id), "
    "kept AS (SELECT Date_time, id FROM prikaz WHERE '%4' <> '' AND LN = '%1' AND what = '%2' AND prikaznom = "
    "'%3' AND id NOT IN (SELECT id FROM target)) " VEDOMER_SERVER_COUNTS("(SELECT count(*) FROM target)")
    ", kept.Date_time, (SELECT count(*) FROM Files WHERE LN = '%1' AND what = '%2' AND prikaznom = '%3') FROM "
    "(SELECT 1) AS one LEFT JOIN kept ON true ORDER BY kept.id";
// UPDATE_COMBAT_UNCHANGED with the check of the serviceman and a new
// personal number taken into his orders and documents (UPDATE_ORDERS_LN,
// UPDATE_FILES_LN); its markers. Gives the servicemen found under the old
// number and those written.
inline constexpr char CHANGE_SERVICEMAN_AT_ONCE[] =
    "WITH man AS (SELECT LN FROM Combat WHERE LN = '%9'), written AS (UPDATE Combat SET VP = '%1', Dol = "
    "'%2', VZ = '%3', FIO = '%4', LN = '%5', Dolz_nom = '%7', Zvan_nom = '%8', Data_comb = '%10' WHERE LN = "
    "'%9' AND (VP = '%11' OR VP IS NULL AND '%11' = '') AND COALESCE(Dol, '') = '%12' AND COALESCE(VZ, '') = "
    "'%13' AND COALESCE(FIO, '') = '%14' AND COALESCE(Data_comb, '') = '%15' RETURNING LN), orders AS (UPDATE "
    "prikaz SET LN = '%5' WHERE '%5' <> '%9' AND LN = '%9' AND EXISTS (SELECT 1 FROM written)), files AS "
    "(UPDATE Files SET LN = '%5' WHERE '%5' <> '%9' AND LN = '%9' AND EXISTS (SELECT 1 FROM written)) "
    "SELECT (SELECT count(*) FROM man), (SELECT count(*) FROM written)";
// The recount of one category (COUNT_VZS_*, COUNT_OTHER_* and UPDATE_COUNT_*)
// as one statement: penalties count while their flag reads as 1 (as
// RECOUNT_ALL counts them), the other categories all their orders. %1 the
// code (a column name), %2 LN.
inline constexpr char RECOUNT_PENALTIES_AT_ONCE[] =
    "UPDATE Combat SET %1 = (SELECT CAST(count(*) AS TEXT) FROM prikaz WHERE LN = '%2' AND what = '%1' AND "
    "actived_prikaz ~ '^\\s*\\+?0*1\\s*$') WHERE LN = '%2'";
inline constexpr char RECOUNT_AT_ONCE[] =
    "UPDATE Combat SET %1 = (SELECT CAST(count(*) AS TEXT) FROM prikaz WHERE LN = '%2' AND what = '%1') WHERE "
    "LN = '%2'";
#undef VEDOMER_SERVER_ONE_TARGET
#undef VEDOMER_SERVER_TARGET_LOADED
#undef VEDOMER_SERVER_COUNTS
#undef VEDOMER_SERVER_LEFTOVER
#undef VEDOMER_SERVER_MAN
// The serviceman as the list shows him, read again. %1 LN.
inline constexpr char SELECT_SERVICEMAN[] =
    "SELECT VP, Dol, VZ, FIO, Data_comb, LN FROM Combat WHERE LN = '%1'";

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

// Backup and restore, on connections of their own. %1 the backup's path.
inline constexpr char BACKUP_INTO[] = "VACUUM INTO '%1'";
// Answers "ok" when the file's structure is sound.
inline constexpr char QUICK_CHECK[] = "PRAGMA quick_check";
// A cheap look at a copy: the number of the register's tables among those
// named (bound: the names), and the length the file must have by its pages.
inline constexpr char COPY_LOOKS_WHOLE[] =
    "SELECT (SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name COLLATE NOCASE IN (?, ?)), "
    "(SELECT page_count * page_size FROM pragma_page_count(), pragma_page_size())";

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
inline constexpr char SELECT_FILE_PATHS[] = "SELECT DISTINCT Giper FROM Files ORDER BY Giper";

// Copying a whole register between an SQLite file and a server. %1 table,
// %2 the columns separated by commas, %3 the rows "(…), (…)". The rows are read
// in the order they were added.
inline constexpr Dialects SELECT_ALL_ROWS{"SELECT %2 FROM %1 ORDER BY rowid", "SELECT %2 FROM %1 ORDER BY id"};
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
// The attachment copies the register refers to.
inline constexpr char SELECT_FILE_COPIES[] = "SELECT DISTINCT Giper FROM Files";
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

#endif // SQL_H
