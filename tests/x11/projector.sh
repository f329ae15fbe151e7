#!/usr/bin/env bash
# A projector made by "swf->exe" and a screen saver made by "屏幕保护" from a corpus movie,
# started as their own processes in a real X server; and lanfeng's load-time link to libswfpack.
set -uo pipefail
lanfeng=$1 cli=$2 probe=$3 host_window=$4 saver_host=$5 shots=$6 stub=$7
source "$(dirname "$0")/lib.sh"
movie_src="$(dirname "$0")/../../../shared/corpus/peer/visual/gradient_nonsequential_ratios/test.swf"
if [ ! -f "$movie_src" ]; then echo "no corpus here: skipped"; exit 0; fi
start_xvfb

gone() {  # the process has ended (a zombie no one waits for counts as ended)
    ! kill -0 "$1" 2>/dev/null || ps -o stat= -p "$1" | grep -q Z
}
# Pixels of a and b (same size) further apart than 10 %; prints the count.
differ() { compare -metric AE -fuzz 10% "$1" "$2" null: 2>&1 | cut -d' ' -f1; }

mkdir -p "$work/home/bin" "$work/out"
cp "$movie_src" "$work/movie.swf"
cp "$saver_host" "$work/home/screen.dll"
export LANFENG_SCREENSAVER_DIR="$work/savers"
QT_QPA_PLATFORM=offscreen "$probe" "$work/home" "$work/movie.swf" "$work/out/movie" >"$work/probe.log" 2>&1
check "swf->exe and 屏幕保护 report success" grep -q '转换完毕！存放在.*movie.exe' "$work/probe.log"
check "the screen saver is made" grep -q '屏保已转换成功' "$work/probe.log"
check "the projector can be started" test -x "$work/out/movie.exe"
"$cli" run "$work/movie.swf" --frames 1 --png "$work/stage.png" >/dev/null 2>&1

# The projector: its own process, one window the size of the stage (256x256), the movie in it.
"$work/out/movie.exe" >"$work/projector.log" 2>&1 &
app_pid=$!
stage_window() {
    wid=$(xdotool search --onlyvisible --name '^movie$' 2>/dev/null | head -n 1)
    [ -n "$wid" ] && xdotool getwindowgeometry "$wid" | grep -q 'Geometry: 256x256'
}
check "the projector maps a window of the stage's size" eventually stage_window
draws_movie() {
    local pos
    pos=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/+\1+\2/p')
    import -window root -crop "256x256$pos" +repage "$work/projector.png" 2>/dev/null
    [ "$(differ "$work/projector.png" "$work/stage.png")" -lt 650 ]  # 1 % of the stage
}
check "the projector draws the movie as lanfeng-cli does" eventually draws_movie
import -window root "$shots/projector-shot.png" 2>/dev/null
xdotool mousemove 100 100  # the keys go to the window under the pointer: no window manager
xdotool key ctrl+f
full() { xdotool getwindowgeometry "$wid" | grep -q "Geometry: $1"; }
check "Ctrl+F plays it full screen" eventually full 1280x800
xdotool key Escape
check "Esc leaves full screen" eventually full 256x256
kill "$app_pid"; wait "$app_pid" 2>/dev/null; app_pid=""

# The screen saver as an XScreenSaver hack: drawn into another client's 320x240 window at 50,50,
# scaled to fit (240x240, centred).
"$host_window" 320 240 >"$work/host.txt" &
host_pid=$!
eventually test -s "$work/host.txt"
"$work/savers/movie.scr" -window-id "$(cat "$work/host.txt")" >"$work/saver.log" 2>&1 &
app_pid=$!
convert "$work/stage.png" -resize 240x240 "$work/stage240.png"
draws_in_host() {
    import -window root -crop 240x240+90+50 +repage "$work/saver.png" 2>/dev/null
    [ "$(differ "$work/saver.png" "$work/stage240.png")" -lt 600 ]
}
check "the screen saver draws the movie into the given window" eventually draws_in_host
import -window root "$shots/saver-window-shot.png" 2>/dev/null
xdotool key a
sleep 0.5
check "there it does not quit on a key" kill -0 "$app_pid"
kill "$app_pid" "$host_pid"; wait "$app_pid" "$host_pid" 2>/dev/null; app_pid=""

# Started plainly: over the whole screen, until the first key.
"$work/savers/movie.scr" >"$work/plain.log" 2>&1 &
app_pid=$!
covers() {
    local w
    w=$(xdotool search --onlyvisible --name 'lanfeng screen saver' 2>/dev/null | head -n 1)
    [ -n "$w" ] && xdotool getwindowgeometry "$w" | grep -q 'Geometry: 1280x800'
}
check "the screen saver covers the screen" eventually covers
sleep 1  # its grabs in place
import -window root "$shots/saver-plain-shot.png" 2>/dev/null
xdotool key a
check "the screen saver quits on a key press" eventually gone "$app_pid"
wait "$app_pid" 2>/dev/null; app_pid=""

# The stub alone carries no movie: it says so in one line and fails.
"$stub" >"$work/stub.log" 2>&1
code=$?
check "the bare stub exits non-zero" test "$code" -ne 0
check "saying there is no movie" grep -q 'no movie is attached' "$work/stub.log"

# lanfeng links libswfpack at load time: alone it does not start.
check "ldd names libswfpack" bash -c "ldd '$lanfeng' | grep -q 'libswfpack.so => '"
mkdir -p "$work/alone"
cp "$lanfeng" "$work/alone/"
LANFENG_PROGRAM_DIR="$work/home" timeout 10 "$work/alone/lanfeng" >"$work/alone.log" 2>&1
code=$?
check "without libswfpack.so lanfeng does not start" test "$code" -eq 127
check "and the loader names the library" grep -q 'libswfpack.so' "$work/alone.log"

echo "--- projector"; cat "$work/projector.log"; echo "--- saver"; cat "$work/saver.log" "$work/plain.log"
finish
