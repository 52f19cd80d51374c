# Thin wrappers over the CMake presets.  `make demo` and `make test` work on
# a fresh machine: they install missing build packages first.
.PHONY: demo test asan clang deps clean

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

clean:
	rm -rf build
