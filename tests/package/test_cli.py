"""End-to-end tests of the installed ardovel-stem program.

Its parts (options, the line rule, file-name quoting, waiting on
non-blocking descriptors, decoding, the parallel shares) are tested one by
one in tests/cpp/test_cli.cpp, and the token rule and UTF-8 validity in the
core. Here the installed program must wire them together: its answers agree
with stem_py and ardovel_text on large inputs, an error stops it at the
right line with the right message, and memory, pipes, terminals and full
devices are handled.
"""
import importlib.metadata
import os
import pathlib
import pty
import random
import re
import resource
import select
import subprocess
import threading
import time

import pytest

import ardovel
import ardovel_text
from conftest import CLI, DICTIONARIES, ROOT, answers, lines_of, run_cli


def test_raw_dictionaries_with_crlf_lines_from_files_and_from_stdin():
    # "word/flags\r\n" lines: the "\r" is part of the line end, the slash and
    # flags are part of the word.
    expected = b"".join(answers(lines_of(path.read_bytes())) for path in DICTIONARIES)
    from_files = run_cli(*DICTIONARIES)
    assert (from_files.returncode, from_files.stderr) == (0, b"")
    assert from_files.stdout == expected
    joined = b"".join(path.read_bytes() for path in DICTIONARIES)
    from_stdin = run_cli(input=joined)
    assert from_stdin.stdout == answers(lines_of(joined))


def generated_text(words: list[str], lines: int) -> str:
    """Lines of corpus words in both scripts and mixed case, joined by every
    kind of separator, with the characters that stay inside a token, blank
    lines, CRLF ends, and one line longer than the tool's read block."""
    rng = random.Random(12)
    separators = [" ", " ", " ", ", ", ". ", "\t", "\u00a0", "\u2028", "\x0c", "\x00", "\x7f", " – ", "—",
                  "…", "„", "”", "«", "»", "(", ")", "[", "_", "/", "\\", "@", "#", "%", "&", "*", "+", "=",
                  "<", "|", "~", "^", "`", "$", "€", "©", "°", "✓", "😀", "\u02c2", "\u3000", "\u300c"]
    inside = ["\u00ad", "\u200d", "\u0301", "\u0308", "7", "42", "\u0663", "\u200b", "\u2060"]
    out = []
    for _ in range(lines):
        pieces = []
        for _ in range(rng.randint(0, 14)):
            word = rng.choice(words)
            roll = rng.random()
            if roll < 0.1:
                word = word.upper()
            elif roll < 0.3:
                word = word.capitalize()
            if rng.random() < 0.1:
                at = rng.randint(0, len(word))
                word = word[:at] + rng.choice(inside) + word[at:]
            pieces.append(word + rng.choice(separators))
        out.append("".join(pieces) + ("\r\n" if rng.random() < 0.1 else "\n"))
    long_line = " ".join(rng.choice(words) for _ in range(900_000))   # ~10 MB: past a block on eight processors
    out.insert(len(out) // 2, long_line + "\n")
    return "".join(out)


@pytest.fixture(scope="module")
def large_text(corpus_words) -> bytes:
    return generated_text(corpus_words, 60_000).encode()


@pytest.mark.parametrize("switches, options", [
    ([], {}),
    (["--stopwords"], {"stopwords": ardovel_text.SERBIAN_STOPWORDS}),
    (["--fold", "--lemmas"], {"lemmas": True, "fold": True}),
], ids=["all words", "stop words", "lemmas fold"])
def test_tokens_and_pairs_agree_with_the_analyzer_on_every_line(tmp_path, large_text, switches, options):
    data = large_text
    lines = [line.decode() for line in lines_of(data)]
    stems = [ardovel_text.analyze(line, **options) for line in lines]
    tokens = [[line[start:end] for _, start, end in ardovel_text.tokenize(line, **options)] for line in lines]
    path = tmp_path / "text.txt"
    path.write_bytes(data)
    result = run_cli("--tokens", *switches, path)
    assert (result.returncode, result.stderr) == (0, b"")
    produced = result.stdout.decode().split("\n")
    assert produced.pop() == ""
    assert produced == [stem for line_stems in stems for stem in line_stems]
    # --pairs: the same stems, each with its line and its token as written.
    result = run_cli("--pairs", *switches, path)
    assert (result.returncode, result.stderr) == (0, b"")
    pairs = [row.split("\t") for row in result.stdout.decode().split("\n")[:-1]]
    assert all(len(row) == 3 for row in pairs)
    assert [stem for _, _, stem in pairs] == produced
    assert [int(number) for number, _, _ in pairs] == [number for number, line_stems in enumerate(stems, 1)
                                                       for _ in line_stems]
    assert [token for _, token, _ in pairs] == [token for line_tokens in tokens for token in line_tokens]
    assert ardovel_text.stem_words([token for _, token, _ in pairs], **options) == [stem for _, _, stem in pairs]


def test_stop_words_in_whole_lines_leave_empty_answers():
    # Whole lines: a stop word still has its answer line, an empty one.
    result = run_cli("--stopwords", input="su\nSU\nСу\nknjige\nsuza\n".encode())
    assert (result.returncode, result.stderr) == (0, b"")
    assert result.stdout.decode() == "\n\n\nknjig\nsuz\n"


GOOD_LINES = "Knjigama\nДијете\n"


@pytest.mark.parametrize("bad, column", [
    # Which bytes are ill-formed is the core's rule (and the utf8 fuzz
    # target's); here, where the program says it found one.
    (b"\x80", 1),                    # lone continuation byte
    (b"ab\xbf", 3),
    (b"knjig\xd0", 6),               # truncated before the line end
    (b"\xe2\x82 x", 1),              # truncated inside the line
])
@pytest.mark.parametrize("tokens", [False, True])
def test_invalid_utf8_stops_at_its_line(tmp_path, bad, column, tokens):
    path = tmp_path / "input.txt"
    path.write_bytes(GOOD_LINES.encode() + b"good " + bad + b" words\nafter\n")
    result = run_cli(*(["--tokens"] if tokens else []), path)
    assert result.returncode == 1
    assert result.stderr.decode() == (
        f"ardovel-stem: {path}:3: invalid UTF-8 (byte 0x{bad[column - 1]:02X} at byte {column + 5} of the line)\n")
    # The lines before are answered in full; nothing of the bad line is written.
    assert result.stdout == answers(GOOD_LINES.split())


# Python's codec, glibc's name for the same encoding.
LEGACY_ENCODINGS = [("cp1250", "WINDOWS-1250"), ("cp1251", "WINDOWS-1251"), ("iso8859_2", "ISO-8859-2"),
                    ("iso8859_5", "ISO-8859-5")]


@pytest.mark.parametrize("codec, name", LEGACY_ENCODINGS + [
    # Sequences of several bytes, cut by the reads of a file this large.
    ("utf-16", "UTF-16"), ("utf-8", "UTF-8"), ("gb18030", "GB18030"),
])
def test_legacy_encodings_read_as_the_same_text_in_utf8(tmp_path, corpus_words, codec, name):
    rng = random.Random(codec)
    text = (ROOT / "samples" / "sample.txt").read_text(encoding="utf-8") + "".join(
        " ".join(rng.sample(corpus_words, 12)) + rng.choice([".\n", "!\r\n", " – «…» €\n"]) for _ in range(40_000))
    # What the encoding cannot hold becomes "?", in both files.
    text = text.encode(codec, errors="replace").decode(codec)
    legacy, utf8 = tmp_path / "legacy.txt", tmp_path / "utf8.txt"
    legacy.write_bytes(text.encode(codec))
    utf8.write_bytes(text.encode("utf-8"))
    assert len(utf8.read_bytes()) > 3_000_000
    for mode in ([], ["--pairs"]):
        expected = run_cli(*mode, utf8)
        result = run_cli(*mode, "--encoding", name, legacy)
        assert (result.returncode, result.stderr) == (0, b""), name
        assert result.stdout == expected.stdout, name


@pytest.mark.parametrize("codec, name, bad", [
    ("cp1250", "WINDOWS-1250", b"\x98"),
    ("cp1251", "WINDOWS-1251", b"\x98"),
    ("cp1250", "CP1250", b"\x81"),            # another name for it
    ("utf-16-le", "UTF-16LE", b"\x00\xdc"),   # a lone low surrogate
    ("utf-16-le", "UTF-16LE", b"\x00"),        # half a character at the very end
    ("utf-32-be", "UCS-4", b"\x00\x11\x00\x00"),  # above U+10FFFF, which iconv passes on
])
@pytest.mark.parametrize("tokens", [False, True])
def test_bytes_invalid_in_the_encoding_stop_at_their_line(tmp_path, codec, name, bad, tokens):
    path = tmp_path / "legacy.txt"
    tail = b"" if bad == b"\x00" else " dalje\nposle\n".encode(codec)
    path.write_bytes("dobro\nKnjigama\nKnjige ".encode(codec) + bad + tail)
    result = run_cli(*(["--tokens"] if tokens else []), "--encoding", name, path)
    assert result.returncode == 1
    # The column counts characters, the first of the bad sequence's bytes.
    assert result.stderr.decode() == (
        f"ardovel-stem: {path}:3: invalid {name} (byte 0x{bad[0]:02X} at character 8 of the line)\n")
    # The lines before are answered in full; nothing of the bad line is written.
    assert result.stdout == answers(["dobro", "Knjigama"])


def test_invalid_byte_at_the_very_end_without_line_end():
    result = run_cli(input=b"Knjigama\n\xc3")
    assert result.returncode == 1
    assert result.stderr == b"ardovel-stem: (standard input):2: invalid UTF-8 (byte 0xC3 at byte 1 of the line)\n"
    assert result.stdout == answers(["Knjigama"])


def test_line_number_and_output_are_exact_deep_into_a_large_input(corpus_words):
    # Far past the first blocks, so the count crosses block and thread shares.
    words = corpus_words[:300_000]
    data = ("\n".join(words) + "\n").encode() + b"bad\xfe\n" + b"never\n" * 1000
    result = run_cli(input=data)
    assert result.returncode == 1
    assert result.stderr == b"ardovel-stem: (standard input):300001: invalid UTF-8 (byte 0xFE at byte 4 of the line)\n"
    assert result.stdout == answers(words)


def test_error_names_the_file_that_holds_it(tmp_path):
    first, second = tmp_path / "one.txt", tmp_path / "two.txt"
    first.write_bytes(b"Knjigama\n")
    second.write_bytes(b"x\n\xed\xa0\x80\n")
    result = run_cli(first, second)
    assert result.returncode == 1
    assert result.stderr.decode().startswith(f"ardovel-stem: {second}:2: invalid UTF-8")
    assert result.stdout == answers(["Knjigama", "x"])


def test_files_and_standard_input_in_order(tmp_path):
    first, last = tmp_path / "first.txt", tmp_path / "-t"
    first.write_bytes(b"Knjigama")   # no final line end: still a line of its own
    last.write_bytes("pokazivajući\n".encode())
    result = run_cli(first, "-", "--", last, input="ДЈЕЦА\n".encode())
    assert (result.returncode, result.stderr) == (0, b"")
    assert result.stdout == answers(["Knjigama", "ДЈЕЦА", "pokazivajući"])


@pytest.mark.parametrize("args, status, stdout, stderr", [
    (["--help"], 0, r"^Usage: ardovel-stem \[OPTION\]\.\.\. \[FILE\]\.\.\.\n(.*\n)*.*--tokens(.*\n)*.*--pairs"
                    r"(.*\n)*.*--stopwords(.*\n)*.*--encoding=NAME", r"^$"),
    (["-h"], 0, r"^Usage: ardovel-stem", r"^$"),
    (["--version"], 0, r"^ardovel-stem {version}\n$", r"^$"),
    (["-V"], 0, r"^ardovel-stem {version}\n$", r"^$"),
    (["--frobnicate"], 2, r"^$", r"^ardovel-stem: unknown option '--frobnicate'\nTry 'ardovel-stem --help'"),
    (["-x", "file"], 2, r"^$", r"^ardovel-stem: unknown option '-x'\n"),
    (["--encoding=NOPE", "/nonexistent"], 2, r"^$",
     r"^ardovel-stem: unknown encoding NOPE \('iconv -l' lists the known ones\)\nTry 'ardovel-stem --help'"),
    (["-e"], 2, r"^$", r"^ardovel-stem: option '-e' requires an argument\n"),
    (["/nonexistent/words.txt"], 1, r"^$", r"^ardovel-stem: /nonexistent/words\.txt: No such file or directory\n$"),
    (["/"], 1, r"^$", r"^ardovel-stem: /: Is a directory\n$"),
])
def test_options_and_exit_status(args, status, stdout, stderr):
    version = re.escape(importlib.metadata.version("ardovel"))
    result = run_cli(*args)
    assert result.returncode == status
    assert re.search(stdout.format(version=version), result.stdout.decode())
    assert re.search(stderr, result.stderr.decode())


@pytest.mark.parametrize("codec, args", [("utf-8", []), ("cp1251", ["--encoding", "WINDOWS-1251"])])
def test_answers_arrive_line_by_line_on_an_open_pipe(codec, args):
    # An interactive caller must not wait for a full block or the end of input.
    process = subprocess.Popen([str(CLI), *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    try:
        for word in ["Knjigama", "Дијете"]:
            process.stdin.write(word.encode(codec) + b"\n")
            process.stdin.flush()
            ready, _, _ = select.select([process.stdout], [], [], 60)
            assert ready, "no answer while the input is still open"
            assert process.stdout.readline() == answers([word])
        process.stdin.close()
        assert process.wait(timeout=60) == 0
    finally:
        process.kill()


@pytest.mark.parametrize("args", [["--help"], ["--version"], []])
def test_a_full_output_device_is_a_write_error(args):
    with open("/dev/full", "wb") as full:
        result = subprocess.run([str(CLI), *args], input=b"Knjigama\n", stdout=full, stderr=subprocess.PIPE,
                                timeout=60, check=False)
    assert (result.returncode, result.stderr) == (1, b"ardovel-stem: write error: No space left on device\n")


def test_file_names_in_messages_are_quoted(tmp_path):
    # How a name is quoted is CliOutput's test; here, that messages use it.
    path = tmp_path / "\x1b[2Jgone\n.txt"
    result = run_cli(path)
    assert result.returncode == 1
    assert result.stderr.decode() == (
        f"ardovel-stem: '{tmp_path}/'$'\\033''[2Jgone'$'\\n''.txt': No such file or directory\n")


def test_non_blocking_standard_input_and_output_are_waited_for():
    # How a read or write waits is CliInput's and CliOutput's test; here,
    # that the program reads and writes through them.
    words = "Knjigama\nДијете\n".encode() * 20_000   # its answers overfill a pipe
    input_read, input_write = os.pipe()
    output_read, output_write = os.pipe()
    os.set_blocking(input_read, False)
    os.set_blocking(output_write, False)
    process = subprocess.Popen([str(CLI)], stdin=input_read, stdout=output_write, stderr=subprocess.PIPE)
    os.close(input_read)
    os.close(output_write)

    def feed():
        time.sleep(0.1)   # the tool finds its input empty first
        with open(input_write, "wb") as pipe:
            pipe.write(words)

    feeder = threading.Thread(target=feed)
    feeder.start()
    with open(output_read, "rb") as pipe:
        time.sleep(0.2)   # and its output full
        produced = pipe.read()
    feeder.join()
    assert process.wait(timeout=60) == 0
    assert process.stderr.read() == b""
    assert produced == answers(lines_of(words))


def test_running_out_of_memory_is_reported_on_any_number_of_processors(tmp_path):
    # A long line, then short ones: under any memory limit the tool answers
    # everything or says that it ran out of memory; with more than one
    # processor it once aborted instead.
    long_line, short_lines = "Knjigama " * 450_000, 200_000
    path = tmp_path / "input.txt"
    path.write_bytes(f"{long_line}\n".encode() + b"knjigama\n" * short_lines)
    expected = answers([long_line]) + answers(["knjigama"]) * short_lines
    processors = sorted(os.sched_getaffinity(0))
    statuses = set()
    for cpus in [processors[:1], processors[:2]]:
        # From what the program and its lexicon take to load, upwards.
        for limit in range(16 << 20, 41 << 20, 6 << 20):
            def confine(cpus=cpus, limit=limit):
                resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
                os.sched_setaffinity(0, cpus)

            result = subprocess.run([str(CLI), str(path)], capture_output=True, preexec_fn=confine, timeout=60,
                                    check=False)
            statuses.add(result.returncode)
            where = f"{len(cpus)} processors, {limit >> 20} MiB"
            if result.returncode == 0:
                assert (result.stdout, result.stderr) == (expected, b""), where
            else:
                assert (result.returncode, result.stderr) == (1, b"ardovel-stem: out of memory\n"), where
                assert expected.startswith(result.stdout), where
    assert statuses == {0, 1}


def memory_kib(pid: int) -> dict[str, int]:
    """Resident memory now (VmRSS) and at its peak (VmHWM), in KiB."""
    status = pathlib.Path(f"/proc/{pid}/status").read_text()
    return {key: int(value.split()[0]) for key, value in re.findall(r"^(VmRSS|VmHWM):(.*)$", status, re.M)}


def test_a_long_line_takes_twice_its_size_at_most_and_gives_it_back(tmp_path):
    short = b"knjigama\n" * 500_000
    short_answers = len(answers(["knjigama"])) * 500_000
    long_line = "Knjigama " * 2_000_000   # 18 MB
    out = tmp_path / "out.txt"
    # Meson's test runner sets MALLOC_PERTURB_, and glibc then writes over
    # memory as it is handed out and given back: pages the program never
    # touched would count as resident.
    env = {name: value for name, value in os.environ.items() if name != "MALLOC_PERTURB_"}
    with open(out, "wb") as sink:
        process = subprocess.Popen([str(CLI)], stdin=subprocess.PIPE, stdout=sink, env=env)
        try:
            def answered(text: bytes, answer_size: int) -> None:
                expected = out.stat().st_size + answer_size
                process.stdin.write(text)
                process.stdin.flush()
                deadline = time.monotonic() + 120
                while out.stat().st_size < expected and time.monotonic() < deadline:
                    time.sleep(0.01)
                assert out.stat().st_size == expected

            answered(short, short_answers)
            normal = memory_kib(process.pid)["VmRSS"]
            answered(f"{long_line}\n".encode() + short, len(answers([long_line])) + short_answers)
            after = memory_kib(process.pid)
            process.stdin.close()
            assert process.wait(timeout=60) == 0
        finally:
            process.kill()
    line_kib = len(long_line) >> 10
    assert after["VmHWM"] < normal + 2 * line_kib + 8192
    assert after["VmRSS"] < normal + 4096


@pytest.mark.parametrize("data, status, shown", [
    pytest.param(b"Knjigama\n" * 1_500_000, 0, True, id="large"),      # 13.5 MB
    pytest.param(b"Knjigama\n" * 1000, 0, False, id="small"),
    # Only what has been answered counts: never 100% after an error.
    pytest.param(b"Knjigama\n" * 1_500_000 + b"bad\xff\n", 1, True, id="error"),
])
def test_progress_on_a_terminal_only_for_large_input(tmp_path, data, status, shown):
    path = tmp_path / "input.txt"
    path.write_bytes(data)
    controller, terminal = pty.openpty()
    try:
        with open(tmp_path / "out.txt", "wb") as out:
            result = subprocess.run([str(CLI), str(path)], stdout=out, stderr=terminal, timeout=300).returncode
        os.close(terminal)
        terminal = -1
        seen = b""
        while select.select([controller], [], [], 0)[0]:
            try:
                chunk = os.read(controller, 65536)
            except OSError:
                break
            if not chunk:
                break
            seen += chunk
    finally:
        if terminal >= 0:
            os.close(terminal)
        os.close(controller)
    assert result == status
    assert (tmp_path / "out.txt").read_bytes() == b"knjig\n" * data.count(b"Knjigama\n")
    assert (f"ardovel-stem: {path}: ".encode() in seen) == shown
    error = f"ardovel-stem: {path}:1500001: invalid UTF-8 (byte 0xFF at byte 4 of the line)\r\n".encode()
    if shown:
        # The progress line is removed at the end, and before any message.
        assert seen.endswith(b"\r\x1b[K" + (error if status else b""))
    if status:
        assert b"100%" not in seen
    # Without a terminal, nothing at all on standard error.
    if status == 0:
        assert run_cli(path).stderr == b""
