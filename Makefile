# Corvane: `make run` builds an optimised engine and starts it; `make test`
# builds and runs every test.
PREFIX ?= /usr/local
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
RELEASE_DIR := build/release
TEST_DIR := build/test

.PHONY: all release run test install clean

all: release

release:
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF
	cmake --build $(RELEASE_DIR) -j $(JOBS)

run: release
	./$(RELEASE_DIR)/corvane

test:
	cmake -S . -B $(TEST_DIR) -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=ON
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)

install: release
	install -d $(DESTDIR)$(PREFIX)/bin
	install -m 755 $(RELEASE_DIR)/corvane $(RELEASE_DIR)/corvane-bench $(DESTDIR)$(PREFIX)/bin/

clean:
	rm -rf build
