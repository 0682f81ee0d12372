# The README names these commands; each does its own set-up.
.PHONY: demo test fresh-test fuzz bench postgres-install clean

demo:
	@tools/demo.sh

test:
	@tools/run-tests.sh

# make demo and make test on a freshly bootstrapped Debian 12 (as root).
fresh-test:
	@tools/fresh-debian.sh

# Fuzzes each target for FUZZ_SECONDS (default 600) from the saved corpus
# (in the fuzz configuration that make test sets up).
fuzz:
	@tools/fuzz.sh

# Builds the benchmarks and prints one table (see the README's Performance).
bench:
	@bench/run.sh

# Builds the PostgreSQL extension and installs it into the directories
# pg_config names (as root).
PG_BUILD ?= build/postgres
PG_SETUP_ARGS ?=
postgres-install:
	@tools/ensure-packages.sh demo postgresql-15 postgresql-server-dev-15
	@if [ -f $(PG_BUILD)/build.ninja ]; then \
	  meson configure $(PG_BUILD) $(PG_SETUP_ARGS) >/dev/null; \
	else \
	  meson setup $(PG_BUILD) -Dpostgres=enabled -Dpython=disabled -Dsqlite=disabled -Dcli=disabled \
	    --buildtype=release $(PG_SETUP_ARGS); \
	fi
	@ninja -C $(PG_BUILD)
	@meson install -C $(PG_BUILD) --tags postgres --no-rebuild

clean:
	rm -rf build
