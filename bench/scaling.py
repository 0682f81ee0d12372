"""One text through stem_py: time and peak memory, in a fresh process.

    python3 scaling.py MODULE_DIR TEXT_FILE [REPEATS]

Prints JSON: the text's UTF-8 size, the size of the input `str` object,
the seconds of the first call and the median of the later ones, and the
peak resident memory of the first call above what the process held just
before it (the input `str` included), from /proc/self/status.

The peak is isolated by resetting the kernel's high-water mark (writing 5
to /proc/self/clear_refs) right before the call; where that is refused, the
high-water mark is taken as it stands, which can only overstate the peak.
"""

import gc
import json
import statistics
import sys
import time


def status_kib(field):
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise KeyError(field)


def read_text(path):
    """The file's text as a `str` and its UTF-8 size, with the bytes freed."""
    with open(path, "rb") as f:
        data = f.read()
    text = data.decode("utf-8")
    utf8_size = len(data)
    del data
    gc.collect()
    return text, utf8_size


def reset_peak():
    """Resets the high-water mark of resident memory; False where refused."""
    try:
        with open("/proc/self/clear_refs", "w") as refs:
            refs.write("5")
        return True
    except OSError:
        return False


def main():
    sys.path.insert(0, sys.argv[1])
    import ardovel

    repeats = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    baseline_kib = status_kib("VmRSS")
    text, utf8_size = read_text(sys.argv[2])
    reset = reset_peak()
    before_kib = status_kib("VmRSS")
    start = time.perf_counter()
    stem = ardovel.stem_py(text)
    first = time.perf_counter() - start
    peak_kib = status_kib("VmHWM")
    del stem

    later = []
    for _ in range(repeats):
        start = time.perf_counter()
        stem = ardovel.stem_py(text)
        later.append(time.perf_counter() - start)
        del stem

    print(json.dumps({
        "utf8_bytes": utf8_size,
        "str_bytes": sys.getsizeof(text),
        "first_s": first,
        "median_s": statistics.median(later),
        "peak_above_kib": peak_kib - before_kib,
        "peak_above_baseline_kib": peak_kib - baseline_kib,
        "hwm_reset": reset,
    }))


if __name__ == "__main__":
    main()
