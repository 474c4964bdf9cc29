# The front door: every build and test starts here. Each entry point first installs what
# is missing (scripts/setup.sh), so a fresh Debian 12 machine needs nothing else.

NATIVE_DIR := build/native
WIN32_DIR  := build/win32
WIN64_DIR  := build/win64
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc)

.PHONY: all setup native win32 win64 art demo test test-native test-windows test-win32 test-win64 \
        test-sanitize bench corpus trace-report sweep fuzz clean

all: native win32 win64

setup:
	@bash scripts/setup.sh

# The native build with its tests and benchmarks.
native:
	@bash scripts/setup.sh native
	cmake -S . -B $(NATIVE_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DTEVLIN_BUILD_TESTS=ON -DTEVLIN_BUILD_BENCH=ON
	cmake --build $(NATIVE_DIR) -j$(JOBS)

# tevlin.exe, the product: 32-bit Windows.
win32:
	@bash scripts/setup.sh cross
	cmake -S . -B $(WIN32_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
	cmake --build $(WIN32_DIR) -j$(JOBS)

# The same Windows code built for 64-bit Windows, whose tests run under 64-bit Wine on every
# machine, including those that cannot start 32-bit programs.
win64:
	@bash scripts/setup.sh cross
	cmake -S . -B $(WIN64_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
	cmake --build $(WIN64_DIR) -j$(JOBS)

# Redraws the Windows program's picture and icon into res/ (a test keeps them up to date).
art: native
	$(NATIVE_DIR)/tevlin_make_art res

# The sample movie, made by the project's own SWF builder, converted by the portable converter.
# Only what that needs is installed and built; a native build that is already configured
# keeps its tests and benchmarks.
DEMO_DIR := build/demo
demo:
	@bash scripts/setup.sh converter
	@if [ -f $(NATIVE_DIR)/CMakeCache.txt ]; then \
	  cmake -S . -B $(NATIVE_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE); \
	else \
	  cmake -S . -B $(NATIVE_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DTEVLIN_BUILD_TESTS=OFF -DTEVLIN_BUILD_BENCH=OFF; \
	fi
	cmake --build $(NATIVE_DIR) -j$(JOBS) --target tevlin tevlin_demo_movie
	@mkdir -p $(DEMO_DIR)
	$(NATIVE_DIR)/tests/tevlin_demo_movie $(DEMO_DIR)/demo.swf
	$(NATIVE_DIR)/tevlin convert $(DEMO_DIR)/demo.swf -o $(DEMO_DIR)/demo.avi -y
	@echo "demo: the movie is $(DEMO_DIR)/demo.swf, the AVI with alpha is $(DEMO_DIR)/demo.avi"

# Every test of every build: native, then the Windows builds under Wine on a virtual display
# (the 64-bit build everywhere, the 32-bit one where this machine can start 32-bit programs),
# then the native tests again built with AddressSanitizer and UndefinedBehaviorSanitizer. The
# last line says which Windows builds' tests ran.
WINDOWS_SUMMARY := build/windows-tests.txt
test: test-native test-windows test-sanitize
	@cat $(WINDOWS_SUMMARY)

test-native: native
	cd $(NATIVE_DIR) && ctest -j$(JOBS) --output-on-failure

SANITIZE_DIR   := build/sanitize
SANITIZE_FLAGS := -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -Wno-maybe-uninitialized
test-sanitize:
	@bash scripts/setup.sh native
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEVLIN_BUILD_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_C_FLAGS="$(SANITIZE_FLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
	cmake --build $(SANITIZE_DIR) -j$(JOBS)
	cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest -j$(JOBS) --output-on-failure

# Both Windows builds are always built, so a compile error in either fails; their tests run
# under whichever Wine can start here (scripts/windows-tests.sh), and the summary says which.
# The end-to-end checks read the Windows program's files with the native build's tools.
test-windows: native win32 win64
	@bash scripts/setup.sh wine
	bash scripts/windows-tests.sh $(WINDOWS_SUMMARY) $(WIN64_DIR) $(WIN32_DIR) -j$(JOBS)

# One Windows build's tests; fails with the reason where its Wine cannot start.
test-win32: native win32
	@bash scripts/setup.sh wine
	bash scripts/run-wine-tests.sh win32 $(WIN32_DIR) -j$(JOBS)

test-win64: native win64
	@bash scripts/setup.sh wine
	bash scripts/run-wine-tests.sh win64 $(WIN64_DIR) -j$(JOBS)

bench: native
	$(NATIVE_DIR)/bench/tevlin_raster_bench
	$(NATIVE_DIR)/bench/tevlin_avi_bench
	$(NATIVE_DIR)/bench/tevlin_conversion_bench

# Renders the SWF corpus's visual tests and compares them with the reference renders, then
# compares the scripts' trace() output with the corpus's output.txt files.
corpus: native
	$(NATIVE_DIR)/tests/tevlin_corpus_report $(CURDIR)/../shared/corpus
	$(NATIVE_DIR)/tests/tevlin_trace_report $(CURDIR)/../shared/corpus

# Converts every movie of the corpus at a small size under time and memory caps and counts
# how each run ended (scripts/sweep.sh).
sweep: native
	bash scripts/sweep.sh $(NATIVE_DIR)/tevlin $(CURDIR)/../shared/corpus

# The libFuzzer harnesses, each run for FUZZ_SECONDS (scripts/fuzz.sh).
FUZZ_DIR     := build/fuzz
FUZZ_SECONDS ?= 60
fuzz:
	@bash scripts/setup.sh native fuzz
	cmake -S . -B $(FUZZ_DIR) -DTEVLIN_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_DIR) -j$(JOBS)
	bash scripts/fuzz.sh $(FUZZ_DIR) $(CURDIR)/../shared/corpus $(FUZZ_SECONDS)

# Every trace test with its result.
trace-report: native
	$(NATIVE_DIR)/tests/tevlin_trace_report $(CURDIR)/../shared/corpus --list

clean:
	rm -rf build
