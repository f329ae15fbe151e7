#!/usr/bin/env bash
# Desktop play in a real X server with a compositor (xcompmgr) over a red window: the layer
# shows movie and window blended at alpha 125, a real click on it reaches the window below,
# and the bar's button docks the windows again. Then full screen from the panel's button over
# the nine-grid, and "文件关联" with a data folder that cannot be made, which shows the failure
# with its reason. LANFENG_SHOTS=DIR keeps the screenshots.
set -uo pipefail
lanfeng=$1
make_frames=$2
click_target=$3
source "$(dirname "$0")/lib.sh"
shots=${LANFENG_SHOTS:-$work}
mkdir -p "$shots"
start_xvfb

xcompmgr >"$work/xcompmgr.log" 2>&1 &
compositor_pid=$!
"$click_target" ff0000 >"$work/clicks.log" 2>&1 &
target_pid=$!
trap 'kill $compositor_pid $target_pid 2>/dev/null; cleanup' EXIT
eventually grep -q ready "$work/clicks.log"

mkdir -p "$work/home" "$work/user"
movie_colour=$("$make_frames" "$work/home/m.swf" 1 24 | sed -n 's/^0 //p')
# The user's data folder lies below a plain file: no one can make it, root included.
echo x >"$work/user/blocked"
HOME="$work/user" XDG_DATA_HOME="$work/user/blocked/data" XDG_CONFIG_HOME="$work/user/config" \
    LANFENG_PROGRAM_DIR="$work/home" "$lanfeng" "$work/home/m.swf" >"$work/out.log" 2>&1 &
app_pid=$!

position() { xdotool getwindowgeometry "$1" | sed -n 's/.*Position: \([-0-9]*\),\([-0-9]*\).*/\1 \2/p'; }
shot() { import -window root "$shots/$1.png" 2>/dev/null; }
pixel() {  # pixel FILE X Y -> "R,G,B"
    convert "$1" -format '%[fx:int(255*p{'"$2,$3"'}.r+0.5)],%[fx:int(255*p{'"$2,$3"'}.g+0.5)],%[fx:int(255*p{'"$2,$3"'}.b+0.5)]' info: 2>/dev/null
}
near() {  # near "R,G,B" "R,G,B": every channel within 4
    local a b i
    IFS=, read -ra a <<<"$1"
    IFS=, read -ra b <<<"$2"
    for i in 0 1 2; do
        [ "${a[$i]:-x}" != x ] && [ "${b[$i]:-x}" != x ] || return 1
        [ $(( ${a[$i]} - ${b[$i]} )) -le 4 ] && [ $(( ${b[$i]} - ${a[$i]} )) -le 4 ] || return 1
    done
}
panel_menu() {  # panel_menu N: right-click the panel and take the N-th visible item
    xdotool mousemove $((px + 200)) $((py + 70)) sleep 0.3 click 3 sleep 0.7
    xdotool key $(printf 'Down %.0s' $(seq "$1")) Return
    sleep 1.5
}

wait_for_docked_pair
check "the windows appear" test -n "$video" -a -n "$panel"
sleep 1
read -r vx vy <<<"$(position "$video")"
read -r px py <<<"$(position "$panel")"

# "桌面播放", the eighth item shown in the panel's menu.
panel_menu 8
wait_for_size 1280x743
layer=$found
check "the layer runs from the bar to 25 px above the bottom" test -n "$layer"
check "the layer's top is the bar's bottom" test "$(position "${layer:-$video}")" = "0 32"
sleep 2
shot deskplay
IFS=, read -r mr mg mb <<<"$movie_colour"
blend="$(( (125 * mr + 130 * 255 + 127) / 255 )),$(( (125 * mg + 127) / 255 )),$(( (125 * mb + 127) / 255 ))"
seen=$(pixel "$shots/deskplay.png" 640 400)
echo "movie $movie_colour over red at alpha 125: expected $blend, seen $seen"
check "the layer blends movie and window at alpha 125" near "$seen" "$blend"
check "the panel and the playlist are hidden" test -z "$(find_window 295x128)"

xdotool mousemove 640 400 sleep 0.3 click 1 sleep 0.5
check "a click on the layer reaches the window below" eventually grep -q "press 1 640 400" "$work/clicks.log"

# The bar's "退出桌面播放" at 896, 2 (97 x 25).
xdotool mousemove $((896 + 48)) 14 sleep 0.3 click 1
wait_for_size 400x308
check "leaving docks the video window 400 wide" test -n "$found"
wait_for_size 295x128
check "the panel is back" test -n "$found"
read -r px py <<<"$(position "$found")"
sleep 1
shot after-deskplay
opaque=$(pixel "$shots/after-deskplay.png" $((px + 295 + 200)) $((py + 150)))
check "the video window is opaque again" near "$opaque" "$movie_colour"

# "九格预览" from the player's menu, then the panel's full-screen button (the tenth).
wait_for_size 400x308
read -r vx vy <<<"$(position "$found")"
xdotool mousemove $((vx + 200)) $((vy + 150)) sleep 0.3 click 3 sleep 0.7
xdotool key Down Down Down Down Down Down Down Return
sleep 1.5
xdotool mousemove $((px + 24 + 9 * 24 + 11)) $((py + 109)) sleep 0.3 click 1
wait_for_size 1280x800
check "the panel's button takes the video window to full screen" test -n "$found"
sleep 1.5
shot fullscreen-grid
# Cells of 423 x 263 at lefts 0, 428, 856 and tops 0, 268, 536: the middle of cell 5 shows
# the movie, the gap between cells 4 and 5 does not.
check "a cell shows the movie" near "$(pixel "$shots/fullscreen-grid.png" 640 400)" "$movie_colour"
check "5 px gaps part the cells" bash -c "! [ '$(pixel "$shots/fullscreen-grid.png" 425 400)' = '$movie_colour' ]"
xdotool key Escape
wait_for_size 400x308
check "Esc docks the video window again" test -n "$found"
sleep 1

# "文件关联", the seventh item: the data folder cannot be made, and the box says why.
panel_menu 7
sleep 1
shot association
check "the failure box is shown" bash -c "xdotool search --onlyvisible --name '岚枫flash播放器' | wc -l | grep -qv '^3$'"
xdotool key Return
sleep 0.5

kill -TERM "$app_pid"
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
wait "$app_pid"
app_pid=""
echo "--- program output"; cat "$work/out.log"
finish
