# make run  - installs what is missing, builds, starts the player on its sample movie
# make test - installs what is missing, builds, runs every test
BUILD ?= build
JOBS ?= 2

.PHONY: all deps configure build run test test-sanitize bench conformance format clean fuzz deb

all: build

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "No display: starting the player in a virtual X server (xvfb-run)."; \
	  xvfb-run -a -s "-screen 0 1280x800x24" ./$(BUILD)/lanfeng; \
	else ./$(BUILD)/lanfeng; fi

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600

# The same suites built with AddressSanitizer and UndefinedBehaviorSanitizer in their own
# build folder. Sanitized frames are several times larger: the stack limit is raised to match.
SANITIZE_BUILD ?= build-sanitize
SANITIZE_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/sanitize/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  QT_QPA_PLATFORM=offscreen
test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLANFENG_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)
	ulimit -s 65536 && cd $(SANITIZE_BUILD) && $(SANITIZE_ENV) ctest --output-on-failure --timeout 1800

# make deb - the Debian package (build/lanfeng_VERSION_ARCH.deb)
deb: build
	cd $(BUILD) && cpack -G DEB

bench: build
	./$(BUILD)/engine_bench

conformance: build
	python3 ../shared/tools/conformance.py --cli $(BUILD)/lanfeng-cli --corpus ../shared/corpus/peer

# make fuzz - each fuzz target for FUZZ_S seconds; findings land in tests/fuzz/regressions/
FUZZ_S ?= 300
FUZZ_BUILD ?= build-fuzz
FUZZ_TARGETS = load render avm1 list trailer
fuzz:
	bash scripts/install-deps.sh fuzz
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLANFENG_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	bash scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_S) $(FUZZ_TARGETS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
