#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build (the `fuzz` preset) for a while and reports, per
# target, the executions, the coverage reached and what it found.
#
#   scripts/fuzz.sh [build-dir]          (default build/fuzz)
#
#   FUZZ_SECONDS   time per target (default 300)
#   FUZZ_CPU_SECONDS  instead, processor time per target: each run ends once its fuzzer has
#                  used this much CPU, however long that takes on a busy machine
#   FUZZ_JOBS      targets run at once (default 2, one per core of the machine it was made on)
#   FUZZ_TARGETS   names of the targets to run (default: all)
#   FUZZ_MERGE=1   afterwards, merge what each run found into fuzz/corpus/<target>/ (libFuzzer
#                  keeps only inputs that add coverage), so the repository's corpus grows
#
# Each target starts from its corpus in the repository (fuzz/corpus/<target>/, read only) and
# writes new inputs into <build-dir>/fuzz-work/<target>/corpus. Inputs that crash, leak or hang
# are written to <build-dir>/fuzz-work/<target>/; a fixed one belongs in fuzz/corpus/<target>/
# so that every build replays it. Exits 1 when any target found something.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/fuzz}" && pwd)
seconds=${FUZZ_SECONDS:-300}
jobs=${FUZZ_JOBS:-2}
work="$build/fuzz-work"
mkdir -p "$work"

targets=()
for path in "$build"/fuzz/*_fuzz; do
  [ -x "$path" ] || continue
  name=$(basename "$path")
  if [ -n "${FUZZ_TARGETS:-}" ] && [[ " $FUZZ_TARGETS " != *" $name "* ]]; then
    continue
  fi
  targets+=("$name")
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets in $build/fuzz: build the fuzz preset first (make fuzz)" >&2
  exit 1
fi

run_one() {
  local name=$1
  local dir="$work/$name"
  mkdir -p "$dir/corpus"
  local limit=$seconds
  [ -n "${FUZZ_CPU_SECONDS:-}" ] && limit=$((FUZZ_CPU_SECONDS * 100))
  /usr/bin/time -o "$dir/cpu" -f '%U %S' "$build/fuzz/$name" -max_total_time="$limit" \
    -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$dir/" \
    "$dir/corpus" "$root/fuzz/corpus/$name" >"$dir/log" 2>&1 &
  local timer=$!
  if [ -n "${FUZZ_CPU_SECONDS:-}" ]; then
    # Interrupted (as with Ctrl-C: libFuzzer still prints its figures) at the CPU budget.
    local ticks
    ticks=$(getconf CLK_TCK)
    while kill -0 "$timer" 2>/dev/null; do
      sleep 5
      local fuzzer
      fuzzer=$(pgrep -P "$timer" | head -1) || continue
      local used
      used=$(awk '{print $14 + $15}' "/proc/$fuzzer/stat" 2>/dev/null) || continue
      if [ -n "$used" ] && [ "$used" -ge $((FUZZ_CPU_SECONDS * ticks)) ]; then
        kill -INT "$fuzzer" 2>/dev/null || true
        break
      fi
    done
  fi
  wait "$timer" || true
  if [ "${FUZZ_MERGE:-0}" = 1 ]; then
    "$build/fuzz/$name" -merge=1 "$root/fuzz/corpus/$name" "$dir/corpus" \
      >"$dir/merge.log" 2>&1 || true
  fi
}

if [ -n "${FUZZ_CPU_SECONDS:-}" ]; then
  echo "Fuzzing ${#targets[@]} targets for ${FUZZ_CPU_SECONDS} CPU seconds each, ${jobs} at a time"
else
  echo "Fuzzing ${#targets[@]} targets for ${seconds} s each, ${jobs} at a time"
fi
running=0
for name in "${targets[@]}"; do
  run_one "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait

found=0
printf '%-26s %8s %12s %8s %7s %7s  %s\n' target "CPU s" executions "exec/s" cov ft findings
for name in "${targets[@]}"; do
  dir="$work/$name"
  log="$dir/log"
  runs=$(awk '/stat::number_of_executed_units/ {print $NF}' "$log" | tail -1)
  speed=$(awk '/stat::average_exec_per_sec/ {print $NF}' "$log" | tail -1)
  cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | awk '{print $2}')
  ft=$(grep -oE 'ft: [0-9]+' "$log" | tail -1 | awk '{print $2}')
  cpu=$(tail -1 "$dir/cpu" 2>/dev/null | awk '{printf "%.0f", $1 + $2}')
  findings=$(find "$dir" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o \
    -name 'timeout-*' -o -name 'oom-*' -o -name 'slow-unit-*' \) | wc -l)
  printf '%-26s %8s %12s %8s %7s %7s  %s\n' "$name" "${cpu:-?}" "${runs:-?}" "${speed:-?}" \
    "${cov:-?}" "${ft:-?}" "$findings"
  if [ "$findings" -gt 0 ]; then
    found=1
    find "$dir" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
      -o -name 'oom-*' \) -printf '    %p\n'
  fi
done
exit $found
