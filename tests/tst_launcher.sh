#!/bin/sh
# Installs the build into a temporary prefix and checks the installed files
# and the launcher: where it makes the working folder, what it puts there,
# that it never overwrites anything, which arguments the program gets, and
# that a failure is reported instead of being passed over. The program is
# replaced by a stand-in that records how it was started.
#   tst_launcher.sh BUILD_DIR [CMAKE]
set -u
# The user's usual rights, which the program and the folders above the
# working folder keep.
umask 022
build="$1"
cmake="${2:-cmake}"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
check() { # description, then the command that must succeed
    what="$1"
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAIL: $what"
        failures=$((failures + 1))
    fi
}

png_size() { # width and height from the header of a PNG file
    [ "$(od -An -tx1 -N8 "$1" | tr -d ' \n')" = 89504e470d0a1a0a ] || return
    od -An -tu1 -j16 -N8 "$1" | awk '{ print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'
}

prefix="$tmp/inst root"
"$cmake" --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 || {
    cat "$tmp/install.log"
    exit 1
}

for f in bin/vedomer libexec/vedomer/vedomer share/vedomer/settingstab.conf \
    share/vedomer/settings.conf share/applications/vedomer.desktop; do
    check "installed $f" test -f "$prefix/$f"
done
check "launcher is executable" test -x "$prefix/bin/vedomer"
for s in 16 24 32 48 64 128 256; do
    check "icon ${s}x${s}" test "$(png_size "$prefix/share/icons/hicolor/${s}x${s}/apps/vedomer.png")" = "$s $s"
done
desktop="$prefix/share/applications/vedomer.desktop"
check "menu entry names the program" grep -qx 'Name=Ведомер' "$desktop"
check "menu entry starts the launcher" grep -qx 'Exec=vedomer' "$desktop"
check "menu entry has the icon" grep -qx 'Icon=vedomer' "$desktop"
check "menu entry is in Office" grep -qx 'Categories=Office;' "$desktop"
if command -v desktop-file-validate >/dev/null 2>&1; then
    check "menu entry is valid" desktop-file-validate "$desktop"
fi

# The stand-in program: writes its folder and its arguments, one a line, and
# makes the database the way "--ver" would. Asked whether tables are
# missing, it answers with STANDIN_CHECK (0: none).
cat >"$prefix/libexec/vedomer/vedomer" <<'EOF'
#!/bin/sh
[ "$1" = --check-tables ] && exit "${STANDIN_CHECK:-0}"
{
    pwd
    for a in "$@"; do echo "arg:$a"; done
} >"$STANDIN_LOG"
umask >"$STANDIN_LOG.umask"
echo "${QT_LOGGING_RULES:-}" >"$STANDIN_LOG.rules"
for a in "$@"; do [ "$a" = --ver ] && echo made >data/BaseDate.db; done
exit 7
EOF
chmod +x "$prefix/libexec/vedomer/vedomer"

# Started through a link elsewhere on the PATH, as /usr/bin may be reached
# through /bin.
mkdir -p "$tmp/links"
ln -s "$prefix/bin/vedomer" "$tmp/links/vedomer"
export STANDIN_LOG="$tmp/standin.log"
home="$tmp/home dir"
mkdir -p "$home"
run() { # environment assignments, the command and its arguments
    rm -f "$STANDIN_LOG"
    env -u VEDOMER_HOME -u XDG_DATA_HOME HOME="$home" PATH="$tmp/links:$PATH" \
        DISPLAY= WAYLAND_DISPLAY= "$@" 2>"$tmp/stderr"
}

work="$home/.local/share/vedomer"
run vedomer "first arg" --second
check "first start exits with the program's code" test $? -eq 7
printf '%s\n' "$work" "arg:--ver" "arg:first arg" "arg:--second" >"$tmp/expected"
check "first start runs the program in the working folder with --ver and the arguments" \
    cmp -s "$tmp/expected" "$STANDIN_LOG"
printf '[Path]\ndb=data\n' >"$tmp/settings.expected"
check "settings.ini names the data folder" cmp -s "$tmp/settings.expected" "$work/settings.ini"
check "descriptors copied" sh -c "cmp -s '$prefix/share/vedomer/settingstab.conf' '$work/settingstab.conf' &&
    cmp -s '$prefix/share/vedomer/settings.conf' '$work/settings.conf'"
check "files/ and data/ made" sh -c "test -d '$work/files' && test -d '$work/data'"
mode() { stat -c %a "$1"; }
check "the working folder and its folders are the user's alone" \
    test "$(mode "$work") $(mode "$work/files") $(mode "$work/data")" = "700 700 700"
check "settings.ini and the descriptors are the user's alone" \
    test "$(mode "$work/settings.ini") $(mode "$work/settingstab.conf") $(mode "$work/settings.conf")" = "600 600 600"
check "the folders above it keep the usual rights" test "$(mode "$home/.local/share")" = 755
check "the program runs with the user's usual mask" grep -qx 0022 "$STANDIN_LOG.umask"
check "no debug lines (statements with their values) into a journal" grep -qx '\*\.debug=false' "$STANDIN_LOG.rules"

# Nothing that is there is overwritten, and the database is not remade.
echo "user settings" >"$work/settings.ini"
echo "user descriptor" >"$work/settings.conf"
rm "$work/settingstab.conf"
echo "user data" >"$work/data/BaseDate.db"
echo "a document" >"$work/files/doc.txt"
run vedomer --other
printf '%s\n' "$work" "arg:--other" >"$tmp/expected"
check "second start: no --ver, arguments passed on" cmp -s "$tmp/expected" "$STANDIN_LOG"
check "settings.ini kept" grep -qx "user settings" "$work/settings.ini"
check "changed descriptor kept" grep -qx "user descriptor" "$work/settings.conf"
check "missing descriptor restored" cmp -s "$prefix/share/vedomer/settingstab.conf" "$work/settingstab.conf"
check "database kept" grep -qx "user data" "$work/data/BaseDate.db"
check "documents kept" grep -qx "a document" "$work/files/doc.txt"

# A database that lacks a declared table is verified again; one the program
# cannot read is not.
run STANDIN_CHECK=1 vedomer --other
printf '%s\n' "$work" "arg:--ver" "arg:--other" >"$tmp/expected"
check "a table missing: --ver again" cmp -s "$tmp/expected" "$STANDIN_LOG"
run STANDIN_CHECK=2 vedomer
printf '%s\n' "$work" >"$tmp/expected"
check "an unreadable database: no --ver" cmp -s "$tmp/expected" "$STANDIN_LOG"

# The folder can be chosen.
run XDG_DATA_HOME="$tmp/xdg data" vedomer
check "XDG_DATA_HOME is followed" test "$(head -n 1 "$STANDIN_LOG")" = "$tmp/xdg data/vedomer"
run XDG_DATA_HOME="$tmp/xdg data" "VEDOMER_HOME=$tmp/own folder" vedomer
check "VEDOMER_HOME comes first" test "$(head -n 1 "$STANDIN_LOG")" = "$tmp/own folder"
check "VEDOMER_HOME folder is made with its database" test -f "$tmp/own folder/data/BaseDate.db"

# Failures are told, and the program is not started.
echo "not a folder" >"$tmp/blocked"
run "VEDOMER_HOME=$tmp/blocked/vedomer" vedomer
code=$?
check "an impossible working folder fails" test "$code" -ne 0
check "the failure is told" grep -q "не удалось создать рабочую папку" "$tmp/stderr"
check "the program is not started after a failure" test ! -e "$STANDIN_LOG"

# A file that cannot be written leaves nothing half-written behind.
mkdir -p "$tmp/unwritable/settings.ini.new"
run "VEDOMER_HOME=$tmp/unwritable" vedomer
code=$?
check "an unwritable settings.ini fails and is told" sh -c "test $code -ne 0 &&
    grep -q 'не удалось записать файл настроек' '$tmp/stderr'"
check "no settings.ini is left after a failed write" test ! -e "$tmp/unwritable/settings.ini"
check "the program is not started without its settings" test ! -e "$STANDIN_LOG"

# Without a terminal (a start from the menu) the desktop's dialog tool shows it.
mkdir -p "$tmp/tools"
cat >"$tmp/tools/zenity" <<EOF
#!/bin/sh
printf '%s\n' "\$@" >"$tmp/zenity.log"
EOF
chmod +x "$tmp/tools/zenity"
run "VEDOMER_HOME=$tmp/blocked/vedomer" DISPLAY=:99 "PATH=$tmp/tools:$tmp/links:$PATH" vedomer </dev/null
check "the failure is shown in a window" grep -q "не удалось создать рабочую папку" "$tmp/zenity.log"

rm "$prefix/libexec/vedomer/vedomer"
run "VEDOMER_HOME=$tmp/no program" vedomer
code=$?
check "a missing program is told" sh -c "test $code -ne 0 && grep -q 'не найдена программа' '$tmp/stderr'"
check "no folder is made without the program" test ! -e "$tmp/no program"

[ "$failures" -eq 0 ] || {
    echo "$failures check(s) failed"
    exit 1
}
