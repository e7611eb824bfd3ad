#ifndef SQL_HISTORY_H
#define SQL_HISTORY_H

// The statement catalogue, the history of changes. Part of the one catalogue of
// storage/sql.h, which includes it (and only it should).

namespace Sql {

// The history of changes: one row per change, written beside the change
// (by the program in the same transaction on a file, by triggers on a
// server). Not one of the tables the descriptors declare: made by the
// program where it is missing, and never dropped by the verification.
inline constexpr Dialects CREATE_HISTORY{
    "CREATE TABLE IF NOT EXISTS history (id INTEGER PRIMARY KEY, at TEXT NOT NULL, who TEXT, workstation TEXT, "
    "action TEXT NOT NULL, LN TEXT, FIO TEXT, what TEXT, prikaznom TEXT, field TEXT, old_value TEXT, "
    "new_value TEXT)",
    "CREATE TABLE IF NOT EXISTS history (id BIGSERIAL PRIMARY KEY, at TEXT NOT NULL, who TEXT, workstation TEXT, "
    "action TEXT NOT NULL, LN TEXT, FIO TEXT, what TEXT, prikaznom TEXT, field TEXT, old_value TEXT, "
    "new_value TEXT)"};
// SQLite only: what "history" is in a file ("table", "view"; no row when it
// is not there).
inline constexpr char HISTORY_KIND[] = "SELECT type FROM sqlite_master WHERE name = 'history' COLLATE NOCASE";
// One serviceman's history, newest first, is read by his personal number.
inline constexpr char CREATE_HISTORY_LN_INDEX[] = "CREATE INDEX IF NOT EXISTS history_ln ON history (LN, id)";
// Bound: at, who, workstation, action, LN, FIO, what, prikaznom, field,
// old_value, new_value.
inline constexpr char INSERT_HISTORY[] =
    "INSERT INTO history (at, who, workstation, action, LN, FIO, what, prikaznom, field, old_value, new_value) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
// The same with the serviceman's name read from Combat by his personal
// number, in the one statement. Bound: at, who, workstation, action, LN, the
// LN again (for the name), what, prikaznom, field, old_value, new_value.
inline constexpr char INSERT_HISTORY_NAMED[] =
    "INSERT INTO history (at, who, workstation, action, LN, FIO, what, prikaznom, field, old_value, new_value) "
    "SELECT ?, ?, ?, ?, ?, (SELECT FIO FROM Combat WHERE LN = ? LIMIT 1), ?, ?, ?, ?, ?";
// The same for many entries at once (an import), several rows a statement:
// %1 INSERT_HISTORY_NAMED_ROW repeated, joined by commas; bound per row as
// INSERT_HISTORY_NAMED.
inline constexpr char INSERT_HISTORY_NAMED_ROWS[] =
    "INSERT INTO history (at, who, workstation, action, LN, FIO, what, prikaznom, field, old_value, new_value) "
    "VALUES %1";
inline constexpr char INSERT_HISTORY_NAMED_ROW[] =
    "(?, ?, ?, ?, ?, (SELECT FIO FROM Combat WHERE LN = ? LIMIT 1), ?, ?, ?, ?, ?)";
// Whether the history table is there (SQLite: a row when it is; server: its
// name or NULL).
inline constexpr Dialects HISTORY_EXISTS{"SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'history'",
                                         "SELECT to_regclass('history')::text"};
// Server only: whether this connection's role may write the history itself
// (its owner): only then a restore puts the copy's history in place.
inline constexpr char HISTORY_WRITABLE[] =
    "SELECT has_table_privilege('history', 'DELETE') AND has_table_privilege('history', 'INSERT')";
// Server only: whether the history's triggers write nothing now: a restore
// by the database's owner or a member of vedomer_admins under way in this
// transaction (RESTORING), told by the session's role, which the owner's
// rights the triggers run with leave as it is. It runs with its caller's
// rights and search path (the triggers' own), and names only the catalogue's
// objects: called for every row, it saves the setting of a path of its own.
inline constexpr char CREATE_HISTORY_SILENCED_FUNCTION[] = R"SQL(CREATE OR REPLACE FUNCTION history_silenced()
RETURNS boolean LANGUAGE plpgsql STABLE AS $body$
BEGIN
    IF pg_catalog.current_setting('vedomer.restoring', true) IS DISTINCT FROM 'on' THEN
        RETURN false;
    END IF;
    IF pg_catalog.pg_has_role(session_user, (SELECT datdba FROM pg_catalog.pg_database
                                             WHERE datname = pg_catalog.current_database()), 'MEMBER') THEN
        RETURN true;
    END IF;
    RETURN pg_catalog.to_regrole('vedomer_admins') IS NOT NULL
           AND pg_catalog.pg_has_role(session_user, 'vedomer_admins', 'MEMBER');
END
$body$)SQL";
// Server only: the history written by the database itself. One trigger
// function for the five tables: one row per added or deleted row (a deleted
// order two, its date and its name, so that the entry still tells which order
// it was), one row per changed column of a changed row (the six counts of
// Combat follow the orders and are left out: a change of them alone, as a
// recount of many servicemen writes, is passed over at once). It runs with its owner's
// rights, so that clerks, who may not write the history, leave their entries
// all the same; the role and the workstation (the connection's
// application_name) are the session's.
//
// Every function that runs with its owner's rights names the session's
// temporary schema last in its search path: searched first otherwise, it
// would let a clerk's temporary table "history" take the entries in place of
// the register's.
//
// A restore by the owner or a member of vedomer_admins (RESTORING) replaces
// every row in one transaction and writes one event instead of an entry per
// row; the setting counts for no one else, so a clerk who sets it still
// leaves every entry. history_silenced() tells the triggers which it is.
inline constexpr char CREATE_HISTORY_FUNCTION[] = R"SQL(CREATE OR REPLACE FUNCTION history_record() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $body$
DECLARE
    t text := lower(TG_TABLE_NAME);
    o jsonb;
    n jsonb;
    r jsonb;
    k text;
    v_action text;
    v_ln text;
    v_fio text;
    v_what text;
    v_number text;
    v_old text;
    v_new text;
    v_at text := to_char(localtimestamp, 'YYYY-MM-DD HH24:MI:SS');
    v_ws text := current_setting('application_name', true);
    names jsonb := '{"vp":"VP","dol":"Dol","vz":"VZ","fio":"FIO","data_comb":"Data_comb","ln":"LN",
        "dolz_nom":"Dolz_nom","zvan_nom":"Zvan_nom","what":"what","date_time":"Date_time",
        "prikaznom":"prikaznom","kemvidan":"kemvidan","namezo":"nameZO","actived_prikaz":"actived_prikaz",
        "ish_su":"ish_SU","nomer_snytie":"Nomer_snytie","data_snytie":"Data_snytie","giper":"Giper",
        "name_file":"name_file","rank":"Rank","rank_massa":"Rank_massa","dolzn":"Dolzn",
        "massa_dolzn":"Massa_dolzn","ranks":"Ranks","emploeses":"Emploeses"}';
BEGIN
    IF history_silenced() THEN
        RETURN NULL;
    END IF;
    IF TG_OP <> 'INSERT' THEN o := to_jsonb(OLD); END IF;
    IF TG_OP <> 'DELETE' THEN n := to_jsonb(NEW); END IF;
    -- A change of none of the columns that are written (the recount of an
    -- import or a start changes only the counts of many rows) writes
    -- nothing, and is told at once.
    IF TG_OP = 'UPDATE' AND (o - CASE WHEN t = 'combat' THEN '{id,vzs,blag,gr,zomo,gosnag,posh}'::text[]
                                       ELSE '{id}'::text[] END)
                          = (n - CASE WHEN t = 'combat' THEN '{id,vzs,blag,gr,zomo,gosnag,posh}'::text[]
                                       ELSE '{id}'::text[] END) THEN
        RETURN NULL;
    END IF;
    r := coalesce(n, o);
    IF t = 'combat' THEN
        v_action := CASE TG_OP WHEN 'INSERT' THEN 'serviceman_added' WHEN 'UPDATE' THEN 'serviceman_changed'
                    ELSE 'serviceman_deleted' END;
        v_ln := r->>'ln';
        v_fio := r->>'fio';
    ELSIF t = 'prikaz' OR t = 'files' THEN
        v_ln := r->>'ln';
        v_what := r->>'what';
        v_number := r->>'prikaznom';
        SELECT c.FIO INTO v_fio FROM Combat c WHERE c.LN = v_ln LIMIT 1;
        IF t = 'files' THEN
            v_action := CASE TG_OP WHEN 'DELETE' THEN 'document_detached' ELSE 'document_attached' END;
            IF TG_OP = 'INSERT' THEN v_new := r->>'name_file';
            ELSIF TG_OP = 'DELETE' THEN v_old := r->>'name_file'; END IF;
        ELSIF TG_OP = 'UPDATE' AND (o->>'actived_prikaz') IS DISTINCT FROM (n->>'actived_prikaz')
              AND trim(n->>'actived_prikaz') = '0' THEN
            v_action := 'order_lifted';
        ELSE
            v_action := CASE TG_OP WHEN 'INSERT' THEN 'order_added' WHEN 'UPDATE' THEN 'order_changed'
                        ELSE 'order_deleted' END;
        END IF;
    ELSE
        v_action := 'reference_changed';
        v_what := coalesce(names->>t, TG_TABLE_NAME);
        IF TG_OP = 'INSERT' THEN v_new := coalesce(r->>'rank', r->>'dolzn');
        ELSIF TG_OP = 'DELETE' THEN v_old := coalesce(r->>'rank', r->>'dolzn'); END IF;
    END IF;
    IF TG_OP = 'DELETE' AND t = 'prikaz' THEN
        INSERT INTO history (at, who, workstation, action, LN, FIO, what, prikaznom, field, old_value, new_value)
        VALUES (v_at, session_user, v_ws, v_action, v_ln, v_fio, v_what, v_number, 'Date_time', o->>'date_time',
                NULL),
               (v_at, session_user, v_ws, v_action, v_ln, v_fio, v_what, v_number, 'nameZO', o->>'namezo', NULL);
        RETURN NULL;
    END IF;
    IF TG_OP <> 'UPDATE' THEN
        INSERT INTO history (at, who, workstation, action, LN, FIO, what, prikaznom, field, old_value, new_value)
        VALUES (v_at, session_user, v_ws, v_action, v_ln, v_fio, v_what, v_number, NULL, v_old, v_new);
        RETURN NULL;
    END IF;
    FOR k IN SELECT attname FROM pg_attribute WHERE attrelid = TG_RELID AND attnum > 0 AND NOT attisdropped
             ORDER BY attnum LOOP
        IF k <> 'id' AND NOT (t = 'combat' AND k IN ('vzs', 'blag', 'gr', 'zomo', 'gosnag', 'posh'))
           AND (o->k) IS DISTINCT FROM (n->k) THEN
            INSERT INTO history (at, who, workstation, action, LN, FIO, what, prikaznom, field, old_value, new_value)
            VALUES (v_at, session_user, v_ws, v_action, v_ln, v_fio, v_what, v_number, coalesce(names->>k, k),
                    o->>k, n->>k);
        END IF;
    END LOOP;
    RETURN NULL;
END
$body$)SQL";
// Server only: the entries of added rows, written once per statement from
// all the rows it added (its transition table), each row's entry the same as
// history_record() writes for one row: an import of 200,000 rows is then a
// few statements' work rather than a trigger call for each row. The restore's
// setting counts as there. Where a row trigger still writes the added rows (a
// database whose triggers an earlier version made again) it is left to that
// one, so that no row gets two entries.
inline constexpr char CREATE_HISTORY_ADDED_FUNCTION[] = R"SQL(CREATE OR REPLACE FUNCTION history_record_added()
RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $body$
DECLARE
    t text := lower(TG_TABLE_NAME);
    v_at text := to_char(localtimestamp, 'YYYY-MM-DD HH24:MI:SS');
    v_ws text := current_setting('application_name', true);
BEGIN
    IF history_silenced() THEN
        RETURN NULL;
    END IF;
    IF EXISTS (SELECT FROM pg_trigger WHERE tgrelid = TG_RELID AND tgfoid = to_regprocedure('history_record()')
               AND (tgtype & 5) = 5) THEN
        RETURN NULL;
    END IF;
    IF t = 'combat' THEN
        INSERT INTO history (at, who, workstation, action, LN, FIO)
        SELECT v_at, session_user, v_ws, 'serviceman_added', n.ln, n.fio FROM new_rows AS n;
    ELSIF t = 'prikaz' THEN
        INSERT INTO history (at, who, workstation, action, LN, FIO, what, prikaznom)
        SELECT v_at, session_user, v_ws, 'order_added', n.ln,
               (SELECT c.FIO FROM Combat c WHERE c.LN = n.ln LIMIT 1), n.what, n.prikaznom
        FROM new_rows AS n;
    ELSIF t = 'files' THEN
        INSERT INTO history (at, who, workstation, action, LN, FIO, what, prikaznom, new_value)
        SELECT v_at, session_user, v_ws, 'document_attached', n.ln,
               (SELECT c.FIO FROM Combat c WHERE c.LN = n.ln LIMIT 1), n.what, n.prikaznom, n.name_file
        FROM new_rows AS n;
    ELSE
        INSERT INTO history (at, who, workstation, action, what, new_value)
        SELECT v_at, session_user, v_ws, 'reference_changed',
               coalesce('{"ranks":"Ranks","emploeses":"Emploeses"}'::jsonb->>t, TG_TABLE_NAME),
               coalesce(to_jsonb(r)->>'rank', to_jsonb(r)->>'dolzn')
        FROM new_rows AS r;
    END IF;
    RETURN NULL;
END
$body$)SQL";
// %1 the table: its triggers, made anew where they are there: one a row for
// changes and deletions, one a statement for additions. The one of the
// statement goes first, so that while the row one still takes additions
// (until it is made anew) no row goes without its entry.
inline constexpr char CREATE_HISTORY_ADDED_TRIGGER[] =
    "CREATE OR REPLACE TRIGGER history_added_%1 AFTER INSERT ON %1 REFERENCING NEW TABLE AS new_rows "
    "FOR EACH STATEMENT EXECUTE FUNCTION history_record_added()";
inline constexpr char CREATE_HISTORY_TRIGGER[] =
    "CREATE OR REPLACE TRIGGER history_%1 AFTER UPDATE OR DELETE ON %1 "
    "FOR EACH ROW EXECUTE FUNCTION history_record()";
// Server only: the entries no trigger sees (a move onto the server, an
// import), written with the owner's rights for the clerks' group; it writes
// no other kind. Bound: the action, what it came from.
inline constexpr char CREATE_HISTORY_EVENT_FUNCTION[] = R"SQL(CREATE OR REPLACE FUNCTION
history_event(p_action text, p_source text) RETURNS void LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $body$
BEGIN
    IF p_action NOT IN ('transfer', 'import') THEN
        RAISE EXCEPTION 'history_event: % is not an event', p_action USING ERRCODE = '22023';
    END IF;
    INSERT INTO history (at, who, workstation, action, new_value)
    VALUES (to_char(localtimestamp, 'YYYY-MM-DD HH24:MI:SS'), session_user,
            current_setting('application_name', true), p_action, p_source);
END
$body$)SQL";
// Server only: the one entry of a write made for several servicemen at once
// (a group order, a lifting of several penalties, a change of every row of
// one order), beside the entries the triggers write per row; with the
// owner's rights for the clerks' group, and no other kind. Bound: the
// action, the category's code, the order's number, what was done.
inline constexpr char CREATE_HISTORY_GROUP_FUNCTION[] = R"SQL(CREATE OR REPLACE FUNCTION
history_group(p_action text, p_what text, p_number text, p_value text) RETURNS void LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $body$
BEGIN
    IF p_action NOT IN ('group_order_added', 'group_lifted', 'group_order_changed') THEN
        RAISE EXCEPTION 'history_group: % is not a group write', p_action USING ERRCODE = '22023';
    END IF;
    INSERT INTO history (at, who, workstation, action, what, prikaznom, new_value)
    VALUES (to_char(localtimestamp, 'YYYY-MM-DD HH24:MI:SS'), session_user,
            current_setting('application_name', true), p_action, p_what, p_number, p_value);
END
$body$)SQL";
// A row of a reference list as stored, before its change is written. %1
// the table; bound: the id.
inline constexpr char SELECT_REFERENCE_ROW[] = "SELECT * FROM %1 WHERE id = ?";
inline constexpr char INSERT_HISTORY_EVENT[] = "SELECT history_event(?, ?)";
// Server only: the one entry of a restore, by the owner or vedomer_admins
// alone: the file it came from and the numbers of rows replaced and put in
// their place.
inline constexpr char CREATE_HISTORY_RESTORE_FUNCTION[] = R"SQL(CREATE OR REPLACE FUNCTION
history_restore(p_source text, p_counts text) RETURNS void LANGUAGE sql SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $body$
    INSERT INTO history (at, who, workstation, action, old_value, new_value)
    VALUES (to_char(localtimestamp, 'YYYY-MM-DD HH24:MI:SS'), session_user,
            current_setting('application_name', true), 'restore', p_counts, p_source)
$body$)SQL";
// Bound: the file, the counts.
inline constexpr char INSERT_HISTORY_RESTORE[] = "SELECT history_restore(?, ?)";
// Whether the database has it: one whose history an earlier version made
// (before its owner ran "--ver" again) enters a restore by history_event.
inline constexpr char HISTORY_RESTORE_EXISTS[] =
    "SELECT to_regprocedure('history_restore(text, text)') IS NOT NULL";
// Server only: whether this connection's role may restore (the database's
// owner, a member of vedomer_admins or a superuser), and its name.
inline constexpr char MAY_RESTORE[] =
    "SELECT pg_has_role((SELECT datdba FROM pg_database WHERE datname = current_database()), 'MEMBER') OR "
    "coalesce(pg_has_role(to_regrole('vedomer_admins'), 'MEMBER'), false), session_user";
// Server only: the triggers of the history write nothing for the rest of
// this transaction (a restore by the owner or vedomer_admins).
inline constexpr char HISTORY_RESTORING[] = "SELECT set_config('vedomer.restoring', 'on', true)";
// Server only: the history is read by clerks and viewers and written by no
// one but the owner of the functions above (the default privileges of the
// clerks' group would give them more); the events and the groups' entries
// are written by the clerks' group, the restore's by vedomer_admins, and by nobody else.
inline constexpr char HISTORY_PRIVILEGES[] = R"SQL(DO $body$
BEGIN
    REVOKE ALL ON history FROM PUBLIC;
    REVOKE ALL ON SEQUENCE history_id_seq FROM PUBLIC;
    REVOKE ALL ON FUNCTION history_silenced() FROM PUBLIC;
    REVOKE ALL ON FUNCTION history_record() FROM PUBLIC;
    REVOKE ALL ON FUNCTION history_record_added() FROM PUBLIC;
    REVOKE ALL ON FUNCTION history_event(text, text) FROM PUBLIC;
    REVOKE ALL ON FUNCTION history_restore(text, text) FROM PUBLIC;
    REVOKE ALL ON FUNCTION history_group(text, text, text, text) FROM PUBLIC;
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'vedomer_clerks') THEN
        REVOKE ALL ON history FROM vedomer_clerks;
        REVOKE ALL ON SEQUENCE history_id_seq FROM vedomer_clerks;
        GRANT SELECT ON history TO vedomer_clerks;
        GRANT EXECUTE ON FUNCTION history_event(text, text) TO vedomer_clerks;
        GRANT EXECUTE ON FUNCTION history_group(text, text, text, text) TO vedomer_clerks;
    END IF;
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'vedomer_admins') THEN
        GRANT EXECUTE ON FUNCTION history_restore(text, text) TO vedomer_admins;
    END IF;
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'vedomer_viewers') THEN
        REVOKE ALL ON history FROM vedomer_viewers;
        GRANT SELECT ON history TO vedomer_viewers;
    END IF;
END
$body$)SQL";
// The names of the users for the filter's list, one step of the index on
// "who" per name rather than a pass over every entry.
inline constexpr char CREATE_HISTORY_WHO_INDEX[] = "CREATE INDEX IF NOT EXISTS history_who ON history (who)";
inline constexpr char SELECT_HISTORY_USERS[] =
    "WITH RECURSIVE users(name) AS (SELECT min(who) FROM history UNION ALL "
    "SELECT (SELECT min(who) FROM history WHERE who > users.name) FROM users WHERE users.name IS NOT NULL) "
    "SELECT name FROM users WHERE name IS NOT NULL";
// A page of the history, newest first: the head, then one condition per
// filter in use (each binds one value), then the order and the page's size
// (bound). The entries older than an id read so far: HISTORY_OLDER_THAN.
inline constexpr char SELECT_HISTORY[] =
    "SELECT id, at, who, workstation, action, LN, FIO, what, prikaznom, field, old_value, new_value "
    "FROM history WHERE 1 = 1";
inline constexpr char HISTORY_OLDER_THAN[] = " AND id < ?";
inline constexpr char HISTORY_OF_LN[] = " AND LN = ?";
// The period: "at" from the first day's start to before the day after the last.
inline constexpr char HISTORY_FROM[] = " AND at >= ?";
inline constexpr char HISTORY_BEFORE[] = " AND at < ?";
inline constexpr char HISTORY_OF_WHO[] = " AND who = ?";
inline constexpr char HISTORY_OF_ACTION[] = " AND action = ?";
inline constexpr char HISTORY_OF_WHAT[] = " AND what = ?";
// The search on an SQLite file, by the program's own function (SQLite's LIKE
// folds only Latin letters): bound the text looked for.
inline constexpr char HISTORY_FOUND[] = " AND history_found(?, FIO, LN, prikaznom, old_value, new_value)";
inline constexpr char HISTORY_PAGE[] = " ORDER BY id DESC LIMIT ?";

} // namespace Sql

#endif // SQL_HISTORY_H
