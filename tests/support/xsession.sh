# Shell helpers for driving the real program on a virtual screen: an Xvfb
# server with openbox, waiting for the program's windows, and closing the
# main window through its close question as a user does. Sourced by bash
# scripts that set `tmp` (a scratch folder) and, once the program runs, `pid`
# (its process) and `main` (its main window).

# Starts Xvfb on a free display and openbox on it; exports DISPLAY and sets
# `xvfb` and `wm` to their processes. Returns non-zero when Xvfb does not
# come up.
start_x() {
    exec 3>"$tmp/display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
    xvfb=$!
    exec 3>&-
    for _ in $(seq 100); do
        [ -s "$tmp/display" ] && break
        sleep 0.1
    done
    [ -s "$tmp/display" ] || return 1
    DISPLAY=":$(head -n 1 "$tmp/display")"
    export DISPLAY
    openbox >"$tmp/openbox.log" 2>&1 &
    wm=$!
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && return 0
        sleep 0.1
    done
    return 1
}

# The program runs as a child of the script, so it stays a zombie until it
# is waited for: alive means a process that has not ended.
alive() {
    local stat
    stat=$(cat "/proc/$pid/stat" 2>/dev/null) || return 1
    stat=${stat##*) }
    [ "${stat%% *}" != Z ]
}

# Prints the visible window titled exactly "Ведомер" once it appears (within
# 30 s); fails when it does not or when the program ends first.
wait_main_window() {
    local w
    for _ in $(seq 300); do
        w=$(xdotool search --onlyvisible --name '^Ведомер$' 2>/dev/null | head -n 1 || true)
        if [ -n "$w" ]; then
            echo "$w"
            return 0
        fi
        alive || return 1
        sleep 0.1
    done
    return 1
}

# The close question is the one modal window the program shows: a visible
# window of the process other than the main window, marked modal.
wait_question() {
    local w state
    for _ in $(seq 100); do
        for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true); do
            [ "$w" = "$main" ] && continue
            state=$(xprop -id "$w" _NET_WM_STATE 2>/dev/null || true)
            if [[ "$state" == *_NET_WM_STATE_MODAL* ]]; then
                echo "$w"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

visible() { # window id: is it shown now?
    local shown
    shown=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true)
    [[ $'\n'"$shown"$'\n' == *$'\n'"$1"$'\n'* ]]
}

close_main() { # as the user does: Alt+F4, which openbox turns into a close request
    xdotool windowactivate --sync "$main"
    xdotool key --clearmodifiers alt+F4
}

# Closes the main window and answers the close question with «Так точно»
# (Enter on the first button); waits up to 20 s for the program to end and
# sets `code` to its exit code. Fails when nothing is asked or it goes on.
close_and_confirm() {
    local question
    close_main
    question=$(wait_question) || return 1
    xdotool windowactivate --sync "$question" key Return
    for _ in $(seq 200); do
        alive || break
        sleep 0.1
    done
    alive && return 1
    code=0
    wait "$pid" || code=$?
    pid=""
    return 0
}
