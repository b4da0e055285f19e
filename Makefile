# Thin wrapper over CMake and CTest. `make run` and `make test` install what a
# fresh Debian 12 machine lacks, build, and then run the program (with its
# translation service) or the tests.

# qt6-base-dev also holds the CMake package of Qt SQL (Qt6Sql), which the
# service's translation memory is built with; the service reads HTTP requests
# with Boost.Beast's parser (libboost-dev: headers only, nothing at run time);
# tarnix-fill reads and writes PO files with gettext's libgettextpo and takes
# the plural rules and names of the languages gettext does not know from ICU
# (CLDR's data), and reads Rails YAML catalogs with libyaml's events.
BUILD_DEPS := cmake g++ make qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev libboost-dev \
  libgettextpo-dev libicu-dev libyaml-dev
# The validators of the desktop entry and the AppStream metadata, which tests
# run; gettext's msgfmt, Qt's lupdate/lrelease and xmllint, which judge the
# catalogs tarnix-fill writes; PostgreSQL, which the shared translation
# memory's tests start in a scratch folder of their own (Debian's package also
# sets up a cluster on port 5432, bound to localhost; the tests do not use it);
# Python, whose JSON and YAML readers judge the JSON and Rails YAML catalogs
# tarnix-fill writes and whose plistlib judges .stringsdict files;
# translate-toolkit's readers judge Apple's .strings and properties files
# (prop2po), as do a JDK's java.util.Properties and PropertyResourceBundle;
# aapt2 (Debian's aapt), which compiles the Android resources it writes;
# GNU time, by which bench/fill reads tarnix-fill's own peak memory.
TEST_DEPS := desktop-file-utils appstream gettext qt6-l10n-tools libxml2-utils postgresql python3 \
  python3-yaml openjdk-17-jdk-headless translate-toolkit aapt time
# What the service needs at run time beyond the libraries it links: Qt's
# SQLite and PostgreSQL drivers (plugins), for the translation memory in a
# file or in a database a team shares.
SERVICE_DEPS := libqt6sql6-sqlite libqt6sql6-psql
# The service's default engine: Apertium's HTTP server and the language pairs
# that take English to Spanish, Italian, Portuguese and French, and to Catalan and
# Galician, which catalogs ask for beyond the window's languages. Debian's
# apertium-apy enables a system-wide APy on every interface; when `make deps`
# installs it, it disables that unit again (one the user had enabled before
# is left alone, since then the package was already installed). cg3 holds
# VISL CG-3's cg-proc, which apertium-spa-ita's Italian modes run without
# depending on it: without it, Italian as a source language fails.
ENGINE_DEPS := apertium-apy apertium-eng-spa apertium-spa-ita apertium-es-pt apertium-fr-es apertium-eng-cat apertium-en-gl cg3
JOBS := $(shell nproc)
# The build's inner make calls would otherwise announce every directory.
MAKEFLAGS += --no-print-directory
SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

.PHONY: deps build run test asan test-asan clean

deps:
	@missing=""; for p in $(BUILD_DEPS) $(SERVICE_DEPS) $(ENGINE_DEPS) $(TEST_DEPS); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing || exit 1; \
	fi; \
	case " $$missing " in *" apertium-apy "*) \
	  if systemctl --quiet is-enabled apertium-apy.service 2>/dev/null; then \
	    $(SUDO) systemctl disable --now apertium-apy.service >/dev/null 2>&1 || \
	      $(SUDO) systemctl disable apertium-apy.service >/dev/null 2>&1; \
	    echo "Stopped and disabled apertium-apy.service, which its package enabled (an APy on every interface, port 2737); Tarnix starts its own on 127.0.0.1"; \
	  fi;; \
	esac

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

# Starts tarnix-service, waits until it answers, runs the program and stops
# the service when the program closes.
run: build
	service/run-with-service.sh build

test: build
	ctest --preset default

asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)

test-asan: asan
	ctest --preset asan

clean:
	rm -rf build build-asan build-fuzz

# The Debian package build/tarnix_<version>_<arch>.deb (CPack); dpkg-shlibdeps
# (dpkg-dev) and file work out its library dependencies.
PACKAGE_DEPS := dpkg-dev file

.PHONY: package
package: build
	@$(MAKE) --no-print-directory deps BUILD_DEPS="$(PACKAGE_DEPS)"
	cmake --build --preset default --target package

# libFuzzer targets (clang, address and undefined sanitizers, build-fuzz/):
# each runs FUZZ_SECONDS from the seeds under fuzz/corpus/.
FUZZ_DEPS := clang libclang-rt-14-dev
FUZZ_SECONDS := 300

.PHONY: fuzz
fuzz:
	@$(MAKE) --no-print-directory deps BUILD_DEPS="$(BUILD_DEPS) $(FUZZ_DEPS)"
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	fuzz/run.sh $(FUZZ_SECONDS)

# The soak: SOAK_RUNS runs of the window against rotating faults (the fault
# rounds of test_run), under the sanitizers (leaks checked at exit), then the
# same without them (resident memory at the last run against run SOAK_BASELINE).
SOAK_RUNS := 1000
SOAK_BASELINE := 100
SOAK_ENV := QT_QPA_PLATFORM=offscreen SOAK_RUNS=$(SOAK_RUNS) SOAK_BASELINE=$(SOAK_BASELINE)

.PHONY: soak
soak: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS) --target test_run
	env $(SOAK_ENV) ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ./build-asan/tests/test_run faults
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target test_run
	env $(SOAK_ENV) ./build/tests/test_run faults

# The load test of tarnix-service: wrk (load/mix.lua) over LOAD_CONNECTIONS
# connections for LOAD_SECONDS (at most 60), against an echoing engine stand-in
# on loopback (load/run.sh). LOAD_MEMORY_TEXTS=20 makes every request one of
# 20 texts, answered from the translation memory after the first time.
LOAD_SECONDS := 60
LOAD_CONNECTIONS := 32
LOAD_MEMORY_TEXTS := 0

.PHONY: load
load: build
	@$(MAKE) --no-print-directory deps BUILD_DEPS="wrk python3"
	LOAD_MEMORY_TEXTS=$(LOAD_MEMORY_TEXTS) load/run.sh build $(LOAD_SECONDS) $(LOAD_CONNECTIONS)

# The load on a shared translation memory: 8 services on one PostgreSQL
# database (started on loopback in a scratch folder) for LOAD_SECONDS; then a
# service whose database stops answering (SIGSTOP) for LOAD_SECONDS.
.PHONY: load-memory
load-memory: build
	@$(MAKE) --no-print-directory deps BUILD_DEPS="python3 postgresql procps"
	load/shared-memory.py build $(LOAD_SECONDS)
	load/frozen-memory.py build $(LOAD_SECONDS)
