"""Answers of both Python functions for whole words, from raw input to stem."""

import pytest

import ardovel

STEM_FUNCTIONS = [
    pytest.param(lambda word: ardovel.stem_py(word), id="stem_py"),
    pytest.param(lambda word: ardovel.conservative_stem_py(word), id="conservative_stem_py"),
]

# (word, answer), grouped by the stage that decides the answer.
GUARD_AND_NORMALISATION = [
    ("IT", "IT"),
    ("It", "it"),
    ("IT!", "it"),
    ("IT ", "it "),
    ("ИТ", "it"),
    ("Књига", "knjig"),
    ("ЊЕГОШ", "njegoh"),
    ("ДЕЦА", "dec"),
    ("дијете", "det"),
    ("dijete", "det"),
    ("i-je", "i"),
    ("cvijeće", "cveć"),
    ("pije", "p"),
    ("Knjigama", "knjig"),
    ("", ""),
    ("grad", "grad"),
    ("dobar dan", "dobar dan"),
    ("knjiga\n", "knjiga\n"),
    ("mali pas", "mali pah"),
]

PREFIX_AND_EXCEPTIONS = [
    ("NAJ-BOLJI", "bolj"),
    ("najbolji", "bolj"),
    ("najnajbolji", "najbolj"),
    ("naj", ""),
    ("najave", "av"),
    ("naj dete", " det"),
    ("najdete", "det"),
    ("najjači", "jač"),
    ("trčanje", "trč"),
    ("dete", "det"),
    ("čoveče", "čovek"),
    ("učenici", "učenik"),
    ("majci", "majk"),
    ("junaci", "junak"),
    ("vrapci", "vrab"),
    ("juče", "juče"),
    ("Juče", "juče"),
    ("JUČE,", "juče"),
    ("detetu", "detet"),
]

SUFFIXES = [
    ("knjigama", "knjig"),
    ("gradovima", "grad"),
    ("ženama", "žen"),
    ("čitajući", "čit"),
    ("pevajući", "pev"),
    ("kupovati", "kup"),
    ("gledajući", "gled"),
    ("prodavajući", "prod"),
    ("pokazivajući", "pokag"),
    ("automobil", "auto"),
    ("mobilan", "mobilan"),
    ("stvarnost", "stvar"),
    ("socijalizam", "socijal"),
    ("prijateljstvo", "prijatelj"),
    ("junac", "jun"),
    ("lice", "lic"),
    ("a", ""),
    ("je", ""),
    ("ima", ""),
    ("mobil", ""),
]

FINAL_CONSONANT = [
    ("peći", "pek"),
    ("Peć", "pek"),
    ("deca", "dec"),
    ("vitezovi", "vitez"),
    ("nizovi", "niz"),
    ("knjizi", "knjig"),
    ("vojnicima", "vojnik"),
    ("sestrice", "sestrik"),
    ("ruci", "ruc"),
    ("mesec", "mesek"),
    ("kupus", "kupuh"),
    ("ključ", "kljuk"),
    ("kneže", "kneg"),
    ("lepša", "leph"),
    ("miša", "miš"),
    ("noža", "nož"),
    ("trpeć", "trpeć"),
]

ALL_CASES = GUARD_AND_NORMALISATION + PREFIX_AND_EXCEPTIONS + SUFFIXES + FINAL_CONSONANT


@pytest.mark.parametrize("stem", STEM_FUNCTIONS)
@pytest.mark.parametrize(("word", "answer"), ALL_CASES, ids=[repr(word) for word, _ in ALL_CASES])
def test_answer(stem, word, answer):
    result = stem(word)
    assert type(result) is str
    assert result == answer


@pytest.mark.parametrize("word", [word for word, _ in ALL_CASES], ids=[repr(word) for word, _ in ALL_CASES])
def test_both_functions_agree(word):
    assert ardovel.stem_py(word) == ardovel.conservative_stem_py(word)

