"""ardovel_text against a plain model of the token rule.

The model splits a text at the separators as Unicode 16.0.0 defines them,
read from the exported category data (Python's unicodedata carries an
older Unicode), and stems each token with ardovel.stem_py. The same texts
go through analyze, tokenize and stem_words: the samples, texts generated
from every General_Category, and texts long enough to be analysed without
the interpreter lock.
"""
import ast
import pathlib
import random
import sys
import threading

import pytest

import ardovel
import ardovel_text
from conftest import run_python
from hostile import HostileStr
from test_stress import SANITIZED, assert_flat

ROOT = pathlib.Path(__file__).resolve().parents[2]
SEPARATOR_CATEGORIES = {"Pc", "Pd", "Ps", "Pe", "Pi", "Pf", "Po", "Sm", "Sc", "Sk", "So", "Cc"}
# Long enough that the lock is released (the module's threshold is 8 KiB).
LONG = 64 * 1024


def parse_ranges(fields):
    for field in fields:
        first, _, last = field.partition("..")
        yield int(first, 16), int(last or first, 16)


def read_categories():
    """{category: [(first, last)]} for each General_Category, and the
    White_Space ranges under "White_Space"."""
    categories = {}
    for line in (ROOT / "tests" / "data" / "unicode_categories.txt").read_text().splitlines():
        fields = line.split()
        if fields[:1] == ["gc"]:
            categories[fields[1]] = list(parse_ranges(fields[2:]))
        elif fields[:1] == ["white_space"]:
            categories["White_Space"] = list(parse_ranges(fields[1:]))
    return categories


CATEGORIES = read_categories()
SEPARATORS = frozenset(
    c for name in SEPARATOR_CATEGORIES | {"White_Space"} for first, last in CATEGORIES[name]
    for c in range(first, last + 1))


def model_tokenize(text):
    """(stem, start, end) per kept token, by the rule itself."""
    tokens, start = [], None
    for i, char in enumerate(text + " "):
        if ord(char) in SEPARATORS:
            if start is not None:
                tokens.append((start, i))
                start = None
        elif start is None:
            start = i
    found = [(ardovel.stem_py(text[s:e]), s, e) for s, e in tokens]
    return [token for token in found if token[0]]


def samples_of_every_category():
    """A few characters of each category (first, middle and last of its
    ranges), lone surrogates (Cs) aside, plus unassigned ones (Cn)."""
    chars = {}
    for name, ranges in CATEGORIES.items():
        if name in ("Cs", "White_Space"):
            continue
        points = [c for first, last in ranges for c in (first, last)]
        chars[name] = [chr(c) for c in sorted({points[0], points[len(points) // 2], points[-1]})]
    chars["White_Space"] = [chr(first) for first, _ in CATEGORIES["White_Space"]]
    chars["Cn"] = ["\u0378", "\U0003fffe", "\U0010ffff"]
    return chars


EVERY_CATEGORY = samples_of_every_category()
# What stays inside a token and changes what the stemmer sees.
INSIDE = ["\u00ad", "\u200d", "\u200c", "\u0301", "\u030c", "7", "\u0663", "\u00b2", "\u2160", "ǈ"]
WORDS = ["Knjige", "reke", "ДЕЦА", "дијете", "najlepši", "pjesme", "ΌΣΟΣ", "IT", "u", "je", "Ljubav", "İ"]


def generated_text(seed, length):
    """Words, characters of every category and the in-token characters,
    joined by runs of random separators or by nothing at all."""
    rng = random.Random(seed)
    pool = [c for chars in EVERY_CATEGORY.values() for c in chars] + INSIDE
    pieces, size = [], 0
    while size < length:
        kind = rng.random()
        if kind < 0.4:
            piece = rng.choice(WORDS)
        elif kind < 0.7:
            piece = "".join(rng.choice(pool) for _ in range(rng.randint(1, 4)))
        else:
            piece = rng.choice(INSIDE)
        pieces.append(piece)
        size += len(piece)
    return "".join(pieces)


def sample_texts():
    return sorted((ROOT / "samples").glob("*.txt"))


TEXTS = [pytest.param(path.read_text(encoding="utf-8"), id=path.name) for path in sample_texts()] + [
    pytest.param(generated_text(seed, 3000), id=f"generated-{seed}") for seed in range(4)] + [
    pytest.param(generated_text(9, LONG), id="generated-long"),
    # Longer than the pieces a text is encoded in, within and across them.
    pytest.param("ж" * 40_000 + " Knjige, " + "ДЕЦА " * 7000 + "ж" * 20_000, id="long-tokens-and-pieces"),
    pytest.param("".join(EVERY_CATEGORY["Lu"] + EVERY_CATEGORY["Mn"]) * 3, id="letters-and-marks"),
    # Long stems alike in their first bytes and their size, over many buckets.
    pytest.param(" ".join(["ž" * 12 + end for end in ("ba", "ca", "bb", "b")] * 900), id="long-stems-alike"),
    pytest.param("", id="empty"),
    pytest.param(" ,.\u3000\u2028!", id="separators-only"),
]


def test_the_model_reads_every_separator_class():
    for name in SEPARATOR_CATEGORIES:
        assert all(ord(c) in SEPARATORS for c in EVERY_CATEGORY[name]), name
    for name in ("Lu", "Ll", "Lt", "Lm", "Lo", "Mn", "Mc", "Me", "Nd", "Nl", "No", "Cf", "Co", "Cn"):
        assert not any(ord(c) in SEPARATORS for c in EVERY_CATEGORY[name]), name
    # Unicode 16.0.0, not the interpreter's: U+1C89 is a letter only there.
    assert 0x1C89 in dict.fromkeys(c for first, last in CATEGORIES["Lu"] for c in range(first, last + 1))


@pytest.mark.parametrize("text", TEXTS)
def test_functions_agree_with_the_model(text):
    expected = model_tokenize(text)
    assert ardovel_text.tokenize(text) == expected
    assert ardovel_text.analyze(text) == [stem for stem, _, _ in expected]
    for stem, start, end in expected[:200]:
        assert ardovel_text.analyze(text[start:end]) == [stem]


def test_every_category_between_two_words():
    for name, chars in EVERY_CATEGORY.items():
        for char in chars:
            text = f"knjige{char}reke"
            expected = ["knjig", "rek"] if ord(char) in SEPARATORS else [ardovel.stem_py(text)]
            assert ardovel_text.analyze(text) == expected, (name, hex(ord(char)))


# (text, analyze's answer): what the users see.
EXAMPLES = [
    ("knjige,reke", ["knjig", "rek"]),
    ("Knjige su na stolu, a deca iz škole.", ["knjig", "s", "n", "stol", "dec", "iz", "škol"]),
    ("«Дијете» — ДЕЦА!", ["det", "dec"]),
    ("knjige\u00adreke", ["knjigerek"]),        # a soft hyphen joins, as in stem_py
    ("de\u0301ca", ["dec"]),                    # combining mark: one token
    ("2024. godine", ["2024", "godin"]),
    ("a u i o", []),                            # empty stems are left out
    (HostileStr("Knjige,reke"), ["knjig", "rek"]),
]


@pytest.mark.parametrize("text, stems", EXAMPLES, ids=range(len(EXAMPLES)))
def test_examples(text, stems):
    assert ardovel_text.analyze(text) == stems
    assert [stem for stem, _, _ in ardovel_text.tokenize(text)] == stems


def test_offsets_count_code_points_outside_the_basic_plane():
    text = "😀Knjige 𝐀 \U0001F1F7\U0001F1F8 reke"
    assert [(stem, text[start:end]) for stem, start, end in ardovel_text.tokenize(text)] == [
        ("knjig", "Knjige"), ("𝐀", "𝐀"), ("rek", "reke")]


# ----------------------------------------------------------- stop words

# Latin to Cyrillic for the stop-word entries (all of them lower case).
CYRILLIC = dict(zip("abvgdđežzijklmnoprstćufhcčš", "абвгдђежзијклмнопрстћуфхцчш"))


def to_cyrillic(word):
    for digraph, letter in (("lj", "љ"), ("nj", "њ"), ("dž", "џ")):
        word = word.replace(digraph, letter)
    return "".join(CYRILLIC.get(c, c) for c in word)


def test_default_list_stops_its_words_in_both_scripts_and_any_case():
    stop = ardovel_text.SERBIAN_STOPWORDS
    assert type(stop) is frozenset and len(stop) > 100
    words = sorted(stop)
    assert all(type(word) is str and word == word.lower() for word in words)
    forms = words + [w.upper() for w in words] + [w.title() for w in words] + [to_cyrillic(w) for w in words]
    forms += [to_cyrillic(w).upper() for w in words]
    text = " ".join(forms)
    assert ardovel_text.analyze(text, stopwords=stop) == []
    assert ardovel_text.tokenize(text, stopwords=stop) == []
    # The same list given in Cyrillic capitals stops the Latin words.
    cyrillic = [to_cyrillic(w).upper() for w in words]
    assert ardovel_text.analyze(" ".join(words), stopwords=cyrillic) == []
    # Without it they are kept (those with a stem).
    assert len(ardovel_text.analyze(text)) > len(forms) / 2


# (stopwords, text, analyze's answer)
STOP_CASES = [
    (["su"], "Oni SU, су и Су sU.", ["on"]),
    (["СУ"], "su, Su, SU", []),
    ("serbian", "Knjige su na stolu, a deca iz škole.", ["knjig", "stol", "dec", "škol"]),
    ("serbian", "Књиге су на столу, а деца из школе.", ["knjig", "stol", "dec", "škol"]),
    ("serbian", "Prije i poslije rata", ["rat"]),   # "pre" and "posle" stop their ijekavian forms
    (["ПРЕ", "Сам"], "Prije sam", []),
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


@pytest.mark.parametrize("text", TEXTS)
def test_a_stop_word_is_judged_as_its_token_alone(text):
    stop = frozenset(ardovel_text.SERBIAN_STOPWORDS | {"knjige", "ДЕЦА", "ije"})
    expected = [t for t in ardovel_text.tokenize(text) if ardovel_text.analyze(text[t[1]:t[2]], stopwords=stop)]
    assert ardovel_text.tokenize(text, stopwords=stop) == expected


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
