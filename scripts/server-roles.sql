-- Ведомер: who may change what in a register on a PostgreSQL server.
--
-- Two group roles: vedomer_clerks read and write the register, vedomer_viewers
-- only read it (the program then works read-only: every command that writes
-- is disabled and the status bar says "Только просмотр"). The users of the
-- program are made members of one of them.
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
END
$$;

-- Both may connect to this database and see its schema.
DO $$
BEGIN
    EXECUTE format('GRANT CONNECT ON DATABASE %I TO vedomer_clerks, vedomer_viewers', current_database());
END
$$;
GRANT USAGE ON SCHEMA public TO vedomer_clerks, vedomer_viewers;

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

-- The history of changes is written by the database itself (the trigger
-- functions history_record and history_event run with their owner's
-- rights): clerks and viewers only read it, whatever the grants above gave.
DO $$
BEGIN
    IF to_regclass('public.history') IS NOT NULL THEN
        REVOKE ALL ON public.history FROM PUBLIC, vedomer_clerks, vedomer_viewers;
        REVOKE ALL ON SEQUENCE public.history_id_seq FROM PUBLIC, vedomer_clerks, vedomer_viewers;
        GRANT SELECT ON public.history TO vedomer_clerks, vedomer_viewers;
    END IF;
    IF to_regprocedure('public.history_record()') IS NOT NULL THEN
        REVOKE ALL ON FUNCTION public.history_record() FROM PUBLIC;
    END IF;
END
$$;

-- The users themselves, one per person, each in one of the groups
-- (uncomment, put in the name and password, and run in psql):
--
-- CREATE ROLE ivanov LOGIN PASSWORD 'пароль' IN ROLE vedomer_clerks;    -- clerk: reads and writes
-- CREATE ROLE petrov LOGIN PASSWORD 'пароль' IN ROLE vedomer_viewers;   -- commander: reads only
--
-- A user moves from one group to the other with
--
-- REVOKE vedomer_viewers FROM petrov; GRANT vedomer_clerks TO petrov;
