# Convenience targets; everything is built by CMake with Ninja.
BUILD ?= build
ASAN_BUILD ?= build-asan

.PHONY: all build demo test asan-test clean

all: build

build:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)

demo: build
	cd examples && ../$(BUILD)/veldran demo.inp demo.out && cat demo.out

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j2

asan-test:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELDRAN_SANITIZE=ON >/dev/null
	cmake --build $(ASAN_BUILD)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j2

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
