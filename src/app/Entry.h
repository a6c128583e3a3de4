// SPDX-License-Identifier: GPL-3.0-or-later
// The program entry, shared by the game and by builds that measure it.
#pragma once

#include <functional>

namespace zanthorix {

class TfrmZanthorix;

struct EntryHooks {
  // Runs once the windows exist and the main window is shown, before the
  // message loop starts.
  std::function<void(TfrmZanthorix &)> started;
};

int RunZanthorix(int argc, char **argv, const EntryHooks &hooks = {});

} // namespace zanthorix
