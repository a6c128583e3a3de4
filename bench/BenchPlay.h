// SPDX-License-Identifier: GPL-3.0-or-later
// What the benchmarks that press through the window share.
#pragma once

#include "app/Main.h"
#include "app/QtDialogs.h"
#include "audio/SdlMediaDevice.h"
#include "rules/Board.h"
#include "rules/Random.h"
#include "scores/HighScoreTables.h"

namespace zanthorix::bench {

// The first ball with a like neighbour to its right or below.
inline bool FindGroup(const Board &board, int &column, int &row) {
  for (row = 1; row <= BoardSize; ++row)
    for (column = 1; column <= BoardSize; ++column) {
      const int kind = board(column, row).Kind;
      if (kind == 0) continue;
      if ((column < BoardSize && board(column + 1, row).Kind == kind) ||
          (row < BoardSize && board(column, row + 1).Kind == kind))
        return true;
    }
  return false;
}

// Boxes would wait for a player; here nothing may wait.
class NoBoxes final : public Dialogs {
public:
  MsgResult MessageBox(const QString &, const QString &, MsgButtons buttons, MsgIcon) override {
    return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Yes;
  }
  QString InputBox(const QString &, const QString &, const QString &initial) override {
    return initial;
  }
};

// What the main window is handed: the real media device, a fixed deal, and
// boxes that answer at once; the high scores go to folder.
struct BenchServices {
  NoBoxes dialogs;
  StdRandom rng{1};
  HighScoreTables tables;
  SdlMediaDevice media;
  Services services;

  explicit BenchServices(const QString &folder) {
    services.rng = &rng;
    services.dialogs = &dialogs;
    services.programFolder = folder + QLatin1Char('/');
    services.highScores = &tables;
    services.media = &media;
  }
};

} // namespace zanthorix::bench
