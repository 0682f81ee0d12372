"""The SQLite extension from the installed wheel: the FTS5 tokenizer `ardovel`
and the SQL function ardovel_stem, in Debian's Python sqlite3 and sqlite3 shell.

The terms FTS5 indexes are checked against a model of the text layer: a
token is a maximal run of characters that are not separators (the ranges of
the exported Unicode data), every ill-formed UTF-8 byte is a separator, and a
token's term is stem_py of it, the token being left out when that is empty.
"""
import bisect
import pathlib
import sqlite3
import subprocess

import pytest

import ardovel
import ardovel_text
from conftest import ROOT

EXTENSION = pathlib.Path(ardovel_text.sqlite_extension_path())


def separator_ranges():
    for line in (ROOT / "tests" / "data" / "unicode_categories.txt").read_text(encoding="utf-8").splitlines():
        if line.startswith("separator "):
            bounds = [item.partition("..") for item in line.split()[1:]]
            return [int(low, 16) for low, _, _ in bounds], [int(high or low, 16) for low, _, high in bounds]
    raise AssertionError("no separator line")


SEPARATOR_STARTS, SEPARATOR_ENDS = separator_ranges()


def is_separator(character):
    code = ord(character)
    if 0xDC80 <= code <= 0xDCFF:  # an ill-formed byte, as "surrogateescape" decodes it
        return True
    at = bisect.bisect_right(SEPARATOR_STARTS, code) - 1
    return at >= 0 and code <= SEPARATOR_ENDS[at]


def model_tokens(data: bytes):
    """(token, stem, byte start, byte end) of each kept token."""
    tokens, token, start, at = [], "", 0, 0
    for character in data.decode("utf-8", "surrogateescape") + " ":
        if is_separator(character):
            if token and ardovel.stem_py(token):
                tokens.append((token, ardovel.stem_py(token), start, at))
            token = ""
        else:
            if not token:
                start = at
            token += character
        at += len(character.encode("utf-8", "surrogateescape"))
    return tokens


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


@pytest.mark.parametrize("text", TEXTS, ids=range(len(TEXTS)))
def test_indexed_terms_and_highlight_offsets_follow_the_text_layer(db, text):
    db.text_factory = bytes
    db.execute("CREATE VIRTUAL TABLE terms USING fts5vocab(docs, instance)")
    # TEXT that SQLite never checked, as a row written by a C program may hold.
    db.execute("INSERT INTO docs(body) VALUES (CAST(? AS TEXT))", (text,))
    tokens = model_tokens(text)
    indexed = [row[0].decode() for row in db.execute("SELECT term FROM terms ORDER BY offset")]
    assert indexed == [stem for _, stem, _, _ in tokens]
    if not tokens:
        return
    # Every kept token matched, each marked where its own bytes are.
    query = " OR ".join(f'"{token}"' for token, _, _, _ in tokens)
    marked, last = b"", 0
    for _, _, start, end in tokens:
        marked += text[last:start] + b"[" + text[start:end] + b"]"
        last = end
    marked += text[last:]
    assert db.execute("SELECT highlight(docs, 0, '[', ']') FROM docs WHERE docs MATCH ?", (query,)).fetchall() == [
        (marked,)]


DOCUMENTS = [
    "Ово су КЊИГЕ на столу.",
    "Knjiga je na stolu, a kupusište iza kuće.",
    "Crvene knjige su lijepe.",
    "Kamen i kupus.",
    "Најлепше песме.",
]

# (query, with the stop list, the documents found, by number from 1)
QUERIES = [
    ("knjiga", False, [1, 2, 3]),          # case, script, ending
    ("КЊИГАМА", False, [1, 2, 3]),
    ("лепе", False, [3, 5]),               # ekavian Cyrillic finds ijekavian Latin, and "naj" is no part
    ("kupus*", False, [2, 4]),             # a prefix's alternatives, "kupuh" and "kupus", colocated
    ("kamen*", True, [4]),
    ('"crvene knjig"*', False, [3]),       # a phrase ending in a prefix
    ('"na stolu"', False, [1, 2]),         # phrases
    ('"stolu na"', False, []),
    ('"knjige lepe"', False, []),          # "su" stands between them...
    ('"knjige lepe"', True, [3]),          # ...unless it is a stop word
    ("su", False, [1, 3]),
    ("su", True, []),
    ("СУ", True, []),
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


def test_the_stopwords_argument_leaves_out_the_default_list_in_any_case(db):
    words = stop_list()
    text = " ".join(words + [word.upper() for word in words] + [word.title() for word in words])
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
