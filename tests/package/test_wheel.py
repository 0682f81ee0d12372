"""The wheel as built and installed: contents, metadata, a clean environment,
pickling and the type stubs."""
import email
import pickle
import subprocess
import zipfile

import cloudpickle
import pytest

import ardovel
from conftest import CLEAN_PYTHON, CLEAN_VENV, WHEEL, run_python


def test_wheel_holds_the_modules_the_stubs_and_the_program():
    with zipfile.ZipFile(WHEEL) as wheel:
        names = set(wheel.namelist())
        metadata = email.message_from_bytes(wheel.read("ardovel-0.1.0.dist-info/METADATA"))
    assert {name for name in names if ".dist-info/" not in name} == {
        "ardovel.cpython-311-x86_64-linux-gnu.so",
        "ardovel-stubs/__init__.pyi",
        "ardovel_text/ardovel_sqlite.so",
        # The lemma lexicon, once for the module, the extension and the
        # program, with the dictionary's licence beside it.
        "ardovel_text/ardovel_lexicon.bin",
        "ardovel_text/LICENSE-hunspell-sr",
        "ardovel-0.1.0.data/scripts/ardovel-stem",
        "ardovel_text/__init__.py",
        "ardovel_text/_native.cpython-311-x86_64-linux-gnu.so",
        "ardovel_text/_native.pyi",
        "ardovel_text/nltk.py",
        "ardovel_text/py.typed",
        "ardovel_text/whoosh.py",
    }
    assert WHEEL.name == "ardovel-0.1.0-cp311-cp311-linux_x86_64.whl"
    assert metadata["Name"] == "ardovel"
    assert metadata["Version"] == "0.1.0"
    assert set(metadata["Requires-Python"].split(",")) == {">=3.11", "<3.12"}
    assert metadata["License"].startswith("MIT License")
    assert "ardovel-0.1.0.dist-info/LICENSE" in names
    assert "Serbian" in metadata["Summary"]
    assert metadata["Description-Content-Type"] == "text/markdown"
    assert "# ardovel" in metadata.get_payload()
    classifiers = metadata.get_all("Classifier")
    for wanted in ["Typing :: Typed", "Natural Language :: Serbian", "Programming Language :: Python :: 3.11",
                   "License :: OSI Approved :: MIT License"]:
        assert wanted in classifiers


def test_clean_environment_imports_and_uses_the_installed_module(tmp_path):
    assert "include-system-site-packages = false" in (CLEAN_VENV / "pyvenv.cfg").read_text()
    result = run_python("""
        import ardovel, importlib.util, sys
        print(ardovel.__file__)
        print(ardovel.__all__)
        print(ardovel.stem_py("Knjigama"), ardovel.conservative_stem_py(word="ЊЕГОШ"), ardovel.stem_py("дијете"))
        print(importlib.util.find_spec("sklearn") is None)
        """, python=CLEAN_PYTHON, cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    module_file, names, stems, no_system_packages = result.stdout.splitlines()
    assert module_file.startswith(f"{CLEAN_VENV}/lib/python3.11/site-packages/ardovel.cpython-311")
    assert names == "['stem_py', 'conservative_stem_py']"
    assert stems == "knjig njegoh det"
    assert no_system_packages == "True"


@pytest.mark.parametrize("name", ardovel.__all__)
def test_functions_pickle_by_reference(name):
    function = getattr(ardovel, name)
    for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
        data = pickle.dumps(function, protocol=protocol)
        assert pickle.loads(data) is function
        assert len(data) < 100   # a name, not a body
    # cloudpickle (what Dask uses) must not fall back to pickling by value.
    assert cloudpickle.loads(cloudpickle.dumps(function)) is function
    # Another process, another environment, the same function.
    result = run_python(f"""
        import pickle, sys, ardovel
        function = pickle.loads(bytes.fromhex("{pickle.dumps(function).hex()}"))
        assert function is ardovel.{name}
        print(function("Knjigama"))
        """, python=CLEAN_PYTHON)
    assert (result.returncode, result.stdout) == (0, "knjig\n"), result.stderr


CLIENT = """\
import ardovel

stem: str = ardovel.stem_py("Knjigama")
other: str = ardovel.conservative_stem_py(word="Књига")
reveal_type(ardovel.stem_py)
"""

MISTAKES = [
    ("ardovel.stem_py(5)", 'Argument 1 to "stem_py" has incompatible type "int"; expected "str"'),
    ('ardovel.conservative_stem_py(word=b"x")',
     'Argument "word" to "conservative_stem_py" has incompatible type "bytes"; expected "str"'),
    ('number: int = ardovel.stem_py("a")',
     'Incompatible types in assignment (expression has type "str", variable has type "int")'),
    ('ardovel.stem_py("a", "b")', 'Too many arguments for "stem_py"'),
    ('ardovel.stem_py(text="a")', 'Unexpected keyword argument "text" for "stem_py"'),
    ("ardovel.conservative_stem_py()", 'Missing positional argument "word" in call to "conservative_stem_py"'),
]


def mypy(tmp_path, python, source):
    client = tmp_path / "client.py"
    client.write_text(source)
    return subprocess.run(["/usr/bin/mypy", "--no-incremental", "--cache-dir", str(tmp_path / "cache"),
                           "--python-executable", str(python), str(client)],
                          capture_output=True, text=True, cwd=tmp_path, timeout=300)


def test_mypy_reads_the_installed_stubs(tmp_path):
    good = mypy(tmp_path, CLEAN_PYTHON, CLIENT)
    assert good.returncode == 0, good.stdout
    assert 'Revealed type is "def (word: builtins.str) -> builtins.str"' in good.stdout
    # Without the installed stubs mypy knows nothing of the module.
    blind = mypy(tmp_path, "/usr/bin/python3", CLIENT)
    assert 'Cannot find implementation or library stub for module named "ardovel"' in blind.stdout


def test_mypy_reports_each_misuse(tmp_path):
    first_line = CLIENT.count("\n") + 1
    bad = mypy(tmp_path, CLEAN_PYTHON, CLIENT + "".join(mistake + "\n" for mistake, _ in MISTAKES))
    assert bad.returncode == 1
    for line, (_, message) in enumerate(MISTAKES, start=first_line):
        assert f"client.py:{line}: error: {message}" in bad.stdout
    assert f"Found {len(MISTAKES)} errors in 1 file" in bad.stdout
