"""Shared set-up for the tests of the installed package.

tools/test-package.sh builds the wheel, installs it into a clean virtual
environment (ARDOVEL_CLEAN_VENV) and runs these tests from outside the source
tree on a second environment holding the same wheel over Debian's site
packages, so `import ardovel` here is the installed module.
"""
import os
import pathlib
import subprocess
import sys
import textwrap

import pytest

import ardovel

ROOT = pathlib.Path(os.environ["ARDOVEL_ROOT"])
WHEEL = pathlib.Path(os.environ["ARDOVEL_WHEEL"])
CLEAN_VENV = pathlib.Path(os.environ["ARDOVEL_CLEAN_VENV"])
CLEAN_PYTHON = CLEAN_VENV / "bin" / "python"
CLI = CLEAN_VENV / "bin" / "ardovel-stem"
DICTIONARIES = [pathlib.Path("/usr/share/hunspell/sr_RS.dic"),
                pathlib.Path("/usr/share/hunspell/sr_Latn_RS.dic")]


def run_python(*sources, python=sys.executable, **options):
    """Runs the sources, each dedented, as one script in a new interpreter
    (this one unless `python` names another); text in, text out."""
    script = "\n".join(textwrap.dedent(source) for source in sources)
    return subprocess.run([str(python), "-c", script], capture_output=True, text=True, timeout=600, check=False,
                          **options)


def run_cli(*args, input=b"", **kwargs):
    """Runs the installed ardovel-stem; bytes in, bytes out."""
    return subprocess.run([str(CLI), *map(str, args)], input=input, capture_output=True,
                          timeout=300, check=False, **kwargs)


def lines_of(data: bytes) -> list[bytes]:
    """The lines of a text as the command-line tool defines them: the bytes
    before each "\\n" with one "\\r" right before it dropped, then the text after
    the last "\\n" when it is not empty (kept whole)."""
    pieces = data.split(b"\n")
    tail = pieces.pop()
    lines = [piece[:-1] if piece.endswith(b"\r") else piece for piece in pieces]
    if tail:
        lines.append(tail)
    return lines


def answers(words) -> bytes:
    """What the tool must print for these words: stem_py's answers, one a line."""
    return b"".join(ardovel.stem_py(word.decode() if isinstance(word, bytes) else word).encode() + b"\n"
                    for word in words)


@pytest.fixture(scope="session")
def corpus_words() -> list[str]:
    """Every word of both hunspell-sr dictionaries (Cyrillic and Latin)."""
    words = []
    for path in DICTIONARIES:
        lines = path.read_text(encoding="utf-8").split("\n")[1:]
        words.extend(line.rstrip("\r").split("/", 1)[0] for line in lines if line)
    assert len(words) > 400_000
    return words
