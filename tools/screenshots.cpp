// SPDX-License-Identifier: GPL-3.0-or-later
// Takes the screenshots of the README: runs the game through its own entry
// under an X server (Xvfb), plays it a little and saves each window as PNG.
//   screenshots <output folder>
#include "app/BoardArea.h"
#include "app/DrawBoard.h"
#include "app/Entry.h"
#include "app/Main.h"
#include "rules/Rules.h"
#include "ui_Main.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>

using namespace zanthorix;

namespace {

QString outputFolder;

void Save(const QPixmap &picture, const char *name) {
  picture.save(QDir(outputFolder).filePath(QString::fromLatin1(name)));
}

// A visible top-level window other than the main window, by its class.
QWidget *Visible(const char *className) {
  for (QWidget *w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->inherits(className)) return w;
  return nullptr;
}

void Press(TfrmZanthorix &window, int column, int row) {
  const QPoint at = SquareRect(column, row).center();
  window.FormMouseDown(Qt::LeftButton, at.x(), at.y());
}

// Steps run one after another from the message loop, so that each window is
// painted before it is grabbed.
void Steps(std::vector<std::function<void()>> steps, size_t next = 0) {
  if (next == steps.size()) return;
  QTimer::singleShot(300, [steps = std::move(steps), next]() mutable {
    steps[next]();
    Steps(std::move(steps), next + 1);
  });
}

} // namespace

int main(int argc, char **argv) {
  outputFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
  EntryHooks hooks;
  hooks.started = [](TfrmZanthorix &w) {
    w.PlayerName = QStringLiteral("Ada");
    Steps({
        [&w] {
          Press(w, 3, 5);
          Save(w.grab(), "main.png");
        },
        [&w] {
          // One pair left: removing it ends the game with a bonus of 50.
          Board &b = w.board;
          for (int c = 1; c <= 8; ++c)
            for (int r = 1; r <= 8; ++r)
              b(c, r) = Cell{};
          b(8, 8).Kind = 2;
          b(7, 8).Kind = 2;
          w.Score = 412;
          w.DrawBoard();
          // Grabbed while the box is open, then answered.
          QTimer::singleShot(500, [&w] {
            QWidget *box = QApplication::activeModalWidget();
            QRect area = w.frameGeometry();
            if (box) area = area.united(box->frameGeometry());
            Save(w.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()),
                 "gameover.png");
            if (box) box->close();
          });
          Press(w, 8, 8);
          Press(w, 8, 8);
        },
        [&w] { w.ui()->mnuHelpHighScores->trigger(); },
        [] {
          if (QWidget *scores = Visible("zanthorix::TfrmHighScores")) {
            Save(scores->grab(), "highscores.png");
            scores->hide();
          }
        },
        [&w] { w.ui()->mnuHelpAbout->trigger(); },
        [] {
          if (QWidget *about = Visible("zanthorix::TfrmAbout")) {
            Save(about->grab(), "about.png");
            about->hide();
          }
        },
        [&w] { w.ui()->mnuHelpIndex->trigger(); },
        [] {
          if (QWidget *help = Visible("zanthorix::HelpWindow")) Save(help->grab(), "help.png");
        },
        [&w] { w.close(); },
    });
  };
  int qtArgc = 1;
  return RunZanthorix(qtArgc, argv, hooks);
}
