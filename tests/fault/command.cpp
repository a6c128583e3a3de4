// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into the game by the fault tests: once the main window is shown,
// triggers the menu command whose action ZANTHORIX_TEST_COMMAND names, so
// that the command's box is open when the test acts.
#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QTimer>

static void Trigger() {
  for (QWidget *window : QApplication::topLevelWidgets())
    if (auto *main = qobject_cast<QMainWindow *>(window); main && main->isVisible())
      if (auto *action = main->findChild<QAction *>(qEnvironmentVariable("ZANTHORIX_TEST_COMMAND")))
        return action->trigger();
  QTimer::singleShot(100, Trigger);
}

static void Arm() { QMetaObject::invokeMethod(qApp, Trigger, Qt::QueuedConnection); }
Q_COREAPP_STARTUP_FUNCTION(Arm)
