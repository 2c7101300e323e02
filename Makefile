# The two set-up commands: `make run` and `make check`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= 2
FUZZ_SECONDS ?= 60
CMAKE_FLAGS ?=

.PHONY: run check deps build asan fuzz bench deb clean

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD) && ./zelvo

# Every test; those that need a display start their own Xvfb.
check: build asan
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The display-free tests once more, under AddressSanitizer and UBSan.
asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DZELVO_PURE_ONLY=ON -DZELVO_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# Each fuzz target for FUZZ_SECONDS (e.g. make fuzz FUZZ_SECONDS=900).
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DZELVO_PURE_ONLY=ON -DZELVO_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: build
	scripts/run-benchmarks $(BUILD)

# The Debian package installs under /usr; the build is configured to match.
deb: CMAKE_FLAGS += -DCMAKE_INSTALL_PREFIX=/usr
deb: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
