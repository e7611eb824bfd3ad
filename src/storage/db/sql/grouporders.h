#ifndef SQL_GROUPORDERS_H
#define SQL_GROUPORDERS_H

// The statement catalogue, the writes of one order for several servicemen
// at once: a group order with its documents, the lifting of several
// penalties by one order, the change of every row of one order. Part of the
// one catalogue of storage/sql.h, which includes it (and only it should).

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
// Everyone's personal number, read once for a check of many.
inline constexpr char SELECT_REGISTER_LNS[] = "SELECT DISTINCT LN FROM Combat";
// On a file, the counts of many servicemen in one pass over the orders: the
// in-force flags of every order of the category (bound: its code), and each
// count written (%1 the category's column; bound: the count, LN).
inline constexpr char SELECT_CATEGORY_FLAGS[] = "SELECT LN, actived_prikaz FROM prikaz WHERE what = ?";
inline constexpr char UPDATE_GROUP_COUNT[] = "UPDATE Combat SET %1 = ? WHERE LN = ?";
// One attachment of a document shared by the group. Bound: number, code,
// the stored copy's path, the document's name, LN.
inline constexpr char INSERT_GROUP_FILE[] =
    "INSERT INTO Files (prikaznom, what, Giper, name_file, LN) VALUES (?, ?, ?, ?, ?)";

// The penalties in force (the flag exactly 1, as the orders window paints
// them red) of the servicemen in the register, each with its identity, in
// the summary's order of the men and the order the penalties were added.
// Bound: the penalties' code.
inline constexpr auto SELECT_GROUP_PENALTIES =
    marked("SELECT p.{rowid}, p.LN, c.VP, c.FIO, p.prikaznom, p.Date_time, p.nameZO, "
           "COALESCE(p.Nomer_snytie, ''), COALESCE(p.Data_snytie, '') FROM prikaz AS p JOIN Combat AS c ON "
           "c.LN = p.LN WHERE p.what = ? AND p.actived_prikaz = '1' ORDER BY p.{rowid}");
// On a file: one penalty lifted as the orders window lifts it, while it is
// in force and holds the number and lifting fields the list showed. Bound:
// 0, lifting date, lifting number, identity, LN, code, number, the loaded
// lifting number and date.
inline constexpr char LIFT_GROUP_PENALTY[] =
    "UPDATE prikaz SET actived_prikaz = ?, Data_snytie = ?, Nomer_snytie = ? WHERE rowid = ? AND LN = ? AND "
    "what = ? AND prikaznom = ? AND actived_prikaz = '1' AND COALESCE(Nomer_snytie, '') = ? AND "
    "COALESCE(Data_snytie, '') = ?";

// The rows of one order (category, number and date) of the servicemen in
// the register, with the values a change compares. Bound: code, number,
// date.
inline constexpr auto SELECT_SAME_ORDER =
    marked("SELECT {rowid}, LN, COALESCE(nameZO, ''), COALESCE(Date_time, ''), COALESCE(kemvidan, ''), "
           "COALESCE(ish_SU, '') FROM prikaz WHERE what = ? AND prikaznom = ? AND COALESCE(Date_time, '') = ? "
           "AND LN IN (SELECT LN FROM Combat) ORDER BY {rowid}");
// On a file: one row of it changed. Bound: date, number, issuer, name,
// outgoing number, identity.
inline constexpr char UPDATE_GROUP_ORDER_ROW[] =
    "UPDATE prikaz SET Date_time = ?, prikaznom = ?, kemvidan = ?, nameZO = ?, ish_SU = ? WHERE rowid = ?";
// On a file, after a change of number: how many orders of the serviceman
// keep the old one. Bound: LN, code, number.
inline constexpr char COUNT_ORDERS_OF_NUMBER[] =
    "SELECT count(*) FROM prikaz WHERE LN = ? AND what = ? AND prikaznom = ?";
// The attachments follow the order to its new number (RENUMBER_FILES), or,
// while another order keeps the old one, are copied to it
// (COPY_FILES_TO_NUMBER). Bound: new number, LN, code, old number; the copy
// binds the new number once more last.
inline constexpr char MOVE_GROUP_FILES[] =
    "UPDATE Files SET prikaznom = ? WHERE LN = ? AND what = ? AND prikaznom = ?";
inline constexpr char COPY_GROUP_FILES[] =
    "INSERT INTO Files (prikaznom, what, Giper, name_file, LN) SELECT ?, what, Giper, name_file, LN FROM Files "
    "AS f WHERE LN = ? AND what = ? AND prikaznom = ? AND NOT EXISTS (SELECT 1 FROM Files AS taken WHERE "
    "taken.LN = f.LN AND taken.what = f.what AND taken.prikaznom = ? AND taken.name_file = f.name_file)";

// ---- the same on a server, in a few round trips whatever the count -------
// Each write is one statement sent with its values apart (Query::numbered):
// the many values travel as one array, a personal number's list as text[]
// (sent as such, so that the server holds it as a constant and looks each
// row up in a hash of it; a list cast from a text is searched from its
// start for every row, seconds over a large register), the rest of a row as
// JSON. The rows a write aims at by their identities are found one by one
// through the key (a LATERAL subquery), whatever the server's estimate of
// the table: a nested loop over the table's rows against the whole list took
// seconds where the statistics lagged behind the table. It checks the servicemen (held FOR SHARE) and the
// rows it aims at (FOR UPDATE), writes only when every check holds, and
// says what it found. Its last field tells whether the database has
// history_group(), which writes the group's own entry of the history (a
// database whose history an earlier version made lacks it until its owner
// opens it again).
#define VEDOMER_GROUP_HAS_ENTRY "to_regprocedure('history_group(text, text, text, text)') IS NOT NULL"
// The group order. $1 the personal numbers (text[], in the list's order),
// $2 code, $3 date, $4 number, $5 issuer, $6 name, $7 outgoing number, $8
// the documents attached to every row ([[path, name], …]), $9 the contents
// of the new copies ([[path, hexadecimal digits], …]). Gives the orders
// written, the copies stored, the first serviceman gone, the first who
// holds the number already, and VEDOMER_GROUP_HAS_ENTRY.
inline constexpr char GROUP_ADD_AT_ONCE[] =
    "WITH chosen AS (SELECT LN, n FROM unnest(CAST($1 AS text[])) WITH ORDINALITY AS x(LN, n)), "
    "man AS (SELECT LN FROM Combat WHERE LN = ANY(CAST($1 AS text[])) FOR SHARE), "
    "gone AS (SELECT LN, n FROM chosen WHERE LN NOT IN (SELECT LN FROM man)), "
    "holders AS (SELECT LN FROM prikaz WHERE what = $2 AND prikaznom = $4 AND LN = ANY(CAST($1 AS text[]))), "
    "held AS (SELECT LN, n FROM chosen WHERE LN IN (SELECT LN FROM holders)), "
    "fit AS (SELECT NOT EXISTS (SELECT 1 FROM gone) AND NOT EXISTS (SELECT 1 FROM held) AS yes), "
    "written AS (INSERT INTO prikaz (LN, what, Date_time, prikaznom, kemvidan, nameZO, actived_prikaz, ish_SU) "
    "SELECT LN, $2, $3, $4, $5, $6, '1', $7 FROM chosen WHERE (SELECT yes FROM fit) ORDER BY n RETURNING id), "
    "docs AS (SELECT d->>0 AS Giper, d->>1 AS name_file, k FROM jsonb_array_elements(CAST($8 AS jsonb)) "
    "WITH ORDINALITY AS x(d, k)), "
    "stored AS (INSERT INTO Kopii (Giper, Soderz) SELECT c->>0, decode(c->>1, 'hex') FROM "
    "jsonb_array_elements(CAST($9 AS jsonb)) AS c WHERE (SELECT yes FROM fit) ON CONFLICT (Giper) DO NOTHING "
    "RETURNING Giper), "
    "attached AS (INSERT INTO Files (prikaznom, what, Giper, name_file, LN) SELECT $4, $2, docs.Giper, "
    "docs.name_file, chosen.LN FROM chosen CROSS JOIN docs WHERE (SELECT yes FROM fit) ORDER BY chosen.n, "
    "docs.k RETURNING id) "
    "SELECT (SELECT count(*) FROM written), (SELECT count(*) FROM stored), (SELECT LN FROM gone ORDER BY n "
    "LIMIT 1), (SELECT LN FROM held ORDER BY n LIMIT 1), " VEDOMER_GROUP_HAS_ENTRY;
// The lifting of several penalties by one order. $1 the penalties
// ([[identity, LN, number, loaded lifting number, loaded lifting date], …]),
// $2 code, $3 0, $4 lifting date, $5 lifting number, $6 their personal
// numbers (text[]). Gives the penalties lifted, the first serviceman gone,
// the first penalty no longer in force as listed (its LN and number), and
// VEDOMER_GROUP_HAS_ENTRY.
inline constexpr char GROUP_LIFT_AT_ONCE[] =
    "WITH chosen AS (SELECT CAST(p->>0 AS bigint) AS id, p->>1 AS LN, p->>2 AS num, p->>3 AS lnum, p->>4 AS "
    "ldate, k FROM jsonb_array_elements(CAST($1 AS jsonb)) WITH ORDINALITY AS x(p, k)), "
    "man AS (SELECT LN FROM Combat WHERE LN = ANY(CAST($6 AS text[])) FOR SHARE), "
    "target AS (SELECT t.id FROM chosen CROSS JOIN LATERAL (SELECT prikaz.id FROM prikaz WHERE prikaz.id = "
    "chosen.id AND prikaz.LN = chosen.LN AND prikaz.prikaznom = chosen.num AND COALESCE(prikaz.Nomer_snytie, '') "
    "= chosen.lnum AND COALESCE(prikaz.Data_snytie, '') = chosen.ldate AND prikaz.what = $2 AND "
    "prikaz.actived_prikaz = '1' FOR UPDATE) AS t), "
    "gone AS (SELECT LN, k FROM chosen WHERE LN NOT IN (SELECT LN FROM man)), "
    "missed AS (SELECT LN, num, k FROM chosen WHERE id NOT IN (SELECT id FROM target)), "
    "written AS (UPDATE prikaz SET actived_prikaz = $3, Data_snytie = $4, Nomer_snytie = $5 WHERE id IN "
    "(SELECT id FROM target) AND NOT EXISTS (SELECT 1 FROM gone) AND NOT EXISTS (SELECT 1 FROM missed) "
    "RETURNING id) "
    "SELECT (SELECT count(*) FROM written), (SELECT LN FROM gone ORDER BY k LIMIT 1), (SELECT LN FROM missed "
    "ORDER BY k LIMIT 1), (SELECT num FROM missed ORDER BY k LIMIT 1), " VEDOMER_GROUP_HAS_ENTRY;
// The change of every row of one order. $1 the rows' identities as listed
// (bigint[]), $2 code, $3 old number, $4 old date, $5 date, $6 number, $7
// issuer, $8 name, $9 outgoing number. Written only while the order has
// exactly the listed rows and none of their servicemen holds the new number
// already; the documents follow each row to its new number, or are copied
// to it while another order of the serviceman keeps the old one. Gives the
// rows written, whether the rows were as listed, the first serviceman who
// holds the new number, and VEDOMER_GROUP_HAS_ENTRY.
inline constexpr char GROUP_CHANGE_AT_ONCE[] =
    "WITH chosen AS (SELECT unnest(CAST($1 AS bigint[])) AS id), "
    "target AS (SELECT id, LN FROM prikaz WHERE what = $2 AND prikaznom = $3 AND COALESCE(Date_time, '') = $4 "
    "AND LN IN (SELECT LN FROM Combat) FOR UPDATE), "
    "man AS (SELECT LN FROM Combat WHERE LN IN (SELECT LN FROM target) FOR SHARE), "
    "same AS (SELECT (SELECT count(*) FROM target) = (SELECT count(*) FROM chosen) AND NOT EXISTS (SELECT 1 "
    "FROM chosen WHERE id NOT IN (SELECT id FROM target)) AS yes), "
    "taken AS (SELECT LN FROM prikaz WHERE $6 <> $3 AND what = $2 AND prikaznom = $6 AND LN IN (SELECT LN FROM "
    "target)), "
    "written AS (UPDATE prikaz SET Date_time = $5, prikaznom = $6, kemvidan = $7, nameZO = $8, ish_SU = $9 "
    "WHERE id IN (SELECT id FROM chosen) AND id IN (SELECT id FROM target) AND (SELECT yes FROM same) AND NOT "
    "EXISTS (SELECT 1 FROM taken) AND (SELECT count(*) FROM man) > 0 RETURNING id, LN), "
    "kept AS (SELECT LN FROM prikaz WHERE what = $2 AND prikaznom = $3 AND LN IN (SELECT LN FROM target) AND "
    "id NOT IN (SELECT id FROM target)), "
    "moved AS (UPDATE Files SET prikaznom = $6 WHERE $6 <> $3 AND what = $2 AND prikaznom = $3 AND LN IN "
    "(SELECT LN FROM written) AND LN NOT IN (SELECT LN FROM kept) RETURNING id), "
    "copied AS (INSERT INTO Files (prikaznom, what, Giper, name_file, LN) SELECT $6, what, Giper, name_file, "
    "LN FROM Files WHERE $6 <> $3 AND what = $2 AND prikaznom = $3 AND LN IN (SELECT LN FROM written) AND "
    "LN IN (SELECT LN FROM kept) RETURNING id) "
    "SELECT (SELECT count(*) FROM written), (SELECT yes FROM same), (SELECT LN FROM taken LIMIT 1), "
    VEDOMER_GROUP_HAS_ENTRY;
#undef VEDOMER_GROUP_HAS_ENTRY
// The counts of one category (%1, a column name) of the servicemen $1
// (text[]) written anew where they differ, counted as RECOUNT_AT_ONCE counts
// one (%2 the condition on penalties, empty for the other categories) in
// one pass over the orders, with the group's entry of the history (%3:
// GROUP_ENTRY, or NULL without it).
inline constexpr char GROUP_RECOUNT_AT_ONCE[] =
    "WITH counts AS (SELECT LN, CAST(count(*) AS TEXT) AS n FROM prikaz WHERE what = '%1'%2 AND LN = "
    "ANY(CAST($1 AS text[])) GROUP BY LN), "
    "fresh AS (SELECT chosen.LN, COALESCE(counts.n, '0') AS n FROM (SELECT DISTINCT unnest(CAST($1 AS text[])) "
    "AS LN) AS chosen LEFT JOIN counts ON counts.LN = chosen.LN), "
    "counted AS (UPDATE Combat SET %1 = fresh.n FROM fresh WHERE "
    "Combat.LN = fresh.LN AND Combat.%1 IS DISTINCT FROM fresh.n RETURNING 1) "
    "SELECT (SELECT count(*) FROM counted), %3";
inline constexpr char GROUP_PENALTIES_IN_FORCE[] =
    " AND actived_prikaz ~ '^[[:space:]]*[+]?0*1[[:space:]]*$'";
// The group's entry: $2 action, $3 code, $4 number, $5 what was done.
inline constexpr char GROUP_ENTRY[] = "history_group($2, $3, $4, $5)";
// The group's entry alone (a change, which counts nothing anew). Bound as
// GROUP_ENTRY, from $1.
inline constexpr char INSERT_HISTORY_GROUP[] = "SELECT history_group($1, $2, $3, $4)";

} // namespace Sql

#endif // SQL_GROUPORDERS_H
