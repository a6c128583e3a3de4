// SPDX-License-Identifier: GPL-3.0-or-later
// Which place a finished game earns, and what entering it does to a table.
#include "scores/HighScoreTables.h"

#include <QTest>

using namespace zanthorix;

namespace {

HighScoreTables WithScores(int ballKinds, std::initializer_list<std::int32_t> scores) {
  HighScoreTables tables;
  ResetHighScoreTables(tables);
  int i = 0;
  for (const std::int32_t s : scores)
    tables.ForBallKinds(ballKinds)[i++].Score = s;
  return tables;
}

QList<std::int32_t> Scores(const HighScoreTable &table) {
  QList<std::int32_t> scores;
  for (const HighScoreEntry &e : table)
    scores << e.Score;
  return scores;
}

} // namespace

class RankingTest : public QObject {
  Q_OBJECT
private slots:
  void defaultTable();
  void spreadTable_data();
  void spreadTable();
  void tiesNeverEnter();
  void tableOutOfOrderFollowsTheSteps();
  void allZeroTableOverSeveralGames();
  void placeTenLeavesTheRest();
  void nameIsCutToTheField();
  void shorterNameKeepsLeftoverBytes();
  void onlyTheCurrentTableChanges();
};

void RankingTest::defaultTable() {
  HighScoreTables tables;
  ResetHighScoreTables(tables);
  for (const std::int32_t s : {10, 5, 1, 0, -3})
    QCOMPARE(FindRank(tables, 4, s), -1);
  QCOMPARE(FindRank(tables, 4, 11), 1);

  InsertHighScore(tables, 4, 1, "Ann", 11);
  const HighScoreTable &t = tables.ForBallKinds(4);
  QCOMPARE(t[0].Name(), std::string("Ann"));
  QCOMPARE(Scores(t), (QList<std::int32_t>{11, 10, 9, 8, 7, 6, 5, 4, 3, 2}));
  for (int i = 1; i < 10; ++i)
    QCOMPARE(t[i].Name(), std::string(DefaultName));
}

void RankingTest::spreadTable_data() {
  QTest::addColumn<int>("score");
  QTest::addColumn<int>("rank");
  QTest::newRow("above all") << 600 << 1;
  QTest::newRow("between 2 and 3") << 350 << 3;
  QTest::newRow("between 1 and 2") << 450 << 2;
  QTest::newRow("between 9 and 10") << 55 << 10;
  QTest::newRow("between 5 and 6") << 95 << 6;
  QTest::newRow("ties entry 3") << 300 << -1;
  QTest::newRow("ties entry 1") << 500 << -1;
  QTest::newRow("ties entry 10") << 50 << -1;
  QTest::newRow("below all") << 45 << -1;
  QTest::newRow("lowest int") << int(INT32_MIN) << -1;
  QTest::newRow("highest int") << int(INT32_MAX) << 1;
}

void RankingTest::spreadTable() {
  QFETCH(int, score);
  QFETCH(int, rank);
  const auto tables = WithScores(5, {500, 400, 300, 200, 100, 90, 80, 70, 60, 50});
  QCOMPARE(FindRank(tables, 5, score), rank);
}

// A tie blocks the place below it even though it beats every entry there.
void RankingTest::tiesNeverEnter() {
  const auto tables = WithScores(3, {70, 60, 60, 40, 30, 20, 10, 5, 2, 1});
  QCOMPARE(FindRank(tables, 3, 60), -1);
  QCOMPARE(FindRank(tables, 3, 65), 2);
  QCOMPARE(FindRank(tables, 3, 50), 4);
  // Negative scores compare as signed numbers.
  const auto negative = WithScores(3, {-1, -2, -3, -4, -5, -6, -7, -8, -9, -10});
  QCOMPARE(FindRank(negative, 3, 0), 1);
  QCOMPARE(FindRank(negative, 3, -11), -1);
  QCOMPARE(FindRank(negative, 3, -10), -1);
}

// A table read from a foreign file need not be in order.
void RankingTest::tableOutOfOrderFollowsTheSteps() {
  const auto tables = WithScores(6, {5, 1, 9, 4, 0, 0, 0, 0, 0, 0});
  QCOMPARE(FindRank(tables, 6, 3), 2); // first neighbour pair that brackets it
  QCOMPARE(FindRank(tables, 6, 6), 1); // beats entry 1, whatever was found below
  QCOMPARE(FindRank(tables, 6, 12), 1);
  QCOMPARE(FindRank(tables, 6, 2), 2);
}

void RankingTest::allZeroTableOverSeveralGames() {
  HighScoreTables tables; // as after a read error: all zero
  QCOMPARE(FindRank(tables, 7, 5), 1);
  InsertHighScore(tables, 7, 1, "", 5);
  QCOMPARE(FindRank(tables, 7, 5), -1);
  QCOMPARE(FindRank(tables, 7, 3), 2);
  QCOMPARE(FindRank(tables, 7, 0), -1);
  QCOMPARE(tables.ForBallKinds(7)[0].Name(), std::string());
}

void RankingTest::placeTenLeavesTheRest() {
  auto tables = WithScores(5, {500, 400, 300, 200, 100, 90, 80, 70, 60, 50});
  tables.ForBallKinds(5)[9].SetName("Old tenth");
  const HighScoreTable before = tables.ForBallKinds(5);
  QCOMPARE(FindRank(tables, 5, 55), 10);
  InsertHighScore(tables, 5, 10, "Zed", 55);
  const HighScoreTable &after = tables.ForBallKinds(5);
  for (int i = 0; i < 9; ++i)
    QVERIFY(after[i] == before[i]);
  QCOMPARE(after[9].Name(), std::string("Zed"));
  QCOMPARE(after[9].Score, 55);
}

void RankingTest::nameIsCutToTheField() {
  HighScoreTables tables;
  ResetHighScoreTables(tables);
  const std::string long150 = std::string(100, 'a') + std::string(50, 'b');
  InsertHighScore(tables, 3, 1, long150, 20);
  QCOMPARE(tables.ForBallKinds(3)[0].Name(), std::string(100, 'a'));
  QCOMPARE(int(tables.ForBallKinds(3)[0].NameLength), 100);
  // Nothing spilled into the score.
  QCOMPARE(tables.ForBallKinds(3)[0].Score, 20);
  QCOMPARE(tables.ForBallKinds(3)[0].Filler, (std::array<std::uint8_t, 3>{}));

  const std::string exactly100(100, 'x');
  InsertHighScore(tables, 3, 1, exactly100, 21);
  QCOMPARE(tables.ForBallKinds(3)[0].Name(), exactly100);
}

// Only the length and the name's characters are written; the rest of the
// field keeps the bytes of the entry that held that place before.
void RankingTest::shorterNameKeepsLeftoverBytes() {
  HighScoreTables tables;
  ResetHighScoreTables(tables);
  HighScoreTable &t = tables.ForBallKinds(4);
  t[2].SetName("Maximilian");
  t[2].Filler = {7, 8, 9};
  InsertHighScore(tables, 4, 3, "Al", 8);
  const auto record = t[2].ToRecord();
  QCOMPARE(int(record[0]), 2);
  QCOMPARE(std::string(reinterpret_cast<const char *>(&record[1]), 10), std::string("Alximilian"));
  QCOMPARE(int(record[101]), 7);
  QCOMPARE(t[3].Name(), std::string("Maximilian")); // moved down whole
  QCOMPARE(t[3].Filler, (std::array<std::uint8_t, 3>{7, 8, 9}));
  QCOMPARE(t[3].Score, 8);
}

void RankingTest::onlyTheCurrentTableChanges() {
  HighScoreTables tables;
  ResetHighScoreTables(tables);
  const HighScoreTables before = tables;
  InsertHighScore(tables, 6, FindRank(tables, 6, 99), "Bo", 99);
  for (int b = 3; b <= 7; ++b)
    if (b != 6) QVERIFY(tables.ForBallKinds(b) == before.ForBallKinds(b));
  QVERIFY(!(tables.ForBallKinds(6) == before.ForBallKinds(6)));
}

QTEST_APPLESS_MAIN(RankingTest)
#include "tst_ranking.moc"
