#!/usr/bin/env bash
# Playback cost: CPU time and peak memory of playing one 60-second 192 kbit/s MP3 through the
# media player device, beside gst-launch-1.0 (playbin) and mpg123 on the same file and sound
# server, with ratios; then the open-to-playing latency of a local file.
#
#   bench/media_bench.sh [build-dir]     (default: build/release; needs bench/media_play_bench)
#
# Uses the PulseAudio server in PULSE_SERVER when one answers, else starts the test fixture's
# server with a null sink for the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/release}" && pwd)
bench="$build/bench/media_play_bench"
[ -x "$bench" ] || { echo "missing $bench: build the media_play_bench target" >&2; exit 1; }
for tool in lame mpg123 gst-launch-1.0 python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh)" >&2; exit 1; }
done

. "$root/bench/bench_setup.sh"

# 60 s of a stereo chord at 192 kbit/s, so the decoder has real work.
"$root/bench/make_bench_track.sh" "$work/track.mp3"
track="$work/track.mp3"
export WAVLON_BENCH_FILE="$track"

# Runs a player under /usr/bin/time -v; prints "user+system seconds" and "peak KiB".
measure() {
  local name=$1
  shift
  /usr/bin/time -v -o "$work/$name.time" "$@" >/dev/null 2>&1
  awk -F': ' '
    /User time/ {u=$2} /System time/ {s=$2} /Maximum resident/ {m=$2} /Elapsed/ {e=$2}
    END {printf "%.2f %d %s\n", u+s, m, e}' "$work/$name.time"
}

echo "Playing a 60 s 192 kbit/s MP3 to ${PULSE_SERVER:-the default server}"
read -r wavlon_cpu wavlon_mem wavlon_wall < <(measure wavlon "$bench" --benchmark_filter=BM_PlayWholeFile)
read -r gst_cpu gst_mem gst_wall < <(measure gst gst-launch-1.0 -q playbin "uri=file://$track" \
  audio-sink=pulsesink video-sink=fakesink flags=0x12)
read -r mpg_cpu mpg_mem mpg_wall < <(measure mpg123 mpg123 -q -o pulse "$track")

printf "%-16s %10s %12s %10s\n" player "CPU s" "peak KiB" wall
printf "%-16s %10s %12s %10s\n" wavlon "$wavlon_cpu" "$wavlon_mem" "$wavlon_wall"
printf "%-16s %10s %12s %10s\n" gst-launch "$gst_cpu" "$gst_mem" "$gst_wall"
printf "%-16s %10s %12s %10s\n" mpg123 "$mpg_cpu" "$mpg_mem" "$mpg_wall"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
echo "wavlon / gst-launch: CPU $(ratio "$wavlon_cpu" "$gst_cpu"), memory $(ratio "$wavlon_mem" "$gst_mem")"
echo "wavlon / mpg123:     CPU $(ratio "$wavlon_cpu" "$mpg_cpu"), memory $(ratio "$wavlon_mem" "$mpg_mem")"

echo
echo "Open to playing, local file:"
"$bench" --benchmark_filter=BM_OpenToPlaying 2>/dev/null | grep BM_
