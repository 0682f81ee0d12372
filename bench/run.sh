#!/usr/bin/env bash
# make bench: builds the benchmark programs in build/bench, makes the corpora
# in build/bench-data, runs every benchmark, prints one table and writes it
# to docs/benchmarks.md.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/ensure-packages.sh bench
if [[ ! -f build/bench/build.ninja ]]; then
  meson setup build/bench -Dbench=true -Dpostgres=enabled -Dwerror=true --buildtype=release >/dev/null
fi
ninja -C build/bench >/dev/null
/usr/bin/python3 bench/driver.py build/bench build/bench-data
