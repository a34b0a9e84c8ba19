# shellcheck shell=bash
# Resident-memory sampling for the soak tests (source it).

rss_samples=()

# sample_memory PID SECONDS: the process's resident set in KiB, once a second,
# also appended to DEMO_RSS_LOG when it is set (one figure per line).
# Returns 1 if the process ends before the time is up.
sample_memory() {
  local pid=$1 seconds=$2 rss
  for _ in $(seq "${seconds}"); do
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/${pid}/status" 2>/dev/null) || return 1
    [ -n "${rss}" ] || return 1
    rss_samples+=("${rss}")
    [ -z "${DEMO_RSS_LOG:-}" ] || echo "${rss}" >>"${DEMO_RSS_LOG}"
    sleep 1
  done
}

# The first few seconds are start-up (libraries, X buffers, first frames);
# after them the resident set may wobble by a little but must not climb.
# DEMO_SOAK_SETTLE_SECONDS lengthens the start-up allowed (default 5),
# DEMO_SOAK_ALLOWANCE_KIB the growth allowed after it (default 2048).
expect_flat_memory() {
  local count=${#rss_samples[@]} settle=${DEMO_SOAK_SETTLE_SECONDS:-5} allowance_kib=${DEMO_SOAK_ALLOWANCE_KIB:-2048}
  [ "${count}" -gt $((settle + 1)) ] || fail "too few memory samples (${count})"
  local baseline=${rss_samples[${settle}]} last=${rss_samples[$((count - 1))]} peak=0 sample
  for sample in "${rss_samples[@]:${settle}}"; do
    [ "${sample}" -le "${peak}" ] || peak=${sample}
  done
  note "resident memory: ${rss_samples[0]} KiB at start, ${baseline} KiB after ${settle} s," \
    "${last} KiB at the end, peak ${peak} KiB (${count} samples)"
  local quarter=$(((count - settle) / 4))
  note "resident memory by quarter of the run: ${rss_samples[$((settle + quarter))]}" \
    "${rss_samples[$((settle + 2 * quarter))]} ${rss_samples[$((settle + 3 * quarter))]} ${last} KiB"
  [ $((last - baseline)) -le "${allowance_kib}" ] ||
    fail "resident memory grew by $((last - baseline)) KiB after start-up (${allowance_kib} allowed)"
}
