"""A throwaway PostgreSQL 15 cluster, started by tools/test-postgres.sh,
which sets PGHOST and friends; the tests talk to it through psql."""
import json
import os
import pathlib
import random
import subprocess

import pytest

ROOT = pathlib.Path(os.environ.get("ARDOVEL_ROOT", pathlib.Path(__file__).resolve().parents[2]))
PSQL = pathlib.Path(subprocess.run(["pg_config", "--bindir"], capture_output=True, text=True,
                                   check=True).stdout.strip()) / "psql"
HUNSPELL = pathlib.Path("/usr/share/hunspell")

if "PGHOST" not in os.environ:
    pytest.skip("run through tools/test-postgres.sh, which starts the server", allow_module_level=True)


def psql(sql, database="postgres", user=None):
    """Runs `sql` in one session, stopping at the first error; the
    finished process (stdout holds unaligned, tuples-only output)."""
    command = [str(PSQL), "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-d", database]
    if user:
        command += ["-U", user]
    return subprocess.run(command, input=sql, capture_output=True, text=True, timeout=600)


def query(sql, database="postgres", user=None):
    result = psql(sql, database, user)
    assert result.returncode == 0, result.stderr
    return result.stdout


def query_json(sql, database):
    return json.loads(query(sql, database))


def error_of(sql, database="postgres", user=None):
    """The error message `sql` must end in."""
    result = psql(sql, database, user)
    assert result.returncode != 0, f"no error from: {sql}"
    return result.stderr


def copy_rows(table, rows):
    """A COPY ... FROM STDIN block loading `rows` (tuples of str) into `table`."""
    def escaped(field):
        return field.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")
    lines = ["\t".join(map(escaped, row)) for row in rows]
    return f"COPY {table} FROM STDIN;\n" + "".join(line + "\n" for line in lines) + "\\.\n"


@pytest.fixture(scope="session")
def database():
    """A UTF8 database with the extension, shared by the tests."""
    query("CREATE DATABASE ardovel_tests TEMPLATE template0 ENCODING 'UTF8' LOCALE 'C.UTF-8';")
    query("CREATE EXTENSION ardovel;", "ardovel_tests")
    return "ardovel_tests"


def dictionary_words(name):
    """The words of one hunspell-sr dictionary (sr_RS: Cyrillic; sr_Latn_RS: Latin)."""
    lines = (HUNSPELL / f"{name}.dic").read_text(encoding="utf-8").splitlines()[1:]
    return [line.partition("/")[0] for line in lines if line.partition("/")[0]]


@pytest.fixture(scope="session")
def word_sample():
    """Dictionary words of both scripts, some capitalised or in capitals."""
    rng = random.Random(13)
    words = []
    for name in ("sr_RS", "sr_Latn_RS"):
        for word in rng.sample(dictionary_words(name), 15000):
            roll = rng.random()
            words.append(word.upper() if roll < 0.1 else word.capitalize() if roll < 0.2 else word)
    return words
