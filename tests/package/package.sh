#!/usr/bin/env bash
# Builds the Debian package into a scratch folder, checks it with lintian and runs what it
# holds from a dpkg -x tree: lanfeng-cli info on a corpus movie and the thumbnailer's own
# command line.
set -uo pipefail
build=$1
make_frames=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
pass=0
check() {  # check NAME COMMAND...
    if "${@:2}"; then pass=$((pass + 1)); echo "ok: $1"; else fail=$((fail + 1)); echo "FAILED: $1"; fi
}

(cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/lanfeng_*.deb 2>/dev/null | head -n 1)
check "cpack makes a package" test -n "$deb"
[ -n "$deb" ] || { echo "$pass passed, $fail failed"; exit 1; }

if command -v lintian >/dev/null; then
    lintian "$deb" >"$work/lintian.log" 2>&1
    cat "$work/lintian.log"
    check "lintian reports no error" bash -c "! grep -q '^E:' '$work/lintian.log'"
else
    echo "lintian is not installed: the package is not linted"
fi

depends=$(dpkg-deb -f "$deb" Depends)
check "dependencies come from the libraries" bash -c "grep -q libqt6widgets6 <<<'$depends'"
for f in usr/bin/lanfeng usr/bin/lanfeng-cli usr/lib/lanfeng/libswfpack.so \
    usr/lib/lanfeng/screen.dll usr/lib/lanfeng/lanfeng-projector \
    usr/share/applications/lanfeng.desktop usr/share/mime/packages/lanfeng-swf.xml \
    usr/share/icons/hicolor/48x48/apps/lanfeng.png usr/share/thumbnailers/lanfeng.thumbnailer; do
    check "the package holds $f" bash -c "dpkg-deb -c '$deb' | grep -q ' \./$f\$'"
done

root="$work/root"
dpkg -x "$deb" "$root"
check "the program finds its library in the package's private folder" \
    bash -c "ldd '$root/usr/bin/lanfeng' | grep -q '$root/usr/bin/../lib/lanfeng/libswfpack.so'"
check "the desktop entry starts the installed program" \
    grep -qx 'Exec=lanfeng %f' "$root/usr/share/applications/lanfeng.desktop"

movie=""
for candidate in ../shared/corpus/peer/from_gnash/misc-ming.all/BitmapDataDraw/test.swf \
    ../../shared/corpus/peer/from_gnash/misc-ming.all/BitmapDataDraw/test.swf; do
    [ -f "$build/$candidate" ] && movie="$build/$candidate" && break
done
if [ -z "$movie" ]; then
    echo "no corpus here: a movie of our own stands in"
    movie="$work/frames.swf"
    "$make_frames" "$movie" 30 24 >/dev/null
fi
check "the extracted lanfeng-cli reads a movie" \
    bash -c "'$root/usr/bin/lanfeng-cli' info '$movie' | grep -q '^frame count:'"

# The thumbnailer's Exec line, with the extracted CLI in place of the installed one.
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/thumbnailers/lanfeng.thumbnailer")
exec_line=${exec_line//%i/\'$movie\'}
exec_line=${exec_line//%o/\'$work/thumb.png\'}
exec_line=${exec_line//%s/128}
check "the thumbnailer runs" bash -c "PATH='$root/usr/bin':\$PATH $exec_line"
size=$(identify -format '%w %h' "$work/thumb.png" 2>/dev/null)
read -r w h <<<"$size"
check "the thumbnail fits 128 px" test "${w:-0}" -le 128 -a "${h:-0}" -le 128 -a \
    \( "${w:-0}" -eq 128 -o "${h:-0}" -eq 128 \)
colours=$(convert "$work/thumb.png" -format '%k' info: 2>/dev/null)
check "the thumbnail is not blank ($colours colours)" test "${colours:-0}" -gt 1

echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
