# Entry points: `make run` and `make test` set up everything on a fresh Debian 12.
BUILD      := build
TEST_BUILD := build-test
JOBS       ?= $(shell nproc)

.PHONY: deps build run test bench screenshots install-desktop clean format

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@[ -e $(BUILD)/zuld.mdb ] || $(BUILD)/kelvarn-store init $(BUILD)/zuld.mdb
	$(BUILD)/kelvarn

# Unit and widget tests run sanitized; the end-to-end tests drive the Release program.
test: build
	cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKELVARN_SANITIZE=ON \
	      -DKELVARN_RELEASE_DIR=$(CURDIR)/$(BUILD)
	cmake --build $(TEST_BUILD) -j $(JOBS)
	ctest --test-dir $(TEST_BUILD) --output-on-failure

bench: build
	cmake --build $(BUILD) -j $(JOBS) --target kelvarn-bench
	bench/run.sh $(BUILD)

screenshots: build
	KELVARN_SCREENSHOTS=docs /usr/bin/python3 tests/e2e/journey.py $(BUILD)

install-desktop: build
	scripts/install-desktop.sh $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(TEST_BUILD)
