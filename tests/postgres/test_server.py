"""The extension as users meet it: searching, indexes, options and their
errors, databases of another encoding, installing without superuser
rights, and the README's SQL."""
import os
import re
import subprocess

import pytest

from conftest import ROOT, error_of, query

# A document (Cyrillic, mixed case) and queries in other forms. Which forms
# share a key is the core's rule; here, that queries reach the dictionary
# and positions reach the phrase operator.
DOCUMENT = "Најбоље ученице у граду читају књиге о ријекама и језерима."
SEARCHES = [
    ("knjigama", True),              # another case, Latin
    ("najbolje & UČENICE", True),    # two words, both present
    ("gradovima <-> čitaju", True),  # a phrase: adjacent words
    ("čitaju <-> gradovima", False),  # the same words in the wrong order
    ("knjige & mora", False),        # a word not in the document
    ("jezik", False),                # a stem the document does not have
]


@pytest.mark.parametrize(("search", "found"), SEARCHES, ids=[s for s, _ in SEARCHES])
def test_search_across_script_case_and_forms(database, search, found):
    result = query(f"SELECT to_tsvector('ardovel', '{DOCUMENT}') @@ to_tsquery('ardovel', '{search}');", database)
    assert result.strip() == ("t" if found else "f")


# As in the FTS5 and Whoosh tests: the core's query rule reaches the engine.
PREFIX_DOCUMENTS = ["Kupus.", "Kupusište.", "Kupujem knjige.", "Knjižara.", "Kuća."]
PREFIX_QUERIES = {"kupus": [0, 1], "knjiž": [2, 3], "ku": [0, 1, 2, 4], "crvene knjiž": []}


@pytest.mark.parametrize(("start", "found"), PREFIX_QUERIES.items(), ids=PREFIX_QUERIES.keys())
def test_a_typed_start_finds_what_fts5_finds(database, start, found):
    documents = ", ".join(f"'{document}'" for document in PREFIX_DOCUMENTS)
    result = query(f"""
        SELECT n - 1 FROM unnest(ARRAY[{documents}]) WITH ORDINALITY AS d(body, n)
         WHERE to_tsvector('ardovel', body) @@ ardovel_prefix('{start}') ORDER BY n;""", database)
    assert [int(n) for n in result.split()] == found


def test_gin_index(database):
    plan = query("""
        CREATE TABLE articles (id int PRIMARY KEY, body text);
        INSERT INTO articles
          SELECT n, CASE WHEN n % 1000 = 0 THEN 'Деца читају КЊИГЕ о ријекама' ELSE 'Sunce sija nad gradom ' || n END
          FROM generate_series(1, 20000) n;
        CREATE INDEX articles_body ON articles USING gin (to_tsvector('ardovel', body));
        ANALYZE articles;
        SET enable_seqscan = off;
        EXPLAIN (COSTS OFF) SELECT id FROM articles
          WHERE to_tsvector('ardovel', body) @@ websearch_to_tsquery('ardovel', 'knjigama reka');
        """, database)
    assert "Bitmap Index Scan on articles_body" in plan
    ids = query("""
        SET enable_seqscan = off;
        SELECT string_agg(id::text, ' ' ORDER BY id) FROM articles
          WHERE to_tsvector('ardovel', body) @@ websearch_to_tsquery('ardovel', 'knjigama reka');
        """, database)
    assert ids.split() == [str(n) for n in range(1000, 20001, 1000)]


@pytest.mark.parametrize(("lines", "expected"), [
    # "гради" normalises to "gradi", not to "grad": only the form is stopped.
    ("Књига\n\nGRAD  trailing words are ignored\n", ["{}", "{}", "{grad}", "{}", "{rek}"]),
    ("Књига\n", ["{}", "{}", "{grad}", "{grad}", "{rek}"]),
], ids=["words", "one word"])
def test_a_users_stop_file(database, lines, expected):
    sharedir = subprocess.run(["pg_config", "--sharedir"], capture_output=True, text=True, check=True).stdout.strip()
    stop_file = os.path.join(sharedir, "tsearch_data", f"ardovel_test_{os.getpid()}.stop")
    try:
        with open(stop_file, "w", encoding="utf-8") as out:
            out.write(lines)
    except PermissionError:
        pytest.skip("the tests may not write into PostgreSQL's tsearch_data")
    try:
        name = os.path.basename(stop_file)[:-len(".stop")]
        result = query(f"""
            CREATE TEXT SEARCH DICTIONARY mine (TEMPLATE = ardovel, StopWords = {name});
            SELECT ts_lexize('mine', w) FROM unnest(ARRAY['knjiga', 'КЊИГА', 'гради', 'grad', 'reka']) w;
            DROP TEXT SEARCH DICTIONARY mine;
            """, database)
    finally:
        os.remove(stop_file)
    assert result.split() == expected


# A word of megabytes, as any role may pass one.
LONG_WORD = "repeat('Џ', 600000)"
CALLS = {"ardovel_stem": "ardovel_stem({word})", "ts_lexize": "ts_lexize('ardovel', {word})::text"}


@pytest.mark.parametrize("call", CALLS.values(), ids=CALLS.keys())
def test_a_cancel_stops_a_long_call_inside_it(database, call):
    # The cancel is pending when the call starts; served inside it, the
    # error stands at the assignment, not at the statement after it.
    error = error_of(f"""
        CREATE FUNCTION pg_temp.cancelled() RETURNS text LANGUAGE plpgsql AS $$
        DECLARE stem text;
        BEGIN
          stem := {call.format(word=LONG_WORD + " || pg_cancel_backend(pg_backend_pid())")};
          RAISE NOTICE 'the call went on to its end';
          RETURN stem;
        END $$;
        SELECT pg_temp.cancelled();
        """, database)
    assert "canceling statement due to user request" in error
    assert "at assignment" in error, error


def test_a_long_word_leaves_no_memory_behind(database):
    rss = r"SELECT substring(pg_read_file('/proc/self/status') from 'VmRSS:\s*(\d+)');"
    huge = "repeat('Џ', 50000000)"
    calls = "".join(f"SELECT length({call.format(word=huge)}) > 0;" for call in CALLS.values())
    before, *_, after = query(rss + calls + rss, database).split()
    assert int(after) - int(before) < 100_000, (before, after)  # kB


@pytest.mark.parametrize(("options", "message"), [
    ("StopWords = nonexistent", 'could not open stop-word file ".*nonexistent.stop"'),
    ("StopWords = ardovel, StopWords = ardovel", "multiple StopWords parameters"),
    ("Language = serbian", 'unrecognized ardovel parameter: "language"'),
    ("StopWords = '../ardovel'", "invalid text search configuration file name"),
], ids=["missing file", "twice", "unknown option", "path"])
def test_dictionary_option_errors(database, options, message):
    error = error_of(f"CREATE TEXT SEARCH DICTIONARY wrong (TEMPLATE = ardovel, {options});", database)
    assert re.search(message, error), error


def test_a_database_of_another_encoding_is_told_so():
    query("CREATE DATABASE latin1 TEMPLATE template0 ENCODING 'LATIN1' LOCALE 'C';")
    expected = "ardovel works only in UTF8 databases, and this database's encoding is LATIN1"
    # The dictionary is first used when CREATE EXTENSION checks its options.
    assert expected in error_of("CREATE EXTENSION ardovel;", "latin1")
    # ardovel_stem, declared by hand, says the same.
    assert expected in error_of("""
        CREATE FUNCTION ardovel_stem(text) RETURNS text AS '$libdir/ardovel', 'ardovel_stem' LANGUAGE C STRICT;
        SELECT ardovel_stem('knjiga');
        """, "latin1")


def test_a_database_owner_without_superuser_rights_can_install_it():
    query("CREATE ROLE site LOGIN; CREATE DATABASE site OWNER site TEMPLATE template0 ENCODING 'UTF8';")
    result = query("CREATE EXTENSION ardovel; SELECT ardovel_stem('Књигама');", "site", user="site")
    assert result.split() == ["knjig"]


def readme_sql_blocks():
    """The README's ```sql blocks, each with what it prints: its "-- → "
    lines, in order."""
    text = (ROOT / "README.md").read_text(encoding="utf-8")
    found = []
    for match in re.compile(r"^```sql\n(.*?)^```$", re.M | re.S).finditer(text):
        line = text.count("\n", 0, match.start()) + 1
        source = match.group(1)
        expected = [l.split("-- → ", 1)[1] for l in source.splitlines() if l.startswith("-- → ")]
        found.append(pytest.param(source, expected, id=f"README.md:{line}"))
    return found


README_BLOCKS = readme_sql_blocks()


def test_readme_sql():
    """The blocks in order, in one new database, as a reader would go."""
    assert README_BLOCKS
    query("CREATE DATABASE readme TEMPLATE template0 ENCODING 'UTF8' LOCALE 'C.UTF-8';")
    for block in README_BLOCKS:
        source, expected = block.values
        assert query(source, "readme").splitlines() == expected, block.id
