# Type information for the ardovel extension module, shipped as a stub-only
# package beside it: a single-file extension module cannot carry py.typed.

__all__ = ["stem_py", "conservative_stem_py"]

def stem_py(word: str) -> str: ...
def conservative_stem_py(word: str) -> str: ...
