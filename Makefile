# Everyday commands: make test, make run, make demo, make bench-transfer, make bench-listing,
# make bench-trace, make bench-window, make bench-close, make bench-settings, make bench-tls,
# make bench-queue.
BUILD ?= build
JOBS ?= 2
# Warnings are errors on CI (which sets CI) or when asked: make test WERROR=ON.
WERROR ?= $(if $(CI),ON,OFF)

.PHONY: deps configure build test run demo bench-transfer bench-listing bench-trace bench-window bench-close bench-settings \
	bench-tls bench-queue clean \
	install package

deps:
	@bash scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_WERROR=$(WERROR) >/dev/null

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

bench-close: build
	@$(BUILD)/bench/bench_close

bench-settings: build
	@$(BUILD)/bench/bench_settings_rescue

bench-tls: build
	@$(BUILD)/bench/bench_tls

bench-queue: build
	@$(BUILD)/bench/bench_queue

clean:
	@rm -rf $(BUILD)

# make install [PREFIX=/usr/local] [DESTDIR=...]: the program, desktop entry, icons, metadata.
PREFIX ?= /usr/local
install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

# make package: a .deb in $(BUILD) (CPack), for Debian 12 with its Qt 6 runtime packages.
package: build
	@cd $(BUILD) && cpack -G DEB

# Guards run on demand, never by `make test`: fuzzing and the sanitizer runs, each in a build
# directory of its own. Run them niced on a shared machine: nice -n 10 make fuzz
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := fuzz_listing fuzz_reply fuzz_passive fuzz_ipv4 fuzz_site_text fuzz_settings_record
FUZZ_FLAGS := -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
ASAN_BUILD ?= build-asan
ASAN_FLAGS := -g -O1 -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all
TSAN_BUILD ?= build-tsan
TSAN_FLAGS := -g -O1 -fsanitize=thread
SANITIZER_ENV := ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

.PHONY: fuzz-build fuzz test-asan test-tsan

fuzz-build: deps
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
	  -DTARN_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j$(JOBS) --target tarn_fuzz_targets

fuzz: fuzz-build
	@bash scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="$(ASAN_FLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
	@cmake --build $(ASAN_BUILD) -j$(JOBS)
	@cd $(ASAN_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure -j$(JOBS)

test-tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="$(TSAN_FLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
	@cmake --build $(TSAN_BUILD) -j$(JOBS) --target net_tests protocol_tests queue_tests
	@cd $(TSAN_BUILD)/tests && $(SANITIZER_ENV) ./net_tests && $(SANITIZER_ENV) ./protocol_tests \
	  && $(SANITIZER_ENV) ./queue_tests
