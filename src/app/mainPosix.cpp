// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Entry.h"

#include <QtGlobal>

#include <cstdio>
#include <cstring>

namespace {

const char NoDisplay[] = "Zanthorix needs a desktop: there is no X or Wayland display to show its "
                         "window on. Start it from a desktop session.\n";

bool Set(const char *name) { return !qEnvironmentVariableIsEmpty(name); }

} // namespace

int main(int argc, char **argv) {
  bool chosen = Set("QT_QPA_PLATFORM"); // a platform asked for by name is Qt's to report
  for (int i = 1; i < argc; ++i)
    chosen |= std::strcmp(argv[i], "-platform") == 0;
  zanthorix::EntryHooks hooks;
  if (!chosen) {
    if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("WAYLAND_SOCKET")) {
      std::fputs(NoDisplay, stderr);
      return 1;
    }
    // When none of these can be reached, the player gets one plain line
    // instead of Qt's abort.
    hooks.noDisplay = NoDisplay;
  }
  return zanthorix::RunZanthorix(argc, argv, hooks);
}
