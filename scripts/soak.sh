#!/usr/bin/env bash
# The long runs: demo-windowed (SDL) on Xvfb for SOAK_SECONDS (default 300)
# and demo-windowed.exe under Wine for WINE_SOAK_SECONDS (default 900),
# resident memory sampled every second. The test command runs the same tests
# for 20 seconds each. The lengths' defaults are the soak preset's.
#
# Under Wine the resident set climbs for about nine minutes while Wine's
# DirectDraw present path touches one 8 MiB block of its own a little more
# each frame, then stays flat; so that run leaves out WINE_SOAK_SETTLE_SECONDS
# (default 600) and holds the rest of it to the usual allowance.
#
#   bash scripts/soak.sh
#   SOAK_SECONDS=900 WINE_SOAK_SECONDS=1200 WINE_SOAK_SETTLE_SECONDS=600 bash scripts/soak.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# The Windows build whose program the Wine soak runs on this kernel.
source scripts/wine_build.sh
cmake --preset "${wine_soak_preset}" >/dev/null
cmake --build --preset "${wine_soak_preset}"
# The soak preset's own build folder (build/soak), so that the long runs never
# stay behind in the debug build's tests.
cmake --preset soak "${wine_cmake_args[@]}" \
  ${SOAK_SECONDS:+"-DDEMO_SOAK_SECONDS=${SOAK_SECONDS}"} \
  ${WINE_SOAK_SECONDS:+"-DDEMO_WINE_SOAK_SECONDS=${WINE_SOAK_SECONDS}"} \
  ${WINE_SOAK_SETTLE_SECONDS:+"-DDEMO_WINE_SOAK_SETTLE_SECONDS=${WINE_SOAK_SETTLE_SECONDS}"} >/dev/null
cmake --build --preset soak
log=$(mktemp)
status=0
ctest --preset soak >"${log}" 2>&1 || status=$?
# The figures: frames, memory samples, and each test's result.
grep -E -- 'frames presented|resident memory|passed|FAIL|Test +#|tests passed' "${log}" || true
rm -f "${log}"
exit "${status}"
