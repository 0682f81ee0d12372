"""Indexing speed of the FTS5 tokenizer `ardovel` (without and with its stop
list) against FTS5's own `unicode61`, on the same running text.

    python3 bench/sqlite_bench.py EXTENSION TEXT [REPEATS]

Each line of TEXT is one document. A contender indexes every document into
a fresh in-memory table in one transaction; the contenders take turns,
REPEATS rounds (default 3), and the median CPU time of each is printed as
JSON. The time is all of FTS5's work, not the tokenizer's alone, since that
is what a user waits for.
"""
import json
import sqlite3
import statistics
import sys
import time

TOKENIZERS = ["ardovel", "ardovel stopwords", "unicode61"]


def index_seconds(extension, documents, tokenizer):
    db = sqlite3.connect(":memory:")
    db.enable_load_extension(True)
    db.load_extension(extension)
    db.execute(f"CREATE VIRTUAL TABLE docs USING fts5(body, tokenize = '{tokenizer}')")
    start = time.process_time()
    with db:
        db.executemany("INSERT INTO docs(body) VALUES (?)", documents)
    seconds = time.process_time() - start
    db.close()
    return seconds


def main():
    extension, path = sys.argv[1], sys.argv[2]
    repeats = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    data = open(path, "rb").read()
    documents = [(line,) for line in data.decode("utf-8").splitlines() if line]
    times = {tokenizer: [] for tokenizer in TOKENIZERS}
    for _ in range(repeats):
        for tokenizer in TOKENIZERS:
            times[tokenizer].append(index_seconds(extension, documents, tokenizer))
    seconds = {tokenizer: statistics.median(runs) for tokenizer, runs in times.items()}
    print(json.dumps({"bytes": len(data), "documents": len(documents), "seconds": seconds}))


if __name__ == "__main__":
    main()
