# Everyday commands: make test, make run, make demo, make bench-transfer, make bench-listing,
# make bench-trace, make bench-window.
BUILD ?= build
JOBS ?= 2

.PHONY: deps configure build test run demo bench-transfer bench-listing bench-trace bench-window clean

deps:
	@bash scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# Stops with a hint when there is no display to show the window on; $(1) is the make target.
define require_display
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
	  echo "No display found. Start a virtual one first:"; \
	  echo "  Xvfb :99 & export DISPLAY=:99; make $(1)"; \
	  command -v Xvfb >/dev/null || echo "(Xvfb is in the Debian package xvfb: sudo apt-get install xvfb)"; \
	  exit 1; \
	fi
endef

run: build
	$(call require_display,run)
	@$(BUILD)/tarn

demo: build
	$(call require_display,demo)
	@python3 scripts/demo --build $(BUILD)

bench-transfer: build
	@$(BUILD)/bench/bench_transfer

bench-listing: build
	@$(BUILD)/bench/bench_listing

bench-trace: build
	@$(BUILD)/bench/bench_trace

bench-window: build
	@$(BUILD)/bench/bench_window

clean:
	@rm -rf $(BUILD)
