#!/usr/bin/env bash
# The player's costs through the real main window, each as a ratio against a floor measured in
# the same run:
#   start-up with a stored folder of 1,000 tracks      vs a minimal Qt 6 window
#   10,000 empty .mp3 files listed in the track list   vs readdir + match + sort
#   idle CPU over 30 s with the window's timers         vs plain Qt timers of the same periods
#   playing a 60 s 192 kbit/s MP3 through the window    vs gst-launch-1.0 playbin (CPU, memory)
#
#   bench/player_bench.sh [build-dir]   (default: build/release; needs the targets
#                                        player_bench and startup_bench)
#
# Uses the PulseAudio server in PULSE_SERVER when one answers, else starts the test fixture's
# server with a null sink for the run. Windows are offscreen unless QT_QPA_PLATFORM says else.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/release}" && pwd)
player_bench="$build/bench/player_bench"
startup_bench="$build/bench/startup_bench"
for bench in "$player_bench" "$startup_bench"; do
  [ -x "$bench" ] || { echo "missing $bench: build it first" >&2; exit 1; }
done
for tool in lame gst-launch-1.0 python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh)" >&2; exit 1; }
done
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

work=$(mktemp -d)
started_pulse=""
cleanup() {
  [ -n "$started_pulse" ] && "$root/scripts/pulse-fixture.sh" stop "$work/pulse" >/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

if ! pactl info >/dev/null 2>&1; then
  "$root/scripts/pulse-fixture.sh" start "$work/pulse" >/dev/null
  export PULSE_SERVER="unix:$work/pulse/native"
  started_pulse=1
fi

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

# Real time (ms) or a counter of one benchmark in a Google Benchmark JSON file.
field() {
  python3 - "$1" "$2" "$3" <<'EOF'
import json, sys
data = json.load(open(sys.argv[1]))
for b in data["benchmarks"]:
    if b["name"].split("/")[0] == sys.argv[2]:
        value = b[sys.argv[3]]
        unit = b.get("time_unit", "ns")
        if sys.argv[3] == "real_time":
            value *= {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[unit]
        print(value)
        break
EOF
}

echo "Start-up with 1,000 tracks, and listing 10,000 tracks"
"$startup_bench" --benchmark_format=json --benchmark_out="$work/startup.json" >/dev/null 2>&1
"$player_bench" --benchmark_filter='BM_Scan|BM_Readdir' --benchmark_format=json \
  --benchmark_out="$work/scan.json" >/dev/null 2>&1
start=$(field "$work/startup.json" BM_StartUpWithThousandTracks real_time)
bare=$(field "$work/startup.json" BM_MinimalQtWindowFloor real_time)
scan=$(field "$work/scan.json" BM_ScanTenThousandTracks real_time)
floor=$(field "$work/scan.json" BM_ReaddirMatchSortFloor real_time)
printf "  start-up %8.2f ms   minimal window %8.2f ms   ratio %s\n" "$start" "$bare" \
  "$(ratio "$start" "$bare")"
printf "  listing  %8.2f ms   readdir+sort   %8.2f ms   ratio %s\n" "$scan" "$floor" \
  "$(ratio "$scan" "$floor")"

echo "Idle CPU over 30 s (two runs of 30 s)"
"$player_bench" --benchmark_filter='BM_Idle' --benchmark_format=json \
  --benchmark_out="$work/idle.json" >/dev/null 2>&1
idle=$(field "$work/idle.json" BM_IdleWindowThirtySeconds cpu_s)
timers=$(field "$work/idle.json" BM_IdleQtTimersFloor cpu_s)
printf "  window %.3f s CPU   Qt timers %.3f s CPU   ratio %s\n" "$idle" "$timers" \
  "$(ratio "$idle" "$timers")"

# 60 s of a stereo chord at 192 kbit/s, so the decoder has real work.
"$root/bench/make_bench_track.sh" "$work/track.mp3"
export WAVLON_BENCH_FILE="$work/track.mp3"

# Runs a command under /usr/bin/time -v; prints "user+system seconds" and "peak KiB".
measure() {
  local name=$1
  shift
  /usr/bin/time -v -o "$work/$name.time" "$@" >/dev/null 2>&1
  awk -F': ' '/User time/ {u=$2} /System time/ {s=$2} /Maximum resident/ {m=$2}
    END {printf "%.2f %d\n", u+s, m}' "$work/$name.time"
}

echo "Playing a 60 s 192 kbit/s MP3"
read -r window_cpu window_mem < <(measure window "$player_bench" \
  --benchmark_filter=BM_PlayThroughWindow)
read -r gst_cpu gst_mem < <(measure gst gst-launch-1.0 -q playbin "uri=file://$work/track.mp3" \
  audio-sink=pulsesink video-sink=fakesink flags=0x12)
printf "  window     %6s s CPU %8s KiB peak\n" "$window_cpu" "$window_mem"
printf "  gst-launch %6s s CPU %8s KiB peak\n" "$gst_cpu" "$gst_mem"
echo "  window / gst-launch: CPU $(ratio "$window_cpu" "$gst_cpu"), memory $(ratio "$window_mem" "$gst_mem")"
