"""The SQLite extension from the installed wheel: the FTS5 tokenizer `ardovel`
and the SQL function ardovel_stem, in Debian's Python sqlite3 and sqlite3 shell.

The token rule is the core's, tested there; here the terms FTS5 indexes, and
the bytes highlight() marks, must be the tokens ardovel_text finds in the
same text, where every ill-formed UTF-8 byte separates tokens as a space does.
"""
import pathlib
import sqlite3
import subprocess

import pytest

import ardovel
import ardovel_text
from conftest import ROOT

EXTENSION = pathlib.Path(ardovel_text.sqlite_extension_path())


def text_layer_tokens(data: bytes, **options):
    """(key, byte start, byte end) of each kept token, as ardovel_text gives
    them (with `options`) for the text with a space for each ill-formed byte."""
    escaped = data.decode("utf-8", "surrogateescape")   # one character for each ill-formed byte
    text = "".join(" " if 0xDC80 <= ord(character) <= 0xDCFF else character for character in escaped)

    def byte_offset(at):
        return len(escaped[:at].encode("utf-8", "surrogateescape"))

    return [(key, byte_offset(start), byte_offset(end)) for key, start, end in ardovel_text.tokenize(text, **options)]


def connect():
    assert EXTENSION.is_file()
    connection = sqlite3.connect(":memory:")
    connection.enable_load_extension(True)  # Debian's sqlite3 module has it
    connection.load_extension(str(EXTENSION))
    connection.enable_load_extension(False)
    return connection


@pytest.fixture
def db():
    connection = connect()
    connection.execute("CREATE VIRTUAL TABLE docs USING fts5(body, tokenize = 'ardovel')")
    connection.execute("CREATE VIRTUAL TABLE stopped USING fts5(body, tokenize = 'ardovel stopwords')")
    # The option words in any order and case.
    connection.execute("CREATE VIRTUAL TABLE search USING fts5(body, tokenize = 'ardovel Fold lemmas')")
    yield connection
    connection.close()


TEXTS = [
    (ROOT / "samples" / "sample.txt").read_bytes(),
    "Ово су КЊИГЕ на столу. Knjige,reke;Ђаци—učenici (NAJLEPŠI) 2024. godine…".encode(),
    "kn\u00adjige ри\u0301јека Dje\u200dca 😀kuća€5 je a ima".encode(),  # format marks, an accent, empty stems
    b"Knjige\xffstolu\xc3",                      # a byte no sequence starts with; a truncated one at the end
    b"\xe2\x82Reke\xed\xa0\x80grad\xc0\xafkuca",  # truncated, an encoded surrogate, an overlong slash
    b"\x80\x80 \xf0\x9f\x98",                     # no token at all
]


@pytest.mark.parametrize("table, options", [("docs", {}), ("search", {"lemmas": True, "fold": True})],
                         ids=["stems", "lemmas fold"])
@pytest.mark.parametrize("text", TEXTS, ids=range(len(TEXTS)))
def test_indexed_terms_and_highlight_offsets_are_the_text_layers(db, text, table, options):
    db.text_factory = bytes
    db.execute(f"CREATE VIRTUAL TABLE terms USING fts5vocab({table}, instance)")
    # TEXT that SQLite never checked, as a row written by a C program may hold.
    db.execute(f"INSERT INTO {table}(body) VALUES (CAST(? AS TEXT))", (text,))
    tokens = text_layer_tokens(text, **options)
    indexed = [row[0].decode() for row in db.execute("SELECT term FROM terms ORDER BY offset")]
    assert indexed == [key for key, _, _ in tokens]
    if not tokens:
        return
    # Every kept token matched, each marked where its own bytes are.
    query = " OR ".join(f'"{text[start:end].decode()}"' for _, start, end in tokens)
    marked, last = b"", 0
    for _, start, end in tokens:
        marked += text[last:start] + b"[" + text[start:end] + b"]"
        last = end
    marked += text[last:]
    assert db.execute(f"SELECT highlight({table}, 0, '[', ']') FROM {table} WHERE {table} MATCH ?",
                      (query,)).fetchall() == [(marked,)]


DOCUMENTS = [
    "Ово су КЊИГЕ на столу.",
    "Knjiga je na stolu, a kupusište iza kuće.",
    "Crvene knjige su lijepe.",
    "Kamen i kupus.",
    "Најлепше песме.",
]

# (query, with the stop list, the documents found, by number from 1)
QUERIES = [
    ("knjiga", False, [1, 2, 3]),          # keys as the core makes them
    ("kupus*", False, [2, 4]),             # a prefix's alternatives, "kupuh" and "kupus", colocated
    ("kamen*", True, [4]),
    ('"crvene knjig"*', False, [3]),       # a phrase ending in a prefix
    ('"na stolu"', False, [1, 2]),         # phrases
    ('"stolu na"', False, []),
    ('"knjige lepe"', False, []),          # "su" stands between them...
    ('"knjige lepe"', True, [3]),          # ...unless it is a stop word
    ("su", False, [1, 3]),
    ("su", True, []),
    ("su knjige", True, [1, 2, 3]),        # a stop word in a query is left out, not required
]


@pytest.mark.parametrize("query, stopwords, expected", QUERIES)
def test_queries(db, query, stopwords, expected):
    table = "stopped" if stopwords else "docs"
    db.executemany(f"INSERT INTO {table}(rowid, body) VALUES (?, ?)", enumerate(DOCUMENTS, 1))
    found = db.execute(f"SELECT rowid FROM {table} WHERE {table} MATCH ? ORDER BY rowid", (query,)).fetchall()
    assert [rowid for rowid, in found] == expected


def stop_list():
    lines = (ROOT / "src" / "analysis" / "serbian_stopwords.txt").read_text(encoding="utf-8").splitlines()
    return [line for line in lines if line and not line.startswith("#")]


def test_the_stopwords_argument_leaves_out_the_default_list(db):
    words = stop_list()
    text = " ".join(words)
    db.execute("INSERT INTO docs(body) VALUES (?)", (text,))
    db.execute("INSERT INTO stopped(body) VALUES (?)", (text,))
    db.execute("CREATE VIRTUAL TABLE docs_terms USING fts5vocab(docs, row)")
    db.execute("CREATE VIRTUAL TABLE stopped_terms USING fts5vocab(stopped, row)")
    kept = {ardovel.stem_py(word) for word in words} - {""}
    assert {term for term, in db.execute("SELECT term FROM docs_terms")} == kept
    assert db.execute("SELECT count(*) FROM stopped_terms").fetchone() == (0,)


def test_unknown_tokenizer_argument_is_an_error(db):
    with pytest.raises(sqlite3.OperationalError):
        db.execute("CREATE VIRTUAL TABLE typo USING fts5(body, tokenize = 'ardovel stopword')")


def test_ardovel_stem_equals_stem_py_on_every_dictionary_word(corpus_words):
    db = connect()
    db.execute("CREATE TABLE words(word TEXT)")
    db.executemany("INSERT INTO words VALUES (?)", ((word,) for word in corpus_words))
    stems = [stem for stem, in db.execute("SELECT ardovel_stem(word) FROM words ORDER BY rowid")]
    assert stems == [ardovel.stem_py(word) for word in corpus_words]


@pytest.mark.parametrize("argument, expected", [
    ("NULL", None),
    ("''", ""),
    ("42", ardovel.stem_py("42")),
    ("X'4B4E4A49474120D09AD09ED092'", ardovel.stem_py("KNJIGA КОВ")),  # a BLOB of valid UTF-8: one word
    ("'Најлепших'", ardovel.stem_py("Најлепших")),
])
def test_ardovel_stem_values(argument, expected):
    assert connect().execute(f"SELECT ardovel_stem({argument})").fetchone() == (expected,)


def test_ardovel_stem_refuses_bytes_that_are_not_utf8():
    with pytest.raises(sqlite3.OperationalError, match="not valid UTF-8"):
        connect().execute("SELECT ardovel_stem(CAST(X'4BC3FF' AS TEXT))").fetchone()


def test_ardovel_stem_is_deterministic_and_innocuous():
    db = connect()
    db.executescript("""
        PRAGMA trusted_schema = OFF;
        CREATE TABLE words(word TEXT);
        CREATE INDEX by_stem ON words(ardovel_stem(word));
        CREATE VIEW stems AS SELECT ardovel_stem(word) AS stem FROM words;
        INSERT INTO words VALUES ('Књигама');
    """)
    assert db.execute("SELECT stem FROM stems").fetchall() == [("knjig",)]
    assert db.execute("SELECT word FROM words WHERE ardovel_stem(word) = 'knjig'").fetchall() == [("Књигама",)]


SHELL_STATEMENTS = [
    "CREATE VIRTUAL TABLE docs USING fts5(body, tokenize = 'ardovel stopwords')",
    f"INSERT INTO docs(body) VALUES ('{DOCUMENTS[0]}'), ('{DOCUMENTS[1]}'), ('{DOCUMENTS[2]}')",
    "SELECT rowid, highlight(docs, 0, '[', ']') FROM docs WHERE docs MATCH 'knjig* OR stolom' ORDER BY rowid",
    "SELECT ardovel_stem('Књигама'), ardovel_stem('lijepe')",
]


def test_the_sqlite3_shell_loads_it_and_answers_as_python_does():
    db = connect()
    expected = []
    for statement in SHELL_STATEMENTS:
        expected += ["|".join(str(value) for value in row) for row in db.execute(statement)]
    shell = subprocess.run(["/usr/bin/sqlite3", ":memory:", f".load {EXTENSION}", *SHELL_STATEMENTS],
                           capture_output=True, text=True, timeout=60, check=False)
    assert (shell.returncode, shell.stderr) == (0, "")
    assert shell.stdout.splitlines() == expected
    assert len(expected) == 4 and "[КЊИГЕ]" in expected[0] and "[Knjiga] je na [stolu]" in expected[1]
