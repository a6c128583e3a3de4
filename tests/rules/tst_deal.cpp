// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestRandom.h"

#include "rules/Deal.h"

#include <QTest>

using namespace zanthorix;
using zanthorix::test::ScriptedRandom;
using zanthorix::test::SeededRandom;

namespace {
std::array<int, 9> CountKinds(const Board &board) {
  std::array<int, 9> count{};
  for (int c = 1; c <= 8; ++c)
    for (int r = 1; r <= 8; ++r) {
      const int kind = board(c, r).Kind;
      ++count[kind >= 0 && kind <= 8 ? kind : 8];
    }
  return count;
}
} // namespace

class DealTest : public QObject {
  Q_OBJECT
private slots:
  void quotas_data();
  void quotas();
  void squareOrderAndRedraws();
  void fewerKindsAfterMore();
};

void DealTest::quotas_data() {
  QTest::addColumn<int>("kinds");
  QTest::addColumn<QList<int>>("expected");
  QTest::newRow("3") << 3 << QList<int>{22, 21, 21};
  QTest::newRow("4") << 4 << QList<int>{16, 16, 16, 16};
  QTest::newRow("5") << 5 << QList<int>{13, 13, 13, 13, 12};
  QTest::newRow("6") << 6 << QList<int>{11, 11, 11, 11, 10, 10};
  QTest::newRow("7") << 7 << QList<int>{10, 9, 9, 9, 9, 9, 9};
}

// Every deal, whatever the seed, places exactly the quota of each kind, all
// squares full and none highlighted.
void DealTest::quotas() {
  QFETCH(int, kinds);
  QFETCH(QList<int>, expected);
  for (int k = 1; k <= kinds; ++k)
    QCOMPARE(DealQuota(kinds, k), expected[k - 1]);

  for (std::uint32_t seed = 0; seed < 300; ++seed) {
    SeededRandom rng(seed);
    Board board;
    board(3, 3).Selected = true;
    DealBoard(board, kinds, rng);
    const auto count = CountKinds(board);
    QCOMPARE(count[0], 0);
    for (int k = 1; k <= kinds; ++k)
      QCOMPARE(count[k], expected[k - 1]);
    for (int k = kinds + 1; k <= 8; ++k)
      QCOMPARE(count[k], 0);
    for (int c = 1; c <= 8; ++c)
      for (int r = 1; r <= 8; ++r)
        QVERIFY(!board(c, r).Selected);
  }
}

// Squares are filled row by row from the top; a kind whose quota is used up
// is drawn again for the same square.
void DealTest::squareOrderAndRedraws() {
  // Three kinds: 22 ones, then kind 1 is used up and every further 0 drawn
  // is refused until a 1 or a 2 comes.
  std::vector<int> script(22, 0);
  script.insert(script.end(), {0, 0, 1});
  for (int i = 0; i < 20; ++i)
    script.push_back(1);
  script.insert(script.end(), {1, 0, 2}); // kind 2 used up: 1 and 0 redrawn
  for (int i = 0; i < 20; ++i)
    script.push_back(2);
  ScriptedRandom rng(script);
  Board board;
  DealBoard(board, 3, rng);
  QVERIFY(rng.UsedUp());
  for (int n : rng.Requests())
    QCOMPARE(n, 3);

  auto kindAt = [&](int index) { return board(index % 8 + 1, index / 8 + 1).Kind; };
  for (int i = 0; i < 22; ++i)
    QCOMPARE(kindAt(i), 1);
  for (int i = 22; i < 43; ++i)
    QCOMPARE(kindAt(i), 2);
  for (int i = 43; i < 64; ++i)
    QCOMPARE(kindAt(i), 3);
  QCOMPARE(board(6, 3).Kind, 1); // the 22nd square visited: the last of kind 1
  QCOMPARE(board(7, 3).Kind, 2);
}

void DealTest::fewerKindsAfterMore() {
  SeededRandom rng(7);
  Board board;
  DealBoard(board, 7, rng);
  board(2, 2).Kind = 0; // as after a game that emptied squares
  DealBoard(board, 3, rng);
  const auto count = CountKinds(board);
  QCOMPARE(count[0], 0);
  QCOMPARE(count[1] + count[2] + count[3], 64);
}

QTEST_APPLESS_MAIN(DealTest)
#include "tst_deal.moc"
