# The two set-up commands of the README: `make run` and `make test`.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD ?= build
TEST_BUILD ?= build-test
# The CI sets WERROR=ON so that no warning comes back; a user's build is never
# stopped by a newer compiler's warning.
WERROR ?= OFF

# The program's build holds the program, its script and font links and the
# user tools; the tests have their own build, the benchmarks are built on demand.
RUN_CONFIG = -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREVEV_TESTS=OFF -DREVEV_WERROR=$(WERROR)
TEST_CONFIG = -DCMAKE_BUILD_TYPE=Debug -DREVEV_SANITIZE=ON -DREVEV_TESTS=ON -DREVEV_BENCH=OFF \
	-DREVEV_WERROR=$(WERROR)

.PHONY: run test deps configure build build-test bench fuzz clean

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(RUN_CONFIG) -DREVEV_BENCH=OFF >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	cd $(BUILD) && ./revev

# Tests run in a build with AddressSanitizer and UBSan.
build-test: deps
	@cmake -S . -B $(TEST_BUILD) $(TEST_CONFIG) >/dev/null
	@cmake --build $(TEST_BUILD) -j$(JOBS)

test: build-test
	cd $(TEST_BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 300

bench: deps
	@cmake -S . -B $(BUILD) $(RUN_CONFIG) -DREVEV_BENCH=ON >/dev/null
	@cmake --build $(BUILD) --target benches -j$(JOBS)
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREVEV_FUZZ=ON -DREVEV_BENCH=OFF >/dev/null
	@cmake --build build-fuzz --target fuzz_targets -j$(JOBS)

clean:
	rm -rf $(BUILD) $(TEST_BUILD) build-fuzz
