// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into the game by the fault tests: once the main window is shown,
// triggers the menu command whose action ZANTHORIX_TEST_COMMAND names, so
// that the command's box is open when the test acts. "play" plays one game
// to its end instead, answering the Game Over box ("play-hold" leaves it
// open), and writes the box's text to stderr.
#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>

#include <cstdio>

static void Play() {
  static int square = 0;
  auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
  if (box && box->text().startsWith(QLatin1String("Game Over!"))) {
    std::fprintf(stderr, "Test: %s\n", qPrintable(box->text().replace('\n', ' ')));
    if (qEnvironmentVariable("ZANTHORIX_TEST_COMMAND") == QLatin1String("play")) box->accept();
    return;
  }
  QTimer::singleShot(1, Play); // also while the box of the last press is open
  if (box) return;
  for (QWidget *window : QApplication::topLevelWidgets())
    if (auto *board = window->findChild<QWidget *>(QStringLiteral("boardArea"))) {
      // Every square twice, over and over: a group is chosen, then removed.
      const QPointF at(5 + 25 * (square % 8) + 12, 5 + 25 * (square / 8 % 8) + 12);
      ++square;
      for (int press = 0; press < 2 && !QApplication::activeModalWidget(); ++press) {
        QMouseEvent event(QEvent::MouseButtonPress, at, board->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(board, &event);
      }
      return;
    }
}

static void Trigger() {
  for (QWidget *window : QApplication::topLevelWidgets())
    if (auto *main = qobject_cast<QMainWindow *>(window); main && main->isVisible()) {
      if (qEnvironmentVariable("ZANTHORIX_TEST_COMMAND").startsWith(QLatin1String("play")))
        return Play();
      if (auto *action = main->findChild<QAction *>(qEnvironmentVariable("ZANTHORIX_TEST_COMMAND")))
        return action->trigger();
    }
  QTimer::singleShot(100, Trigger);
}

static void Arm() { QMetaObject::invokeMethod(qApp, Trigger, Qt::QueuedConnection); }
Q_COREAPP_STARTUP_FUNCTION(Arm)
