"""Builds the benchmark corpora from Debian's hunspell-sr dictionaries.

words.txt   every dictionary word of sr_RS.dic (Cyrillic) and sr_Latn_RS.dic
            (Latin), then inflected forms made with the dictionaries' own
            suffix rules, one per line, up to a fixed total.
text-*.txt  running text made from those words: sentences with capitals,
            the odd word in capitals, punctuation, both scripts; 1, 10 and
            100 MB of UTF-8.
running-10MB.txt
            the project's samples/ followed by text-10MB.txt: the corpus of
            the whole-text benchmarks.

Everything is seeded, so a rebuild gives the same bytes.
"""

import random
import sys
from pathlib import Path

HUNSPELL = Path("/usr/share/hunspell")
DICTIONARIES = ["sr_RS", "sr_Latn_RS"]
MAX_WORDS = 1_000_000
MB = 1_000_000
TEXT_SIZES = {"1MB": MB, "10MB": 10 * MB, "100MB": 100 * MB}


def read_dic(name):
    """(word, [flags]) per entry; lines are word/flags with CRLF ends."""
    lines = (HUNSPELL / f"{name}.dic").read_text(encoding="utf-8").splitlines()
    entries = []
    for line in lines[1:]:
        word, _, flags = line.partition("/")
        if word:
            entries.append((word, [f for f in flags.split(",") if f]))
    return entries


def read_suffix_rules(name):
    """flag -> [(strip, add)] from the SFX blocks of the .aff file."""
    rules = {}
    pending = {}
    for line in (HUNSPELL / f"{name}.aff").read_text(encoding="utf-8").splitlines():
        fields = line.split()
        if len(fields) < 4 or fields[0] != "SFX":
            continue
        flag = fields[1]
        if flag not in pending:  # the header: SFX flag Y count
            pending[flag] = int(fields[3])
            rules[flag] = []
            continue
        strip, add = fields[2], fields[3].split("/")[0]
        rules[flag].append(("" if strip == "0" else strip, "" if add == "0" else add))
    return rules


def inflected_forms(entries, rules):
    for word, flags in entries:
        for flag in flags:
            for strip, add in rules.get(flag, ()):
                if word.endswith(strip):
                    yield word[: len(word) - len(strip)] + add


def build_words():
    words = []
    seen = set()

    def add(word):
        if word not in seen:
            seen.add(word)
            words.append(word)

    per_script = []
    for name in DICTIONARIES:
        entries = read_dic(name)
        for word, _ in entries:
            add(word)
        per_script.append(list(dict.fromkeys(inflected_forms(entries, read_suffix_rules(name)))))
    # Inflected forms from both scripts in turn, spread evenly over the lists.
    room = MAX_WORDS - len(words)
    random.seed(5)
    for forms in per_script:
        for form in random.sample(forms, min(len(forms), room // len(per_script))):
            add(form)
    return words


PUNCTUATION_AFTER = [",", ",", ",", ";", ":", "", "", "", "", "", "", "", "", "", "", "", ")", "\u201c", "..."]


def build_text(words, size):
    """Sentences of 4 to 20 words, capitalised, ending in . ! or ?"""
    rng = random.Random(11)
    pieces = []
    length = 0
    while length < size:
        count = rng.randint(4, 20)
        sentence = []
        for i in range(count):
            word = rng.choice(words)
            if i == 0:
                word = word[:1].upper() + word[1:]
            elif rng.random() < 0.02:
                word = word.upper()
            if rng.random() < 0.03:
                word = "\u201e" + word
            sentence.append(word + (rng.choice(PUNCTUATION_AFTER) if i + 1 < count else rng.choice(".......!?")))
        line = " ".join(sentence) + ("\n" if rng.random() < 0.2 else " ")
        pieces.append(line)
        length += len(line.encode("utf-8"))
    data = "".join(pieces).encode("utf-8")[:size]
    # Cut back to a character boundary.
    while data and (data[-1] & 0xC0) == 0x80:
        data = data[:-1]
    if data and data[-1] >= 0xC0:
        data = data[:-1]
    return data


def write_running_text(out):
    target = out / "running-10MB.txt"
    if not target.exists():
        samples = sorted((Path(__file__).resolve().parent.parent / "samples").glob("*.txt"))
        target.write_bytes(b"".join(path.read_bytes() for path in samples) + (out / "text-10MB.txt").read_bytes())


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    stamp = out / "done"
    if stamp.exists():
        write_running_text(out)
        return
    words = build_words()
    (out / "words.txt").write_text("\n".join(words) + "\n", encoding="utf-8")
    base = build_text(words, 10 * MB)
    for label, size in TEXT_SIZES.items():
        data = (base * (size // len(base) + 1))[:size] if size > len(base) else base[:size]
        while data and (data[-1] & 0xC0) == 0x80:
            data = data[:-1]
        if data and data[-1] >= 0xC0:
            data = data[:-1]
        (out / f"text-{label}.txt").write_bytes(data)
    write_running_text(out)
    stamp.write_text(f"{len(words)} words\n")


if __name__ == "__main__":
    main()
