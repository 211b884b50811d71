# Corvane: `make run` builds an optimised engine and starts it; `make test`
# builds and runs every test. `make test-sanitize` and `make test-m32` are the
# two extra builds CI runs (AddressSanitizer + UBSan, and 32-bit x86, which
# needs Debian's g++-multilib);
# `make test-tsan` runs the threaded tests under ThreadSanitizer.
PREFIX ?= /usr/local
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# WERROR=ON turns warnings into errors (CI does).
WERROR ?= OFF
RELEASE_DIR := build/release
TEST_DIR := build/test
SANITIZE_DIR := build/sanitize
M32_DIR := build/m32
CTEST := ctest --output-on-failure -j $(JOBS)

.PHONY: all release run test test-sanitize test-m32 install clean openbench

# OpenBench's client builds with `make EXE=PATH` (now and then with CXX=...)
# and runs `PATH bench`: then the default target puts the optimised engine at PATH.
ifeq ($(EXE),)
all: release
else
all: openbench
endif

OPENBENCH_DIR := build/openbench
openbench:
	@test -n "$(EXE)" || { echo "usage: make EXE=PATH" >&2; exit 2; }
	cmake -S . -B $(OPENBENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF -DCMAKE_CXX_COMPILER=$(CXX) \
	    -DCORVANE_WERROR=$(WERROR)
	cmake --build $(OPENBENCH_DIR) --target corvane -j $(JOBS)
	mkdir -p $(dir $(EXE))
	cp $(OPENBENCH_DIR)/corvane $(EXE)

release:
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF -DCORVANE_WERROR=$(WERROR)
	cmake --build $(RELEASE_DIR) -j $(JOBS)

run: release
	./$(RELEASE_DIR)/corvane

test:
	cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=ON -DCORVANE_WERROR=$(WERROR)
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && $(CTEST)

# Assertions stay on; the heavy tests run their light variants.
test-sanitize:
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=ON \
	    -DCORVANE_TEST_LEVEL=light -DCORVANE_WERROR=$(WERROR)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && $(CTEST)

# Corvane plays itself SOAK_GAMES games under the sanitizers (1 s + 10 ms a
# side, random option changes between games, isready and stop at random moments).
SOAK_GAMES ?= 200
.PHONY: soak
soak:
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=ON \
	    -DCORVANE_TEST_LEVEL=light -DCORVANE_WERROR=$(WERROR)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && CORVANE_SOAK_GAMES=$(SOAK_GAMES) ./tests/corvane_tests --gtest_filter='Soak.*'

# ThreadSanitizer: the tests that run helper threads (the shared table under
# racing writers, threaded searches end to end, the threaded analysis, the
# network's threaded search).
TSAN_DIR := build/tsan
.PHONY: test-tsan
test-tsan:
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DCORVANE_TSAN=ON -DCORVANE_TEST_LEVEL=light \
	    -DCORVANE_WERROR=$(WERROR)
	cmake --build $(TSAN_DIR) -j $(JOBS)
	cd $(TSAN_DIR) && TSAN_OPTIONS="halt_on_error=1 exitcode=66" $(CTEST) -R 'Threads|threads|TransTable|Tablebases|Syzygy|network'

# Debian's GoogleTest is 64-bit only, so this build compiles its own.
test-m32:
	cmake -S . -B $(M32_DIR) -DCMAKE_BUILD_TYPE=Release -DCORVANE_M32=ON -DCORVANE_BUNDLED_GTEST=ON \
	    -DCORVANE_TEST_LEVEL=light -DCORVANE_WERROR=$(WERROR)
	cmake --build $(M32_DIR) -j $(JOBS)
	cd $(M32_DIR) && $(CTEST)

# Coverage-guided fuzzing (clang's libFuzzer, with AddressSanitizer and
# UBSan): each target runs FUZZ_SECONDS and any finding fails the run.
FUZZ_DIR := build/fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= fen position go setoption commands book syzygy network

.PHONY: fuzz
fuzz:
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DCORVANE_FUZZ=ON \
	    -DCORVANE_TESTS=OFF -DCORVANE_WERROR=$(WERROR)
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

install: release
	install -d $(DESTDIR)$(PREFIX)/bin
	install -m 755 $(RELEASE_DIR)/corvane $(RELEASE_DIR)/corvane-bench $(DESTDIR)$(PREFIX)/bin/

clean:
	rm -rf build

# Windows: corvane.exe and corvane-bench.exe cross-built with MinGW-w64 and
# linked statically (no runtime DLLs), 64-bit in build/win64 and 32-bit in
# build/win32. `make test-windows` runs the 64-bit build under Wine through
# the native end-to-end tests, which it builds in build/test.
WIN64_DIR := build/win64
WIN32_DIR := build/win32
WINE ?= /usr/lib/wine/wine64

.PHONY: windows test-windows

windows:
	cmake -S . -B $(WIN64_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
	    -DCORVANE_TESTS=OFF -DCORVANE_WERROR=$(WERROR)
	cmake --build $(WIN64_DIR) -j $(JOBS)
	cmake -S . -B $(WIN32_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DCMAKE_BUILD_TYPE=Release \
	    -DCORVANE_TESTS=OFF -DCORVANE_WERROR=$(WERROR)
	cmake --build $(WIN32_DIR) -j $(JOBS)

test-windows: windows
	cmake --build $(WIN64_DIR) --target corvane-pipe-host -j $(JOBS)
	cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=ON -DCORVANE_WERROR=$(WERROR)
	cmake --build $(TEST_DIR) --target corvane_tests -j $(JOBS)
	WINE=$(WINE) tests/windows/run_under_wine.sh $(WIN64_DIR) $(TEST_DIR)/tests/corvane_tests tests/data

# Release files in dist/, built from the committed tree (HEAD): `make dist`
# the Linux and Windows archives, the Debian package and SHA256SUMS over all
# four (reproducible: the same commit gives the same bytes), `make deb` the
# package alone. The version is the one in CMakeLists.txt.
.PHONY: dist deb
dist:
	JOBS=$(JOBS) WERROR=$(WERROR) packaging/dist.sh

deb:
	JOBS=$(JOBS) WERROR=$(WERROR) packaging/deb.sh
