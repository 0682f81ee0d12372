#!/usr/bin/env bash
# Installs the Debian packages that one of the project's commands needs, only
# those missing, so a second run costs a dpkg query and nothing else.
#
#   tools/ensure-packages.sh demo    build and import the module
#   tools/ensure-packages.sh test    the above, and every test suite's tools
#   tools/ensure-packages.sh bench   the above, and the benchmarks' yardsticks
#   tools/ensure-packages.sh fresh   what the fresh-machine run needs
# Further package names may follow the group.
set -euo pipefail

group=${1:-test}
shift || true

# libsqlite3-dev: the headers the SQLite extension in the wheel is built with.
# hunspell-sr: the dictionary the lemma lexicon is built from (without it the
# build leaves the lexicon out).
demo=(g++ meson ninja-build pkg-config python3 python3-dev python3-venv python3-mesonpy libsqlite3-dev hunspell-sr)
# clang and its runtime: sanitizers and libFuzzer. patchelf: meson-python
# needs it to build a wheel. hunspell-sr: the word lists the tests check
# every answer on; hunspell: the check that it accepts every stop word.
# python3-nltk: the NLTK stemmer adapter's test. sqlite3: the shell the
# SQLite extension is loaded into. postgresql-15 and its server headers: the
# extension is built and tested against a real server.
test=(clang libclang-rt-14-dev libgtest-dev python3-pytest python3-hypothesis
  hunspell hunspell-sr python3-build patchelf python3-whoosh python3-sklearn python3-distributed
  python3-nltk mypy sqlite3 postgresql-15 postgresql-server-dev-15)
# python3-matplotlib draws the recall chart.
bench=(libbenchmark-dev libstemmer-dev libstemmer-tools python3-stemmer python3-matplotlib)
fresh=(mmdebstrap)

case $group in
  demo) packages=("${demo[@]}") ;;
  test) packages=("${demo[@]}" "${test[@]}") ;;
  bench) packages=("${demo[@]}" "${test[@]}" "${bench[@]}") ;;
  fresh) packages=("${fresh[@]}") ;;
  *) echo "usage: $0 demo|test|bench|fresh [PACKAGE...]" >&2; exit 2 ;;
esac
packages+=("$@")

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
# The Unicode tables' regeneration check runs on Node.js. Judged by the
# commands, not the packages: a machine may carry another build of Node.js
# that brings its own npm, with which Debian's npm package conflicts.
if [[ $group != demo && $group != fresh ]]; then
  command -v node >/dev/null || missing+=(nodejs)
  command -v npm >/dev/null || missing+=(npm)
fi
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "installing: ${missing[*]}" >&2
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
