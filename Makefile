# Front door for users and CI. Each target installs what the machine lacks
# first (scripts/install-deps.sh, a no-op once everything is there).

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
WERROR ?= OFF
PREFIX ?= /usr/local
DESTDIR ?=
JOBS ?= $(shell nproc)
# Where `make run` keeps italist.txt, surelist.txt and dat/.
DATA_DIR ?= data
ARGS ?= -u

.PHONY: deps build run test install clean

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DZUBO_WERROR=$(WERROR) \
	      -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Runs zubo against the live service, in $(DATA_DIR).
run: build
	mkdir -p $(DATA_DIR)
	cd $(DATA_DIR) && $(abspath $(BUILD_DIR))/zubo $(ARGS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
