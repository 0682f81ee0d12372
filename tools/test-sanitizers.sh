#!/usr/bin/env bash
# Builds the core, its C++ test programs and the Python module with
# AddressSanitizer and UndefinedBehaviorSanitizer (clang, build/asan), then
# runs the C++ tests and the whole Python suite against that module.
#
# Python runs with the ASan runtime preloaded and PYTHONMALLOC=malloc, so
# every Python object is checked too. CPython frees little at exit, so leaks
# are not checked at exit; tests call the leak checker themselves (with
# ARDOVEL_SANITIZED=1 set) at points where everything live is reachable.
# Tests that exhaust memory on purpose skip themselves under the sanitizers.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=build/asan
mkdir -p "$build"
# One run at a time: two would share the build directory.
exec 9>"build/asan.lock"
flock 9

# clang, with the shared ASan runtime (which carries UBSan's too): the same
# runtime then serves the test programs and, preloaded, the interpreter.
runtime=$(clang++ -print-file-name=libclang_rt.asan-x86_64.so)
if [[ ! -f $build/build.ninja ]]; then
  CC=clang CXX=clang++ meson setup "$build" -Dtests=true -Dwerror=true --buildtype=debugoptimized \
    -Db_sanitize=address,undefined -Db_lundef=false -Db_lto=false \
    -Dcpp_args="-fno-sanitize-recover=all -fno-sanitize=vptr" \
    -Dcpp_link_args="-shared-libasan -Wl,-rpath,$(dirname "$runtime")" || exit 1
fi
ninja -C "$build" || exit 1

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0

echo "--- C++ tests under ASan and UBSan"
for program in "$build"/tests/*_tests; do
  leaks=1
  # An embedded interpreter leaves its own objects behind at exit.
  [[ $(basename "$program") == binding_tests ]] && leaks=0
  ASAN_OPTIONS=detect_leaks=$leaks:abort_on_error=0 "$program" --gtest_brief=1 || status=1
done

echo "--- Python tests under ASan and UBSan"
module_dir=$root/$build/src/module
if [[ ! -f $(echo "$module_dir"/ardovel*.so) ]]; then
  echo "no ASan build of the module in $module_dir" >&2
  exit 1
fi
outside=$(mktemp -d)
(
  cd "$outside" &&
    LD_PRELOAD=$runtime \
    ASAN_OPTIONS=detect_leaks=1:leak_check_at_exit=0:abort_on_error=0 \
    PYTHONMALLOC=malloc ARDOVEL_SANITIZED=1 PYTHONPATH="$module_dir" \
    /usr/bin/python3 -m pytest -q -p no:cacheprovider -rs "$root/tests/python"
) || status=1
rm -rf "$outside"
exit $status
