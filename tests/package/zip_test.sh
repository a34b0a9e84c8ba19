#!/usr/bin/env bash
# The Windows zip as a user unpacks it: everything in one folder, and a
# README.txt that Notepad shows line by line and that says what a first-time
# user needs to know.
#
#   zip_test.sh ZIP   the zip `cmake --build --preset mingw --target package` made
set -u
zip=$1
source "$(dirname "$0")/../check.sh"
[ -f "$zip" ] || fail "no $zip; build it with: cmake --preset mingw && cmake --build --preset mingw --target package"
command -v python3 >/dev/null || fail "python3 is missing: install python3 (bash scripts/install-deps.sh)"

python3 - "$zip" <<'PY'
import sys, zipfile
problems = []
with zipfile.ZipFile(sys.argv[1]) as archive:
    names = archive.namelist()
    tops = {name.split("/", 1)[0] for name in names}
    if len(tops) != 1 or not all("/" in name for name in names):
        problems.append("unpacks into more than one place: " + " ".join(sorted(tops)))
    top = sorted(tops)[0]
    try:
        readme = archive.read(top + "/README.txt")
    except KeyError:
        readme = b""
        problems.append("no README.txt in " + top)
lines = readme.split(b"\r\n")
if any(b"\n" in line or b"\r" in line for line in lines) or not readme.endswith(b"\r\n"):
    problems.append("README.txt: a line does not end in CR LF")
if any(byte > 0x7E for byte in readme):
    problems.append("README.txt: bytes beyond ASCII, which old Notepad shows in the wrong code page")
text = readme.decode("ascii", "replace")
# What the text must tell a first-time user, as words it must contain.
for topic, words in [
        ("the programs", ["demo-windowed.exe", "demo-fullscreen.exe", "demo-snapshot.exe"]),
        ("how a demo ends", ["Esc", "close the window"]),
        ("the console window", ["console window"]),
        ("the exit codes", ["Exit codes", "-1 ", "0 ", "1 ", "2 "]),
        ("the processor and DirectDraw", ["SSE2", "DirectDraw", "Windows 95"]),
        ("SmartScreen", ["Windows protected your PC", "More info", "Run anyway"]),
        ("demo-snapshot's use", ["--seed", "--frame", "--count", "--format", "-o PATH", "ffmpeg"])]:
    missing = [word for word in words if word not in text]
    if missing:
        problems.append("README.txt does not tell %s: no %s" % (topic, ", ".join(repr(w) for w in missing)))
for problem in problems:
    print("FAIL: " + problem)
print("zip: %d entries under %s/; README.txt %d lines; %d failure(s)"
      % (len(names), top, len(lines) - 1, len(problems)))
sys.exit(1 if problems else 0)
PY
