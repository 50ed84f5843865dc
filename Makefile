# ORVEL build entry points. `make` installs what is missing, configures and builds build/orvel
# and build/orvel-simulate; `make test` adds what the tests need and builds and runs them.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
# What the program needs to build and run (the man pages come from help2man).
BUILD_PACKAGES := cmake g++ ninja-build pkg-config libsdl2-dev libpng-dev zlib1g-dev libcfitsio-dev liberfa-dev \
                  libcairo2-dev libpango1.0-dev fonts-dejavu-core help2man
# Everything `make test` needs: the above and the test tools.
DEB_PACKAGES := $(BUILD_PACKAGES) libgtest-dev xvfb xdotool python3 clang libclang-rt-14-dev man-db \
                chromium python3-astropy python3-photutils
# `make deb` finds the libraries the package depends on; `make bench` compares with numpy.
PACKAGE_PACKAGES := $(BUILD_PACKAGES) dpkg-dev
BENCH_PACKAGES := $(BUILD_PACKAGES) python3 python3-numpy libcfitsio-bin
# `make check-arm64` compiles every source for arm64 with Debian's cross compiler (which brings
# the arm64 C and C++ library headers) and this machine's library headers.
ARM64_PACKAGES := $(BUILD_PACKAGES) g++-aarch64-linux-gnu
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
CMAKE_FLAGS ?=
# The build folder of `make`, `make install` and `make deb`.
BUILD_DIR ?= build
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: all deps deps-test deps-package deps-bench deps-arm64 configure build test test-plain \
        test-sanitize test-fuzz portable-test check-arm64 fuzz demo bench install uninstall deb clean

all: build

# Installs only the Debian packages of the list that are missing; nothing when all are present.
install_missing = @missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

deps:
	$(call install_missing,$(BUILD_PACKAGES))

deps-test:
	$(call install_missing,$(DEB_PACKAGES))

deps-package:
	$(call install_missing,$(PACKAGE_PACKAGES))

deps-bench:
	$(call install_missing,$(BENCH_PACKAGES))

deps-arm64:
	$(call install_missing,$(ARM64_PACKAGES))

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS) >/dev/null

# The program, the simulator and their man pages only.
build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

build-asan/build.ninja: | deps-test
	cmake -S . -B build-asan -G Ninja -DORVEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null

test: test-plain test-sanitize test-fuzz check-arm64 portable-test

# Configured again after deps-test, so that GoogleTest and the display tools are found.
test-plain: deps-test build
	cmake -S . -B build -G Ninja $(CMAKE_FLAGS) >/dev/null
	cmake --build build -j $(JOBS) --target all orvel_tests
	cd build && ctest --output-on-failure -j $(JOBS)

test-sanitize: build-asan/build.ninja
	cmake --build build-asan -j $(JOBS) --target all orvel_tests
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizer/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The portable code alone, as processors other than x86-64 run it (-DORVEL_PORTABLE=ON): every
# unit test and the golden log over it; the slower end-to-end scripts only in test-plain.
portable-test: deps-test
	cmake -S . -B build-portable -G Ninja -DORVEL_PORTABLE=ON $(CMAKE_FLAGS) >/dev/null
	cmake --build build-portable -j $(JOBS) --target all orvel_tests
	cd build-portable && ctest --output-on-failure -R '^e2e\.golden_log$$' && \
	  ctest --output-on-failure -j $(JOBS) -E '^e2e\.'

# Every source of src/ and tools/ compiled for arm64 Linux (checked, no code made); the
# failures' messages are printed.
check-arm64: deps-arm64
	JOBS=$(JOBS) bash tools/check_arm64.sh build-arm64

# libFuzzer on the FITS reading path and the typed-line path: 30 s each in `make test`,
# FUZZ_SECONDS (default 300) each with `make fuzz`.
FUZZ_SECONDS ?= 300
test-fuzz: deps-test
	bash tests/fuzz/run_fuzz.sh 30

fuzz: deps-test
	bash tests/fuzz/run_fuzz.sh $(FUZZ_SECONDS)

# A simulated night in demo/ (made once), what to type, then the program itself on a desktop;
# without a display the same night unattended, with the star and sky the simulator printed.
demo: build
	@bash tools/run_demo.sh build demo

# Speed and memory against baselines measured in the same run (writes about 10 GB of frames
# under build/bench-data the first time).
bench: build deps-bench
	cmake --build build -j $(JOBS) --target orvel_bench
	/usr/bin/python3 bench/run_bench.py build

# The programs, their man pages, the README and the copyright file under $(DESTDIR)$(PREFIX).
# Each install adds the files it wrote, DESTDIR included, to $(BUILD_DIR)/orvel_installed.txt;
# `make uninstall` removes those files and that list. `make deb` keeps its own files in
# $(BUILD_DIR)/package, so the three work in any order. PREBUILT=1 takes $(BUILD_DIR) as built.
PREBUILT ?=
INSTALLED := $(BUILD_DIR)/orvel_installed.txt
install: $(if $(PREBUILT),,build)
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"
	sed 's|^|$(DESTDIR)|' $(BUILD_DIR)/install_manifest.txt >> $(INSTALLED)

uninstall:
	@if [ ! -f $(INSTALLED) ]; then echo "Nothing installed from $(BUILD_DIR)/"; exit 0; fi; \
	while IFS= read -r f || [ -n "$$f" ]; do rm -fv "$$f"; done < $(INSTALLED); \
	for d in $$(sed -n 's|/share/doc/orvel/.*|/share/doc/orvel|p' $(INSTALLED) | sort -u); do \
	  rmdir --ignore-fail-on-non-empty "$$d/docs" "$$d" 2>/dev/null || true; \
	done; \
	rm -f $(INSTALLED)

# A Debian package in $(BUILD_DIR)/package/: apt-get install ./build/package/orvel_*.deb. Its
# Maintainer field is ORVEL_MAINTAINER.
ORVEL_MAINTAINER ?= ORVEL developers <orvel-dev@users.noreply.github.com>
deb: $(if $(PREBUILT),,deps-package build)
	cd $(BUILD_DIR) && env -u DESTDIR cpack -G DEB -D CPACK_PACKAGE_CONTACT="$(ORVEL_MAINTAINER)"
	@for f in $(BUILD_DIR)/package/orvel_*.deb; do echo "Install with: apt-get install ./$$f"; done

clean:
	rm -rf build build-asan build-portable build-arm64
