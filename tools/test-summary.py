"""One line from the Meson test logs of the given build folders:
"release: cpp ok (4), fuzz ok (5), ...; asan: ...", a suite's tests
counted as ok, skipped (with the reason a skipped test gave) or FAILED.
What each failed test said of its failures goes to stderr first, so that
the last lines of a run (all a remote check may show) say what failed."""
import collections
import json
import pathlib
import re
import subprocess
import sys


# pytest's and GoogleTest's summaries of a failure, and a sanitizer's
FAILURE_LINE = re.compile(r"^(FAILED |ERROR |E   |\[  FAILED  \]|==\d+==ERROR|SUMMARY: )")
MOST_LINES = 12


def suite_of(build):
    """Each test's suite, as the build's meson.build files gave it."""
    tests = json.loads(subprocess.run(["meson", "introspect", "--tests", str(build)], capture_output=True,
                                      text=True, check=True).stdout)
    return {test["name"]: test["suite"][0].split(":", 1)[-1] for test in tests}


def suites(build):
    log = pathlib.Path(build) / "meson-logs" / "testlog.json"
    if not log.exists():
        return "not run"
    suite_names = suite_of(build)
    results = collections.defaultdict(list)
    for line in log.read_text(encoding="utf-8").splitlines():
        test = json.loads(line)
        # "project:suite / name", or the bare name where the log says no more
        suite = test["name"].split(" / ")[0].split(":")[-1] if " / " in test["name"] else suite_names.get(
            test["name"], test["name"])
        reason = ""
        if test["result"] == "SKIP":
            found = re.findall(r"skipped: (.*)", test.get("stdout", "") + test.get("stderr", ""))
            reason = found[-1].strip() if found else ""
        results[suite].append((test["result"], reason))
        if test["result"] not in ("OK", "SKIP", "EXPECTEDFAIL"):
            said = test.get("stdout", "") + test.get("stderr", "")
            lines = [l for l in said.splitlines() if FAILURE_LINE.match(l)] or said.strip().splitlines()[-5:]
            print(f"{pathlib.Path(build).name} {test['name']}: {test['result']}", *lines[:MOST_LINES],
                  sep="\n  ", file=sys.stderr)
    parts = []
    for suite, outcomes in results.items():
        failed = sum(result not in ("OK", "SKIP", "EXPECTEDFAIL") for result, _ in outcomes)
        skipped = [reason for result, reason in outcomes if result == "SKIP"]
        if failed:
            parts.append(f"{suite} FAILED ({failed} of {len(outcomes)})")
        elif skipped and len(skipped) == len(outcomes):
            parts.append(f"{suite} skipped ({'; '.join(filter(None, skipped)) or 'no reason given'})")
        else:
            parts.append(f"{suite} ok ({len(outcomes) - len(skipped)}" + (f", {len(skipped)} skipped" if skipped else "")
                         + ")")
    return ", ".join(parts)


print("; ".join(f"{pathlib.Path(build).name}: {suites(build)}" for build in sys.argv[1:]))
