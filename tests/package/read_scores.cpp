// SPDX-License-Identifier: GPL-3.0-or-later
// Loaded into the installed game with LD_PRELOAD: once the main window is up,
// opens Help, High Scores as a player would and prints what the window shows,
// a "name<TAB>score" line for each place, then an empty line.
// With ZANTHORIX_PLAY set it first plays a game to its end, pressing every
// square twice in turn, prints the "Game Over..." box's text on one line, and
// after the tables closes the main window as the player would.
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTextEdit>
#include <QTimer>

#include <cstdio>

namespace {

QWidget *Shown(const char *name) {
  for (QWidget *window : QApplication::topLevelWidgets())
    if (window->objectName() == QLatin1String(name) && window->isVisible()) return window;
  return nullptr;
}

QStringList Lines(QWidget *window, const char *name) {
  return window->findChild<QTextEdit *>(QLatin1String(name))
      ->toPlainText()
      .split(QLatin1Char('\n'));
}

bool playing = qEnvironmentVariableIsSet("ZANTHORIX_PLAY");

// A press on the next square; the press that ends the game returns only
// when its box has been answered.
void Press() {
  static int presses = 0;
  QWidget *main = Shown("TfrmZanthorix");
  if (!main) return;
  auto *board = main->findChild<QWidget *>(QStringLiteral("boardArea"));
  const int square = presses++ / 2 % 64;
  const QPointF at(square % 8 * 25 + 18, square / 8 * 25 + 18);
  QMouseEvent press(QEvent::MouseButtonPress, at, board->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, {});
  QCoreApplication::sendEvent(board, &press);
}

void AnswerGameOver() {
  for (QWidget *window : QApplication::topLevelWidgets()) {
    auto *box = qobject_cast<QMessageBox *>(window);
    if (!box || !box->isVisible() || box->windowTitle() != QLatin1String("Game Over...")) continue;
    std::printf("%s\n", qPrintable(box->text().simplified()));
    playing = false;
    box->accept();
  }
}

void Watch() {
  if (playing) {
    auto *player = new QTimer(QCoreApplication::instance());
    QObject::connect(player, &QTimer::timeout, player,
                     [player] { playing ? Press() : player->stop(); });
    player->start(5);
    // Its own timer: the other one waits inside the press that opened the box.
    auto *answer = new QTimer(QCoreApplication::instance());
    QObject::connect(answer, &QTimer::timeout, answer, AnswerGameOver);
    answer->start(50);
  }
  auto *timer = new QTimer(QCoreApplication::instance());
  QObject::connect(timer, &QTimer::timeout, timer, [timer] {
    if (playing) return;
    QWidget *scores = Shown("TfrmHighScores");
    if (!scores) {
      if (QWidget *main = Shown("TfrmZanthorix"))
        main->findChild<QAction *>(QStringLiteral("mnuHelpHighScores"))->trigger();
      return;
    }
    timer->stop();
    const QStringList names = Lines(scores, "txtNames");
    const QStringList points = Lines(scores, "txtScores");
    for (qsizetype i = 0; i < names.size() && i < points.size(); ++i)
      std::printf("%s\t%s\n", qPrintable(names[i]), qPrintable(points[i]));
    std::printf("\n");
    std::fflush(stdout);
    if (qEnvironmentVariableIsSet("ZANTHORIX_PLAY")) Shown("TfrmZanthorix")->close();
  });
  timer->start(100);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(Watch)
