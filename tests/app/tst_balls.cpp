// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestWindow.h"
#include "rules/BoardPicture.h"

#include "app/StatusBar.h"
#include "rules/Deal.h"
#include "ui_Main.h"

#include <QAction>

using namespace zanthorix;

namespace {

const QString Question = QStringLiteral("Warning! This will start a new game with the new "
                                        "settings! Your current game will be lost! Do you wish "
                                        "to proceed?");

QList<QAction *> BallItems(const TestWindow &t) {
  const auto *ui = t.window->ui();
  return {ui->mnuBalls3, ui->mnuBalls4, ui->mnuBalls5, ui->mnuBalls6, ui->mnuBalls7};
}

// The counts whose items carry a check mark.
QList<int> Checked(const TestWindow &t) {
  QList<int> counts;
  const auto items = BallItems(t);
  for (int i = 0; i < items.size(); ++i)
    if (items[i]->isChecked()) counts << i + 3;
  return counts;
}

// A fresh deal: every square a ball of 1..kinds, in the quotas of that count.
bool IsFreshDeal(const Board &board, int kinds) {
  std::array<int, 8> count{};
  for (int c = 1; c <= 8; ++c)
    for (int r = 1; r <= 8; ++r) {
      const Cell cell = board(c, r);
      if (cell.Selected || cell.Kind < 1 || cell.Kind > kinds) return false;
      ++count[cell.Kind];
    }
  for (int k = 1; k <= kinds; ++k)
    if (count[k] != DealQuota(kinds, k)) return false;
  return true;
}

void CheckQuestion(const ShownBox &box) {
  QCOMPARE(box.text, Question);
  QCOMPARE(box.caption, QStringLiteral("Are you sure?"));
  QCOMPARE(box.buttons, MsgButtons::YesNo);
  QCOMPARE(box.icon, MsgIcon::None);
}

} // namespace

class BallCountTest : public QObject {
  Q_OBJECT
private slots:
  void noLeavesTheGameAsItWas();
  void yesDealsTheChosenCountAndMovesTheMark();
  void chosenCountAlreadyInForceAsksAndDealsAgain();
  void functionKeysAskTheSameQuestion();
  void countOutlivesTheEndOfAGame();
  void gameAfterSevenBallsRanksInItsTable();
};

void BallCountTest::noLeavesTheGameAsItWas() {
  TestWindow t;
  // A game under way: a group taken, another highlighted.
  QPoint square = Centre(GroupSquare(t.window->board).x(), GroupSquare(t.window->board).y());
  t.Press(square.x(), square.y());
  t.Press(square.x(), square.y());
  QVERIFY(t.window->Score > 0);
  square = Centre(GroupSquare(t.window->board).x(), GroupSquare(t.window->board).y());
  QVERIFY(square.x() > 0);
  t.Press(square.x(), square.y());
  QVERIFY(t.Panel(1).startsWith(QStringLiteral("Points: ")));

  const Board board = t.window->board;
  const int score = t.window->Score;
  const QString panel0 = t.Panel(0), panel1 = t.Panel(1);
  for (QAction *item : BallItems(t)) {
    t.dialogs.answers.push_back(MsgResult::No);
    item->trigger();
  }
  QCOMPARE(int(t.dialogs.boxes.size()), 5);
  for (const ShownBox &box : t.dialogs.boxes)
    CheckQuestion(box);
  QVERIFY(t.window->board == board); // highlight included
  QCOMPARE(t.window->Score, score);
  QCOMPARE(t.window->BallKinds, 4);
  QCOMPARE(Checked(t), QList<int>{4});
  QCOMPARE(t.Panel(0), panel0);
  QCOMPARE(t.Panel(1), panel1);
}

void BallCountTest::yesDealsTheChosenCountAndMovesTheMark() {
  TestWindow t;
  // In an order that moves the mark both up and down the menu.
  for (int kinds : {7, 3, 5, 6, 4, 7}) {
    const QPoint square =
        Centre(GroupSquare(t.window->board).x(), GroupSquare(t.window->board).y());
    t.Press(square.x(), square.y()); // a highlight that the new deal must clear
    t.window->SetPosition(t.window->board, 77);
    BallItems(t)[kinds - 3]->trigger();
    QCOMPARE(t.window->BallKinds, kinds);
    QCOMPARE(Checked(t), QList<int>{kinds});
    QVERIFY2(IsFreshDeal(t.window->board, kinds), qPrintable(QString::number(kinds)));
    QCOMPARE(t.window->Score, 0);
    QCOMPARE(t.Panel(0), QStringLiteral("Score: 0"));
    QCOMPARE(t.Panel(1), QString());
  }
  QCOMPARE(int(t.dialogs.boxes.size()), 6);
}

void BallCountTest::chosenCountAlreadyInForceAsksAndDealsAgain() {
  TestWindow t;
  const Board before = t.window->board;
  t.window->SetPosition(t.window->board, 50);
  t.window->ui()->mnuBalls4->trigger();
  QCOMPARE(int(t.dialogs.boxes.size()), 1);
  CheckQuestion(t.dialogs.boxes[0]);
  // The mark stays on: the menu's own toggle must not turn it off.
  QCOMPARE(Checked(t), QList<int>{4});
  QVERIFY(IsFreshDeal(t.window->board, 4));
  QVERIFY(!(t.window->board == before));
  QCOMPARE(t.window->Score, 0);
}

void BallCountTest::functionKeysAskTheSameQuestion() {
  TestWindow t;
  t.dialogs.answers.push_back(MsgResult::No);
  QTest::keyClick(t.window.get(), Qt::Key_F3);
  QCOMPARE(int(t.dialogs.boxes.size()), 1);
  CheckQuestion(t.dialogs.boxes[0]);
  QCOMPARE(t.window->BallKinds, 4);

  const QList<std::pair<Qt::Key, int>> keys = {
      {Qt::Key_F3, 3}, {Qt::Key_F5, 5}, {Qt::Key_F6, 6}, {Qt::Key_F7, 7}, {Qt::Key_F4, 4}};
  for (const auto &[key, kinds] : keys) {
    t.window->activateWindow(); // a closed box leaves no window active
    QTest::keyClick(t.window.get(), key);
    QCOMPARE(t.window->BallKinds, kinds);
    QCOMPARE(Checked(t), QList<int>{kinds});
    QVERIFY(IsFreshDeal(t.window->board, kinds));
  }
  QCOMPARE(int(t.dialogs.boxes.size()), 6);
}

void BallCountTest::countOutlivesTheEndOfAGame() {
  TestWindow t;
  t.window->ui()->mnuBalls7->trigger();
  QCOMPARE(t.window->BallKinds, 7);

  // One pair left: taking it ends the game.
  t.window->SetPosition(test::MakeBoard(".......1 .......1"));
  t.Press(Centre(8, 8).x(), Centre(8, 8).y());
  t.Press(Centre(8, 8).x(), Centre(8, 8).y());
  QCOMPARE(int(t.dialogs.boxes.size()), 2);
  QCOMPARE(t.dialogs.boxes[1].caption, QStringLiteral("Game Over..."));

  QCOMPARE(t.window->BallKinds, 7);
  QCOMPARE(Checked(t), QList<int>{7});
  QVERIFY(IsFreshDeal(t.window->board, 7));
}

// The finished game is ranked in the seven-ball table, and only there.
void BallCountTest::gameAfterSevenBallsRanksInItsTable() {
  TestWindow t;
  t.window->PlayerName = QStringLiteral("Seven");
  const HighScoreTables before = t.highScores;
  t.window->ui()->mnuBalls7->trigger();
  t.window->SetPosition(test::MakeBoard(".......1 .......1"), 96);
  t.Press(Centre(8, 8).x(), Centre(8, 8).y());
  t.Press(Centre(8, 8).x(), Centre(8, 8).y()); // 4 points and a bonus of 50
  const HighScoreEntry &top = t.highScores.ForBallKinds(7)[0];
  QCOMPARE(top.Score, 150);
  QCOMPARE(top.Name(), std::string("Seven"));
  for (int kinds = 3; kinds <= 6; ++kinds)
    QVERIFY(t.highScores.ForBallKinds(kinds) == before.Tables[kinds - 3]);
}

ZANTHORIX_GUI_TEST_MAIN(BallCountTest)
#include "tst_balls.moc"
