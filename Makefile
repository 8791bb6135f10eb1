# The two commands a newcomer needs: `make run` and `make test`. Both install what is missing.
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
PREFIX     ?= /usr/local
DESTDIR    ?=

# Debian packages the build, the tests and the benchmarks need.
PACKAGES := cmake make g++ pkg-config git \
            qt6-base-dev libzstd-dev libxxhash-dev \
            libgtest-dev libgmock-dev libbenchmark-dev \
            xvfb xauth imagemagick clang-format clang libclang-rt-14-dev \
            zstd time desktop-file-utils libxml2-utils fp-utils

# What only `make run` needs: a viewer for the help file, and xdg-open, through which the program
# opens it, web pages and mail.
RUN_PACKAGES := xchm xdg-utils

SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)
SOURCES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null)

.PHONY: all deps deps-run install-packages build run install uninstall test test-sanitize \
        test-tsan fuzz bench format format-check clean

all: build

deps:
	@$(MAKE) --no-print-directory install-packages WANTED="$(PACKAGES)"

deps-run:
	@$(MAKE) --no-print-directory install-packages WANTED="$(RUN_PACKAGES)"

install-packages:
	@missing=""; \
	for p in $(WANTED); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_WERROR=ON $(CMAKE_ARGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# Tarnwick must run as root; a non-root user is asked for the password by sudo.
run: build deps-run
	@if [ "$$(id -u)" -eq 0 ]; then $(BUILD)/bin/tarnwick; \
	else sudo --preserve-env=DISPLAY,XAUTHORITY,WAYLAND_DISPLAY $(BUILD)/bin/tarnwick; fi

# Installs into PREFIX (under DESTDIR when set) what the program needs and nothing else; the list
# of installed files is kept in $(BUILD)/install_manifest.txt for uninstall.
INSTALL_SUDO = $(if $(DESTDIR),,$(SUDO))

install: deps $(BUILD)/CMakeCache.txt
	@# The desktop entry starts Tarnwick through pkexec; a staged tree is for another machine.
	$(if $(DESTDIR),,$(MAKE) --no-print-directory deps PACKAGES=pkexec)
	cmake --build $(BUILD) -j $(JOBS) --target tarnwick_installable
	$(INSTALL_SUDO) env DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall:
	$(INSTALL_SUDO) env DESTDIR="$(DESTDIR)" cmake -DMANIFEST="$(abspath $(BUILD))/install_manifest.txt" \
	  -P cmake/Uninstall.cmake

test: build
	cd $(BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 600

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON -DTARNWICK_BUILD_BENCH=OFF -DTARNWICK_WERROR=ON
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 900

# The tests whose code runs threads, built with ThreadSanitizer: only those programs are built.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_TSAN=ON -DTARNWICK_BUILD_BENCH=OFF -DTARNWICK_WERROR=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target threaded_tests
	# The crash tests fork and kill writers while the test's own sync threads may run, which
	# ThreadSanitizer's runtime does not survive (the child can hang); they run in the other builds.
	cd $(TSAN_BUILD) && ctest -j $(JOBS) -L threads -E '^ZipExCrash[.]' --output-on-failure --timeout 900

# The archive reader fed with libFuzzer's inputs for FUZZ_SECONDS, starting from valid archives.
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_FUZZ=ON -DTARNWICK_WERROR=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	rm -rf $(FUZZ_BUILD)/corpus
	$(FUZZ_BUILD)/tests/fuzz/archive_fuzz_seeds $(FUZZ_BUILD)/corpus
	$(FUZZ_BUILD)/tests/fuzz/archive_reader_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=20 \
	  -rss_limit_mb=2048 -print_final_stats=1 $(FUZZ_BUILD)/corpus

bench: build
	bench/run-all.sh $(BUILD)

format:
	clang-format -i $(SOURCES)

format-check:
	clang-format --dry-run --Werror $(SOURCES)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
