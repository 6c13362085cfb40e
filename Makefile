# `make run` and `make test` are all a newcomer needs on Debian 12.
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
PACKAGE_BUILD ?= build-package
PLAIN_BUILD ?= build-plain
FUZZ_SECONDS ?= 60

.PHONY: pot all deps configure programs build build-asan build-plain test test-unit test-asan test-desktop test-gnome test-kde bench-desktop bench-wayland run demo install package test-package clean fuzz

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_LINUX_DESKTOP=ON -DVELMORA_WERROR=ON >/dev/null

# Everything: the programs, the tests and the benchmarks.
build: configure
	cmake --build $(BUILD) -j$(JOBS)

# The two programs alone, so that a first `make run` does not wait for the
# tests and benchmarks (two files in five).
programs: configure
	cmake --build $(BUILD) -j$(JOBS) --target VelmoraBG velmora

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON -DVELMORA_BENCH=OFF -DVELMORA_LINUX_DESKTOP=ON -DVELMORA_WERROR=ON >/dev/null
	cmake --build $(ASAN_BUILD) -j$(JOBS)

test-unit: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j$(JOBS)

# Only the tests on a private real desktop (Xvfb, AT-SPI, D-Bus; and the
# GNOME Wayland ones, headless mutter or GNOME Shell with PipeWire).
test-desktop: build
	cd $(BUILD) && ctest --output-on-failure -L desktop

# Only the GNOME Wayland tests (part of test-desktop and test).
test-gnome: build
	cd $(BUILD) && ctest --output-on-failure -R '^gnome-(wayland|xwayland|shell-wayland)$$'

# Only the KDE Plasma Wayland tests (part of test-desktop and test).
test-kde: build
	cd $(BUILD) && ctest --output-on-failure -R '^kde-wayland(-unauthorised)?$$'

test: test-unit test-asan

# The agent's costs on a private real desktop: snap latency against a minimal
# AT-SPI listener, idle CPU and memory, start-up with 50 applications. Figures,
# not pass/fail tests, so not part of `make test`. BENCH_DIALOGS sets the
# number of dialogs each (default 24); BENCH=latency|idle|startup picks some.
bench-desktop: build
	tests/platform/linux/run-desktop-tests.sh bench/desktop/desktop-bench.py $(BUILD) $(BENCH)

# The agent's snap latency on the private X11 desktop, then on the private
# GNOME Wayland one (the same GTK 3 dialog, timed by itself), their ratio,
# and its idle CPU and memory on Wayland with 10 applications open. A figure,
# not a pass/fail test. BENCH_DIALOGS sets the number of dialogs (default 24);
# WAYLANDS picks some of mutter, gnome-shell, gnome-shell-rd, kde.
bench-wayland: build
	bench/desktop/wayland-bench.py $(BUILD) $(WAYLANDS)

# Extracts the marked strings anew into po/velmora.pot and merges them into
# each language's po file, for translators (see README, "Translations").
pot: configure
	cmake --build $(BUILD) --target pot

run: programs
	scripts/run-agent.sh $(BUILD)

demo: programs
	$(BUILD)/VelmoraBG --demo

# Each fuzz target runs for FUZZ_SECONDS; new inputs go to $(FUZZ_BUILD)/corpus.
fuzz:
	@scripts/install-deps.sh clang
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_FUZZ=ON -DVELMORA_BENCH=OFF -DVELMORA_LINUX_DESKTOP=OFF >/dev/null
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target AppcastParserFuzz VersionComparatorFuzz
	mkdir -p $(FUZZ_BUILD)/corpus/appcast $(FUZZ_BUILD)/corpus/version
	$(FUZZ_BUILD)/AppcastParserFuzz -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=10 -dict=fuzz/appcast.dict \
		$(FUZZ_BUILD)/corpus/appcast fuzz/corpus/appcast
	$(FUZZ_BUILD)/VersionComparatorFuzz -max_total_time=$(FUZZ_SECONDS) -max_len=256 -timeout=10 \
		$(FUZZ_BUILD)/corpus/version fuzz/corpus/version

install: programs
	cmake --install $(BUILD)

# The .deb: a lean Release build of the two programs only, installing under
# /usr (the paths compiled into them). -O2 as Debian builds; GCC 12's -O3
# reports false -Wrestrict warnings in libstdc++'s string code.
# PACKAGE_CMAKE_FLAGS passes more, e.g. -DCMAKE_CXX_COMPILER_LAUNCHER=ccache.
# CPack reads the programs' library needs with dpkg-shlibdeps, finding them with file.
package:
	@scripts/install-deps.sh dpkg-dev file
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" \
		-DCMAKE_INSTALL_PREFIX=/usr -DVELMORA_BENCH=OFF -DVELMORA_WERROR=ON -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON $(PACKAGE_CMAKE_FLAGS) >/dev/null
	cmake --build $(PACKAGE_BUILD) -j$(JOBS) --target VelmoraBG velmora velmora_package_files
	cd $(PACKAGE_BUILD) && cpack

# What a packager runs: a plain Release build (CMake's -O3, no project
# flags) of the two programs must compile, warnings allowed.
build-plain: deps
	cmake -S . -B $(PLAIN_BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(PLAIN_BUILD) -j$(JOBS) --target VelmoraBG velmora

# Installs the .deb system-wide, checks it, and removes it again (as root).
test-package:
	scripts/test-package.sh

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(PACKAGE_BUILD) $(PLAIN_BUILD)
