#ifndef SQL_H
#define SQL_H

// The SQL statements of the program, in one place. Values are filled with one
// multi-argument QString::arg call over values passed through Function::q(),
// which doubles single quotes. A multi-argument arg() gives its arguments to
// the markers in ascending order of their numbers, so for a template with a gap
// (UPDATE_COMBAT has no %6) the arguments follow the markers that are present.
namespace Sql {
// Summary table of the main window.
inline constexpr char SELECT_SUMMARY[] =
    "SELECT VP, Dol, VZ, FIO,Data_comb,LN,vzs, blag, gr, ZOMO, gosnag, posh,Dolz_nom,Zvan_nom "
    "FROM Combat ORDER BY VP ASC, Dolz_nom ASC, Zvan_nom ASC, FIO ASC";
// Servicemen list window: the counts come in another order.
inline constexpr char SELECT_ROSTER[] =
    "SELECT VP, Dol, VZ, FIO,Data_comb,LN, blag, gr, ZOMO, posh, gosnag, vzs,Dolz_nom,Zvan_nom "
    "FROM Combat ORDER BY VP ASC, Dolz_nom ASC, Zvan_nom ASC, FIO ASC";
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
// %1 personal number.
inline constexpr char DELETE_COMBAT_MAIN[] = "DELETE FROM Combat WHERE  LN = '%1'";
inline constexpr char DELETE_COMBAT_LIST[] = "DELETE FROM Combat WHERE LN = '%1'";
inline constexpr char SELECT_POSITIONS[] = "SELECT * FROM Emploeses  ORDER BY Massa_dolzn ASC;";
inline constexpr char SELECT_RANKS[] = "SELECT * FROM Ranks ORDER BY Rank_massa ASC ;";
// Insert: the rank number stands between the two pieces. %1 VP, %2 rank, %3 LN,
// %4 full name, %5 position, %6 position number, %7 birth date.
inline constexpr char INSERT_COMBAT_1[] =
    "INSERT INTO Combat('VP','Dol','VZ','LN','FIO','Dolz_nom','Zvan_nom','Data_comb')"
    "VALUES('%1','%5','%2','%3','%4','%6','";
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
// Several statements that stand or fall together.
inline constexpr char BEGIN_IMMEDIATE[] = "BEGIN IMMEDIATE";
inline constexpr char COMMIT[] = "COMMIT";
inline constexpr char ROLLBACK[] = "ROLLBACK";
// %1 "prikaz", %2 LN, %3 code.
inline constexpr char SELECT_ORDERS[] =
    "SELECT nameZO,Date_time, prikaznom,kemvidan,ish_SU,Nomer_snytie,Data_snytie,actived_prikaz "
    "FROM %1 WHERE LN ='%2'AND what='%3';";
// %1 LN, %2 code, %3 date, %4 number, %5 issuer, %6 name, %7 1 (unquoted), %8 outgoing number.
inline constexpr char INSERT_ORDER[] =
    "INSERT INTO prikaz('LN','what','Date_time','prikaznom','kemvidan','nameZO',actived_prikaz,"
    "ish_SU)VALUES('%1','%2','%3','%4','%5','%6',%7,'%8')";
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
inline constexpr char INSERT_FILE[] =
    "INSERT INTO Files('prikaznom','what','Giper','name_file','LN')VALUES('%1','%2','%3','%4','%5')";
// %1 "Files", %2 LN, %3 code, %4 number.
inline constexpr char SELECT_FILES[] =
    "SELECT name_file FROM %1 WHERE LN ='%2'AND what='%3'AND prikaznom ='%4';";
// %1 number, %2 code, %3 name, %4 "Files".
inline constexpr char SELECT_FILE_PATH[] =
    "SELECT Giper FROM %4 WHERE prikaznom = '%1' AND what = '%2' AND name_file = '%3' ;";
// %1 name.
inline constexpr char DELETE_FILE[] = "DELETE FROM Files WHERE name_file = '%1';";
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

// The service cards of servicemen: their particulars, orders and attached
// documents. %1 the personal numbers, each quoted, separated by commas.
inline constexpr char SELECT_CARD_SERVICEMEN[] =
    "SELECT VP, Dol, VZ, FIO, Data_comb, LN FROM Combat WHERE LN IN (%1) ORDER BY rowid;";
inline constexpr char SELECT_CARD_ORDERS[] =
    "SELECT LN, what, nameZO, Date_time, prikaznom, kemvidan, ish_SU, Nomer_snytie, Data_snytie, "
    "actived_prikaz FROM prikaz WHERE LN IN (%1) ORDER BY rowid;";
inline constexpr char SELECT_CARD_FILES[] =
    "SELECT LN, what, prikaznom, name_file FROM Files WHERE LN IN (%1) ORDER BY rowid;";

// Schema verification.
inline constexpr char SELECT_TABLES[] =
    "SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
    "ESCAPE '\\' ORDER BY rowid";
inline constexpr char TABLE_INFO[] = "PRAGMA table_info(%1)";
inline constexpr char ADD_COLUMN[] = "ALTER TABLE %1 ADD COLUMN %2 ;";
inline constexpr char DROP_COLUMN[] = "ALTER TABLE %1 DROP COLUMN %2;";
inline constexpr char DROP_TABLE[] = "DROP TABLE %1";
// A cheap read that fails at once on a file that is not a database.
inline constexpr char PROBE[] = "SELECT count(*) FROM sqlite_master";

// Backup and restore, on connections of their own. %1 the backup's path.
inline constexpr char BACKUP_INTO[] = "VACUUM INTO '%1'";
// Answers "ok" when the file's structure is sound.
inline constexpr char QUICK_CHECK[] = "PRAGMA quick_check";
} // namespace Sql

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
