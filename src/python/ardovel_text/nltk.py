"""An NLTK stemmer (imports NLTK; needs none of NLTK's data).

    from ardovel_text.nltk import SerbianStemmer
    SerbianStemmer().stem("Knjigama")  # 'knjig'
"""
from __future__ import annotations

from nltk.stem.api import StemmerI

import ardovel
import ardovel_text


class SerbianStemmer(StemmerI):  # type: ignore[misc]
    """NLTK's stemmer interface: ``stem(token)`` is exactly
    ``ardovel.stem_py(token)``, or with ``lemmas`` or ``fold`` the key
    ``ardovel_text.stem_words`` gives. For many tokens at once,
    ``ardovel_text.stem_words`` does the same without a call per token."""

    def __init__(self, *, lemmas: bool = False, fold: bool = False) -> None:
        self.lemmas = lemmas
        self.fold = fold

    def stem(self, token: str) -> str:
        if not (self.lemmas or self.fold):
            return ardovel.stem_py(token)
        return ardovel_text.stem_words([token], lemmas=self.lemmas, fold=self.fold)[0]

    def __repr__(self) -> str:
        return f"SerbianStemmer(lemmas={self.lemmas!r}, fold={self.fold!r})"
