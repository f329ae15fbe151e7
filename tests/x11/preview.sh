#!/usr/bin/env bash
# The two previews in a real X server. "九格预览" chosen from the real context menu lays nine
# cells over the player, each showing the last frame of its ninth of the movie; a real double
# click on a cell returns to the single view at that cell's frame; "清单预览" shows the
# playlist with its page bar. LANFENG_SHOTS=DIR keeps the screenshots.
set -uo pipefail
lanfeng=$1
make_frames=$2
source "$(dirname "$0")/lib.sh"
shots=${LANFENG_SHOTS:-$work}
mkdir -p "$shots"
start_xvfb

# 90 frames, one every four seconds: the single view stays on the cell's frame long enough
# to be seen there.
home="$work/home"
mkdir -p "$home/bin"
"$make_frames" "$home/movie.swf" 90 0.25 >"$work/colours.txt"
colour() { awk -v k="$1" '$1 == k { print $2 }' "$work/colours.txt"; }
# Twelve one-frame entries of different colours: a full first page and the page bar.
: >"$home/bin/default.lfl"
for i in $(seq 1 12); do
    "$make_frames" "$home/entry$i.swf" 1 12 $((100 + 7 * i)) >"$work/entry$i.txt"
    printf '%s\r\n' "$home/entry$i.swf" >>"$home/bin/default.lfl"
done

LANFENG_PROGRAM_DIR="$home" "$lanfeng" "$home/movie.swf" >"$work/out.log" 2>&1 &
app_pid=$!
wait_for_window
check "the video window appears" test -n "$wid"
for _ in $(seq 50); do
    for w in $(xdotool search --name '岚枫flash播放器' 2>/dev/null); do
        xdotool getwindowgeometry "$w" 2>/dev/null | grep -q 'Geometry: 400x308' && found=$w
    done
    [ -n "${found:-}" ] && break
    sleep 0.1
done
wid=${found:-$wid}
read -r X Y <<<"$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Position: \([-0-9]*\),\([-0-9]*\).*/\1 \2/p')"
echo "video window at $X,$Y"
pixel() {  # pixel FILE X Y (window coordinates) -> "R,G,B"
    local x=$((X + $2)) y=$((Y + $3))
    convert "$1" -format '%[fx:int(255*p{'"$x,$y"'}.r+0.5)],%[fx:int(255*p{'"$x,$y"'}.g+0.5)],%[fx:int(255*p{'"$x,$y"'}.b+0.5)]' info: 2>/dev/null
}
shot() { import -window root "$shots/$1.png" 2>/dev/null; }
menu_item() {  # menu_item N: right-click the player and take the N-th visible item
    xdotool mousemove $((X + 200)) $((Y + 150))
    sleep 0.3
    xdotool click 3
    sleep 0.7
    xdotool key $(printf 'Down %.0s' $(seq "$1")) Return
    sleep 1.5
}
# Its first frame, or on a slow machine the second (each lasts four seconds).
frame0=$(colour 0) frame1=$(colour 1)
early_frame() { local p; p=$(pixel "$shots/single.png" 200 150); [ "$p" = "$frame0" ] || [ "$p" = "$frame1" ]; }
shows_early_frame() { shot single; early_frame; }  # a fresh screenshot on every try
eventually shows_early_frame
check "the movie plays in the single view" early_frame

# The main player is 372 x 250 at (16, 24): cells of 120 x 80 at lefts 16, 141, 266 and tops
# 24, 109, 194, 5 pixels apart. "九格预览" is the seventh item shown.
menu_item 7
shot nine-grid
lefts=(16 141 266)
tops=(24 109 194)
for n in $(seq 1 9); do
    l=${lefts[$(((n - 1) % 3))]}
    t=${tops[$(((n - 1) / 3))]}
    frame=$(((90 / 9) * (n - 1) - 1))
    [ "$n" -eq 1 ] && frame=0
    want=$(colour "$frame")
    check "cell $n shows frame $frame" test "$(pixel "$shots/nine-grid.png" $((l + 60)) $((t + 40)))" = "$want"
    check "cell $n starts at $l,$t" test "$(pixel "$shots/nine-grid.png" "$l" "$t")" = "$want"
    check "cell $n ends at $((l + 119)),$((t + 79))" \
        test "$(pixel "$shots/nine-grid.png" $((l + 119)) $((t + 79)))" = "$want"
    check "left of cell $n is dark" test "$(pixel "$shots/nine-grid.png" $((l - 1)) $((t + 40)))" != "$want"
    check "above cell $n is dark" test "$(pixel "$shots/nine-grid.png" $((l + 60)) $((t - 1)))" != "$want"
done
check "the gap between columns is empty" test "$(pixel "$shots/nine-grid.png" 138 60)" = "0,0,0"
check "the gap between rows is empty" test "$(pixel "$shots/nine-grid.png" 60 106)" = "0,0,0"

# A real double click on cell 05 (frame 39): the single view, at that frame.
xdotool mousemove $((X + 141 + 60)) $((Y + 109 + 40))
sleep 0.3
xdotool click --repeat 2 --delay 60 1
sleep 1
shot back-to-single
want=$(colour 39)
check "the single view shows cell 05's frame" test "$(pixel "$shots/back-to-single.png" 200 150)" = "$want"
check "the single view covers the gaps" test "$(pixel "$shots/back-to-single.png" 138 60)" = "$want"

# "清单预览": leaving the grid showed "显示控制", so it is now the ninth item. Entries 1 to 9
# on the first page, the page bar over them.
menu_item 9
shot list-preview
for n in $(seq 1 9); do
    l=${lefts[$(((n - 1) % 3))]}
    t=${tops[$(((n - 1) / 3))]}
    want=$(awk '{ print $2 }' "$work/entry$n.txt")
    # The page bar lies over the top row's upper half; the middles stay clear.
    check "list cell $n shows entry $n" test "$(pixel "$shots/list-preview.png" $((l + 60)) $((t + 40)))" = "$want"
done
crop=$(convert "$shots/list-preview.png" -crop 105x22+$((X + 8 + 54))+$((Y + 32 + 3)) +repage \
    -fx 'g>0.55 && r<0.45 && b<0.45' -format '%[fx:mean]' info: 2>/dev/null)
check "the page bar reads its page in lime" awk -v s="${crop:-0}" 'BEGIN{exit !(s > 0.02)}'

kill -TERM "$app_pid"
wait "$app_pid" 2>/dev/null
app_pid=""
echo "--- program output"; cat "$work/out.log"
finish
