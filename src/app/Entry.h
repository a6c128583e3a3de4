// SPDX-License-Identifier: GPL-3.0-or-later
// The program entry, shared by the game and by builds that measure it.
#pragma once

#include <functional>

namespace zanthorix {

class TfrmZanthorix;

struct EntryHooks {
  // Where set, what Qt says waits until the main window is up, and a display
  // that cannot be reached ends the program with this line.
  const char *noDisplay = nullptr;
  // Runs once the windows exist and the main window is shown, before the
  // message loop starts.
  std::function<void(TfrmZanthorix &)> started;
};

int RunZanthorix(int argc, char **argv, const EntryHooks &hooks = {});

} // namespace zanthorix
