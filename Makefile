# Two commands do all set-up on a fresh Debian 12 machine:
#   make run    install missing packages, configure, build, start the magazine
#   make test   the same set-up, then every test
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Debian packages: to build, to run the tests (real-window test under Xvfb, peer renderers,
# screenshots, checks of the exported HTML) and to build the fuzzers.
BUILD_PKGS = cmake g++ make pkg-config libsdl2-dev libpng-dev libgtest-dev libgmock-dev libbenchmark-dev
TEST_PKGS = xvfb xauth xdotool x11-apps x11-utils imagemagick jwm cc65 sidplayfp xmp openmpt123 \
            clang libclang-rt-14-dev tidy python3

# The loaders, interpreters and audio threads run again under the sanitizers: AddressSanitizer
# with UndefinedBehaviorSanitizer for everything they read and compute, ThreadSanitizer for the
# audio threads.
ASAN_TESTS = tests/sid/sid_tests tests/module/test_module tests/display/display_tests tests/app/app_tests \
             tests/magazine/test_magazine
TSAN_TESTS = tests/sid/sid_tests tests/module/test_module tests/display/display_tests

.PHONY: all deps test-deps configure build run test sanitize bench clean

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

# Each benchmark's own output, then one table of the figures beside the peer players' (Xvfb and
# xdotool for the running program's figures, the peers from TEST_PKGS).
bench: deps build
	@for b in $(BUILD)/bench/*/bench_*; do [ -x "$$b" ] && "$$b"; done
	@python3 bench/bench_table.py $(BUILD)

clean:
	rm -rf $(BUILD) build-asan build-tsan
