# Thin wrapper over CMake and CTest. `make run` and `make test` install what a
# fresh Debian 12 machine lacks, build, and then run the program (with its
# translation service) or the tests.

BUILD_DEPS := cmake g++ make qt6-base-dev qt6-base-dev-tools libgl-dev qt6-httpserver-dev qt6-websockets-dev
# The service's default engine: Apertium's HTTP server and the language pairs
# that take English to Spanish, Italian, Portuguese and French.
ENGINE_DEPS := apertium-apy apertium-eng-spa apertium-spa-ita apertium-es-pt apertium-fr-es
JOBS := $(shell nproc)
SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

.PHONY: deps build run test asan test-asan clean

deps:
	@missing=""; for p in $(BUILD_DEPS) $(ENGINE_DEPS); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

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
	rm -rf build build-asan

# The Debian package build/tarnix_<version>_<arch>.deb (CPack); dpkg-shlibdeps
# (dpkg-dev) and file work out its library dependencies.
PACKAGE_DEPS := dpkg-dev file

.PHONY: package
package: build
	@$(MAKE) --no-print-directory deps BUILD_DEPS="$(PACKAGE_DEPS)"
	cmake --build --preset default --target package
