#!/usr/bin/env bash
# The song service: indexing 10,000 tagged files against TagLib reading the same tags and
# against mpd's first index of the same files, query latency on a 100,000-track catalogue, the
# service's memory idle and under 50 clients, its HTTP front beside slow, idle and abusive
# clients (searches on the 10,000 files), and its idle CPU with broken files in the library.
set -eu
build=$(realpath "${1:-build/release}")
work=${SONGD_BENCH_DIR:-$build/songd-bench}
songd=$build/src/wavlon-songd
mkdir -p "$work"
"$build/bench/songd_load" index "$work/music" 10000 "$build/sample-music/qingtian.mp3"
"$build/bench/songd_load" query 100000
"$build/bench/songd_load" memory "$songd" "$work/music"
"$build/bench/songd_load" front "$songd" "$work/music"

tmp=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
now() { date +%s.%N; }
# Arithmetic on decimals: calc "1.5 / 3".
calc() { awk "BEGIN { print $1 }"; }
# CPU time (user + system) of a process in clock ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# First index: from the start of the process until the whole folder is catalogued, with an
# empty catalogue and a warm file cache, beside mpd's first update of the same files.
# Ours: the log's "catalogue ready" line.
start=$(now)
"$songd" --music "$work/music" --db "$tmp/songd.db" --listen 127.0.0.1:0 2>"$tmp/songd.log" &
pids+=($!)
until grep -q "catalogue ready" "$tmp/songd.log"; do sleep 0.01; done
ours=$(calc "$(now) - $start")
kill "${pids[-1]}"; wait "${pids[-1]}" 2>/dev/null || true

# mpd: its own configuration in the temporary folder, loopback only, no audio output; done
# when its statistics count every song and no update runs.
port=$((26600 + $$ % 1000))
mkdir -p "$tmp/mpd"
cat >"$tmp/mpd/mpd.conf" <<EOF
music_directory "$work/music"
db_file "$tmp/mpd/database"
log_file "$tmp/mpd/log"
pid_file "$tmp/mpd/pid"
state_file "$tmp/mpd/state"
bind_to_address "127.0.0.1"
port "$port"
audio_output {
  type "null"
  name "none"
}
EOF
start=$(now)
mpd --no-daemon "$tmp/mpd/mpd.conf" 2>/dev/null &
pids+=($!)
python3 - "$port" <<'EOF'
import socket, sys, time
port = int(sys.argv[1])
while True:
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            f = s.makefile("rw")
            f.readline()
            f.write("status\nstats\nclose\n"); f.flush()
            text = f.read()
        if "updating_db" not in text and "songs: 10000" in text:
            break
    except OSError:
        pass
    time.sleep(0.01)
EOF
theirs=$(calc "$(now) - $start")
kill "${pids[-1]}"; wait "${pids[-1]}" 2>/dev/null || true
printf 'first index of 10,000 files: wavlon-songd %.2f s, mpd %.2f s, ratio %.3f (target <= 0.15)\n' \
  "$ours" "$theirs" "$(calc "$ours / $theirs")"

# Idle CPU with two zero-filled 10 MB files named .mp3 (a failed copy, a download client's
# preallocation) among real ones, measured over 20 s once the catalogue is ready.
mkdir -p "$tmp/broken"
cp "$build/sample-music/qingtian.mp3" "$tmp/broken/good.mp3"
head -c 10485760 /dev/zero >"$tmp/broken/zero1.mp3"
head -c 10485760 /dev/zero >"$tmp/broken/zero2.mp3"
"$songd" --music "$tmp/broken" --db "$tmp/broken.db" --listen 127.0.0.1:0 2>"$tmp/broken.log" &
pid=$!
pids+=("$pid")
until grep -q "catalogue ready" "$tmp/broken.log"; do sleep 0.05; done
sleep 1
before=$(cpu_ticks "$pid")
sleep 20
after=$(cpu_ticks "$pid")
ticks=$(getconf CLK_TCK)
printf 'idle CPU with two broken 10 MB files: %.3f %% of a core over 20 s, %d log lines (target < 0.1 %%)\n' \
  "$(calc "($after - $before) * 100 / $ticks / 20")" "$(wc -l <"$tmp/broken.log")"
