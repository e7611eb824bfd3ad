#ifndef SQL_ORDERS_H
#define SQL_ORDERS_H

// The statement catalogue, the orders (prikaz). Part of the one catalogue of
// storage/sql.h, which includes it (and only it should).

namespace Sql {

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
// On a file: the date and name of the order DELETE_ORDER (with an identity,
// DELETE_ORDER_ROW) deletes, for its entry of the history. Bound: LN, the
// category's code, the number, the identity twice ("" for any).
inline constexpr char SELECT_DELETED_ORDER[] = "SELECT Date_time, nameZO FROM prikaz WHERE LN = ? AND what = ? AND "
                                               "prikaznom = ? AND (? = '' OR rowid = ?)";
// The dates of a serviceman's orders of one number in one category, in the
// order they were added.
// %1 LN, %2 code, %3 number.
inline constexpr auto SELECT_ORDER_DATES = marked(
    "SELECT Date_time FROM prikaz WHERE LN = '%1' AND what = '%2' AND prikaznom = '%3' ORDER BY {rowid}");
// The orders of the service cards. %1 as for the servicemen.
inline constexpr auto SELECT_CARD_ORDERS =
    marked("SELECT LN, what, nameZO, Date_time, prikaznom, kemvidan, ish_SU, Nomer_snytie, Data_snytie, "
           "actived_prikaz FROM prikaz WHERE LN IN (%1) ORDER BY {rowid};");
// The extracts of an order: the rows of the category, number and date with
// the rank, name and personal number of the serviceman each names (an order
// under a personal number no serviceman holds has none). Bound: the
// category's code, the number, the date; EXTRACT_ONE then the personal number.
#define VEDOMER_SELECT_EXTRACTS                                                                           \
    "SELECT c.VZ, c.FIO, c.LN, p.nameZO, p.kemvidan, p.ish_SU, p.Nomer_snytie, p.Data_snytie, "           \
    "p.actived_prikaz FROM prikaz p JOIN Combat c ON c.LN = p.LN WHERE p.what = ? AND "                   \
    "COALESCE(p.prikaznom, '') = ? AND COALESCE(p.Date_time, '') = ?"
inline constexpr char SELECT_EXTRACTS_ALL[] = VEDOMER_SELECT_EXTRACTS;
inline constexpr char SELECT_EXTRACT_ONE[] = VEDOMER_SELECT_EXTRACTS " AND p.LN = ?";
#undef VEDOMER_SELECT_EXTRACTS

} // namespace Sql

#endif // SQL_ORDERS_H
