"""Whole Serbian texts through the ardovel stemmer: tokens, stems, stop words.

A token is a maximal run of characters that are not separators. The
separators are the White_Space characters and the punctuation (P*), symbol
(S*) and control (Cc) characters of Unicode 16.0.0; letters, marks, digits
and format characters (soft hyphen, zero-width joiner) stay inside a token.
Each token's stem is exactly ``ardovel.stem_py(token)``; a token whose stem
is empty, or that is a stop word, is left out.

A stop word matches a token when both normalise to the same form (lower
case, Latin script, ekavian), so one entry ``"su"`` also stops «СУ», «Су»
and «SU». Stop words are off unless ``stopwords`` is given;
``SERBIAN_STOPWORDS`` is the default list.

Long texts are analysed without the interpreter lock, so threads analysing
different texts run side by side.

The adapters import their library only when they are imported themselves:
``ardovel_text.whoosh`` (a Whoosh analyzer) and ``ardovel_text.nltk`` (an
NLTK stemmer). scikit-learn needs none: ``TfidfVectorizer(analyzer=analyze)``.
"""
from __future__ import annotations

import os
from collections.abc import Iterable

from ardovel_text import _native

__all__ = ["SERBIAN_STOPWORDS", "analyze", "sqlite_extension_path", "stem_words", "tokenize"]

SERBIAN_STOPWORDS: frozenset[str] = _native.SERBIAN_STOPWORDS
"""The default stop list: Serbian prepositions, conjunctions, particles,
personal pronouns and the short forms of "biti" and "hteti", in Latin
script and lower case (each also stops its Cyrillic and upper-case forms).
Passing this very object costs nothing per call."""


def analyze(text: str, *, stopwords: Iterable[str] | None = None) -> list[str]:
    """The stems of the kept tokens of ``text``, in order.

    >>> analyze("Knjige,reke i ДЕЦА")
    ['knjig', 'rek', 'dec']
    """
    return _native.analyze(text, stopwords)


def tokenize(text: str, *, stopwords: Iterable[str] | None = None) -> list[tuple[str, int, int]]:
    """``(stem, start, end)`` for each kept token of ``text``, in order;
    ``text[start:end]`` is the token as written.

    >>> tokenize("Knjige,reke")
    [('knjig', 0, 6), ('rek', 7, 11)]
    """
    return _native.tokenize(text, stopwords)


def stem_words(words: Iterable[str]) -> list[str]:
    """``[ardovel.stem_py(word) for word in words]``, empty stems included,
    without a Python call per word."""
    return _native.stem_words(words)


def sqlite_extension_path() -> str:
    """The path of the SQLite extension that ships in this package
    (``ardovel_sqlite.so``), for ``sqlite3.Connection.load_extension``."""
    return os.path.join(os.path.dirname(os.path.abspath(__file__)), "ardovel_sqlite.so")
