// SPDX-License-Identifier: GPL-3.0-or-later
// Press to painted window, in process: a press that highlights a group and a
// press that removes it, sent through the window as the player's are, with
// Sound FX off.
#include "BenchPlay.h"
#include "app/Application.h"
#include "app/BoardArea.h"
#include "app/DrawBoard.h"
#include "app/Main.h"
#include "app/QtDialogs.h"
#include "audio/SdlMediaDevice.h"
#include "rules/Deal.h"
#include "rules/Random.h"
#include "rules/Rules.h"
#include "scores/HighScoreTables.h"
#include "ui_Main.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace zanthorix;
using bench::FindGroup;

namespace {

struct Stats {
  double median, p99, min, max;
};

Stats Summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return {v[n / 2], v[std::min(n - 1, (n * 99 + 99) / 100 - 1)], v.front(), v.back()};
}

} // namespace

int main(int argc, char **argv) {
  TApplication app(argc, argv);
  app.Title = QStringLiteral("Zanthorix");
  QTemporaryDir folder;
  bench::BenchServices game(folder.path());
  app.SetDialogs(&game.dialogs);

  TfrmZanthorix window(game.services);
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  QWindow *handle = window.windowHandle();
  BoardArea *area = window.ui()->boardArea;

  using Clock = std::chrono::steady_clock;
  std::vector<double> highlight, remove;
  StdRandom deal(2);
  for (int i = 0; i < 2000; ++i) {
    DealBoard(window.board, window.BallKinds, deal);
    window.SetPosition(window.board, 0);
    int column, row;
    if (!FindGroup(window.board, column, row)) continue;
    window.DrawBoard();
    const QPoint at = area->mapTo(&window, SquareRect(column, row).center());

    auto start = Clock::now();
    QTest::mouseClick(handle, Qt::LeftButton, {}, at);
    highlight.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());

    start = Clock::now();
    QTest::mouseClick(handle, Qt::LeftButton, {}, at);
    remove.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    if (window.board(column, row).Selected) return 1; // the press did not remove the group
  }

  for (auto [name, values] : {std::pair{"press to painted window, highlight", &highlight},
                              std::pair{"press to painted window, remove", &remove}}) {
    const Stats s = Summarise(*values);
    std::printf("| %-52s | %9.3f | %9.3f | %9.3f | %-6s | %-13s |\n", name, s.median, s.min, s.max,
                "ms", "");
    char label[80];
    std::snprintf(label, sizeof label, "%s, 99th percentile", name);
    std::printf("| %-52s | %9.3f | %9s | %9s | %-6s | %5.1f%% of 16.7 |\n", label, s.p99, "", "",
                "ms", s.p99 / 16.7 * 100.0);
  }
  window.close();
  return 0;
}
