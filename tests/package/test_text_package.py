"""ardovel_text as installed from the wheel: a clean environment, its types,
and its adapters inside the real libraries (the README's examples run in
test_readme.py; these go further: an index on disk, stop words, prefix
queries in Whoosh and FTS5 side by side, whole dictionaries)."""
import pickle
import subprocess

import cloudpickle
import pytest

import ardovel
import ardovel_text
from conftest import CLEAN_PYTHON, CLEAN_VENV, run_python


def test_clean_environment_has_the_package_but_no_adapter_libraries():
    result = run_python("""
        import sys, ardovel_text
        print(ardovel_text.__file__)
        print(ardovel_text.analyze("Knjige,reke", stopwords=ardovel_text.SERBIAN_STOPWORDS))
        print(ardovel_text.sqlite_extension_path())
        for adapter in ("whoosh", "nltk"):
            try:
                __import__("ardovel_text." + adapter)
            except ModuleNotFoundError as error:
                print(error.name)
        """, python=CLEAN_PYTHON)
    assert result.returncode == 0, result.stderr
    init, stems, sqlite, *missing = result.stdout.splitlines()
    package = f"{CLEAN_VENV}/lib/python3.11/site-packages/ardovel_text"
    assert (init, stems, sqlite) == (f"{package}/__init__.py", "['knjig', 'rek']", f"{package}/ardovel_sqlite.so")
    assert missing == ["whoosh", "nltk"]


@pytest.mark.parametrize("function", [ardovel_text.analyze, ardovel_text.tokenize, ardovel_text.stem_words])
def test_functions_pickle_by_reference(function):
    assert pickle.loads(pickle.dumps(function)) is function
    assert cloudpickle.loads(cloudpickle.dumps(function)) is function


CLIENT = """\
import ardovel_text

stems: list[str] = ardovel_text.analyze("Knjige", stopwords=ardovel_text.SERBIAN_STOPWORDS)
tokens: list[tuple[str, int, int]] = ardovel_text.tokenize("Knjige", stopwords={"su"})
words: list[str] = ardovel_text.stem_words(iter(["Knjige"]))
path: str = ardovel_text.sqlite_extension_path()
reveal_type(ardovel_text.tokenize)
"""

MISTAKES = [
    ('ardovel_text.analyze(b"x")', 'Argument 1 to "analyze" has incompatible type "bytes"; expected "str"'),
    ('ardovel_text.analyze("x", ["su"])', 'Too many positional arguments for "analyze"'),
    ('ardovel_text.tokenize("x", stopwords=[1])', 'List item 0 has incompatible type "int"; expected "str"'),
    ('number: int = ardovel_text.stem_words(["x"])[0]',
     'Incompatible types in assignment (expression has type "str", variable has type "int")'),
]


def test_mypy_reads_the_inline_types(tmp_path):
    client = tmp_path / "client.py"
    client.write_text(CLIENT + "".join(mistake + "\n" for mistake, _ in MISTAKES))
    result = subprocess.run(["/usr/bin/mypy", "--no-incremental", "--cache-dir", str(tmp_path / "cache"),
                             "--python-executable", str(CLEAN_PYTHON), str(client)],
                            capture_output=True, text=True, cwd=tmp_path, timeout=300)
    assert ('Revealed type is "def (text: builtins.str, *, stopwords: Union[typing.Iterable[builtins.str], None] '
            '=, lemmas: builtins.bool =, fold: builtins.bool =) -> builtins.list[Tuple[builtins.str, builtins.int, '
            'builtins.int]]"') in result.stdout
    first_line = CLIENT.count("\n") + 1
    for line, (_, message) in enumerate(MISTAKES, start=first_line):
        assert f"client.py:{line}: error: {message}" in result.stdout
    assert f"Found {len(MISTAKES)} errors in 1 file" in result.stdout


# ----------------------------------------------------------------- Whoosh


def test_whoosh_index_on_disk_with_stop_words_reopens_in_a_new_process(tmp_path):
    # The schema, analyzer included, is pickled into the index; a new
    # process must rebuild it by name and get the same stems for queries.
    from whoosh.fields import ID, TEXT, Schema
    from whoosh.index import create_in

    from ardovel_text.whoosh import SerbianAnalyzer

    analyzer = SerbianAnalyzer(stopwords=list(ardovel_text.SERBIAN_STOPWORDS))
    assert analyzer.stopwords is ardovel_text.SERBIAN_STOPWORDS   # the set that costs nothing per call
    index = create_in(str(tmp_path), Schema(key=ID(stored=True), body=TEXT(analyzer=analyzer, stored=True)))
    with index.writer() as writer:
        writer.add_document(key="reke", body="Књиге о рекама и морима су на столу.")
        writer.add_document(key="gradovi", body="Najlepši gradovi su uz rijeke, a ne uz mora.")
    result = run_python(f"""
        from whoosh.highlight import UppercaseFormatter
        from whoosh.index import open_dir
        from whoosh.qparser import QueryParser
        index = open_dir({str(tmp_path)!r})
        parser = QueryParser("body", index.schema)
        with index.searcher() as searcher:
            for query in ["rijeka", '"knjige rekama"', "knjig*", "su", "NAJLEPŠE grada"]:
                hits = searcher.search(parser.parse(query))
                hits.formatter = UppercaseFormatter()
                print(query, "|", *[hit["key"] + ": " + hit.highlights("body") for hit in hits])
        """)
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == [
        "rijeka | reke: Књиге о РЕКАМА и морима су на столу gradovi: Najlepši gradovi su uz RIJEKE, a ne uz mora",
        # "o" is a stop word on both sides, so the phrase holds across it.
        '"knjige rekama" | reke: КЊИГЕ о РЕКАМА и морима су на столу',
        "knjig* | reke: КЊИГЕ о рекама и морима су на столу",
        "su |",
        "NAJLEPŠE grada | gradovi: NAJLEPŠI GRADOVI su uz rijeke, a ne uz mora",
    ]


def test_whoosh_tokens_carry_positions_and_offsets():
    from ardovel_text.whoosh import SerbianAnalyzer

    text = "«Деца», čitaju knjige,reke."
    tokens = [(t.text, t.pos, t.startchar, t.endchar, t.original)
              for t in SerbianAnalyzer()(text, positions=True, chars=True, keeporiginal=True, start_pos=5,
                                         start_char=100)]
    assert tokens == [(stem, 5 + i, 100 + start, 100 + end, text[start:end])
                      for i, (stem, start, end) in enumerate(ardovel_text.tokenize(text))]
    assert [t.text for t in SerbianAnalyzer()("Knjige,reke", tokenize=False)] == [ardovel.stem_py("Knjige,reke")]
    assert SerbianAnalyzer(["su"]) == SerbianAnalyzer(("su",)) != SerbianAnalyzer()


# Prefix queries (and their documents, by number): the query rule is the
# core's; here each engine must pass its alternatives through to the same
# documents.
PREFIX_DOCUMENTS = ["Kupus.", "Kupusište.", "Kupujem knjige.", "Knjižara.", "Kuća."]
PREFIX_QUERIES = {"kupus*": [0, 1], "knjiž*": [2, 3], "ku*": [0, 1, 2, 4], "KUPUS*": [0, 1]}


@pytest.mark.parametrize("options, spec", [({}, "ardovel"), ({"lemmas": True, "fold": True}, "ardovel lemmas fold")],
                         ids=["stems", "lemmas fold"])
def test_whoosh_prefix_queries_find_what_fts5_finds(options, spec):
    import sqlite3

    from whoosh.fields import ID, Schema
    from whoosh.filedb.filestore import RamStorage
    from whoosh.qparser import QueryParser

    from ardovel_text.whoosh import SerbianText

    index = RamStorage().create_index(Schema(number=ID(stored=True), body=SerbianText(**options)))
    with index.writer() as writer:
        for number, document in enumerate(PREFIX_DOCUMENTS):
            writer.add_document(number=str(number), body=document)
    db = sqlite3.connect(":memory:")
    db.enable_load_extension(True)
    db.load_extension(ardovel_text.sqlite_extension_path())
    db.execute(f"CREATE VIRTUAL TABLE docs USING fts5(body, tokenize = '{spec}')")
    db.executemany("INSERT INTO docs(rowid, body) VALUES (?, ?)", enumerate(PREFIX_DOCUMENTS))
    parser = QueryParser("body", index.schema)
    with index.searcher() as searcher:
        for query, expected in PREFIX_QUERIES.items():
            whoosh = sorted(int(hit["number"]) for hit in searcher.search(parser.parse(query)))
            fts5 = [rowid for rowid, in db.execute("SELECT rowid FROM docs WHERE docs MATCH ? ORDER BY rowid", (query,))]
            assert whoosh == fts5 == expected, query


# ------------------------------------------------------------------- NLTK


def test_nltk_stemmer_is_stem_py(corpus_words):
    from nltk.stem.api import StemmerI

    from ardovel_text.nltk import SerbianStemmer

    stemmer = SerbianStemmer()
    assert isinstance(stemmer, StemmerI)
    words = corpus_words[::50]
    assert [stemmer.stem(word) for word in words] == [ardovel.stem_py(word) for word in words]
    assert ardovel_text.stem_words(words) == [ardovel.stem_py(word) for word in words]
