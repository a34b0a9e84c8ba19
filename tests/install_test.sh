#!/usr/bin/env bash
# The install step and the Windows package hold the three programs.
#
#   install_test.sh install BUILD   cmake --install BUILD puts them, working, in PREFIX/bin
#   install_test.sh package BUILD   the package target of the mingw build BUILD makes a zip
#                                   with the three .exe files and README.txt (a missing
#                                   build is a failure that says how to make it)
set -u
mode=$1
build=$2
source "$(dirname "$0")/check.sh"

if [ "$mode" = install ]; then
  status=0
  cmake --install "$build" --prefix "$work/prefix" >"$work/log" 2>&1 || status=$?
  check "cmake --install: exit $status, wanted 0 ($(tail -1 "$work/log"))" test "$status" -eq 0
  for program in demo-windowed demo-fullscreen demo-snapshot; do
    check "bin/$program installed and executable" test -x "$work/prefix/bin/$program"
  done
  check "the installed demo-snapshot runs" "$work/prefix/bin/demo-snapshot" --help >/dev/null
else
  [ -f "$build/CPackConfig.cmake" ] ||
    fail "no mingw build in $build; run: cmake --preset mingw && cmake --build --preset mingw"
  # The package target writes the zip into the build folder.
  rm -f "$build"/*.zip
  status=0
  cmake --build "$build" --target package >"$work/log" 2>&1 || status=$?
  check "package target: exit $status, wanted 0 ($(tail -1 "$work/log"))" test "$status" -eq 0
  zips=("$build"/*.zip)
  check "one zip made" test -f "${zips[0]}" -a "${#zips[@]}" -eq 1
  check "the zip's programs and README.txt" python3 - "${zips[0]}" <<'PY'
import sys, zipfile
names = {}
with zipfile.ZipFile(sys.argv[1]) as archive:
    for info in archive.infolist():
        names[info.filename.split("/", 1)[-1]] = archive.read(info)
problems = []
for program in ("demo-windowed", "demo-fullscreen", "demo-snapshot"):
    exe = names.get("bin/%s.exe" % program, b"")
    if not exe.startswith(b"MZ"):
        problems.append("bin/%s.exe missing or not a Windows program" % program)
readme = names.get("README.txt", b"").decode("utf-8", "replace")
for program in ("demo-windowed.exe", "demo-fullscreen.exe", "demo-snapshot.exe"):
    if program not in readme:
        problems.append("README.txt does not say how to run " + program)
for problem in problems:
    print("FAIL: " + problem)
print("zip holds: " + " ".join(sorted(names)))
sys.exit(1 if problems else 0)
PY
fi

finish "$mode"
