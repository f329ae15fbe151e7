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

start_xvfb() {  # a private Xvfb on a random high display, retried until a client can connect
    # -noreset: the server otherwise resets when the probe client leaves, and a program
    # connecting during that reset is refused.
    # Display :0 and its neighbours are where other servers on a shared machine live; one of
    # them going away can take the socket of ours with it, so stay clear of them.
    local attempt n
    for attempt in 1 2 3 4 5; do
        n=$((200 + RANDOM % 30000))
        [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$n"
        for _ in $(seq 100); do
            xdpyinfo >/dev/null 2>&1 && return 0
            kill -0 "$xvfb_pid" 2>/dev/null || break
            sleep 0.1
        done
        echo "Xvfb on :$n did not come up (attempt $attempt):"; cat "$work/xvfb.log"
        kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=""
    done
    echo "FAILED: no X server could be started"
    exit 1
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

find_window() {  # find_window WIDTHxHEIGHT -> the visible program window of that size
    local id
    for id in $(xdotool search --onlyvisible --name '岚枫flash播放器' 2>/dev/null); do
        xdotool getwindowgeometry "$id" 2>/dev/null | grep -q "Geometry: $1\$" && { echo "$id"; return; }
    done
}
wait_for_size() {  # wait_for_size WIDTHxHEIGHT -> sets found
    found=""
    for _ in $(seq 50); do
        found=$(find_window "$1")
        [ -n "$found" ] && return 0
        sleep 0.1
    done
    return 1
}
wait_for_docked_pair() {  # sets video and panel to the docked video window and panel
    wait_for_size 400x308
    video=$found
    wait_for_size 295x128
    panel=$found
}

finish() {
    echo "$pass passed, $fail failed"
    [ "$fail" -eq 0 ]
}
