#!/usr/bin/env bash
# demo-snapshot from the outside: exit codes, messages, files and CRC lines.
set -u
snapshot=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # description, then a condition that must hold
  local what=$1
  shift
  if ! "$@"; then
    echo "FAIL: $what"
    failures=$((failures + 1))
  fi
}

"$snapshot" --seed 12345 -o "$work/f.png" >"$work/out" 2>"$work/err"
check "png: exit 0" test $? -eq 0
check "png: one CRC line" grep -qxE 'frame 0 crc32 [0-9A-F]{8}' "$work/out"
check "png: PNG signature" bash -c "head -c 8 '$work/f.png' | od -An -tx1 | grep -q '89 50 4e 47 0d 0a 1a 0a'"

"$snapshot" --seed 12345 --frame 10 --count 360 -o "$work/r%03d.raw" >"$work/out"
check "raw: exit 0" test $? -eq 0
check "raw: 360 CRC lines" test "$(grep -cE '^frame [0-9]+ crc32 [0-9A-F]{8}$' "$work/out")" -eq 360
check "raw: numbered from --frame" test -f "$work/r010.raw" -a -f "$work/r369.raw"
check "raw: frame buffer size" test "$(stat -c %s "$work/r010.raw")" -eq 1228800
check "raw: CRC of the file" test "$(sed -n 1p "$work/out" | cut -d' ' -f4)" = \
  "$(python3 -c "import zlib,sys; print('%08X' % zlib.crc32(open(sys.argv[1],'rb').read()))" "$work/r010.raw")"
# Frame 370 is frame 10 a turn later: the same picture.
"$snapshot" --seed 12345 --frame 370 -o "$work/later.raw" >"$work/out2"
check "a turn later: same CRC" test "$(cut -d' ' -f4 "$work/out2")" = "$(sed -n 1p "$work/out" | cut -d' ' -f4)"
# A PNG's CRC covers the frame buffer, so it equals the raw one.
"$snapshot" --seed 12345 --frame 10 -o "$work/same.png" >"$work/out3"
check "png and raw CRC agree" test "$(cut -d' ' -f4 "$work/out3")" = "$(sed -n 1p "$work/out" | cut -d' ' -f4)"

"$snapshot" --seed 1 --count 2 -o "$work/x.png" >"$work/out" 2>"$work/err"
check "bad arguments: exit 2" test $? -eq 2
check "bad arguments: one line on stderr" test "$(wc -l <"$work/err")" -eq 1
check "bad arguments: nothing on stdout" test ! -s "$work/out"

"$snapshot" --seed 1 -o "$work/missing/dir/x.png" >"$work/out" 2>"$work/err"
check "unwritable path: exit 1" test $? -eq 1
check "unwritable path: message names it" grep -q "$work/missing/dir/x.png" "$work/err"

if [ -w /dev/full ]; then
  ln -s /dev/full "$work/full.raw"
  "$snapshot" --seed 1 -o "$work/full.raw" >"$work/out" 2>"$work/err"
  check "full disk: exit 1" test $? -eq 1
  check "full disk: no CRC line for an unwritten frame" test ! -s "$work/out"
  check "full disk: the device is still there" test -c /dev/full
fi
check "no partial files left" test -z "$(find "$work" -name '*.partial')"

echo "snapshot CLI: $failures failure(s)"
[ "$failures" -eq 0 ]
