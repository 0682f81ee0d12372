"""Whole texts from Python: ardovel_text against the per-word ways.

    python3 text_bench.py speed MODULE_DIR TEXT_MODULE_DIR TEXT_FILE [REPEATS]
    python3 text_bench.py memory MODULE_DIR TEXT_MODULE_DIR TEXT_FILE
    python3 text_bench.py lexicon MODULE_DIR TEXT_MODULE_DIR TEXT_FILE

speed: the contenders take turns within each repeat over the same text;
medians of CPU time. Then one thread analysing two texts (the text and its
second half put first) against two threads analysing one each; medians of
wall time, since CPU time adds both threads up. The same for SHA-256, which
CPython computes without the lock, shows how much of a second processor the
machine had to give meanwhile.

memory: in a fresh process, the peak resident memory of one analyze call
above what the process held just before it (the input `str` included), as
bench/scaling.py measures stem_py.

lexicon: in a fresh process, the size of the lexicon file and how much of
it is resident once analyze(lemmas=True, fold=True) has keyed the whole text.

All print JSON.
"""
import json
import os
import re
import statistics
import sys
import threading
import time

from scaling import read_text, reset_peak, status_kib


def speed(text, repeats):
    import ardovel
    import ardovel_text
    import Stemmer

    stem_py = ardovel.stem_py
    snowball = Stemmer.Stemmer("serbian")
    snowball.maxCacheSize = 0
    words = re.findall(r"\w+", text)
    try:
        ardovel_text.analyze("", lemmas=True)
    except ValueError:  # built without the lexicon
        lemmas = False
    else:
        lemmas = True
    contenders = {
        "analyze": lambda: ardovel_text.analyze(text),
        "analyze_lemmas_fold": lambda: ardovel_text.analyze(text, lemmas=True, fold=True),
        "tokenize": lambda: ardovel_text.tokenize(text),
        "findall_stem_py": lambda: [stem_py(t) for t in re.findall(r"\w+", text)],
        "pystemmer": lambda: snowball.stemWords(re.findall(r"\w+", text.lower())),
        "stem_words": lambda: ardovel_text.stem_words(words),
        "stem_py_loop": lambda: [stem_py(w) for w in words],
    }
    if not lemmas:
        del contenders["analyze_lemmas_fold"]
    # A first pass gives every word its UTF-8 form, as its first use would.
    for run in contenders.values():
        run()
    times = {name: [] for name in contenders}
    for _ in range(repeats):
        for name, run in contenders.items():
            start = time.process_time()
            result = run()
            times[name].append(time.process_time() - start)
            del result
    return {"tokens": len(ardovel_text.analyze(text)), "words": len(words),
            "seconds": {name: statistics.median(t) for name, t in times.items()}}


def one_and_two_threads(function, inputs):
    """Wall seconds of one thread calling function on both inputs, and of
    two threads calling it on one each."""
    start = time.perf_counter()
    for given in inputs:
        function(given)
    one = time.perf_counter() - start
    pool = [threading.Thread(target=function, args=(given,)) for given in inputs]
    start = time.perf_counter()
    for thread in pool:
        thread.start()
    for thread in pool:
        thread.join()
    return one, time.perf_counter() - start


def threads(text, repeats):
    """analyze on two texts, and as a control of how much of a second
    processor the machine gives right now, SHA-256 (which CPython runs
    without the lock) over two buffers taking about as long."""
    import hashlib

    import ardovel_text

    texts = [text, text[len(text) // 2:] + text[:len(text) // 2]]
    blobs = [text.encode()] * 2
    start = time.process_time()
    hashlib.sha256(blobs[0]).digest()
    per_blob = time.process_time() - start
    start = time.process_time()
    ardovel_text.analyze(text)
    blobs = [blob * max(1, round((time.process_time() - start) / max(per_blob, 1e-9))) for blob in blobs]
    runs = {"analyze": [], "sha256": []}
    for _ in range(repeats):
        runs["analyze"].append(one_and_two_threads(ardovel_text.analyze, texts))
        runs["sha256"].append(one_and_two_threads(lambda blob: hashlib.sha256(blob).digest(), blobs))
    return {
        "one_thread": statistics.median(one for one, _ in runs["analyze"]),
        "two_threads": statistics.median(two for _, two in runs["analyze"]),
        "control_ratio": statistics.median(two / one for one, two in runs["sha256"]),
    }


def memory(path):
    import ardovel_text

    text, utf8_bytes = read_text(path)
    reset = reset_peak()
    before_kib = status_kib("VmRSS")
    stems = ardovel_text.analyze(text)
    peak_kib = status_kib("VmHWM")
    return {"utf8_bytes": utf8_bytes, "tokens": len(stems), "distinct_stems": len(set(stems)),
            "peak_above_kib": peak_kib - before_kib, "hwm_reset": reset}


def lexicon(path):
    """File size and resident pages of the mapped lexicon after a whole text."""
    import ardovel_text

    with open(path, encoding="utf-8") as f:
        ardovel_text.analyze(f.read(), lemmas=True, fold=True)
    size = resident = 0
    mapping = None
    with open("/proc/self/smaps", encoding="utf-8") as smaps:
        for line in smaps:
            head = line.split()
            if "-" in head[0] and len(head) >= 5:  # a mapping's first line
                mapping = head[5] if len(head) > 5 else None
                if mapping and mapping.endswith("ardovel_lexicon.bin"):
                    size = os.path.getsize(mapping)
            elif head[0] == "Rss:" and mapping and mapping.endswith("ardovel_lexicon.bin"):
                resident += int(head[1])
    return {"file_bytes": size, "resident_kib": resident}


def main():
    mode, module_dir, text_module_dir, path = sys.argv[1:5]
    sys.path[:0] = [module_dir, text_module_dir]
    if mode in ("memory", "lexicon"):
        print(json.dumps((memory if mode == "memory" else lexicon)(path)))
        return
    repeats = int(sys.argv[5]) if len(sys.argv) > 5 else 5
    with open(path, encoding="utf-8") as f:
        text = f.read()
    print(json.dumps({"utf8_bytes": len(text.encode()), **speed(text, repeats), "threads": threads(text, repeats)}))


if __name__ == "__main__":
    main()
