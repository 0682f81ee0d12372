#!/usr/bin/env bash
# The README's two commands on a machine that has never seen the project.
#
# Bootstraps a minimal Debian 12 (bookworm) root with mmdebstrap from this
# machine's own apt sources, adds only git and make, copies in a clean clone
# of the committed HEAD, and runs `make demo` and `make test` in it as root.
# Whatever was installed by hand on this machine is absent there, so a
# package missing from tools/ensure-packages.sh fails here, not on a new
# user's machine. Prints the tail of the log; exits non-zero when either
# command fails.
#
#   tools/fresh-debian.sh [COMMAND]   COMMAND replaces "make demo && make test"
#
# Needs root, network access to the apt sources and the npm registry, and
# about 3 GB under ${TMPDIR:-/tmp}. Takes 5 to 10 minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
commands=${1:-"make demo && make test"}

[[ $(id -u) -eq 0 ]] || { echo "fresh-debian: must run as root (mmdebstrap and chroot)" >&2; exit 2; }
tools/ensure-packages.sh fresh

work=$(mktemp -d "${TMPDIR:-/tmp}/ardovel-fresh.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Only what is committed: a clean clone, without hooks.
git clone --quiet "$root" "$work/project"
rm -rf "$work/project/.git/hooks"
echo "fresh-debian: testing $(git -C "$work/project" log -1 --format='%h %s')"

# The machine's own sources, whichever form they take; no mirror is named here.
cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list /etc/apt/sources.list \
  2>/dev/null > "$work/sources" || true
[[ -s $work/sources ]] || { echo "fresh-debian: no apt sources configured on this machine" >&2; exit 2; }

# The machine's own extra certificate authorities, if it has any: where
# outgoing TLS passes through a proxy of the site's, npm reaches its
# registry only with them, just as on the host.
mkdir -p "$work/certificates"
cp /usr/local/share/ca-certificates/*.crt "$work/certificates/" 2>/dev/null || true

inside='cd /work/project && '"$commands"
status=0
mmdebstrap --variant=minbase --include=git,make,ca-certificates \
  --aptopt='Acquire::Check-Valid-Until "false"' \
  --customize-hook='mkdir -p "$1/work"' \
  --customize-hook="copy-in $work/project /work" \
  --customize-hook="copy-in $work/certificates /usr/local/share/ca-certificates" \
  --customize-hook='chroot "$1" update-ca-certificates >/dev/null' \
  --customize-hook="chroot \"\$1\" env -i HOME=/root LANG=C.UTF-8 \
PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
NODE_EXTRA_CA_CERTS=/etc/ssl/certs/ca-certificates.crt \
bash -c '$inside' >$work/inside.log 2>&1 || echo \$? >$work/inside.status" \
  bookworm /dev/null "$work/sources" >"$work/mmdebstrap.log" 2>&1 || status=$?

if [[ ! -s $work/inside.log ]]; then
  echo "fresh-debian: the bootstrap failed before the commands ran (exit $status):" >&2
  tail -n 30 "$work/mmdebstrap.log" >&2
  exit 2
fi
tail -n 40 "$work/inside.log"
inner=$(cat "$work/inside.status" 2>/dev/null || echo 0)
if [[ $inner -ne 0 || $status -ne 0 ]]; then
  echo "fresh-debian: FAILED on a fresh Debian 12 (commands exit ${inner}, bootstrap exit $status)"
  exit 1
fi
echo "fresh-debian: passed on a fresh Debian 12"
