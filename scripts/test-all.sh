#!/usr/bin/env bash
# Everything a fresh Debian 12 machine needs to check the project: installs the
# missing packages, builds every configuration and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh all

passed=0
failed=0
failed_stages=()
stage() {
  local name=$1
  shift
  local started=${SECONDS}
  echo "=== ${name}"
  if "$@"; then
    passed=$((passed + 1))
    echo "=== passed in $((SECONDS - started)) s: ${name}"
  else
    failed=$((failed + 1))
    failed_stages+=("${name}")
    echo "=== failed after $((SECONDS - started)) s: ${name}"
  fi
}

# The vector levels a stage's whole-frame tests ran at, and those skipped
# because this processor lacks them (the one skip allowed), from ctest's log.
report_simd_levels() {
  local log="build/$1/Testing/Temporary/LastTest.log" level test reason ran=() failed=() skipped=() absent=()
  [ -f "${log}" ] || return 0
  for level in plain sse2 avx2 avx512; do
    test="EveryLevel/WholeFrames\.MatchTheRecordedTurn/${level^}_"
    if grep -qE "^\[  FAILED  \] ${test}" "${log}"; then failed+=("${level}")
    elif grep -qE "^\[       OK \] ${test}" "${log}"; then ran+=("${level}")
    elif grep -qE "^\[  SKIPPED \] ${test}" "${log}"; then skipped+=("${level}")
    else absent+=("${level}"); fi
  done
  reason=$(grep -m1 -oE 'this processor runs at most [a-z0-9]+' "${log}" || true)
  echo "=== whole frames at levels: passed ${ran[*]:-none}; failed ${failed[*]:-none};" \
    "skipped ${skipped[*]:-none}${reason:+ (${reason})}; not in this build or not run ${absent[*]:-none}"
}

# build_and_test PRESET [CMAKE SETTING...]
build_and_test() {
  local preset=$1 status=0
  shift
  cmake --preset "${preset}" "$@" >/dev/null &&
    cmake --build --preset "${preset}" || return 1
  ctest --preset "${preset}" || status=$?
  report_simd_levels "${preset}"
  return "${status}"
}

# The Windows programs first: the host tests check them and run them under
# Wine. The Wine tests run the 32-bit programs, natively or through the CPU
# emulator that install-deps sets up where this kernel refuses them; where
# neither works, the 64-bit build of the same programs (scripts/wine_build.sh).
# The 64-bit build is made either way and its programs checked (windows.*).
source scripts/wine_build.sh
cross_build() {
  cmake --preset "$1" >/dev/null &&
    cmake --build --preset "$1"
}
echo "=== NOTE: ${wine_route_note}"
stage "Windows cross build (mingw)" cross_build mingw
stage "Windows cross build, 64-bit (mingw64)" cross_build mingw64
wine_stage_note=" (Wine tests on the 32-bit build, ${wine_route})"
[ "${wine_route}" != 64-bit ] || wine_stage_note=" (Wine tests on the 64-bit build)"
stage "host debug build and tests${wine_stage_note}" build_and_test debug "${wine_cmake_args[@]}"
stage "host tests under AddressSanitizer and UndefinedBehaviorSanitizer" build_and_test asan
stage "fuzzing, ${FUZZ_SECONDS:-20} s per target" bash scripts/fuzz.sh
stage "host build without SIMD paths, and tests" build_and_test portable

# The web page, unpacked from its zip, and its frames checked in Chromium,
# Firefox and WebKit.
web_build_and_test() {
  cmake --preset wasm >/dev/null &&
    cmake --build --preset wasm --target all web-zip &&
    bash tests/web/web_e2e.sh build/wasm/torus-demo-web.zip tests/data build/wasm/e2e
}
stage "web page (WebAssembly) in Chromium, Firefox and WebKit" web_build_and_test

# The packages users install, each checked as a user meets it. The Debian
# package's check installs it with apt-get and purges it again.
windows_zip() {
  cmake --build --preset mingw --target package &&
    bash tests/package/zip_test.sh build/mingw/torus-demo-Windows.zip
}
debian_package() {
  rm -f build/release/torus-demo_*.deb
  cmake --preset release >/dev/null &&
    cmake --build --preset release --target package &&
    bash tests/package/deb_test.sh build/release
}
stage "Windows zip: one folder, README.txt" windows_zip
stage "Debian package: lintian, apt-get install, remove" debian_package

# The arm64 build, cross-built: its unit tests, its demo-snapshot against the
# host debug build's and its programs on Xvfb (ctest), then its package against
# the host one the stage before made. Its programs run here only under
# emulation through binfmt_misc (install-deps.sh sets it up): without it the
# stage fails and says why.
arm64_programs_run() {
  local program=build/arm64/tools/demo-snapshot binfmt=/proc/sys/fs/binfmt_misc error why
  error=$("${program}" --help 2>&1 >/dev/null) && return 0
  if [ ! -e "${binfmt}/register" ]; then why="binfmt_misc is not mounted on ${binfmt}"
  elif ! grep -qx enabled "${binfmt}/status"; then why="binfmt_misc is switched off (${binfmt}/status)"
  else why="no binfmt_misc entry runs them (entries: $(ls "${binfmt}" | grep -vxE 'register|status' | tr '\n' ' '))"; fi
  echo "=== the arm64 programs do not run here: ${why}; ${program}: ${error:-exit code not 0}." \
    "bash scripts/install-deps.sh --emulate aarch64 sets up their emulation" >&2
  return 1
}
arm64_build_and_test() {
  local status=0
  cmake --preset arm64 >/dev/null &&
    cmake --build --preset arm64 &&
    arm64_programs_run || return 1
  ctest --preset arm64 || status=$?
  report_simd_levels arm64
  rm -f build/arm64/torus-demo_*.deb
  cmake --build --preset arm64 --target package &&
    bash tests/package/deb_cross_test.sh build/arm64 build/release || status=1
  return "${status}"
}
stage "arm64 build (cross-built), its tests and its package under emulation" arm64_build_and_test

if [ "${wine_route}" = 64-bit ]; then
  echo "=== The Wine tests ran against the 64-bit Windows build (${wine_preset}): this kernel runs no 32-bit programs and no emulator is set up for them"
else
  echo "=== The Wine tests ran the 32-bit Windows programs (mingw), ${wine_route}"
fi
[ "${failed}" -eq 0 ] || echo "=== failed: ${failed_stages[*]}"
echo "stages: ${passed} passed, ${failed} failed"
[ "${failed}" -eq 0 ]
