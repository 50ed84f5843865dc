# ORVEL build entry points. `make` installs what is missing, configures and builds build/orvel.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
DEB_PACKAGES := cmake g++ ninja-build pkg-config libgtest-dev libsdl2-dev libpng-dev libcfitsio-dev xvfb xdotool \
                python3 clang libclang-rt-14-dev liberfa-dev \
                libcairo2-dev libpango1.0-dev fonts-dejavu-core chromium
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
CMAKE_FLAGS ?=

.PHONY: all deps build test test-plain test-sanitize test-fuzz fuzz demo bench clean

all: build

# Installs only the Debian packages that are missing; does nothing when all are present.
deps:
	@missing=""; for p in $(DEB_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

build: deps
	cmake -S . -B build -G Ninja $(CMAKE_FLAGS) >/dev/null
	cmake --build build -j $(JOBS)

build-asan/build.ninja: | deps
	cmake -S . -B build-asan -G Ninja -DORVEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null

test: test-plain test-sanitize test-fuzz

test-plain: build
	cd build && ctest --output-on-failure -j $(JOBS)

test-sanitize: build-asan/build.ninja
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# libFuzzer on the FITS reading path and the typed-line path: 30 s each in `make test`,
# FUZZ_SECONDS (default 300) each with `make fuzz`.
FUZZ_SECONDS ?= 300
test-fuzz: deps
	bash tests/fuzz/run_fuzz.sh 30

fuzz: deps
	bash tests/fuzz/run_fuzz.sh $(FUZZ_SECONDS)

# A simulated night in demo/ (made once), what to type, then the program itself.
demo: build
	@if [ ! -f demo/what-to-type.txt ]; then \
	  rm -rf demo && mkdir -p demo && \
	  ./build/orvel-simulate --out demo > demo/what-to-type.txt.tmp && \
	  mv demo/what-to-type.txt.tmp demo/what-to-type.txt; \
	fi
	@echo; cat demo/what-to-type.txt; echo
	cd demo && ../build/orvel

# Speed and memory against baselines measured in the same run (writes about 7 GB of frames
# under build/bench-data the first time).
bench: build
	python3 bench/run_bench.py build

clean:
	rm -rf build build-asan
