# Brevant's front door: make, make run, make test, make bench, make fuzz, make install,
# make uninstall, make deb.
BUILD     := build
ASAN      := build-asan
BENCH     := build-bench
FUZZ      := build-fuzz
RELEASE   := build-release
DEB       := build-deb
PREFIX    ?= /usr/local
JOBS      ?= $(shell nproc)
FUZZ_SECONDS ?= 60
CMAKE_GEN := cmake -S . -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all build run test test-plain test-asan bench fuzz release install uninstall deb clean \
        deps-run deps-test

all: build

deps-run:
	@sh tools/install-deps.sh run

deps-test:
	@sh tools/install-deps.sh test

build:
	@$(CMAKE_GEN) -B $(BUILD) > /dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: deps-run build
	./$(BUILD)/brevant

test: deps-test test-plain test-asan

test-plain:
	@$(CMAKE_GEN) -B $(BUILD) > /dev/null
	@cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan:
	@cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DBREVANT_SANITIZE=ON > /dev/null
	@cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

bench:
	@sh tools/install-deps.sh bench
	@cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release -DBREVANT_TESTS=OFF -DBREVANT_BENCH=ON > /dev/null
	@cmake --build $(BENCH) -j $(JOBS)
	@for b in $(BENCH)/bench/bench_*; do echo "== $$b"; $$b || exit 1; done

fuzz:
	@sh tools/install-deps.sh fuzz
	@CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBREVANT_FUZZ=ON > /dev/null
	@cmake --build $(FUZZ) -j $(JOBS)
	@for f in $(FUZZ)/tests/fuzz/fuzz_*; do \
	  [ -x "$$f" ] || continue; \
	  name=$$(basename $$f); mkdir -p $(FUZZ)/corpus/$$name; \
	  seeds=""; [ -d tests/fuzz/corpus/$$name ] && seeds=tests/fuzz/corpus/$$name; \
	  echo "== $$name for $(FUZZ_SECONDS) s"; \
	  $$f -max_total_time=$(FUZZ_SECONDS) $(FUZZ)/corpus/$$name $$seeds || exit 1; \
	done

# The program alone, without tests or tools, optimised, configured for PREFIX so that it looks
# for its samples where the install puts them.
release:
	@cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DBREVANT_TESTS=OFF \
	  -DCMAKE_INSTALL_PREFIX=$(PREFIX) > /dev/null
	@cmake --build $(RELEASE) -j $(JOBS) --target brevant desktop_data

# Installs the stripped release build (DESTDIR=... stages it elsewhere); the files it puts down
# are listed in $(RELEASE)/install_manifest.txt, which uninstall reads.
install: release
	DESTDIR="$(DESTDIR)" cmake --install $(RELEASE) --strip

uninstall:
	@DESTDIR="$(DESTDIR)" cmake -DMANIFEST=$(RELEASE)/install_manifest.txt -P cmake/Uninstall.cmake

deb:
	@sh tools/install-deps.sh package
	@sh tools/package/make-deb.sh $(CURDIR)/$(DEB)

clean:
	rm -rf $(BUILD) $(ASAN) $(BENCH) $(FUZZ) $(RELEASE) $(DEB)
