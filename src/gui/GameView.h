// SPDX-License-Identifier: GPL-3.0-or-later
// What the game's other windows read of the main window.
#pragma once

#include <QString>

#include <cstdint>

namespace zanthorix {

class GameView {
public:
  // The number of ball kinds of the game in play, 3 to 7.
  virtual std::int32_t BallKindsInPlay() const = 0;
  virtual QString CurrentPlayerName() const = 0;

protected:
  ~GameView() = default;
};

} // namespace zanthorix
