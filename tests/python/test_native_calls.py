"""Calls that only native code can make: keyword names that are not str,
str subclasses as names, a NULL argument array."""
import gc
import sys

import pytest

import ardovel
from hostile import HostileStr
from native_caller import vectorcall


class Outer:
    class Inner:
        pass


# (positional args, keyword names, keyword values, exception or answer).
# A non-str name fails at once, with no function name in the message.
CASES = [
    ((), [5], ["x"], TypeError("'int' object cannot be converted to 'PyString'")),
    ((), [None], ["x"], TypeError("'NoneType' object cannot be converted to 'PyString'")),
    ((), [b"word"], ["x"], TypeError("'bytes' object cannot be converted to 'PyString'")),
    ((), [Outer.Inner()], ["x"], TypeError("'Outer.Inner' object cannot be converted to 'PyString'")),
    ((), [("word",)], ["x"], TypeError("'tuple' object cannot be converted to 'PyString'")),
    # Names are taken in order: a good one first does not save a bad one...
    ((), ["word", 5], ["Knjigama", "x"], TypeError("'int' object cannot be converted to 'PyString'")),
    # ...and the first bad one decides.
    (("a",), ["word", 5], ["b", "x"], TypeError("{name}() got multiple values for argument 'word'")),
    ((), [5, "text"], ["x", "y"], TypeError("'int' object cannot be converted to 'PyString'")),
    # The positional count is checked before any name is looked at.
    (("a", "b"), [5], ["x"], TypeError("{name}() takes 1 positional arguments but 2 were given")),
    # No arguments at all, and an empty name tuple.
    ((), None, [], TypeError("{name}() missing 1 required positional argument: 'word'")),
    ((), [], [], TypeError("{name}() missing 1 required positional argument: 'word'")),
    # str subclasses as names are read by their bytes.
    ((), [HostileStr("word")], ["Knjigama"], "knjig"),
    ((), [HostileStr("text")], ["Knjigama"], TypeError("{name}() got an unexpected keyword argument '<unprintable HostileStr object>'")),
    ((), ["\udcff"], ["x"], TypeError("{name}() got an unexpected keyword argument '\ufffd\ufffd\ufffd'")),
    ((), ["word\x00"], ["x"], TypeError("{name}() got an unexpected keyword argument 'word\x00'")),
    ((), ["word"], ["ДЕЦА"], "dec"),
    (("ДЕЦА",), None, [], "dec"),
]


@pytest.mark.parametrize("args, kwnames, kwvalues, outcome", CASES)
def test_native_call(stem_function, args, kwnames, kwvalues, outcome, monkeypatch):
    name, function = stem_function
    monkeypatch.setattr(sys, "unraisablehook", lambda unraisable: None)
    if isinstance(outcome, str):
        assert vectorcall(function, args, kwnames, kwvalues) == outcome
        return
    with pytest.raises(type(outcome)) as raised:
        vectorcall(function, args, kwnames, kwvalues)
    assert type(raised.value) is type(outcome)
    assert raised.value.args == (outcome.args[0].format(name=name),)


def test_native_calls_keep_reference_counts(monkeypatch):
    monkeypatch.setattr(sys, "unraisablehook", lambda unraisable: None)
    objects = [Outer.Inner(), HostileStr("word"), HostileStr("text"), "".join(["Knji", "gama"]), 12345678]
    inner, good_name, bad_name, word, number = objects

    def calls():
        for _ in range(2000):
            for name in (inner, number, good_name, bad_name):
                try:
                    vectorcall(ardovel.stem_py, (), [name], [word])
                except TypeError:
                    pass

    before = [sys.getrefcount(item) for item in objects]
    calls()
    gc.collect()
    assert [sys.getrefcount(item) for item in objects] == before
