// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Entry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

const char NoDisplay[] = "Zanthorix needs a desktop: there is no X or Wayland display to show its "
                         "window on. Start it from a desktop session.\n";

bool Set(const char *name) { return !qEnvironmentVariableIsEmpty(name); }

// What Qt says while it looks for a display waits until the window is up:
// when none can be reached, the player gets one plain line instead of Qt's
// abort.
QtMessageHandler qtHandler = nullptr;
std::atomic<bool> holding = true;
std::mutex heldLock;
struct Held {
  QtMsgType type;
  QByteArray category;
  QString text;
};
QList<Held> held;

void Release() {
  const std::lock_guard lock(heldLock);
  holding = false;
  for (const Held &m : held) {
    const QMessageLogContext context(nullptr, 0, nullptr, m.category.constData());
    qtHandler(m.type, context, m.text);
  }
  held.clear();
}

void Handler(QtMsgType type, const QMessageLogContext &context, const QString &text) {
  if (holding) {
    if (type == QtFatalMsg && text.contains(QLatin1String("no Qt platform plugin"))) {
      std::fputs(NoDisplay, stderr);
      std::_Exit(1);
    }
    std::unique_lock lock(heldLock);
    if (holding && type != QtFatalMsg) {
      held.append({type, QByteArray(context.category ? context.category : "default"), text});
      return;
    }
    lock.unlock();
    if (holding) Release(); // what came before a fatal message goes first
  }
  qtHandler(type, context, text);
}

} // namespace

int main(int argc, char **argv) {
  bool chosen = Set("QT_QPA_PLATFORM"); // a platform asked for by name is Qt's to report
  for (int i = 1; i < argc; ++i)
    chosen |= std::strcmp(argv[i], "-platform") == 0;
  if (chosen) return zanthorix::RunZanthorix(argc, argv);

  if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("WAYLAND_SOCKET")) {
    std::fputs(NoDisplay, stderr);
    return 1;
  }
  qtHandler = qInstallMessageHandler(Handler);
  zanthorix::EntryHooks hooks;
  hooks.started = [](zanthorix::TfrmZanthorix &) { Release(); };
  const int result = zanthorix::RunZanthorix(argc, argv, hooks);
  if (holding) Release();
  return result;
}
