// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/Rules.h"

#include <optional>
#include <utility>

namespace zanthorix {

namespace {

bool ColumnHasBall(const Board &board, int column) {
  for (int row = 1; row <= BoardSize; ++row)
    if (board(column, row).Kind > 0) return true;
  return false;
}

// Bottom row first, and left to right within a row.
std::optional<std::pair<int, int>> LowestSelected(const Board &board) {
  for (int row = BoardSize; row >= 1; --row)
    for (int column = 1; column <= BoardSize; ++column)
      if (board(column, row).Selected) return std::pair{column, row};
  return std::nullopt;
}

} // namespace

void ClearSelection(Board &board) {
  for (int column = 1; column <= BoardSize; ++column)
    for (int row = 1; row <= BoardSize; ++row)
      board(column, row).Selected = false;
}

void SelectGroup(Board &board, std::int32_t column, std::int32_t row, std::int32_t kind,
                 std::int32_t depth) {
  if (kind <= 0 || !Board::Contains(column, row)) return;
  Cell &cell = board(column, row);
  if (cell.Kind != kind || cell.Selected) return;
  // The clicked ball gets marked only when a neighbour leads back to it, which
  // is what keeps a lone ball unselected.
  if (depth > 1) cell.Selected = true;
  SelectGroup(board, column + 1, row, kind, depth + 1);
  SelectGroup(board, column - 1, row, kind, depth + 1);
  SelectGroup(board, column, row + 1, kind, depth + 1);
  SelectGroup(board, column, row - 1, kind, depth + 1);
}

std::int32_t SelectionPoints(const Board &board) {
  std::int32_t n = 0;
  for (int column = 1; column <= BoardSize; ++column)
    for (int row = 1; row <= BoardSize; ++row)
      if (board(column, row).Selected) ++n;
  if (n > 2) return n * (n - 1);
  // n * (n - 1) would make a pair worth only 2.
  if (n == 2) return 4;
  return 0;
}

void CollapseColumns(Board &board) {
  for (int a = BoardSize; a >= 1; --a) {
    if (ColumnHasBall(board, a)) continue;
    for (int column = a; column > 1; --column)
      for (int row = 1; row <= BoardSize; ++row)
        board(column, row) = board(column - 1, row);
    for (int row = 1; row <= BoardSize; ++row)
      board(1, row) = Cell{};
  }
}

std::int32_t RemoveSelection(Board &board, std::int32_t &score) {
  const std::int32_t points = SelectionPoints(board);

  // One ball at a time, each time letting its column drop by one; balls
  // selected higher up fall with the rest and are found on a later scan.
  while (const auto found = LowestSelected(board)) {
    const auto [x, y] = *found;
    board(x, y).Selected = false;
    for (int row = y; row > 1; --row)
      board(x, row) = board(x, row - 1);
    board(x, 1) = Cell{};
  }

  // A pass can leave gaps behind; seven close them whatever the layout.
  for (int pass = 0; pass < BoardSize - 1; ++pass)
    CollapseColumns(board);

  score += points;
  return points;
}

std::int32_t GroupSize(Board &board, std::int32_t column, std::int32_t row, std::int32_t kind) {
  if (kind <= 0 || !Board::Contains(column, row)) return 0;
  Cell &cell = board(column, row);
  if (cell.Kind != kind || cell.Selected) return 0;
  cell.Selected = true;
  return 1 + GroupSize(board, column + 1, row, kind) + GroupSize(board, column - 1, row, kind) +
         GroupSize(board, column, row + 1, kind) + GroupSize(board, column, row - 1, kind);
}

bool CheckGameOver(Board &board, std::int32_t &score, std::int32_t &lastBonus) {
  bool over = true;
  for (int column = 1; column <= BoardSize; ++column) {
    for (int row = 1; row <= BoardSize; ++row) {
      const std::int32_t kind = board(column, row).Kind;
      if (kind <= 0) continue;
      const std::int32_t size = GroupSize(board, column, row, kind);
      ClearSelection(board);
      if (size >= 2) over = false;
    }
  }
  if (!over) return false;

  std::int32_t left = 0;
  for (int column = 1; column <= BoardSize; ++column)
    for (int row = 1; row <= BoardSize; ++row)
      if (board(column, row).Kind > 0) ++left;
  lastBonus = left < 5 ? (5 - left) * 10 : 0;
  score += lastBonus;
  return true;
}

void ShowBonusPicture(Board &board, Random &rng) {
  // Any of the seven kinds, even in a game played with fewer.
  const std::int32_t kind = rng.Next(MaxBallKinds) + 1;
  for (int row = 1; row <= BoardSize; ++row) {
    for (int column = 1; column <= BoardSize; ++column) {
      Cell &cell = board(column, row);
      cell.Selected = false;
      cell.Kind = (BonusPattern[row - 1] >> (column - 1)) & 1 ? kind : 0;
    }
  }
}

} // namespace zanthorix
