#!/usr/bin/env bash
# Builds everything and runs every test suite, then prints one summary line.
# Each suite runs even when an earlier one failed, so one run shows all.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
# shellcheck source=tools/common.sh
source tools/common.sh

ensure_packages test
results=()
failed=0

# step NAME COMMAND...: runs the command, keeping its output in build/logs.
# A command that could not run its checks at all exits with 77 and says why
# in a last line "skipped: REASON"; the summary then says so, never "ok".
step() {
  local name=$1
  shift
  local log="$root/build/logs/$name.log"
  mkdir -p "$root/build/logs"
  echo "=== $name"
  local status=0
  "$@" >"$log" 2>&1 || status=$?
  if [[ $status -eq 0 ]]; then
    results+=("$name: ok$(count_of "$log")")
  elif [[ $status -eq 77 ]]; then
    results+=("$name: skipped ($(grep -oP '(?<=skipped: ).*' "$log" | tail -n 1))")
    tail -n 5 "$log"
  else
    results+=("$name: FAILED$(count_of "$log")")
    failed=1
    tail -n 60 "$log"
    echo "(full log: $log)"
  fi
}

# " (N passed)" from a gtest or pytest log, or " (what was compared)" from
# the table check, when the log says so.
count_of() {
  local passed compared
  passed=$(grep -hoE '\[  PASSED  \] [0-9]+ tests?|[0-9]+ passed' "$1" |
    grep -oE '[0-9]+' | awk '{s += $1} END {if (s) print s}')
  compared=$(grep -oP '(?<=check-tables: ).*identical$' "$1" | tail -n 1)
  if [[ -n "$passed" ]]; then
    echo " ($passed passed)"
  elif [[ -n "$compared" ]]; then
    echo " ($compared)"
  fi
}

run_cpp_tests() {
  build_release || return 1
  local status=0
  for program in build/release/tests/*_tests; do
    "$program" --gtest_brief=1 || status=1
  done
  return $status
}

run_python_tests() {
  install_into_venv --config-settings=setup-args=-Dwerror=true || return 1
  # From outside the source tree, so only the installed module can be found.
  local outside
  outside=$(mktemp -d)
  (cd "$outside" && "$root/build/venv/bin/python" -m pytest -q -p no:cacheprovider "$root/tests/python")
  local status=$?
  rm -rf "$outside"
  return $status
}

step cpp run_cpp_tests
step unicode-tables tools/unicode/check-tables.sh
step python run_python_tests
step package tools/test-package.sh
step postgres tools/test-postgres.sh
step sanitizers tools/test-sanitizers.sh
# The test build's fuzz targets replay the seeds (seconds); the libFuzzer
# build replays the saved corpus too, then fuzzes each target for a while.
step fuzz-replay meson test -C build/release --suite fuzz --print-errorlogs
step fuzz tools/fuzz.sh check

echo
summary=$(IFS=';' && echo "${results[*]}" | sed 's/;/; /g')
if [[ $failed -eq 0 ]]; then
  echo "ALL TESTS PASSED: $summary"
else
  echo "TESTS FAILED: $summary"
fi
exit $failed
