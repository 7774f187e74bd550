# make run   installs what is missing, builds into build/ and starts the panel
# make test  installs what is missing, builds into build/ and runs every test
# make test-shuffle  the same, each test program running its tests SHUFFLE_REPEAT times (3), in a
#            new random order each time: a test that needs another one to run first shows up here
# make test-alone  the same, each test of each program alone in a process of its own: a test that
#            needs another one to run first, or crashes when it runs first, shows up here
# make fuzz  builds the fuzz targets with clang and runs each for FUZZ_SECONDS
# make package  builds the Debian package $(BUILD)/ventiro_<version>_<arch>.deb
# make tidy  builds into build/ and runs clang-tidy over the program's sources
# make windows-zip  builds the Windows Qt once (scripts/build-windows-qt, about 37 minutes on 2 cores) and the
#            portable $(WINDOWS_BUILD)/ventiro-<version>-win64.zip

BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60
SHUFFLE_REPEAT ?= 3
WINDOWS_BUILD ?= build-windows-panel

.PHONY: all deps test-deps configure build run test test-shuffle test-alone package fuzz tidy bench format clean windows-zip

all: build

# No "Entering directory" lines from the build's own makefiles.
MAKEFLAGS += --no-print-directory

deps:
	@bash scripts/install-deps

test-deps:
	@bash scripts/install-deps --test

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) > $(BUILD).configure.log 2>&1 || (cat $(BUILD).configure.log; exit 1)

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Only the program, its progress in a log: a short output, the log shown when the build fails.
run: configure
	@echo "building $(BUILD)/app/ventiro (log: $(BUILD).build.log)"
	@cmake --build $(BUILD) --target ventiro -j $(JOBS) > $(BUILD).build.log 2>&1 || (tail -40 $(BUILD).build.log; exit 1)
	@bash scripts/run-panel $(BUILD)/app/ventiro

test: test-deps
	@$(MAKE) build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# GoogleTest reads GTEST_SHUFFLE and GTEST_REPEAT from the environment.
test-shuffle: test-deps
	@$(MAKE) build
	@cd $(BUILD) && GTEST_SHUFFLE=1 GTEST_REPEAT=$(SHUFFLE_REPEAT) ctest --output-on-failure -j $(JOBS)

test-alone: test-deps
	@$(MAKE) build
	@bash scripts/test-each-alone $(BUILD)

package: build
	@cpack -G DEB --config $(BUILD)/CPackConfig.cmake -B $(BUILD) > $(BUILD).package.log 2>&1 || (cat $(BUILD).package.log; exit 1)
	@ls $(BUILD)/ventiro_*.deb

fuzz: test-deps
	@bash scripts/fuzz $(FUZZ_SECONDS)

windows-zip:
	@bash scripts/install-deps --ci
	@qt="$$(bash scripts/build-windows-qt)" && \
	cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE="$$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
	    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$$PWD/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
	    -DVENTIRO_BENCH=OFF $(CMAKE_FLAGS) > $(WINDOWS_BUILD).configure.log 2>&1 || (cat $(WINDOWS_BUILD).configure.log; exit 1)
	@cmake --build $(WINDOWS_BUILD) --target ventiro_windows_zip -j $(JOBS)
	@ls $(WINDOWS_BUILD)/ventiro-*-win64.zip

tidy: build
	@bash scripts/tidy $(BUILD)

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; "$$b" || exit 1; done

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD).configure.log $(BUILD).build.log $(BUILD).package.log
