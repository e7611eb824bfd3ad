#!/bin/bash
# The real program end to end, on a virtual screen (Xvfb with openbox):
#  1. "vedomer --ver" in a folder holding only the settings and the two
#     descriptor files makes the database; the sqlite3 command-line program,
#     a client that is not ours, checks its tables, columns, seeded lists and
#     integrity;
#  2. with a few servicemen written into it by sqlite3, "vedomer" starts in
#     that folder, shows its main window titled "Ведомер" (a screenshot is
#     kept beside the build), is closed through its close question, ends
#     with code 0 and leaves every record as it was.
#   tst_endtoend.sh VEDOMER_EXE CONF_DIR OUTPUT_DIR
# Exits with 77 (skipped) when a tool it needs is missing.
set -u
exe="$1"
conf="$2"
out="$3"
for tool in Xvfb openbox xdotool xprop import identify sqlite3; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing (Debian packages xvfb openbox xdotool x11-utils imagemagick sqlite3)"
        exit 77
    fi
done
tmp=$(mktemp -d)
pid=""
xvfb=""
wm=""
cleanup() {
    for p in $pid $wm $xvfb; do
        kill "$p" 2>/dev/null || true
    done
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    [ -f "$tmp/program.log" ] && tail -n 20 "$tmp/program.log" | sed 's/^/  program: /'
    exit 1
}
# shellcheck source=support/xsession.sh
. "$(dirname "$0")/support/xsession.sh"

start_x || fail "Xvfb or openbox did not start: $(cat "$tmp/xvfb.log")"
work="$tmp/work"
mkdir -p "$work" "$tmp/run"
chmod 700 "$tmp/run"
cp "$conf/settingstab.conf" "$conf/settings.conf" "$work/"
printf '[Path]\ndb=data\n' >"$work/settings.ini"
db="$work/data/BaseDate.db"
sql() { sqlite3 -batch -bail "$db" "$@"; }

start() { # the program in the working folder, with the given arguments
    (cd "$work" && exec env -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$tmp/run" "$exe" "$@") >>"$tmp/program.log" 2>&1 &
    pid=$!
    main=$(wait_main_window) || fail "no window titled Ведомер within 30 s (or the program ended first)"
    [ "$(xdotool getwindowpid "$main")" = "$pid" ] || fail "the window Ведомер belongs to another process"
}
stop() {
    close_and_confirm || fail "closing the main window asked nothing, or the program went on after «Так точно»"
    [ "$code" -eq 0 ] || fail "the program ended with code $code"
}

echo "== vedomer --ver on an empty folder"
start --ver
[ -f "$db" ] || fail "--ver made no data/BaseDate.db"
[ "$(sql 'PRAGMA integrity_check')" = ok ] || fail "the new database is not sound"
tables=$(sql "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name" | tr '\n' ' ')
[ "$tables" = "Combat Emploeses Files Ranks prikaz " ] || fail "the database has the tables: $tables"
# Every column the descriptor declares, with its type, and no other.
for table in Combat prikaz Files; do
    want=$(sed -n "s/.*<$table AtributSql=\"\([^ \"]*\) \([^ \"]*\).*/\1 \2/p" "$conf/settings.conf")
    have=$(sql "SELECT name || ' ' || type FROM pragma_table_info('$table')")
    [ "$want" = "$have" ] || fail "$table has the columns [$have] instead of [$want]"
done
[ "$(sql "SELECT name FROM pragma_index_list('Combat') WHERE \"unique\"" | wc -l)" -eq 1 ] ||
    fail "the personal number of Combat is not unique"
[ "$(sql 'SELECT count(*) FROM Ranks')" -eq 20 ] || fail "the ranks were not seeded"
[ "$(sql 'SELECT count(*) FROM Emploeses')" -eq 13 ] || fail "the positions were not seeded"
[ "$(sql "SELECT Rank FROM Ranks ORDER BY Rank_massa LIMIT 1")" = "Маршал Российской Федерации" ] ||
    fail "the ranks are not as shipped"
stop
echo "ok: the database made by --ver is sound and as the descriptors declare"

echo "== vedomer with a few servicemen"
sql <<'SQL' || fail "sqlite3 could not write the servicemen"
INSERT INTO Combat (VP, Dol, VZ, FIO, Data_comb, LN, vzs, blag, gr, ZOMO, gosnag, posh, Dolz_nom, Zvan_nom) VALUES
 (12, 'Командир роты', 'Капитан', 'Д''Артаньян Шарль Бертранович', '01.02.1990 0:00', 'АБ-123''45', '1', '0', '0', '0', '0', '0', 5, 9),
 (12, 'Стрелок', 'Рядовой', 'Ёлкин Пётр Семёнович', '03.04.2001 0:00', 'Л-100', '0', '2', '0', '0', '0', '0', 13, 20),
 (3, 'Водитель', 'Ефрейтор', 'Сидоров %1 %2', '', 'Л-101', '0', '0', '1', '0', '0', '1', 12, 19);
INSERT INTO prikaz (LN, what, Date_time, prikaznom, kemvidan, nameZO, actived_prikaz, ish_SU, Nomer_snytie, Data_snytie) VALUES
 ('АБ-123''45', 'vzs', '05.06.2020', '15', 'Командир части', 'Выговор', '1', 'СУ-1', '', ''),
 ('Л-100', 'blag', '07.08.2021', '16', 'Командир части', 'За службу', '1', '', '', ''),
 ('Л-100', 'blag', '09.10.2022', '17', 'Командир части', 'За учения', '1', '', '', ''),
 ('Л-101', 'gr', '11.12.2022', '18', 'Командир части', 'За учения', '1', '', '', ''),
 ('Л-101', 'posh', '13.01.2023', '19', 'Командир части', 'За выслугу', '1', '', '', '');
SQL
before=$(sql '.dump')
start
sleep 1 # let the window paint before the picture is taken
shot="$out/endtoend-main-window.png"
import -window root "$shot" || fail "no screenshot"
read -r width height colours < <(identify -format '%w %h %k\n' "$shot")
echo "screenshot $shot: ${width}x$height, $colours colours"
[ "$width" -eq 1280 ] && [ "$height" -eq 800 ] || fail "the screenshot is ${width}x$height"
[ "$colours" -gt 50 ] || fail "the screen looks empty ($colours colours)"
stop
[ "$(sql 'PRAGMA integrity_check')" = ok ] || fail "the database is not sound after the program ran"
[ "$(sql '.dump')" = "$before" ] || fail "the records changed although nothing was edited"
[ "$(sql "SELECT FIO FROM Combat WHERE LN = 'АБ-123''45'")" = "Д'Артаньян Шарль Бертранович" ] ||
    fail "the serviceman with an apostrophe is not as written"
echo "ok: the program started, showed its window, closed through its question and changed nothing"
