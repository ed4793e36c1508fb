#!/usr/bin/env bash
# The song service: indexing 10,000 tagged files against TagLib reading the same tags, query
# latency on a 100,000-track catalogue, the service's memory idle and under 50 clients, and its
# HTTP front beside slow, idle and abusive clients (searches on the 10,000 files).
set -eu
build=$(realpath "${1:-build/release}")
work=${SONGD_BENCH_DIR:-$build/songd-bench}
mkdir -p "$work"
"$build/bench/songd_load" index "$work/music" 10000 "$build/sample-music/qingtian.mp3"
"$build/bench/songd_load" query 100000
"$build/bench/songd_load" memory "$build/src/wavlon-songd" "$work/music"
"$build/bench/songd_load" front "$build/src/wavlon-songd" "$work/music"
