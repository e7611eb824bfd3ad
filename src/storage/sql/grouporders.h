#ifndef SQL_GROUPORDERS_H
#define SQL_GROUPORDERS_H

// The statement catalogue, one order written for several servicemen at once.
// Part of the one catalogue of storage/sql.h, which includes it (and only it
// should).

namespace Sql {

// ---- prikaz: an order for several servicemen ------------------------------
// Who already holds an order of the category and number. Bound: the
// category's code, the number.
inline constexpr char SELECT_ORDER_HOLDERS[] =
    "SELECT DISTINCT LN FROM prikaz WHERE what = ? AND prikaznom = ?";
// One serviceman's row of the order, in force. Bound: LN, code, date, number,
// issuer, name, outgoing number.
inline constexpr char INSERT_GROUP_ORDER[] =
    "INSERT INTO prikaz(LN, what, Date_time, prikaznom, kemvidan, nameZO, actived_prikaz, ish_SU) "
    "VALUES(?, ?, ?, ?, ?, ?, 1, ?)";
// Whether the serviceman is there under his personal number. Bound: LN.
inline constexpr char COUNT_SERVICEMAN_BOUND[] = "SELECT count(*) FROM Combat WHERE LN = ?";

} // namespace Sql

#endif // SQL_GROUPORDERS_H
