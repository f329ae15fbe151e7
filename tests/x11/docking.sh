#!/usr/bin/env bash
# Starts lanfeng in its own Xvfb and checks that the panel, the playlist and the video window
# stand docked, and that dragging the panel by its background carries the other two along.
# A second argument names a file for a screenshot of the three windows.
set -uo pipefail
lanfeng=$1 shot=${2:-}
source "$(dirname "$0")/lib.sh"
start_xvfb

mkdir -p "$work/home/bin"
printf '%s\r\n' "/movies/第一集.swf" "/movies/second.swf" >"$work/home/bin/default.lfl"
LANFENG_PROGRAM_DIR="$work/home" "$lanfeng" >"$work/out.log" 2>&1 &
app_pid=$!

# The three windows share one title; tell them apart by size.
find_window() {  # find_window WIDTHxHEIGHT
    local id
    for id in $(xdotool search --onlyvisible --name '岚枫flash播放器' 2>/dev/null); do
        xdotool getwindowgeometry "$id" 2>/dev/null | grep -q "Geometry: $1" && { echo "$id"; return; }
    done
}
at() { test "$(place "$1")" = "$2"; }
place() { xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Position: \([0-9-]*,[0-9-]*\).*/\1/p'; }

for _ in $(seq 100); do
    panel=$(find_window 295x128) playlist=$(find_window 295x180) video=$(find_window 400x308)
    [ -n "$panel" ] && [ -n "$playlist" ] && [ -n "$video" ] && break
    sleep 0.1
done
check "the panel is 295x128" test -n "$panel"
check "the playlist is 295x180" test -n "$playlist"
check "the video window is 400x308" test -n "$video"
sleep 1
check "the panel stands at 94,167" eventually at "$panel" "94,167"
check "the playlist stands at 94,295" eventually at "$playlist" "94,295"
check "the video window stands at 389,167" eventually at "$video" "389,167"
[ -n "$shot" ] && import -window root -crop 700x320+89+162 "$shot" 2>/dev/null

# Drag the panel by its background: a point of the read-out display away from any control.
xdotool mousemove 94 190 sleep 0.2 mousemove 100 195 sleep 0.2 mousedown 1
for step in 1 2 3 4 5 6 7 8 9 10; do
    xdotool mousemove $((100 + step * 6)) $((195 + step * 4)) sleep 0.05
done
xdotool mouseup 1
sleep 0.5
check "the panel moved by 60,40" eventually at "$panel" "154,207"
check "the playlist followed below it" eventually at "$playlist" "154,335"
check "the video window followed right of it" eventually at "$video" "449,207"

kill -TERM "$app_pid"
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
wait "$app_pid"
app_pid=""
check "the default list is written back at exit" \
    cmp -s <(printf '%s\r\n' "/movies/第一集.swf" "/movies/second.swf") "$work/home/bin/default.lfl"

echo "--- program output"; cat "$work/out.log"
finish
