# The README names these commands; each does its own set-up.
.PHONY: demo test fuzz clean

demo:
	@tools/demo.sh

test:
	@tools/run-tests.sh

# Fuzzes each target for FUZZ_SECONDS (default 600) from the saved corpus.
fuzz:
	@tools/fuzz.sh long

clean:
	rm -rf build
