"""The stemmer inside real libraries from Debian's packages: Whoosh and FTS5
side by side, and Dask distributed. The README's own examples run in
test_readme.py, and pickling by reference in test_wheel.py; these go further
(prefix queries in two engines, a tenth of the dictionaries on worker
processes)."""

import dask.bag
from dask.distributed import Client, LocalCluster
from whoosh.fields import ID, Schema

import ardovel

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
