// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/Deal.h"

#include <cassert>

namespace zanthorix {

int DealQuota(int ballKinds, int kind) {
  const int squares = BoardSize * BoardSize;
  return squares / ballKinds + (kind <= squares % ballKinds ? 1 : 0);
}

void DealBoard(Board &board, int ballKinds, Random &rng) {
  assert(ballKinds >= MinBallKinds && ballKinds <= MaxBallKinds);
  std::array<int, MaxBallKinds + 1> quota{};
  for (int k = 1; k <= ballKinds; ++k)
    quota[k] = DealQuota(ballKinds, k);

  for (int row = 1; row <= BoardSize; ++row) {
    for (int column = 1; column <= BoardSize; ++column) {
      int kind;
      do {
        kind = rng.Next(ballKinds) + 1;
      } while (quota[kind] <= 0);
      --quota[kind];
      board(column, row) = Cell{kind, false};
    }
  }
}

} // namespace zanthorix
