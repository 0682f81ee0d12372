"""Counts the word forms of Serbian text found in Debian packages, as the
evidence make_lexicon weighs when a form has several lemmas.

    /usr/bin/python3 tools/lexicon/make_form_counts.py OUT.tsv PACKAGE...

Reads the Serbian message catalogs (sr, sr@latin, sr@ije, sr-Latn; .mo files)
installed under /usr/share/locale, and the Serbian catalogs, man pages and
Fluent/properties files of each PACKAGE (fetched with `apt-get download`).
Only the translations (msgstr) count. Writes "count<TAB>form" for every
lower-cased form seen at least twice, most frequent first, after a header
naming the packages, their versions and licences. Run by hand; the output is
committed (tools/lexicon/serbian_form_counts.tsv) so that a build needs no
package beyond hunspell-sr.
"""
import collections
import gzip
import io
import re
import struct
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

SERBIAN_DIR = re.compile(r"/(sr|sr@latin|sr@ije|sr@Latn|sr-Latn|sr_RS|sr_Latn)(/|$)")
WORD = re.compile(r"[^\W\d_]+")
MAN_MACRO = re.compile(r"^\.[A-Za-z]+\s*", re.M)
MAN_ESCAPE = re.compile(r"\\(f[BIRP]|f\(..|\(..|[-&e ])")
PLACEHOLDER = re.compile(r"%[-+ #0-9.]*[a-zA-Z]|\{[^}]*\}|\$\{?\w+\}?|&\w+;|<[^>]+>")


def mo_translations(data):
    magic = struct.unpack("<I", data[:4])[0]
    order = "<" if magic == 0x950412DE else ">"
    _, count, _, translated_at = struct.unpack(order + "4I", data[4:20])
    for k in range(count):
        size, offset = struct.unpack(order + "2I", data[translated_at + 8 * k: translated_at + 8 * k + 8])
        text = data[offset: offset + size].decode("utf-8", "replace")
        if not text.startswith("Project-Id-Version"):
            yield text


def texts_of_file(name, data):
    if name.endswith(".mo"):
        yield from mo_translations(data)
    elif re.search(r"/man\d?/[^/]+\.\d\w*\.gz$", name):
        page = gzip.decompress(data).decode("utf-8", "replace")
        yield MAN_ESCAPE.sub(" ", MAN_MACRO.sub("", page))
    elif name.endswith((".ftl", ".properties", ".dtd")):
        for line in data.decode("utf-8", "replace").splitlines():
            if "=" in line and not line.lstrip().startswith(("#", "!")):
                yield line.split("=", 1)[1]


def texts_of_xpi(data):
    with zipfile.ZipFile(io.BytesIO(data)) as archive:
        for name in archive.namelist():
            yield from texts_of_file("/" + name, archive.read(name))


def texts_of_tree(root, serbian_only):
    for path in sorted(root.rglob("*")):
        if not path.is_file():
            continue
        name = str(path)
        if path.suffix == ".xpi" and re.search(r"langpack-sr|/sr(\.|/)", name):
            yield from texts_of_xpi(path.read_bytes())
        elif not serbian_only or SERBIAN_DIR.search(name):
            yield from texts_of_file(name, path.read_bytes())


def package_facts(package):
    version = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], capture_output=True, text=True)
    if version.returncode != 0 or not version.stdout:
        version = subprocess.run(["apt-cache", "policy", package], capture_output=True, text=True)
        found = re.search(r"Candidate: (\S+)", version.stdout)
        return found.group(1) if found else "unknown"
    return version.stdout


def licences(copyright_text):
    return sorted(set(re.findall(r"^License: (.+)$", copyright_text, re.M)))


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__)
    out, packages = Path(argv[0]), argv[1:]
    counts = collections.Counter()
    sources = []

    def count(text):
        for word in WORD.findall(PLACEHOLDER.sub(" ", text)):
            if len(word) > 1:
                counts[word.lower()] += 1

    installed = collections.defaultdict(int)
    for path in sorted(Path("/usr/share/locale").glob("sr*/LC_MESSAGES/*.mo")):
        owner = subprocess.run(["dpkg-query", "-S", str(path)], capture_output=True, text=True).stdout
        installed[owner.split(":")[0] if owner else "unowned"] += 1
        for text in mo_translations(path.read_bytes()):
            count(text)
    for package in sorted(installed):
        copyright_path = Path("/usr/share/doc") / package / "copyright"
        text = copyright_path.read_text(errors="replace") if copyright_path.exists() else ""
        sources.append(f"{package} {package_facts(package)} (installed catalogs; {', '.join(licences(text)) or 'see package'})")

    with tempfile.TemporaryDirectory() as tmp:
        for package in packages:
            subprocess.run(["apt-get", "download", package], cwd=tmp, check=True, capture_output=True)
        for deb in sorted(Path(tmp).glob("*.deb")):
            tree = Path(tmp) / (deb.stem + ".x")
            subprocess.run(["dpkg-deb", "-x", str(deb), str(tree)], check=True)
            for text in texts_of_tree(tree, serbian_only=True):
                count(text)
            copyright_paths = list(tree.glob("usr/share/doc/*/copyright"))
            text = copyright_paths[0].read_text(errors="replace") if copyright_paths else ""
            name, version = deb.stem.split("_")[:2]
            sources.append(f"{name} {version.replace('%3a', ':')} ({', '.join(licences(text)) or 'see package'})")

    with open(out, "w", encoding="utf-8") as f:
        f.write("# generated by tools/lexicon/make_form_counts.py, do not edit\n")
        f.write("# Counts of lower-cased word forms in the Serbian translations shipped by these Debian\n")
        f.write("# packages (each under its own licence, as its copyright file states; only counts are kept):\n")
        for source in sources:
            f.write(f"#   {source}\n")
        for word, n in sorted(counts.items(), key=lambda item: (-item[1], item[0])):
            if n >= 2:
                f.write(f"{n}\t{word}\n")


if __name__ == "__main__":
    main(sys.argv[1:])
