"""Whole texts from Python: ardovel_text against the per-word ways.

    python3 text_bench.py speed MODULE_DIR TEXT_MODULE_DIR TEXT_FILE [REPEATS]
    python3 text_bench.py memory MODULE_DIR TEXT_MODULE_DIR TEXT_FILE

speed: the contenders take turns within each repeat over the same text;
medians of CPU time. Then one thread analysing two texts (the text and its
second half put first) against two threads analysing one each, taking
turns too; medians of wall time, since CPU time adds both threads up.

memory: in a fresh process, the peak resident memory of one analyze call
above what the process held just before it (the input `str` included), as
bench/scaling.py measures stem_py.

Both print JSON.
"""
import gc
import json
import re
import statistics
import sys
import threading
import time

from scaling import status_kib


def speed(text, repeats):
    import ardovel
    import ardovel_text
    import Stemmer

    stem_py = ardovel.stem_py
    snowball = Stemmer.Stemmer("serbian")
    snowball.maxCacheSize = 0
    words = re.findall(r"\w+", text)
    contenders = {
        "analyze": lambda: ardovel_text.analyze(text),
        "tokenize": lambda: ardovel_text.tokenize(text),
        "findall_stem_py": lambda: [stem_py(t) for t in re.findall(r"\w+", text)],
        "pystemmer": lambda: snowball.stemWords(re.findall(r"\w+", text.lower())),
        "stem_words": lambda: ardovel_text.stem_words(words),
        "stem_py_loop": lambda: [stem_py(w) for w in words],
    }
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


def threads(text, repeats):
    import ardovel_text

    texts = [text, text[len(text) // 2:] + text[:len(text) // 2]]

    def one_thread():
        for t in texts:
            ardovel_text.analyze(t)

    def two_threads():
        pool = [threading.Thread(target=ardovel_text.analyze, args=(t,)) for t in texts]
        for thread in pool:
            thread.start()
        for thread in pool:
            thread.join()

    times = {"one_thread": [], "two_threads": []}
    for _ in range(repeats):
        for name, run in (("one_thread", one_thread), ("two_threads", two_threads)):
            start = time.perf_counter()
            run()
            times[name].append(time.perf_counter() - start)
    return {name: statistics.median(t) for name, t in times.items()}


def memory(path):
    import ardovel_text

    with open(path, "rb") as f:
        data = f.read()
    text = data.decode("utf-8")
    utf8_bytes = len(data)
    del data
    gc.collect()
    try:
        with open("/proc/self/clear_refs", "w") as refs:
            refs.write("5")
        reset = True
    except OSError:
        reset = False
    before_kib = status_kib("VmRSS")
    stems = ardovel_text.analyze(text)
    peak_kib = status_kib("VmHWM")
    return {"utf8_bytes": utf8_bytes, "tokens": len(stems), "distinct_stems": len(set(stems)),
            "peak_above_kib": peak_kib - before_kib, "hwm_reset": reset}


def main():
    mode, module_dir, text_module_dir, path = sys.argv[1:5]
    sys.path[:0] = [module_dir, text_module_dir]
    if mode == "memory":
        print(json.dumps(memory(path)))
        return
    repeats = int(sys.argv[5]) if len(sys.argv) > 5 else 5
    with open(path, encoding="utf-8") as f:
        text = f.read()
    print(json.dumps({"utf8_bytes": len(text.encode()), **speed(text, repeats), "threads": threads(text, repeats)}))


if __name__ == "__main__":
    main()
