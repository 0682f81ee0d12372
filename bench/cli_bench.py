"""Throughput of the ardovel-stem program against Snowball's stemwords.

    /usr/bin/python3 bench/cli_bench.py [--program PATH] [--repeat N] [--runs N]

Builds ardovel-stem the way the wheel builds it (meson-python's flags) unless
--program names one, writes the word corpus (every word of both hunspell-sr
dictionaries, one per line, repeated N times), and times both programs on the
same file in the same run, best of --runs, output to /dev/null. Prints MB/s
for each and the ratio. Needs hunspell-sr and libstemmer-tools.
"""
import argparse
import os
import pathlib
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
WORK = ROOT / "build" / "pkg-bench"
DICTIONARIES = ["/usr/share/hunspell/sr_RS.dic", "/usr/share/hunspell/sr_Latn_RS.dic"]


def build_program() -> pathlib.Path:
    build = ROOT / "build" / "pkg-bench-cli"
    if not (build / "build.ninja").exists():
        subprocess.run(["meson", "setup", str(build), "-Ddebug=false", "-Doptimization=2"], cwd=ROOT,
                       check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["ninja", "-C", str(build), "src/cli/ardovel-stem"], check=True, stdout=subprocess.DEVNULL)
    return build / "src" / "cli" / "ardovel-stem"


def write_corpus(repeat: int) -> pathlib.Path:
    words = []
    for path in DICTIONARIES:
        lines = pathlib.Path(path).read_text(encoding="utf-8").split("\n")[1:]
        words.extend(line.rstrip("\r").split("/", 1)[0] for line in lines if line)
    once = ("\n".join(words) + "\n").encode()
    WORK.mkdir(parents=True, exist_ok=True)
    corpus = WORK / f"words-x{repeat}.txt"
    if not corpus.exists() or corpus.stat().st_size != len(once) * repeat:
        corpus.write_bytes(once * repeat)
    return corpus


def best_times(commands: dict[str, list[str]], runs: int) -> dict[str, float]:
    """Best wall time of each command; runs interleave, so a passing load on
    the machine weighs on every program alike."""
    best = dict.fromkeys(commands, float("inf"))
    for _ in range(runs):
        for name, command in commands.items():
            start = time.perf_counter()
            subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
            best[name] = min(best[name], time.perf_counter() - start)
    return best


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", type=pathlib.Path, help="ardovel-stem to measure (default: build one)")
    parser.add_argument("--repeat", type=int, default=10, help="copies of the word list in the corpus")
    parser.add_argument("--runs", type=int, default=3, help="runs of each program; the best counts")
    args = parser.parse_args()

    program = args.program or build_program()
    corpus = write_corpus(args.repeat)
    megabytes = corpus.stat().st_size / 1e6
    print(f"corpus: {corpus} ({megabytes:.1f} MB, {args.repeat} x every hunspell-sr word), "
          f"{len(os.sched_getaffinity(0))} processors")

    one_processor = ["taskset", "-c", str(min(os.sched_getaffinity(0)))]
    commands = {
        "ardovel-stem": [str(program), str(corpus)],
        "ardovel-stem --tokens": [str(program), "--tokens", str(corpus)],
        "ardovel-stem, 1 processor": one_processor + [str(program), str(corpus)],
        "stemwords -l serbian": ["stemwords", "-l", "serbian", "-i", str(corpus), "-o", "/dev/null"],
    }
    results = {}
    for name, seconds in best_times(commands, args.runs).items():
        results[name] = megabytes / seconds
        print(f"{name:<26} {seconds:7.3f} s  {results[name]:8.1f} MB/s")
    stemwords = results["stemwords -l serbian"]
    print(f"ardovel-stem / stemwords: {results['ardovel-stem'] / stemwords:.1f}x "
          f"(on 1 processor: {results['ardovel-stem, 1 processor'] / stemwords:.1f}x)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
