// SPDX-License-Identifier: GPL-3.0-or-later
// Plays a fixed run of games and saves the tables beside itself:
//   score_script <folder ending in its separator>
// Each game is dealt from its own seed and played by always removing the
// first group found column by column; every score that earns a place goes in
// under the next of a few names (some with letters the file cannot hold).
// The same run must write the same file on every system.
#include "rules/Deal.h"
#include "rules/Random.h"
#include "rules/Rules.h"
#include "scores/HighScoreFile.h"
#include "scores/Windows1252.h"

#include <cstdio>
#include <exception>

using namespace zanthorix;

namespace {

bool RemoveFirstGroup(Board &board, std::int32_t &score) {
  for (int column = 1; column <= BoardSize; ++column)
    for (int row = 1; row <= BoardSize; ++row) {
      const std::int32_t kind = board(column, row).Kind;
      if (kind == 0) continue;
      const std::int32_t size = GroupSize(board, column, row, kind);
      ClearSelection(board);
      if (size < 2) continue;
      SelectGroup(board, column, row, kind, 1);
      RemoveSelection(board, score);
      return true;
    }
  return false;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: score_script <folder>/\n");
    return 2;
  }
  const char16_t *names[] = {u"Ned", u"Zoë Ås", u"Ζωή", u"", u"  blanks  ", u"名前"};
  try {
    SystemScoreFileSystem files;
    HighScoreTables tables;
    LoadHighScores(tables, argv[1], files);
    for (std::uint32_t game = 0; game < 60; ++game) {
      const int ballKinds = MinBallKinds + int(game % 5);
      StdRandom rng(1000 + game);
      Board board;
      DealBoard(board, ballKinds, rng);
      std::int32_t score = 0, bonus = 0;
      while (RemoveFirstGroup(board, score)) {
      }
      CheckGameOver(board, score, bonus);
      const std::int32_t rank = FindRank(tables, ballKinds, score);
      if (rank > 0) InsertHighScore(tables, ballKinds, rank, ToWindows1252(names[game % 6]), score);
    }
    SaveHighScores(tables, argv[1], files);
  } catch (const std::exception &error) {
    std::fprintf(stderr, "score_script: %s\n", error.what());
    return 1;
  }
  return 0;
}
