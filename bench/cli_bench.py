"""Throughput of the ardovel-stem program against Snowball's stemwords.

    /usr/bin/python3 bench/cli_bench.py [--program PATH] [--repeat N] [--text-repeat N] [--runs N]

Builds ardovel-stem the way the wheel builds it (meson-python's flags) unless
--program names one, and writes two corpora:
- words: every word of both hunspell-sr dictionaries, one per line, repeated
  --repeat times; both programs read the same file;
- running text: the benchmarks' 10 MB of running text (build/bench-data,
  which `make bench` makes; built here when missing), repeated --text-repeat
  times. `ardovel-stem --tokens` reads it; stemwords, which takes one lower
  case word per line, reads the same text's words (`\\w+` of the lower-cased
  text, as the Python benchmarks give PyStemmer), so both stem the same words
  and the ratio is of their times.
Each program runs --runs times, interleaved, output to /dev/null. Prints the
best wall time and the best CPU time (user + system, all threads) of each,
with MB/s of what it reads, and the ratios. On a loaded machine the CPU
times are the fairer figure. Needs hunspell-sr and libstemmer-tools.
"""
import argparse
import os
import pathlib
import re
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


def write_text_corpus(repeat: int) -> tuple[pathlib.Path, pathlib.Path]:
    """The running text, and its lower-cased words one per line."""
    data_dir = ROOT / "build" / "bench-data"
    text_10mb = data_dir / "text-10MB.txt"
    if not text_10mb.exists():
        subprocess.run([sys.executable, str(ROOT / "bench" / "make_corpora.py"), str(data_dir)], check=True)
    once = text_10mb.read_bytes()
    WORK.mkdir(parents=True, exist_ok=True)
    text = WORK / f"text-x{repeat}.txt"
    words = WORK / f"text-x{repeat}-words.txt"
    stale = not words.exists() or words.stat().st_mtime < text_10mb.stat().st_mtime
    if stale or not text.exists() or text.stat().st_size != len(once) * repeat:
        text.write_bytes(once * repeat)
        found = re.findall(r"\w+", once.decode("utf-8").lower())
        words.write_bytes(("\n".join(found) + "\n").encode() * repeat)
    return text, words


def timed(command: list[str]) -> tuple[float, float]:
    """Wall and CPU seconds (user + system, every thread) of one run."""
    start = time.perf_counter()
    with open(os.devnull, "wb") as sink:
        process = subprocess.Popen(command, stdout=sink)
        _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        raise subprocess.CalledProcessError(process.returncode, command)
    return wall, usage.ru_utime + usage.ru_stime


def best_times(commands: dict[str, list[str]], runs: int) -> dict[str, tuple[float, float]]:
    """Best wall and best CPU time of each command; runs interleave, so a
    passing load on the machine weighs on every program alike."""
    best = {name: (float("inf"), float("inf")) for name in commands}
    for _ in range(runs):
        for name, command in commands.items():
            wall, cpu = timed(command)
            best[name] = (min(best[name][0], wall), min(best[name][1], cpu))
    return best


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", type=pathlib.Path, help="ardovel-stem to measure (default: build one)")
    parser.add_argument("--repeat", type=int, default=10, help="copies of the word list in the word corpus")
    parser.add_argument("--text-repeat", type=int, default=5, help="copies of the 10 MB running text")
    parser.add_argument("--runs", type=int, default=3, help="runs of each program; the best counts")
    args = parser.parse_args()

    program = str(args.program or build_program())
    corpus = write_corpus(args.repeat)
    text, text_words = write_text_corpus(args.text_repeat)
    sizes = {path: path.stat().st_size / 1e6 for path in (corpus, text, text_words)}
    print(f"words: {corpus} ({sizes[corpus]:.1f} MB, {args.repeat} x every hunspell-sr word); "
          f"running text: {text} ({sizes[text]:.1f} MB; its words one per line, {sizes[text_words]:.1f} MB); "
          f"{len(os.sched_getaffinity(0))} processors")

    one_processor = ["taskset", "-c", str(min(os.sched_getaffinity(0)))]
    runs = {
        "ardovel-stem": ([program, str(corpus)], corpus),
        "ardovel-stem --tokens": ([program, "--tokens", str(corpus)], corpus),
        "ardovel-stem, 1 processor": (one_processor + [program, str(corpus)], corpus),
        "stemwords -l serbian": (["stemwords", "-l", "serbian", "-i", str(corpus)], corpus),
        "text: ardovel-stem --tokens": ([program, "--tokens", str(text)], text),
        "text: ... 1 processor": (one_processor + [program, "--tokens", str(text)], text),
        "text: stemwords, its words": (["stemwords", "-l", "serbian", "-i", str(text_words)], text_words),
    }
    times = best_times({name: command for name, (command, _) in runs.items()}, args.runs)
    print(f"{'':<28} {'wall s':>7} {'MB/s':>8} {'CPU s':>7} {'MB/CPU s':>9}")
    for name, (wall, cpu) in times.items():
        megabytes = sizes[runs[name][1]]
        print(f"{name:<28} {wall:7.3f} {megabytes / wall:8.1f} {cpu:7.3f} {megabytes / cpu:9.1f}")

    def ratio(ours: str, theirs: str, index: int) -> float:
        return times[theirs][index] / times[ours][index]

    for label, ours, theirs in [("words", "ardovel-stem", "stemwords -l serbian"),
                                ("words, 1 processor", "ardovel-stem, 1 processor", "stemwords -l serbian"),
                                ("running text --tokens", "text: ardovel-stem --tokens", "text: stemwords, its words")]:
        print(f"ardovel-stem / stemwords, {label}: {ratio(ours, theirs, 0):.1f}x by wall time, "
              f"{ratio(ours, theirs, 1):.1f}x by CPU time")
    return 0


if __name__ == "__main__":
    sys.exit(main())
