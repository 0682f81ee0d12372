"""The extension gives the keys the rest of ardovel gives: ts_lexize and
ardovel_stem against stem_py word by word, to_tsvector against
ardovel_text.analyze on whole texts, with and without stop words."""
import collections
import random

import pytest

import ardovel
from conftest import ROOT, copy_rows, dictionary_words, query_json

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


def test_lexize_and_ardovel_stem_agree_with_python(database, word_sample):
    from ardovel_text import stem_words

    words = list(example_words()) + word_sample
    rows = query_json(
        "CREATE TEMP TABLE words (id serial, word text);\n"
        + copy_rows("words (word)", [(word,) for word in words])
        + "SELECT json_agg(json_build_array(ts_lexize('ardovel', word), ts_lexize('ardovel_search', word),"
          " ardovel_stem(word)) ORDER BY id) FROM words;", database)
    assert len(rows) == len(words)
    keys, lemmas = stem_words(words), stem_words(words, lemmas=True, fold=True)
    wrong = []
    for word, key, lemma, (lexemes, lemma_lexemes, stem) in zip(words, keys, lemmas, rows):
        # An empty key is a known token that indexes nothing: {} and not NULL.
        if (lexemes, lemma_lexemes, stem) != ([key] if key else [], [lemma] if lemma else [], ardovel.stem_py(word)):
            wrong.append((word, lexemes, lemma_lexemes, stem))
    assert not wrong, wrong[:20]


# Texts on which PostgreSQL's default parser and ardovel's tokens part ways.
TRICKY_TEXTS = [
    "na\u00ADjlepše učenik/učenica knjige.reke",
    "ЂАК И ЏЕП, НАЈЛЕПШИ", "Crno-bela knjiga (2024.) i 3,14 km²",
    "pisac@knjige.rs https://knjige.rs/reke?x=1 v1.2.3",
    "a\u200Db kuc\u0301a \u00AD x\u00ADy", "«Књиге,реке» — „priče“",
]


def mixed_texts(count, length):
    """Dictionary words of both scripts in every case, joined by spaces,
    punctuation, symbols, slashes, dots and soft hyphens, with numbers."""
    rng = random.Random(17)
    words = [word for name in ("sr_RS", "sr_Latn_RS") for word in dictionary_words(name)]
    words += default_stop_words() * 20 + ["2024", "covid19", "x86"]
    joins = [" ", " ", " ", ", ", ". ", "/", ".", "-", "\u00AD", " — ", "\n", "!?"]
    texts = []
    for _ in range(count):
        picked = [rng.choice(words) for _ in range(length)]
        picked = [w.upper() if rng.random() < 0.1 else w.capitalize() if rng.random() < 0.2 else w for w in picked]
        texts.append("".join(w + rng.choice(joins) for w in picked))
    return texts


@pytest.mark.parametrize("config", ["ardovel", "ardovel_stop", "ardovel_search"])
def test_to_tsvector_holds_the_keys_analyze_gives(database, config):
    from ardovel_text import SERBIAN_STOPWORDS, analyze

    texts = TRICKY_TEXTS + mixed_texts(400, 16)
    rows = query_json(
        "CREATE TEXT SEARCH DICTIONARY ardovel_stop (TEMPLATE = ardovel, StopWords = ardovel);\n"
        "CREATE TEXT SEARCH CONFIGURATION ardovel_stop (COPY = ardovel);\n"
        "ALTER TEXT SEARCH CONFIGURATION ardovel_stop ALTER MAPPING REPLACE ardovel WITH ardovel_stop;\n"
        "CREATE TEMP TABLE texts (id serial, body text);\n"
        + copy_rows("texts (body)", [(text,) for text in texts])
        + f"SELECT json_agg((SELECT coalesce(json_object_agg(lexeme, cardinality(positions)), '{{}}')"
          f" FROM unnest(to_tsvector('{config}', body))) ORDER BY id) FROM texts;\n"
          "DROP TEXT SEARCH CONFIGURATION ardovel_stop; DROP TEXT SEARCH DICTIONARY ardovel_stop;", database)
    options = {"ardovel": {}, "ardovel_stop": {"stopwords": SERBIAN_STOPWORDS},
               "ardovel_search": {"lemmas": True, "fold": True}}[config]
    wrong = [(text, got) for text, got in zip(texts, rows)
             if got != dict(collections.Counter(analyze(text, **options)))]
    assert not wrong, wrong[:3]


def test_headline_marks_the_words_as_written(database):
    result = query_json("""SELECT json_agg(ts_headline('ardovel', t, to_tsquery('ardovel', 'knjiga & reka'),
                                                     'StartSel=[, StopSel=]'))
                           FROM unnest(ARRAY['Деца читају књиге,ријеке и мора.']) t;""", database)
    assert result == ["Деца читају [књиге],[ријеке] и мора."]


def test_stop_words(database):
    # Their spellings in the other script and case are the core's to stop.
    listed = default_stop_words()
    got = query_json(
        "CREATE TEXT SEARCH DICTIONARY stop_default (TEMPLATE = ardovel, StopWords = ardovel);\n"
        + "SELECT json_agg(ts_lexize('stop_default', w)) FROM unnest(ARRAY[%s]) w;\n" % literals(listed)
        + "DROP TEXT SEARCH DICTIONARY stop_default;", database)
    assert all(lexemes == [] for lexemes in got), [w for w, g in zip(listed, got) if g != []]

    # The same words through the plain dictionary are stemmed as usual.
    for word, lexemes in zip(listed, query_json(
            "SELECT json_agg(ts_lexize('ardovel', w)) FROM unnest(ARRAY[%s]) w;" % literals(listed), database)):
        assert lexemes == ([ardovel.stem_py(word)] if ardovel.stem_py(word) else [])


def literals(words):
    return ", ".join("'" + w.replace("'", "''") + "'" for w in words)
