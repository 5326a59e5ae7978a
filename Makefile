# Top-level jobs. `make test` is what CI runs. Each job first installs the packages it needs and
# nothing else (tools/install-deps.sh names the groups each job takes); `make deps` installs all.
JOBS ?= 2
# Where `make install` puts the Linux program.
PREFIX ?= /usr/local

.PHONY: all deps build test test-linux test-asan test-core32 test-win32 bench clean fuzz

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

# Each fuzz harness for minutes (FUZZ_SECONDS, 180 by default); `make test` runs each for 10 s.
fuzz:
	bash tools/install-deps.sh test
	bash tools/fuzz.sh

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
.PHONY: run windows install deb
run:
	bash tools/install-deps.sh run
	cmake --preset linux
	cmake --build --preset linux -j$(JOBS) --target zrv5 zrv5-exit zrv5_demo_window
	bash tools/run.sh

# The Windows package: dist/zrv5-win32/ and dist/zrv5-win32.zip.
windows:
	bash tools/install-deps.sh windows
	bash tools/package-windows.sh

# The Linux program installed under $(PREFIX): zrv5, zrv5-exit, libMouseHook.so, the manual pages
# and the sample settings (through sudo for a prefix you cannot write).
install:
	bash tools/install-deps.sh run
	cmake --preset linux
	cmake --build --preset linux -j$(JOBS) --target zrv5 zrv5-exit zrv5_man_pages
	@if [ "$$(id -u)" -eq 0 ] || { mkdir -p "$(PREFIX)" 2>/dev/null && [ -w "$(PREFIX)" ]; }; then \
	  cmake --install build/linux --prefix "$(PREFIX)"; \
	else \
	  sudo cmake --install build/linux --prefix "$(PREFIX)"; \
	fi

# The Debian package of the Linux program, dist/zrv5_<version>_<arch>.deb: a release build
# installed under /usr, with the dependencies dpkg-shlibdeps finds. Install it with
# `sudo apt install ./dist/zrv5_*.deb`.
deb:
	bash tools/install-deps.sh deb
	cmake -S . -B build/deb -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  -DZRV5_BUILD_TESTS=OFF -DZRV5_BUILD_BENCH=OFF >/dev/null
	cmake --build build/deb -j$(JOBS)
	cd build/deb && cpack -G DEB >/dev/null
	mkdir -p dist
	cp build/deb/zrv5_*.deb dist/
	@ls dist/zrv5_*.deb

# The X11 tick of the typical and the blended run, and its parts, over 1000 ticks on Xvfb.
.PHONY: bench-x11
bench-x11:
	bash tools/install-deps.sh bench
	cmake --preset linux
	cmake --build --preset linux -j$(JOBS)
	bash tools/bench-x11.sh
