# make run   installs what is missing, builds into build/ and starts the panel
# make test  installs what is missing, builds into build/ and runs every test
# make fuzz  builds the fuzz targets with clang and runs each for FUZZ_SECONDS
# make tidy  builds into build/ and runs clang-tidy over the program's sources

BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build run test fuzz tidy bench format clean

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) > $(BUILD).configure.log 2>&1 || (cat $(BUILD).configure.log; exit 1)

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run-panel $(BUILD)/app/ventiro

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

fuzz: deps
	@bash scripts/fuzz $(FUZZ_SECONDS)

tidy: build
	@bash scripts/tidy $(BUILD)

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; "$$b" || exit 1; done

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD).configure.log
