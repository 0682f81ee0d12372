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
  'Serbian stemmer: any script and case in, lower-case Latin stems out; option StopWords = FILE';

-- No stop words by default, as everywhere else in ardovel; the project's
-- list is installed as tsearch_data/ardovel.stop for StopWords = ardovel.
CREATE TEXT SEARCH DICTIONARY ardovel (TEMPLATE = ardovel);
COMMENT ON TEXT SEARCH DICTIONARY ardovel IS 'Serbian stemmer (ardovel), no stop words';

-- The default parser. Its word tokens go to ardovel; numbers, addresses and
-- file names are kept as written, as PostgreSQL's own language
-- configurations keep them.
CREATE TEXT SEARCH CONFIGURATION ardovel (PARSER = pg_catalog."default");
COMMENT ON TEXT SEARCH CONFIGURATION ardovel IS 'Serbian, either script (ardovel)';
ALTER TEXT SEARCH CONFIGURATION ardovel
  ADD MAPPING FOR asciiword, word, numword, asciihword, hword, numhword, hword_asciipart, hword_part, hword_numpart
  WITH ardovel;
ALTER TEXT SEARCH CONFIGURATION ardovel
  ADD MAPPING FOR email, url, url_path, host, file, version, sfloat, float, int, uint
  WITH pg_catalog.simple;

CREATE FUNCTION ardovel_stem(text)
  RETURNS text
  AS 'MODULE_PATHNAME', 'ardovel_stem'
  LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION ardovel_stem(text) IS 'the ardovel stem of one word, as the Python module''s stem_py gives it';
