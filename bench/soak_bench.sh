#!/usr/bin/env bash
# Plays a folder of 500 one-second tracks end to end through the real main window (the player
# moves from each track to the next by itself) and prints the process's memory, open file
# descriptors and threads after the first 50 tracks and at the end.
#
#   bench/soak_bench.sh [build-dir] [tracks]   (default: build/release, 500; takes ~10 minutes)
#
# Uses the PulseAudio server in PULSE_SERVER when one answers, else starts the test fixture's
# server with a null sink for the run. Windows are offscreen unless QT_QPA_PLATFORM says else.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/release}" && pwd)
tracks=${2:-500}
soak_bench="$build/bench/soak_bench"
[ -x "$soak_bench" ] || { echo "missing $soak_bench: build it first" >&2; exit 1; }
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

. "$root/bench/bench_setup.sh"

mkdir -p "$work/music"
"$root/bench/make_bench_track.sh" "$work/one.mp3" 1
for i in $(seq -w 1 "$tracks"); do
  cp "$work/one.mp3" "$work/music/track $i.mp3"
done
export WAVLON_SOAK_FOLDER="$work/music"

echo "Playing $tracks one-second tracks end to end through the window"
"$soak_bench" --benchmark_format=json --benchmark_out="$work/soak.json" >/dev/null 2>&1 || true
python3 - "$work/soak.json" <<'EOF'
import json, sys
result = json.load(open(sys.argv[1]))["benchmarks"][0]
if result.get("error_occurred"):
    print("  failed:", result.get("error_message"))
    sys.exit(1)
print("  tracks played %d in %.0f s" % (result["tracks"], result["real_time"]))
print("  memory   after 50 tracks %.1f MiB, at the end %.1f MiB, growth %.2f MiB (target <= 5)"
      % (result["rss_after_50_kib"] / 1024, result["rss_end_kib"] / 1024,
         result["rss_growth_kib"] / 1024))
print("  file descriptors after 50 tracks %d, at the end %d"
      % (result["fds_after_50"], result["fds_end"]))
print("  threads  after 50 tracks %d, at the end %d"
      % (result["threads_after_50"], result["threads_end"]))
EOF
