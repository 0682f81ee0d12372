"""Runs every benchmark, prints one table and writes it to docs/benchmarks.md.

    python3 bench/driver.py BUILD_DIR DATA_DIR

BUILD_DIR is a meson build with -Dbench=true and -Dpostgres=enabled
(core_bench, the Python modules, the extensions); DATA_DIR receives the
corpora, made from the hunspell-sr
dictionaries on first use. Times are CPU time of the measuring process (but
wall time for one thread against two), and every comparison is made inside
one run, the contenders taking turns, so that other work on the machine
weighs on both sides alike.
"""

import datetime
import json
import os
import platform
import shutil
import statistics
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
PYTHON = "/usr/bin/python3"  # Debian's, which has python3-stemmer
SCALING_SIZES = ["1MB", "10MB", "100MB"]
SCALING_RUNS = 3


def run_json(command):
    out = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    return json.loads(out)


def core(build, data):
    report = run_json([str(build / "bench" / "core_bench"), str(data / "words.txt"), str(data / "text-10MB.txt"),
                       "--benchmark_format=json", "--benchmark_repetitions=5",
                       "--benchmark_enable_random_interleaving=true", "--benchmark_min_time=0.5",
                       "--benchmark_report_aggregates_only=true"])
    result = {}
    for bench in report["benchmarks"]:
        if bench.get("aggregate_name") != "median":
            continue
        name = bench["run_name"]
        if "text_bytes" in bench:  # running text: MB/s of one core
            result[name] = {"mb_s": bench["bytes_per_second"] / 1e6, "tokens": bench["tokens"],
                            **{k: bench[k] for k in bench if "allocs" in k}}
            continue
        words = bench["words"]
        ns = bench["cpu_time"] * {"ms": 1e6, "us": 1e3, "ns": 1.0}[bench["time_unit"]] / words
        result[name] = {"ns": ns, "words": words, **{k: bench[k] for k in bench if "allocs" in k}}
    return result


def python_face(build, data):
    return run_json([PYTHON, str(HERE / "python_bench.py"), str(build / "src" / "python"),
                     str(data / "words.txt"), "9"])


def scaling(build, data):
    rows = {}
    for size in SCALING_SIZES:
        runs = [run_json([PYTHON, str(HERE / "scaling.py"), str(build / "src" / "python"),
                          str(data / f"text-{size}.txt")]) for _ in range(SCALING_RUNS)]
        rows[size] = {
            "utf8_bytes": runs[0]["utf8_bytes"],
            "str_bytes": runs[0]["str_bytes"],
            "first_s": statistics.median(r["first_s"] for r in runs),
            "median_s": statistics.median(r["median_s"] for r in runs),
            "peak_above_kib": max(r["peak_above_kib"] for r in runs),
            "hwm_reset": all(r["hwm_reset"] for r in runs),
        }
    return rows


def texts(build, data):
    """ardovel_text on running text: speed in one process, peak memory of
    analyze on 100 MB in fresh ones."""
    modules = [str(build / "src" / "python")] * 2
    speed = run_json([PYTHON, str(HERE / "text_bench.py"), "speed", *modules, str(data / "running-10MB.txt"), "5"])
    memory = [run_json([PYTHON, str(HERE / "text_bench.py"), "memory", *modules, str(data / "text-100MB.txt")])
              for _ in range(SCALING_RUNS)]
    speed["memory_x"] = max(m["peak_above_kib"] * 1024 / m["utf8_bytes"] for m in memory)
    if "analyze_lemmas_fold" in speed["seconds"]:
        speed["lexicon"] = run_json([PYTHON, str(HERE / "text_bench.py"), "lexicon", *modules,
                                     str(data / "running-10MB.txt")])
    speed["memory_hwm_reset"] = all(m["hwm_reset"] for m in memory)
    return speed


def text_rows(x):
    sec, threads = x["seconds"], x["threads"]
    findall_ratio = sec["findall_stem_py"] / sec["analyze"]
    pystemmer_ratio = sec["pystemmer"] / sec["analyze"]
    tokenize_ratio = sec["tokenize"] / sec["analyze"]
    words_ratio = sec["stem_py_loop"] / sec["stem_words"]
    threads_ratio = threads["two_threads"] / threads["one_thread"]
    return [
        ("ardovel_text, running text (10 MB, samples/ included): `analyze(text)`, seconds", f"{sec['analyze']:.3f}",
         f"`[stem_py(t) for t in re.findall(r\"\\w+\", text)]`: {sec['findall_stem_py']:.3f}",
         f"{findall_ratio:.1f}x faster", ">= 3x faster", verdict(findall_ratio >= 3)),
        ("ardovel_text: the same against PyStemmer", f"{sec['analyze']:.3f}",
         f"`stemWords(re.findall(r\"\\w+\", text.lower()))`, cache off: {sec['pystemmer']:.3f}",
         f"{pystemmer_ratio:.1f}x faster", ">= 10x faster", verdict(pystemmer_ratio >= 10)),
        ("ardovel_text: `tokenize(text)`, seconds", f"{sec['tokenize']:.3f}", f"`analyze(text)`: {sec['analyze']:.3f}",
         f"{tokenize_ratio:.2f}x the time", "<= 1.5x", verdict(tokenize_ratio <= 1.5)),
        (f"ardovel_text: `stem_words(words)`, {x['words']} words, seconds", f"{sec['stem_words']:.3f}",
         f"`[stem_py(w) for w in words]`: {sec['stem_py_loop']:.3f}", f"{words_ratio:.2f}x faster", ">= 1.4x faster",
         verdict(words_ratio >= 1.4)),
        ("ardovel_text: two threads analysing two 10 MB texts, wall seconds", f"{threads['two_threads']:.3f}",
         f"one thread doing both: {threads['one_thread']:.3f} (SHA-256 the same way: "
         f"{threads['control_ratio']:.2f}x)", f"{threads_ratio:.2f}x the time", "<= 0.7x",
         verdict(threads_ratio <= 0.7)),
        ("ardovel_text: peak memory of `analyze` on 100 MB above the input `str`, times the UTF-8 size",
         f"{x['memory_x']:.2f}", "", "", "<= 4x", verdict(x["memory_x"] <= 4)),
    ] + lemma_rows(x)


def lemma_rows(x):
    """The lemma key's cost, when the build has the lexicon."""
    sec = x["seconds"]
    if "analyze_lemmas_fold" not in sec:
        return [("lemma keys", "not built (no hunspell-sr)", "", "", "", "")]
    lemmas = sec["analyze_lemmas_fold"]
    over_stems, over_pystemmer = lemmas / sec["analyze"], sec["pystemmer"] / lemmas
    lexicon = x["lexicon"]
    size_mb, resident_mb = lexicon["file_bytes"] / 1e6, lexicon["resident_kib"] * 1024 / 1e6
    return [
        ("ardovel_text: `analyze(text, lemmas=True, fold=True)`, running text (10 MB), seconds", f"{lemmas:.3f}",
         f"`analyze(text)`: {sec['analyze']:.3f}", f"{over_stems:.2f}x the time", "<= 1.6x",
         verdict(over_stems <= 1.6)),
        ("ardovel_text: the same against PyStemmer", f"{lemmas:.3f}", f"the PyStemmer pipeline: {sec['pystemmer']:.3f}",
         f"{over_pystemmer:.1f}x faster", ">= 6x faster", verdict(over_pystemmer >= 6)),
        ("the lexicon file (added to the wheel, which stores it uncompressed), MB", f"{size_mb:.2f}", "", "",
         "<= 12", verdict(size_mb <= 12)),
        ("the lexicon's resident pages after keying the 10 MB text with lemmas, MB", f"{resident_mb:.2f}", "", "",
         "<= 16", verdict(resident_mb <= 16)),
    ]


def sqlite_fts5(build, data):
    return run_json([PYTHON, str(HERE / "sqlite_bench.py"), str(build / "src" / "sqlite" / "ardovel_sqlite.so"),
                     str(data / "text-10MB.txt")])


def cli(build):
    """The command-line tool's own benchmark, when it is there."""
    for script, command in ((HERE / "cli_bench.sh", ["bash"]), (HERE / "cli_bench.py", [PYTHON])):
        if script.exists():
            done = subprocess.run(command + [str(script)], capture_output=True, text=True)
            return (done.stdout + done.stderr).strip()
    return None


def quality(build):
    """Lemma-match and pair measures of stems, lemmas, lemmas with folding
    and Snowball, on the development treebank and on held-out paradigms."""
    done = subprocess.run([PYTHON, str(HERE / "lemma_quality.py"), "--build", str(build), "--content"],
                          capture_output=True, text=True)
    said = (done.stdout + done.stderr).strip()
    return said if done.returncode == 0 else f"(not measured: {(said.splitlines() or ['exit status'])[-1]})"


def search(build, data):
    """Recall in FTS5 and PostgreSQL, and PostgreSQL's indexing speed, on a
    throwaway server (bench/search_bench.py); the chart goes beside the data."""
    done = subprocess.run([str(HERE.parent / "tools" / "test-postgres.sh"), str(build), "run", PYTHON,
                           str(HERE / "search_bench.py"), str(build), str(data), str(data / "recall.png")],
                          capture_output=True, text=True)
    if done.returncode != 0:
        said = (done.stdout + done.stderr).strip().splitlines() or [f"exit status {done.returncode}"]
        return f"(not measured: {said[-1]})"
    return done.stdout.strip() + f"\n\nChart: {data / 'recall.png'}"


def realistic(build, data):
    """Recall and precision of one-word searches on Serbian sentences written
    six ways (bench/search_realistic.py), on a throwaway server as above."""
    done = subprocess.run([str(HERE.parent / "tools" / "test-postgres.sh"), str(build), "run", PYTHON,
                           str(HERE / "search_realistic.py"), str(build), str(data)], capture_output=True, text=True)
    said = (done.stdout + done.stderr).strip()
    if done.returncode != 0:
        return f"(not measured: {(said.splitlines() or ['exit status'])[-1]})"
    # The search-quality page shows this run's chart.
    shutil.copyfile(data / "search_realistic.png", HERE.parent / "docs" / "search-quality.png")
    return said + "\n\nChart: docs/search-quality.png"


def cpu_model():
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def verdict(ok):
    return "holds" if ok else "MISSED"


def main():
    build, data = Path(sys.argv[1]), Path(sys.argv[2])
    subprocess.run([PYTHON, str(HERE / "make_corpora.py"), str(data)], check=True)

    c = core(build, data)
    p = python_face(build, data)
    s = scaling(build, data)
    x = texts(build, data)
    cli_report = cli(build)
    fts5 = sqlite_fts5(build, data)["seconds"]
    quality_report = quality(build)
    search_report = search(build, data)
    realistic_report = realistic(build, data)

    ours, snow = c["ardovel_stem_word"], c["snowball_serbian"]
    core_ratio = snow["ns"] / ours["ns"]
    ns = p["ns_per_word"]
    lower_ratio = ns["stem_py"] / ns["str.lower"]
    pystemmer_ratio = ns["PyStemmer"] / ns["stem_py"]
    t = {k: v["first_s"] for k, v in s.items()}
    warm = {k: v["median_s"] for k, v in s.items()}
    mem = {k: v["peak_above_kib"] * 1024 / v["utf8_bytes"] for k, v in s.items()}
    allocs_mean = ours["allocs_per_call_lt64"]
    allocs_max = ours["max_allocs_per_call_lt64"]
    tokens, text = c["text_tokenize"], c["text_analyze"]
    text_stop, text_snow = c["text_analyze_stopwords"], c["text_snowball_over_tokens"]
    text_allocs = max(c[name]["warm_allocs"] for name in c if name.startswith("text_analyze"))

    rows = [
        ("core: `stem_word`, ns/word", f"{ours['ns']:.1f}",
         f"Snowball Serbian `sb_stemmer_stem`: {snow['ns']:.0f}", f"{core_ratio:.1f}x faster", ">= 15x faster",
         verdict(core_ratio >= 15)),
        ("Python: `[stem_py(w) for w in words]`, ns/word", f"{ns['stem_py']:.1f}",
         f"`[w.lower() for w in words]`: {ns['str.lower']:.1f}", f"{lower_ratio:.2f}x the time", "<= 1.5x",
         verdict(lower_ratio <= 1.5)),
        ("Python: the same against PyStemmer", f"{ns['stem_py']:.1f}",
         f"PyStemmer `stemWord`, cache off: {ns['PyStemmer']:.0f}", f"{pystemmer_ratio:.1f}x faster", ">= 10x faster",
         verdict(pystemmer_ratio >= 10)),
        ("scaling: `stem_py` on one text, 1 / 10 / 100 MB, seconds",
         " / ".join(f"{t[k]:.3f}" for k in SCALING_SIZES), "",
         f"10MB/1MB {t['10MB'] / t['1MB']:.1f}x, 100MB/10MB {t['100MB'] / t['10MB']:.1f}x", "100MB/10MB <= 11x",
         verdict(t["100MB"] / t["10MB"] <= 11)),
        ("scaling: repeat calls on the same `str` (UTF-8 form cached), seconds",
         " / ".join(f"{warm[k]:.3f}" for k in SCALING_SIZES), "",
         f"10MB/1MB {warm['10MB'] / warm['1MB']:.1f}x, 100MB/10MB {warm['100MB'] / warm['10MB']:.1f}x", "", ""),
        ("peak memory above the input `str`, times the UTF-8 size, 1 / 10 / 100 MB",
         " / ".join(f"{mem[k]:.2f}" for k in SCALING_SIZES), "", "", "<= 4x", verdict(max(mem.values()) <= 4)),
        ("heap allocations per `stem_word` call, words under 64 bytes", f"mean {allocs_mean:.3f}, max {allocs_max:.0f}",
         "", "", "<= 1", verdict(allocs_max <= 1)),
        ("core, running text (10 MB): tokens only, MB/s on one core", f"{tokens['mb_s']:.0f}", "", "", "", ""),
        ("core, running text: tokens and stems (`Analyzer::analyze`), MB/s on one core", f"{text['mb_s']:.0f}",
         f"Snowball Serbian over the same tokens: {text_snow['mb_s']:.0f}", f"{text['mb_s'] / text_snow['mb_s']:.1f}x faster",
         ">= 150 (the CLI's 300 on 2 cores)", verdict(text["mb_s"] >= 150)),
        ("core, running text: the same with the default stop list, MB/s on one core", f"{text_stop['mb_s']:.0f}",
         "", "", "", ""),
        *([("core, running text: lemma keys, folded (`lemmas`, `fold`), MB/s on one core",
             f"{c['text_analyze_lemmas_fold']['mb_s']:.0f}", f"stems: {text['mb_s']:.0f}",
             f"{text['mb_s'] / c['text_analyze_lemmas_fold']['mb_s']:.2f}x the time", "", "")]
          if "text_analyze_lemmas_fold" in c else []),
        ("heap allocations of a warm `Analyzer` over the whole text", f"{text_allocs:.0f}", "", "", "0",
         verdict(text_allocs == 0)),
        *text_rows(x),
        ("SQLite FTS5: indexing 10 MB of text, s (with the stop list)",
         f"{fts5['ardovel']:.2f} ({fts5['ardovel stopwords']:.2f})", f"`unicode61`: {fts5['unicode61']:.2f}",
         f"{fts5['ardovel'] / fts5['unicode61']:.2f}x the time", "<= 1.5x",
         verdict(fts5["ardovel"] / fts5["unicode61"] <= 1.5)),
    ]

    lines = [
        f"Machine: {cpu_model()}, {os.cpu_count()} cores; {platform.platform()}; "
        f"corpus {ours['words']:.0f} words (hunspell-sr, both scripts, with inflected forms); "
        f"CPU time, medians of interleaved repeats",
        "",
        "| measure | ardovel | yardstick | ratio | target | |",
        "|---|---|---|---|---|---|",
        *("| " + " | ".join(row) + " |" for row in rows),
    ]
    if not all(v["hwm_reset"] for v in s.values()) or not x["memory_hwm_reset"]:
        lines += ["", "(peak memory: the kernel refused to reset the high-water mark; the figures overstate the peak)"]
    if cli_report:
        lines += ["", "Command-line tool (bench/cli_bench.py):", "", "```", cli_report, "```"]
    lines += ["", "Conflation quality, content words (bench/lemma_quality.py):", "", quality_report]
    lines += ["", "Search engines (bench/search_bench.py):", "", search_report]
    lines += ["", "Search on sentences as people write them (bench/search_realistic.py):", "", realistic_report]
    print("\n" + "\n".join(lines))
    write_page(lines)


def write_page(lines):
    """docs/benchmarks.md: this run's figures, which depend on the machine and
    its load; no test asserts on time."""
    page = HERE.parent / "docs" / "benchmarks.md"
    head = ["# Benchmarks", "",
            f"Written by `make bench` ({datetime.date.today().isoformat()}); run it again for your machine's "
            "figures. Times depend on the machine and its load, and no test asserts on them. What each row "
            "measures is in `bench/driver.py` and the scripts it runs.", ""]
    page.write_text("\n".join(head + lines) + "\n", encoding="utf-8")


if __name__ == "__main__":
    main()
