// Preloaded into the game by the fault tests: once the main window is up, it
// triggers the menu command named in ZANTHORIX_TEST_COMMAND (the object name
// of its action), so that the command's box is open when the test acts.
#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QTimer>

namespace {

void Trigger() {
  const QString name = qEnvironmentVariable("ZANTHORIX_TEST_COMMAND");
  for (QWidget *window : QApplication::topLevelWidgets()) {
    auto *main = qobject_cast<QMainWindow *>(window);
    QAction *action = main ? main->findChild<QAction *>(name) : nullptr;
    if (action && main->isVisible()) {
      action->trigger();
      return;
    }
  }
  QTimer::singleShot(100, Trigger); // not up yet
}

void Arm() {
  QMetaObject::invokeMethod(
      qApp, [] { QTimer::singleShot(100, Trigger); }, Qt::QueuedConnection);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(Arm)
