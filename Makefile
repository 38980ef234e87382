# The two commands of the README.
#   make demo   set up, build, and run the service with a simulated phone and a client
#   make check  set up, build both targets, and run every test under Wine
SHELL := /bin/bash
JOBS ?= $(shell nproc)
X64 := build/x64
X86 := build/x86

.PHONY: setup build build-x64 build-x86 check demo bench clean

setup:
	@tools/setup

$(X64)/CMakeCache.txt: | setup
	cmake -S . -B $(X64) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

$(X86)/CMakeCache.txt: | setup
	cmake -S . -B $(X86) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDIALIX_TESTS=OFF >/dev/null

build-x64: setup $(X64)/CMakeCache.txt
	cmake --build $(X64) -j $(JOBS)

build-x86: setup $(X86)/CMakeCache.txt
	cmake --build $(X86) -j $(JOBS)

build: build-x64 build-x86

check: build
	tools/run-tests $(X64)

# The demo drives most programs of the tree (service, windows, tray, installer,
# simulated phone and its test programs), so it builds the whole 64-bit tree;
# the build's output is shown only when the build fails.
demo: setup $(X64)/CMakeCache.txt
	@cmake $(X64) >/dev/null
	@echo "== Building the 64-bit tree (its output: $(X64)/demo-build.log)"
	@cmake --build $(X64) -j $(JOBS) >$(X64)/demo-build.log 2>&1 || { cat $(X64)/demo-build.log; exit 1; }
	@tools/demo $(X64)

bench: build-x64
	tools/bench $(X64)

clean:
	rm -rf $(X64) $(X86)
