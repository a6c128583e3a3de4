// SPDX-License-Identifier: GPL-3.0-or-later
// The 8 by 8 board, its cells, and the random source the deal draws from.
#pragma once

#include <array>
#include <cstdint>

namespace zanthorix {

constexpr int BoardSize = 8;
constexpr int MinBallKinds = 3;
constexpr int MaxBallKinds = 7;

struct Cell {
  std::int32_t Kind = 0; // 0 empty, 1..7 a ball
  bool Selected = false;
  bool operator==(const Cell &) const = default;
};

// Indexed Board(column, row), both 1..8; column 1 is the left, row 1 the top.
class Board {
public:
  Cell &operator()(int column, int row) { return cells_[column - 1][row - 1]; }
  const Cell &operator()(int column, int row) const { return cells_[column - 1][row - 1]; }

  static bool Contains(int column, int row) {
    return column >= 1 && column <= BoardSize && row >= 1 && row <= BoardSize;
  }
  bool operator==(const Board &) const = default;

private:
  std::array<std::array<Cell, BoardSize>, BoardSize> cells_{};
};

} // namespace zanthorix
