#!/bin/bash
# The guide's «Несколько рабочих мест» followed word for word, as an
# administrator would, on a private PostgreSQL cluster of the test's own:
#  - its steps are numbered 1, 2, 3… once each;
#  - every command of its server steps runs as printed: "sudo -u postgres
#    CMD" runs CMD as the cluster's superuser "postgres", "vedomer" is the
#    launcher, the network 192.168.1.0/24 and the server 192.168.1.10:5432 are
#    this computer's 127.0.0.1 and the cluster's port, the script of the
#    package is the source tree's;
#  - after each step that shows a pg_hba.conf line, the file holds that line
#    as the guide says, and the server lets in whom the guide says: the owner
#    always (he runs --ver), the clerks and viewers after the roles' step,
#    and nobody else;
#  - "vedomer --ver" as the owner makes the tables and the history;
#  - a clerk's change is in the history.
#   tst_guide.sh LAUNCHER GUIDE ROLES_SCRIPT
# Exits with 77 (skipped) when no PostgreSQL server is installed.
set -u
launcher="$1"
guide="$2"
roles="$3"
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
    echo "SKIP: no PostgreSQL server here (Debian package postgresql)"
    exit 77
fi
tmp=$(mktemp -d)
chmod 755 "$tmp"
pid=""
run_as=()
# PostgreSQL refuses to run as root: the cluster belongs to "nobody" then.
[ "$(id -u)" -eq 0 ] && run_as=(runuser -u nobody --)
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    [ -d "$tmp/data" ] && "${run_as[@]}" "$bin/pg_ctl" -D "$tmp/data" -m fast stop >/dev/null 2>&1
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    [ -f "$tmp/program.log" ] && tail -n 5 "$tmp/program.log" | cut -c 1-300 | sed 's/^/  program: /'
    exit 1
}

section=$(awk '/^## Несколько рабочих мест/ { on = 1; next } /^## / { on = 0 } on' "$guide")
[ -n "$section" ] || fail "the guide has no section «Несколько рабочих мест»"

# The steps, numbered once each from 1.
numbers=$(printf '%s\n' "$section" | sed -n 's/^### \([0-9][0-9]*\)\. .*/\1/p' | tr '\n' ' ')
expected=$(seq -s ' ' 1 "$(printf '%s\n' "$section" | grep -c '^### [0-9]')")
[ "$numbers" = "$expected " ] || fail "the steps are numbered «$numbers», not «$expected»"

# The text of step N, and its code lines (the lines inside ``` fences).
step() { printf '%s\n' "$section" | awk -v n="### $1." 'index($0, n) == 1 { on = 1; next } /^### / { on = 0 } on'; }
code() { step "$1" | awk '/^ *```/ { on = !on; next } on { sub(/^ +/, ""); print }'; }
titled() { printf '%s\n' "$section" | sed -n "s/^### \([0-9][0-9]*\)\. $1.*/\1/p"; }
server=$(titled 'Сервер')
workstation=$(titled 'Каждое рабочее место')
tables=$(titled 'Таблицы на сервере')
roles_step=$(titled 'Роли')
for s in server workstation tables roles_step; do
    [ -n "${!s}" ] || fail "no step for $s"
done

mkdir -p "$tmp/data" "$tmp/home"
[ "$(id -u)" -eq 0 ] && chown nobody "$tmp/data"
"${run_as[@]}" "$bin/initdb" -D "$tmp/data" -U postgres --auth-local=trust --auth-host=scram-sha-256 \
    -E UTF8 --locale=C.UTF-8 >"$tmp/initdb.log" 2>&1 || fail "initdb: $(cat "$tmp/initdb.log")"
# A port nobody else took; another test may take it first, so a failed
# start tries another.
for _ in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 30000))
    "${run_as[@]}" "$bin/pg_ctl" -D "$tmp/data" -l "$tmp/data/log" -w \
        -o "-p $port -k $tmp/data -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null && break
    port=""
done
[ -n "$port" ] || fail "the cluster did not start: $(tail -n 5 "$tmp/data/log")"
export PGHOST=127.0.0.1 PGPORT=$port
superuser() { PGHOST="$tmp/data" PGUSER=postgres "$@"; }

# The guide's words for this computer: its network and server address, the
# cluster's port, the package's script from the source tree.
local_words() {
    sed -e "s|192\.168\.1\.0/24|127.0.0.1/32|g" -e "s|192\.168\.1\.10:5432|127.0.0.1:$port|g" \
        -e "s|/usr/share/vedomer/server-roles.sql|$roles|g"
}
# "sudo -u postgres CMD …" as the cluster's superuser, with no terminal, so
# that a password prompt reads what it is given.
sudo() {
    [ "$1" = -u ] && [ "$2" = postgres ] || fail "the guide runs «sudo $*», which is not a server command"
    shift 2
    local command="$1"
    shift
    superuser setsid -w "$bin/$command" "$@"
}
# The commands of a step, each as printed but for local_words: the server
# commands (a password prompt is given `password` twice) and the program.
run_step() { # STEP PASSWORD
    local line
    while IFS= read -r line; do
        case "$line" in
        "sudo -u postgres"* | vedomer*)
            eval "$line" <<<"$2"$'\n'"$2" >>"$tmp/commands.log" 2>&1 ||
                fail "step $1: «$line» failed: $(tail -n 3 "$tmp/commands.log")"
            ;;
        esac
    done < <(code "$1" | local_words)
}
# The pg_hba.conf of the cluster: the superuser's socket, and the lines the
# step shows; the server reads it again.
hba_of() {
    { echo "local all postgres trust"; code "$1" | local_words | grep -E '^host(ssl)? '; } >"$tmp/data/pg_hba.conf"
    grep -qE '^host' "$tmp/data/pg_hba.conf" || fail "step $1 shows no pg_hba.conf line"
    "${run_as[@]}" "$bin/pg_ctl" -D "$tmp/data" reload >/dev/null || fail "the server did not reload"
    sleep 0.5
}
can_log_in() { PGPASSWORD="$2" "$bin/psql" -X -q -U "$1" -d vedomer -c 'SELECT 1' >/dev/null 2>&1; }

# 1. The server: the owner and the database; the owner may log in over the
#    network.
run_step "$server" kadry-secret
hba_of "$server"
can_log_in kadry kadry-secret || fail "after step $server the owner cannot log in"

# 2. A workstation: the settings «Настройки» writes, the password file.
export HOME="$tmp/home" VEDOMER_HOME="$tmp/home/work" QT_QPA_PLATFORM=offscreen
mkdir -p "$VEDOMER_HOME"
printf '[Path]\ndb=data\n[Database]\nkind=postgresql\nhost=127.0.0.1\nport=%s\nname=vedomer\nuser=kadry\n' "$port" \
    >"$VEDOMER_HOME/settings.ini"
code "$workstation" | local_words | sed "s/:пароль'/:kadry-secret'/" >"$tmp/workstation.sh"
grep -q pgpass "$tmp/workstation.sh" || fail "step $workstation writes no password file"
(set -e; . "$tmp/workstation.sh") || fail "step $workstation: the password file was not written"

# 3. The tables: "vedomer --ver" as the owner; the program stays open after
#    it, so it is ended once the history is there.
vedomer() {
    "$launcher" "$@" >"$tmp/program.log" 2>&1 &
    pid=$!
    for _ in $(seq 1 120); do
        [ "$(PGPASSWORD=kadry-secret "$bin/psql" -X -tA -U kadry -d vedomer \
            -c "SELECT count(*) FROM pg_proc WHERE proname = 'history_record'" 2>/dev/null)" = 1 ] &&
            [ "$(PGPASSWORD=kadry-secret "$bin/psql" -X -tA -U kadry -d vedomer -c 'SELECT count(*) FROM Ranks' 2>/dev/null)" -gt 0 ] 2>/dev/null &&
            break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.5
    done
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    pid=""
}
run_step "$tables" ""
PGPASSWORD=kadry-secret "$bin/psql" -X -tA -U kadry -d vedomer -c 'SELECT count(*) FROM history' >/dev/null 2>&1 ||
    fail "step $tables made no history on the server"

# 5. The roles: the script, a clerk and a viewer, the pg_hba.conf line.
run_step "$roles_step" ""
hba_of "$roles_step"
can_log_in kadry kadry-secret || fail "after step $roles_step the owner cannot log in (he runs --ver)"
can_log_in ivanov 'пароль' || fail "after step $roles_step the clerk ivanov cannot log in"
can_log_in petrov 'пароль' || fail "after step $roles_step the viewer petrov cannot log in"
superuser "$bin/psql" -X -q -c "CREATE ROLE stranger LOGIN PASSWORD 'x'" >/dev/null
can_log_in stranger x && fail "after step $roles_step a user outside the groups logs in"
PGPASSWORD='пароль' "$bin/psql" -X -q -U ivanov -d vedomer -v ON_ERROR_STOP=1 \
    -c "INSERT INTO Combat (LN, FIO) VALUES ('1', 'Иванов')" >/dev/null 2>&1 ||
    fail "the clerk ivanov cannot add a serviceman"
PGPASSWORD='пароль' "$bin/psql" -X -q -U petrov -d vedomer \
    -c "INSERT INTO Combat (LN, FIO) VALUES ('2', 'Петров')" >/dev/null 2>&1 &&
    fail "the viewer petrov can add a serviceman"
who=$(PGPASSWORD=kadry-secret "$bin/psql" -X -tA -U kadry -d vedomer -c "SELECT who FROM history WHERE LN = '1'")
[ "$who" = ivanov ] || fail "the clerk's change is not in the history as his (found «$who»)"
echo "The guide's steps hold: ${numbers}"
