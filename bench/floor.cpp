// SPDX-License-Identifier: GPL-3.0-or-later
// The floor of the start-up figures: a bare Qt program with a main window of
// the game's size, a menu bar and a status bar, that paints a 210 by 210
// widget once and quits. No Qt game can start faster.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QTimer>

namespace {
class Area : public QWidget {
public:
  Area() { setFixedSize(210, 210); }

protected:
  void paintEvent(QPaintEvent *) override {
    QPainter painter(this);
    painter.drawRect(5, 5, 200, 200);
    if (!painted_) QTimer::singleShot(0, qApp, &QApplication::quit);
    painted_ = true;
  }

private:
  bool painted_ = false;
};
} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  for (const char *title : {"&File", "&Options", "&Balls", "&Help"})
    window.menuBar()->addMenu(QString::fromLatin1(title))->addAction(QStringLiteral("Item"));
  window.setCentralWidget(new Area);
  window.statusBar()->setFixedHeight(20);
  window.setFixedSize(210, window.menuBar()->sizeHint().height() + 230);
  window.show();
  return app.exec();
}
