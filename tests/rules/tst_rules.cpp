// SPDX-License-Identifier: GPL-3.0-or-later
#include "BoardPicture.h"
#include "TestRandom.h"
#include "rules/Rules.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTest>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

using namespace zanthorix;
using namespace zanthorix::test;

namespace {

int CountBalls(const Board &board, int kind = -1) {
  int n = 0;
  for (int column = 1; column <= BoardSize; ++column)
    for (int row = 1; row <= BoardSize; ++row) {
      const int k = board(column, row).Kind;
      n += (kind < 0 ? k > 0 : k == kind) ? 1 : 0;
    }
  return n;
}

// For the column tests a board is described by its columns: '-' is an empty
// column, and letter number k ('A' = 1) a column whose bottom k squares hold
// balls of kind k; lower case marks that column's balls selected.
Board ColumnsBoard(const QString &layout) {
  Board board;
  for (int column = 1; column <= BoardSize; ++column) {
    const char ch = layout[column - 1].toLatin1();
    if (ch == '-') continue;
    const bool selected = ch >= 'a' && ch <= 'g';
    const int kind = (selected ? ch - 'a' : ch - 'A') + 1;
    for (int row = BoardSize - kind + 1; row <= BoardSize; ++row)
      board(column, row) = Cell{kind, selected};
  }
  return board;
}

QString ColumnLayout(const Board &board) {
  QString layout;
  for (int column = 1; column <= BoardSize; ++column) {
    QChar found = u'?';
    for (const char ch : QByteArray("-ABCDEFGabcdefg")) {
      bool same = true;
      const Board canonical = ColumnsBoard(QString(BoardSize, QChar(ch)));
      for (int row = 1; row <= BoardSize; ++row)
        same = same && board(column, row) == canonical(column, row);
      if (same) {
        found = QChar(ch);
        break;
      }
    }
    layout += found;
  }
  return layout;
}

// The squares that have a like neighbour, i.e. those a click would remove.
std::vector<std::pair<int, int>> Removable(const Board &board) {
  std::vector<std::pair<int, int>> found;
  for (int column = 1; column <= BoardSize; ++column) {
    for (int row = 1; row <= BoardSize; ++row) {
      const int kind = board(column, row).Kind;
      if (kind == 0) continue;
      const auto like = [&](int c, int r) {
        return Board::Contains(c, r) && board(c, r).Kind == kind;
      };
      if (like(column + 1, row) || like(column - 1, row) || like(column, row + 1) ||
          like(column, row - 1))
        found.emplace_back(column, row);
    }
  }
  return found;
}

// What must hold between clicks; empty when all is well.
QString BrokenInvariant(const Board &board, int kinds) {
  bool seenBallColumn = false;
  for (int column = 1; column <= BoardSize; ++column) {
    bool seenBall = false;
    for (int row = 1; row <= BoardSize; ++row) {
      const Cell &cell = board(column, row);
      if (cell.Selected) return QString("(%1,%2) is selected").arg(column).arg(row);
      if (cell.Kind < 0 || cell.Kind > kinds)
        return QString("(%1,%2) has kind %3").arg(column).arg(row).arg(cell.Kind);
      if (cell.Kind > 0)
        seenBall = true;
      else if (seenBall)
        return QString("(%1,%2) is empty below a ball").arg(column).arg(row);
    }
    if (seenBall)
      seenBallColumn = true;
    else if (seenBallColumn)
      return QString("column %1 is empty right of a ball").arg(column);
  }
  return {};
}

} // namespace

class TestRules : public QObject {
  Q_OBJECT

private slots:
  void selectGroup_data();
  void selectGroup();
  void selectGroupIgnoresWhatItMustNotTouch_data();
  void selectGroupIgnoresWhatItMustNotTouch();
  void sameGroupFromEveryBall();
  void groupSize_data();
  void groupSize();
  void selectionPoints_data();
  void selectionPoints();
  void clearSelection();
  void collapseColumns_data();
  void collapseColumns();
  void removeSelection_data();
  void removeSelection();
  void sevenPassesCloseEveryLayout();
  void checkGameOver_data();
  void checkGameOver();
  void bonusPicture_data();
  void bonusPicture();
  void randomGames_data();
  void randomGames();
  void scriptedRandomFailsOnMisuse();
};

void TestRules::selectGroup_data() {
  QTest::addColumn<QString>("board");
  QTest::addColumn<int>("column");
  QTest::addColumn<int>("row");
  QTest::addColumn<int>("points");
  QTest::addColumn<QString>("selected");

  QTest::newRow("lone ball") << QString(R"(
      ...2....
      ..212...
      ...2....)") << 4 << 7 << 0
                             << QString(R"(
      ...2....
      ..212...
      ...2....)");
  QTest::newRow("empty square") << QString(R"(
      .33.....
      .33.....)") << 1 << 8 << 0 << QString(R"(
      .33.....
      .33.....)");
  QTest::newRow("pair") << QString(R"(
      ..1.....
      .2332...)") << 3 << 8
                        << 4 << QString(R"(
      ..1.....
      .2cc2...)");
  QTest::newRow("three in a row") << QString(R"(
      .45554..
      .12321..)") << 4 << 7 << 6 << QString(R"(
      .4eee4..
      .12321..)");
  QTest::newRow("L of four") << QString(R"(
      .6......
      .6......
      .66.....
      .17.....)") << 2 << 5 << 12
                             << QString(R"(
      .f......
      .f......
      .ff.....
      .17.....)");
  QTest::newRow("corners only") << QString(R"(
      4.......
      .4......
      ..4.....)") << 2 << 7 << 0 << QString(R"(
      4.......
      .4......
      ..4.....)");
  QTest::newRow("pair with a corner neighbour") << QString(R"(
      ..7.....
      77......)") << 1 << 8 << 4 << QString(R"(
      ..7.....
      gg......)");
  // A ring round the edge, from a corner; the like pair inside stays out.
  QTest::newRow("along the edges") << QString(R"(
      11111111
      12222221
      12311321
      12344321
      12344321
      12333321
      12222221
      11111111)") << 8 << 8 << 28 * 27
                                   << QString(R"(
      aaaaaaaa
      a222222a
      a231132a
      a234432a
      a234432a
      a233332a
      a222222a
      aaaaaaaa)");
  QTest::newRow("whole board") << QString("55555555 ").repeated(8) << 5 << 5 << 64 * 63
                               << QString("eeeeeeee ").repeated(8);
}

void TestRules::selectGroup() {
  QFETCH(QString, board);
  QFETCH(int, column);
  QFETCH(int, row);
  QFETCH(int, points);
  QFETCH(QString, selected);

  Board b = MakeBoard(board);
  SelectGroup(b, column, row, b(column, row).Kind, 1);
  QCOMPARE(Render(b), Rows(selected));
  QCOMPARE(SelectionPoints(b), points);
}

void TestRules::selectGroupIgnoresWhatItMustNotTouch_data() {
  QTest::addColumn<int>("column");
  QTest::addColumn<int>("row");
  QTest::addColumn<int>("kind");
  QTest::addColumn<int>("depth");

  QTest::newRow("column 0") << 0 << 8 << 1 << 1;
  QTest::newRow("column 9") << 9 << 8 << 1 << 1;
  QTest::newRow("row 0") << 2 << 0 << 1 << 1;
  QTest::newRow("row 9") << 2 << 9 << 1 << 1;
  // Kind 0 would otherwise match, and flood, the empty squares.
  QTest::newRow("kind 0 on an empty square") << 5 << 5 << 0 << 2;
  QTest::newRow("negative kind") << 2 << 8 << -1 << 2;
  QTest::newRow("other kind") << 2 << 8 << 2 << 2;
  // A selected ball must not lead on to its unselected neighbours.
  QTest::newRow("already selected") << 1 << 8 << 1 << 2;
}

void TestRules::selectGroupIgnoresWhatItMustNotTouch() {
  QFETCH(int, column);
  QFETCH(int, row);
  QFETCH(int, kind);
  QFETCH(int, depth);

  const QString picture = QStringLiteral("11...... a1......");
  Board board = MakeBoard(picture);
  SelectGroup(board, column, row, kind, depth);
  QCOMPARE(Render(board), Rows(picture));
}

// Whichever ball of a group is clicked, the same squares are selected.
void TestRules::sameGroupFromEveryBall() {
  std::vector<Board> boards{MakeBoard(R"(
      11223344
      12233441
      55667711
      15566771
      22334455
      23344556
      66771122
      67711223)")};
  test::SeededRandom rng(7);
  for (int i = 0; i < 20; ++i) {
    Board board;
    for (int column = 1; column <= BoardSize; ++column)
      for (int row = 1; row <= BoardSize; ++row)
        board(column, row).Kind = rng.Next(3) + 1;
    boards.push_back(board);
  }

  for (const Board &start : boards) {
    for (int column = 1; column <= BoardSize; ++column) {
      for (int row = 1; row <= BoardSize; ++row) {
        const int kind = start(column, row).Kind;
        Board board = start;
        SelectGroup(board, column, row, kind, 1);
        const QStringList selected = Render(board);
        const int points = SelectionPoints(board);
        const int size = CountSelected(board);

        Board counted = start;
        const int groupSize = GroupSize(counted, column, row, kind);
        QCOMPARE(size, groupSize == 1 ? 0 : groupSize);
        if (size == 0) continue;
        QVERIFY(board(column, row).Selected);

        for (int c = 1; c <= BoardSize; ++c) {
          for (int r = 1; r <= BoardSize; ++r) {
            if (!board(c, r).Selected) continue;
            QCOMPARE(board(c, r).Kind, kind);
            Board again = start;
            SelectGroup(again, c, r, kind, 1);
            QCOMPARE(Render(again), selected);
            QCOMPARE(SelectionPoints(again), points);
          }
        }
      }
    }
  }
}

void TestRules::groupSize_data() {
  QTest::addColumn<QString>("board");
  QTest::addColumn<int>("column");
  QTest::addColumn<int>("row");
  QTest::addColumn<int>("kind");
  QTest::addColumn<int>("size");
  QTest::addColumn<QString>("after");

  const QString ell = QStringLiteral(".6...... .6...... .66..... .17.....");
  // Unlike SelectGroup, a lone ball is counted and marked.
  QTest::newRow("lone ball") << QString("..2..... .212....") << 3 << 8 << 1 << 1
                             << QString("..2..... .2a2....");
  QTest::newRow("L of four") << ell << 3 << 7 << 6 << 4
                             << QString(".f...... .f...... .ff..... .17.....");
  QTest::newRow("other kind") << ell << 2 << 5 << 3 << 0 << ell;
  QTest::newRow("empty square") << ell << 1 << 1 << 0 << 0 << ell;
  QTest::newRow("column 0") << ell << 0 << 5 << 6 << 0 << ell;
  QTest::newRow("row 9") << ell << 2 << 9 << 6 << 0 << ell;
  const QString marked = QStringLiteral(".f...... .6...... .66..... .17.....");
  QTest::newRow("already selected") << marked << 2 << 5 << 6 << 0 << marked;
  QTest::newRow("selected squares block the way")
      << marked << 2 << 6 << 6 << 3 << QString(".f...... .f...... .ff..... .17.....");
  QTest::newRow("along the edges") << QString("11111111 12222221 12311321 12344321 "
                                              "12344321 12333321 12222221 11111111")
                                   << 1 << 1 << 1 << 28
                                   << QString("aaaaaaaa a222222a a231132a a234432a "
                                              "a234432a a233332a a222222a aaaaaaaa");
}

void TestRules::groupSize() {
  QFETCH(QString, board);
  QFETCH(int, column);
  QFETCH(int, row);
  QFETCH(int, kind);
  QFETCH(int, size);
  QFETCH(QString, after);

  Board b = MakeBoard(board);
  QCOMPARE(GroupSize(b, column, row, kind), size);
  QCOMPARE(Render(b), Rows(after));
}

void TestRules::selectionPoints_data() {
  QTest::addColumn<int>("selected");
  QTest::addColumn<int>("points");

  QTest::newRow("none") << 0 << 0;
  QTest::newRow("one") << 1 << 0;
  QTest::newRow("two") << 2 << 4;
  QTest::newRow("three") << 3 << 6;
  QTest::newRow("four") << 4 << 12;
  QTest::newRow("five") << 5 << 20;
  QTest::newRow("all") << 64 << 4032;
}

void TestRules::selectionPoints() {
  QFETCH(int, selected);
  QFETCH(int, points);

  // Scattered over the board with unselected balls in between.
  Board board;
  for (int i = 0; i < 64; ++i)
    board(i % 8 + 1, i / 8 + 1) = Cell{i % 7 + 1, (i * 27) % 64 < selected};
  QCOMPARE(CountSelected(board), selected);
  QCOMPARE(SelectionPoints(board), points);
}

void TestRules::clearSelection() {
  Board board = MakeBoard("a*...... 1bc7.... 7654321g");
  ClearSelection(board);
  QCOMPARE(Render(board), Rows("1....... 1237.... 76543217"));
}

void TestRules::collapseColumns_data() {
  QTest::addColumn<QString>("layout");
  QTest::addColumn<QStringList>("passes");

  QTest::newRow("every other") << "A-B-C-D-" << QStringList{"----ABCD", "----ABCD"};
  QTest::newRow("two gaps") << "AB--C--D" << QStringList{"--AB-C-D", "----ABCD", "----ABCD"};
  QTest::newRow("only column 1") << "A-------"
                                 << QStringList{"----A---", "------A-", "-------A", "-------A"};
  QTest::newRow("full") << "ABCDEFGA" << QStringList{"ABCDEFGA"};
  QTest::newRow("empty") << "--------" << QStringList{"--------"};
  QTest::newRow("already closed") << "--ABCDEF" << QStringList{"--ABCDEF"};
  QTest::newRow("last column empty") << "ABCDEFG-" << QStringList{"-ABCDEFG"};
  // Selected flags travel with their balls.
  QTest::newRow("selected") << "a-B-c---" << QStringList{"----aBc-", "-----aBc", "-----aBc"};
}

void TestRules::collapseColumns() {
  QFETCH(QString, layout);
  QFETCH(QStringList, passes);

  Board board = ColumnsBoard(layout);
  QCOMPARE(ColumnLayout(board), layout);
  for (qsizetype pass = 0; pass < passes.size(); ++pass) {
    CollapseColumns(board);
    const QString actual = ColumnLayout(board);
    QVERIFY2(actual == passes[pass],
             qPrintable(
                 QString("pass %1 gave %2, expected %3").arg(pass + 1).arg(actual, passes[pass])));
  }
}

void TestRules::removeSelection_data() {
  QTest::addColumn<QString>("before");
  QTest::addColumn<QString>("after");
  QTest::addColumn<int>("points");

  QTest::newRow("group in row 1") << QString(R"(
      ccc45...
      12312345
      23423456
      34534567
      45645671
      56756712
      67167123
      71271234)") << QString(R"(
      ...45...
      12312345
      23423456
      34534567
      45645671
      56756712
      67167123
      71271234)") << 6;
  QTest::newRow("stack of three") << QString(R"(
      23456712
      23556712
      23656712
      23a56712
      23a56712
      23a56712
      23756712
      23156712)") << QString(R"(
      23.56712
      23.56712
      23.56712
      23456712
      23556712
      23656712
      23756712
      23156712)") << 6;
  // Column 6 loses the balls above and below its 1, column 7 three in a row.
  QTest::newRow("wrapped round another ball") << QString(R"(
      .....45.
      .....cc.
      ....21c.
      ....1cc.
      ....2467)") << QString(R"(
      ....24..
      ....115.
      ....2467)") << 20;
  QTest::newRow("column emptied") << QString(R"(
      ..4..3..
      1.5.b4.7
      2367b561)") << QString(R"(
      ...4.3..
      .1.5.4.7
      .2367561)") << 4;
  QTest::newRow("two columns emptied") << QString(R"(
      1...6...
      2.dd7...
      35dd1235)") << QString(R"(
      ..1.6...
      ..2.7...
      ..351235)") << 12;
  QTest::newRow("column emptied beside empty ones") << QString(R"(
      ...2.c.7
      ..145c61)") << QString(R"(
      ....2..7
      ...14561)") << 4;
  QTest::newRow("last balls") << QString(R"(
      .......a
      ......aa)") << QString() << 6;
  QTest::newRow("whole board") << QString("eeeeeeee ").repeated(8) << QString() << 4032;
  QTest::newRow("nothing selected") << QString(R"(
      ....12.3
      ...12345)") << QString(R"(
      ....12.3
      ...12345)") << 0;
}

void TestRules::removeSelection() {
  QFETCH(QString, before);
  QFETCH(QString, after);
  QFETCH(int, points);

  Board board = MakeBoard(before);
  std::int32_t score = 100;
  QCOMPARE(RemoveSelection(board, score), points);
  QCOMPARE(score, 100 + points);
  QCOMPARE(Render(board), Rows(after));
}

// However the empty columns lie, the balls end up closed to the right in
// their order, which is what the seven passes in RemoveSelection rely on.
void TestRules::sevenPassesCloseEveryLayout() {
  for (int mask = 0; mask < 256; ++mask) {
    QString layout;
    QString closed;
    for (int column = 0; column < BoardSize; ++column) {
      if (mask & (1 << column)) {
        layout += QChar(u'A' + column % 7);
        closed += QChar(u'A' + column % 7);
      } else {
        layout += u'-';
        closed.prepend(u'-');
      }
    }
    Board board = ColumnsBoard(layout);
    std::int32_t score = 0;
    QCOMPARE(RemoveSelection(board, score), 0);
    QCOMPARE(ColumnLayout(board), closed);
  }
}

void TestRules::checkGameOver_data() {
  QTest::addColumn<QString>("board");
  QTest::addColumn<bool>("over");
  QTest::addColumn<int>("bonus");

  const QString checkerboard = QString("12121212 21212121 ").repeated(4);
  QTest::newRow("full board of lone balls") << checkerboard << true << 0;
  QTest::newRow("corners only") << QString("1.1.1.1. .1.1.1.1 ").repeated(4) << true << 0;
  QTest::newRow("neighbours of other kinds") << QString("23456712 12345671") << true << 0;
  QTest::newRow("pair visited first")
      << QString("1....... 1....... ........ ..2.3...") << false << 0;
  // The last two squares visited; everything before them is lone.
  QTest::newRow("pair visited last") << QString(R"(
      12121212
      21212121
      12121212
      21212121
      12121212
      21212121
      12121213
      21212123)") << false << 0;
  QTest::newRow("pair in the middle") << QString("...1.... ..3443.. ...2....") << false << 0;
  QTest::newRow("four with a pair") << QString("1223....") << false << 0;
  QTest::newRow("empty board") << QString() << true << 50;
  QTest::newRow("one left") << QString("...4....") << true << 40;
  QTest::newRow("two left") << QString("1.1.....") << true << 30;
  QTest::newRow("three left") << QString("123.....") << true << 20;
  QTest::newRow("four left") << QString("1212....") << true << 10;
  QTest::newRow("five left") << QString("12121...") << true << 0;
}

void TestRules::checkGameOver() {
  QFETCH(QString, board);
  QFETCH(bool, over);
  QFETCH(int, bonus);

  Board b = MakeBoard(board);
  std::int32_t score = 100;
  std::int32_t lastBonus = -1;
  QCOMPARE(CheckGameOver(b, score, lastBonus), over);
  // Kinds untouched and nothing left selected.
  QCOMPARE(Render(b), Rows(board));
  if (over) {
    QCOMPARE(lastBonus, bonus);
    QCOMPARE(score, 100 + bonus);
  } else {
    QCOMPARE(lastBonus, -1);
    QCOMPARE(score, 100);
  }
}

void TestRules::bonusPicture_data() {
  QTest::addColumn<int>("draw");

  for (int draw = 0; draw < 7; ++draw)
    QTest::addRow("draw %d", draw) << draw;
}

void TestRules::bonusPicture() {
  QFETCH(int, draw);

  // Start from a busy board with selected squares, some of them empty.
  test::SeededRandom seeded(static_cast<std::uint32_t>(draw));
  Board board;
  for (int column = 1; column <= BoardSize; ++column)
    for (int row = 1; row <= BoardSize; ++row)
      board(column, row) = Cell{seeded.Next(4), seeded.Next(3) == 0};

  test::ScriptedRandom rng({draw});
  ShowBonusPicture(board, rng);
  QCOMPARE(rng.Requests(), std::vector<int>{MaxBallKinds});

  const QString kind = QString::number(draw + 1);
  QCOMPARE(Render(board), Rows(QString(R"(
      ..XXXX..
      .X....X.
      X..XX..X
      X......X
      X.X..X.X
      X..XX..X
      .X....X.
      ..XXXX..)")
                                   .replace(u'X', kind)));
  QCOMPARE(CountBalls(board, draw + 1), 26);
  QCOMPARE(CountBalls(board), 26);
}

void TestRules::randomGames_data() {
  QTest::addColumn<int>("kinds");

  for (int kinds = MinBallKinds; kinds <= MaxBallKinds; ++kinds)
    QTest::addRow("%d kinds", kinds) << kinds;
}

// Whole games of random clicks on random full boards.
void TestRules::randomGames() {
  QFETCH(int, kinds);

  for (std::uint32_t game = 0; game < 60; ++game) {
    const std::uint32_t seed = static_cast<std::uint32_t>(kinds) * 1000 + game;
    const auto where = [seed](const QString &what) {
      return QString("seed %1: %2").arg(seed).arg(what).toLocal8Bit();
    };
    test::SeededRandom rng(seed);
    Board board;
    for (int column = 1; column <= BoardSize; ++column)
      for (int row = 1; row <= BoardSize; ++row)
        board(column, row).Kind = rng.Next(kinds) + 1;

    std::array<int, MaxBallKinds + 1> left{};
    for (int kind = 1; kind <= MaxBallKinds; ++kind)
      left[kind] = CountBalls(board, kind);
    std::int32_t score = 0;
    std::int32_t expectedScore = 0;
    std::int32_t lastBonus = -1;

    for (;;) {
      const auto removable = Removable(board);
      const bool over = CheckGameOver(board, score, lastBonus);
      QVERIFY2(over == removable.empty(), where("game over wrongly judged"));
      if (over) break;
      QVERIFY2(lastBonus == -1 && score == expectedScore, where("score moved mid-game"));

      const auto [column, row] = removable[rng.Next(static_cast<int>(removable.size()))];
      const int kind = board(column, row).Kind;
      SelectGroup(board, column, row, kind, 1);
      const int n = CountSelected(board);
      QVERIFY2(n >= 2 && board(column, row).Selected, where("group not selected"));
      QVERIFY2(CountSelected(board, kind) == n, where("selection strays from the kind"));

      const std::int32_t added = RemoveSelection(board, score);
      QVERIFY2(added == (n == 2 ? 4 : n * (n - 1)), where("wrong points"));
      expectedScore += added;
      QVERIFY2(score == expectedScore, where("score is not the sum of points"));
      left[kind] -= n;
      for (int k = 1; k <= MaxBallKinds; ++k)
        QVERIFY2(CountBalls(board, k) == left[k], where(QString("kind %1 miscounted").arg(k)));
      const QString broken = BrokenInvariant(board, kinds);
      QVERIFY2(broken.isEmpty(), where(broken));
    }

    const int balls = CountBalls(board);
    QVERIFY2(lastBonus == (balls < 5 ? (5 - balls) * 10 : 0), where("wrong bonus"));
    QVERIFY2(score == expectedScore + lastBonus, where("bonus not added"));
  }
}

// The other tests trust it to catch a script that does not fit the calls.
void TestRules::scriptedRandomFailsOnMisuse() {
  test::ScriptedRandom rng({2, 5});
  QCOMPARE(rng.Next(3), 2);
  QVERIFY(!rng.UsedUp());
  QEXPECT_FAIL("", "5 is out of range for Next(3)", Continue);
  QCOMPARE(rng.Next(3), 0);
  QVERIFY(rng.UsedUp());
  QEXPECT_FAIL("", "the script is used up", Continue);
  QCOMPARE(rng.Next(3), 0);
  QCOMPARE(rng.Requests(), (std::vector<int>{3, 3, 3}));
}

QTEST_APPLESS_MAIN(TestRules)
#include "tst_rules.moc"
