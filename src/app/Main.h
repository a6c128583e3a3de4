// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: the game's state, its menu and status bar, and the
// handlers that turn presses and commands into moves.
#pragma once

#include "app/DrawBoard.h"
#include "gui/GameView.h"
#include "player/HighScores.h"
#include "rules/Board.h"
#include "rules/Random.h"

#include <QImage>
#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class TfrmZanthorix;
}

namespace zanthorix {

class Dialogs;
class HelpViewer;
class MediaDevice;
class TMediaPlayer;
class TStatusBar;
class TfrmAbout;
class TfrmHighScores;
class SettingsStore;
class ScoreFileSystem;
struct HighScoreTables;

// What the main window is handed by the program entry, or by a test; the
// High Scores window is handed its part.
struct Services : ScoreServices {
  Random *rng = nullptr;
  HelpViewer *help = nullptr;
  SettingsStore *settings = nullptr; // the real store when null
  std::function<void()> terminate;   // ends the message loop when empty
  // None: every device fails to open, as on a machine without sound.
  MediaDevice *media = nullptr;
};

class TfrmZanthorix : public QMainWindow, public GameView {
  Q_OBJECT
public:
  explicit TfrmZanthorix(const Services &services, QWidget *parent = nullptr);
  ~TfrmZanthorix() override;

  // Game state of this module, one copy for the whole run.
  Board board;
  std::int32_t BallKinds = 4;
  std::int32_t Score = 0;
  std::int32_t LastBonus = 0;
  QString PlayerName;
  QImage BallSheet;
  LargeBallSheets LargeBalls; // the sheet at 2x and 3x, for high-density screens
  SpriteOrigins SpriteOrigin{};
  // Made by the program entry after this window.
  TfrmHighScores *frmHighScores = nullptr;

  // The program's other windows, created after this one.
  TfrmAbout *frmAbout = nullptr;
  TMediaPlayer *mpSoundFX = nullptr;
  TMediaPlayer *mpMusic = nullptr;

  std::int32_t BallKindsInPlay() const override { return BallKinds; }
  QString CurrentPlayerName() const override { return PlayerName; }

  Ui::TfrmZanthorix *ui() const { return ui_; }
  TStatusBar *barStatus() const;

  // Paints the board at once and writes the score into panel 0.
  void DrawBoard();
  // Puts a position in play, for tests and tools that need one: the board
  // and, where given, the score. Paints nothing.
  void SetPosition(const Board &position, std::optional<std::int32_t> score = {});

  void FormMouseDown(Qt::MouseButton button, int x, int y);
  // Plays name.wav from the program's folder to its end.
  void PlaySound(const QString &name);
  // Hands a command to the help viewer for the program's help file, with this
  // window as the owner; returns whether the viewer accepted it.
  bool HelpCommand(std::uint32_t command, std::uintptr_t data);

public slots:
  void mnuFileNewClick(QObject *sender = nullptr);
  void mnuFileExitClick(QObject *sender = nullptr);
  void mnuOptionsSoundFXClick(QObject *sender = nullptr);
  void mnuOptionsMusicClick(QObject *sender = nullptr);
  void mnuOptionsUserClick(QObject *sender = nullptr);
  void mnuBalls3Click(QObject *sender = nullptr);
  void mnuBalls4Click(QObject *sender = nullptr);
  void mnuBalls5Click(QObject *sender = nullptr);
  void mnuBalls6Click(QObject *sender = nullptr);
  void mnuBalls7Click(QObject *sender = nullptr);
  void mnuHelpIndexClick(QObject *sender = nullptr);
  void mnuHelpHighScoresClick(QObject *sender = nullptr);
  void mnuHelpAboutClick(QObject *sender = nullptr);
  void mpSoundFXNotify(QObject *sender = nullptr);
  void mpMusicNotify(QObject *sender = nullptr);

protected:
  void showEvent(QShowEvent *event) override;
  void closeEvent(QCloseEvent *event) override;

private:
  void FormCreate();
  void FormShow();
  void FormPaint(QPainter &painter);
  void FormClose();
  void ApplyClientSize();
  void GameOver();
  void RankScore();
  // Routes a menu item to its handler; a check item's mark is left to the
  // handler, which sets it itself.
  void Route(QAction *action, void (TfrmZanthorix::*handler)(QObject *));
  void WriteScore();
  void ChooseBallCount(std::int32_t kinds, QObject *sender);
  void ShowMusicError();

  Ui::TfrmZanthorix *ui_;
  Services services_;
  std::unique_ptr<MediaDevice> noMedia_;
  bool shown_ = false;
  bool showPending_ = false; // FormShow runs after the first paint
};

} // namespace zanthorix
