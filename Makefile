# Kestrava: the commands of README.md.
PRESET ?= dev
JOBS ?= $(shell nproc)

.PHONY: deps run build test asan-test fuzz demo bench clean format

deps:
	bash scripts/install-deps

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS)

run: build
	./build/$(PRESET)/bin/Kestrava

test: deps
	cmake --preset ci
	cmake --build --preset ci -j $(JOBS)
	ctest --preset ci -j $(JOBS)

asan-test: export ASAN_OPTIONS = verify_asan_link_order=0:detect_leaks=1
asan-test: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# libFuzzer targets (clang, apart from the main build), each run FUZZ_SECONDS.
FUZZ_SECONDS ?= 30
fuzz: deps
	cmake -S fuzz -B build/fuzzers -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build build/fuzzers -j $(JOBS)
	bash fuzz/run-fuzzers $(FUZZ_SECONDS) build/fuzzers

demo: build
	cmake --build --preset $(PRESET) --target virtual-ups -j $(JOBS)
	sh tools/virtual-ups/demo.sh build/$(PRESET)

# Benchmarks: each program prints its figures (docs/PERFORMANCE.md says what they mean).
bench: deps
	cmake --preset ci
	cmake --build --preset ci --target bench -j $(JOBS)

clean:
	rm -rf build

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i
