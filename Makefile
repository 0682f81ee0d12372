# The README names these commands; each does its own set-up.
.PHONY: demo test clean

demo:
	@tools/demo.sh

test:
	@tools/run-tests.sh

clean:
	rm -rf build
