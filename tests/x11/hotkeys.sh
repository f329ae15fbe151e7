#!/usr/bin/env bash
# The Esc hot key in a real X server: a double click on the player (through the mouse filter)
# takes the video window to full screen, and Esc pressed with xdotool, as another program's
# keyboard would, brings it back to 400 wide beside the panel. LANFENG_SHOTS=DIR keeps the
# screenshots.
set -uo pipefail
lanfeng=$1
source "$(dirname "$0")/lib.sh"
shots=${LANFENG_SHOTS:-$work}
mkdir -p "$shots"
start_xvfb

mkdir -p "$work/home"
LANFENG_PROGRAM_DIR="$work/home" "$lanfeng" "$work/home/bin/sample.swf" >"$work/out.log" 2>&1 &
app_pid=$!

geometry() {  # geometry WID -> "X Y W H"
    xdotool getwindowgeometry "$1" 2>/dev/null |
        sed -n 's/.*Position: \([-0-9]*\),\([-0-9]*\).*/\1 \2/p; s/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p' |
        tr '\n' ' '
}
shot() { import -window root "$shots/$1.png" 2>/dev/null; }

wait_for_docked_pair
check "the video window and the panel appear" test -n "$video" -a -n "$panel"
sleep 1
read -r vx vy _ _ <<<"$(geometry "$video")"
read -r px py pw _ <<<"$(geometry "$panel")"
check "the video window stands right of the panel" test "$vx $vy" = "$((px + pw)) $py"

# Double click in the middle of the player: full screen.
xdotool mousemove $((vx + 200)) $((vy + 150)) sleep 0.2 click --repeat 2 --delay 60 1
wait_for_size 1280x800
check "a double click on the player goes full screen" test -n "$found"
sleep 0.5
shot fullscreen
read -r fx fy _ _ <<<"$(geometry "${found:-$video}")"
check "full screen starts at the screen's corner" test "$fx $fy" = "0 0"

# Esc goes to the program through its root-window grab, wherever the keyboard focus is.
xdotool key Escape
wait_for_size 400x308
check "Esc brings the video window back to 400x308" test -n "$found"
sleep 0.5
shot docked
read -r vx vy _ _ <<<"$(geometry "${found:-$video}")"
read -r px py pw _ <<<"$(geometry "$panel")"
check "beside the panel again" test "$vx $vy" = "$((px + pw)) $py"
check "no window covers the screen any more" test -z "$(find_window 1280x800)"

# The player still takes double clicks afterwards: full screen once more, Esc once more.
xdotool mousemove $((vx + 200)) $((vy + 150)) sleep 0.2 click --repeat 2 --delay 60 1
wait_for_size 1280x800
check "full screen again after Esc" test -n "$found"
xdotool key Escape
wait_for_size 400x308
check "and back again" test -n "$found"

kill -TERM "$app_pid"
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
wait "$app_pid"
app_pid=""
echo "--- program output"; cat "$work/out.log"
finish
