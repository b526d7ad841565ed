# cmnexecutor: the two commands that matter are `make test` and `make demo`.
# Both install what a fresh Debian machine lacks (as root), configure, build and run.

BUILD_DIR ?= build
WIN_BUILD_DIR ?= build-win64
FUZZ_BUILD_DIR ?= build-fuzz
# `make dist` builds the bundles in trees of their own (README, "Release bundles").
DIST_BUILD_DIR ?= build-dist
DIST_WIN_BUILD_DIR ?= build-dist-win64
# Seconds each fuzz target runs in `make fuzz`.
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

# Debian packages the build needs, as "command-or-file:package": the demo's (the Linux library,
# the jars, velkctl, the simulated executor), then what the tests and the other builds add.
DEMO_NEEDS := cmake:cmake g++:g++ javac:openjdk-17-jdk-headless \
         /usr/share/java/picocli.jar:libpicocli-java /usr/share/java/gson.jar:libgoogle-gson-java \
         /usr/share/java/snakeyaml.jar:libyaml-snake-java /usr/share/java/jna.jar:libjna-java
NEEDS := $(DEMO_NEEDS) \
         /usr/share/java/junit-platform-console-standalone.jar:junit5 \
         /usr/include/gtest/gtest.h:libgtest-dev valgrind:valgrind \
         x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64 \
         /usr/lib/wine/wine64:wine64 wine:wine clang++:clang \
         zip:zip unzip:unzip gdb:gdb git:git prometheus:prometheus chromium:chromium \
         ansible-playbook:ansible-core ansible-lint:ansible-lint
# What `make demo` builds: the Linux library, velkctl with the jars, the simulated executor and
# its control client and the tool stand-ins.
DEMO_TARGETS := cmnexecutor_library velkctl velklb-executor velklb-standins

.PHONY: all build test demo demo-java dist dist-check bench deps demo-deps clean fuzz fuzz-seeds

all: build

# Installs the packages of $(1) that are missing (as root), or names them and fails.
define install_needs
missing=""; \
for need in $(1); do \
  what=$${need%%:*}; pkg=$${need#*:}; \
  case "$$what" in \
    /*) [ -e "$$what" ] || missing="$$missing $$pkg" ;; \
    *) command -v "$$what" >/dev/null 2>&1 || missing="$$missing $$pkg" ;; \
  esac; \
done; \
if [ -n "$$missing" ]; then \
  if [ "$$(id -u)" = 0 ]; then \
    echo "Installing:$$missing"; \
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
  else \
    echo "Missing Debian packages:$$missing (run make as root, or apt-get install them)"; \
    exit 1; \
  fi; \
fi
endef

demo-deps:
	@$(call install_needs,$(DEMO_NEEDS))

deps:
	@$(call install_needs,$(NEEDS))
	@# libFuzzer's runtime comes in a package of its own, named after clang's major version.
	@$(call install_needs,$$(clang++ --print-runtime-dir)/libclang_rt.fuzzer-x86_64.a:libclang-rt-$$(clang++ -dumpversion | cut -d. -f1)-dev)

$(BUILD_DIR)/CMakeCache.txt: | demo-deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

# The Windows DLL and the simulated executor driver, cross-built; its tests run them under Wine
# and compare them with the Linux build, whose folder it is told.
$(WIN_BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(WIN_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
	  -DCMN_LINUX_BUILD_DIR=$(abspath $(BUILD_DIR))

# The fuzz targets (tests/fuzz), built with clang and libFuzzer in a tree of their own.
$(FUZZ_BUILD_DIR)/CMakeCache.txt: | deps
	CC=clang CXX=clang++ cmake -S tests/fuzz -B $(FUZZ_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Configured again here, after deps: a tree first configured by `make demo` finds GoogleTest now.
build: deps $(WIN_BUILD_DIR)/CMakeCache.txt $(FUZZ_BUILD_DIR)/CMakeCache.txt
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j $(JOBS)
	cmake --build $(WIN_BUILD_DIR) -j $(JOBS)
	cmake --build $(FUZZ_BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
	cd $(FUZZ_BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
	cd $(WIN_BUILD_DIR) && ctest --output-on-failure -j 1

# Every fuzz target for FUZZ_SECONDS, from the committed corpus; what they add and any failing
# input stay in $(FUZZ_BUILD_DIR)/runs/fuzz/<target>/.
fuzz: deps $(FUZZ_BUILD_DIR)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD_DIR) -j $(JOBS)
	@failed=""; \
	for target in $(FUZZ_BUILD_DIR)/bin/fuzz-*; do \
	  family=$${target##*/fuzz-}; echo "== $$family ($(FUZZ_SECONDS) s)"; \
	  tests/fuzz/run-fuzz.sh "$$target" tests/fuzz/corpus/$$family \
	    $(FUZZ_BUILD_DIR)/runs/fuzz/$$family $(FUZZ_SECONDS) || failed="$$failed $$family"; \
	done; \
	if [ -n "$$failed" ]; then echo "FAILED:$$failed"; exit 1; fi

# Records the seed corpus again from the simulated executor (after a plan in
# tests/fuzz/fuzz_driver.cpp changed); regression inputs kept beside the seeds stay.
fuzz-seeds: deps $(FUZZ_BUILD_DIR)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD_DIR) -j $(JOBS)
	@for target in $(FUZZ_BUILD_DIR)/bin/fuzz-*; do \
	  family=$${target##*/fuzz-}; mkdir -p tests/fuzz/corpus/$$family; \
	  CMN_FUZZ_RECORD=tests/fuzz/corpus/$$family "$$target" >/dev/null || exit 1; \
	done

demo: demo-deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS) --target $(DEMO_TARGETS)
	tests/demo/run-demo.sh $(BUILD_DIR)

# What each call costs beside its transport's floor, and the library's own instructions per call
# (README, "Bench"). Run by hand, not part of test: it times, and timings need a quiet machine.
bench: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)
	bench/run-bench.sh $(BUILD_DIR)

# The release trees: configured without a compiler launcher, so that no cache's rewriting of
# source paths (ccache's base_dir) reaches the shipped bytes; they build only what ships.
$(DIST_BUILD_DIR)/CMakeCache.txt: | deps
	env -u CMAKE_C_COMPILER_LAUNCHER -u CMAKE_CXX_COMPILER_LAUNCHER \
	  cmake -S . -B $(DIST_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
$(DIST_WIN_BUILD_DIR)/CMakeCache.txt: | deps
	env -u CMAKE_C_COMPILER_LAUNCHER -u CMAKE_CXX_COMPILER_LAUNCHER \
	  cmake -S . -B $(DIST_WIN_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
	  -DCMN_LINUX_BUILD_DIR=$(abspath $(DIST_BUILD_DIR))

# The release bundles, the archive of their debug files and the SHA-256 sums in dist/ (README,
# "Release bundles").
dist: deps $(DIST_BUILD_DIR)/CMakeCache.txt $(DIST_WIN_BUILD_DIR)/CMakeCache.txt
	cmake --build $(DIST_BUILD_DIR) -j $(JOBS) \
	  --target cmnexecutor_library velklb-executor velklb-ctl velkctl
	cmake --build $(DIST_WIN_BUILD_DIR) -j $(JOBS) --target cmnexecutor_library
	packaging/make-dist.sh dist $$(cat VERSION) $(DIST_BUILD_DIR) $(DIST_WIN_BUILD_DIR)

# `make dist`, then the committed tree built and packed again from a clean clone elsewhere: the
# two sum files must be identical. Run by hand before a release (a second build; not in test).
dist-check: dist
	packaging/dist-check.sh dist $$(cat VERSION)

# The Java walk-through of the interface, an example for the balancer's developers.
demo-java: build
	tests/demo/run-java-demo.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(WIN_BUILD_DIR) $(FUZZ_BUILD_DIR) $(DIST_BUILD_DIR) $(DIST_WIN_BUILD_DIR)
