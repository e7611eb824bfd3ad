-- Ведомер: who may change what in a register on a PostgreSQL server.
--
-- Three group roles: vedomer_clerks read and write the register,
-- vedomer_viewers only read it (the program then works read-only: every
-- command that writes is disabled and the status bar says "Только
-- просмотр"), and vedomer_admins do what clerks do and may besides restore
-- the register from a backup copy (as may the database's owner; a clerk's
-- restore is refused). The users of the program are made members of one of
-- them.
--
-- Run it as the server's administrator, connected to the register's database,
-- after the database was made (its tables may be there already or be made
-- later by "vedomer --ver" as the database's owner):
--
--     sudo -u postgres psql -d vedomer -f /usr/share/vedomer/server-roles.sql
--
-- It may be run again at any time (and for every register database of the
-- server): what exists already is left as it is.

\set ON_ERROR_STOP on

-- The group roles (no login of their own).
DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'vedomer_clerks') THEN
        CREATE ROLE vedomer_clerks NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'vedomer_viewers') THEN
        CREATE ROLE vedomer_viewers NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'vedomer_admins') THEN
        CREATE ROLE vedomer_admins NOLOGIN;
    END IF;
END
$$;
GRANT vedomer_clerks TO vedomer_admins;

-- Both may connect to this database and see its schema.
DO $$
BEGIN
    EXECUTE format('GRANT CONNECT ON DATABASE %I TO vedomer_clerks, vedomer_viewers', current_database());
END
$$;
GRANT USAGE ON SCHEMA public TO vedomer_clerks, vedomer_viewers;

-- Nobody but the owner makes tables or temporary tables here: a table of a
-- clerk's own in public, or a temporary one of the session, could stand in
-- for one of the register's. PostgreSQL up to 14 lets everyone create in
-- public; every version lets everyone make temporary tables.
REVOKE CREATE ON SCHEMA public FROM PUBLIC;
DO $$
BEGIN
    EXECUTE format('REVOKE TEMPORARY ON DATABASE %I FROM PUBLIC, vedomer_clerks, vedomer_viewers, vedomer_admins',
                   current_database());
END
$$;

-- The register's tables, where they are made already: servicemen (Combat),
-- orders (prikaz), attached files (Files) and their contents (Kopii), the
-- ranks (Ranks) and positions (Emploeses). Clerks read and write them (a
-- restore and the move of a file onto the server set the ids of the
-- reference lists anew, hence UPDATE on the sequences); viewers only read.
DO $$
DECLARE
    t text;
BEGIN
    FOREACH t IN ARRAY ARRAY['combat', 'prikaz', 'files', 'kopii', 'ranks', 'emploeses'] LOOP
        IF to_regclass(format('public.%I', t)) IS NOT NULL THEN
            EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON public.%I TO vedomer_clerks', t);
            EXECUTE format('GRANT SELECT ON public.%I TO vedomer_viewers', t);
        END IF;
    END LOOP;
END
$$;
GRANT USAGE, SELECT, UPDATE ON ALL SEQUENCES IN SCHEMA public TO vedomer_clerks;

-- Tables made later by the database's owner ("vedomer --ver", or the move of
-- a register onto an empty database) get the same rights.
DO $$
DECLARE
    owner text := (SELECT pg_get_userbyid(datdba) FROM pg_database WHERE datname = current_database());
BEGIN
    EXECUTE format('ALTER DEFAULT PRIVILEGES FOR ROLE %I IN SCHEMA public '
                   'GRANT SELECT, INSERT, UPDATE, DELETE ON TABLES TO vedomer_clerks', owner);
    EXECUTE format('ALTER DEFAULT PRIVILEGES FOR ROLE %I IN SCHEMA public '
                   'GRANT SELECT ON TABLES TO vedomer_viewers', owner);
    EXECUTE format('ALTER DEFAULT PRIVILEGES FOR ROLE %I IN SCHEMA public '
                   'GRANT USAGE, SELECT, UPDATE ON SEQUENCES TO vedomer_clerks', owner);
END
$$;

-- The history of changes is written by the database itself (the functions
-- history_record, history_event and history_restore run with their owner's
-- rights): clerks and viewers only read it, whatever the grants above gave.
-- The clerks' group may enter an import or a move onto the server
-- (history_event), vedomer_admins a restore (history_restore); PUBLIC
-- neither.
DO $$
BEGIN
    IF to_regclass('public.history') IS NOT NULL THEN
        REVOKE ALL ON public.history FROM PUBLIC, vedomer_clerks, vedomer_viewers, vedomer_admins;
        REVOKE ALL ON SEQUENCE public.history_id_seq FROM PUBLIC, vedomer_clerks, vedomer_viewers, vedomer_admins;
        GRANT SELECT ON public.history TO vedomer_clerks, vedomer_viewers;
    END IF;
    IF to_regprocedure('public.history_record()') IS NOT NULL THEN
        REVOKE ALL ON FUNCTION public.history_record() FROM PUBLIC;
    END IF;
    IF to_regprocedure('public.history_event(text, text)') IS NOT NULL THEN
        REVOKE ALL ON FUNCTION public.history_event(text, text) FROM PUBLIC, vedomer_viewers;
        GRANT EXECUTE ON FUNCTION public.history_event(text, text) TO vedomer_clerks;
    END IF;
    IF to_regprocedure('public.history_restore(text, text)') IS NOT NULL THEN
        REVOKE ALL ON FUNCTION public.history_restore(text, text) FROM PUBLIC, vedomer_clerks, vedomer_viewers;
        GRANT EXECUTE ON FUNCTION public.history_restore(text, text) TO vedomer_admins;
    END IF;
END
$$;

-- The users themselves, one per person, each in one of the groups
-- (uncomment, put in the name and password, and run in psql):
--
-- CREATE ROLE ivanov LOGIN PASSWORD 'пароль' IN ROLE vedomer_clerks;    -- clerk: reads and writes
-- CREATE ROLE petrov LOGIN PASSWORD 'пароль' IN ROLE vedomer_viewers;   -- commander: reads only
-- CREATE ROLE sidorov LOGIN PASSWORD 'пароль' IN ROLE vedomer_admins;   -- administrator: also restores
--
-- A user moves from one group to the other with
--
-- REVOKE vedomer_viewers FROM petrov; GRANT vedomer_clerks TO petrov;
