"""The Python face: ardovel.stem_py against str.lower() and PyStemmer.

    python3 python_bench.py MODULE_DIR WORDS_FILE [REPEATS]

Each contender runs as a list comprehension over every word, the contenders
taking turns within each repeat; prints medians of CPU time (ns per word)
as JSON.
"""

import json
import statistics
import sys
import time


def main():
    sys.path.insert(0, sys.argv[1])
    import ardovel
    import Stemmer

    words = open(sys.argv[2], encoding="utf-8").read().splitlines()
    repeats = int(sys.argv[3]) if len(sys.argv) > 3 else 7

    stem_py = ardovel.stem_py
    snowball = Stemmer.Stemmer("serbian")
    snowball.maxCacheSize = 0
    stem_word = snowball.stemWord

    def run_stem_py():
        return [stem_py(w) for w in words]

    def run_lower():
        return [w.lower() for w in words]

    def run_pystemmer():
        return [stem_word(w) for w in words]

    contenders = {"stem_py": run_stem_py, "str.lower": run_lower, "PyStemmer": run_pystemmer}
    # A first pass makes every str cache its UTF-8 form, as it would after
    # its first use in a real program.
    for run in contenders.values():
        run()
    times = {name: [] for name in contenders}
    for _ in range(repeats):
        for name, run in contenders.items():
            start = time.process_time_ns()
            result = run()
            times[name].append((time.process_time_ns() - start) / len(words))
            del result
    print(json.dumps({"words": len(words), "repeats": repeats,
                      "ns_per_word": {name: statistics.median(t) for name, t in times.items()},
                      "all": times}))


if __name__ == "__main__":
    main()
