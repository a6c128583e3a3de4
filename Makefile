# Daily tasks of developers; ./run.sh and ./check.sh remain the entry points.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all test check clean format
all:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

test: all
	QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

check:
	./check.sh

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-*
