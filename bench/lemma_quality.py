"""How well the lemma key conflates word forms, beside the stems and Snowball.

    /usr/bin/python3 bench/lemma_quality.py [--build DIR] [--content] [--seed N] [--percent P]

Prints one table of lemma-match, pair-recall and pair-precision (as
../shared/tools/conflation-metrics defines them) for the stems
(ardovel.stem_py), the lemma key, the lemma key with folding, and Snowball
serbian (PyStemmer), on two sets:

  dev       the development treebank (hr_set-ud-dev.conllu, news, gold
            lemmas): measured on, never tuned on
  held-out  hunspell paradigms: P% of the dictionary's lemmas (seeded) are
            left out of a lexicon made for the purpose (make_lexicon
            --hold-out), rules for unknown words included; their forms are
            then keyed against the keys the dictionary gives them, so this
            judges the rules for words the lexicon lacks

The lemma key is called through tools/lexicon/lemma_keys from the build
(DIR, default build/release, set up with -Dtests=true or -Dbench=true).
"""
import argparse
import runpy
import subprocess
import sys
import tempfile
import types
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SHARED = ROOT.parent / "shared"
DEV = SHARED / "data" / "ud-hr-set" / "hr_set-ud-dev.conllu"
METRICS = SHARED / "tools" / "conflation-metrics"
HUNSPELL = Path("/usr/share/hunspell")


def load_metrics():
    """The shared tool's own scoring, so the figures are the tool's."""
    return types.SimpleNamespace(**runpy.run_path(str(METRICS), run_name="conflation_metrics"))


def batch_keys(program, words, *args):
    """One run of lemma_keys over all words: word -> key."""
    words = sorted(set(words))
    result = subprocess.run([str(program), *args], input="\n".join(words) + "\n", capture_output=True,
                            text=True, check=True)
    keys = result.stdout.split("\n")[: len(words)]
    return dict(zip(words, keys))


def table_keys(tokens, build, lexicon=None):
    """The four key functions over the words of `tokens` (form, lemma)."""
    sys.path.insert(0, str(build / "src" / "python"))
    import ardovel
    import Stemmer

    words = {w for pair in tokens for w in pair}
    program = build / "bench" / "lemma_keys"
    extra = ["--lexicon", str(lexicon)] if lexicon else []
    lemmas = batch_keys(program, words, *extra)
    folded = batch_keys(program, words, "--fold", *extra)
    snowball = Stemmer.Stemmer("serbian")
    return {
        "stems (ardovel.stem_py)": ardovel.stem_py,
        "lemmas": lemmas.__getitem__,
        "lemmas+fold": folded.__getitem__,
        "Snowball serbian": snowball.stemWord,
    }


def held_out_tokens(build, seed, percent, workdir):
    lexicon = workdir / "held-out.bin"
    held = workdir / "held-out.tsv"
    subprocess.run([str(build / "src" / "lexicon" / "make_lexicon"), str(HUNSPELL / "sr_Latn_RS.dic"),
                    str(HUNSPELL / "sr_Latn_RS.aff"), "held-out", str(lexicon),
                    "--counts", str(ROOT / "tools" / "lexicon" / "serbian_form_counts.tsv"),
                    "--hold-out", str(seed), str(percent), str(held)], check=True, stderr=subprocess.DEVNULL)
    tokens = []
    with open(held, encoding="utf-8") as f:
        for line in f:
            form, key = line.rstrip("\n").split("\t")
            tokens.append((form, key))
    return sorted(set(tokens)), lexicon


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=str(ROOT / "build" / "release"))
    parser.add_argument("--content", action="store_true", help="content words only (NOUN PROPN VERB ADJ ADV)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--percent", type=int, default=2)
    args = parser.parse_args()
    build = Path(args.build).resolve()
    metrics = load_metrics()

    rows = []
    dev = metrics.read_tokens(str(DEV), args.content)
    for name, key in table_keys(dev, build).items():
        rows.append(("dev", name, *metrics.score(dev, key)))
    with tempfile.TemporaryDirectory() as tmp:
        held, lexicon = held_out_tokens(build, args.seed, args.percent, Path(tmp))
        for name, key in table_keys(held, build, lexicon).items():
            rows.append(("held-out", name, *metrics.score(held, key)))

    print(f"dev: {DEV.name}{' (content words)' if args.content else ''}, {len(dev)} tokens; "
          f"held-out: {args.percent}% of hunspell-sr's lemmas (seed {args.seed}), {len(held)} forms")
    print(f"{'set':9} {'key':25} {'lemma-match':>11} {'pair-recall':>11} {'pair-precision':>14}")
    for data, name, lm, pr, pp in rows:
        print(f"{data:9} {name:25} {lm:11.1%} {pr:11.1%} {pp:14.1%}")


if __name__ == "__main__":
    main()
