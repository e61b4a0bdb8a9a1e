# The two commands a newcomer needs: `make run` and `make test`.
# Both install what is missing first (scripts/install-deps.sh), then build with CMake and Ninja.

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all deps configure build test run demo screenshots test-asan install format format-check clean crash-loop

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# dlgtool's in-place saves killed at random moments: 100 rounds by rename, 100 on a hard-linked file
# written in place, then export --update, recode, merge and voscript replacing their files (some
# twenty minutes; not in `make test`). CRASH_ROUNDS=5 CRASH_PHASES="merge recode" for a few.
crash-loop: build
	@tests/crash_loop.sh $(BUILD) "$(CRASH_ROUNDS)" "$(CRASH_PHASES)"

# A 100 000-line script in git: history size and merge time, .dlg against --store-text against
# plain text, side by side (bench/git_store_text.sh; some minutes; not in `make test`).
.PHONY: bench-git
bench-git: build
	@sh bench/git_store_text.sh $(BUILD) $(GIT_BENCH_LINES) $(GIT_BENCH_ROUNDS)

# The editor on the demo document, started in examples/ where its Parlatrix.ini lies.
run: build
	@cd examples && "$(abspath $(BUILD))/parlatrix" "$(CURDIR)/examples/demo.dlg"

# Rewrites examples/demo.dlg with the current writer.
demo: build
	@$(BUILD)/tools/parlatrix-make-demo examples/demo.dlg
	@$(BUILD)/tools/parlatrix-make-demo --english examples/en/demo.dlg

# The README's and the user guide's pictures, rendered on the offscreen platform (no display
# needed): the original texts in docs/screenshots/, the English interface in docs/screenshots/en/.
screenshots: build
	@mkdir -p docs/screenshots docs/screenshots/en
	@QT_QPA_PLATFORM=offscreen $(BUILD)/tools/parlatrix-screenshots "$(CURDIR)/docs/screenshots"

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer, in its own build folder.
test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPARLATRIX_SANITIZE=ON $(CMAKE_ARGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

install: build
	@cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX),)

format:
	@git ls-files '*.h' '*.cpp' | xargs clang-format -i

# clang-format --dry-run -Werror on the lines changed against a base (FORMAT_BASE; default: the
# merge base with main), as CI runs it. FORMAT_WHOLE=1 checks the changed files whole.
format-check: deps
	@bash scripts/format-check.sh $(FORMAT_BASE)

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD)

# Benchmarks (Release, in build-bench/): Save, Load, Export, Import, building by AddItem and
# ReadItem on generated scripts of 1k, 10k and 100k lines in /dev/shm, then the msgfmt peer and
# the runtime in fresh processes beside a gettext .mo at 100k and 1M lines.
# docs/performance.md holds the figures. Extra benchmark flags: make bench BENCH_ARGS=...
.PHONY: bench
bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPARLATRIX_BUILD_BENCH=ON \
	  -DPARLATRIX_BUILD_UI=OFF $(CMAKE_ARGS) >/dev/null
	@cmake --build build-bench -j $(JOBS) --target parlatrix_bench parlatrix-bench-peer dlgtool \
	  parlatrix-bench-runtime-probe
	@cd build-bench && ./bench/parlatrix_bench $(BENCH_ARGS)
	@bash bench/msgfmt_peer.sh build-bench
	@bash bench/runtime_open_peer.sh build-bench

# The windows at scale (line editor at 1k/5k/20k rows, main window with 10 000 plots, Find over
# 100 000 lines) on the offscreen platform, Release, in build-bench-ui/.
.PHONY: bench-ui
bench-ui: deps
	@cmake -S . -B build-bench-ui -G Ninja -DCMAKE_BUILD_TYPE=Release -DPARLATRIX_BUILD_BENCH=ON \
	  $(CMAKE_ARGS) >/dev/null
	@cmake --build build-bench-ui -j $(JOBS) --target parlatrix_ui_bench
	@cd build-bench-ui && QT_QPA_PLATFORM=offscreen ./bench/parlatrix_ui_bench $(BENCH_ARGS)

# libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) in build-fuzz/: each runs
# FUZZ_SECONDS seconds, FUZZ_PARALLEL at a time; new inputs and findings stay in build-fuzz/.
# docs/fuzzing.md describes the targets. The test suite replays their committed corpora.
FUZZ_SECONDS  ?= 60
FUZZ_PARALLEL ?= 1
.PHONY: fuzz
fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) FUZZ_PARALLEL=$(FUZZ_PARALLEL) FUZZ_JOBS=$(JOBS) bash fuzz/run.sh

# The runtime's concurrent lookups from 8 threads under ThreadSanitizer, in build-tsan/: only the
# runtime's sources and that test are built (tests/runtime/tsan_lookups.cpp).
.PHONY: test-tsan
test-tsan: deps
	@cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARLATRIX_BUILD_UI=OFF \
	  -DPARLATRIX_RUNTIME_TSAN=ON $(CMAKE_ARGS) >/dev/null
	@cmake --build build-tsan --target parlatrix_runtime_tsan -j $(JOBS)
	@TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/runtime/parlatrix_runtime_tsan
