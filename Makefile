# The front door: every build and test starts here. Each entry point first installs what
# is missing (scripts/setup.sh), so a fresh Debian 12 machine needs nothing else.

NATIVE_DIR := build/native
WIN32_DIR  := build/win32
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc)

.PHONY: all setup native win32 art demo test test-native test-win32 test-sanitize bench corpus trace-report sweep fuzz clean

all: native win32

setup:
	@bash scripts/setup.sh

native: setup
	cmake -S . -B $(NATIVE_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
	cmake --build $(NATIVE_DIR) -j$(JOBS)

win32: setup
	cmake -S . -B $(WIN32_DIR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
	cmake --build $(WIN32_DIR) -j$(JOBS)

# Redraws the Windows program's picture and icon into res/ (a test keeps them up to date).
art: native
	$(NATIVE_DIR)/tevlin_make_art res

# The sample movie, made by the project's own SWF builder, converted by the portable converter.
DEMO_DIR := build/demo
demo: native
	@mkdir -p $(DEMO_DIR)
	$(NATIVE_DIR)/tests/tevlin_demo_movie $(DEMO_DIR)/demo.swf
	$(NATIVE_DIR)/tevlin convert $(DEMO_DIR)/demo.swf -o $(DEMO_DIR)/demo.avi -y
	@echo "demo: the movie is $(DEMO_DIR)/demo.swf, the AVI with alpha is $(DEMO_DIR)/demo.avi"

# Every test of both builds: native, then the Windows build under Wine, then the native tests
# again built with AddressSanitizer and UndefinedBehaviorSanitizer.
test: test-native test-win32 test-sanitize

test-native: native
	cd $(NATIVE_DIR) && ctest -j$(JOBS) --output-on-failure

SANITIZE_DIR   := build/sanitize
SANITIZE_FLAGS := -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -Wno-maybe-uninitialized
test-sanitize: setup
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEVLIN_BUILD_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_C_FLAGS="$(SANITIZE_FLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
	cmake --build $(SANITIZE_DIR) -j$(JOBS)
	cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest -j$(JOBS) --output-on-failure

test-win32: win32
	bash scripts/run-wine-tests.sh $(WIN32_DIR) -j$(JOBS)

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
	@bash scripts/setup.sh --fuzz
	cmake -S . -B $(FUZZ_DIR) -DTEVLIN_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_DIR) -j$(JOBS)
	bash scripts/fuzz.sh $(FUZZ_DIR) $(CURDIR)/../shared/corpus $(FUZZ_SECONDS)

# Every trace test with its result.
trace-report: native
	$(NATIVE_DIR)/tests/tevlin_trace_report $(CURDIR)/../shared/corpus --list

clean:
	rm -rf build
