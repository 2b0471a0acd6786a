#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) into build-fuzz and runs each in turn, then prints a
# table: target, runs, crashes (crash, leak, timeout and out-of-memory findings), slowest input.
#   scripts/fuzz.sh [seconds] [target...]      each target for the given seconds (default 60)
#   scripts/fuzz.sh --runs N [target...]       each target for N inputs
#   scripts/fuzz.sh --runs N --seconds S ...   whichever comes first
# An input over 1 s of processor time, a crash, a sanitizer report, a leak or more than 2 GB
# is a finding. Fails when any target found something; the findings stay in build-fuzz/findings/<target>/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

limit=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --runs) limit+=(-runs="$2"); shift 2 ;;
    --seconds) limit+=(-max_total_time="$2"); shift 2 ;;
    [0-9]*) limit+=(-max_total_time="$1"); shift ;;
    *) break ;;
  esac
done
[[ ${#limit[@]} -gt 0 ]] || limit=(-max_total_time=60)
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(importline textcodec cardformat vcard csv updateinfo inifile)

build="$root/build-fuzz"
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S . -B "$build" -DZV_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}" >/dev/null

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# The settings target writes its file many times a second; memory is kinder than a disk.
[[ -d /dev/shm && -w /dev/shm ]] && export TMPDIR=/dev/shm

# The shared test files lie beside the source tree, or beside the repository a clone came from.
shared="$root/../shared"
if [[ ! -d "$shared" ]]; then
  origin=$(git -C "$root" config --get remote.origin.url 2>/dev/null || true)
  [[ -n "$origin" && -d "$origin/../shared" ]] && shared="$origin/../shared"
fi

# libFuzzer's own slow-unit reports are wall-clock notes, not findings.
count_findings() { find "$findings" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l; }

rows=()
failed=0
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"        # what the fuzzer learns, kept between runs
  findings="$build/findings/$t"
  log="$build/findings/$t.log"
  mkdir -p "$corpus" "$findings"
  seeds=("$root/fuzz/corpus/$t")
  # The vCard and CSV samples of the tests, read where they lie.
  [[ "$t" == vcard && -d "$shared/fixtures/vcards-public" ]] && seeds+=("$shared/fixtures/vcards-public")
  [[ "$t" == csv && -d "$shared/fixtures/csv-public" ]] && seeds+=("$shared/fixtures/csv-public")
  dict=()
  [[ -f "$root/fuzz/$t.dict" ]] && dict=(-dict="$root/fuzz/$t.dict")
  before=$(count_findings)
  status=0
  # Inputs of a few kilobytes reach every branch; the larger samples are read cut to that.
  # The second an input may take is counted in processor time by the target itself (fuzz/Timed.h):
  # on a busy machine the wall clock of -timeout stretches far past it, so -timeout only catches
  # an input that never ends.
  "$build/bin/fuzz_$t" "${limit[@]}" -timeout=60 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 "${dict[@]}" \
    -artifact_prefix="$findings/" "$corpus" "${seeds[@]}" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$log" | tail -1)
  [[ -n "$runs" ]] || runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -1)
  [[ -n "$runs" ]] || runs=$(sed -n 's/^#\([0-9]*\).*/\1/p' "$log" | tail -1)
  slowest=$(sed -n 's/^zv-slowest-input: \([0-9]*\) us.*/\1/p' "$log" | tail -1)
  found=$(( $(count_findings) - before ))
  # A sanitizer report or a stop without a written input still counts as one finding.
  if [[ $status -ne 0 && $found -eq 0 ]]; then found=1; fi
  [[ $found -eq 0 ]] || { failed=1; echo "fuzz_$t: finding, see $log" >&2; tail -n 40 "$log" >&2; }
  rows+=("$(printf '%-12s %12s %8s %10s' "$t" "${runs:-?}" "$found" "${slowest:+$(awk -v u="$slowest" 'BEGIN{printf "%.1f ms", u/1000}')}")")
done

printf '%-12s %12s %8s %10s\n' target runs crashes slowest
for r in "${rows[@]}"; do echo "$r"; done
exit $failed
