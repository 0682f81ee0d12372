"""Whole Serbian texts through the ardovel stemmer: tokens, keys, stop words.

A token is a maximal run of characters that are not separators. The
separators are the White_Space characters and the punctuation (P*), symbol
(S*) and control (Cc) characters of Unicode 16.0.0; letters, marks, digits
and format characters (soft hyphen, zero-width joiner) stay inside a token.
Each token's key is ``ardovel.stem_py`` of its NFKC form (so NFD text,
ligatures and ``ǉ ǌ ǆ`` key as their plain forms). With ``lemmas=True``
the key is the token's lemma in ekavian Latin, accent marks dropped, from
a lexicon made of Debian's hunspell-sr (GPL-2+/LGPL-2.1/MPL-1.1, installed
beside this package as ardovel_lexicon.bin); a word the lexicon lacks gets
the rule of its ending, or its stem. With ``fold=True`` the key is bald
Latin (č ć→c, š→s, ž→z, đ→dj), so ``sisanje`` meets ``šišanje``. A token
whose key is empty, or that is a stop word, is left out.

A stop word matches a token when both normalise to the same form (lower
case, Latin script, ekavian), so one entry ``"su"`` also stops «СУ», «Су»
and «SU». Stop words are off unless ``stopwords`` is given;
``SERBIAN_STOPWORDS`` is the default list. With ``fold``, the bald forms
of the stop words stop too.

Long texts are analysed without the interpreter lock, so threads analysing
different texts run side by side.

The adapters import their library only when they are imported themselves:
``ardovel_text.whoosh`` (a Whoosh analyzer) and ``ardovel_text.nltk`` (an
NLTK stemmer). scikit-learn needs none: ``TfidfVectorizer(analyzer=analyze)``.
"""
from __future__ import annotations

import os

from ardovel_text._native import SERBIAN_STOPWORDS, analyze, pattern_terms, stem_words, tokenize

__all__ = ["SERBIAN_STOPWORDS", "analyze", "pattern_terms", "sqlite_extension_path", "stem_words", "tokenize"]


def sqlite_extension_path() -> str:
    """The path of the SQLite extension that ships in this package
    (``ardovel_sqlite.so``), for ``sqlite3.Connection.load_extension``."""
    return os.path.join(os.path.dirname(os.path.abspath(__file__)), "ardovel_sqlite.so")
