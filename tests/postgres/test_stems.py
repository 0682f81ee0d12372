"""The extension gives the stems the rest of ardovel gives: ts_lexize and
ardovel_stem against stem_py word by word, to_tsvector against the text
layer on whole texts, with and without stop words."""
import collections
import random

import pytest

import ardovel
from conftest import ROOT, copy_rows, dictionary_words, query_json

try:
    from ardovel_text import SERBIAN_STOPWORDS, tokenize
except ImportError:  # the Python text layer is not in this tree yet, only its SQLite extension
    SERBIAN_STOPWORDS = tokenize = None

EXAMPLES = ROOT / "tests" / "data" / "stem_examples.tsv"
STOP_LIST = ROOT / "src" / "analysis" / "serbian_stopwords.txt"


def example_words():
    """The inputs of the worked examples (edge cases of every stage) that
    PostgreSQL text can hold."""
    for line in EXAMPLES.read_text(encoding="utf-8").splitlines():
        if line and not line.startswith("#"):
            field = line.split("\t")[0]
            word = "" if field == '""' else field.encode("latin-1", "backslashreplace").decode("unicode_escape")
            if "\0" not in word:
                yield word


def default_stop_words():
    lines = STOP_LIST.read_text(encoding="utf-8").splitlines()
    return [line.strip() for line in lines if line.strip() and not line.startswith("#")]


def test_lexize_and_ardovel_stem_agree_with_stem_py(database, word_sample):
    words = list(example_words()) + word_sample
    rows = query_json(
        "CREATE TEMP TABLE words (id serial, word text);\n"
        + copy_rows("words (word)", [(word,) for word in words])
        + "SELECT json_agg(json_build_array(ts_lexize('ardovel', word), ardovel_stem(word)) ORDER BY id)"
          " FROM words;", database)
    assert len(rows) == len(words)
    wrong = []
    for word, (lexemes, stem) in zip(words, rows):
        expected = ardovel.stem_py(word)
        # An empty stem is a known token that indexes nothing: {} and not NULL.
        if lexemes != ([expected] if expected else []) or stem != expected:
            wrong.append((word, lexemes, stem, expected))
    assert not wrong, wrong[:20]


def plain_word_texts(count, length):
    """Texts of letters and single spaces only. The default parser and the
    text layer split other texts differently (PostgreSQL keeps "crno-beli"
    whole beside its parts, reads e-mail addresses and numbers as tokens of
    their own), so the two are compared on words alone."""
    rng = random.Random(17)
    words = [word for name in ("sr_RS", "sr_Latn_RS") for word in dictionary_words(name)
             if word.isalpha() and all(ord(c) < 0x500 for c in word)]
    texts = []
    for _ in range(count):
        picked = [rng.choice(words) for _ in range(length)]
        texts.append(" ".join(w.upper() if rng.random() < 0.1 else w.capitalize() if rng.random() < 0.2 else w
                              for w in picked))
    return texts


def text_layer_lexemes(text, stop_words):
    """{stem: [positions]} for a plain-word text, positions counting every
    word from 1, stop words included, as to_tsvector counts them."""
    starts = {}
    offset = 0
    for position, word in enumerate(text.split(" "), 1):
        starts[offset] = position
        offset += len(word) + 1
    lexemes = collections.defaultdict(list)
    if tokenize is not None:
        for stem, start, _ in tokenize(text, stopwords=stop_words):
            lexemes[stem].append(starts[start])
    else:
        assert stop_words is None
        for start, position in starts.items():
            stem = ardovel.stem_py(text[start:].split(" ", 1)[0])
            if stem:
                lexemes[stem].append(position)
    return dict(lexemes)


@pytest.mark.parametrize("stop_words", [False, True], ids=["all words", "stop words"])
def test_to_tsvector_agrees_with_the_text_layer(database, stop_words):
    if stop_words and tokenize is None:
        pytest.skip("ardovel_text is not in this tree yet")
    texts = plain_word_texts(400, 16)
    # Stop words from the default list, so they occur often enough to count.
    rng = random.Random(19)
    listed = default_stop_words()
    texts = [" ".join(w if rng.random() < 0.8 else rng.choice(listed) for w in text.split(" ")) for text in texts]
    config = "ardovel_stop" if stop_words else "ardovel"
    rows = query_json(
        "CREATE TEXT SEARCH DICTIONARY ardovel_stop (TEMPLATE = ardovel, StopWords = ardovel);\n"
        "CREATE TEXT SEARCH CONFIGURATION ardovel_stop (COPY = ardovel);\n"
        "ALTER TEXT SEARCH CONFIGURATION ardovel_stop ALTER MAPPING REPLACE ardovel WITH ardovel_stop;\n"
        "CREATE TEMP TABLE texts (id serial, body text);\n"
        + copy_rows("texts (body)", [(text,) for text in texts])
        + f"SELECT json_agg((SELECT coalesce(json_object_agg(lexeme, positions), '{{}}')"
          f" FROM unnest(to_tsvector('{config}', body))) ORDER BY id) FROM texts;\n"
          "DROP TEXT SEARCH CONFIGURATION ardovel_stop; DROP TEXT SEARCH DICTIONARY ardovel_stop;", database)
    stop_set = SERBIAN_STOPWORDS if stop_words else None
    wrong = [(text, got) for text, got in zip(texts, rows) if got != text_layer_lexemes(text, stop_set)]
    assert not wrong, wrong[:3]


def test_stop_words(database, tmp_path):
    listed = default_stop_words()
    spelled = listed + [w.upper() for w in listed] + [in_cyrillic(w) for w in listed]
    got = query_json(
        "CREATE TEXT SEARCH DICTIONARY stop_default (TEMPLATE = ardovel, StopWords = ardovel);\n"
        + "SELECT json_agg(ts_lexize('stop_default', w)) FROM unnest(ARRAY[%s]) w;\n" % literals(spelled)
        + "DROP TEXT SEARCH DICTIONARY stop_default;", database)
    assert all(lexemes == [] for lexemes in got), [w for w, g in zip(spelled, got) if g != []]

    # The same words through the plain dictionary are stemmed as usual.
    for word, lexemes in zip(listed, query_json(
            "SELECT json_agg(ts_lexize('ardovel', w)) FROM unnest(ARRAY[%s]) w;" % literals(listed), database)):
        assert lexemes == ([ardovel.stem_py(word)] if ardovel.stem_py(word) else [])


def in_cyrillic(word):
    """A Latin word in Cyrillic letters."""
    table = dict(zip("abvgdđežzijklmnoprstćufhcčš", "абвгдђежзијклмнопрстћуфхцчш"))
    out = word.replace("lj", "љ").replace("nj", "њ").replace("dž", "џ")
    return "".join(table.get(c, c) for c in out)


def literals(words):
    return ", ".join("'" + w.replace("'", "''") + "'" for w in words)
