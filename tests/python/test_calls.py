"""Calling the two functions: arguments, errors, conversions. Surrogates,
str subclasses and reference counts are in test_stress.py's tables."""
import os
import sys

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import ardovel
from conftest import run_python
from hostile import RaisingStr


class Outer:
    class Inner:
        pass


# (positional args, keyword args, message after "{name}() ")
ARGUMENT_ERRORS = [
    ((), {}, "missing 1 required positional argument: 'word'"),
    (("a", "b"), {}, "takes 1 positional arguments but 2 were given"),
    (("a", "b", "c"), {}, "takes 1 positional arguments but 3 were given"),
    # The positional count is checked before any keyword.
    (("a", "b"), {"word": "c"}, "takes 1 positional arguments but 2 were given"),
    (("a",), {"word": "b"}, "got multiple values for argument 'word'"),
    ((), {"text": "a"}, "got an unexpected keyword argument 'text'"),
    ((), {"word": "a", "text": "b"}, "got an unexpected keyword argument 'text'"),
    # The first failing keyword in call order decides.
    (("a",), {"word": "b", "text": "z"}, "got multiple values for argument 'word'"),
    (("a",), {"text": "z", "word": "b"}, "got an unexpected keyword argument 'text'"),
    ((), {"\ud800": "a"}, "got an unexpected keyword argument '\ufffd\ufffd\ufffd'"),
    ((), {"WORD": "a"}, "got an unexpected keyword argument 'WORD'"),
]


@pytest.mark.parametrize("args, kwargs, message", ARGUMENT_ERRORS)
def test_argument_errors(stem_function, args, kwargs, message):
    name, function = stem_function
    with pytest.raises(TypeError) as raised:
        function(*args, **kwargs)
    assert type(raised.value) is TypeError
    assert raised.value.args == (f"{name}() {message}",)


@pytest.mark.parametrize(
    "word, type_name",
    [(5, "int"), (None, "NoneType"), (b"grad", "bytes"), (bytearray(b"x"), "bytearray"), (Outer.Inner(), "Outer.Inner"),
     (["grad"], "list")],
)
def test_word_that_is_not_a_str(stem_function, word, type_name):
    _, function = stem_function
    for call in (lambda: function(word), lambda: function(word=word)):
        with pytest.raises(TypeError) as raised:
            call()
        assert str(raised.value) == f"argument 'word': '{type_name}' object cannot be converted to 'PyString'"
        assert raised.value.__cause__ is None
        assert raised.value.__suppress_context__ is True


def test_keyword_name_whose_str_raises_is_reported_as_unprintable(stem_function, monkeypatch):
    name, function = stem_function
    seen = []
    monkeypatch.setattr(sys, "unraisablehook", seen.append)
    with pytest.raises(TypeError) as raised:
        function(**{RaisingStr("text"): "a"})
    assert str(raised.value) == f"{name}() got an unexpected keyword argument '<unprintable RaisingStr object>'"
    assert len(seen) == 1
    assert isinstance(seen[0].exc_value, RuntimeError)


@settings(max_examples=500, deadline=None)
@given(st.text())
def test_all_four_spellings_of_a_call_agree(text):
    expected = ardovel.stem_py(text)
    assert type(expected) is str
    assert ardovel.stem_py(word=text) == expected
    assert ardovel.conservative_stem_py(text) == expected
    assert ardovel.conservative_stem_py(word=text) == expected


def test_failure_to_make_the_result_is_the_fault_exception():
    result = run_python(
        """
        import _testcapi
        import ardovel
        function, word = ardovel.stem_py, "gradovima-veliki"
        function(word)
        try:
            _testcapi.set_nomemory(0, 1)
            try:
                function(word)
            finally:
                _testcapi.remove_mem_hooks()
        except Exception as error:
            print("caught as Exception:", type(error))
        except BaseException as error:
            fault = type(error)
            print("fault", fault.__mro__[1].__name__, error.args)
        print(function(word))
        """
    )
    assert result.returncode == 0, result.stderr
    lines = result.stdout.splitlines()
    assert lines[0] == "fault BaseException ('Python API call failed',)"
    assert lines[1] == ardovel.stem_py("gradovima-veliki")
    assert "MemoryError" in result.stderr  # printed before the fault is raised


@pytest.mark.skipif(
    os.environ.get("ARDOVEL_SANITIZED") == "1",
    reason="under ASan, operator new aborts the process on exhaustion instead of throwing std::bad_alloc",
)
def test_memory_exhaustion_in_the_stemmer_is_memory_error():
    # Cap the address space just above what the input needs, so the
    # stemmer's working copies of a long word cannot be allocated.
    result = run_python(
        """
        import resource
        import ardovel
        word = "A" * (256 << 20)
        with open("/proc/self/statm") as statm:
            used = int(statm.read().split()[0]) * resource.getpagesize()
        resource.setrlimit(resource.RLIMIT_AS, (used + (128 << 20), resource.RLIM_INFINITY))
        try:
            ardovel.stem_py(word)
        except MemoryError:
            print("MemoryError")
        resource.setrlimit(resource.RLIMIT_AS, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))
        del word
        print(ardovel.stem_py("Knjigama") == ardovel.conservative_stem_py("Knjigama"))
        """
    )
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == ["MemoryError", "True"]
