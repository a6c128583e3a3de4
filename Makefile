# Daily tasks of developers; ./run.sh and ./check.sh remain the entry points.
BUILD ?= build
JOBS ?= $(shell nproc)

PREFIX ?= $(HOME)/.local

.PHONY: all test check clean format install uninstall
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
