-- Ведомер: the rights on the history of changes of a register on a
-- PostgreSQL server, to be run after server-roles.sql (whose grants on every
-- sequence and whose default privileges would give clerks more).
--
-- The history is written by the database itself (the trigger functions
-- history_record and history_event run with their owner's rights, made by
-- "vedomer --ver" as the database's owner): clerks and viewers only read it.
-- Run as the server's administrator, connected to the register's database:
--
--     sudo -u postgres psql -d vedomer -f /usr/share/vedomer/server-history.sql
--
-- It may be run again at any time.

\set ON_ERROR_STOP on

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
