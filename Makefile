# The two commands of the README: `make run` and `make test`. Both install what is missing
# (Debian packages only), configure and build first.
BUILD_DIR ?= build
BUILD_TYPE ?= Release
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test test-asan bench clean

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@if [ ! -f $(BUILD_DIR)/CMakeCache.txt ]; then \
	  cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE); fi

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
	  $(BUILD_DIR)/stage/bin/korvan $(ARGS); \
	else \
	  echo "No display: starting under Xvfb"; \
	  xvfb-run -a -s "-screen 0 1280x1024x24" $(BUILD_DIR)/stage/bin/korvan $(ARGS); \
	fi

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 120

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer, in their own folder.
ASAN_BUILD_DIR ?= build-asan

test-asan: deps
	@if [ ! -f $(ASAN_BUILD_DIR)/CMakeCache.txt ]; then \
	  cmake -S . -B $(ASAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DKORVAN_SANITIZE=ON; fi
	cmake --build $(ASAN_BUILD_DIR) -j $(JOBS)
	cd $(ASAN_BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 480

bench: build
	@bash scripts/run-benchmarks $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
