#!/usr/bin/env python3
"""Writes the fuzzers' seed corpus: the hand-picked seeds of tricky-seeds.txt
and ill-formed-seeds.txt plus an even sample of the Serbian hunspell word
lists (both scripts), with some words upper-cased or given punctuation, one
file per seed. Seeds of an earlier run in OUTPUT_DIR are replaced.

Usage: make_corpus.py OUTPUT_DIR [WORDS_PER_LIST]
"""
import hashlib
import pathlib
import re
import sys

HERE = pathlib.Path(__file__).resolve().parent
SEED_NAME = re.compile("[0-9a-f]{40}")  # as written below
WORD_LISTS = [pathlib.Path("/usr/share/hunspell/sr_RS.dic"), pathlib.Path("/usr/share/hunspell/sr_Latn_RS.dic")]


def seed_lines(name):
    for line in (HERE / name).read_text(encoding="utf-8").splitlines():
        if line and not line.startswith("#"):
            yield line


def tricky_seeds():
    for line in seed_lines("tricky-seeds.txt"):
        yield decode_escapes(line)


def ill_formed_seeds():
    for line in seed_lines("ill-formed-seeds.txt"):
        yield line.encode("ascii").decode("unicode_escape").encode("latin-1")


def decode_escapes(line):
    # unicode_escape works on Latin-1, so protect non-ASCII text first.
    protected = line.encode("ascii", "backslashreplace").decode("ascii")
    return protected.encode("ascii").decode("unicode_escape")


def sampled_words(path, count):
    # First line is the entry count; entries are word[/flags].
    entries = path.read_text(encoding="utf-8").splitlines()[1:]
    step = max(1, len(entries) // count)
    for index in range(0, len(entries), step):
        word = entries[index].split("/", 1)[0].strip()
        if not word:
            continue
        yield word
        if index % (step * 7) == 0:
            yield word.upper()
        if index % (step * 11) == 0:
            yield f"{word.capitalize()},"
        if index % (step * 13) == 0:
            yield f"naj{word}"


def main():
    output = pathlib.Path(sys.argv[1])
    per_list = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
    output.mkdir(parents=True, exist_ok=True)
    for old in output.iterdir():
        if SEED_NAME.fullmatch(old.name):
            old.unlink()
    texts = [""] + list(tricky_seeds())  # the empty word too
    for path in WORD_LISTS:
        if path.exists():
            texts.extend(sampled_words(path, per_list))
        else:
            print(f"warning: {path} missing; its words are not in the corpus", file=sys.stderr)
    seeds = [text.encode("utf-8") for text in texts] + list(ill_formed_seeds())
    written = set()
    for seed in seeds:
        name = hashlib.sha1(seed).hexdigest()
        if name not in written:
            (output / name).write_bytes(seed)
            written.add(name)
    print(f"{len(written)} seeds in {output}")


if __name__ == "__main__":
    main()
