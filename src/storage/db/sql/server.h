#ifndef SQL_SERVER_H
#define SQL_SERVER_H

// The statements of the catalogue that run on a server only, where every
// round trip to the server counts: each write of the orders window and of
// the serviceman form as one statement. Part of the one catalogue of
// storage/sql.h, which includes it.

namespace Sql {

// "Только с записями" on a server, with the category's code quoted in (%1)
// rather than bound (see below why).
inline constexpr char SELECT_WITH_ORDERS_QUOTED[] = "SELECT DISTINCT LN FROM prikaz WHERE what = '%1'";

// On a server each write of the orders window and of the serviceman form is
// one statement, one round trip: the check of the serviceman, the write
// conditioned on the loaded values, the documents that follow it and what the
// window is told afterwards. One statement stands or falls as a whole; the
// serviceman's row is held (FOR SHARE) while it runs, so that nobody deletes
// or renumbers him meanwhile, and the order's row (FOR UPDATE), so that a
// change that met another clerk's is checked against what that one wrote.
// Values stand as $1, $2… and travel apart from the text (Query::numbered),
// so that no setting of the server can make one of them end its quotes; Qt's
// PostgreSQL driver would spend three round trips on a statement with bound
// values (PREPARE, EXECUTE, DEALLOCATE). Each gives at least one row: the
// servicemen found (0 or 1), the orders the write was aimed at, the orders
// written, then a text (NULL when none) and, for a deletion, a count.
#define VEDOMER_SERVER_MAN(ln) "WITH man AS (SELECT LN FROM Combat WHERE LN = " ln " FOR SHARE), "
#define VEDOMER_SERVER_LEFTOVER(ln, code, number)                                                         \
    "leftover AS (SELECT name_file, id FROM Files WHERE LN = " ln " AND what = " code " AND prikaznom = " \
    number " AND NOT EXISTS (SELECT 1 FROM prikaz WHERE prikaz.LN = Files.LN AND "                        \
    "prikaz.what = Files.what AND prikaz.prikaznom = Files.prikaznom))"
#define VEDOMER_SERVER_COUNTS(targeted)                                                                    \
    "SELECT (SELECT count(*) FROM man), " targeted ", (SELECT count(*) FROM written)"
// INSERT_ORDER with the check of the serviceman and the documents a deleted
// order of the number left under it (SELECT_LEFTOVER_FILES, as they were
// before the insert). $1 LN, $2 code, $3 date, $4 number, $5 issuer, $6 name,
// $7 outgoing number.
inline constexpr char ADD_ORDER_AT_ONCE[] =
    VEDOMER_SERVER_MAN("$1") VEDOMER_SERVER_LEFTOVER("$1", "$2", "$4") ", written AS (INSERT INTO prikaz (LN, "
    "what, Date_time, prikaznom, kemvidan, nameZO, actived_prikaz, ish_SU) SELECT $1, $2, $3, $4, "
    "$5, $6, '1', $7 FROM man RETURNING id) " VEDOMER_SERVER_COUNTS("1")
    ", leftover.name_file FROM (SELECT 1) AS one LEFT JOIN leftover ON true ORDER BY leftover.id";
// The order (of the identity $16, or the only one of its number when $16 is
// empty) as the list loaded it; the markers of UPDATE_ORDER_ROW as $n.
#define VEDOMER_SERVER_TARGET_LOADED(ln, code, number, name, date, issuer, outgoing, liftNumber, liftDate,   \
                                     inForce, id)                                                            \
    "target AS (SELECT id FROM prikaz WHERE LN = " ln " AND what = " code " AND prikaznom = " number          \
    " AND COALESCE(nameZO, '') = " name " AND COALESCE(Date_time, '') = " date                              \
    " AND COALESCE(kemvidan, '') = " issuer " AND COALESCE(ish_SU, '') = " outgoing                         \
    " AND COALESCE(Nomer_snytie, '') = " liftNumber " AND COALESCE(Data_snytie, '') = " liftDate            \
    " AND COALESCE(actived_prikaz, '') = " inForce " AND (" id " = '' OR CAST(id AS TEXT) = " id            \
    ") FOR UPDATE), "
#define VEDOMER_SERVER_ONE_TARGET "id IN (SELECT id FROM target) AND (SELECT count(*) FROM target) = 1 AND " \
    "EXISTS (SELECT 1 FROM man)"
// UPDATE_ORDER_ROW with the check of the serviceman; a new number takes the
// documents along (RENUMBER_FILES), or, while another order keeps the old
// one, a copy of their rows (COPY_FILES_TO_NUMBER), and gives the documents
// left under it. Markers as UPDATE_ORDER_ROW, as $n ($16 empty for the only
// order of its number).
inline constexpr char CHANGE_ORDER_AT_ONCE[] =
    VEDOMER_SERVER_MAN("$1")
    VEDOMER_SERVER_TARGET_LOADED("$1", "$3", "$2", "$9", "$10", "$11", "$12", "$13", "$14", "$15", "$16")
    "written AS (UPDATE prikaz SET Date_time = $4, prikaznom = $5, kemvidan = $6, nameZO = $7, "
    "ish_SU = $8 WHERE " VEDOMER_SERVER_ONE_TARGET " RETURNING id), "
    "kept AS (SELECT 1 FROM prikaz WHERE $16 <> '' AND LN = $1 AND what = $3 AND prikaznom = $2 AND "
    "id NOT IN (SELECT id FROM target)), "
    "moved AS (UPDATE Files SET prikaznom = $5 WHERE $5 <> $2 AND EXISTS (SELECT 1 FROM written) AND NOT "
    "EXISTS (SELECT 1 FROM kept) AND LN = $1 AND what = $3 AND prikaznom = $2 RETURNING id), "
    "copied AS (INSERT INTO Files (prikaznom, what, Giper, name_file, LN) SELECT $5, what, Giper, name_file, "
    "LN FROM Files WHERE $5 <> $2 AND EXISTS (SELECT 1 FROM written) AND EXISTS (SELECT 1 FROM kept) AND "
    "LN = $1 AND what = $3 AND prikaznom = $2 AND NOT EXISTS (SELECT 1 FROM Files AS taken WHERE "
    "taken.LN = $1 AND taken.what = $3 AND taken.prikaznom = $5 AND taken.name_file = Files.name_file) "
    "RETURNING id), " VEDOMER_SERVER_LEFTOVER("$1", "$3", "$5") " " VEDOMER_SERVER_COUNTS(
        "(SELECT count(*) FROM target)") ", CASE WHEN $5 <> $2 THEN leftover.name_file END FROM (SELECT 1) "
    "AS one LEFT JOIN leftover ON true ORDER BY leftover.id";
// LIFT_ORDER_ROW with the check of the serviceman; its markers as $n ($14
// empty for the only order of its number).
inline constexpr char LIFT_ORDER_AT_ONCE[] =
    VEDOMER_SERVER_MAN("$4")
    VEDOMER_SERVER_TARGET_LOADED("$4", "$6", "$5", "$7", "$8", "$9", "$10", "$11", "$12", "$13", "$14")
    "written AS (UPDATE prikaz SET actived_prikaz = $1, Data_snytie = $2, Nomer_snytie = $3 WHERE "
    VEDOMER_SERVER_ONE_TARGET " RETURNING id) " VEDOMER_SERVER_COUNTS("(SELECT count(*) FROM target)")
    ", NULL";
// DELETE_ORDER_ROW with the check of the serviceman; the dates of the
// orders that keep the number and the documents attached under it. Markers
// as DELETE_ORDER_ROW, as $n ($4 empty for the only order of its number).
inline constexpr char DELETE_ORDER_AT_ONCE[] =
    VEDOMER_SERVER_MAN("$1")
    "target AS (SELECT id FROM prikaz WHERE LN = $1 AND what = $2 AND prikaznom = $3 AND ($4 = '' OR "
    "CAST(id AS TEXT) = $4) FOR UPDATE), "
    "written AS (DELETE FROM prikaz WHERE id IN (SELECT id FROM target) AND (SELECT count(*) FROM target) <= 1 "
    "AND EXISTS (SELECT 1 FROM man) RETURNING id), "
    "kept AS (SELECT Date_time, id FROM prikaz WHERE $4 <> '' AND LN = $1 AND what = $2 AND prikaznom = "
    "$3 AND id NOT IN (SELECT id FROM target)) " VEDOMER_SERVER_COUNTS("(SELECT count(*) FROM target)")
    ", kept.Date_time, (SELECT count(*) FROM Files WHERE LN = $1 AND what = $2 AND prikaznom = $3) FROM "
    "(SELECT 1) AS one LEFT JOIN kept ON true ORDER BY kept.id";
// UPDATE_COMBAT_UNCHANGED with the check of the serviceman and a new
// personal number taken into his orders and documents (UPDATE_ORDERS_LN,
// UPDATE_FILES_LN); its markers as $n ($6 unused; every value a text, the
// numbers of the position and rank read as integers). Gives the servicemen
// found under the old number and those written.
inline constexpr char CHANGE_SERVICEMAN_AT_ONCE[] =
    "WITH man AS (SELECT LN FROM Combat WHERE LN = $9), written AS (UPDATE Combat SET VP = $1, Dol = "
    "$2, VZ = $3, FIO = $4, LN = $5, Dolz_nom = CAST($7 AS INTEGER), Zvan_nom = CAST($8 AS INTEGER), "
    "Data_comb = $10 WHERE LN = $9 AND (VP = $11 OR VP IS NULL AND $11 = '') AND COALESCE(Dol, '') = $12 AND COALESCE(VZ, '') = "
    "$13 AND COALESCE(FIO, '') = $14 AND COALESCE(Data_comb, '') = $15 RETURNING LN), orders AS (UPDATE "
    "prikaz SET LN = $5 WHERE $5 <> $9 AND LN = $9 AND EXISTS (SELECT 1 FROM written)), files AS "
    "(UPDATE Files SET LN = $5 WHERE $5 <> $9 AND LN = $9 AND EXISTS (SELECT 1 FROM written)) "
    "SELECT (SELECT count(*) FROM man), (SELECT count(*) FROM written)";
// The recount of one category (COUNT_VZS_*, COUNT_OTHER_* and UPDATE_COUNT_*)
// as one statement: penalties count while their flag reads as 1 (as
// RECOUNT_ALL counts them), the other categories all their orders. The
// serviceman's row is held first and the orders counted after, each step
// with what is committed by then: a count taken before the wait for another
// clerk's write of his orders would leave that write out, and might be
// written after a fresher count. Both steps are one block, sent at once (a
// block takes no parameters): %1 the code (a column name), %2 the LN's UTF-8
// bytes in hexadecimal digits, which read the same whatever the server's
// standard_conforming_strings, and whose NUL the server refuses. The text
// holds no backslash.
#define VEDOMER_SERVER_LN "convert_from(decode(''%2'', ''hex''), ''UTF8'')"
#define VEDOMER_SERVER_RECOUNT(inForce)                                                                      \
    "DO 'BEGIN PERFORM 1 FROM Combat WHERE LN = " VEDOMER_SERVER_LN " FOR NO KEY UPDATE; UPDATE Combat SET "  \
    "%1 = (SELECT CAST(count(*) AS TEXT) FROM prikaz WHERE LN = " VEDOMER_SERVER_LN " AND what = ''%1''"     \
    inForce ") WHERE LN = " VEDOMER_SERVER_LN "; END'"
inline constexpr char RECOUNT_PENALTIES_AT_ONCE[] =
    VEDOMER_SERVER_RECOUNT(" AND actived_prikaz ~ ''^[[:space:]]*[+]?0*1[[:space:]]*$''");
inline constexpr char RECOUNT_AT_ONCE[] = VEDOMER_SERVER_RECOUNT("");
#undef VEDOMER_SERVER_RECOUNT
#undef VEDOMER_SERVER_LN
#undef VEDOMER_SERVER_ONE_TARGET
#undef VEDOMER_SERVER_TARGET_LOADED
#undef VEDOMER_SERVER_COUNTS
#undef VEDOMER_SERVER_LEFTOVER
#undef VEDOMER_SERVER_MAN

} // namespace Sql

#endif // SQL_SERVER_H
