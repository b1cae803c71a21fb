# Two commands do all set-up on a fresh Debian 12 machine:
#   make run    install missing packages, configure, build, start the magazine
#   make test   the same set-up, then every test
#   make install      the magazine, its tools, menu entry, icons and manual pages under PREFIX
#                     (default /usr/local; DESTDIR is honoured)
#   make package      build/quellmark_VERSION_ARCH.deb
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
PREFIX ?= /usr/local

# Debian packages: to build, to run the tests (real-window test under Xvfb, peer renderers,
# screenshots) and to build the fuzzers.
BUILD_PKGS = cmake g++ make pkg-config libsdl2-dev libpng-dev libgtest-dev libgmock-dev libbenchmark-dev
# The Debian package and the checks of what is installed.
PACKAGE_PKGS = dpkg-dev file desktop-file-utils appstream man-db groff-base
TEST_PKGS = xvfb xauth xdotool x11-apps x11-utils imagemagick jwm cc65 sidplayfp xmp openmpt123 \
            clang libclang-rt-14-dev $(PACKAGE_PKGS)

# The loaders, interpreters and audio threads run again under the sanitizers: AddressSanitizer
# with UndefinedBehaviorSanitizer for everything they read and compute, ThreadSanitizer for the
# audio threads.
ASAN_TESTS = tests/sid/sid_tests tests/module/test_module tests/display/display_tests tests/app/app_tests
TSAN_TESTS = tests/sid/sid_tests tests/module/test_module tests/display/display_tests

.PHONY: all deps test-deps configure build run test sanitize bench install package clean

all: build

deps:
	@tools/install-packages.sh $(BUILD_PKGS)

test-deps:
	@tools/install-packages.sh $(BUILD_PKGS) $(TEST_PKGS)

configure:
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: deps build
	$(BUILD)/app/quellmark

test: test-deps build sanitize
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

sanitize: test-deps
	@cmake -S . -B build-asan -DQM_SANITIZE=ON -DQM_BENCH=OFF >/dev/null
	@cmake --build build-asan -j $(JOBS) --target $(notdir $(ASAN_TESTS))
	cd tests && for t in $(ASAN_TESTS); do ../build-asan/$$t --gtest_brief=1 || exit 1; done
	@cmake -S . -B build-tsan -DQM_TSAN=ON -DQM_BENCH=OFF >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target $(notdir $(TSAN_TESTS))
	cd tests && for t in $(TSAN_TESTS); do ../build-tsan/$$t --gtest_brief=1 || exit 1; done

bench: deps build
	@for b in $(BUILD)/bench/*/bench_*; do [ -x "$$b" ] && "$$b"; done

install: deps build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)

package: deps build
	@tools/install-packages.sh $(PACKAGE_PKGS)
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) build-asan build-tsan
