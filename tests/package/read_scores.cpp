// Loaded into the installed game with LD_PRELOAD: once the main window is up,
// opens Help, High Scores as a player would and prints what the window shows,
// a "name<TAB>score" line for each place, then an empty line.
#include <QAction>
#include <QApplication>
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

void Watch() {
  auto *timer = new QTimer(QCoreApplication::instance());
  QObject::connect(timer, &QTimer::timeout, timer, [timer] {
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
  });
  timer->start(100);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(Watch)
