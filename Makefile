# The README names these commands; each does its own set-up.
.PHONY: demo test fresh-test fuzz bench clean

demo:
	@tools/demo.sh

test:
	@tools/run-tests.sh

# make demo and make test on a freshly bootstrapped Debian 12 (as root).
fresh-test:
	@tools/fresh-debian.sh

# Fuzzes each target for FUZZ_SECONDS (default 600) from the saved corpus.
fuzz:
	@tools/fuzz.sh long

# Builds the benchmarks and prints one table (see the README's Performance).
bench:
	@bench/run.sh

clean:
	rm -rf build
