#!/usr/bin/env bash
# demo-snapshot from the outside: exit codes, messages, files and CRC lines.
set -u
snapshot=$1
tests=$(dirname "$0")
source "$tests/check.sh"

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
# Read back by a decoder of its own, the picture holds exactly the frame.
check "png decodes to the raw frame" python3 "$tests/png_matches_raw.py" "$work/same.png" "$work/r010.raw"

"$snapshot" --help >"$work/help" 2>"$work/err"
check "help: exit 0" test $? -eq 0
check "help: on stdout only" test -s "$work/help" -a ! -s "$work/err"
for option in --seed --frame --count --format -o --help rgb565; do
  check "help: names $option" grep -q -- "$option" "$work/help"
done

# -o -: frames one after another on stdout, exactly the raw files' bytes; CRC lines on stderr.
# The stream draws every frame from one scene, files two at a time from two.
"$snapshot" --seed 12345 --frame 10 --count 5 -o - >"$work/stream" 2>"$work/err"
check "stream: exit 0" test $? -eq 0
check "stream: the frames' bytes" cmp -s "$work/stream" <(cat "$work/r01"[0-4].raw)
check "stream: CRC lines on stderr" test "$(cat "$work/err")" = "$(sed -n 1,5p "$work/out")"
"$snapshot" --seed 12345 --frame 10 --format rgb565 -o "$work/f565.raw" >/dev/null
"$snapshot" --seed 12345 --frame 10 --format rgb565 -o - >"$work/s565" 2>/dev/null
check "stream: --format bytes as in a file" cmp -s "$work/s565" "$work/f565.raw"
# A reader that stops in frame 2 of 50: exit 1, no message, only frames 0 and 1 reported.
"$snapshot" --seed 1 --count 50 -o - 2>"$work/err" | head -c $((2 * 1228800 + 100)) >/dev/null
check "closed pipe: exit 1" test "${PIPESTATUS[0]}" -eq 1
check "closed pipe: only whole frames reported, quietly" \
  test "$(cut -d' ' -f1-2 "$work/err" | tr '\n' ' ')" = "frame 0 frame 1 "

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
# A write that fails half-way, once the partial file exists: a file-size limit
# (its signal ignored, so the write reports EFBIG). The older file stays as it was.
echo older >"$work/limited.raw"
(trap '' XFSZ && ulimit -f 64 && exec "$snapshot" --seed 1 -o "$work/limited.raw") >"$work/out" 2>"$work/err"
check "file-size limit: exit 1" test $? -eq 1
check "file-size limit: message names the file" grep -q "$work/limited.raw" "$work/err"
check "file-size limit: no CRC line for an unwritten frame" test ! -s "$work/out"
check "file-size limit: the older file is unharmed" test "$(cat "$work/limited.raw")" = older
check "no partial files left" test -z "$(find "$work" -name '*.partial')"

finish "snapshot CLI"
