# SPDX-License-Identifier: GPL-3.0-or-later
# Daily tasks of developers; ./run.sh and ./check.sh remain the entry points.
BUILD ?= build
JOBS ?= $(shell nproc)

PREFIX ?= $(HOME)/.local

.PHONY: all test check clean format install uninstall fuzz bench dist dsc deb windows windows-check windows-source
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
	rm -rf build build-* zanthorix-*.tar.xz

# Figures of start-up, memory, press latency and idle cost; see docs/PERFORMANCE.md.
BENCH_RUNS ?= 10
bench:
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DZANTHORIX_TESTS=OFF >/dev/null
	cmake --build build-bench -j$(JOBS) --target bench_all
	build-bench/bench/bench_driver build-bench/zanthorix_bench build-bench/bench/bench_floor \
		build-bench/bench/bench_press $(BENCH_RUNS)

# A per-user install keeps the game folder, and so the high scores, writable.
install:
	cmake -S . -B build-install -DCMAKE_BUILD_TYPE=Release -DZANTHORIX_TESTS=OFF >/dev/null
	cmake --build build-install -j$(JOBS) --target zanthorix
	cmake --install build-install --prefix "$(PREFIX)"

# Removes what install wrote, as its manifest lists it; never the high scores.
uninstall:
	@manifest="$(PREFIX)/lib/zanthorix/install-manifest.txt"; \
	if [ ! -f "$$manifest" ]; then echo "Nothing installed under $(PREFIX)"; exit 0; fi; \
	while IFS= read -r file; do \
	  case "$$file" in */HighScores.Dat|"") continue ;; esac; \
	  rm -f -- "$$file" && echo "Removed $$file"; \
	done < "$$manifest"; \
	rmdir "$(PREFIX)/lib/zanthorix" 2>/dev/null || true

# Runs the high-score file reader on generated input for FUZZ_SECONDS; new
# inputs go to fuzz-out/, the seeds stay as committed.
FUZZ_SECONDS ?= 60
FUZZ_SOURCES = tests/fuzz/fuzz_highscorefile.cpp src/scores/HighScoreFile.cpp src/scores/HighScoreFilePosix.cpp \
	src/scores/HighScoreTables.cpp src/scores/Windows1252.cpp
fuzz-out/fuzz_highscorefile: $(FUZZ_SOURCES) $(wildcard src/scores/*.h src/files/*.h)
	mkdir -p fuzz-out/corpus
	clang++ -std=c++20 -g -O1 -Wall -Wextra -Werror -Isrc \
		-fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
		$(FUZZ_SOURCES) -o $@

fuzz: fuzz-out/fuzz_highscorefile
	./fuzz-out/fuzz_highscorefile -max_total_time=$(FUZZ_SECONDS) -max_len=8192 \
		-artifact_prefix=fuzz-out/ fuzz-out/corpus tests/fuzz/corpus

# The source release: every file of the tree (tools/tree-files.sh: what git
# knows of and new files not ignored; in an unpacked release, what is there)
# but the Debian packaging, in name order, dated by the latest entry of
# debian/changelog and owned by root, so that the same tree always gives the
# same tarball.
VERSION := $(shell awk 'NR == 1 { gsub(/[()]/, "", $$2); sub(/-[^-]*$$/, "", $$2); print $$2 }' debian/changelog 2>/dev/null)
DIST = zanthorix-$(VERSION)
DIST_DATE = $(shell sed -n 's/^ -- .*>  //p' debian/changelog 2>/dev/null | head -1)
dist:
	@[ -f debian/changelog ] || { echo "make dist takes the version and date from debian/changelog"; exit 1; }
	tools/tree-files.sh | grep -zv '^debian/' | sort -zu | \
	  tar --create --null --no-recursion --files-from=- --format=gnu --sort=name \
	    --mtime="$(DIST_DATE)" --owner=0 --group=0 --numeric-owner --mode=u=rwX,go=rX \
	    --transform='s,^,$(DIST)/,' | xz --threads=1 -6 >$(DIST).tar.xz.part
	mv $(DIST).tar.xz.part $(DIST).tar.xz
	@echo "$(DIST).tar.xz"

# The Debian source package (3.0 (quilt): the release tarball and the tree's
# debian/) in build-deb/, so that the tree stays clean; what sbuild takes.
dsc: dist
	rm -rf build-deb && mkdir -p build-deb
	cp $(DIST).tar.xz build-deb/zanthorix_$(VERSION).orig.tar.xz
	tar -xf build-deb/zanthorix_$(VERSION).orig.tar.xz -C build-deb
	cp -a debian build-deb/$(DIST)/
	cd build-deb && dpkg-source -b $(DIST) && rm -rf $(DIST)
	@ls build-deb/*.dsc

# The source package and the binary package; the tests run in the build
# unless DEB_BUILD_OPTIONS has nocheck.
deb: dsc
	cd build-deb && dpkg-source -x *.dsc $(DIST)
	cd build-deb/$(DIST) && dpkg-buildpackage -us -uc -j$(JOBS)
	rm -rf build-deb/$(DIST)
	@ls build-deb/*.dsc build-deb/*.deb

# The Windows release, cross-built with MinGW-w64 against a Qt built once
# from Debian's source (25 to 40 minutes the first time, then cached): the
# game folder, Zanthorix-1.0-win64.zip and Zanthorix-1.0-setup.exe land in
# build-win/.
windows:
	tools/windows/build.sh

# The source that the Windows release offers: the release tarball and the
# source package of the Qt it ships, in build-win/.
windows-source: dist
	tools/windows/source.sh $(DIST).tar.xz build-win

# The Windows test programs and the installer, under Wine on Xvfb, run from
# the release as players unpack it; warnings are errors here, as in ./check.sh.
windows-check:
	ZANTHORIX_WERROR=ON tools/windows/build.sh
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZANTHORIX_WERROR=ON -DZANTHORIX_SANITIZE=OFF >/dev/null
	cmake --build $(BUILD) --target score_script
	tests/windows/run.sh build-win $(BUILD)/tests/score_script
	tests/windows/tst_reproducible.sh build-win
	tests/windows/tst_installer.sh build-win
