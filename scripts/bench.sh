#!/usr/bin/env bash
# Runs every benchmark against one build (default build/release): the Google Benchmark
# executables, then the scripts that compare whole-process costs with floors measured in the
# same run.
set -u
build=${1:-build/release}
cd "$(dirname "$0")/.."
for exe in template_bench search_bench; do
  if [ -x "$build/bench/$exe" ]; then
    echo "== $exe"
    "$build/bench/$exe"
  fi
done
echo "== media"
bench/media_bench.sh "$build"
echo "== player"
bench/player_bench.sh "$build"
echo "== gap between tracks"
bench/gap_bench.sh "$build"
echo "== song service"
bench/songd_bench.sh "$build"
echo "== long run"
bench/soak_bench.sh "$build"
