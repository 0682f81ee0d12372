#!/usr/bin/env bash
# make test: installs what the tests need, then runs every Meson test suite
# in the three configurations that differ in how they are compiled, and
# prints one summary line:
#   build/release  every suite (tests/meson.build lists them), as shipped
#   build/asan     the C++ and Python suites under AddressSanitizer and
#                  UndefinedBehaviorSanitizer (clang)
#   build/fuzz     each libFuzzer target for FUZZ_SECONDS (default 25)
# Each configuration runs even when an earlier one failed, so one run shows
# all; a suite that could not run at all is reported as skipped, never ok.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

tools/ensure-packages.sh test || exit 1

# The sanitizers need clang's shared runtime, which then serves the test
# programs and, preloaded, the interpreter; the module keeps no LTO there.
runtime_dir=$(dirname "$(clang++ -print-file-name=libclang_rt.asan-x86_64.so)")
[[ -f build/release/build.ninja ]] ||
  meson setup build/release -Dtests=true -Dwerror=true -Dpostgres=enabled --buildtype=release
[[ -f build/asan/build.ninja ]] ||
  CC=clang CXX=clang++ meson setup build/asan -Dtests=true -Dwerror=true --buildtype=debugoptimized \
    -Db_sanitize=address,undefined -Db_lundef=false -Db_lto=false \
    -Dcpp_args="-fno-sanitize-recover=all -fno-sanitize=vptr" \
    -Dcpp_link_args="-shared-libasan -Wl,-rpath,$runtime_dir"
# -O1 with debug information and assertions, as libFuzzer programs usually
# are; no LTO, which would only slow down every rebuild.
[[ -f build/fuzz/build.ninja ]] ||
  CC=clang CXX=clang++ meson setup build/fuzz -Dfuzz=true -Dwerror=true -Dpython=disabled -Dsqlite=enabled \
    -Doptimization=1 -Ddebug=true -Db_ndebug=false -Db_lto=false

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
meson test -C build/release --print-errorlogs || status=1
meson test -C build/asan --suite cpp --suite python --print-errorlogs || status=1
meson test -C build/fuzz --suite fuzzing --print-errorlogs || status=1

summary=$(/usr/bin/python3 tools/test-summary.py build/release build/asan build/fuzz)
echo
if [[ $status -eq 0 ]]; then
  echo "ALL TESTS PASSED: $summary"
else
  echo "TESTS FAILED: $summary"
fi
exit $status
