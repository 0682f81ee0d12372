#!/usr/bin/env bash
# Builds the wheel offline, installs it into fresh virtual environments and
# runs the package, command-line, typing, integration and README tests
# against the installed copy, from outside the source tree.
#
# Two environments, both on Debian's interpreter:
# - build/pkg-venv-clean: no system site packages, nothing but the wheel, as a
#   new user gets it. The import, command-line and typing tests use it.
# - build/pkg-venv-system: the same wheel over Debian's site packages, where
#   pytest, Whoosh, scikit-learn and Dask live (none of them can be installed
#   offline into a clean environment). The tests run on it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
export PIP_DISABLE_PIP_VERSION_CHECK=1 PIP_NO_INDEX=1

# shellcheck source=tools/common.sh
source tools/common.sh
prepare_wheel_build_dir "$root/build/pkg-wheel"
dist=build/pkg-dist
rm -rf "$dist"
/usr/bin/python3 -m build --no-isolation --wheel --outdir "$dist" -C builddir="$root/build/pkg-wheel" -C setup-args=-Dwerror=true
wheel=$(echo "$root/$dist"/ardovel-*.whl)

rm -rf build/pkg-venv-clean build/pkg-venv-system
/usr/bin/python3 -m venv build/pkg-venv-clean
build/pkg-venv-clean/bin/python -m pip install --quiet "$wheel"
/usr/bin/python3 -m venv --system-site-packages build/pkg-venv-system
build/pkg-venv-system/bin/python -m pip install --quiet --no-deps "$wheel"

outside=$(mktemp -d)
trap 'rm -rf "$outside"' EXIT
cd "$outside"
export ARDOVEL_ROOT=$root ARDOVEL_WHEEL=$wheel ARDOVEL_CLEAN_VENV=$root/build/pkg-venv-clean
# Arguments, if any, replace the default selection (the whole directory).
[[ $# -gt 0 ]] || set -- "$root/tests/package"
"$root/build/pkg-venv-system/bin/python" -m pytest -q -p no:cacheprovider "$@"
