// The main window: the game's state, its menu and status bar, and the
// handlers that turn presses and commands into moves.
#pragma once

#include "app/DrawBoard.h"
#include "rules/Board.h"

#include <QImage>
#include <QMainWindow>

#include <cstdint>
#include <memory>

namespace Ui {
class TfrmZanthorix;
}

namespace zanthorix {

class Dialogs;
class MediaDevice;
class TMediaPlayer;
class TStatusBar;

// What the main window is handed by the program entry, or by a test.
struct Services {
  Random *rng = nullptr;
  Dialogs *dialogs = nullptr;
  QString programFolder; // with its trailing separator
  // None: every device fails to open, as on a machine without sound.
  MediaDevice *media = nullptr;
};

class TfrmZanthorix : public QMainWindow {
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
  SpriteOrigins SpriteOrigin{};
  TMediaPlayer *mpSoundFX = nullptr;
  TMediaPlayer *mpMusic = nullptr;

  Ui::TfrmZanthorix *ui() const { return ui_; }
  TStatusBar *barStatus() const;

  // Paints the board at once and writes the score into panel 0.
  void DrawBoard();

  void FormMouseDown(Qt::MouseButton button, int x, int y);
  // Plays name.wav from the program's folder to its end.
  void PlaySound(const QString &name);

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
  void ShowMusicError();

  Ui::TfrmZanthorix *ui_;
  Services services_;
  std::unique_ptr<MediaDevice> noMedia_;
  bool shown_ = false;
};

} // namespace zanthorix
