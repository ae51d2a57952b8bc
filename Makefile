# SPDX-FileCopyrightText: 2026 Tessaly
# SPDX-License-Identifier: GPL-3.0-or-later
# Entry points for people and CI. `make run` and `make test` install what is missing,
# configure and build first.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

# CI builds with warnings as errors and runs the suite under ASan + UBSan.
ifeq ($(CI),true)
BUILD_DIR := build-ci
BUILD_TYPE := Debug
CMAKE_FLAGS += -DINKVEIL_WERROR=ON -DINKVEIL_SANITIZE=ON
endif

.PHONY: all deps configure build run test package clean format

all: build

deps:
	@scripts/install-deps

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

configure: deps $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/inkveil $(ARGS)

test: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# A Debian package of both programs in $(BUILD_DIR)/: apt install ./$(BUILD_DIR)/inkveil_*.deb
package: build
	cd $(BUILD_DIR) && cpack -G DEB

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)
