# Kelvo Transfer: the two commands of the README, and the steps they are made of.
#   make demo   set up, build, and run the transfer tool against the simulated scanner
#   make check  set up, build for Linux and Windows, and pass every test

JOBS        ?= 2
BUILD       ?= build
BUILD_WIN   ?= build-windows
BUILD_ASAN  ?= build-asan
# Warnings are errors in CI.
WERROR      ?= $(if $(CI),ON,OFF)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVO_WERROR=$(WERROR)

DEBIAN_PACKAGES = build-essential cmake pkg-config \
  libusb-1.0-0-dev libumockdev-dev umockdev \
  libgtest-dev libgmock-dev libbenchmark-dev \
  libstb-dev fonts-dejavu-core \
  mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 \
  ffmpeg \
  qt6-base-dev xvfb xauth

SUDO = $(if $(filter 0,$(shell id -u)),,sudo)

.PHONY: deps build windows test test-native test-windows sanitize check demo clean

deps:
	@missing=$$(for p in $(DEBIAN_PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	    echo "Installing:" $$missing; \
	    $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	else echo "All build dependencies are installed."; fi

build:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j$(JOBS)

windows:
	cmake -S . -B $(BUILD_WIN) $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake
	cmake --build $(BUILD_WIN) -j$(JOBS)

test-native: build
	ctest --test-dir $(BUILD) --output-on-failure

# The Windows tests run under wine through cmake/wine-run.sh, which makes the build's own wine
# prefix on first use.
test-windows: windows
	ctest --test-dir $(BUILD_WIN) --output-on-failure

# The native suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	cmake -S . -B $(BUILD_ASAN) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DKELVO_SANITIZE=ON
	cmake --build $(BUILD_ASAN) -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(BUILD_ASAN) --output-on-failure

test: test-native test-windows sanitize

check: deps
	$(MAKE) test-native
	$(MAKE) test-windows
	$(MAKE) sanitize

DEMO_IMAGES ?= $(CURDIR)/out/demo-images
DEMO_CINES  ?= $(CURDIR)/out/demo-cines

# The scanner's identity, then every stored image of the built-in simulated card as bitmaps in
# $(DEMO_IMAGES), and every stored cine as a video in $(DEMO_CINES) (its raw loop and frame
# bitmaps in $(DEMO_CINES)/tmp); the lines of each say where they are.
demo: deps build
	$(BUILD)/bin/kelvo info --simulate
	$(BUILD)/bin/kelvo images --simulate -o $(DEMO_IMAGES)
	$(BUILD)/bin/kelvo cines --simulate -o $(DEMO_CINES)

clean:
	rm -rf $(BUILD) $(BUILD_WIN) $(BUILD_ASAN)
