"""The module object and its import-time behaviour."""
import inspect
import sys

import pytest

import ardovel
from conftest import run_python

FUNCTION_NAMES = ["stem_py", "conservative_stem_py"]


def test_module_attributes():
    assert ardovel.__name__ == "ardovel"
    assert ardovel.__all__ == FUNCTION_NAMES
    assert type(ardovel.__all__) is list
    assert ardovel.__doc__ == ""


@pytest.mark.parametrize("name", FUNCTION_NAMES)
def test_function_objects(name):
    function = getattr(ardovel, name)
    assert type(function).__name__ == "builtin_function_or_method"
    assert function.__name__ == name
    assert function.__qualname__ == name
    assert function.__module__ == "ardovel"
    assert function.__self__ is ardovel
    assert function.__text_signature__ == "(word)"
    assert function.__doc__ is None
    (parameter,) = inspect.signature(function).parameters.values()
    assert parameter.name == "word"
    assert parameter.kind is inspect.Parameter.POSITIONAL_OR_KEYWORD


def test_second_initialisation_is_refused_and_first_module_keeps_working():
    result = run_python(
        """
        import sys
        import ardovel
        first = ardovel
        del sys.modules["ardovel"]
        try:
            import ardovel
        except ImportError as error:
            print("ImportError:", error)
        print(first.stem_py("grad"), first.conservative_stem_py(word="grad"))
        """
    )
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == [
        "ImportError: PyO3 modules may only be initialized once per interpreter process",
        "grad grad",
    ]


def interpreters():
    """Every CPython 3.11 we can find: the module must import in each."""
    import shutil

    found = {sys.executable}
    for candidate in ("/usr/bin/python3", shutil.which("python3"), shutil.which("python3.11")):
        if candidate:
            found.add(candidate)
    return sorted(found)


@pytest.mark.parametrize("interpreter", interpreters())
def test_the_same_built_module_imports_in_every_local_python(interpreter):
    import os

    words = ["Knjigama", "ДЕЦА", "dijete", "IT", "ΌΣΟΣ"]
    code = f"import ardovel; print([ardovel.stem_py(w) for w in {words!r}])"
    result = run_python(code, python=interpreter, env={**os.environ, "PYTHONPATH": os.path.dirname(ardovel.__file__)},
                        cwd="/")
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == repr([ardovel.stem_py(w) for w in words])
