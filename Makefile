# Top-level jobs. `make test` is what CI runs; every job installs what is missing first.
JOBS ?= 2

.PHONY: all deps build test test-linux test-asan test-core32 test-win32 bench clean fuzz

all: build

deps:
	bash tools/install-deps.sh

build: deps
	cmake --preset linux
	cmake --build --preset linux -j$(JOBS)

# Every suite: native unit tests, the same under ASan and UBSan, the core's tests in a 32-bit build
# under qemu-i386, and the Windows build under Wine.
test: deps
	bash tools/run-tests.sh

test-linux: deps
	bash tools/run-tests.sh linux

test-asan: deps
	bash tools/run-tests.sh linux-asan

test-core32: deps
	bash tools/run-tests.sh core32

test-win32: deps
	bash tools/run-tests.sh win32

# Each fuzz harness for minutes (FUZZ_SECONDS, 180 by default); `make test` runs each for 10 s.
fuzz: deps
	bash tools/fuzz.sh

bench: build
	./build/linux/bench/zrv5_bench
	bash tools/bench-x11.sh

clean:
	rm -rf build out dist

# The main job: with $DISPLAY, zrv5 on that display; without, the demo on Xvfb (screenshots in out/demo/).
.PHONY: run windows
run: build
	bash tools/run.sh

# The Windows package: dist/zrv5-win32/ and dist/zrv5-win32.zip.
windows: deps
	bash tools/package-windows.sh

# The X11 tick of the typical and the blended run, and its parts, over 1000 ticks on Xvfb.
.PHONY: bench-x11
bench-x11: build
	bash tools/bench-x11.sh
