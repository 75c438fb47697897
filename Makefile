# The user's entry point.  `make test` builds (Release) and runs the whole
# suite; `make asan` does the same under address and undefined-behaviour
# sanitizers in its own build directory; `make fuzz` builds the libFuzzer
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

.PHONY: all build test asan fuzz clean

all: build

build:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DXMLPARSER_WERROR=$(WERROR) $(CMAKE_ARGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

asan:
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DXMLPARSER_WERROR=$(WERROR) \
	  -DCMAKE_CXX_FLAGS="$(SANITIZE)" -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE)" \
	  -DCMAKE_SHARED_LINKER_FLAGS="$(SANITIZE)" $(CMAKE_ARGS)
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

fuzz:
	$(MAKE) -C fuzz -j $(JOBS) all OUT=$(abspath $(FUZZ_DIR))
	$(MAKE) -C fuzz run OUT=$(abspath $(FUZZ_DIR)) FUZZ_SECONDS=$(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR)
