#!/usr/bin/env bash
# make bench: builds the benchmark programs in build/bench, makes the corpora
# in build/bench-data, runs every benchmark and prints one table.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/ensure-packages.sh bench
if [[ ! -f build/bench/build.ninja ]]; then
  meson setup build/bench -Dbench=true -Dwerror=true --buildtype=release >/dev/null
fi
ninja -C build/bench >/dev/null
/usr/bin/python3 bench/driver.py build/bench build/bench-data
