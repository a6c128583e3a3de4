// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rules/Board.h"
#include "rules/Random.h"

namespace zanthorix {

// Quota of kind k (1..ballKinds) in a fresh deal: the 64 squares shared as
// evenly as they go, the first kinds taking the remainder.
int DealQuota(int ballKinds, int kind);

// Fills all 64 squares row by row from the top, each square's kind drawn
// uniformly among the kinds whose quota is not yet used up.
void DealBoard(Board &board, int ballKinds, Random &rng);

} // namespace zanthorix
