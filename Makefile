# Two commands do all set-up on a fresh Debian 12 machine:
#   make run    install missing packages, configure, build, start the magazine
#   make test   the same set-up, then every test
#   make install      the magazine, its tools, menu entry, icons and manual pages under PREFIX
#                     (default /usr/local; DESTDIR is honoured)
#   make package      build-run/quellmark_VERSION_ARCH.deb
#   make web          the magazine in a web browser: build-web/ with index.html, quellmark.js,
#                     quellmark.wasm, the manifest, service worker and icons, each text file
#                     also compressed (.gz, and .br where brotli is installed), served as static files
#   make web-serve    serves build-web on http://127.0.0.1:WEB_PORT/ for a quick look
#
# Two build folders, so that neither undoes the other (switching between make run and make test
# rebuilds nothing):
#   $(RUN_BUILD), build-run/: what a user builds. make run builds the program alone, make install
#       and make package the programs they install; no tests, no benchmarks, and warnings stay
#       warnings, so a newer compiler's new warnings do not stop it.
#   $(BUILD), build/: the developers' build of everything, tests and benchmarks included, with
#       warnings as errors (the compilers here are known): make build, make test, make bench.
BUILD ?= build
RUN_BUILD ?= build-run
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
WERROR ?= ON
# Seconds per fuzz target: a short run in make test, a long one in make fuzz.
FUZZ_SECONDS ?= 20
# Frames of the random-input soak in make soak (make sanitize runs the test's default 20,000).
SOAK_FRAMES ?= 100000
PREFIX ?= /usr/local

# Debian packages: to build, to run the tests (real-window test under Xvfb, peer renderers,
# screenshots, checks of the exported HTML) and to build the fuzzers.
BUILD_PKGS = cmake g++ make pkg-config libsdl2-dev libpng-dev libgtest-dev libgmock-dev libbenchmark-dev
# The Debian package and the checks of what is installed.
PACKAGE_PKGS = dpkg-dev file desktop-file-utils appstream man-db groff-base lintian
TEST_PKGS = xvfb xauth xdotool x11-apps x11-utils imagemagick jwm cc65 sidplayfp xmp openmpt123 \
            clang libclang-rt-14-dev clang-format tidy python3 $(PACKAGE_PKGS)

# The loaders, interpreters and audio threads run again under the sanitizers: AddressSanitizer
# with UndefinedBehaviorSanitizer for everything they read and compute, ThreadSanitizer for the
# audio threads.
ASAN_TESTS = tests/sid/sid_tests tests/module/test_module tests/display/display_tests tests/app/app_tests \
             tests/magazine/test_magazine tests/soak/soak_tests
TSAN_TESTS = tests/sid/sid_tests tests/module/test_module tests/display/display_tests

# The C++ sources that clang-format checks (the repository's .clang-format).
FORMAT_SOURCES = $(shell find app bench cmake common content display generators module render sid \
                   tests tools -type f \( -name '*.cpp' -o -name '*.h' \) | sort)

.PHONY: all deps test-deps configure configure-run build run test format-check sanitize bench clean \
        release-build fuzz-build install package fuzz-short fuzz soak check-builds \
        web web-serve web-test-deps web-test web-test-if-present

all: build

deps:
	@cmake/install-packages.sh $(BUILD_PKGS)

test-deps:
	@cmake/install-packages.sh $(BUILD_PKGS) $(TEST_PKGS)

configure:
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DQM_WERROR=$(WERROR) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

configure-run:
	@cmake -S . -B $(RUN_BUILD) $(CMAKE_FLAGS) -DQM_WERROR=OFF -DQM_TESTS=OFF -DQM_BENCH=OFF \
	  >/dev/null

run: deps configure-run
	@cmake --build $(RUN_BUILD) -j $(JOBS) --target quellmark
	$(RUN_BUILD)/app/quellmark

test: WERROR = ON
test: test-deps format-check build release-build sanitize fuzz-short
	@$(MAKE) --no-print-directory web-test-if-present
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

format-check: test-deps
	@clang-format --dry-run --Werror $(FORMAT_SOURCES)

# The everyday user build (gcc, Release): the program and the tools, without the tests.
release-build:
	@cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQM_WERROR=ON -DQM_TESTS=OFF \
	  -DQM_BENCH=OFF >/dev/null
	@cmake --build build-release -j $(JOBS)

# The four libFuzzer targets (clang, AddressSanitizer and UndefinedBehaviorSanitizer).
FUZZ_TARGETS = fuzz_sid_tune fuzz_sid_cpu fuzz_module fuzz_contentc
fuzz-build: test-deps
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -DQM_FUZZ=ON -DQM_SANITIZE=ON -DQM_BENCH=OFF \
	  -DQM_WERROR=ON >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)

fuzz-short: fuzz-build
	tests/fuzz/run_fuzzers.sh build-fuzz $(FUZZ_SECONDS)

fuzz: FUZZ_SECONDS = 600
fuzz: fuzz-build
	tests/fuzz/run_fuzzers.sh build-fuzz $(FUZZ_SECONDS)

# The random-input soak at full length under AddressSanitizer and LeakSanitizer.
soak: test-deps
	@cmake -S . -B build-asan -DQM_SANITIZE=ON -DQM_BENCH=OFF -DQM_WERROR=ON >/dev/null
	@cmake --build build-asan -j $(JOBS) --target soak_tests
	cd tests && QM_SOAK_FRAMES=$(SOAK_FRAMES) ../build-asan/tests/soak/soak_tests

# Every build type with both compilers, one after the other, warnings as errors.
BUILD_TYPES = Debug Release RelWithDebInfo MinSizeRel
check-builds: test-deps
	@for cc in gcc clang; do for type in $(BUILD_TYPES); do \
	  cxx=$$( [ $$cc = gcc ] && echo g++ || echo clang++ ); \
	  echo "== $$cc $$type"; \
	  CC=$$cc CXX=$$cxx cmake -S . -B build-check/$$cc-$$type -DCMAKE_BUILD_TYPE=$$type \
	    -DQM_WERROR=ON >/dev/null && cmake --build build-check/$$cc-$$type -j $(JOBS) || exit 1; \
	done; done

sanitize: test-deps
	@cmake -S . -B build-asan -DQM_SANITIZE=ON -DQM_BENCH=OFF -DQM_WERROR=ON >/dev/null
	@cmake --build build-asan -j $(JOBS) --target $(notdir $(ASAN_TESTS))
	cd tests && for t in $(ASAN_TESTS); do ../build-asan/$$t --gtest_brief=1 || exit 1; done
	@cmake -S . -B build-tsan -DQM_TSAN=ON -DQM_BENCH=OFF -DQM_WERROR=ON >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target $(notdir $(TSAN_TESTS))
	cd tests && for t in $(TSAN_TESTS); do ../build-tsan/$$t --gtest_brief=1 || exit 1; done

# Each benchmark's own output, then one table of the figures beside the peer players' (Xvfb and
# xdotool for the running program's figures, the peers from TEST_PKGS).
bench: deps build
	@for b in $(BUILD)/bench/*/bench_*; do [ -x "$$b" ] && "$$b"; done
	@python3 bench/bench_table.py $(BUILD)

INSTALLED_PROGRAMS = quellmark quellmark-render quellmark-export
install: deps configure-run
	@cmake --build $(RUN_BUILD) -j $(JOBS) --target $(INSTALLED_PROGRAMS)
	DESTDIR="$(DESTDIR)" cmake --install $(RUN_BUILD) --prefix $(PREFIX)

package: deps configure-run
	@cmake/install-packages.sh $(PACKAGE_PKGS)
	cd $(RUN_BUILD) && cpack -G DEB

# The WebAssembly build. Debian's emscripten needs node-acorn, which a node that is not Debian's
# finds only through NODE_PATH. contentc compiles the documents during the build, so it is built
# for this machine first, in $(BUILD). The build folder is $(WEB_BUILD); build-web/ gets what a
# server offers (web/assemble.sh).
WEB_PKGS = emscripten node-acorn
WEB_TEST_PKGS = chromium python3-websocket python3-numpy imagemagick brotli
WEB_BUILD = build-wasm
WEB_PORT ?= 8020
WEB_ENV = NODE_PATH=$${NODE_PATH:-/usr/share/nodejs}
web:
	@cmake/install-packages.sh $(BUILD_PKGS) $(WEB_PKGS)
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DQM_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target contentc
	@$(WEB_ENV) emcmake cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release -DQM_WERROR=$(WERROR) \
	  -DQM_CONTENTC=$(abspath $(BUILD))/content/contentc/contentc >/dev/null
	@$(WEB_ENV) cmake --build $(WEB_BUILD) -j $(JOBS) --target quellmark
	@web/assemble.sh $(WEB_BUILD)/app build-web

web-serve: web
	@echo "Serving the magazine (Ctrl+C stops):"
	@web/serve.py build-web $(WEB_PORT)

web-test-deps:
	@cmake/install-packages.sh $(WEB_PKGS) $(WEB_TEST_PKGS)

# The web build in Debian's headless Chromium, checked against the desktop's headless frames.
web-test: WERROR = ON
web-test: web-test-deps web
	@cmake --build $(BUILD) -j $(JOBS) --target quellmark-shot quellmark-render
	tests/web/web_test.py --site build-web --shot $(BUILD)/tools/shot/quellmark-shot \
	  --render $(BUILD)/tools/render/quellmark-render --out $(BUILD)/web-test

# make test runs the web test where its packages are installed (CI installs them).
web-test-if-present:
	@for p in $(WEB_PKGS) $(WEB_TEST_PKGS); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q ' installed$$' || { \
	    echo "web test skipped: $$p is not installed"; exit 0; }; \
	done; $(MAKE) --no-print-directory web-test

clean:
	rm -rf $(BUILD) $(RUN_BUILD) build-asan build-tsan build-release build-fuzz build-check $(WEB_BUILD) build-web
