"""The stemmer inside real libraries from Debian's packages: Whoosh,
scikit-learn and Dask distributed. The README's own examples run in
test_readme.py; these go further (whole corpus, on-disk index, many forms)."""

import dask.bag
from dask.distributed import Client, LocalCluster
from sklearn.feature_extraction.text import TfidfVectorizer
from whoosh.analysis import RegexTokenizer, StemFilter, StopFilter
from whoosh.fields import ID, TEXT, Schema
from whoosh.index import create_in

import ardovel
from conftest import run_python

# Forms of one word across case, script, inflection and ijekavian spelling.
WORD_FORMS = {
    "knjig": ["knjiga", "Књиге", "KNJIGAMA", "књигу", "knjizi"],
    "rek": ["reka", "rijeka", "ријеке", "рекама", "Rijekom"],
    "grad": ["grad", "gradovima", "Градови", "GRADOM"],
    "det": ["dete", "дијете", "ДЕТЕ"],
}


def test_groups_of_forms_share_one_stem():
    # The premise of the two tests below, checked on its own.
    for stem, forms in WORD_FORMS.items():
        assert {ardovel.stem_py(form) for form in forms} == {stem}, forms


def test_whoosh_index_on_disk_reopens_in_a_new_process(tmp_path):
    # The schema, stem function included, is pickled into the index; a new
    # process must find the function again by name.
    analyzer = RegexTokenizer() | StemFilter(stemfn=ardovel.stem_py) | StopFilter(stoplist=[], minsize=1)
    index = create_in(str(tmp_path), Schema(key=ID(stored=True), body=TEXT(analyzer=analyzer)))
    with index.writer() as writer:
        for stem, forms in WORD_FORMS.items():
            writer.add_document(key=stem, body=f"Ovde piše: {forms[0]}.")
    search = f"""
        from whoosh.index import open_dir
        from whoosh.qparser import QueryParser
        index = open_dir({str(tmp_path)!r})
        parser = QueryParser("body", index.schema)
        with index.searcher() as searcher:
            for form in {[form for forms in WORD_FORMS.values() for form in forms]!r}:
                print(form, *[hit["key"] for hit in searcher.search(parser.parse(form))])
        """
    result = run_python(search, cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    expected = [f"{form} {stem}" for stem, forms in WORD_FORMS.items() for form in forms]
    assert result.stdout.splitlines() == expected


# Prefix queries (and their documents, by number): the query rule is the
# core's; here each engine must pass its alternatives through to the same
# documents.
PREFIX_DOCUMENTS = ["Kupus.", "Kupusište.", "Kupujem knjige.", "Knjižara.", "Kuća."]
PREFIX_QUERIES = {"kupus*": [0, 1], "knjiž*": [2, 3], "ku*": [0, 1, 2, 4], "KUPUS*": [0, 1]}


def test_whoosh_prefix_queries_find_what_fts5_finds():
    import sqlite3

    import ardovel_text
    from ardovel_text.whoosh import SerbianText
    from whoosh.filedb.filestore import RamStorage
    from whoosh.qparser import QueryParser

    index = RamStorage().create_index(Schema(number=ID(stored=True), body=SerbianText()))
    with index.writer() as writer:
        for number, document in enumerate(PREFIX_DOCUMENTS):
            writer.add_document(number=str(number), body=document)
    db = sqlite3.connect(":memory:")
    db.enable_load_extension(True)
    db.load_extension(ardovel_text.sqlite_extension_path())
    db.execute("CREATE VIRTUAL TABLE docs USING fts5(body, tokenize = 'ardovel')")
    db.executemany("INSERT INTO docs(rowid, body) VALUES (?, ?)", enumerate(PREFIX_DOCUMENTS))
    parser = QueryParser("body", index.schema)
    with index.searcher() as searcher:
        for query, expected in PREFIX_QUERIES.items():
            whoosh = sorted(int(hit["number"]) for hit in searcher.search(parser.parse(query)))
            fts5 = [rowid for rowid, in db.execute("SELECT rowid FROM docs WHERE docs MATCH ? ORDER BY rowid", (query,))]
            assert whoosh == fts5 == expected, query


def test_tfidf_gives_one_feature_per_word():
    documents = [" ".join(forms) for forms in WORD_FORMS.values()]
    vectorizer = TfidfVectorizer(tokenizer=lambda text: [ardovel.stem_py(word) for word in text.split()],
                                 lowercase=False, token_pattern=None)
    matrix = vectorizer.fit_transform(documents).toarray()
    assert sorted(vectorizer.vocabulary_) == sorted(WORD_FORMS)
    for row, stem in zip(matrix, WORD_FORMS):
        assert [feature for feature, column in vectorizer.vocabulary_.items() if row[column] > 0] == [stem]


def worker_view():
    import pickle

    import ardovel as worker_ardovel
    return worker_ardovel.__file__, pickle.loads(pickle.dumps(worker_ardovel.stem_py)) is worker_ardovel.stem_py


def test_dask_workers_give_the_single_process_answers(corpus_words):
    # Every tenth word of both dictionaries: Dask's cost per item, not the
    # stemmer's, would dominate the whole list.
    words = corpus_words[::10]
    expected = [ardovel.stem_py(word) for word in words]
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster, timeout=120) as client:
        views = client.run(worker_view)
        stems = dask.bag.from_sequence(words, npartitions=16).map(ardovel.stem_py).compute()
        conservative = client.gather(client.map(ardovel.conservative_stem_py, words[:200]))
    assert len(views) == 2
    for address, (module_file, by_reference) in views.items():
        assert address.startswith("tcp://127.0.0.1:")
        assert module_file == ardovel.__file__
        assert by_reference
    assert stems == expected
    assert conservative == expected[:200]
