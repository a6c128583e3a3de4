// SPDX-License-Identifier: GPL-3.0-or-later
// The game's own entry, built for measuring: "first-paint" quits the orderly
// way right after the board is first painted; "idle" just runs; "music"
// turns the music on once the game is up.
#include "app/BoardArea.h"
#include "app/Entry.h"
#include "app/Main.h"
#include "ui_Main.h"

#include <QTimer>

#include <cstring>

using namespace zanthorix;

namespace {
class QuitAfterFirstPaint : public QObject {
public:
  explicit QuitAfterFirstPaint(TfrmZanthorix &window) : QObject(&window), window_(window) {}

  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() == QEvent::Paint && !done_) {
      done_ = true;
      // After this paint has been carried out.
      QTimer::singleShot(0, &window_, [this] { window_.close(); });
    }
    return QObject::eventFilter(watched, event);
  }

private:
  TfrmZanthorix &window_;
  bool done_ = false;
};
} // namespace

int main(int argc, char **argv) {
  const char *mode = argc > 1 ? argv[1] : "first-paint";
  EntryHooks hooks;
  if (std::strcmp(mode, "first-paint") == 0) {
    hooks.started = [](TfrmZanthorix &window) {
      window.ui()->boardArea->installEventFilter(new QuitAfterFirstPaint(window));
    };
  } else if (std::strcmp(mode, "music") == 0) {
    hooks.started = [](TfrmZanthorix &window) {
      QTimer::singleShot(500, &window, [&window] { window.ui()->mnuOptionsMusic->trigger(); });
    };
  }
  int qtArgc = 1;
  return RunZanthorix(qtArgc, argv, hooks);
}
