#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, only those missing,
# so a second run costs a dpkg query and nothing else.
set -euo pipefail

packages=(
  g++ clang libclang-rt-14-dev meson ninja-build pkg-config
  python3 python3-dev python3-venv python3-pip python3-mesonpy python3-pytest python3-hypothesis
  libgtest-dev libbenchmark-dev valgrind
  hunspell hunspell-sr python3-stemmer libstemmer-dev libstemmer-tools
  python3-build python3-whoosh python3-sklearn python3-distributed mypy
)
packages+=("$@")

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "installing: ${missing[*]}" >&2
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
