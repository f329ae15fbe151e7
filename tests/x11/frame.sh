#!/usr/bin/env bash
# The video window's frame in a real X server: the skin around the playing sample movie, moving
# by the frame, resizing by the corner grip, the context menu, full screen and back, the about
# box. LANFENG_SHOTS=DIR keeps the screenshots.
set -uo pipefail
lanfeng=$1
source "$(dirname "$0")/lib.sh"
shots=${LANFENG_SHOTS:-$work}
mkdir -p "$shots"
start_xvfb

# Started with the sample movie as its movie: it plays and the panel's clock runs, which
# offers the playback strip in full screen.
mkdir -p "$work/home"
LANFENG_PROGRAM_DIR="$work/home" "$lanfeng" "$work/home/bin/sample.swf" >"$work/out.log" 2>&1 &
app_pid=$!

wait_for_window
check "the video window appears" test -n "$wid"
sleep 1.5

# The window that holds the player; the panel, the playlist and menus carry the same title.
for w in $(xdotool search --name '岚枫flash播放器' 2>/dev/null); do
    xdotool getwindowgeometry "$w" 2>/dev/null | grep -q 'Geometry: 400x308' && wid=$w
done
geometry() {  # prints "X Y W H" of the video window
    xdotool getwindowgeometry "$wid" 2>/dev/null |
        sed -n 's/.*Position: \([-0-9]*\),\([-0-9]*\).*/\1 \2/p; s/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p' |
        tr '\n' ' '
}
pixel() {  # pixel FILE X Y -> "R,G,B"
    convert "$1" -format '%[fx:int(255*p{'"$2,$3"'}.r)],%[fx:int(255*p{'"$2,$3"'}.g)],%[fx:int(255*p{'"$2,$3"'}.b)]' info: 2>/dev/null
}
is_lime() {  # green well above red and blue
    IFS=, read -r r g b <<<"$1"
    [ "$g" -gt 90 ] && [ "$g" -gt $((r + 40)) ] && [ "$g" -gt $((b + 40)) ]
}
shot() { import -window root "$shots/$1.png" 2>/dev/null; }

read -r x y w h <<<"$(geometry)"
echo "docked at $x,$y ${w}x$h"
check "docked at 389,167, 400x308" test "$x $y $w $h" = "389 167 400 308"
shot docked
convert "$shots/docked.png" -crop 400x308+389+167 +repage "$shots/docked-window.png"
win="$shots/docked-window.png"
# The skin: a lime line runs round the player, the lamps glow, the caption line is lime text
# on its dark well and the title is white.
check "lime line left of the player" is_lime "$(pixel "$win" 15 150)"
check "lime line below the player" is_lime "$(pixel "$win" 200 274)"
check "lime line right of the player" is_lime "$(pixel "$win" 388 150)"
lime_text=$(convert "$win" -crop 290x13+13+284 +repage -fx 'g>0.55 && r<0.45 && b<0.45' -format '%[fx:mean]' info: 2>/dev/null)
check "the caption line is lime text" awk -v s="${lime_text:-0}" 'BEGIN{exit !(s > 0.02)}'
white_text=$(convert "$win" -crop 70x13+165+0 +repage -fx 'r>0.8 && g>0.8 && b>0.8' -format '%[fx:mean]' info: 2>/dev/null)
check "the title is white text" awk -v s="${white_text:-0}" 'BEGIN{exit !(s > 0.03)}'
frame_colours=$(convert "$win" -crop 16x200+0+50 +repage -format '%k' info: 2>/dev/null)
check "the left edge is drawn, not flat" test "${frame_colours:-0}" -gt 4
bg=$(pixel "$win" 200 100)
check "the player shows the movie" test "$bg" != "0,0,0"

# Move by the top edge in a few long jumps: the pressed piece keeps the pointer.
xdotool mousemove $((389 + 100)) $((167 + 8)) mousedown 1
for step in 1 2 3; do xdotool mousemove $((389 + 100 + step * 50)) $((167 + 8 + step * 30)); sleep 0.2; done
xdotool mouseup 1
sleep 0.5
read -r x y w h <<<"$(geometry)"
echo "after the move: $x,$y ${w}x$h"
check "the top edge moves the window by the drag" test "$x $y $w $h" = "539 257 400 308"

# Resize by the corner grip.
xdotool mousemove $((x + w - 6)) $((y + h - 6)) mousedown 1
for step in 1 2 3 4; do xdotool mousemove $((x + w - 6 + step * 40)) $((y + h - 6 + step * 25)); sleep 0.2; done
xdotool mouseup 1
sleep 0.5
read -r x y w h <<<"$(geometry)"
echo "after the resize: $x,$y ${w}x$h"
check "the grip resizes the window" test "$x $y $w $h" = "539 257 560 408"
shot resized

# The player's context menu, then full screen by its first item.
context_menu() {  # context_menu X Y: right-click the player there
    xdotool mousemove "$1" "$2"
    sleep 0.3
    xdotool click 3
    sleep 0.7
}
context_menu $((x + 200)) $((y + 150))
shot menu
xdotool key Down Return
sleep 1
read -r x y w h <<<"$(geometry)"
echo "full screen: $x,$y ${w}x$h"
check "full screen covers the screen" test "$x $y $w $h" = "0 0 1280 800"
shot fullscreen
top=$(xwininfo -root -children 2>/dev/null | grep -m1 '岚枫flash播放器' | awk '{print $1}')
check "full screen lies over the panel and the playlist" test "$((top))" -eq "$wid"
corner=$(pixel "$shots/fullscreen.png" 3 3)
check "full screen shows the movie over the frame" test "$corner" != "0,0,0"

# The playback strip, "显示控制": the fifth visible item in full screen.
context_menu 640 400
xdotool key Down Down Down Down Down Return
sleep 1
shot strip
check "the strip lies along the top" test "$(pixel "$shots/strip.png" 300 0)" = "92,106,119"
check "the strip's buttons are drawn" test "$(pixel "$shots/strip.png" 11 11)" != "$(pixel "$shots/fullscreen.png" 11 11)"
check "the player moved below the strip" test "$(pixel "$shots/strip.png" 640 30)" != "92,106,119"

# Leave by the menu's first visible item, "退出全屏": back beside the panel.
context_menu 640 400
xdotool key Down Return
sleep 1
read -r x y w h <<<"$(geometry)"
echo "left full screen: $x,$y ${w}x$h"
check "leaving full screen docks beside the panel" test "$x $y $w $h" = "389 167 400 308"

# The about box by the menu's last item.
context_menu $((x + 200)) $((y + 150))
xdotool key Up Return
sleep 1
about=$(xdotool search --name '关于' 2>/dev/null | head -n 1)
check "the about box opens" test -n "$about"
shot about

kill -TERM "$app_pid"
wait "$app_pid" 2>/dev/null
app_pid=""
echo "--- program output"; cat "$work/out.log"
finish
