# Front end over CMake. `make run` and `make test` each install what is missing first.
SHELL        := bash
BUILD        ?= build
BUILD_SAN    ?= build-sanitize
BUILD_BENCH  ?= build-bench
BUILD_TSAN   ?= build-tsan
BUILD_FUZZ   ?= build-fuzz
BUILD_WEB    ?= build-web
BUILD_PKG    ?= build-package
WEB_PORT     ?= 8080
FUZZ_SECONDS ?= 60
FUZZ_RUNS    ?= 20000
PERF_SECONDS ?= 10
PERF_ROUNDS  ?= 3
JOBS         ?= $(shell nproc)
CMAKE_FLAGS  ?=

.PHONY: all deps build run test test-faults screenshots test-sanitize test-tsan bench bench-build perf format clean data-preview

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -x $(BUILD)/lexorm ]; then cd $(BUILD) && ./lexorm; \
	else echo "make run: the lexorm program is not built yet (the game host has not landed)"; exit 1; fi

# Every test but the fault run (label `faults`: the program killed, signalled, without sound and
# twice in one folder), which has a target of its own. scripts/ctest-strict.sh fails a run in which
# any test was skipped, disabled or not run, or no test matched.
test: build
	scripts/with-display.sh scripts/ctest-strict.sh --test-dir $(BUILD) --output-on-failure -j $(JOBS) --timeout 300 -LE 'faults|package'

test-faults: build
	scripts/with-display.sh scripts/ctest-strict.sh --test-dir $(BUILD) -L faults --output-on-failure --timeout 300

# The README's pictures: the window test Screenshots.* grabs the menu, a game and the pause menu
# at 640 x 480 into $(BUILD)/screenshots; optipng shrinks them into docs/screenshots.
screenshots: build
	rm -rf $(BUILD)/screenshots
	scripts/with-display.sh $(BUILD)/tests/e2e/window_e2e_tests --gtest_filter='Screenshots.*'
	optipng -quiet -o5 -strip all $(BUILD)/screenshots/*.png
	cp $(BUILD)/screenshots/menu.png $(BUILD)/screenshots/game.png $(BUILD)/screenshots/pause.png docs/screenshots/

test-sanitize: deps
	cmake -S . -B $(BUILD_SAN) -G Ninja -DLEXORM_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build $(BUILD_SAN) -j $(JOBS)
	scripts/with-display.sh scripts/ctest-strict.sh --test-dir $(BUILD_SAN) -L unit --output-on-failure -j $(JOBS) --timeout 600

# The network tests (worker threads, the operation ring, sockets, HTTP) under ThreadSanitizer;
# any report fails the run.
test-tsan: deps
	cmake -S . -B $(BUILD_TSAN) -G Ninja -DLEXORM_TSAN=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build $(BUILD_TSAN) -j $(JOBS) --target net_tests
	TSAN_OPTIONS="halt_on_error=1 exitcode=66" $(BUILD_TSAN)/tests/net/net_tests --gtest_filter='Sockets.*:Http.*:HttpPeers.*'

# libFuzzer harnesses (tests/fuzz), built with clang in $(BUILD_FUZZ); the normal build stays
# GCC. `make fuzz` runs each harness for FUZZ_SECONDS over a scratch copy of its corpus, `make
# fuzz-ci` for FUZZ_RUNS inputs; both replay the regression inputs first (scripts/fuzz.sh).
# `make fuzz-seeds` writes the seeds cut from the generated data again (the others are kept).
.PHONY: fuzz-build fuzz fuzz-ci fuzz-seeds
fuzz-build: deps
	cmake -S . -B $(BUILD_FUZZ) -G Ninja -DLEXORM_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  $(CMAKE_FLAGS)
	nice -n 19 cmake --build $(BUILD_FUZZ) -j $(JOBS)

fuzz: fuzz-build
	BUILD_FUZZ=$(BUILD_FUZZ) scripts/fuzz.sh time $(FUZZ_SECONDS)

fuzz-ci: fuzz-build
	BUILD_FUZZ=$(BUILD_FUZZ) scripts/fuzz.sh runs $(FUZZ_RUNS)

SEED_LIST = $(BUILD)/data/Lexorm.txt
fuzz-seeds: build
	cp $(BUILD)/data/sfx/098.wav tests/fuzz/corpus/wav/sfx-098.wav
	cp $(BUILD)/data/sfx/099.wav tests/fuzz/corpus/wav/sfx-099.wav
	cp $(BUILD)/data/common/icons.png $(BUILD)/data/common/light.png tests/fuzz/corpus/png/
	head -c 512 $(SEED_LIST) >tests/fuzz/corpus/word_list/list-start
	tail -c +$$(($$(stat -c %s $(SEED_LIST)) / 16 * 8 + 1)) $(SEED_LIST) | head -c 512 \
	  >tests/fuzz/corpus/word_list/list-middle

bench-build: deps
	cmake -S . -B $(BUILD_BENCH) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD_BENCH) -j $(JOBS)

bench: bench-build
	@scripts/with-display.sh bash -c 'for b in $(BUILD_BENCH)/bench/bench_*; do [ -x "$$b" ] && "$$b" || exit 1; done'
	@BUILD_BENCH=$(BUILD_BENCH) scripts/with-display.sh scripts/perf.sh $(PERF_SECONDS) $(PERF_ROUNDS)

# The game against a bare window, the collector against new/delete: ratios last, and in
# $(BUILD_BENCH)/perf-ratios.txt. PERF_ROUNDS rounds of game and floor taking turns, each
# stretch PERF_SECONDS long.
perf: bench-build
	@BUILD_BENCH=$(BUILD_BENCH) scripts/with-display.sh scripts/perf.sh $(PERF_SECONDS) $(PERF_ROUNDS)

# The browser build (emscripten, in $(BUILD_WEB)): index.html, lexorm.js, lexorm.wasm and
# lexorm.data, plus robot/ (the same page with a word list of every two- and three-letter chain)
# for the web tests. The data come from the desktop build's generator ($(BUILD)/web-data).
# `make web-run` serves the page on 127.0.0.1; `make test-web` drives it in headless Chromium
# (tests/web, one file at a time: one measures the update rate) and writes the menu's picture to
# $(BUILD_WEB)/screenshots/web-menu.png; `make web-screenshot` runs only the test that takes it and
# copies it, shrunk by optipng, to docs/screenshots; `make web-perf` measures the page against a
# bare emscripten page drawing the same quads.
.PHONY: web web-run test-web web-screenshot web-perf web-deps
WEB_ENV = NODE_PATH=/usr/share/nodejs
web: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target data
	python3 scripts/web_data.py $(BUILD)/data $(BUILD)/web-data
	$(WEB_ENV) emcmake cmake -S . -B $(BUILD_WEB) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DLEXORM_WEB_DATA=$(abspath $(BUILD))/web-data/page -DLEXORM_WEB_ROBOT_DATA=$(abspath $(BUILD))/web-data/robot
	$(WEB_ENV) cmake --build $(BUILD_WEB) -j $(JOBS)

web-run: web
	@echo "Lexorm in the browser: http://127.0.0.1:$(WEB_PORT)/ (Ctrl+C stops the server)"
	python3 -m http.server $(WEB_PORT) --bind 127.0.0.1 --directory $(BUILD_WEB)

web-deps:
	cd tests/web && npm ci --no-audit --no-fund

# As with ctest-strict.sh, a run in which a test was skipped or left to do fails.
test-web: web web-deps
	cd tests/web && set -o pipefail && LEXORM_WEB=$(abspath $(BUILD_WEB)) npm test 2>&1 | tee $(abspath $(BUILD_WEB))/test-web.log
	@grep -qx '# skipped 0' $(BUILD_WEB)/test-web.log && grep -qx '# todo 0' $(BUILD_WEB)/test-web.log || \
	  { echo "test-web: a test was skipped or left to do"; exit 1; }

web-screenshot: web web-deps
	rm -f $(BUILD_WEB)/screenshots/web-menu.png
	cd tests/web && LEXORM_WEB=$(abspath $(BUILD_WEB)) node --test loading.test.mjs
	optipng -quiet -o5 -strip all $(BUILD_WEB)/screenshots/web-menu.png
	cp $(BUILD_WEB)/screenshots/web-menu.png docs/screenshots/

# The game's frames against build-web/bench/bare_quads.html in one headless Chromium run; the table
# goes to $(BUILD_WEB)/web-perf.txt (bench/web/perf.mjs; WEB_PERF_ROUNDS, WEB_PERF_SECONDS).
web-perf: web web-deps
	node bench/web/perf.mjs $(abspath $(BUILD_WEB))

data-preview: build
	cmake --build $(BUILD) --target data-preview
	@echo "contact sheet: $(BUILD)/data-preview.png"


format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_BENCH) $(BUILD_TSAN) $(BUILD_FUZZ) $(BUILD_WEB) $(BUILD_PKG)

# `make install`: the program and its data under $(PREFIX)/lib/lexorm, the `lexorm` launcher in
# $(PREFIX)/bin (it runs the game in ~/.local/state/lexorm, where the progress is saved), the
# desktop entry and icons under $(PREFIX)/share; DESTDIR stages the whole tree below another root.
# It only copies what `make` built, so `sudo make install` never installs packages or builds as
# root; without a build it says so and fails.
# `make uninstall` removes what the last install from $(BUILD) put there (CMake's install
# manifest), with the same DESTDIR, but only inside the prefix that install recorded (or PREFIX
# when given on the command line), and never the players' saved progress.
PREFIX           ?= /usr/local
INSTALL_MANIFEST ?= $(BUILD)/install_manifest.txt
.PHONY: install uninstall package test-package
install:
	@if [ ! -f "$(BUILD)/cmake_install.cmake" ] || [ ! -x "$(BUILD)/lexorm" ] || [ ! -f "$(BUILD)/data/Lexorm.txt" ]; then \
	  echo "make install: the game is not built in $(BUILD): run make first (as yourself, not as root)" >&2; exit 1; fi
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# `make package`: build/lexorm_<version>_amd64.deb, from a Release build of the program and its
# data in $(BUILD_PKG) laid out as Debian's games are (cmake/package.cmake); `make test-package`
# checks it (label `package`: lintian, its contents, an install, a game and a purge as root).
package: deps
	cmake -S . -B $(BUILD_PKG) -G Ninja -DCMAKE_BUILD_TYPE=Release -DLEXORM_DEBIAN_LAYOUT=ON \
	  -DLEXORM_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD_PKG) -j $(JOBS)
	mkdir -p $(BUILD)
	cd $(BUILD_PKG) && cpack -G DEB -B $(abspath $(BUILD))
	rm -rf $(BUILD)/_CPack_Packages
	@ls -l $(BUILD)/lexorm_*.deb

test-package: package build
	scripts/with-display.sh ctest --test-dir $(BUILD) -L package --output-on-failure --timeout 600

uninstall:
	DESTDIR="$(DESTDIR)" scripts/uninstall.sh "$(INSTALL_MANIFEST)" \
	  "$(if $(filter command line,$(origin PREFIX)),$(PREFIX))"

# Mutation testing: MUTANTS faults (default 60) drawn with SEED (default 1) are planted one at a
# time in a copy of HEAD under MUTANTS_WORK (never in this tree), each built and tested folder
# first; prints each verdict, the survivors and the score. ONLY=graphics/ limits the mutants to a
# folder, TESTS=<ctest -R regex> the tests, SANITIZE=1 retries survivors under the sanitizers,
# DRY=1 lists the chosen mutants without building (scripts/mutants.py).
MUTANTS      ?= 60
SEED         ?= 1
MUTANTS_WORK ?= /tmp/lexorm-mutants
.PHONY: mutants
mutants:
	@MUTANTS="$(MUTANTS)" SEED="$(SEED)" ONLY="$(ONLY)" TESTS="$(TESTS)" SANITIZE="$(SANITIZE)" DRY="$(DRY)" \
	  WORK="$(MUTANTS_WORK)" python3 scripts/mutants.py
