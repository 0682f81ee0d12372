"""The result `str` is built from the stem's UTF-8 by the module itself for
non-ASCII stems; it must be the very `str` CPython's decoder would give:
equal, of the same (narrowest) kind, and so of the same size."""

import sys

from hypothesis import given, settings
from hypothesis import strategies as st

import ardovel


def assert_canonical(result):
    decoded = result.encode("utf-8").decode("utf-8")
    assert result == decoded
    assert sys.getsizeof(result) == sys.getsizeof(decoded), ascii(result)


# Stems that keep characters of each width: Latin-1, the rest of the BMP,
# astral letters and digits; with and without an ASCII prefix.
WIDTHS = [
    "knjiž", "žžžž", "ćao", "café", "ñandú", "ßü", "αβγδ", "ουρανός", "中文字", "ᚠᚢᚦ",
    "\U0001D400\U0001D401", "a\U00010400b", "x\u00e9\u0101\U0001F130", "Ⅻ", "đak2024",
]


def test_stems_of_every_width_are_canonical():
    for word in WIDTHS:
        assert_canonical(ardovel.stem_py(word))
        assert_canonical(ardovel.stem_py(word.upper()))


@settings(max_examples=2000, deadline=None)
@given(st.text(alphabet=st.characters(blacklist_categories=("Cs",)), max_size=40))
def test_any_stem_is_canonical(word):
    assert_canonical(ardovel.stem_py(word))
