// SPDX-License-Identifier: GPL-3.0-or-later
// What a click does to the board: finding a group, scoring and removing it,
// letting the rest fall, and deciding when the game is over.
#pragma once

#include "rules/Board.h"
#include "rules/Random.h"

#include <array>
#include <cstdint>

namespace zanthorix {

// The picture shown after a game: one byte per row from the top, bit 0 is
// column 1.
inline constexpr std::array<std::uint8_t, BoardSize> BonusPattern{0x3C, 0x42, 0x99, 0x81,
                                                                  0xA5, 0x99, 0x42, 0x3C};

void ClearSelection(Board &board);

// Marks the group of like balls that holds (column, row). Call with the
// square's own kind and depth 1 on a board with nothing selected; a lone ball
// is left unmarked.
void SelectGroup(Board &board, std::int32_t column, std::int32_t row, std::int32_t kind,
                 std::int32_t depth);

// What removing the selected balls would score.
std::int32_t SelectionPoints(const Board &board);

// One right-to-left pass that pushes columns rightwards over empty ones.
// A single pass may leave gaps.
void CollapseColumns(Board &board);

// Removes the selected balls, lets the rest fall and close up to the right,
// and adds the points to score. Returns the points added.
std::int32_t RemoveSelection(Board &board, std::int32_t &score);

// Size of the group of kind at (column, row), not counting squares already
// selected. Leaves the squares it counted selected.
std::int32_t GroupSize(Board &board, std::int32_t column, std::int32_t row, std::int32_t kind);

// True when no two like balls touch any more; then lastBonus is set and added
// to score. Leaves nothing selected.
bool CheckGameOver(Board &board, std::int32_t &score, std::int32_t &lastBonus);

// Replaces the board with BonusPattern in one randomly chosen kind.
void ShowBonusPicture(Board &board, Random &rng);

} // namespace zanthorix
