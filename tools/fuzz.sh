#!/usr/bin/env bash
# Runs the libFuzzer targets (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) side by side, one process each. Meson builds
# them and writes the seeds (fuzz/meson.build, -Dfuzz=true) in
# build/fuzz/build; this script only sets that build up and runs it.
#
#   tools/fuzz.sh check   replay the seeds and the saved corpus, then fuzz
#                         each target for FUZZ_SECONDS (default 25): the test
#                         command's step
#   tools/fuzz.sh long    the same for FUZZ_SECONDS (default 600): make fuzz
#
# New interesting inputs are kept in build/fuzz/corpus/<target>, so each run
# starts where the last one stopped; a failing input is written to
# build/fuzz/artifacts/. Figures of the run go to build/fuzz/last-<mode>.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

mode=${1:-check}
case $mode in
  check) seconds=${FUZZ_SECONDS:-25} ;;
  long) seconds=${FUZZ_SECONDS:-600} ;;
  *) echo "usage: $0 [check|long]" >&2; exit 2 ;;
esac

out=build/fuzz
build=$out/build
mkdir -p "$out/artifacts"
# One run at a time: two would share the corpus, the logs and the build.
exec 9>"$out/lock"
flock 9

# -O1 with debug information and assertions, as libFuzzer programs usually
# are; no LTO, which would only slow down every rebuild.
if [[ ! -f $build/build.ninja ]]; then
  CXX=${FUZZ_CXX:-clang++} meson setup "$build" -Dfuzz=true -Dwerror=true \
    -Doptimization=1 -Ddebug=true -Db_ndebug=false -Db_lto=false
fi
meson compile -C "$build" fuzzers
seeds=$build/fuzz/seeds
targets=()
for program in "$build"/fuzz/*_fuzzer; do
  targets+=("$(basename "$program" _fuzzer)")
done

# One target: seeds and saved corpus first (any failure there fails the run),
# then fuzzing until the time is up.
run_target() {
  local target=$1
  local corpus=$out/corpus/$target
  mkdir -p "$corpus"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
    "$build/fuzz/${target}_fuzzer" "$corpus" "$seeds" \
    -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=4096 \
    -dict=fuzz/stem.dict -print_final_stats=1 \
    -artifact_prefix="$root/$out/artifacts/$target-" >"$out/$target.log" 2>&1
}

# "stem: 1234 executions in 25 s, 5400 seed and corpus inputs replayed, corpus now 800"
figures() {
  local target=$1 log=$out/$1.log
  local runs secs replayed corpus
  runs=$(grep -aoE 'stat::number_of_executed_units: [0-9]+' "$log" | grep -oE '[0-9]+$' | tail -n 1)
  secs=$(grep -aoE 'Done [0-9]+ runs in [0-9]+ second' "$log" | grep -oE 'in [0-9]+' | grep -oE '[0-9]+' | tail -n 1)
  replayed=$(grep -aoE 'seed corpus: files: [0-9]+' "$log" | grep -oE '[0-9]+$' | tail -n 1)
  corpus=$(find "$out/corpus/$target" -type f | wc -l)
  echo "$target: ${runs:-?} executions in ${secs:-?} s, ${replayed:-?} seed and corpus inputs replayed, corpus now $corpus inputs"
}

pids=()
for target in "${targets[@]}"; do
  run_target "$target" &
  pids+=($!)
done
status=0
for i in "${!targets[@]}"; do
  if ! wait "${pids[$i]}"; then
    status=1
    echo "--- ${targets[$i]} fuzzer FAILED; end of $out/${targets[$i]}.log:"
    tail -n 60 "$out/${targets[$i]}.log"
  fi
done

{
  echo "fuzz $mode run of $(date -u '+%Y-%m-%d %H:%M UTC'), $seconds s per target"
  for target in "${targets[@]}"; do figures "$target"; done
} | tee "$out/last-$mode.txt"
exit $status
