// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestWindow.h"
#include "rules/BoardPicture.h"
#include "rules/TestRandom.h"

#include "app/StatusBar.h"
#include "rules/Rules.h"
#include "ui_Main.h"

#include <random>

using namespace zanthorix;
using namespace zanthorix::test;

namespace {

// A board of lone balls in a checker pattern but for the pictures given.
const char *const Quiet = "12121212 21212121 12121212 21212121 "
                          "12121212 21212121 12121212 21212177";

bool HasYellowRing(const QImage &image, int column, int row) {
  const QRect r = OutlineRect(column, row);
  return image.pixelColor(r.topLeft()) == QColor(255, 255, 0) &&
         image.pixelColor(r.bottomRight()) == QColor(255, 255, 0);
}

// Squares showing a ball in the window's backing store: what is on screen.
int BallsOnScreen(const TestWindow &t) {
  const QImage shot = t.window->screen()->grabWindow(t.window->winId()).toImage();
  const QPoint origin = t.window->ui()->boardArea->mapTo(t.window.get(), QPoint(0, 0));
  int balls = 0;
  for (int c = 1; c <= 8; ++c)
    for (int r = 1; r <= 8; ++r)
      balls += shot.pixel(origin + SquareRect(c, r).center()) !=
               t.window->palette().window().color().rgb();
  return balls;
}

} // namespace

class PlayTest : public QObject {
  Q_OBJECT
private slots:
  void pressHighlightsThenRemoves();
  void pressOnEmptyOrLoneClearsHighlight();
  void hitZones();
  void pressesOutsideTheSquaresChangeNothing();
  void everyButtonAlike();
  void doubleClickHighlightsAndRemoves();
  void lastRemovalEndsTheGameInTheSamePress();
  void soak();
};

void PlayTest::pressHighlightsThenRemoves() {
  TestWindow t;
  t.window->SetPosition(MakeBoard("33121212 31212121 12121212 21212121 "
                                  "12121212 21212121 12121212 21212177"));
  t.Press(Centre(2, 1).x(), Centre(2, 1).y());
  QCOMPARE(t.Panel(1), QStringLiteral("Points: 6"));
  QCOMPARE(CountSelected(t.window->board), 3);
  const QImage image = t.BoardImage();
  QVERIFY(HasYellowRing(image, 1, 1));
  QVERIFY(HasYellowRing(image, 2, 1));
  QVERIFY(HasYellowRing(image, 1, 2));
  QVERIFY(!HasYellowRing(image, 2, 2));

  // Any ball of the group removes the whole group.
  t.Press(Centre(1, 2).x(), Centre(1, 2).y());
  QCOMPARE(t.Panel(1), QString());
  QCOMPARE(t.window->Score, 6);
  QCOMPARE(t.Panel(0), QStringLiteral("Score: 6"));
  QCOMPARE(t.window->board(1, 1).Kind, 0);
  QCOMPARE(t.window->board(1, 2).Kind, 0);
  QCOMPARE(t.window->board(2, 1).Kind, 0);
  QCOMPARE(t.window->board(2, 2).Kind, 1);
  QCOMPARE(CountSelected(t.window->board), 0);
  const QImage after = t.BoardImage();
  QCOMPARE(after.pixelColor(Centre(1, 1)), t.window->palette().color(QPalette::Window));
  QVERIFY(!HasYellowRing(after, 1, 1));
}

void PlayTest::pressOnEmptyOrLoneClearsHighlight() {
  TestWindow t;
  t.window->SetPosition(MakeBoard("..114545 .3365656 12121212 21212121 "
                                  "12121212 21212121 12121212 21212177"));
  // Empty square, then a lone ball: each clears the highlight and shows 0.
  for (QPoint square : {QPoint(1, 1), QPoint(3, 4)}) {
    t.Press(Centre(3, 1).x(), Centre(3, 1).y());
    QCOMPARE(t.Panel(1), QStringLiteral("Points: 4"));
    t.Press(Centre(square.x(), square.y()).x(), Centre(square.x(), square.y()).y());
    QCOMPARE(t.Panel(1), QStringLiteral("Points: 0"));
    QCOMPARE(CountSelected(t.window->board), 0);
  }
  // Pressing another group moves the highlight in one press.
  t.Press(Centre(3, 1).x(), Centre(3, 1).y());
  t.Press(Centre(2, 2).x(), Centre(2, 2).y());
  QCOMPARE(t.Panel(1), QStringLiteral("Points: 4"));
  QVERIFY(t.window->board(2, 2).Selected && t.window->board(3, 2).Selected);
  QCOMPARE(CountSelected(t.window->board), 2);
  QVERIFY(!t.window->board(3, 1).Selected);
  QCOMPARE(t.window->Score, 0);
}

void PlayTest::hitZones() {
  // x from 0 to 4 falls in column 1; each column starts one pixel left of
  // its outline and ends with it.
  struct Case {
    int x, y, column, row;
  };
  for (Case c : {Case{2, 100, 1, 4}, Case{0, 0, 1, 1}, Case{4, 29, 1, 1}, Case{30, 30, 2, 2},
                 Case{29, 30, 1, 2}, Case{204, 204, 8, 8}, Case{180, 179, 8, 7}}) {
    TestWindow t;
    t.window->SetPosition(MakeBoard(Quiet));
    Board &b = t.window->board;
    b(c.column, c.row).Kind = 5;
    b(c.column, c.row == 1 ? 2 : c.row - 1).Kind = 5; // a pair around the target
    t.Press(c.x, c.y);
    QVERIFY2(b(c.column, c.row).Selected, qPrintable(QString("press at %1,%2").arg(c.x).arg(c.y)));
    QCOMPARE(t.Panel(1), QStringLiteral("Points: 4"));
  }
}

void PlayTest::pressesOutsideTheSquaresChangeNothing() {
  TestWindow t;
  t.window->SetPosition(MakeBoard("33121212 31212121 12121212 21212121 "
                                  "12121212 21212121 12121212 21212177"));
  t.Press(Centre(1, 1).x(), Centre(1, 1).y());
  const Board highlighted = t.window->board;
  for (QPoint p : {QPoint(205, 10), QPoint(207, 207), QPoint(10, 205), QPoint(209, 209)}) {
    t.Press(p.x(), p.y());
    QVERIFY(t.window->board == highlighted);
    QCOMPARE(t.Panel(1), QStringLiteral("Points: 6"));
    QCOMPARE(t.window->Score, 0);
  }
}

void PlayTest::everyButtonAlike() {
  for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
    TestWindow t;
    t.window->SetPosition(MakeBoard("33121212 31212121 12121212 21212121 "
                                    "12121212 21212121 12121212 21212177"));
    t.Press(Centre(1, 1).x(), Centre(1, 1).y(), button);
    QCOMPARE(t.Panel(1), QStringLiteral("Points: 6"));
    t.Press(Centre(1, 1).x(), Centre(1, 1).y(), button);
    QCOMPARE(t.window->Score, 6);
  }
}

void PlayTest::doubleClickHighlightsAndRemoves() {
  TestWindow t;
  t.window->SetPosition(MakeBoard("33121212 31212121 12121212 21212121 "
                                  "12121212 21212121 12121212 21212177"));
  t.DoubleClick(Centre(2, 1).x(), Centre(2, 1).y());
  QCOMPARE(t.window->Score, 6);
  QCOMPARE(t.window->board(1, 1).Kind, 0);
  QCOMPARE(t.Panel(1), QString());
}

void PlayTest::lastRemovalEndsTheGameInTheSamePress() {
  TestWindow t;
  t.window->SetPosition(MakeBoard("........ ........ ........ ........ "
                                  "........ ........ ........ ...1.244"),
                        100);
  Board shownWithBox;
  int ballsOnScreen = 0;
  t.dialogs.onBox = [&] {
    shownWithBox = t.window->board;
    ballsOnScreen = BallsOnScreen(t);
  };
  t.Press(Centre(7, 8).x(), Centre(7, 8).y());
  t.Press(Centre(8, 8).x(), Centre(8, 8).y());
  QCOMPARE(t.dialogs.boxes.size(), size_t(1));
  const ShownBox &box = t.dialogs.boxes[0];
  QCOMPARE(box.caption, QStringLiteral("Game Over..."));
  QCOMPARE(box.text, QStringLiteral("Game Over!\rScore: 104\rBonus: 30\rTotal: 134"));
  QCOMPARE(box.icon, MsgIcon::None);
  // The bonus picture stands behind the box: 26 balls of one kind.
  int balls = 0;
  for (int c = 1; c <= 8; ++c)
    for (int r = 1; r <= 8; ++r)
      balls += shownWithBox(c, r).Kind > 0 ? 1 : 0;
  QCOMPARE(balls, 26);
  QCOMPARE(ballsOnScreen, 26); // painted before the box opened
  // Then a new game.
  QCOMPARE(t.window->Score, 0);
  QCOMPARE(t.Panel(0), QStringLiteral("Score: 0"));
  QCOMPARE(t.Panel(1), QString());
  QCOMPARE(t.window->LastBonus, 30);

  // Without a bonus the last position stays on screen behind the box.
  t.window->SetPosition(MakeBoard("12121244"));
  t.Press(Centre(7, 8).x(), Centre(7, 8).y());
  t.Press(Centre(8, 8).x(), Centre(8, 8).y());
  QCOMPARE(ballsOnScreen, 6);
  QCOMPARE(Render(shownWithBox), Render(MakeBoard("..121212")));
}

// Whole games of random presses through the window, checking the board after
// every press.
void PlayTest::soak() {
  TestWindow t(20261207);
  std::mt19937 rng(4242);
  int games = 0;
  std::int32_t expected = 0; // points of the removed groups in this game
  std::int32_t pressPoints = 0;
  int gamesOverSeen = 0;
  int presses = 0;
  t.dialogs.onBox = [&] {
    ++gamesOverSeen;
    QCOMPARE(t.window->Score, expected + pressPoints + t.window->LastBonus);
  };
  const int wanted = qEnvironmentVariableIntValue("ZANTHORIX_SOAK_GAMES") > 0
                         ? qEnvironmentVariableIntValue("ZANTHORIX_SOAK_GAMES")
                         : 1000;
  while (games < wanted) {
    Board &b = t.window->board;
    // Mostly presses on a highlighted group or on a ball, so that games
    // end; some anywhere in the window's board area.
    std::vector<QPoint> selected, balls;
    for (int c = 1; c <= 8; ++c)
      for (int r = 1; r <= 8; ++r) {
        if (b(c, r).Selected) selected.emplace_back(c, r);
        if (b(c, r).Kind > 0) balls.emplace_back(c, r);
      }
    int x, y;
    ++presses;
    const unsigned dice = rng() % 16;
    if (dice == 0 || balls.empty()) {
      x = int(rng() % 210);
      y = int(rng() % 210);
    } else {
      const std::vector<QPoint> &from = !selected.empty() && dice < 12 ? selected : balls;
      const QPoint square = from[rng() % from.size()];
      x = Centre(square.x(), square.y()).x() + int(rng() % 25) - 12;
      y = Centre(square.x(), square.y()).y() + int(rng() % 25) - 12;
    }
    const int column = (x - 5) / 25 + 1, row = (y - 5) / 25 + 1;
    const bool removes = Board::Contains(column, row) && b(column, row).Selected;
    const std::int32_t points = SelectionPoints(b);
    pressPoints = removes ? points : 0;
    const int before = gamesOverSeen;
    t.Press(x, y);
    if (QTest::currentTestFailed()) return;
    if (gamesOverSeen != before) {
      ++games;
      expected = 0;
      QCOMPARE(t.window->Score, 0);
    } else if (removes) {
      expected += points;
      QCOMPARE(CountSelected(b), 0);
      QCOMPARE(t.Panel(1), QString());
    }
    QCOMPARE(t.window->Score, expected);
    bool seenBallColumn = false;
    for (int c = 1; c <= 8; ++c) {
      bool seenBall = false, columnHasBall = false;
      for (int r = 1; r <= 8; ++r) {
        const int kind = b(c, r).Kind;
        QVERIFY(kind >= 0 && kind <= t.window->BallKinds);
        if (kind > 0)
          seenBall = columnHasBall = true;
        else
          QVERIFY2(!seenBall, "an empty square below a ball");
      }
      if (columnHasBall)
        seenBallColumn = true;
      else
        QVERIFY2(!seenBallColumn, "an empty column right of a full one");
    }
  }
  QCOMPARE(games, wanted);
  qInfo("%d games, %d presses", games, presses);
}

ZANTHORIX_GUI_TEST_MAIN(PlayTest)
#include "tst_play.moc"
