#!/usr/bin/env bash
# Starts lanfeng in its own Xvfb and checks what a user would see and feel.
set -uo pipefail
lanfeng=$1 cli=$2 probe=$3
source "$(dirname "$0")/lib.sh"
start_xvfb

mkdir -p "$work/home/bin"
echo stub >"$work/home/bin/lfflash.dll"
LANFENG_PROGRAM_DIR="$work/home" QT_LOGGING_RULES="lanfeng.*=true" "$lanfeng" >"$work/out.log" 2>&1 &
app_pid=$!

wait_for_window
check "the video window appears" test -n "$wid"
sleep 1.5  # a few frames of the sample movie

# The program may own other windows with its caption (unmapped, 1x1): read the shown one.
placed() {
    local w
    for w in $(xdotool search --onlyvisible --name '岚枫flash播放器' 2>/dev/null); do
        geometry=$(xdotool getwindowgeometry "$w" 2>/dev/null)
        grep -q 'Position: 389,167' <<<"$geometry" && grep -q 'Geometry: 400x308' <<<"$geometry" &&
            wid=$w && return 0
    done
    return 1
}
eventually placed
echo "$geometry"
check "the window stands at 389,167" grep -q 'Position: 389,167' <<<"$geometry"
check "the window is 400x308" grep -q 'Geometry: 400x308' <<<"$geometry"

# The player area on screen holds the sample movie: compare with the engine's own picture.
"$cli" run "$work/home/bin/sample.swf" --frames 1 --png "$work/stage.png" >/dev/null 2>&1
bg=$(convert "$work/stage.png" -format '%[pixel:p{1,1}]' info: 2>/dev/null)
look() {  # takes the player's picture; sets share (of the movie's background) and colours
    import -window root -crop 372x250+405+191 "$work/player.png" 2>/dev/null
    share=$(convert "$work/player.png" -fill black -fuzz 6% +opaque "$bg" -fill white -opaque "$bg" \
            -format '%[fx:mean]' info: 2>/dev/null)
    colours=$(convert "$work/player.png" -format '%k' info: 2>/dev/null)
}
shows_movie() {  # a loaded machine may take a while to draw the first frames
    look
    awk -v s="${share:-0}" 'BEGIN{exit !(s > 0.3)}' && [ "${colours:-0}" -gt 16 ]
}
eventually shows_movie
echo "background $bg covers ${share:-?} of the player; ${colours:-?} colours"
check "the player shows the movie's background" awk -v s="${share:-0}" 'BEGIN{exit !(s > 0.3)}'
check "the player shows more than a flat fill" test "${colours:-0}" -gt 16

check "another client cannot grab Esc or F10" "$probe"
xdotool key Escape
xdotool key F10
check "Esc reaches the program" eventually grep -q 'hot key 27' "$work/out.log"
check "F10 reaches the program" eventually grep -q 'hot key 121' "$work/out.log"

kill -TERM "$app_pid"
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
wait "$app_pid"
code=$?
app_pid=""
check "SIGTERM ends the program cleanly" test "$code" -eq 0
check "shutdown removed the projector stub" test ! -e "$work/home/bin/lfflash.dll"
check "the hot keys are free again" bash -c "! '$probe' >/dev/null"

echo "--- program output"; cat "$work/out.log"
finish
