-- The ardovel text-search template, dictionary and configuration, and the
-- one-word function. Loaded by CREATE EXTENSION ardovel.
\echo Use "CREATE EXTENSION ardovel" to load this file. \quit

CREATE FUNCTION ardovel_dict_init(internal)
  RETURNS internal
  AS 'MODULE_PATHNAME', 'ardovel_dict_init'
  LANGUAGE C STRICT;

CREATE FUNCTION ardovel_dict_lexize(internal, internal, internal, internal)
  RETURNS internal
  AS 'MODULE_PATHNAME', 'ardovel_dict_lexize'
  LANGUAGE C STRICT;

CREATE TEXT SEARCH TEMPLATE ardovel (
  INIT = ardovel_dict_init,
  LEXIZE = ardovel_dict_lexize
);
COMMENT ON TEXT SEARCH TEMPLATE ardovel IS
  'Serbian keys: any script and case in, lower-case Latin stems or lemmas out; options StopWords = FILE, Lemmas, Fold';

-- No stop words by default, as everywhere else in ardovel; the project's
-- list is installed as tsearch_data/ardovel.stop for StopWords = ardovel.
CREATE TEXT SEARCH DICTIONARY ardovel (TEMPLATE = ardovel);
COMMENT ON TEXT SEARCH DICTIONARY ardovel IS 'Serbian stemmer (ardovel), no stop words';

-- The parser: the tokens every ardovel front end finds, so that a text
-- gets here exactly the keys it gets in Python, SQLite and the command line.
-- Its token types bear the default parser's names and numbers, whose
-- headline function it borrows.
CREATE FUNCTION ardovel_parser_start(internal, integer)
  RETURNS internal
  AS 'MODULE_PATHNAME', 'ardovel_parser_start'
  LANGUAGE C STRICT;

CREATE FUNCTION ardovel_parser_next(internal, internal, internal)
  RETURNS internal
  AS 'MODULE_PATHNAME', 'ardovel_parser_next'
  LANGUAGE C STRICT;

CREATE FUNCTION ardovel_parser_end(internal)
  RETURNS void
  AS 'MODULE_PATHNAME', 'ardovel_parser_end'
  LANGUAGE C STRICT;

CREATE FUNCTION ardovel_parser_types(internal)
  RETURNS internal
  AS 'MODULE_PATHNAME', 'ardovel_parser_types'
  LANGUAGE C STRICT;

CREATE TEXT SEARCH PARSER ardovel (
  START = ardovel_parser_start,
  GETTOKEN = ardovel_parser_next,
  END = ardovel_parser_end,
  HEADLINE = pg_catalog.prsd_headline,
  LEXTYPES = ardovel_parser_types
);
COMMENT ON TEXT SEARCH PARSER ardovel IS
  'ardovel tokens: runs of characters that are not white space, punctuation, symbols or controls';

CREATE TEXT SEARCH CONFIGURATION ardovel (PARSER = ardovel);
COMMENT ON TEXT SEARCH CONFIGURATION ardovel IS 'Serbian, either script (ardovel)';
ALTER TEXT SEARCH CONFIGURATION ardovel
  ADD MAPPING FOR asciiword, word, numword, uint WITH ardovel;

-- For search: lemmas as keys, folded to bald Latin, so that every form of a
-- word meets the others, typed with diacritics or without.
CREATE TEXT SEARCH DICTIONARY ardovel_search (TEMPLATE = ardovel, Lemmas = true, Fold = true);
COMMENT ON TEXT SEARCH DICTIONARY ardovel_search IS 'Serbian lemmas in bald Latin (ardovel), no stop words';
CREATE TEXT SEARCH CONFIGURATION ardovel_search (PARSER = ardovel);
COMMENT ON TEXT SEARCH CONFIGURATION ardovel_search IS 'Serbian, either script, lemmas in bald Latin (ardovel)';
ALTER TEXT SEARCH CONFIGURATION ardovel_search
  ADD MAPPING FOR asciiword, word, numword, uint WITH ardovel_search;

CREATE FUNCTION ardovel_stem(text)
  RETURNS text
  AS 'MODULE_PATHNAME', 'ardovel_stem'
  LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION ardovel_stem(text) IS 'the ardovel stem of one word, as the Python module''s stem_py gives it';

CREATE FUNCTION ardovel_prefix(text)
  RETURNS tsquery
  AS 'MODULE_PATHNAME', 'ardovel_prefix'
  LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION ardovel_prefix(text) IS
  'the query for a text whose last word is typed as the start of a word, as FTS5''s knjig* gives it';

CREATE FUNCTION ardovel_prefix(regdictionary, text)
  RETURNS tsquery
  AS 'MODULE_PATHNAME', 'ardovel_prefix_with'
  LANGUAGE C STABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION ardovel_prefix(regdictionary, text) IS
  'the same, with the options of an ardovel dictionary (stop words, lemmas, fold)';
