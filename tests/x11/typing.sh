#!/usr/bin/env bash
# Typing into a movie's input text field in the real window: "ab中" typed with xdotool reaches
# the field and its variable, and the keypad and ";" give Key.getCode() the Flash codes, in the
# window and in the CLI's recorded input alike. LANFENG_SHOTS=DIR keeps the screenshot.
set -uo pipefail
lanfeng=$1
cli=$2
make_movie=$3
source "$(dirname "$0")/lib.sh"
shots=${LANFENG_SHOTS:-$work}
mkdir -p "$shots"
start_xvfb

"$make_movie" "$work/input.swf" || { echo "FAILED: cannot write the movie"; exit 1; }
mkdir -p "$work/home"
LANFENG_PROGRAM_DIR="$work/home" "$lanfeng" "$work/input.swf" >"$work/out.log" 2>&1 &
app_pid=$!
wait_for_window
check "the video window appears" test -n "$wid"
sleep 1.5
wait_for_size 400x308 && wid=$found

# A click on the stage (all of it is the field) gives the player the keyboard.
xdotool windowfocus "$wid" 2>/dev/null
xdotool mousemove --window "$wid" 200 150 click 1
sleep 0.5
xdotool type --delay 100 'ab中'
xdotool key Num_Lock
xdotool key KP_5 semicolon
traced() { grep -qF "trace: $1" "$work/out.log"; }
check "the field's variable holds the typed text" eventually traced 'v=ab中'
check "the keypad's 5 is code 101 in the window" eventually traced 'code 101'
check "';' is code 186 in the window" eventually traced 'code 186'
import -window root "$shots/typing.png" 2>/dev/null

cat >"$work/keys.json" <<'JSON'
[{"type": "KeyDown", "key": {"Numpad": "5"}}, {"type": "KeyUp", "key": {"Numpad": "5"}},
 {"type": "Wait"},
 {"type": "KeyDown", "key": {"Char": ";"}}, {"type": "KeyUp", "key": {"Char": ";"}}]
JSON
QT_QPA_PLATFORM=offscreen "$cli" run "$work/input.swf" --frames 3 --input "$work/keys.json" \
    >"$work/cli.log" 2>&1
check "the keypad's 5 is code 101 in the CLI" grep -qx 'code 101' "$work/cli.log"
check "';' is code 186 in the CLI" grep -qx 'code 186' "$work/cli.log"
[ "$fail" -eq 0 ] || { echo "--- program log"; cat "$work/out.log"; echo "--- cli"; cat "$work/cli.log"; }
finish
