#!/usr/bin/env bash
# The silence between two tracks that follow each other by themselves: two 3 s chords played
# through the real window (the first clicked, the second started by the end of the first),
# recorded from the sink's monitor with parec, beside mpg123 given the same two files.
#
#   bench/gap_bench.sh [build-dir]   (default: build/release; needs bench/player_bench)
#
# Uses the PulseAudio server in PULSE_SERVER when one answers, else starts the test fixture's
# server with a null sink for the run. Figures are medians of GAP_RUNS runs (default 3).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/release}" && pwd)
player_bench="$build/bench/player_bench"
[ -x "$player_bench" ] || { echo "missing $player_bench: build it first" >&2; exit 1; }
for tool in lame mpg123 parec pactl python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh)" >&2; exit 1; }
done
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

. "$root/bench/bench_setup.sh"

"$root/bench/make_bench_track.sh" "$work/first.mp3" 3
"$root/bench/make_bench_track.sh" "$work/second.mp3" 3
monitor="$(pactl get-default-sink).monitor"

# Records the monitor while a command runs; prints the longest silence (ms) between the first
# and the last sound of the recording. The null sink's monitor gives zeros while nothing plays
# (it only suspends after seconds idle), so a pause between two streams shows as silence.
gap_of() {
  # Small fragments, and a second after the player has gone before the recorder is stopped:
  # parec loses what it still buffers when killed.
  parec --latency-msec=20 --device="$monitor" --format=s16le --rate=44100 --channels=2 --raw >"$work/rec.raw" &
  local recorder=$!
  sleep 0.5
  "$@" >/dev/null 2>&1 || true
  sleep 1
  kill "$recorder"
  wait "$recorder" 2>/dev/null || true
  python3 - "$work/rec.raw" <<'PY'
import array, sys
samples = array.array("h", open(sys.argv[1], "rb").read())
# A frame is silent when both channels stay within a few units of zero.
silent = [max(abs(samples[i]), abs(samples[i + 1])) < 64 for i in range(0, len(samples) - 1, 2)]
sound = [i for i, quiet in enumerate(silent) if not quiet]
if not sound:
    print("n/a")
    sys.exit()
longest = run = 0
for quiet in silent[sound[0]:sound[-1] + 1]:
    run = run + 1 if quiet else 0
    longest = max(longest, run)
print("%.1f" % (longest * 1000 / 44100))
PY
}

median() { sort -n | sed -n "$(((${GAP_RUNS:-3} + 1) / 2))p"; }

echo "Gap between two tracks that follow by themselves (median of ${GAP_RUNS:-3} runs each)"
for _ in $(seq 1 "${GAP_RUNS:-3}"); do
  WAVLON_BENCH_FIRST="$work/first.mp3" WAVLON_BENCH_SECOND="$work/second.mp3" \
    gap_of "$player_bench" --benchmark_filter=BM_TwoTracksInARow
done >"$work/window.gaps"
for _ in $(seq 1 "${GAP_RUNS:-3}"); do
  gap_of mpg123 -q -o pulse "$work/first.mp3" "$work/second.mp3"
done >"$work/mpg123.gaps"
printf "  window %8s ms (runs: %s)   mpg123 %8s ms (runs: %s)   target <= 100 ms\n" \
  "$(median <"$work/window.gaps")" "$(tr '\n' ' ' <"$work/window.gaps")" \
  "$(median <"$work/mpg123.gaps")" "$(tr '\n' ' ' <"$work/mpg123.gaps")"
