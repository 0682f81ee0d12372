"""A Whoosh analyzer over ardovel_text.tokenize (imports Whoosh).

    from ardovel_text.whoosh import SerbianAnalyzer
    schema = Schema(body=TEXT(analyzer=SerbianAnalyzer(), stored=True))

Index and queries get the same stems; each token carries its position and
its character offsets into the field's text, so Whoosh's highlighting marks
the words as written. It is a Whoosh tokenizer, so filters can follow it
(``SerbianAnalyzer() | SomeFilter()``), and it pickles with the schema.
"""
from __future__ import annotations

from collections.abc import Iterable, Iterator
from typing import Any

from whoosh.analysis import Token, Tokenizer

import ardovel_text


class SerbianAnalyzer(Tokenizer):  # type: ignore[misc]
    """Tokens, stems and (with ``stopwords``) stop words, as ardovel_text
    gives them. Stop words are always left out, also when Whoosh asks to
    keep them (``removestops=False``); positions count the kept tokens."""

    is_morph = True

    def __init__(self, stopwords: Iterable[str] | None = None) -> None:
        if stopwords is not None:
            stopwords = frozenset(stopwords)
            # The package's own set is the one that costs nothing per call.
            if stopwords == ardovel_text.SERBIAN_STOPWORDS:
                stopwords = ardovel_text.SERBIAN_STOPWORDS
        self.stopwords: frozenset[str] | None = stopwords

    def __eq__(self, other: object) -> bool:
        return type(other) is type(self) and other.stopwords == self.stopwords  # type: ignore[attr-defined]

    __hash__ = None  # type: ignore[assignment]

    def __call__(self, value: str, positions: bool = False, chars: bool = False, keeporiginal: bool = False,
                 removestops: bool = True, start_pos: int = 0, start_char: int = 0, tokenize: bool = True,
                 mode: str = "", **kwargs: Any) -> Iterator[Token]:
        if tokenize:
            terms = ardovel_text.tokenize(value, stopwords=self.stopwords)
        else:
            # The whole value as one word, stemmed as stem_py stems it: how
            # Whoosh passes prefix, wildcard and range query terms.
            stem = ardovel_text.stem_words([value])[0]
            terms = [(stem, 0, len(value))] if stem else []
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
