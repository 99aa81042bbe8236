# Two commands for a fresh Debian 12 machine:
#   make run   - install what is missing, build, start the program
#   make test  - install what is missing, build, run all tests (also under ASan/UBSan)

BUILD     ?= build
ASAN      ?= build-asan
JOBS      ?= $(shell nproc)
SUDO      := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
PREFIX    ?= /usr/local

PACKAGES := build-essential cmake ninja-build pkg-config \
    qt6-base-dev qt6-base-dev-tools \
    libsqlite3-dev libjpeg62-turbo-dev libtiff-dev \
    libgumbo-dev libarchive-dev zlib1g-dev libdeflate-dev libicu-dev libqrencode-dev \
    libgtest-dev libgmock-dev libbenchmark-dev \
    fonts-arphic-uming dpkg-dev file qt6-translations-l10n unicode-data bzip2
TEST_PACKAGES := libreoffice-writer-nogui poppler-utils desktop-file-utils appstream \
    xvfb xdotool openbox fonts-noto-cjk zbar-tools

.PHONY: run test deps test-deps configure build asan clean install deb

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	    echo "Installing: $$missing"; \
	    $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

test-deps: deps
	@missing=$$(for p in $(TEST_PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	    echo "Installing: $$missing"; \
	    $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/mycook

asan: test-deps
	cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMYCOOK_SANITIZE=ON -DMYCOOK_BENCH=OFF
	cmake --build $(ASAN) -j $(JOBS)

test: test-deps build asan
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	cd $(ASAN) && QT_QPA_PLATFORM=offscreen \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS) -LE slow

# A desktop install (DESTDIR is honoured for staging) and a Debian package.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX) --strip

deb: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN)
