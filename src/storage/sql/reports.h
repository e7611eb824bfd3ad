#ifndef SQL_REPORTS_H
#define SQL_REPORTS_H

// The statement catalogue, the commander's report (counted over prikaz and
// Combat). Part of the one catalogue of storage/sql.h, which includes it (and
// only it should).

namespace Sql {

// ---- The commander's report ----------------------------------------------
// Dates are texts "dd.MM.yyyy". The report compares them as days yyyymmdd
// (whole numbers); a text that is not a real date of that form gives NULL
// (counted apart as without a date). SQLite checks the day by moving the date
// by nothing: a day past the month's end moves into the next month. The
// server has no conversion that fails softly, so it checks the form first and
// then that the day stays in its month, each step only after the one before.
#define VEDOMER_REPORT_ISO(t) "substr(" t ", 7, 4) || '-' || substr(" t ", 4, 2) || '-' || substr(" t ", 1, 2)"
#define VEDOMER_REPORT_KEY(t) "CAST(substr(" t ", 7, 4) || substr(" t ", 4, 2) || substr(" t ", 1, 2) AS INTEGER)"
#define VEDOMER_SQLITE_DAY(t)                                                                                     \
    "CASE WHEN " t " GLOB '[0-9][0-9].[0-9][0-9].[0-9][0-9][0-9][0-9]' AND substr(" t ", 7, 4) <> '0000' AND "  \
    "date(" VEDOMER_REPORT_ISO(t) ", '+0 days') = " VEDOMER_REPORT_ISO(t) " THEN " VEDOMER_REPORT_KEY(t) " END"
#define VEDOMER_PG_DAY(t)                                                                                         \
    "CASE WHEN " t " ~ '^[0-9]{2}\\.[0-9]{2}\\.[0-9]{4}$' AND substr(" t ", 7, 4) <> '0000' AND substr(" t         \
    ", 4, 2) BETWEEN '01' AND '12' AND substr(" t ", 1, 2) BETWEEN '01' AND '31' THEN CASE WHEN "                  \
    "extract(month FROM make_date(CAST(substr(" t ", 7, 4) AS INTEGER), CAST(substr(" t                            \
    ", 4, 2) AS INTEGER), 1) + (CAST(substr(" t ", 1, 2) AS INTEGER) - 1)) = CAST(substr(" t                      \
    ", 4, 2) AS INTEGER) THEN " VEDOMER_REPORT_KEY(t) " END END"
// Every order of the six categories with its day (d), its lifting's day (l)
// and whether it is in force (f: the flag is exactly 1, as the orders window
// paints it red), with the period's first and last day (a, b) beside it. The
// fence at the end (a limit that limits nothing) keeps the databases from
// copying the days' expressions into every sum that reads them.
#define VEDOMER_REPORT_DAYS(day, fence)                                                                           \
    "(SELECT LN, what, " day("Date_time") " AS d, " day("Data_snytie") " AS l, CASE WHEN actived_prikaz = '1' "  \
    "THEN 1 ELSE 0 END AS f FROM prikaz WHERE what IN ('vzs', 'blag', 'gr', 'ZOMO', 'gosnag', 'posh')" fence     \
    ") AS p, (SELECT CAST(? AS INTEGER) AS a, CAST(? AS INTEGER) AS b) AS span"
#define VEDOMER_REPORT_GIVEN(code) "SUM(CASE WHEN what = '" code "' AND d BETWEEN a AND b THEN 1 ELSE 0 END)"
// One row per serviceman (of one unit, or all with an empty unit): unit, LN,
// FIO, rank, then his penalties imposed in the period, lifted in it, in force
// at its end (imposed by then and not lifted by then), his thanks,
// certificates, badges, state awards and veteran records given in it, and
// his orders without a date (a lifted penalty whose lifting has no date
// among them: it is lifted, but when is not known). Bound: the period's
// first and last day (yyyymmdd), the unit twice.
#define VEDOMER_REPORT_SERVICEMEN(day, fence)                                                                     \
    "SELECT COALESCE(CAST(c.VP AS TEXT), ''), c.LN, c.FIO, c.VZ, COALESCE(o.imposed, 0), COALESCE(o.lifted, 0), "             \
    "COALESCE(o.inforce, 0), COALESCE(o.thanks, 0), COALESCE(o.certificates, 0), COALESCE(o.badges, 0), "       \
    "COALESCE(o.awards, 0), COALESCE(o.veterans, 0), COALESCE(o.undated, 0) FROM Combat AS c LEFT JOIN "         \
    "(SELECT LN, " VEDOMER_REPORT_GIVEN("vzs") " AS imposed, SUM(CASE WHEN what = 'vzs' AND f = 0 AND l "       \
    "BETWEEN a AND b THEN 1 ELSE 0 END) AS lifted, SUM(CASE WHEN what = 'vzs' AND d <= b AND (f = 1 OR l > b) " \
    "THEN 1 ELSE 0 END) AS inforce, " VEDOMER_REPORT_GIVEN("blag") " AS thanks, " VEDOMER_REPORT_GIVEN("gr")   \
    " AS certificates, " VEDOMER_REPORT_GIVEN("ZOMO") " AS badges, " VEDOMER_REPORT_GIVEN("gosnag")           \
    " AS awards, " VEDOMER_REPORT_GIVEN("posh") " AS veterans, SUM(CASE WHEN d IS NULL OR (what = 'vzs' AND "  \
    "f = 0 AND l IS NULL) THEN 1 ELSE 0 END) AS undated FROM " VEDOMER_REPORT_DAYS(day, fence)                \
    " GROUP BY LN) AS o ON o.LN = c.LN WHERE CAST(? AS TEXT) = '' OR COALESCE(CAST(c.VP AS TEXT), '') = ?"
inline constexpr Dialects SELECT_REPORT_SERVICEMEN{
    VEDOMER_REPORT_SERVICEMEN(VEDOMER_SQLITE_DAY, " LIMIT -1 OFFSET 0"),
    VEDOMER_REPORT_SERVICEMEN(VEDOMER_PG_DAY, " OFFSET 0")};
// The month-by-month course: per pair (month of the order's day, month of
// its lifting's day), each NULL when outside the period: penalties,
// incentives and all orders of the pair. Only pairs with a month in the
// period. Bound: the period's first and last day (yyyymmdd), the unit twice.
#define VEDOMER_REPORT_MONTHS(day, fence)                                                                         \
    "SELECT dm, lm, SUM(CASE WHEN what = 'vzs' THEN 1 ELSE 0 END), SUM(CASE WHEN what <> 'vzs' THEN 1 ELSE 0 " \
    "END), COUNT(*) FROM (SELECT what, CASE WHEN d BETWEEN a AND b THEN d / 100 END AS dm, CASE WHEN what = "   \
    "'vzs' AND f = 0 AND l BETWEEN a AND b THEN l / 100 END AS lm FROM " VEDOMER_REPORT_DAYS(day, fence)      \
    " WHERE LN IN (SELECT LN FROM Combat WHERE CAST(? AS TEXT) = '' OR COALESCE(CAST(VP AS TEXT), '') = ?)) AS m WHERE dm " \
    "IS NOT NULL OR lm IS NOT NULL GROUP BY dm, lm"
inline constexpr Dialects SELECT_REPORT_MONTHS{VEDOMER_REPORT_MONTHS(VEDOMER_SQLITE_DAY, " LIMIT -1 OFFSET 0"),
                                               VEDOMER_REPORT_MONTHS(VEDOMER_PG_DAY, " OFFSET 0")};
// The day (yyyymmdd) of the date text in the column %1, NULL when it is not
// a date: the same reading in statements of their own (the benchmark's floor).
inline constexpr Dialects REPORT_DAY{VEDOMER_SQLITE_DAY("%1"), VEDOMER_PG_DAY("%1")};
// The units of the register (servicemen without one as an empty unit).
inline constexpr char SELECT_REPORT_UNITS[] = "SELECT DISTINCT COALESCE(CAST(VP AS TEXT), '') FROM Combat";

} // namespace Sql

#undef VEDOMER_REPORT_ISO
#undef VEDOMER_REPORT_KEY
#undef VEDOMER_SQLITE_DAY
#undef VEDOMER_PG_DAY
#undef VEDOMER_REPORT_DAYS
#undef VEDOMER_REPORT_GIVEN
#undef VEDOMER_REPORT_SERVICEMEN
#undef VEDOMER_REPORT_MONTHS

#endif // SQL_REPORTS_H
