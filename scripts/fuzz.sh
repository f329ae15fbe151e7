#!/usr/bin/env bash
# Runs each fuzz target for the given seconds, seeded from the reference corpus beside the
# repository. A finding is written straight into tests/fuzz/regressions/<target>/, where
# `make test` replays it; the run then goes on with the next target.
# Usage: fuzz.sh BUILD_DIR SECONDS TARGET...
set -uo pipefail
cd "$(dirname "$0")/.."
build=$1 seconds=$2
shift 2
corpus=../shared/corpus
status=0
for t in "$@"; do
  work="$build/fuzz-corpus/$t"
  seeds="$build/fuzz-seeds/$t"
  mkdir -p "$work" "$seeds" "tests/fuzz/regressions/$t"
  if [ -d "$corpus" ] && [ -z "$(ls -A "$seeds")" ]; then
    case $t in
      # The corpus names most of its movies test.swf: each seed is named by its path instead.
      load|render) find "$corpus" -name '*.swf' -size -256k | while read -r f; do
                     cp "$f" "$seeds/$(echo "$f" | md5sum | cut -c1-16).swf"; done ;;
      avm1) find "$corpus" -name '*.swf' -size -16k | head -200 | while read -r f; do
              cp "$f" "$seeds/$(echo "$f" | md5sum | cut -c1-16).swf"; done ;;
      list) printf 'a.swf\r\nb.swf\r\n' > "$seeds/two.lfl" ;;
      trailer) f=$(find "$corpus" -name '*.swf' -size -8k | head -1)
               [ -n "$f" ] && python3 -c 'import sys,struct; d=open(sys.argv[1],"rb").read(); sys.stdout.buffer.write(b"STUB"+d+struct.pack("<II",0xFA123456,len(d)))' "$f" > "$seeds/projector.exe" ;;
    esac
  fi
  echo "== fuzz_$t for ${seconds}s"
  "$build/fuzz_$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=25 \
    -artifact_prefix="tests/fuzz/regressions/$t/" -print_final_stats=1 \
    "$work" "$seeds" 2>&1 | grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY|artifact_prefix|Test unit written)' || true
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
done
exit $status
