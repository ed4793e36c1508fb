#!/usr/bin/env bash
# The player's costs through the real main window, each as a ratio against a floor or peers
# measured in the same run:
#   launch to window shown, 1,000 tracks stored         vs a bare Qt 6 window process
#   start-up in process with 1,000 tracks               vs a minimal Qt 6 window
#   10,000 and 50,000 empty .mp3 files listed           vs readdir + match + sort
#   idle CPU over 30 s with the window's timers         vs plain Qt timers of the same periods,
#                                                          and the same with the clock's label
#   resident memory of the idle window                  vs a bare Qt window with the same timers
#   playing a 60 s 192 kbit/s MP3 through the window    vs gst-launch-1.0 playbin with the
#                                                          player's sink settings, mpg123 and
#     (CPU and peak memory of the whole process)           audacious -H (when installed), and
#                                                          the window as long without playing
#   resident memory 10 s into playing that MP3          vs audacious with its (Qt) window
#
#   bench/player_bench.sh [build-dir]   (default: build/release; needs the targets
#                                        player_bench, startup_bench, idle_memory_bench,
#                                        launch_probe and bare_window_probe)
#
# Uses the PulseAudio server in PULSE_SERVER when one answers, else starts the test fixture's
# server with a null sink for the run. Windows are offscreen unless QT_QPA_PLATFORM says else.
# Playback figures are medians of PLAY_RUNS runs (default 3) of each player.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/release}" && pwd)
player_bench="$build/bench/player_bench"
startup_bench="$build/bench/startup_bench"
memory_bench="$build/bench/idle_memory_bench"
launch_probe="$build/bench/launch_probe"
bare_probe="$build/bench/bare_window_probe"
for bench in "$player_bench" "$startup_bench" "$memory_bench" "$launch_probe" "$bare_probe"; do
  [ -x "$bench" ] || { echo "missing $bench: build it first" >&2; exit 1; }
done
for tool in lame gst-launch-1.0 mpg123 python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh)" >&2; exit 1; }
done
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

. "$root/bench/bench_setup.sh"

# A fontconfig setting blind to every CJK face. The memory and launch rows are measured with it
# too, to show what the window's Chinese texts cost (they then draw as boxes).
{
  echo '<?xml version="1.0"?><fontconfig><include>/etc/fonts/fonts.conf</include>'
  echo '<selectfont><rejectfont>'
  fc-list :lang=zh -f '%{file}\n' | sort -u | sed 's|.*|<glob>&</glob>|'
  echo '</rejectfont></selectfont></fontconfig>'
} >"$work/no-cjk-fonts.conf"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

# Real time (ms) or a counter of one benchmark in a Google Benchmark JSON file.
field() {
  python3 - "$1" "$2" "$3" <<'EOF'
import json, sys
data = json.load(open(sys.argv[1]))
for b in data["benchmarks"]:
    if b["name"] == sys.argv[2] or b["name"].split("/iterations")[0] == sys.argv[2]:
        value = b[sys.argv[3]]
        unit = b.get("time_unit", "ns")
        if sys.argv[3] == "real_time":
            value *= {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[unit]
        print(value)
        break
EOF
}

echo "Start-up with 1,000 tracks, and listing 10,000 and 50,000 tracks"
"$startup_bench" --benchmark_format=json --benchmark_out="$work/startup.json" >/dev/null 2>&1
"$player_bench" --benchmark_filter='BM_Scan|BM_Readdir' --benchmark_format=json \
  --benchmark_out="$work/scan.json" >/dev/null 2>&1
start=$(field "$work/startup.json" BM_StartUpWithThousandTracks real_time)
bare=$(field "$work/startup.json" BM_MinimalQtWindowFloor real_time)
# In process and warm: the floor is a window made again in a process that has made one, so
# the launch row below is the one to compare.
printf "  start-up in process %8.2f ms   minimal window made again %8.2f ms\n" "$start" "$bare"
for count in 10000 50000; do
  scan=$(field "$work/scan.json" "BM_ScanTracks/$count" real_time)
  floor=$(field "$work/scan.json" "BM_ReaddirMatchSortFloor/$count" real_time)
  printf "  listing %5d %8.2f ms   readdir+sort   %8.2f ms   ratio %s\n" "$count" "$scan" \
    "$floor" "$(ratio "$scan" "$floor")"
done

echo "Idle CPU over 30 s, after 3 s to settle"
"$player_bench" --benchmark_filter='BM_Idle' --benchmark_format=json \
  --benchmark_out="$work/idle.json" >/dev/null 2>&1
idle=$(field "$work/idle.json" BM_IdleWindowThirtySeconds cpu_s)
timers=$(field "$work/idle.json" BM_IdleQtTimersFloor cpu_s)
clock=$(field "$work/idle.json" BM_IdleQtTimersAndClockFloor cpu_s)
printf "  window %.3f s CPU   Qt timers %.3f s CPU   ratio %s\n" "$idle" "$timers" \
  "$(ratio "$idle" "$timers")"
printf "  window %.3f s CPU   Qt timers and a clock label redrawn each second %.3f s CPU   ratio %s\n" \
  "$idle" "$clock" "$(ratio "$idle" "$clock")"

echo "Resident memory of the idle window (after 5 s), each in a process of its own"
"$memory_bench" --benchmark_filter=BM_IdleWindowResident --benchmark_format=json \
  --benchmark_out="$work/mem_window.json" >/dev/null 2>&1
idle_mem=$(field "$work/mem_window.json" BM_IdleWindowResident rss_kib)
bare_mem=$("$bare_probe" idle 2>/dev/null)
printf "  window %6.0f KiB   bare Qt window %6.0f KiB   ratio %s\n" "$idle_mem" "$bare_mem" \
  "$(ratio "$idle_mem" "$bare_mem")"
FONTCONFIG_FILE="$work/no-cjk-fonts.conf" "$memory_bench" --benchmark_filter=BM_IdleWindowResident \
  --benchmark_format=json --benchmark_out="$work/mem_latin.json" >/dev/null 2>&1
latin_mem=$(field "$work/mem_latin.json" BM_IdleWindowResident rss_kib)
printf "  window without CJK faces %6.0f KiB   the faces cost %6.0f KiB\n" "$latin_mem" \
  "$(awk -v a="$idle_mem" -v b="$latin_mem" 'BEGIN { print a - b }')"

# Median of 5 launches, from just before the exec to the end of the first paint.
launch_median() {
  for _ in 1 2 3 4 5; do
    WAVLON_LAUNCHED_NS=$(date +%s%N) "$@" 2>/dev/null
  done | sort -n | sed -n 3p
}
mkdir -p "$work/launch/program" "$work/launch/music"
for i in $(seq 0 999); do : >"$work/launch/music/track $i.mp3"; done
{ echo "[config]"; echo "路径=$work/launch/music" | iconv -f UTF-8 -t GB18030; } \
  >"$work/launch/program/config.ini"
echo "Launch to window shown (median of 5 processes each)"
launch=$(launch_median "$launch_probe" window "$work/launch/program")
launch_bare=$(launch_median "$bare_probe" launch)
printf "  window %8.2f ms   bare Qt window %8.2f ms   ratio %s\n" "$launch" "$launch_bare" \
  "$(ratio "$launch" "$launch_bare")"
launch_latin=$(FONTCONFIG_FILE="$work/no-cjk-fonts.conf" launch_median "$launch_probe" window \
  "$work/launch/program")
printf "  window without CJK faces %8.2f ms   ratio %s\n" "$launch_latin" \
  "$(ratio "$launch_latin" "$launch_bare")"

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

# The median CPU seconds and the median peak KiB of PLAY_RUNS runs of a command.
measure_median() {
  local name=$1
  shift
  for run in $(seq 1 "${PLAY_RUNS:-3}"); do
    measure "$name.$run" "$@"
  done >"$work/$name.runs"
  local middle=$(((${PLAY_RUNS:-3} + 1) / 2))
  echo "$(cut -d' ' -f1 "$work/$name.runs" | sort -n | sed -n "${middle}p")" \
    "$(cut -d' ' -f2 "$work/$name.runs" | sort -n | sed -n "${middle}p")"
}

# audacious keeps its settings and plugin list in a private home.
audacious_home="$work/audacious"
mkdir -p "$audacious_home"

echo "Playing a 60 s 192 kbit/s MP3 (median of ${PLAY_RUNS:-3} runs each)"
read -r window_cpu window_mem < <(measure_median window "$player_bench" \
  --benchmark_filter=BM_PlayThroughWindow)
# The same process and folder without playing, for as long: what the window costs by itself.
read -r alone_cpu alone_mem < <(WAVLON_BENCH_SECONDS=60 measure_median alone "$player_bench" \
  --benchmark_filter=BM_WindowForPlayLength)
# The same pipeline as the player's: audio only, the sink sized as the player sizes it.
read -r gst_cpu gst_mem < <(measure_median gst gst-launch-1.0 -q playbin \
  "uri=file://$work/track.mp3" \
  audio-sink="pulsesink buffer-time=1000000 latency-time=100000" video-sink=fakesink flags=0x12)
read -r mpg_cpu mpg_mem < <(measure_median mpg123 mpg123 -q -o pulse "$work/track.mp3")
printf "  window     %6s s CPU %8s KiB peak\n" "$window_cpu" "$window_mem"
printf "  window, nothing played, as long %6s s CPU %8s KiB peak; playing adds %s s\n" \
  "$alone_cpu" "$alone_mem" "$(awk -v a="$window_cpu" -v b="$alone_cpu" 'BEGIN { printf "%.2f", a - b }')"
printf "  gst-launch %6s s CPU %8s KiB peak\n" "$gst_cpu" "$gst_mem"
printf "  mpg123     %6s s CPU %8s KiB peak\n" "$mpg_cpu" "$mpg_mem"
echo "  window / gst-launch: CPU $(ratio "$window_cpu" "$gst_cpu"), memory $(ratio "$window_mem" "$gst_mem")"
echo "  window / mpg123:     CPU $(ratio "$window_cpu" "$mpg_cpu"), memory $(ratio "$window_mem" "$mpg_mem")"
if command -v audacious >/dev/null; then
  # A first run builds its plugin list, which a user's later starts find ready.
  HOME="$audacious_home" XDG_CONFIG_HOME="$audacious_home" timeout 10 audacious -H -q \
    "$work/track.mp3" >/dev/null 2>&1 || true
  read -r aud_cpu aud_mem < <(measure_median audacious env HOME="$audacious_home" \
    XDG_CONFIG_HOME="$audacious_home" audacious -H -q "$work/track.mp3")
  printf "  audacious  %6s s CPU %8s KiB peak\n" "$aud_cpu" "$aud_mem"
  echo "  window / audacious:  CPU $(ratio "$window_cpu" "$aud_cpu"), memory $(ratio "$window_mem" "$aud_mem")"
else
  echo "  audacious not installed (scripts/install-deps.sh test): no headless audacious peer"
fi

# Resident memory 10 s into playing the same file: the window, and audacious with its window.
rss_while_playing() {
  "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep 10
  awk '/VmRSS/ { print $2 }' "/proc/$pid/status" 2>/dev/null || echo 0
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
echo "Resident memory 10 s into playing the same file"
window_rss=$(rss_while_playing "$player_bench" --benchmark_filter=BM_PlayThroughWindow)
printf "  window %8s KiB\n" "$window_rss"
latin_rss=$(FONTCONFIG_FILE="$work/no-cjk-fonts.conf" rss_while_playing "$player_bench" \
  --benchmark_filter=BM_PlayThroughWindow)
printf "  window without CJK faces %8s KiB   the faces cost %s KiB\n" "$latin_rss" \
  "$((window_rss - latin_rss))"
if command -v audacious >/dev/null; then
  aud_rss=$(rss_while_playing env HOME="$audacious_home" XDG_CONFIG_HOME="$audacious_home" \
    audacious --qt -q "$work/track.mp3")
  printf "  audacious with its window (Qt) %8s KiB   window / audacious %s\n" "$aud_rss" \
    "$(ratio "$window_rss" "$aud_rss")"
fi
