"""Both Python functions on the worked examples: the table that the C++ core
and the reference model are checked against, form by form."""
import pathlib

import pytest

TABLE = pathlib.Path(__file__).parent.parent / "data" / "stem_examples.tsv"


def unescaped(field):
    # The table's escapes are a subset of Python's; text outside Latin-1
    # reaches the decoder as escapes of its own.
    if field == '""':
        return ""
    return field.encode("latin-1", "backslashreplace").decode("unicode_escape")


def examples():
    for line in TABLE.read_text(encoding="utf-8").splitlines():
        if line and not line.startswith("#"):
            fields = line.split("\t")
            yield pytest.param(unescaped(fields[0]), unescaped(fields[-1]), id=fields[0])


@pytest.mark.parametrize(("word", "answer"), examples())
def test_answer(stem_function, word, answer):
    _, stem = stem_function
    result = stem(word)
    assert type(result) is str
    assert result == answer
