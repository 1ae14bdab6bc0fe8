# The two set-up commands: `make run` and `make test`. Both install what is missing first.
# `make package` makes the Debian package in its own build folder.
BUILD ?= build
PACKAGE_BUILD ?= build-package
JOBS ?= $(shell nproc)
DATA_DIR ?=

.PHONY: all deps build run test bench package format clean

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

# Debian's hardening flags for the package (no -g: the programs are stripped anyway).
PACKAGE_FLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_MAINT_STRIP=-g \
	DEB_CXXFLAGS_MAINT_STRIP=-g dpkg-buildflags --get

# Installs the package tools when missing, builds the programs (Release, for /usr) without the
# tests, makes build-package/vellumite_VERSION_ARCH.deb and checks it with lintian.
package:
	@scripts/install-deps --packaging
	@cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
		-DVELLUMITE_BUILD_TESTS=OFF \
		"-DCMAKE_CXX_FLAGS=$$($(PACKAGE_FLAGS) CPPFLAGS) $$($(PACKAGE_FLAGS) CXXFLAGS)" \
		"-DCMAKE_C_FLAGS=$$($(PACKAGE_FLAGS) CPPFLAGS) $$($(PACKAGE_FLAGS) CFLAGS)" \
		"-DCMAKE_EXE_LINKER_FLAGS=$$($(PACKAGE_FLAGS) LDFLAGS)" >/dev/null
	@cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	@cd $(PACKAGE_BUILD) && cpack -G DEB
	lintian --fail-on error --info $(PACKAGE_BUILD)/vellumite_*.deb

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(PACKAGE_BUILD)
