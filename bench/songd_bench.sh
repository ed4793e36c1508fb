#!/usr/bin/env bash
# The song service: indexing 10,000 tagged files against TagLib reading the same tags, query
# latency on a 100,000-track catalogue, and the service's memory idle and under 50 clients.
set -eu
build=$(realpath "${1:-build/release}")
work=${SONGD_BENCH_DIR:-$build/songd-bench}
mkdir -p "$work"
"$build/bench/songd_load" index "$work/music" 10000 "$build/sample-music/qingtian.mp3"
"$build/bench/songd_load" query 100000
"$build/bench/songd_load" memory "$build/src/wavlon-songd" "$work/music"
