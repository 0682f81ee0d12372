#!/usr/bin/env bash
# Builds and installs the module, then stems the sample text word by word.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source tools/common.sh
ensure_packages demo
install_into_venv
cd /tmp && "$root/build/venv/bin/python" "$root/tools/demo.py" "$root/samples/sample.txt"
