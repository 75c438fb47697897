# The user's entry point.  `make test` builds (Release) and runs the whole
# suite; `make asan` does the same under address and undefined-behaviour
# sanitizers in its own build directory, `make tsan` under the thread
# sanitizer in another; `make fuzz` builds the libFuzzer
# targets with clang (fuzz/Makefile, in build-fuzz) and runs each for
# FUZZ_SECONDS seconds.
BUILD_DIR ?= build
ASAN_DIR  ?= build-asan
FUZZ_DIR  ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
WERROR    ?= OFF
CMAKE_ARGS ?=

SANITIZE := -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer

PREFIX    ?= /usr/local

.PHONY: all build run test asan tsan fuzz install install-test clean

all: build

build:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DXMLPARSER_WERROR=$(WERROR) $(CMAKE_ARGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Try the library in one command: format the sample document, then measure it.
# The build's log goes to a file and is shown only when the build fails.
run:
	@mkdir -p $(BUILD_DIR)
	@echo "building (log: $(BUILD_DIR)/run-build.log)"
	@$(MAKE) --no-print-directory build > $(BUILD_DIR)/run-build.log 2>&1 || \
	  { cat $(BUILD_DIR)/run-build.log; exit 1; }
	@echo '$$ xmltool format examples/sample.xml'
	@$(BUILD_DIR)/xmltool format examples/sample.xml
	@echo '$$ xmltool stats examples/sample.xml'
	@$(BUILD_DIR)/xmltool stats examples/sample.xml

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

asan:
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DXMLPARSER_WERROR=$(WERROR) \
	  -DCMAKE_CXX_FLAGS="$(SANITIZE)" -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE)" \
	  -DCMAKE_SHARED_LINKER_FLAGS="$(SANITIZE)" $(CMAKE_ARGS)
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# `make tsan`: the suite under the thread sanitizer, in its own build
# directory; the thread tests (Threads.*) are what it is for.  The cases of a
# million levels or of hundreds of megabytes take minutes or run out of
# memory there: they are left to `make test` and `make asan`.
TSAN_DIR  ?= build-tsan
TSAN := -fsanitize=thread -fno-omit-frame-pointer
TSAN_TESTS ?= -E 'Million|Hundred|LongRunOfComments|DeepChain|IntMax|LargeText|xmltool'

tsan:
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DXMLPARSER_WERROR=$(WERROR) \
	  -DCMAKE_CXX_FLAGS="$(TSAN)" -DCMAKE_EXE_LINKER_FLAGS="$(TSAN)" \
	  -DCMAKE_SHARED_LINKER_FLAGS="$(TSAN)" $(CMAKE_ARGS)
	cmake --build $(TSAN_DIR) -j $(JOBS)
	cd $(TSAN_DIR) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) $(TSAN_TESTS)

fuzz:
	$(MAKE) -C fuzz -j $(JOBS) all OUT=$(abspath $(FUZZ_DIR))
	$(MAKE) -C fuzz run OUT=$(abspath $(FUZZ_DIR)) FUZZ_SECONDS=$(FUZZ_SECONDS)

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# Installs into a temporary prefix and builds a consumer project against it.
install-test: build
	tests/install/install_test.sh $(BUILD_DIR)

# `make amalgamate`: the drop-in form, dist/xmlParser.h (C++11) and
# dist/xmlParser.cpp (C++17), generated from the sources.  Names that two
# source files keep local would meet in its one translation unit: each is
# reported and renamed within its own file's part (AMALGAMATE_ARGS=--strict
# fails instead).
DIST_DIR ?= dist
AMALGAMATE_ARGS ?=

.PHONY: amalgamate
amalgamate:
	python3 scripts/amalgamate.py --out $(DIST_DIR) $(AMALGAMATE_ARGS)

# `make docs`: the HTML API reference of the public header, with Doxygen
# (Debian's package, installed when missing), in $(DOCS_DIR)/html.  A public
# declaration without its comment fails the build.
DOCS_DIR ?= $(BUILD_DIR)/docs

.PHONY: docs
docs:
	@if ! command -v doxygen >/dev/null 2>&1; then \
	  sudo=""; [ "$$(id -u)" = 0 ] || sudo="sudo"; \
	  echo "installing: doxygen"; \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -q --no-install-recommends doxygen; \
	fi
	mkdir -p $(DOCS_DIR)
	{ cat docs/Doxyfile; echo "OUTPUT_DIRECTORY = $(DOCS_DIR)"; \
	  echo "PROJECT_NUMBER = $$(sed -n 's/^.define XMLPARSER_VERSION_[A-Z]* \([0-9]*\)$$/\1/p' include/xmlParser.h | paste -sd.)"; \
	} | doxygen -
	@echo "API reference: $(DOCS_DIR)/html/index.html"

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(TSAN_DIR) $(FUZZ_DIR) $(CLANG_DIR)

# `make bench`: installs the libraries compared with (Debian packages, only
# those missing), builds the benchmark in Release, writes the corpus to
# bench/corpus and runs the comparison.
BENCH_DIR   ?= build-bench
BENCH_MB    ?= 20
BENCH_RUNS  ?= 7
BENCH_PEERS := libpugixml-dev libtinyxml2-dev librapidxml-dev libxml2-dev libexpat1-dev

.PHONY: bench bench-peers

bench-peers:
	@missing=""; \
	for p in $(BENCH_PEERS); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  if command -v apt-get >/dev/null 2>&1; then \
	    sudo=""; [ "$$(id -u)" = 0 ] || sudo="sudo"; \
	    echo "installing:$$missing"; \
	    DEBIAN_FRONTEND=noninteractive $$sudo apt-get update -q && \
	    DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -q $$missing || \
	      echo "could not install:$$missing (left out of the comparison)"; \
	  else echo "no apt-get: missing$$missing are left out of the comparison"; fi; \
	fi

bench: bench-peers
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DXMLPARSER_BUILD_BENCH=ON \
	  -DXMLPARSER_BUILD_TESTS=OFF -DXMLPARSER_WERROR=$(WERROR) $(CMAKE_ARGS)
	cmake --build $(BENCH_DIR) -j $(JOBS) --target xml_bench xml_corpus
	mkdir -p bench/corpus
	$(BENCH_DIR)/bench/xml_corpus bench/corpus $(BENCH_MB)
	$(BENCH_DIR)/bench/xml_bench --runs $(BENCH_RUNS) bench/corpus

# `make format` rewrites the C++ sources in the project's style
# (.clang-format); `make format-check` changes nothing and fails when a file
# differs from that style.  FORMAT_PATHS narrows both to some directories.
# clang-format is installed (Debian package) when missing.
FORMAT_PATHS ?= .
FORMAT_FILES = $(shell git ls-files -- $(FORMAT_PATHS) | grep -E '\.(cpp|h)$$')

.PHONY: format format-check clang-format-dep

clang-format-dep:
	@command -v clang-format >/dev/null 2>&1 || { \
	  sudo=""; [ "$$(id -u)" = 0 ] || sudo="sudo"; echo "installing clang-format"; \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -q clang-format; }

format: clang-format-dep
	clang-format -i $(FORMAT_FILES)

format-check: clang-format-dep
	clang-format --dry-run --Werror $(FORMAT_FILES)

# `make clang`: the whole suite built with clang++ and the stricter warnings
# (XMLPARSER_STRICT_WARNINGS), warnings as errors, in its own build
# directory.  clang is installed (Debian package) when missing.
CLANG_DIR ?= build-clang

.PHONY: clang

clang:
	@command -v clang++ >/dev/null 2>&1 || { \
	  sudo=""; [ "$$(id -u)" = 0 ] || sudo="sudo"; echo "installing clang"; \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get install -y -q clang; }
	cmake -S . -B $(CLANG_DIR) -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ \
	  -DXMLPARSER_WERROR=ON -DXMLPARSER_STRICT_WARNINGS=ON $(CMAKE_ARGS)
	cmake --build $(CLANG_DIR) -j $(JOBS)
	cd $(CLANG_DIR) && ctest --output-on-failure -j $(JOBS)
