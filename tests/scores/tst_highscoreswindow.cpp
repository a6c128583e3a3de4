// SPDX-License-Identifier: GPL-3.0-or-later
// The High Scores window, and a finished game finding its way into a table.
#include "app/SessionEnd.h"
#include "app/TestWindow.h"
#include "player/HighScores.h"
#include "player/TabControl.h"
#include "rules/Rules.h"
#include "scores/HighScoreFile.h"
#include "ui_HighScores.h"

#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTextEdit>
#include <QWheelEvent>

#include <bit>
#include <csignal>
#include <unistd.h>

using namespace zanthorix;

namespace {

QStringList Lines(const QTextEdit *box) { return box->toPlainText().split('\n'); }

// Presses square (column, row) of the board.
void PressSquare(TestWindow &t, int column, int row) {
  t.Press(Centre(column, row).x(), Centre(column, row).y());
}

// A board whose one pair sits in column 3; singles of different kinds fill
// the bottom row of the columns in singles.
void SetEnding(TfrmZanthorix &w, std::initializer_list<int> singles) {
  Board ending;
  ending(3, 7).Kind = 4;
  ending(3, 8).Kind = 4;
  int column = 4;
  for (const int kind : singles)
    ending(column++, 8).Kind = kind;
  w.SetPosition(ending);
}

const ShownBox *FindBox(const FakeDialogs &d, const QString &caption) {
  for (const ShownBox &b : d.boxes)
    if (b.caption == caption) return &b;
  return nullptr;
}

// Rows of the window image holding dark text pixels between columns x0 and x1,
// as bands of consecutive rows: one band per line of text.
QList<int> TextLineTops(const QImage &image, int x0, int x1, int y0, int y1) {
  QList<int> tops;
  bool inBand = false;
  for (int y = y0; y < y1; ++y) {
    bool ink = false;
    for (int x = x0; x < x1 && !ink; ++x)
      ink = qGray(image.pixel(x, y)) < 100;
    // A thin stroke may leave a pale row inside a line: not a new line.
    if (ink && !inBand && (tops.isEmpty() || y - tops.back() > 8)) tops << y;
    inBand = ink;
  }
  return tops;
}

} // namespace

class HighScoresWindowTest : public QObject {
  Q_OBJECT
private slots:
  void gameOverWithoutBonus();
  void gameOverWithBonusRanksTheTotal();
  void scoreThatEarnsNoPlace();
  void opensOnTheTableInPlay();
  void layout();
  void columnsStayLevelWithPlaces();
  void eraseScores();
  void viewChangesOnlyWhenAskedTo();
  void okAndEnterHide();
  void fileBesideTheProgramWhateverTheWorkingFolder();
  void loadErrorIsReportedAtStart();
  void sessionEndClosesTheOrderlyWay();
};

void HighScoresWindowTest::gameOverWithoutBonus() {
  TestWindow t;
  SetEnding(*t.window, {1, 2, 3, 1, 2});
  t.window->SetPosition(t.window->board, 0);
  PressSquare(t, 3, 8);
  PressSquare(t, 3, 8);
  const ShownBox *box = FindBox(t.dialogs, "Game Over...");
  QVERIFY(box);
  QCOMPARE(box->text, QString("Game Over!\rScore: 4\rBonus: 0\rTotal: 4"));
  QCOMPARE(box->buttons, MsgButtons::Ok);
  QCOMPARE(box->icon, MsgIcon::None);
  // A new game follows at once.
  QCOMPARE(t.window->Score, 0);
  QCOMPARE(t.Panel(1), QString());
  QCOMPARE(t.Panel(0), QString("Score: 0"));
}

// With a game folder closed to the player (root ignores permission bits),
// the table saved is the player's own.
void HighScoresWindowTest::gameOverWithBonusRanksTheTotal() {
  struct : SystemScoreFileSystem {
    QTemporaryDir home;
    bool CanCreateIn(const std::string &) override { return false; }
    std::string UserFolder() override { return home.path().toStdString() + "/"; }
  } files;
  TestWindow t;
  Services services = t.MakeServices();
  services.scoreFiles = &files;
  auto scores = std::make_unique<TfrmHighScores>(services, *t.window);
  t.window->PlayerName = "Fay \u2713";
  SetEnding(*t.window, {});
  const HighScoreTables before = t.highScores;
  bool pictureShown = false;
  bool scoreInTableDuringBox = false;
  t.dialogs.onBox = [&] {
    int balls = 0;
    for (int c = 1; c <= 8; ++c)
      for (int r = 1; r <= 8; ++r)
        balls += t.window->board(c, r).Kind != 0;
    int pattern = 0;
    for (const std::uint8_t row : BonusPattern)
      pattern += std::popcount(row);
    pictureShown = balls == pattern;
    scoreInTableDuringBox = t.highScores.ForBallKinds(4)[0].Score == 54;
  };
  PressSquare(t, 3, 8);
  PressSquare(t, 3, 8);
  const ShownBox *box = FindBox(t.dialogs, "Game Over...");
  QVERIFY(box);
  QCOMPARE(box->text, QString("Game Over!\rScore: 4\rBonus: 50\rTotal: 54"));
  QVERIFY(pictureShown);
  QVERIFY(scoreInTableDuringBox); // a lost display inside the box keeps it

  const HighScoreTable &four = t.highScores.ForBallKinds(4);
  QCOMPARE(four[0].Name(), std::string("Fay ?"));
  QCOMPARE(four[0].Score, 54);
  QCOMPARE(four[1].Score, 10);
  QCOMPARE(four[9].Score, 2);
  for (int b : {3, 5, 6, 7})
    QVERIFY(t.highScores.ForBallKinds(b) == before.ForBallKinds(b));
  scores.reset();
  QVERIFY(!QFile::exists(t.folder.path() + "/HighScores.Dat"));
  QFile own(files.home.filePath("HighScores.Dat"));
  QVERIFY(own.open(QIODevice::ReadOnly));
  QCOMPARE(own.readAll().mid(10 * 108, 6), QByteArray("\5Fay ?"));
}

void HighScoresWindowTest::scoreThatEarnsNoPlace() {
  TestWindow t;
  t.window->BallKinds = 5;
  for (HighScoreEntry &e : t.highScores.ForBallKinds(5))
    e.Score = 1000;
  const HighScoreTables before = t.highScores;
  SetEnding(*t.window, {1, 2, 3, 1, 2});
  PressSquare(t, 3, 8);
  PressSquare(t, 3, 8);
  QVERIFY(FindBox(t.dialogs, "Game Over..."));
  QVERIFY(t.highScores.Tables == before.Tables);
}

void HighScoresWindowTest::opensOnTheTableInPlay() {
  TestWindow t;
  TfrmHighScores scores(t.MakeServices(), *t.window);
  t.highScores.ForBallKinds(6)[0].SetName("Six");
  t.highScores.ForBallKinds(6)[0].Score = -12;
  t.window->frmHighScores = &scores;
  QVERIFY(!scores.isVisible());
  t.window->BallKinds = 6;
  t.window->PlayerName = "Gus";
  t.window->mnuHelpHighScoresClick();
  QVERIFY(scores.isVisible());
  QCOMPARE(scores.windowTitle(), QString("High Scores - Gus"));
  QCOMPARE(scores.ui()->tabHighScores->tabIndex(), 3);
  QCOMPARE(Lines(scores.ui()->txtNames).at(0), QString("Six"));
  QCOMPARE(Lines(scores.ui()->txtScores).at(0), QString("-12"));

  // The player picks "3 Balls".
  QTabBar *bar = scores.ui()->tabHighScores->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
  QCOMPARE(scores.ui()->tabHighScores->tabIndex(), 0);
  QCOMPARE(Lines(scores.ui()->txtNames).at(0), QString("This could be you!"));

  scores.hide();
  t.window->PlayerName.clear();
  t.window->mnuHelpHighScoresClick();
  QCOMPARE(scores.windowTitle(), QString("High Scores - "));
  QCOMPARE(scores.ui()->tabHighScores->tabIndex(), 3);
  t.window->frmHighScores = nullptr;
}

void HighScoresWindowTest::layout() {
  TestWindow t(1, false);
  TfrmHighScores scores(t.MakeServices(), *t.window);
  Ui::TfrmHighScores *ui = scores.ui();
  QCOMPARE(scores.size(), QSize(273, 280));
  QCOMPARE(scores.minimumSize(), scores.maximumSize());
  QVERIFY(!scores.windowIcon().isNull());
  QCOMPARE(ui->tabHighScores->geometry(), QRect(8, 40, 257, 201));
  QCOMPARE(ui->tabHighScores->tabs(),
           QStringList({"3 Balls", "4 Balls", "5 Balls", "6 Balls", "7 Balls"}));
  // The tabs run along the bottom edge, below the columns.
  const QRect bar = ui->tabHighScores->tabBar()->geometry();
  QCOMPARE(bar.bottom(), 200);
  QVERIFY(bar.top() >= 24 + 137);
  // All five tabs in one row, none cut off.
  for (int i = 0; i < 5; ++i)
    QVERIFY(QRect(QPoint(0, 0), bar.size()).contains(ui->tabHighScores->tabBar()->tabRect(i)));
  QCOMPARE(ui->txtNames->geometry(), QRect(56, 24, 145, 137));
  QCOMPARE(ui->txtScores->geometry(), QRect(208, 24, 41, 137));
  QCOMPARE(ui->lblPos->geometry(), QRect(16, 24, 17, 137));
  QCOMPARE(ui->btnOK->geometry(), QRect(8, 248, 83, 25));
  QCOMPARE(ui->btnEraseScores->geometry(), QRect(192, 248, 75, 25));
  QVERIFY(ui->btnOK->isDefault());
  QVERIFY(ui->txtNames->isReadOnly());
  QVERIFY(ui->txtScores->isReadOnly());
  // Before any showing the layout's own lines.
  QCOMPARE(Lines(ui->txtScores),
           QStringList({"10", "9", "8", "7", "6", "5", "4", "3", "2", "1", ""}));
}

// Each place number stands on the line of its name and score, whatever the
// names hold.
void HighScoresWindowTest::columnsStayLevelWithPlaces() {
  TestWindow t;
  TfrmHighScores scores(t.MakeServices(), *t.window);
  HighScoreTable &table = t.highScores.ForBallKinds(4);
  table[2].SetName(std::string(100, 'W'));
  table[4].SetName("two\r\nlines");
  table[6].SetName("");
  table[8].SetName(std::string("Ann\0Bo\0", 7)); // shown up to its first NUL, kept whole
  table[9].SetName(std::string("\0Cy", 3));
  scores.show();
  QVERIFY(QTest::qWaitForWindowExposed(&scores));
  QCOMPARE(Lines(scores.ui()->txtNames).size(), 10);
  QCOMPARE(Lines(scores.ui()->txtNames).at(6), QString());
  QCOMPARE(Lines(scores.ui()->txtNames).mid(8), QStringList({"Ann", ""}));
  QCOMPARE(table[8].Name(), std::string("Ann\0Bo\0", 7));
  QCOMPARE(Lines(scores.ui()->txtScores).size(), 11);
  // Nor do the wheel or the keys move them off their lines.
  for (QTextEdit *box : {scores.ui()->txtScores, scores.ui()->txtNames}) {
    const QPointF at(box->width() / 2, box->height() / 2);
    for (const QPoint delta : {QPoint(0, -360), QPoint(-360, 0)}) {
      QWheelEvent wheel(at, box->mapToGlobal(at), {}, delta, Qt::NoButton, Qt::NoModifier,
                        Qt::NoScrollPhase, false);
      QApplication::sendEvent(box->viewport(), &wheel);
    }
    for (const Qt::Key key : {Qt::Key_PageDown, Qt::Key_Down, Qt::Key_End, Qt::Key_Right})
      QTest::keyClick(box, key);
    QTest::keyClick(box, Qt::Key_End, Qt::ControlModifier);
  }

  QImage image(scores.size(), QImage::Format_RGB32);
  scores.render(&image);
  const QPoint tab = scores.ui()->tabHighScores->pos();
  const int top = tab.y() + 24;
  const int bottom = tab.y() + 24 + 137;
  const QList<int> places = TextLineTops(image, tab.x() + 16, tab.x() + 33, top, bottom);
  const QList<int> numbers = TextLineTops(image, tab.x() + 208, tab.x() + 249, top, bottom);
  QCOMPARE(places.size(), 10);
  QCOMPARE(numbers, places);
  // The columns are of one colour with their page: an empty name, a score's edge.
  const int y = places[6] + 3;
  const QRgb page = image.pixel(tab.x() + 45, y);
  QCOMPARE(image.pixel(tab.x() + 128, y), page);
  QCOMPARE(image.pixel(tab.x() + 209, y), page);
}

void HighScoresWindowTest::eraseScores() {
  TestWindow t;
  TfrmHighScores scores(t.MakeServices(), *t.window);
  InsertHighScore(t.highScores, 4, 1, "Hal", 99);
  InsertHighScore(t.highScores, 7, 1, "Ivy", 77);
  scores.show();
  const HighScoreTables before = t.highScores;

  t.dialogs.answers.push_back(MsgResult::No);
  QTest::mouseClick(scores.ui()->btnEraseScores, Qt::LeftButton);
  QCOMPARE(t.dialogs.boxes.size(), std::size_t(1));
  const ShownBox &box = t.dialogs.boxes[0];
  QCOMPARE(box.text, QString("Are you sure you want to erase ALL the high scores?"));
  QCOMPARE(box.caption, QString("Are you sure?"));
  QCOMPARE(box.buttons, MsgButtons::YesNo);
  QCOMPARE(box.icon, MsgIcon::Exclamation);
  QVERIFY(t.highScores.Tables == before.Tables);
  QCOMPARE(Lines(scores.ui()->txtNames).at(0), QString("Hal"));

  t.dialogs.answers.push_back(MsgResult::Yes);
  QTest::mouseClick(scores.ui()->btnEraseScores, Qt::LeftButton);
  HighScoreTables fresh;
  ResetHighScoreTables(fresh);
  for (int b = 3; b <= 7; ++b)
    for (int i = 0; i < 10; ++i) {
      QCOMPARE(t.highScores.ForBallKinds(b)[i].Name(), std::string(DefaultName));
      QCOMPARE(t.highScores.ForBallKinds(b)[i].Score, 10 - i);
    }
  QCOMPARE(Lines(scores.ui()->txtNames).at(0), QString("This could be you!"));
  QCOMPARE(Lines(scores.ui()->txtScores).at(0), QString("10"));
  // Nothing reaches the file before the end of the run.
  QVERIFY(!QFile::exists(t.folder.path() + "/HighScores.Dat"));
}

void HighScoresWindowTest::viewChangesOnlyWhenAskedTo() {
  TestWindow t;
  TfrmHighScores scores(t.MakeServices(), *t.window);
  t.window->frmHighScores = &scores;
  t.window->PlayerName = "Jo";
  t.window->mnuHelpHighScoresClick();
  QCOMPARE(Lines(scores.ui()->txtNames).at(0), QString("This could be you!"));

  // A game finished while the window stays open.
  SetEnding(*t.window, {});
  t.window->activateWindow();
  PressSquare(t, 3, 8);
  PressSquare(t, 3, 8);
  QCOMPARE(t.highScores.ForBallKinds(4)[0].Name(), std::string("Jo"));
  QCOMPARE(Lines(scores.ui()->txtNames).at(0), QString("This could be you!"));

  // Asking again while it is open only raises it.
  t.window->PlayerName = "Kim";
  t.window->mnuHelpHighScoresClick();
  QCOMPARE(scores.windowTitle(), QString("High Scores - Jo"));
  QCOMPARE(Lines(scores.ui()->txtNames).at(0), QString("This could be you!"));

  QTabBar *bar = scores.ui()->tabHighScores->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
  QCOMPARE(Lines(scores.ui()->txtNames).at(0), QString("Jo"));
  QCOMPARE(Lines(scores.ui()->txtScores).at(0), QString("54"));

  // Or after hiding and showing again.
  InsertHighScore(t.highScores, 4, 1, "Lu", 60);
  QCOMPARE(Lines(scores.ui()->txtNames).at(0), QString("Jo"));
  scores.hide();
  t.window->mnuHelpHighScoresClick();
  QCOMPARE(Lines(scores.ui()->txtNames).at(0), QString("Lu"));
  QCOMPARE(scores.windowTitle(), QString("High Scores - Kim"));
  t.window->frmHighScores = nullptr;
}

void HighScoresWindowTest::okAndEnterHide() {
  TestWindow t(1, false);
  TfrmHighScores scores(t.MakeServices(), *t.window);
  scores.show();
  scores.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&scores));
  QCOMPARE(scores.focusWidget(), scores.ui()->btnOK);
  QTest::keyClick(scores.windowHandle(), Qt::Key_Return);
  QVERIFY(!scores.isVisible());
  scores.show();
  QTest::mouseClick(scores.ui()->btnOK, Qt::LeftButton);
  QVERIFY(!scores.isVisible());
  scores.show();
  scores.close(); // the close box hides too
  QVERIFY(!scores.isVisible());

  // Enter, keypad Enter too, presses OK wherever the focus is, also where a
  // player's clicks leave it: on a name, or Tabbed into the columns, and then
  // a click on another tab, which hides the columns for a moment. Only Erase
  // Scores Tabbed to, with its focus frame, takes Enter and asks its question.
  Ui::TfrmHighScores *ui = scores.ui();
  QWindow *handle = scores.windowHandle();
  QTabBar *bar = ui->tabHighScores->tabBar();
  t.dialogs.answers.push_back(MsgResult::No);
  for (const int way : {0, 1, 2, 3}) {
    scores.show();
    // Shown again on the offscreen platform, the window is not made active by itself.
    QApplication::setActiveWindow(&scores);
    QVERIFY(QTest::qWaitForWindowActive(&scores));
    (way == 0 ? static_cast<QWidget *>(bar) : ui->btnOK)->setFocus();
    if (way == 1)
      QTest::mouseClick(handle, Qt::LeftButton, {}, ui->txtNames->mapTo(&scores, QPoint(9, 5)));
    for (int tabs = way == 2 ? 2 : way == 3 ? 4 : 0; tabs > 0; --tabs)
      QTest::keyClick(handle, Qt::Key_Tab);
    if (way == 1 || way == 2) {
      QVERIFY(scores.focusWidget() == ui->txtNames || scores.focusWidget() == ui->txtScores);
      const int other = bar->currentIndex() == 0 ? 1 : 0;
      QTest::mouseClick(handle, Qt::LeftButton, {},
                        bar->mapTo(&scores, bar->tabRect(other).center()));
      QCOMPARE(bar->currentIndex(), other);
    }
    QTest::keyClick(handle, way == 1 ? Qt::Key_Enter : Qt::Key_Return,
                    way == 1 ? Qt::KeypadModifier : Qt::NoModifier);
    QCOMPARE(scores.isVisible(), way == 3);
  }
  QCOMPARE(t.dialogs.boxes.size(), std::size_t(1));
  QVERIFY(!QFile::exists(t.folder.path() + "/HighScores.Dat"));
}

void HighScoresWindowTest::fileBesideTheProgramWhateverTheWorkingFolder() {
  TestWindow t(1, false);
  QTemporaryDir elsewhere;
  const QString home = QDir::currentPath();
  QVERIFY(QDir::setCurrent(elsewhere.path()));
  {
    TfrmHighScores scores(t.MakeServices(), *t.window);
    InsertHighScore(t.highScores, 3, 1, "Mo", 70);
  }
  QVERIFY(QDir::setCurrent(home));
  QVERIFY(!QFile::exists(elsewhere.path() + "/HighScores.Dat"));
  QFile file(t.folder.path() + "/HighScores.Dat");
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.size(), 50 * 108);
  QCOMPARE(file.read(3), QByteArray("\x02Mo"));
}

void HighScoresWindowTest::loadErrorIsReportedAtStart() {
  TestWindow t(1, false);
  t.highScores = HighScoreTables{}; // as at start-up
  {
    QFile file(t.folder.path() + "/HighScores.Dat");
    QVERIFY(file.open(QIODevice::WriteOnly));
  }
  TfrmHighScores scores(t.MakeServices(), *t.window);
  QCOMPARE(t.dialogs.boxes.size(), std::size_t(1));
  QCOMPARE(t.dialogs.boxes[0].text, QString("Read beyond end of file."));
  QCOMPARE(t.dialogs.boxes[0].caption, QString("Zanthorix"));
  QCOMPARE(t.dialogs.boxes[0].icon, MsgIcon::Error);
  QCOMPARE(t.highScores.Tables[0][0].Score, 0);
}

void HighScoresWindowTest::sessionEndClosesTheOrderlyWay() {
  TestWindow t;
  QString file = t.folder.path() + "/HighScores.Dat";
  {
    TfrmHighScores scores(t.MakeServices(), *t.window);
    InsertHighScore(t.highScores, 5, 1, "Ned", 80);
    SessionEnd watcher([&t] { t.window->close(); });
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
      t.window->show();
      QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
      ::kill(::getpid(), signal);
      QTRY_VERIFY(!t.window->isVisible());
      QVERIFY(t.window->BallSheet.isNull()); // its closing steps ran
    }
  }
  QFile saved(file);
  QVERIFY(saved.open(QIODevice::ReadOnly));
  QCOMPARE(saved.readAll().mid(20 * 108, 4), QByteArray("\x03Ned"));
}

ZANTHORIX_GUI_TEST_MAIN(HighScoresWindowTest)
#include "tst_highscoreswindow.moc"
