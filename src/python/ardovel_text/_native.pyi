# The native half of ardovel_text; the package re-exports these.
from collections.abc import Iterable

SERBIAN_STOPWORDS: frozenset[str]
"""The default stop list: Serbian prepositions, conjunctions, particles,
personal pronouns and the short forms of "biti" and "hteti", in Latin script
and lower case (each also stops its Cyrillic and upper-case forms). Passing
this very object costs nothing per call."""

def analyze(text: str, *, stopwords: Iterable[str] | None = None, lemmas: bool = False,
            fold: bool = False) -> list[str]: ...
def tokenize(text: str, *, stopwords: Iterable[str] | None = None, lemmas: bool = False,
             fold: bool = False) -> list[tuple[str, int, int]]: ...
def stem_words(words: Iterable[str], *, stopwords: Iterable[str] | None = None, lemmas: bool = False,
               fold: bool = False) -> list[str]: ...
def pattern_terms(pattern: str, *, lemmas: bool = False, fold: bool = False) -> list[str]: ...
