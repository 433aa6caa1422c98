# The front door: make deps, make test, make run, make screenshots, make fuzz, make dist.
JOBS ?= $(shell nproc)
PRESETS := native sanitize windows

# Debian packages the build, the tests and the benchmarks (their peers: ExifTool, jpylyzer)
# and the packaging (wixl for the MSI, dpkg-dev and lintian for the deb, man-db and
# bash-completion for its checks) need; `make deps` installs the missing ones.
DEB_PACKAGES := cmake g++ make googletest libgtest-dev nlohmann-json3-dev \
	mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
	wine wine64 xvfb xauth imagemagick clang libclang-rt-14-dev \
	gdal-bin libopenjp2-tools python3 time librapidxml-dev libcli11-dev bsdutils \
	libimage-exiftool-perl python3-jpylyzer \
	wixl msitools dpkg-dev lintian man-db bash-completion zip unzip strace libtomlplusplus-dev

.PHONY: all deps build test run screenshots fuzz fuzz-smoke bench format dist dist-test clean $(addprefix build-,$(PRESETS)) \
	$(addprefix test-,$(PRESETS))

all: build

deps:
	@missing=$$(for p in $(DEB_PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
		echo "Installing:" $$missing; \
		SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
		$$SUDO apt-get update -qq && \
		DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing; \
	else echo "All build and test dependencies are installed."; fi

$(addprefix build-,$(PRESETS)): build-%:
	cmake --preset $*
	cmake --build --preset $* -j $(JOBS)

test-native test-sanitize: test-%: build-%
	ctest --preset $* -j $(JOBS)

# Windows tests run under Wine in a private prefix, made once before the tests start so
# that parallel tests do not race to create it; without a display they get one from Xvfb.
WINEPREFIX_DIR := $(CURDIR)/build/windows/wineprefix
test-windows: build-windows
	@if [ ! -f "$(WINEPREFIX_DIR)/system.reg" ]; then \
		echo "Preparing the Wine prefix $(WINEPREFIX_DIR)"; \
		WINEPREFIX="$(WINEPREFIX_DIR)" WINEDEBUG=-all wineboot -i >/dev/null 2>&1 || true; \
		WINEPREFIX="$(WINEPREFIX_DIR)" wineserver -w || true; \
	fi
	@if [ -n "$$DISPLAY" ]; then \
		BOXQUILL_WINEPREFIX="$(WINEPREFIX_DIR)" ctest --preset windows -j $(JOBS); \
	else \
		BOXQUILL_WINEPREFIX="$(WINEPREFIX_DIR)" xvfb-run -a -s "-screen 0 1280x1024x24" \
			ctest --preset windows -j $(JOBS); \
	fi

build: $(addprefix build-,$(PRESETS))

test: deps
	$(MAKE) test-native
	$(MAKE) test-sanitize
	$(MAKE) test-windows
	$(MAKE) fuzz-smoke

run: deps build-windows
	@tools/run.sh

screenshots: deps build-windows
	@tools/screenshots.sh

fuzz: deps
	@tools/fuzz.sh

# Every libFuzzer target for a few seconds: a step of its own, kept out of the native ctest
# run so that run stays quick; most of its time is the clang build.
fuzz-smoke: deps
	@start=$$(date +%s); \
	FUZZ_SECONDS=6 FUZZ_KEEP=0 FUZZ_BUILD_DIR=$(CURDIR)/build/fuzz-clang \
		FUZZ_WORK_DIR=$(CURDIR)/build/fuzz-smoke tools/fuzz.sh; status=$$?; \
	echo "fuzz-smoke: $$(( $$(date +%s) - start )) s"; exit $$status

# Peers timed in the same run: opj_dump -i beside list, cp && sync beside save; then crafted
# inputs of at most 64 MB, each described once, with time and peak memory; then a collection
# of 1,000 small files (system calls a file, files/s) and check beside jpylyzer.
bench: build-native
	python3 bench/peers_bench.py build/native/cli/boxquill-cli build/bench
	python3 bench/crafted_bench.py build/native/cli/boxquill-cli build/bench
	python3 bench/collection_bench.py build/native/cli/boxquill-cli build/bench

# The artefacts a user installs, in build/dist/: the win64 zip and MSI, the Debian package,
# SHA256SUMS. dist-test installs and uses each (the MSI under Wine, the deb unpacked).
dist: deps
	JOBS=$(JOBS) tools/dist.sh

dist-test: dist
	tools/dist_test.sh

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
