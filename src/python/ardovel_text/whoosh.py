"""A Whoosh field and analyzer over ardovel_text (imports Whoosh).

    from ardovel_text.whoosh import SerbianText
    schema = Schema(body=SerbianText(stored=True))

Index and queries get the same keys; each token carries its position and
its character offsets into the field's text, so Whoosh's highlighting marks
the words as written. Prefix and wildcard queries follow the rule of every
ardovel front end (``ardovel_text.pattern_terms``): ``kupus*`` finds what
begins with the key "kupuh" or with "kupus", so it finds "kupusište" too.
"""
from __future__ import annotations

from collections.abc import Iterable, Iterator
from typing import Any

from whoosh.analysis import Token, Tokenizer
from whoosh.fields import TEXT

import ardovel_text


class SerbianAnalyzer(Tokenizer):  # type: ignore[misc]
    """Tokens, keys and (with ``stopwords``) stop words, as ardovel_text
    gives them, with its ``lemmas`` and ``fold`` options. Stop words are
    always left out, also when Whoosh asks to keep them
    (``removestops=False``); positions count the kept tokens."""

    is_morph = True

    def __init__(self, stopwords: Iterable[str] | None = None, *, lemmas: bool = False, fold: bool = False) -> None:
        if stopwords is not None:
            stopwords = frozenset(stopwords)
            # The package's own set is the one that costs nothing per call.
            if stopwords == ardovel_text.SERBIAN_STOPWORDS:
                stopwords = ardovel_text.SERBIAN_STOPWORDS
        self.stopwords: frozenset[str] | None = stopwords
        self.lemmas = lemmas
        self.fold = fold

    def __eq__(self, other: object) -> bool:
        return type(other) is type(self) and (other.stopwords, other.lemmas, other.fold) == (  # type: ignore[attr-defined]
            self.stopwords, self.lemmas, self.fold)

    __hash__ = None  # type: ignore[assignment]

    def __call__(self, value: str, positions: bool = False, chars: bool = False, keeporiginal: bool = False,
                 removestops: bool = True, start_pos: int = 0, start_char: int = 0, tokenize: bool = True,
                 mode: str = "", **kwargs: Any) -> Iterator[Token]:
        if tokenize:
            terms = ardovel_text.tokenize(value, stopwords=self.stopwords, lemmas=self.lemmas, fold=self.fold)
        else:
            # How Whoosh passes prefix, wildcard and range query terms: the
            # whole value, a prefix without its "*". Each stands for its
            # alternatives, which SerbianText's queries join with OR.
            options = {"lemmas": self.lemmas, "fold": self.fold}
            if "*" in value or "?" in value:
                patterns = ardovel_text.pattern_terms(value, **options)
            else:
                patterns = [pattern[:-1] for pattern in ardovel_text.pattern_terms(value + "*", **options)]
            terms = [(pattern, 0, len(value)) for pattern in patterns]
        token = Token(positions, chars, removestops=removestops, mode=mode, **kwargs)
        for position, (stem, start, end) in enumerate(terms, start_pos):
            token.text = stem
            token.boost = 1.0
            token.stopped = False
            if keeporiginal:
                token.original = value[start:end]
            if positions:
                token.pos = position
            if chars:
                token.startchar = start_char + start
                token.endchar = start_char + end
            yield token


class SerbianText(TEXT):  # type: ignore[misc]
    """A ``TEXT`` field analysed by ``SerbianAnalyzer(stopwords, lemmas=...,
    fold=...)``. A query word that stands for several terms (a typed start,
    as ``kupus*``, or a word with punctuation inside) matches any of them;
    other keyword arguments are ``TEXT``'s."""

    def __init__(self, stopwords: Iterable[str] | None = None, *, lemmas: bool = False, fold: bool = False,
                 **kwargs: Any) -> None:
        kwargs.setdefault("multitoken_query", "or")
        super().__init__(analyzer=SerbianAnalyzer(stopwords, lemmas=lemmas, fold=fold), **kwargs)
