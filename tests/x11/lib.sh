# Shared by the X11 checks: a private Xvfb, a scratch folder, check/finish bookkeeping.
# Source it, then call start_xvfb; every script ends with finish.
unset QT_QPA_PLATFORM
work=$(mktemp -d)
fail=0
pass=0

check() {  # check NAME COMMAND...
    if "${@:2}"; then pass=$((pass + 1)); echo "ok: $1"; else fail=$((fail + 1)); echo "FAILED: $1"; fi
}

cleanup() {
    [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null
    # Wait for the server to be gone: a dying Xvfb removes its socket late, and could take
    # away the socket of the next check's server that reused the display number.
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

start_xvfb() {  # Xvfb picks a free display itself and writes its number to fd 3
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n 1 "$work/display")"
    for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
}

wait_for_window() {  # sets wid to the first window with the program's caption
    wid=""
    for _ in $(seq 100); do
        wid=$(xdotool search --name '岚枫flash播放器' 2>/dev/null | head -n 1)
        [ -n "$wid" ] && return 0
        sleep 0.1
    done
    return 1
}

eventually() {  # eventually COMMAND...: true once COMMAND is, within 10 s (slow, loaded machines)
    for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
    return 1
}

finish() {
    echo "$pass passed, $fail failed"
    [ "$fail" -eq 0 ]
}
