#!/usr/bin/env bash
# demo-fullscreen.exe under Wine, end to end.
#
#   fullscreen_e2e.sh spin DEPTH EXE FRAME_MATCH
#       on a 640 x 480 screen of DEPTH bits the program takes the deepest
#       display mode the screen allows and fills the whole screen with the
#       spinning torus, every pixel exactly as the converter for that mode
#       writes it; another key changes nothing; Esc restores the display mode
#       and ends it with exit code 0.
#         DEPTH 24: the 32-bit mode is taken at once, converter rgb32;
#         DEPTH 16: 32 bits are refused. 32-bit Wine refuses 24 too, and 16
#           is taken, converter rgb565; 64-bit Wine takes 24, converter
#           rgb24, and shows the frames on the 5-6-5 screen itself.
#   fullscreen_e2e.sh no-ddraw EXE
#       with DirectDraw unavailable it ends at once with exit code -1 (255 as
#       Wine reports it)
#
# Wine cannot change the size of an Xvfb screen, so the screen is made 640 x 480
# and the mode switch only chooses the depth. Which modes were asked for, and
# the pixel format the program was given, come from Wine's DirectDraw trace.
# FRAME_MATCH is the frame-match tool; environment: see windows_program.sh.
set -euo pipefail
# shellcheck source=tests/wine/windows_program.sh
source "$(dirname "$0")/windows_program.sh"

readonly kDumps=3

# The window is made 0 x 0 and only exclusive mode sizes it to the screen, a
# moment after it can first be seen.
expect_whole_screen() {
  local window=$1 geometry waited=0
  while geometry=$(geometry "${window}") && [ "${geometry}" != "0 0 640 480" ]; do
    [ "${waited}" -lt 100 ] || fail "the window covers ${geometry} 10 s after it appeared, not the whole screen"
    expect_running "before its window covered the screen"
    sleep 0.1
    waited=$((waited + 1))
  done
  [ "${geometry}" = "0 0 640 480" ] || fail "the window's geometry cannot be read"
  note "the window covers the whole screen"
}

uptime_seconds() { "${frame_match}" uptime | cut -d. -f1; }

# The seeds the program can have drawn, likeliest first: it seeds with the
# whole seconds of uptime right after its window is up, so just before or just
# after the window was seen. Arguments: the uptime at its start, when its
# window was seen, and after the dumps.
likely_seeds() {
  local started=$1 seen=$2 dumped=$3 seed seeds=("$2")
  [ "${seen}" -le "${started}" ] || seeds+=("$((seen - 1))")
  for ((seed = seen + 1; seed <= dumped; seed++)); do seeds+=("${seed}"); done
  for ((seed = seen - 2; seed >= started; seed--)); do seeds+=("${seed}"); done
  (
    IFS=,
    echo "${seeds[*]}"
  )
}

# Keeps the trace lines that tell which display modes and surfaces were asked
# for and the pixel format of the first locked back buffer, and the restore of
# the display mode at the end; drops the rest of the trace (every further lock
# and flip). Prints how many flips there were.
keep_mode_trace() {
  local err=${program_err}
  awk '/ddraw_surface1_Lock/ { locks++ }
       locks < 2 && /SetDisplayMode|CreateSurface|GetPixelFormat|_Lock|DDSD_PIXELFORMAT|DDSD_BACKBUFFERCOUNT/
       /RestoreDisplayMode/' "${err}" >"${shot_dir}/ddraw-trace.txt"
  grep -c 'ddraw_surface1_Flip' "${err}" || true
  grep -v ':trace:' "${err}" >"${err}.rest" || true
  mv "${err}.rest" "${err}"
}

# Checks the modes asked for (bits per pixel, in order), that one surface was
# asked for, a chain with two back buffers, and the pixel format of the back
# buffer the frames are converted into (the primary's, which chooses the
# converter, is not traced): expect_mode_trace "32 24 16" "RGB bits: 16, R 0x0000f800 ..."
expect_mode_trace() {
  local wanted_modes=$1 wanted_format=$2 trace=${shot_dir}/ddraw-trace.txt modes surfaces format
  modes=$(grep -o 'ddraw1_SetDisplayMode iface .*bpp [0-9]*' "${trace}" | awk '{ print $NF }' | xargs)
  [ "${modes}" = "${wanted_modes}" ] || fail "display modes asked for: '${modes}', wanted '${wanted_modes}'"
  surfaces=$(awk '/ddraw1_CreateSurface/ { asked++ } asked && /DDSD_BACKBUFFERCOUNT/ && !count { count = $NF }
                  END { print asked + 0, count }' "${trace}")
  [ "${surfaces}" = "1 2" ] || fail "surfaces asked for and back buffers of the first: '${surfaces}', wanted '1 2'"
  format=$(awk '/ddraw_surface1_Lock/ { locked = 1 } locked && /DDSD_PIXELFORMAT/ { print; exit }' "${trace}" |
    sed 's/.*( DDPF_RGB , //; s/)$//')
  [ "${format}" = "${wanted_format}" ] || fail "pixel format given: '${format}', wanted '${wanted_format}'"
  grep -q 'ddraw1_RestoreDisplayMode' "${trace}" || fail "the display mode was not restored"
  note "modes asked for: ${modes}; a chain with 2 back buffers; back buffer format: ${format};" \
    "display mode restored"
}

scenario_spin() {
  local depth=$1 exe=$2 format modes pixel_format window started seen dumped i flips matches
  frame_match=$3
  case "${depth}" in
    24)
      format=rgb32 modes="32"
      pixel_format="RGB bits: 32, R 0x00ff0000 G 0x0000ff00 B 0x000000ff"
      ;;
    16)
      # The screen dumps are in the screen's layout whatever the mode.
      format=rgb565
      if [ "${kWindowsBits}" -eq 64 ]; then
        modes="32 24"
        pixel_format="RGB bits: 24, R 0x00ff0000 G 0x0000ff00 B 0x000000ff"
      else
        modes="32 24 16"
        pixel_format="RGB bits: 16, R 0x0000f800 G 0x000007e0 B 0x0000001f"
      fi
      ;;
    *) fail "no screen depth ${depth} in this test" ;;
  esac
  start_xvfb "640x480x${depth}"
  note "X visual: $(x_tool visual)"

  started=$(uptime_seconds)
  WINEDEBUG=-all,trace+ddraw start_windows_program "${exe}"
  window=$(window_titled "${kTitle}" "${kStartSeconds}")
  seen=$(uptime_seconds)
  expect_whole_screen "${window}"
  # Nothing is drawn until the window system has made the program the active
  # application.
  wait_for_torus 0 0 640 480 torus
  expect_spinning spin
  for ((i = 1; i <= kDumps; i++)); do
    x_tool dump 0 0 640 480 "${work}/screen${i}.raw"
    sleep 0.2
  done
  dumped=$(uptime_seconds)
  expect_keys 320 240

  flips=$(keep_mode_trace)
  note "${flips} flips traced"
  [ "${flips}" -gt 0 ] || fail "no flip in the trace"
  expect_mode_trace "${modes}" "${pixel_format}"

  # One dump may catch the screen while a flip is being shown; one exact match
  # is proof enough that the whole frame went through the right converter.
  local seeds
  seeds=$(likely_seeds "${started}" "${seen}" "${dumped}")
  note "looking for the screen among the ${format} frames of seeds ${seeds}"
  (cd "${work}" && "${frame_match}" find "${format}" "${seeds}" screen*.raw) \
    >"${shot_dir}/frame-match.txt" || true
  matches=$(grep -cE '^screen[0-9]+\.raw seed [0-9]+ frame [0-9]+$' \
    "${shot_dir}/frame-match.txt" || true)
  cat "${shot_dir}/frame-match.txt" >&2
  if [ "${matches}" -eq 0 ]; then
    cp "${work}"/screen*.raw "${shot_dir}/"
    fail "no screen dump equals a ${format} frame of the demo (dumps kept in ${shot_dir})"
  fi
  note "${matches} of ${kDumps} screen dumps equal a ${format} frame"
}

case "${1:-}" in
  spin) scenario_spin "$2" "$3" "$4" ;;
  no-ddraw) expect_no_ddraw_exit "$2" 640x480x24 ;;
  *)
    echo "usage: fullscreen_e2e.sh spin DEPTH EXE FRAME_MATCH | no-ddraw EXE" >&2
    exit 2
    ;;
esac
note "passed"
