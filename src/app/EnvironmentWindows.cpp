// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Environment.h"

namespace zanthorix {

// Windows names every path in UTF-16 and gives each player one profile:
// nothing to put right before Qt starts.
std::string PrepareEnvironment() { return {}; }

} // namespace zanthorix
