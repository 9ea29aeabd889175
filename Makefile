# Front door for users and CI. Each target installs what the machine lacks
# first (scripts/install-deps.sh, a no-op once everything is there).

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
WERROR ?= OFF
PREFIX ?= /usr/local
DESTDIR ?=
JOBS ?= $(shell nproc)
# zubo's home for `make run`: italist.txt, boards/, zubo.db, your ngword.txt and ng.txt.
DATA_DIR ?= data
ARGS ?= -u

.PHONY: deps build run demo test test-slow install clean

deps:
	@echo "checking the packages zubo needs (scripts/install-deps.sh)"
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DZUBO_WERROR=$(WERROR) \
	      -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Runs zubo against the live service, with its home in $(DATA_DIR).
run: build
	ZUBO_HOME=$(abspath $(DATA_DIR)) $(abspath $(BUILD_DIR))/zubo $(ARGS)

# Configures and builds the targets $(1) with the build's output in a log,
# shown only when the build fails.
BUILD_LOG = $(BUILD_DIR)/build.log
# A line as each stage starts ($(2): who speaks), so a newcomer never waits
# in silence.
define quiet_build
	@mkdir -p $(BUILD_DIR)
	@echo "$(2): configuring (log: $(BUILD_LOG))"
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DZUBO_WERROR=$(WERROR) \
	        -DCMAKE_INSTALL_PREFIX=$(PREFIX) > $(BUILD_LOG) 2>&1 || \
	 { cat $(BUILD_LOG); echo "the configuration failed (log: $(BUILD_LOG))"; exit 1; }
	@echo "$(2): building $(1)"
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target $(1) >> $(BUILD_LOG) 2>&1 || \
	 { cat $(BUILD_LOG); echo "the build failed (log: $(BUILD_LOG))"; exit 1; }
endef

# Runs zubo -u against the bundled sample board service, in a fresh
# temporary directory (scripts/demo.sh); needs no network. The build talks
# only when it fails, so the demo's banner is the first thing on screen.
demo: deps
	$(call quiet_build,zubo zubo_sample_service,make demo)
	@bash scripts/demo.sh $(BUILD_DIR)

# Every test but those that wait out a real time limit (label slow): the
# summary, a line per skipped test and the output of any failed one
# (scripts/run-tests.sh).
test: deps
	$(call quiet_build,zubo zubo_sample_service zubo_tests,make test)
	@echo "make test: running the tests"
	@bash scripts/run-tests.sh $(BUILD_DIR) -j $(JOBS) -LE slow

test-slow: deps
	$(call quiet_build,zubo zubo_sample_service zubo_tests,make test-slow)
	@echo "make test-slow: running the tests"
	@bash scripts/run-tests.sh $(BUILD_DIR) -j $(JOBS) -L slow

install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)

# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
SANITIZE_DIR ?= build-sanitize
SANITIZE_CXX ?= $(shell command -v clang++ || command -v g++)
# The collector finds live tables only through the stacks it scans. With
# detect_stack_use_after_return, ASan moves address-taken locals into fake
# frames on its own heap, which the collector never scans, so a table held
# only there could be reclaimed while its screen still uses it (the suite
# passes with it on today; nothing guarantees it stays so): keep it off
# whatever the environment says. Leak checking stays on: collected memory is
# not malloc's, so it never shows as a leak.
SANITIZE_ASAN_OPTIONS := detect_stack_use_after_return=0:detect_leaks=1:abort_on_error=1
SANITIZE_UBSAN_OPTIONS := print_stacktrace=1:halt_on_error=1

.PHONY: test-sanitize
test-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUBO_WERROR=$(WERROR) \
	      -DZUBO_SANITIZE=ON -DCMAKE_CXX_COMPILER=$(SANITIZE_CXX)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && ASAN_OPTIONS=$(SANITIZE_ASAN_OPTIONS) UBSAN_OPTIONS=$(SANITIZE_UBSAN_OPTIONS) \
	    ctest --output-on-failure -j $(JOBS) -LE slow

# libFuzzer harnesses (fuzz/). Seeds are read where they lie: fuzz/seeds
# and, when it is there, the folder of the service's real documents beside
# the project.
# New corpus entries and crash inputs stay in $(FUZZ_DIR).
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 600
FUZZ_SHORT_SECONDS ?= 20
FUZZ_HARNESSES := board_menu thread_list thread_line pager image
FUZZ_SEED_DIRS := $(abspath $(CURDIR)/../shared/fixtures/real)
# The pager reads commands, not documents: its own seeds and short inputs.
# The pictures' harness reads pictures: its own seeds (one of each format).
FUZZ_MAX_LEN = $(if $(filter pager,$(1)),4096,65536)
FUZZ_SEEDS = $(if $(filter pager image,$(1)),,$(FUZZ_SEED_DIRS) $(CURDIR)/fuzz/seeds/documents) $(CURDIR)/fuzz/seeds/$(1)

.PHONY: fuzz-build fuzz fuzz-short
fuzz-build: deps
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUBO_WERROR=$(WERROR) \
	      -DZUBO_FUZZ=ON -DZUBO_TESTS=OFF -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(addsuffix _fuzz,$(FUZZ_HARNESSES))

# Runs each harness for $(1) seconds; the first failure stops the run and
# shows the end of its log.
define run_fuzzers
	@set -e; $(foreach h,$(FUZZ_HARNESSES), \
	  mkdir -p $(FUZZ_DIR)/corpus/$(h); \
	  seeds=""; for d in $(call FUZZ_SEEDS,$(h)); do [ -d $$d ] && seeds="$$seeds $$d"; done; \
	  echo "fuzz $(h): $(1) s"; \
	  if ! $(FUZZ_DIR)/fuzz/$(h)_fuzz $(abspath $(FUZZ_DIR))/corpus/$(h) $$seeds \
	      -max_total_time=$(1) -max_len=$(call FUZZ_MAX_LEN,$(h)) -timeout=25 \
	      -artifact_prefix=$(abspath $(FUZZ_DIR))/$(h)- > $(FUZZ_DIR)/$(h).log 2>&1; then \
	    tail -n 40 $(FUZZ_DIR)/$(h).log; exit 1; \
	  fi; \
	  grep -E '^Done|^#[0-9]+.*DONE' $(FUZZ_DIR)/$(h).log | tail -n 1;)
endef

fuzz-short: fuzz-build
	$(call run_fuzzers,$(FUZZ_SHORT_SECONDS))

fuzz: fuzz-build
	$(call run_fuzzers,$(FUZZ_SECONDS))

# Times zubo on loopback and prints the table shown in the README.
BENCH_DIR ?= build-bench
BENCH_RUNS ?= 15

.PHONY: bench
bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DZUBO_WERROR=$(WERROR) -DZUBO_BENCH=ON
	cmake --build $(BENCH_DIR) -j $(JOBS) --target zubo zubo_bench
	$(BENCH_DIR)/bench/zubo_bench $(BENCH_RUNS) $(BENCH_ONLY)
