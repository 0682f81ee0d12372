#!/usr/bin/env bash
# The PostgreSQL extension against a real PostgreSQL 15 server.
#
#   tools/test-postgres.sh BUILD             the SQL tests (tests/postgres,
#                                            pytest driving psql), with the
#                                            extension BUILD has built
#   tools/test-postgres.sh BUILD run CMD...  CMD instead, e.g. a benchmark
#
# Installs the extension from BUILD (configured with -Dpostgres=enabled)
# into pg_config's directories, as root, then starts a throwaway cluster:
# initdb into a temporary directory as an unprivileged user, listening on no
# TCP address, only on a Unix socket in that directory. CMD gets PGHOST,
# PGPORT, PGUSER and PGDATABASE for it. Whatever happens, the server is
# stopped and the directory removed on the way out.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(cd "${1:?usage: $0 BUILD [run CMD...]}" && pwd)
shift
if [[ ${1:-} == run ]]; then
  shift
  command=("$@")
else
  command=(/usr/bin/python3 -m pytest -q -p no:cacheprovider "$root/tests/postgres")
fi

# Installing writes into pg_config's directories; the server must not run
# as root, so root hands the cluster to the postgres user Debian's package
# creates.
install=(meson install -C "$build" --tags postgres --no-rebuild --quiet)
if [[ $(id -u) -eq 0 ]]; then
  "${install[@]}" >&2
  owner=postgres
  as_owner() { runuser -u "$owner" -- "$@"; }
elif sudo -n true 2>/dev/null; then
  sudo -n "${install[@]}" >&2
  owner=$(id -un)
  as_owner() { "$@"; }
else
  echo "skipped: installing the extension needs root or password-less sudo"
  exit 77
fi

bindir=$(pg_config --bindir)
cluster=$(mktemp -d /tmp/ardovel-pg.XXXXXX)
stop_cluster() {
  if [[ -f $cluster/data/postmaster.pid ]]; then
    as_owner "$bindir/pg_ctl" -D "$cluster/data" -m fast -w stop >/dev/null 2>&1 ||
      as_owner "$bindir/pg_ctl" -D "$cluster/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$cluster"
}
trap stop_cluster EXIT
chown "$owner" "$cluster"

# C.UTF-8 rather than C: under the C locale the default parser counts every
# non-ASCII character as a letter, punctuation included.
as_owner "$bindir/initdb" -D "$cluster/data" --username=postgres --auth=trust --encoding=UTF8 \
  --locale=C.UTF-8 >"$cluster/initdb.log" 2>&1 || { cat "$cluster/initdb.log" >&2; exit 1; }
cat >>"$cluster/data/postgresql.conf" <<CONF
listen_addresses = ''
unix_socket_directories = '$cluster'
port = 5432
fsync = off
CONF
if ! as_owner "$bindir/pg_ctl" -D "$cluster/data" -l "$cluster/server.log" -w start >/dev/null; then
  cat "$cluster/server.log" >&2
  exit 1
fi

export PGHOST=$cluster PGPORT=5432 PGUSER=postgres PGDATABASE=postgres ARDOVEL_ROOT=$root
# The tests call ardovel_text to compare keys, from the same build.
export PYTHONPATH=$build/src/python
status=0
"${command[@]}" || status=$?
if [[ $status -ne 0 && -s $cluster/server.log ]]; then
  echo "--- server log (last lines)" >&2
  tail -n 20 "$cluster/server.log" >&2
fi
exit $status
