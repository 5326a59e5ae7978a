# Top-level jobs. `make test` is what CI runs. Each job first installs the packages it needs and
# nothing else (tools/install-deps.sh names the groups each job takes); `make deps` installs all.
JOBS ?= 2

.PHONY: all deps build test test-linux test-asan test-core32 test-win32 bench clean

all: build

deps:
	bash tools/install-deps.sh

build:
	bash tools/install-deps.sh run
	cmake --preset linux
	cmake --build --preset linux -j$(JOBS)

# Every suite: native unit tests, the same under ASan and UBSan, the core's tests in a 32-bit build
# under qemu-i386, and the Windows build under Wine.
test:
	bash tools/install-deps.sh test
	bash tools/run-tests.sh

test-linux:
	bash tools/install-deps.sh test
	bash tools/run-tests.sh linux

test-asan:
	bash tools/install-deps.sh test
	bash tools/run-tests.sh linux-asan

test-core32:
	bash tools/install-deps.sh test
	bash tools/run-tests.sh core32

test-win32:
	bash tools/install-deps.sh test
	bash tools/run-tests.sh win32

bench:
	bash tools/install-deps.sh bench
	cmake --preset linux
	cmake --build --preset linux -j$(JOBS)
	./build/linux/bench/zrv5_bench
	bash tools/bench-x11.sh

clean:
	rm -rf build out dist

# The main job: with $DISPLAY, zrv5 on that display; without, the demo on Xvfb (screenshots in
# out/demo/). Builds only the programs it runs, not the tests.
.PHONY: run windows
run:
	bash tools/install-deps.sh run
	cmake --preset linux
	cmake --build --preset linux -j$(JOBS) --target zrv5 zrv5-exit zrv5_demo_window
	bash tools/run.sh

# The Windows package: dist/zrv5-win32/ and dist/zrv5-win32.zip.
windows:
	bash tools/install-deps.sh windows
	bash tools/package-windows.sh

# The X11 tick of the typical and the blended run, and its parts, over 1000 ticks on Xvfb.
.PHONY: bench-x11
bench-x11:
	bash tools/install-deps.sh bench
	cmake --preset linux
	cmake --build --preset linux -j$(JOBS)
	bash tools/bench-x11.sh
