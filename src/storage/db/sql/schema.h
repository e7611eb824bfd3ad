#ifndef SQL_SCHEMA_H
#define SQL_SCHEMA_H

// The statement catalogue, the reference lists, the schema and maintenance. Part of the one catalogue of
// storage/sql.h, which includes it (and only it should).

namespace Sql {

// ---- Ranks and Emploeses: the reference lists -----------------------------
// The reference tables as the reference tables editor's model names them:
// PostgreSQL keeps unquoted names in lower case, and its model quotes them.
// The model gives the rows in the order they were added.
inline constexpr Dialects RANKS_TABLE{"Ranks", "ranks"};
inline constexpr Dialects POSITIONS_TABLE{"Emploeses", "emploeses"};
inline constexpr Dialects REFERENCE_ORDER{"", "ORDER BY id"};
inline constexpr char SELECT_POSITIONS[] = "SELECT * FROM Emploeses  ORDER BY Massa_dolzn ASC;";
inline constexpr char SELECT_RANKS[] = "SELECT * FROM Ranks ORDER BY Rank_massa ASC ;";

// ---- Schema and maintenance -----------------------------------------------
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
// SQLite only: every column of every table, "table.column" in lower case, as
// the program's connection finds them when it opens.
inline constexpr char SELECT_TABLE_COLUMNS[] =
    "SELECT lower(m.name || '.' || p.name) FROM sqlite_master AS m, pragma_table_info(m.name) AS p "
    "WHERE m.type = 'table'";
// A cheap read that fails at once on a file that is not a database: the
// number of tables.
inline constexpr Dialects PROBE{"SELECT count(*) FROM sqlite_master",
                                "SELECT count(*) FROM pg_catalog.pg_tables WHERE schemaname = current_schema()"};

// Server only: the user of the connection, and whether he may add, change
// and delete rows in every table of the register that is there (a viewer may
// only read). One look at connection time decides whether the program works
// read-only.
inline constexpr char MAY_WRITE[] =
    "SELECT current_user, COALESCE(bool_and(has_table_privilege(to_regclass(t), p)), true) FROM "
    "unnest(ARRAY['combat', 'prikaz', 'files', 'ranks', 'emploeses', 'kopii']) AS t, "
    "unnest(ARRAY['INSERT', 'UPDATE', 'DELETE']) AS p";
// Server only: what the program asks when it connects, in one round trip:
// the number of tables (as PROBE), the user and whether he may write (as
// MAY_WRITE), and whether the history of changes is there (NULL when not).
inline constexpr char AT_CONNECTION[] =
    "SELECT (SELECT count(*) FROM pg_catalog.pg_tables WHERE schemaname = current_schema()), current_user, "
    "(SELECT COALESCE(bool_and(has_table_privilege(to_regclass(t), p)), true) FROM "
    "unnest(ARRAY['combat', 'prikaz', 'files', 'ranks', 'emploeses', 'kopii']) AS t, "
    "unnest(ARRAY['INSERT', 'UPDATE', 'DELETE']) AS p), to_regclass('history')::text, "
    "(SELECT string_agg(lower(table_name) || '.' || lower(column_name), chr(1)) FROM "
    "information_schema.columns WHERE table_schema = current_schema())";
// Server only: whether the user may make tables in the database's schema.
inline constexpr char MAY_CREATE_TABLES[] = "SELECT current_user, has_schema_privilege(current_schema(), 'CREATE')";

// Backup and restore, on connections of their own. %1 the backup's path.
inline constexpr char BACKUP_INTO[] = "VACUUM INTO '%1'";
// Answers "ok" when the file's structure is sound.
inline constexpr char QUICK_CHECK[] = "PRAGMA quick_check";
// A cheap look at a copy: the number of the register's tables among those
// named (bound: the names), and the length the file must have by its pages.
inline constexpr char COPY_LOOKS_WHOLE[] =
    "SELECT (SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name COLLATE NOCASE IN (?, ?)), "
    "(SELECT page_count * page_size FROM pragma_page_count(), pragma_page_size())";

// Copying a whole register between an SQLite file and a server. %1 table,
// %2 the columns separated by commas, %3 the rows "(…), (…)". The rows are read
// in the order they were added.
inline constexpr auto SELECT_ALL_ROWS = marked("SELECT %2 FROM %1 ORDER BY {rowid}");
inline constexpr char INSERT_ROWS[] = "INSERT INTO %1 (%2) VALUES %3";
inline constexpr char COUNT_ROWS[] = "SELECT count(*) FROM %1";
inline constexpr char DELETE_ROWS[] = "DELETE FROM %1";
// Server only: some of a table's rows deleted, at most %2: a large table is
// emptied by several such statements, each short enough for the watchdog
// to tell a server at work from one that stopped answering (each deleted
// row writes its entry of the history too).
inline constexpr char DELETE_SOME_ROWS[] = "DELETE FROM %1 WHERE ctid = ANY (ARRAY(SELECT ctid FROM %1 LIMIT %2))";
// The rows of several tables in one statement: %1 the parts, each
// COUNT_ROWS_PART of one table, joined by commas.
inline constexpr char COUNT_ROWS_OF[] = "SELECT %1";
inline constexpr char COUNT_ROWS_PART[] = "(SELECT count(*) FROM %1)";
// Server only: every column of every table of the schema (table in lower
// case, column), in one round trip where TABLE_INFO takes one per table.
inline constexpr char ALL_COLUMNS[] =
    "SELECT lower(table_name), column_name FROM information_schema.columns WHERE table_schema = "
    "current_schema() ORDER BY table_name, ordinal_position";
// Server only: a backup reads one consistent picture of the register.
inline constexpr char BEGIN_SNAPSHOT[] = "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";
// Server only: while a register is put in place, other clerks' changes wait.
inline constexpr char LOCK_REGISTER[] = "LOCK TABLE Combat, prikaz, Files, Ranks, Emploeses, Kopii IN EXCLUSIVE MODE";
// Server only: a step of a transaction that may be refused without spoiling
// the rest of it.
inline constexpr char SAVEPOINT_STEP[] = "SAVEPOINT step";
inline constexpr char RELEASE_STEP[] = "RELEASE SAVEPOINT step";
inline constexpr char ROLLBACK_TO_STEP[] = "ROLLBACK TO SAVEPOINT step";
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
// After a COMMIT of a restore that failed: 1 when the live database holds the
// restored history whole, its last entry the restore's own (the commit took
// effect before the disk failed), else 0.
inline constexpr char RESTORE_LANDED[] =
    "SELECT (SELECT count(*) FROM main.history) = (SELECT count(*) FROM restored.history) AND EXISTS (SELECT 1 "
    "FROM main.history m JOIN restored.history r ON m.id = r.id AND m.at = r.at AND m.action = r.action AND "
    "m.new_value IS r.new_value WHERE r.id = (SELECT max(id) FROM restored.history))";
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
// The restore's temporary copy of the chosen file keeps the program's own
// tables only. What a statement made in it (table, index, view, trigger),
// tables last; what is not the program's goes by DROP_COPY_OBJECT (%1 TABLE,
// INDEX, VIEW or TRIGGER, %2 the quoted name).
inline constexpr char SELECT_COPY_OBJECTS[] =
    "SELECT type, name FROM main.sqlite_master WHERE sql IS NOT NULL AND name NOT LIKE 'sqlite\\_%' ESCAPE "
    "'\\' ORDER BY type = 'table', type = 'index'";
inline constexpr char DROP_COPY_OBJECT[] = "DROP %1 IF EXISTS main.%2";
// %1 the quoted table name.
inline constexpr char COPY_RESTORED_ROWS[] = "INSERT INTO main.%1 SELECT * FROM restored.%1";

} // namespace Sql

#endif // SQL_SCHEMA_H
