# The two set-up commands: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
DATA_DIR ?=

.PHONY: all deps build run test bench format clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: deps $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) -j $(JOBS)

# Starts the editor (the sample site is in a new app folder), prints its address and opens the
# browser where there is a desktop. `vellumite sites` still lists the sites.
run: build
	$(BUILD)/vellumite $(if $(DATA_DIR),--data-dir $(DATA_DIR)) $(RUN_ARGS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

bench: build
	bench/run $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
