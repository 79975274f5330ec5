# The two commands that do everything on a fresh Debian 12 machine:
#   make run    installs what is missing, builds and starts Kelvora
#   make test   installs what is missing, builds and runs every test
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
JOBS       ?= 2
GENERATOR  := -G Ninja

.PHONY: all deps configure build run test test-asan bench clean

all: build

deps:
	@scripts/deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVORA_WERROR=ON >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/src/app/kelvora

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DKELVORA_SANITIZE=ON -DKELVORA_WERROR=ON -DKELVORA_BENCH=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# The whole suite on the full data (about 10 minutes on 2 cores). Results go
# to $(BENCH_BUILD)/results as JSON, one file a binary, with the machine's
# description; bench/report.py turns them into the table of docs/performance.md.
BENCH_MIN_TIME ?= 0.2
bench: deps
	@cmake -S . -B $(BENCH_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DKELVORA_WERROR=ON -DKELVORA_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target kelvora_benchmarks
	@mkdir -p $(BENCH_BUILD)/results
	@{ echo "nproc: $$(nproc)"; lscpu | head; free -g | head -2; uptime; } > $(BENCH_BUILD)/results/machine.txt
	@cd $(BENCH_BUILD) && for b in bench/bench_*; do \
	  [ -f "$$b" ] && [ -x "$$b" ] || continue; \
	  n=$$(basename "$$b"); echo "== $$n"; \
	  QT_QPA_PLATFORM=offscreen "$$b" --benchmark_min_time=$(BENCH_MIN_TIME) \
	    --benchmark_out=results/$$n.json --benchmark_out_format=json || exit 1; \
	done
	@uptime >> $(BENCH_BUILD)/results/machine.txt
	@if command -v python3 >/dev/null; then python3 bench/report.py $(BENCH_BUILD)/results; fi

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD)

# The fuzzers of every reader of untrusted input, built with clang into their
# own directory; each runs FUZZ_SECONDS. What they find goes to
# fuzz/corpus-work/<target> (not kept in git). tests/data/<target> is read
# as seeds: its seeds/ folder holds well-formed starting inputs (written by
# build/tests/mapview/kelvora_fuzz_seeds tests/data), its fuzz/ folder the
# inputs kept as regression fixtures; make test reads both back.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 180
FUZZ_TARGETS ?= basefile filter settings metafile picture
.PHONY: fuzz fuzz-build
fuzz-build: deps
	@CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVORA_FUZZ=ON -DKELVORA_BENCH=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) $(foreach t,$(FUZZ_TARGETS),--target $(t)_fuzz)

fuzz: fuzz-build
	@set -e; for t in $(FUZZ_TARGETS); do \
	  mkdir -p fuzz/corpus-work/$$t; \
	  seeds=""; [ -d tests/data/$$t ] && seeds="tests/data/$$t"; \
	  echo "== $${t}_fuzz for $(FUZZ_SECONDS) s"; \
	  QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	    $(FUZZ_BUILD)/fuzz/$${t}_fuzz -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 \
	    -timeout=10 -print_final_stats=1 -artifact_prefix=fuzz/corpus-work/$$t- \
	    fuzz/corpus-work/$$t $$seeds; \
	done
