# Thin wrappers over the CMake presets.  `make demo` and `make test` work on
# a fresh machine: they install missing build packages first.
.PHONY: demo test asan clang bench deps clean fuzz coverage lint test-kernel

deps:
	@scripts/deps.sh build

demo: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default --target idprom_tool >/dev/null
	@./build/default/tools/idprom/idprom show examples/sample.bin

test: deps
	cmake --preset default
	cmake --build --preset default
	ctest --preset default

asan: deps
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

clang: deps
	cmake --preset clang
	cmake --build --preset clang
	ctest --preset clang

# The tool against the kernel's own drivers (i2c-stub, i2c-dev, at24) in
# Debian's kernel under QEMU; a few minutes.  See scripts/kernel/run.sh.
test-kernel:
	@scripts/deps.sh kernel
	cmake --preset default
	cmake --build --preset default --target idprom_tool
	scripts/kernel/run.sh

# Hardening: libFuzzer harnesses (FUZZ_SECONDS per harness), coverage of
# src/ with gcovr, clang-tidy and cppcheck.  They need the CI packages.
FUZZ_SECONDS ?= 60

fuzz:
	@scripts/deps.sh ci
	scripts/fuzz.sh $(FUZZ_SECONDS)

coverage:
	@scripts/deps.sh ci
	scripts/coverage.sh

lint:
	@scripts/deps.sh ci
	scripts/static-analysis.sh

# Benchmarks (Release, -O2) and the table of ratios; not part of `make test`.
bench:
	@scripts/deps.sh bench
	cmake --preset bench
	cmake --build --preset bench
	python3 bench/ratios.py

clean:
	rm -rf build
