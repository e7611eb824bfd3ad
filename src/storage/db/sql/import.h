#ifndef SQL_IMPORT_H
#define SQL_IMPORT_H

// The statement catalogue, the import of a roster and its orders from a
// spreadsheet. Part of the one catalogue of storage/sql.h, which includes it
// (and only it should). Every value is bound.

namespace Sql {

// ---- Import ---------------------------------------------------------------
// The personal numbers the register holds, for the check of the rows.
inline constexpr char IMPORT_REGISTER_LNS[] = "SELECT LN FROM Combat";
// The register's servicemen with the values an import may update, so that a
// row the same as the stored one is not written again.
inline constexpr char IMPORT_REGISTER_SERVICEMEN[] =
    "SELECT LN, VP, Dol, VZ, FIO, Data_comb, Dolz_nom, Zvan_nom FROM Combat";
// The orders the register holds (personal number, code, order number), so
// that an import run twice does not add them twice.
inline constexpr char IMPORT_REGISTER_ORDERS[] = "SELECT LN, what, prikaznom FROM prikaz";
// The largest weight of a reference list, the new entries go after it.
inline constexpr char IMPORT_MAX_RANK_WEIGHT[] = "SELECT COALESCE(MAX(Rank_massa), 0) FROM Ranks";
inline constexpr char IMPORT_MAX_POSITION_WEIGHT[] = "SELECT COALESCE(MAX(Massa_dolzn), 0) FROM Emploeses";
// A new entry of a reference list. Bound: name, weight.
inline constexpr char IMPORT_INSERT_RANK[] = "INSERT INTO Ranks (Rank, Rank_massa) VALUES (?, ?)";
inline constexpr char IMPORT_INSERT_POSITION[] = "INSERT INTO Emploeses (Dolzn, Massa_dolzn) VALUES (?, ?)";
// New servicemen, several rows a statement on a file: %1
// IMPORT_SERVICEMAN_ROW repeated, joined by commas. Bound per row: VP, Dol,
// VZ, LN, FIO, Dolz_nom, Zvan_nom, Data_comb; the six counts start at 0 (the
// recount that follows settles them).
inline constexpr char IMPORT_INSERT_SERVICEMEN[] =
    "INSERT INTO Combat (VP, Dol, VZ, LN, FIO, Dolz_nom, Zvan_nom, Data_comb, vzs, blag, gr, ZOMO, gosnag, "
    "posh) VALUES %1";
inline constexpr char IMPORT_SERVICEMAN_ROW[] = "(?, ?, ?, ?, ?, ?, ?, ?, '0', '0', '0', '0', '0', '0')";
// A serviceman already in the register, updated from the file: a NULL keeps
// the stored value (the file has no such column, or an empty cell). Bound:
// VP, Dol, VZ, FIO, Dolz_nom, Zvan_nom, Data_comb, LN.
inline constexpr char IMPORT_UPDATE_SERVICEMAN[] =
    "UPDATE Combat SET VP = COALESCE(?, VP), Dol = COALESCE(?, Dol), VZ = COALESCE(?, VZ), "
    "FIO = COALESCE(?, FIO), Dolz_nom = COALESCE(?, Dolz_nom), Zvan_nom = COALESCE(?, Zvan_nom), "
    "Data_comb = COALESCE(?, Data_comb) WHERE LN = ?";
// New orders, several rows a statement: %1 IMPORT_ORDER_ROW repeated, joined
// by commas. Bound per row: LN, what, Date_time, prikaznom, kemvidan,
// nameZO, actived_prikaz, ish_SU, Nomer_snytie, Data_snytie.
inline constexpr char IMPORT_INSERT_ORDERS[] =
    "INSERT INTO prikaz (LN, what, Date_time, prikaznom, kemvidan, nameZO, actived_prikaz, ish_SU, "
    "Nomer_snytie, Data_snytie) VALUES %1";
inline constexpr char IMPORT_ORDER_ROW[] = "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
// Server only: the same rows by COPY, thousands a statement (its rows travel
// as one stream, and the history's trigger writes the entries of all of
// them at once). The rows: the columns in the order named; a new
// serviceman's counts are those of the import's own orders, so that the
// recount that follows (and the history's trigger on each row it changes)
// passes him over unless the register holds more.
inline constexpr char IMPORT_COPY_SERVICEMEN[] =
    "COPY Combat (VP, Dol, VZ, LN, FIO, Dolz_nom, Zvan_nom, Data_comb, vzs, blag, gr, ZOMO, gosnag, posh) "
    "FROM STDIN";
inline constexpr char IMPORT_COPY_ORDERS[] =
    "COPY prikaz (LN, what, Date_time, prikaznom, kemvidan, nameZO, actived_prikaz, ish_SU, Nomer_snytie, "
    "Data_snytie) FROM STDIN";
// On a file: where the rows an import adds begin (the next row's identity).
inline constexpr char IMPORT_NEXT_SERVICEMAN_ROW[] = "SELECT COALESCE(MAX(rowid), 0) + 1 FROM Combat";
inline constexpr char IMPORT_NEXT_ORDER_ROW[] = "SELECT COALESCE(MAX(rowid), 0) + 1 FROM prikaz";
// On a file: the history of the rows an import added, written from the rows
// themselves in one statement. Bound: at, who, workstation, the first row.
inline constexpr char IMPORT_HISTORY_SERVICEMEN[] =
    "INSERT INTO history (at, who, workstation, action, LN, FIO) SELECT ?, ?, ?, 'serviceman_added', LN, FIO "
    "FROM Combat WHERE rowid >= ? ORDER BY rowid";
inline constexpr char IMPORT_HISTORY_ORDERS[] =
    "INSERT INTO history (at, who, workstation, action, LN, FIO, what, prikaznom) SELECT ?, ?, ?, "
    "'order_added', p.LN, c.FIO, p.what, p.prikaznom FROM prikaz AS p LEFT JOIN Combat AS c ON c.LN = p.LN "
    "WHERE p.rowid >= ? ORDER BY p.rowid";

} // namespace Sql

#endif // SQL_IMPORT_H
