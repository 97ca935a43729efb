# ORV Telephone: the commands a developer needs.
#   make test   install missing packages, build with sanitizers, run all tests
#   make bench  optimised build, run the benchmarks
#   make run    build and start the program (the headless node orvd for now)
.PHONY: deps test bench run clean

DEBUG_DIR   := build/debug
RELEASE_DIR := build/release
RUN_DIR     := build/run
JOBS        := -j2

deps:
	@bash scripts/install-deps.sh

test: deps
	cmake -S . -B $(DEBUG_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORV_SANITIZE=ON
	cmake --build $(DEBUG_DIR) $(JOBS)
	ctest --test-dir $(DEBUG_DIR) --output-on-failure $(JOBS)

bench: deps
	cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DORV_BENCH=ON
	cmake --build $(RELEASE_DIR) $(JOBS)
	@set -e; for b in $(RELEASE_DIR)/bench/bench_*; do echo "== $$b"; $$b; done

# Starts the headless node; pass its options with ARGS="--profile DIR ...".
run: deps
	cmake -S . -B $(RUN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(RUN_DIR) $(JOBS) --target orvd
	$(RUN_DIR)/src/orvd $(ARGS)

clean:
	rm -rf build
