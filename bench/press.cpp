// Press to painted window, in process: a press that highlights a group and a
// press that removes it, sent through the window as the player's are, with
// Sound FX off.
#include "app/Application.h"
#include "app/BoardArea.h"
#include "app/Dialogs.h"
#include "app/DrawBoard.h"
#include "app/Main.h"
#include "media/SdlMediaDevice.h"
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

namespace {

struct Stats {
  double median, p99, min, max;
};

Stats Summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return {v[n / 2], v[std::min(n - 1, (n * 99 + 99) / 100 - 1)], v.front(), v.back()};
}

// The first ball with a like neighbour to its right or below.
bool FindGroup(const Board &board, int &column, int &row) {
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

} // namespace

int main(int argc, char **argv) {
  TApplication app(argc, argv);
  app.Title = QStringLiteral("Zanthorix");
  QTemporaryDir folder;
  NoBoxes dialogs;
  app.SetDialogs(&dialogs);
  StdRandom rng(1);
  HighScoreTables tables;
  SdlMediaDevice media;
  Services services;
  services.rng = &rng;
  services.dialogs = &dialogs;
  services.programFolder = folder.path() + QLatin1Char('/');
  services.highScores = &tables;
  services.media = &media;

  TfrmZanthorix window(services);
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  QWindow *handle = window.windowHandle();
  BoardArea *area = window.ui()->boardArea;

  using Clock = std::chrono::steady_clock;
  std::vector<double> highlight, remove;
  StdRandom deal(2);
  for (int i = 0; i < 2000; ++i) {
    DealBoard(window.board, window.BallKinds, deal);
    window.Score = 0;
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
