#!/usr/bin/env bash
# make fuzz: every libFuzzer target of build/fuzz (the configuration make
# test sets up) for FUZZ_SECONDS (default 600), two at a time, starting from
# the corpus the earlier runs saved. Figures go to build/fuzz/last-long.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-600}
[[ -f build/fuzz/build.ninja ]] || { echo "fuzz: run make test first, which sets up build/fuzz" >&2; exit 2; }
status=0
meson test -C build/fuzz --suite fuzzing --print-errorlogs --test-args="-max_total_time=$seconds" || status=1
/usr/bin/python3 - build/fuzz "$seconds" <<'PYTHON' | tee build/fuzz/last-long.txt
import json, pathlib, re, sys
build, seconds = pathlib.Path(sys.argv[1]), sys.argv[2]
print(f"fuzz run of {seconds} s per target")
for line in (build / "meson-logs" / "testlog.json").read_text().splitlines():
    test = json.loads(line)
    out = test.get("stdout", "") + test.get("stderr", "")
    runs = re.findall(r"stat::number_of_executed_units: (\d+)", out)
    corpus = len(list((build / "corpus" / test["name"]).iterdir()))
    print(f"{test['name']}: {test['result']}, {runs[-1] if runs else '?'} executions, corpus now {corpus} inputs")
PYTHON
exit $status
