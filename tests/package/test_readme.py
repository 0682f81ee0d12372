"""The README's examples, run as written, so that they cannot rot.

- `>>>` examples run as doctests.
- ```python blocks run as scripts in a fresh directory; the lines marked
  "# →" are exactly what the block must print.
- ```console blocks run line by line in bash ("$ " starts a command, the
  lines after it are its output) on a plain Debian PATH, with only the
  installed `ardovel-stem` and the clean environment's `python3` before it,
  as a user who activated the environment would find them (but no
  `python`, which plain Debian lacks).
"""
import doctest
import os
import re
import subprocess
import sys

import pytest

from conftest import CLEAN_VENV, ROOT

README = ROOT / "README.md"
FENCE = re.compile(r"^```(\w+)\n(.*?)^```$", re.M | re.S)


def blocks(kind):
    text = README.read_text(encoding="utf-8")
    found = []
    for match in FENCE.finditer(text):
        if match.group(1) == kind:
            line = text.count("\n", 0, match.start()) + 1
            found.append(pytest.param(match.group(2), id=f"README.md:{line}"))
    return found


PYTHON_BLOCKS = blocks("python")
CONSOLE_BLOCKS = blocks("console")


def test_readme_has_the_examples_it_promises():
    # Whoosh; scikit-learn and NLTK; SQLite. The command line twice, and the
    # sqlite3 shell.
    assert len(PYTHON_BLOCKS) == 3
    assert len(CONSOLE_BLOCKS) == 3
    assert len(README.read_text(encoding="utf-8").splitlines()) <= 350


def test_interactive_examples():
    results = doctest.testfile(str(README), module_relative=False, optionflags=doctest.ELLIPSIS)
    assert results.attempted >= 10
    assert results.failed == 0


@pytest.mark.parametrize("source", PYTHON_BLOCKS)
def test_python_example(tmp_path, source):
    expected = [line.split("# → ", 1)[1] for line in source.splitlines() if line.lstrip().startswith("# → ")]
    assert expected, "an example must show what it prints"
    script = tmp_path / "example.py"
    script.write_text(source, encoding="utf-8")
    result = subprocess.run([sys.executable, str(script)], capture_output=True, text=True, cwd=tmp_path,
                            timeout=300)
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == expected


@pytest.mark.parametrize("source", CONSOLE_BLOCKS)
def test_console_example(tmp_path, source):
    installed = tmp_path / "bin"
    installed.mkdir()
    for name in ("ardovel-stem", "python3"):
        # A script, not a link: a linked interpreter would not find its
        # environment beside the link.
        (installed / name).write_text(f'#!/bin/sh\nexec "{CLEAN_VENV / "bin" / name}" "$@"\n')
        (installed / name).chmod(0o755)
    env = dict(os.environ, PATH=f"{installed}:/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin")
    commands = []
    for line in source.splitlines():
        if line.startswith("$ "):
            commands.append((line[2:], []))
        else:
            commands[-1][1].append(line)
    for command, expected in commands:
        result = subprocess.run(["bash", "-c", command], capture_output=True, text=True, cwd=tmp_path, env=env,
                                timeout=120)
        assert result.stderr == ""
        assert result.stdout.splitlines() == expected, command
