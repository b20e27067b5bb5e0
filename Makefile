# Kestrava: the commands of README.md.
PRESET ?= dev
JOBS ?= $(shell nproc)

.PHONY: deps run build test asan-test demo bench clean format

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

clean:
	rm -rf build

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i
