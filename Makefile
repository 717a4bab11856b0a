# make         builds dist/chainer.exe
# make test    installs what is missing, builds, runs every test (one ctest run)
# make demo    installs what is missing, builds, runs the example package under Wine
# make bench   prints size and speed figures next to references measured in the same run
# make fuzz    runs the libFuzzer targets for FUZZ_SECONDS each (default 60)

JOBS ?= 2
CMAKE_WIN = cmake -S . -B build/$(1) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw.cmake -DCHAINER_ARCH=$(1) \
            -DCMAKE_BUILD_TYPE=Release >/dev/null && cmake --build build/$(1) -j $(JOBS) $(2)

.PHONY: all product setup test demo bench fuzz clean

all: product

product:
	$(call CMAKE_WIN,i686,--target chainer)
	mkdir -p dist
	cp build/i686/chainer.exe dist/chainer.exe

setup:
	./scripts/setup.sh

# The Wine tests run the product itself where the host executes 32-bit code,
# and an x86_64 build of the same sources where it cannot.
test: setup product
	@arch=$$(scripts/test-arch); echo "Wine tests run the $$arch build"; \
	$(call CMAKE_WIN,$$arch) && \
	cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug -DCHAINER_WIN_TEST_TREE=$(CURDIR)/build/$$arch >/dev/null && \
	cmake --build build/native -j $(JOBS) && \
	ctest --test-dir build/native --output-on-failure

demo: setup product
	@arch=$$(scripts/test-arch); $(call CMAKE_WIN,$$arch) && \
	./scripts/demo $$arch

bench: setup product
	@arch=$$(scripts/test-arch); $(call CMAKE_WIN,$$arch) && \
	/usr/bin/python3 bench/run.py --arch $$arch

fuzz: setup
	./fuzz/run $${FUZZ_SECONDS:-60}

clean:
	rm -rf build dist
