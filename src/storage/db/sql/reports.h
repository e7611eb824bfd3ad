#ifndef SQL_REPORTS_H
#define SQL_REPORTS_H

// The statement catalogue, the commander's report (counted over prikaz and
// Combat). Part of the one catalogue of storage/sql.h, which includes it (and
// only it should).

namespace Sql {

// ---- The commander's report ----------------------------------------------
// Dates are texts "dd.MM.yyyy". The report compares them as days yyyymmdd
// (whole numbers); a text that is not a real date of that form gives NULL
// (counted apart as without a date): the month and the day within the
// month's length (29 February in leap years only), no year 0000.
// On a file the program's connection reads the day with its own function
// report_day (storage/reports/reportday.cpp), a check in a few comparisons
// of bytes. On the server the check is made of text comparisons: the form,
// then the month and the day; the form is checked first (a CASE of its own:
// the server may evaluate the conditions of one AND in any order, and a year
// that is no number stops its CAST).
#define VEDOMER_REPORT_Y(t) "substr(" t ", 7, 4)"
#define VEDOMER_REPORT_M(t) "substr(" t ", 4, 2)"
#define VEDOMER_REPORT_D(t) "substr(" t ", 1, 2)"
#define VEDOMER_REPORT_CHECKED(t, form, year)                                                                      \
    "CASE WHEN " form " THEN CASE WHEN " VEDOMER_REPORT_Y(t) " <> '0000' AND " VEDOMER_REPORT_D(t) " BETWEEN '01' AND CASE " \
    VEDOMER_REPORT_M(t) " WHEN '02' THEN CASE WHEN " year " % 4 = 0 AND (" year " % 100 <> 0 OR " year            \
    " % 400 = 0) THEN '29' ELSE '28' END WHEN '04' THEN '30' WHEN '06' THEN '30' WHEN '09' THEN '30' WHEN '11' "  \
    "THEN '30' WHEN '01' THEN '31' WHEN '03' THEN '31' WHEN '05' THEN '31' WHEN '07' THEN '31' WHEN '08' THEN "   \
    "'31' WHEN '10' THEN '31' WHEN '12' THEN '31' ELSE '' END THEN CAST(" VEDOMER_REPORT_Y(t) " || "              \
    VEDOMER_REPORT_M(t) " || " VEDOMER_REPORT_D(t) " AS INTEGER) END END"
#define VEDOMER_SQLITE_DAY(t) "report_day(" t ")"
#define VEDOMER_PG_DAY(t)                                                                                         \
    VEDOMER_REPORT_CHECKED(t, t " ~ '^[0-9]{2}\\.[0-9]{2}\\.[0-9]{4}$'", "CAST(" VEDOMER_REPORT_Y(t) " AS INTEGER)")
#define VEDOMER_REPORT_GIVEN(code) "SUM(CASE WHEN what = '" code "' AND d BETWEEN a AND b THEN 1 ELSE 0 END)"
// The whole report in one statement, so that the days are read once. Bound:
// the period's first and last day (yyyymmdd), the unit three times (empty:
// all; the unit is not looked up then).
//   span    the period's first and last day (a, b);
//   chosen  the servicemen of the unit;
//   p       their orders (of servicemen in the register) of the six
//           categories, those that the report can count:
//           the day (d), the lifting's day (l), in force (f: the flag is
//           exactly 1, as the orders window paints it red). The limit that
//           limits nothing keeps the databases from copying the days'
//           expressions into every condition that reads them.
// Rows of part 0, one per serviceman: unit, LN, FIO, rank, his penalties
// imposed in the period, lifted in it, in force at its end (imposed by then
// and not lifted by then), his thanks, certificates, badges, state awards and
// veteran records given in it, his orders without a date (a lifted penalty
// whose lifting has no date among them: it is lifted, but when is not known).
// Rows of part 1, the months: per pair (month of the order's day, month of
// its lifting's day), each NULL when outside the period, the penalties, the
// incentives and all orders of the pair.
#define VEDOMER_REPORT(day, fence)                                                                                \
    "WITH span AS (SELECT CAST(? AS INTEGER) AS a, CAST(? AS INTEGER) AS b), chosen AS (SELECT LN FROM Combat "   \
    "WHERE COALESCE(CAST(VP AS TEXT), '') = ?), p AS MATERIALIZED (SELECT LN, what, d, "  \
    "l, f FROM (SELECT LN, what, " day("Date_time") " AS d, " day("Data_snytie") " AS l, CASE WHEN "             \
    "actived_prikaz = '1' THEN 1 ELSE 0 END AS f FROM prikaz WHERE what IN ('vzs', 'blag', 'gr', 'ZOMO', "       \
    "'gosnag', 'posh') AND (CAST(? AS TEXT) = '' OR LN IN (SELECT LN FROM chosen))" fence ") AS x, span "     \
    "WHERE (d BETWEEN a AND b OR d IS NULL OR (what = 'vzs' AND (d <= b AND (f = 1 OR l > b) OR f = 0 AND (l "  \
    "IS NULL OR l BETWEEN a AND b)))) AND LN IN (SELECT LN FROM Combat)) "                                        \
    "SELECT 0, COALESCE(CAST(c.VP AS TEXT), ''), c.LN, c.FIO, c.VZ, COALESCE(o.imposed, 0), "                  \
    "COALESCE(o.lifted, 0), COALESCE(o.inforce, 0), COALESCE(o.thanks, 0), COALESCE(o.certificates, 0), "       \
    "COALESCE(o.badges, 0), COALESCE(o.awards, 0), COALESCE(o.veterans, 0), COALESCE(o.undated, 0) FROM "       \
    "Combat AS c LEFT JOIN (SELECT LN, " VEDOMER_REPORT_GIVEN("vzs") " AS imposed, SUM(CASE WHEN what = 'vzs' "  \
    "AND f = 0 AND l BETWEEN a AND b THEN 1 ELSE 0 END) AS lifted, SUM(CASE WHEN what = 'vzs' AND d <= b AND "  \
    "(f = 1 OR l > b) THEN 1 ELSE 0 END) AS inforce, " VEDOMER_REPORT_GIVEN("blag") " AS thanks, "              \
    VEDOMER_REPORT_GIVEN("gr") " AS certificates, " VEDOMER_REPORT_GIVEN("ZOMO") " AS badges, "                 \
    VEDOMER_REPORT_GIVEN("gosnag") " AS awards, " VEDOMER_REPORT_GIVEN("posh") " AS veterans, SUM(CASE WHEN d " \
    "IS NULL OR (what = 'vzs' AND f = 0 AND l IS NULL) THEN 1 ELSE 0 END) AS undated FROM p, span GROUP BY LN) " \
    "AS o ON o.LN = c.LN WHERE CAST(? AS TEXT) = '' OR c.LN IN (SELECT LN FROM chosen) UNION ALL SELECT 1, NULL, NULL, NULL, NULL, dm, "  \
    "lm, SUM(CASE WHEN what = 'vzs' THEN 1 ELSE 0 END), SUM(CASE WHEN what <> 'vzs' THEN 1 ELSE 0 END), "       \
    "COUNT(*), 0, 0, 0, 0 FROM (SELECT what, CASE WHEN d BETWEEN a AND b THEN d / 100 END AS dm, CASE WHEN what " \
    "= 'vzs' AND f = 0 AND l BETWEEN a AND b THEN l / 100 END AS lm FROM p, span) AS m WHERE dm IS NOT NULL OR "  \
    "lm IS NOT NULL GROUP BY dm, lm"
inline constexpr Dialects SELECT_REPORT{VEDOMER_REPORT(VEDOMER_SQLITE_DAY, " LIMIT -1 OFFSET 0"),
                                        VEDOMER_REPORT(VEDOMER_PG_DAY, " OFFSET 0")};
// The day (yyyymmdd) of the date text in the column %1, NULL when it is not
// a date: the same reading in statements of their own (the benchmark's floor).
inline constexpr Dialects REPORT_DAY{VEDOMER_SQLITE_DAY("%1"), VEDOMER_PG_DAY("%1")};
// The units of the register (servicemen without one as an empty unit).
inline constexpr char SELECT_REPORT_UNITS[] = "SELECT DISTINCT COALESCE(CAST(VP AS TEXT), '') FROM Combat";

} // namespace Sql

#undef VEDOMER_REPORT_Y
#undef VEDOMER_REPORT_M
#undef VEDOMER_REPORT_D
#undef VEDOMER_REPORT_CHECKED
#undef VEDOMER_SQLITE_DAY
#undef VEDOMER_PG_DAY
#undef VEDOMER_REPORT_GIVEN
#undef VEDOMER_REPORT

#endif // SQL_REPORTS_H
