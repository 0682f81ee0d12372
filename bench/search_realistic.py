"""What a user's search finds in Serbian text as people write it: recall
and precision of one-word searches over sentences written six ways.

    python3 bench/search_realistic.py BUILD_DIR OUT_DIR
    tools/test-postgres.sh BUILD_DIR run /usr/bin/python3 bench/search_realistic.py BUILD_DIR OUT_DIR

The sentences and searches are bench/search_realistic.tsv (its header says
how they are written). Each sentence becomes six documents: ekavian and
ijekavian, each in Latin, Cyrillic and Latin without diacritics ("bald").
A search is one word, typed as people type it, and the documents relevant
to it are all those made from sentences holding a word of its lemma.
Recall and precision are micro-averaged over (search, document) pairs.

Engines: ardovel's FTS5 tokenizer under each spec it accepts, FTS5's own
unicode61 with diacritics removed, a Lucene-like chain in Python (lower
case, Snowball Serbian, then bald folding), and PostgreSQL's Snowball
`serbian` when run through tools/test-postgres.sh (it sets PGHOST). Prints
Markdown and writes OUT_DIR/search_realistic.json and a chart,
OUT_DIR/search_realistic.png.
"""
import json
import os
import re
import sqlite3
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
DATA = HERE / "search_realistic.tsv"
ARDOVEL_SPECS = ["ardovel", "ardovel lemmas", "ardovel lemmas fold"]
LEMMA_SPECS = ["ardovel lemmas fold", "ardovel lemmas"]  # the first available gets the list of worst searches
FORMS = ["ekavian Latin", "ekavian Cyrillic", "ijekavian Latin", "ijekavian Cyrillic",
         "ekavian bald", "ijekavian bald"]
WORST = 15

CYRILLIC = dict(zip(
    ["lj", "nj", "dž", "a", "b", "v", "g", "d", "đ", "e", "ž", "z", "i", "j", "k", "l", "m", "n", "o", "p", "r",
     "s", "t", "ć", "u", "f", "h", "c", "č", "š"],
    "љњџабвгдђежзијклмнопрстћуфхцчш"))
LATIN_LETTER = re.compile("lj|nj|dž|.", re.IGNORECASE | re.DOTALL)
BALD = str.maketrans({"č": "c", "ć": "c", "š": "s", "ž": "z", "đ": "dj",
                      "Č": "C", "Ć": "C", "Š": "S", "Ž": "Z", "Đ": "Dj"})
WORD = re.compile(r"\w+")


def to_cyrillic(text):
    def letter(match):
        latin = match.group()
        cyrillic = CYRILLIC.get(latin.lower())
        if cyrillic is None:
            return latin
        return cyrillic.upper() if latin[0].isupper() else cyrillic
    return LATIN_LETTER.sub(letter, text)


def bald(text):
    return text.translate(BALD)


def load():
    """Sentences as (forms, lemma of each word position) and searches as
    dicts; checks that the file says what it means to."""
    sentences, searches = [], []
    for number, line in enumerate(DATA.read_text(encoding="utf-8").splitlines(), 1):
        if not line or line.startswith("#"):
            continue
        kind, *fields = line.split("\t")
        if kind == "s":
            ekavian, ijekavian, lemmas = fields
            words = WORD.findall(ekavian.lower())
            if len(words) != len(WORD.findall(ijekavian)) or not 8 <= len(words) <= 16:
                raise SystemExit(f"{DATA}:{number}: the two forms must match word for word, 8 to 16 words")
            by_position = {}
            for item in lemmas.split():
                form, _, lemma = item.partition("=")
                places = [i for i, word in enumerate(words) if word == form]
                if not places:
                    raise SystemExit(f"{DATA}:{number}: {form!r} is not a word of the sentence")
                by_position.update((i, lemma or form) for i in places)
            docs = [ekavian, to_cyrillic(ekavian), ijekavian, to_cyrillic(ijekavian), bald(ekavian), bald(ijekavian)]
            sentences.append((docs, by_position))
        elif kind == "q":
            query, lemma, typed, reflex = fields
            searches.append({"query": query, "lemma": lemma, "typed": typed, "reflex": reflex,
                             "capitalised": query[0].isupper()})
        else:
            raise SystemExit(f"{DATA}:{number}: a line is 's', 'q' or a comment")
    lemmas = {lemma for _, by_position in sentences for lemma in by_position.values()}
    for search in searches:
        if search["lemma"] not in lemmas:
            raise SystemExit(f"{DATA}: no sentence has a word of {search['lemma']!r} ({search['query']})")
    return sentences, searches


def documents(sentences):
    """Document id -> text; sentence s, form k has id 6 s + k."""
    return {len(FORMS) * s + k: text for s, (docs, _) in enumerate(sentences) for k, text in enumerate(docs)}


def relevant(sentences, lemma):
    return {len(FORMS) * s + k for s, (_, by_position) in enumerate(sentences)
            if lemma in by_position.values() for k in range(len(FORMS))}


def fts5(docs, queries, tokenize, extension=None):
    """Matches of each query, or None when SQLite refuses the tokenizer."""
    conn = sqlite3.connect(":memory:")
    try:
        if extension:
            conn.enable_load_extension(True)
            conn.load_extension(str(extension))
        conn.execute(f"CREATE VIRTUAL TABLE docs USING fts5(body, tokenize = '{tokenize}')")
    except sqlite3.OperationalError:
        return None
    conn.executemany("INSERT INTO docs (rowid, body) VALUES (?, ?)", docs.items())
    found = []
    for query in queries:
        phrase = '"' + query.replace('"', '""') + '"'  # a phrase: FTS5 syntax cannot misread the word
        found.append({row[0] for row in conn.execute("SELECT rowid FROM docs WHERE docs MATCH ?", (phrase,))})
    conn.close()
    return found


def lucene_like(docs, queries):
    """Lower case, Snowball Serbian, then bald folding, in an inverted index
    (what a Lucene analyzer chain for Serbian would do)."""
    import Stemmer
    stemmer = Stemmer.Stemmer("serbian")

    def keys(text):
        return [bald(stem) for stem in stemmer.stemWords(WORD.findall(text.lower()))]
    index = {}
    for doc, text in docs.items():
        for key in keys(text):
            index.setdefault(key, set()).add(doc)
    found = []
    for query in queries:
        hits = [index.get(key, set()) for key in keys(query)]
        found.append(set.intersection(*hits) if hits else set())
    return found


def psql(sql, database="search_realistic"):
    done = subprocess.run(["psql", "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-d", database], input=sql,
                          capture_output=True, text=True, check=False)
    if done.returncode != 0:
        raise RuntimeError(done.stderr)
    return done.stdout


def postgres(docs, queries, config):
    def rows(table, items):
        return f"COPY {table} FROM STDIN;\n" + "".join(f"{i}\t{text}\n" for i, text in items) + "\\.\n"
    psql("DROP DATABASE IF EXISTS search_realistic;\n"
         "CREATE DATABASE search_realistic TEMPLATE template0 ENCODING 'UTF8' LOCALE 'C.UTF-8';", "postgres")
    out = psql("SET client_min_messages = warning;\nCREATE EXTENSION ardovel;\n"
               "CREATE TABLE docs (id int, body text);\nCREATE TABLE queries (id int, body text);\n"
               + rows("docs", docs.items()) + rows("queries", enumerate(queries))
               + f"SELECT q.id, d.id FROM queries q JOIN docs d"
                 f" ON to_tsvector('{config}', d.body) @@ plainto_tsquery('{config}', q.body);\n")
    found = [set() for _ in queries]
    for line in out.split():
        query, doc = map(int, line.split("|"))
        found[query].add(doc)
    return found


def figures(searches, found, wanted):
    """Recall, recall of searches typed without diacritics, precision, and
    recall by how the search was typed and by the form of the document."""
    def recall(pick=lambda search: True, forms=range(len(FORMS))):
        pairs = [(f, {d for d in w if d % len(FORMS) in forms})
                 for search, f, w in zip(searches, found, wanted) if pick(search)]
        total = sum(len(w) for _, w in pairs)
        return sum(len(f & w) for f, w in pairs) / total if total else None
    hits = sum(len(f & w) for f, w in zip(found, wanted))
    returned = sum(len(f) for f in found)
    return {
        "recall": recall(),
        "recall_bald_queries": recall(lambda s: s["typed"] == "bald"),
        "precision": hits / returned if returned else None,
        "relevant_pairs": sum(len(w) for w in wanted),
        "found_relevant": hits,
        "returned": returned,
        "searches_finding_nothing": sum(not f for f in found),
        "recall_by_query": {
            **{typed: recall(lambda s, t=typed: s["typed"] == t) for typed in ("latin", "bald", "cyrillic")},
            "ekavian": recall(lambda s: s["reflex"] == "e"),
            "ijekavian": recall(lambda s: s["reflex"] == "i"),
            "capitalised": recall(lambda s: s["capitalised"]),
        },
        "recall_by_document": {name: recall(forms={k}) for k, name in enumerate(FORMS)},
    }


def worst(sentences, searches, found, wanted):
    """The searches of lowest recall, with the words of the documents they
    missed, as those documents write them."""
    rows = []
    for search, f, w in zip(searches, found, wanted):
        missed = []
        for doc in sorted(w - f):
            docs, by_position = sentences[doc // len(FORMS)]
            words = WORD.findall(docs[doc % len(FORMS)])
            missed += [words[i] for i, lemma in sorted(by_position.items()) if lemma == search["lemma"]]
        rows.append((len(w & f) / len(w), -len(w - f), search["query"], search["lemma"],
                     list(dict.fromkeys(missed))))
    rows.sort()
    return [{"query": q, "lemma": lemma, "recall": r, "missed": m} for r, _, q, lemma, m in rows[:WORST]]


def table(results, searches):
    def pct(x):
        return "n/a" if x is None else f"{100 * x:.1f}%"
    count = {typed: sum(s["typed"] == typed for s in searches) for typed in ("latin", "bald", "cyrillic")}
    lines = [f"{len(searches)} one-word searches ({count['latin']} Latin, {count['bald']} Latin without diacritics,"
             f" {count['cyrillic']} Cyrillic) over {results['documents']} documents"
             f" ({results['sentences']} sentences written six ways); FTS5 searches the word as a phrase", "",
             "| engine | recall | recall, searches without diacritics | precision"
             " | relevant found / relevant | returned | searches finding nothing |",
             "|---|---|---|---|---|---|---|"]
    by_query, by_document = [], []
    for engine, r in results["engines"].items():
        if isinstance(r, str):
            lines.append(f"| {engine} | {r} | | | | | |")
            continue
        lines.append(f"| {engine} | {pct(r['recall'])} | {pct(r['recall_bald_queries'])} | {pct(r['precision'])}"
                     f" | {r['found_relevant']} / {r['relevant_pairs']} | {r['returned']}"
                     f" | {r['searches_finding_nothing']} |")
        by_query.append(f"| {engine} | " + " | ".join(pct(x) for x in r["recall_by_query"].values()) + " |")
        by_document.append(f"| {engine} | " + " | ".join(pct(x) for x in r["recall_by_document"].values()) + " |")
    kinds = ["Latin", "without diacritics", "Cyrillic", "ekavian", "ijekavian", "capitalised"]
    lines += ["", "Recall by how the search was typed:", "",
              "| engine | " + " | ".join(kinds) + " |", "|---" * (len(kinds) + 1) + "|", *by_query,
              "", "Recall by the form of the document:", "",
              "| engine | " + " | ".join(FORMS) + " |", "|---" * (len(FORMS) + 1) + "|", *by_document]
    if results.get("worst"):
        lines += ["", f"The {WORST} searches of lowest recall with {results['worst_engine']}, and the words they"
                  " missed:", "", "| search | lemma | recall | missed |", "|---|---|---|---|"]
        lines += [f"| {w['query']} | {w['lemma']} | {pct(w['recall'])} | {', '.join(w['missed'])} |"
                  for w in results["worst"]]
    return "\n".join(lines)


def draw(results, path):
    """Recall, recall of searches without diacritics and precision, one
    group of bars per engine that was measured."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    engines = {name: r for name, r in results["engines"].items() if not isinstance(r, str)}
    measures = [("recall", "recall"), ("recall_bald_queries", "recall, searches without diacritics"),
                ("precision", "precision")]
    fig, ax = plt.subplots(figsize=(8, 4.2), dpi=110)
    width = 0.8 / len(measures)
    for n, (key, label) in enumerate(measures):
        shares = [100 * (r[key] or 0) for r in engines.values()]
        bars = ax.barh([k + (n - 1) * width for k in range(len(engines))], shares, width, label=label)
        labels = ["n/a" if r[key] is None else f"{100 * r[key]:.0f}" for r in engines.values()]
        ax.bar_label(bars, labels=labels, fontsize=7, padding=1)
    ax.set_yticks(range(len(engines)), [name.replace(", tokenize = ", "\n") for name in engines], fontsize=7)
    ax.invert_yaxis()
    ax.set_xlim(0, 108)
    ax.set_title(f"{results['searches']} one-word searches over {results['documents']} documents", fontsize=10)
    ax.legend(fontsize=7, loc="upper center", bbox_to_anchor=(0.4, -0.13), ncol=3, frameon=False)
    ax.spines[["top", "right"]].set_visible(False)
    fig.tight_layout()
    fig.savefig(path)


def main():
    build, out = Path(sys.argv[1]), Path(sys.argv[2])
    sentences, searches = load()
    docs = documents(sentences)
    queries = [s["query"] for s in searches]
    wanted = [relevant(sentences, s["lemma"]) for s in searches]

    extension = build / "src" / "sqlite" / "ardovel_sqlite.so"
    found = {}
    for spec in ARDOVEL_SPECS:
        name = f"ardovel in FTS5, tokenize = '{spec}'"
        found[name] = fts5(docs, queries, spec, extension) if extension.exists() else None
        if found[name] is None:
            found[name] = "not available" if extension.exists() else f"not available: no {extension}"
    found["FTS5 unicode61 remove_diacritics 2"] = fts5(docs, queries, "unicode61 remove_diacritics 2")
    found["Lucene-like: lower case, Snowball Serbian, bald folding"] = lucene_like(docs, queries)
    for name, config in (("PostgreSQL ardovel_search", "ardovel_search"), ("PostgreSQL serbian (Snowball)", "serbian")):
        found[name] = (postgres(docs, queries, config) if os.environ.get("PGHOST")
                       else "not measured: run through tools/test-postgres.sh")

    results = {"sentences": len(sentences), "documents": len(docs), "searches": len(searches),
               "engines": {name: f if isinstance(f, str) else figures(searches, f, wanted)
                           for name, f in found.items()}}
    for spec in LEMMA_SPECS:
        lemma_found = found[f"ardovel in FTS5, tokenize = '{spec}'"]
        if not isinstance(lemma_found, str):
            results["worst_engine"] = f"tokenize = '{spec}'"
            results["worst"] = worst(sentences, searches, lemma_found, wanted)
            break
    out.mkdir(parents=True, exist_ok=True)
    (out / "search_realistic.json").write_text(json.dumps(results, indent=1, ensure_ascii=False), encoding="utf-8")
    draw(results, out / "search_realistic.png")
    print(table(results, searches))


if __name__ == "__main__":
    main()
