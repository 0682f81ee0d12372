"""An NLTK stemmer (imports NLTK; needs none of NLTK's data).

    from ardovel_text.nltk import SerbianStemmer
    SerbianStemmer().stem("Knjigama")  # 'knjig'
"""
from __future__ import annotations

from nltk.stem.api import StemmerI

import ardovel


class SerbianStemmer(StemmerI):  # type: ignore[misc]
    """NLTK's stemmer interface over ``ardovel.stem_py``: ``stem(token)`` is
    exactly ``ardovel.stem_py(token)``. For many tokens at once,
    ``ardovel_text.stem_words`` does the same without a call per token."""

    def stem(self, token: str) -> str:
        return ardovel.stem_py(token)

    def __repr__(self) -> str:
        return "SerbianStemmer()"
