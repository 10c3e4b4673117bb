# Everyday commands: make test, make run, make bench-transfer, make bench-listing.
BUILD ?= build
JOBS ?= 2

.PHONY: deps configure build test run bench-transfer bench-listing bench-trace clean

deps:
	@bash scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
	  echo "No display found. Start a virtual one first:"; \
	  echo "  Xvfb :99 & export DISPLAY=:99; make run"; \
	  command -v Xvfb >/dev/null || echo "(Xvfb is in the Debian package xvfb: sudo apt-get install xvfb)"; \
	  exit 1; \
	fi
	@$(BUILD)/tarn

bench-transfer: build
	@$(BUILD)/bench/bench_transfer

bench-listing: build
	@$(BUILD)/bench/bench_listing

bench-trace: build
	@$(BUILD)/bench/bench_trace

clean:
	@rm -rf $(BUILD)
