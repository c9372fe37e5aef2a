# The two set-up commands of the README: `make run` and `make test`.
JOBS ?= 2
BUILD ?= build
TEST_BUILD ?= build-test

.PHONY: run test deps build build-test bench fuzz clean

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	cd $(BUILD) && ./revev

# Tests run in a build with AddressSanitizer and UBSan.
build-test: deps
	@cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DREVEV_SANITIZE=ON -DREVEV_BENCH=OFF >/dev/null
	@cmake --build $(TEST_BUILD) -j$(JOBS)

test: build-test
	cd $(TEST_BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 300

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREVEV_FUZZ=ON -DREVEV_BENCH=OFF >/dev/null
	@cmake --build build-fuzz --target fuzz_targets -j$(JOBS)

clean:
	rm -rf $(BUILD) $(TEST_BUILD) build-fuzz
