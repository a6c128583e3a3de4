// SPDX-License-Identifier: GPL-3.0-or-later
// What the program needs of the system it starts on, checked before Qt.
#pragma once

#include <string>

namespace zanthorix {

// Makes the environment one that every store of the game reads alike (one
// home for the settings and the high scores). Returns the reason, for the
// player, why the game cannot run here, or an empty text.
std::string PrepareEnvironment();

} // namespace zanthorix
