# ORV Telephone: the commands a developer needs.
#   make test   install missing packages, build with sanitizers, run all tests
#   make bench  optimised build, run the benchmarks, then the link figures
#               (two orvd nodes through the impairing relay; LINK_TRIALS=,
#               LINK_FILE_MB= make it shorter)
#   make run    build and start the program (the desktop app orv; orvd is the headless node)
#   make screenshots  pictures of orv's windows in build/screenshots (two users on a virtual display)
#   make package  optimised build, then the Debian package in build/release
#   make soak   two orvd nodes on a lossy link for SOAK_SECONDS (default 600)
.PHONY: deps test bench run screenshots package soak clean

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
	bash bench/link_figures.sh $(RELEASE_DIR)/src/orvd $(RELEASE_DIR)/tests/orv_impair_relay

# Starts the desktop program; pass its options with ARGS="--profile DIR".
# Without a display it says so and how to start the headless node, which
# is built beside it: build/run/src/orvd.
run: deps
	cmake -S . -B $(RUN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(RUN_DIR) $(JOBS) --target orv orvd
	$(RUN_DIR)/src/gui/orv $(ARGS)

# Two orv users on a virtual X display chat, call and send files; every
# window is captured in each state. Needs packages of its own, which `make
# test` does not.
SHOTS_DIR   := build/screenshots
screenshots: deps
	@bash scripts/install-deps.sh screenshots
	cmake -S . -B $(RUN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(RUN_DIR) $(JOBS) --target orv orvd
	bash scripts/screenshots.sh $(RUN_DIR) $(SHOTS_DIR)

# The Debian package orv_<version>_<arch>.deb of an optimised build: orv,
# orvd, the desktop entry, icons, metainfo and the systemd unit.
package: deps
	cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(RELEASE_DIR) $(JOBS) --target orv orvd
	cd $(RELEASE_DIR) && cpack -G DEB

# Two orvd nodes through the impairing relay at 2 % loss: a chat line every
# 100 ms and a 1 MB file every 10 s; fails on a missing, repeated or
# reordered line, a damaged file or memory that grows by more than 20 %.
# `make soak SOAK_SECONDS=120` is a short run for CI.
SOAK_SECONDS ?= 600
soak: deps
	cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(RELEASE_DIR) $(JOBS) --target orvd orv_impair_relay
	bash tests/soak/soak.sh $(RELEASE_DIR)/src/orvd $(RELEASE_DIR)/tests/orv_impair_relay $(SOAK_SECONDS)

clean:
	rm -rf build
