"""ardovel_text passes the core's text layer through to Python.

The token rule, the stems and stop-word matching are the core's, tested in
tests/cpp. Here, without a model of them, each function must hand over what
the core gives: every kept token's key is its key taken alone (stem_py of
the token as written, for a token already in NFKC), offsets count code
points, nothing between the kept tokens has a key, and analyze, tokenize
and stem_words agree. The texts are the samples, texts
generated from characters of every plane, and texts long enough to be
analysed without the interpreter lock.
"""
import ast
import pathlib
import random
import sys
import threading
import unicodedata

import pytest

import ardovel
import ardovel_text
from conftest import run_python
from hostile import HostileStr
from test_stress import SANITIZED, assert_flat

ROOT = pathlib.Path(__file__).resolve().parents[2]
# Long enough that the lock is released (the module's threshold is 8 KiB).
LONG = 64 * 1024
# What stays inside a token and changes what the stemmer sees.
INSIDE = ["\u00ad", "\u200d", "\u200c", "\u0301", "\u030c", "7", "\u0663", "\u00b2", "\u2160", "ǈ"]
WORDS = ["Knjige", "reke", "ДЕЦА", "дијете", "najlepši", "pjesme", "ΌΣΟΣ", "IT", "u", "je", "Ljubav", "İ"]


def random_character(rng):
    """Any scalar value, most often from the first planes."""
    while True:
        code = rng.randrange(rng.choice([0x80, 0x800, 0x10000, 0x110000]))
        if not 0xD800 <= code <= 0xDFFF:
            return chr(code)


def generated_text(seed, length):
    """Words, characters of every plane and the in-token characters, joined
    by runs of random characters or by nothing at all."""
    rng = random.Random(seed)
    pieces, size = [], 0
    while size < length:
        kind = rng.random()
        if kind < 0.4:
            piece = rng.choice(WORDS)
        elif kind < 0.7:
            piece = "".join(random_character(rng) for _ in range(rng.randint(1, 4)))
        else:
            piece = rng.choice(INSIDE)
        pieces.append(piece)
        size += len(piece)
    return "".join(pieces)


SAMPLES = sorted((ROOT / "samples").glob("*.txt"))
TEXTS = [pytest.param(path.read_text(encoding="utf-8"), id=path.name) for path in SAMPLES] + [
    pytest.param(generated_text(seed, 3000), id=f"generated-{seed}") for seed in range(4)] + [
    pytest.param(generated_text(9, LONG), id="generated-long"),
    # Longer than the pieces a text is encoded in, within and across them.
    pytest.param("ж" * 40_000 + " Knjige, " + "ДЕЦА " * 7000 + "ж" * 20_000, id="long-tokens-and-pieces"),
    pytest.param("ΑΣ\u0301 ΌΣΟΣ İ\u212a\u0308 ǄǅǆA\u030c \U00010400\u0345 Ⅻ" * 3, id="letters-and-marks"),
    # Long stems alike in their first bytes and their size, over many buckets.
    pytest.param(" ".join(["ž" * 12 + end for end in ("ba", "ca", "bb", "b")] * 900), id="long-stems-alike"),
    pytest.param("", id="empty"),
    pytest.param(" ,.\u3000\u2028!", id="separators-only"),
]
STOP = frozenset(ardovel_text.SERBIAN_STOPWORDS | {"knjige", "ДЕЦА", "ije"})


@pytest.mark.parametrize("stopwords", [None, STOP], ids=["all", "stopwords"])
@pytest.mark.parametrize("text", TEXTS)
def test_keys_are_those_of_the_tokens_as_written(text, stopwords):
    # Each kept token alone is one token with the same key; a dropped token
    # (or one left out by the stop list) shows up in some gap.
    tokens = ardovel_text.tokenize(text, stopwords=stopwords)
    assert ardovel_text.analyze(text, stopwords=stopwords) == [key for key, _, _ in tokens]
    end = 0
    for key, start, stop in tokens:
        assert end <= start < stop
        assert ardovel_text.analyze(text[end:start], stopwords=stopwords) == []
        assert ardovel_text.tokenize(text[start:stop], stopwords=stopwords) == [(key, 0, stop - start)]
        token = text[start:stop]
        assert [key] == ardovel_text.stem_words([token], stopwords=stopwords)
        # Python's Unicode data is older than the core's: only tokens of
        # characters it knows, in NFKC by both, are compared with stem_py.
        if unicodedata.is_normalized("NFKC", token) and "Cn" not in map(unicodedata.category, token):
            assert key == ardovel.stem_py(token)
        end = stop
    assert ardovel_text.analyze(text[end:], stopwords=stopwords) == []


# (text, analyze's answer), which the texts above take on trust.
EXAMPLES = [
    ("knjige,reke", ["knjig", "rek"]),
    ("«Дијете» — ДЕЦА!", ["det", "dec"]),
    (HostileStr("Knjige,reke"), ["knjig", "rek"]),
]


@pytest.mark.parametrize("text, stems", EXAMPLES, ids=range(len(EXAMPLES)))
def test_examples(text, stems):
    assert ardovel_text.analyze(text) == stems
    assert [stem for stem, _, _ in ardovel_text.tokenize(text)] == stems


def test_offsets_count_code_points_outside_the_basic_plane():
    text = "😀Knjige 𝐁 \U0001F1F7\U0001F1F8 reke"
    assert [(stem, text[start:end]) for stem, start, end in ardovel_text.tokenize(text)] == [
        ("knjig", "Knjige"), ("b", "𝐁"), ("rek", "reke")]


# ----------------------------------------------------------- stop words


def test_default_list_is_a_frozenset_that_stops_its_words():
    stop = ardovel_text.SERBIAN_STOPWORDS
    assert type(stop) is frozenset and len(stop) > 100
    words = sorted(stop)
    assert all(type(word) is str and word == word.lower() for word in words)
    text = " ".join(words)
    # The set itself, which the module takes without reading it, and its words.
    for given in (stop, words):
        assert ardovel_text.analyze(text, stopwords=given) == []
        assert ardovel_text.tokenize(text, stopwords=given) == []
    # Without it they are kept (those with a stem).
    assert len(ardovel_text.analyze(text)) > len(words) / 2


# (stopwords, text, analyze's answer)
STOP_CASES = [
    (["su"], "Oni SU, су и Су sU.", ["on"]),
    ("serbian", "Knjige su na stolu, a deca iz škole.", ["knjig", "stol", "dec", "škol"]),
    (lambda: (w for w in ["knjige"]), "Knjige,reke", ["rek"]),   # any iterable, a generator too
    ({"knjiga": 1}, "Knjiga", []),
    ([], "su", ["s"]),
    ([""], "su", ["s"]),
    (None, "su", ["s"]),
]


@pytest.mark.parametrize("stopwords, text, stems", STOP_CASES, ids=range(len(STOP_CASES)))
def test_stop_words(stopwords, text, stems):
    if stopwords == "serbian":
        stopwords = ardovel_text.SERBIAN_STOPWORDS
    make = stopwords if callable(stopwords) else lambda: stopwords
    assert ardovel_text.analyze(text, stopwords=make()) == stems
    assert [stem for stem, _, _ in ardovel_text.tokenize(text, stopwords=make())] == stems


def test_frozensets_taken_in_turn_keep_their_own_words():
    # The module keeps the last frozenset's set: alternating two must not mix them.
    first, second = frozenset(["knjige"]), frozenset(["reke"])
    for _ in range(3):
        assert ardovel_text.analyze("knjige reke", stopwords=first) == ["rek"]
        assert ardovel_text.analyze("knjige reke", stopwords=second) == ["knjig"]
        assert ardovel_text.analyze("knjige reke", stopwords=set(first)) == ["rek"]


# ------------------------------------------------------------ stem_words


def test_stem_words_is_stem_py_over_any_iterable():
    words = [w for w in WORDS] + ["", " ", "a", "knjige,reke", "\x00", HostileStr("Knjigama"), "x" * 5000]
    expected = [ardovel.stem_py(w) for w in words]
    assert "" in expected
    for given in (words, tuple(words), iter(words), (w for w in words)):
        assert ardovel_text.stem_words(given) == expected
    assert ardovel_text.stem_words([]) == []


# ---------------------------------------------------------------- errors


def failing_words():
    yield "knjige"
    raise KeyError("from the iterable")


# (call, exception type, message or None)
ERRORS = [
    (lambda: ardovel_text.analyze(b"knjige"), TypeError, "argument 'text': 'bytes' object cannot be converted to 'PyString'"),
    (lambda: ardovel_text.tokenize(None), TypeError, "argument 'text': 'NoneType' object cannot be converted to 'PyString'"),
    (lambda: ardovel_text.analyze("a\ud800b"), UnicodeEncodeError, None),
    (lambda: ardovel_text.tokenize("x" * LONG + "\udfff"), UnicodeEncodeError, None),
    (lambda: ardovel_text.analyze("a", stopwords="su"), TypeError,
     "argument 'stopwords': 'str' object is not a collection of words"),
    (lambda: ardovel_text.analyze("a", stopwords=5), TypeError,
     "argument 'stopwords': 'int' object is not iterable"),
    (lambda: ardovel_text.tokenize("a", stopwords=["su", b"je"]), TypeError,
     "argument 'stopwords[1]': 'bytes' object cannot be converted to 'PyString'"),
    (lambda: ardovel_text.analyze("a", stopwords=["\ud800"]), UnicodeEncodeError, None),
    (lambda: ardovel_text.analyze("a", stopwords=failing_words()), KeyError, "'from the iterable'"),
    (lambda: ardovel_text.stem_words(["a", "b", 3, "c"]), TypeError,
     "argument 'words[2]': 'int' object cannot be converted to 'PyString'"),
    (lambda: ardovel_text.stem_words("knjige"[i] for i in range(9)), IndexError, None),
    (lambda: ardovel_text.stem_words(5), TypeError, "argument 'words': 'int' object is not iterable"),
    (lambda: ardovel_text.stem_words(["ok", "\udc80"]), UnicodeEncodeError, None),
    (lambda: ardovel_text.analyze("a", ["su"]), TypeError,   # stopwords is keyword-only
     "analyze() takes 1 positional arguments but 2 were given"),
]


@pytest.mark.parametrize("call, error, message", ERRORS, ids=range(len(ERRORS)))
def test_errors(call, error, message):
    with pytest.raises(error) as raised:
        call()
    assert type(raised.value) is error
    if message is not None:
        assert str(raised.value) == message


# ----------------------------------------------------- the interpreter lock


@pytest.mark.parametrize("function", [ardovel_text.analyze, ardovel_text.tokenize])
def test_long_texts_are_analysed_without_the_lock(function):
    # With an endless switch interval the lock changes hands only when it
    # is given up. The helper thread waits on a queue; it can take its item
    # and count it only while the call has released the lock.
    import queue

    text = generated_text(3, 50_000) * (1 if SANITIZED else 20)
    items, counted = queue.Queue(), []

    def helper():
        while (item := items.get()) is not None:
            counted.append(item)

    thread = threading.Thread(target=helper)
    thread.start()
    interval = sys.getswitchinterval()
    sys.setswitchinterval(1000)
    try:
        items.put(1)
        result = function(text)
        seen = len(counted)
    finally:
        sys.setswitchinterval(interval)
        items.put(None)
        thread.join()
    assert seen == 1
    assert result == function(text)


def test_a_signal_during_a_long_call_is_handled_inside_it():
    # The signal is pending when the call starts, and no bytecode runs
    # between: served inside, its handler's exception stops the call;
    # served only after it, the call finishes first and "done" is recorded.
    import _thread
    import itertools
    import operator
    import signal

    class Interrupted(Exception):
        pass

    def handler(signum, frame):
        raise Interrupted

    text = generated_text(4, 50_000) * 120
    events = []
    previous = signal.signal(signal.SIGINT, handler)
    try:
        with pytest.raises(Interrupted):
            list(itertools.starmap(operator.call, [(_thread.interrupt_main, signal.SIGINT),
                                                   (ardovel_text.analyze, text),
                                                   (events.append, "done")]))
    finally:
        signal.signal(signal.SIGINT, previous)
    assert events == []
    assert ardovel_text.analyze("Knjige") == ["knjig"]


def test_threads_get_the_single_threaded_answers():
    texts = [generated_text(seed, LONG) for seed in range(4)]
    stops = [None, ardovel_text.SERBIAN_STOPWORDS, frozenset(["knjige", "ДЕЦА"]), ["reke"]]
    expected = [ardovel_text.tokenize(text, stopwords=stop) for text, stop in zip(texts, stops)]
    results = [[] for _ in texts]

    def worker(index):
        for turn in range(6):
            k = (index + turn) % len(texts)
            results[index].append(ardovel_text.tokenize(texts[k], stopwords=stops[k]) == expected[k])

    threads = [threading.Thread(target=worker, args=(i,)) for i in range(len(texts))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == [[True] * 6] * len(texts)


# ------------------------------------------------- memory and references


def every_path(text, long_text, words, stop, custom):
    outcomes = [
        ardovel_text.analyze(text), ardovel_text.tokenize(text, stopwords=stop),
        ardovel_text.analyze(long_text, stopwords=custom), ardovel_text.stem_words(words),
        ardovel_text.analyze(text, stopwords=list(custom)),
    ]
    for call in (lambda: ardovel_text.analyze(text + "\ud800"), lambda: ardovel_text.stem_words(words + [5]),
                 lambda: ardovel_text.analyze(text, stopwords=[text, 5]), lambda: ardovel_text.tokenize(5)):
        try:
            call()
        except (TypeError, UnicodeEncodeError) as error:
            outcomes.append(type(error))
    return outcomes


def test_many_calls_through_every_path_leave_memory_and_refcounts_alone():
    # The long text just passes the size at which the lock is released.
    arguments = ["Knjige su, reke", "Knjige, reke i ДЕЦА. " * 250, ["Knjigama", "ДЕЦА", ""],
                 ardovel_text.SERBIAN_STOPWORDS, frozenset(["reke", "Knjige"])]
    assert_flat(every_path, arguments, 2000 // (4 if SANITIZED else 1))


def test_python_allocation_failures_end_in_answers_or_memory_error():
    result = run_python(
        f"""
        import _testcapi
        import ardovel_text

        long_text = "Knjige, reke i ДЕЦА. " * {LONG // 16}
        calls = [
            lambda: ardovel_text.analyze("Knjige, reke i ДЕЦА"),
            lambda: ardovel_text.tokenize("Knjige, reke i ДЕЦА", stopwords=["i"]),
            lambda: ardovel_text.tokenize(long_text, stopwords=ardovel_text.SERBIAN_STOPWORDS),
            lambda: ardovel_text.stem_words(["Knjigama", "ДЕЦА", "u"]),
        ]

        def attempt(call, n):
            _testcapi.set_nomemory(n, n + 1)
            try:
                try:
                    return call()
                finally:
                    _testcapi.remove_mem_hooks()
            except BaseException as error:
                return error

        print(sorted({{type(attempt(call, n)).__name__ for call in calls for n in range(60)}}))
        print(sorted({{type(attempt(lambda: list(map(str, [1, 2])), n)).__name__ for n in range(60)}}))
        print(ardovel_text.analyze("Knjige, reke"))
        """
    )
    assert result.returncode == 0, result.stderr[-3000:]
    outcomes, interpreter, answer = result.stdout.splitlines()
    assert answer == "['knjig', 'rek']"
    assert "MemoryError" in outcomes
    # Answers, MemoryError, and what CPython's own builtins give the same way.
    assert set(ast.literal_eval(outcomes)) <= {"list", "MemoryError"} | set(ast.literal_eval(interpreter)), (outcomes, interpreter)


@pytest.mark.skipif(SANITIZED, reason="under ASan, operator new aborts instead of throwing std::bad_alloc")
def test_memory_exhaustion_without_the_lock_is_memory_error():
    # The address space is capped just above what the process holds, so the
    # per-token arrays of a long text cannot grow: that happens with the lock
    # released, and the lock must be back when the MemoryError is raised.
    result = run_python(
        """
        import resource, threading
        import ardovel_text
        text = "knjige reke " * (4 << 20)
        with open("/proc/self/statm") as statm:
            used = int(statm.read().split()[0]) * resource.getpagesize()
        resource.setrlimit(resource.RLIMIT_AS, (used + (16 << 20), resource.RLIM_INFINITY))
        for function in (ardovel_text.analyze, ardovel_text.tokenize):
            try:
                function(text)
            except MemoryError:
                print("MemoryError")
        resource.setrlimit(resource.RLIMIT_AS, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))
        answers = []
        thread = threading.Thread(target=lambda: answers.append(ardovel_text.analyze("Knjige," * 5000)))
        thread.start()
        thread.join()
        print(answers[0][:2], len(answers[0]))
        """
    )
    assert result.returncode == 0, result.stderr[-3000:]
    assert result.stdout.splitlines() == ["MemoryError", "MemoryError", "['knjig', 'knjig'] 5000"]


# --------------------------------------------------------------- package


def test_package_surface():
    assert ardovel_text.__all__ == ["SERBIAN_STOPWORDS", "analyze", "pattern_terms", "sqlite_extension_path",
                                    "stem_words", "tokenize"]
    path = pathlib.Path(ardovel_text.sqlite_extension_path())
    assert path.name == "ardovel_sqlite.so" and path.parent == pathlib.Path(ardovel_text.__file__).parent
    assert (path.parent / "py.typed").exists()
    # Importing the package imports none of the adapters' libraries.
    result = run_python("""
        import sys, ardovel_text
        print(sorted(name for name in ("whoosh", "nltk", "sklearn", "dask") if name in sys.modules))
        """)
    assert result.stdout == "[]\n", result.stderr
