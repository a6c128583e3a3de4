// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Main.h"

#include "app/Application.h"
#include "app/BoardArea.h"
#include "app/QtDialogs.h"
#include "app/StatusBar.h"
#include "gui/Frame.h"
#include "media/MediaPlayer.h"
#include "player/About.h"
#include "player/HelpViewer.h"
#include "player/HighScores.h"
#include "player/Registry.h"
#include "rules/Deal.h"
#include "rules/Rules.h"
#include "scores/HighScoreTables.h"
#include "scores/Windows1252.h"
#include "ui_Main.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QPainter>

namespace zanthorix {

namespace {
const QString UserKey = QStringLiteral("Software\\Mirrowdale\\Zanthorix\\v1.0");
}

TfrmZanthorix::TfrmZanthorix(const Services &services, QWidget *parent)
    : QMainWindow(parent), ui_(new Ui::TfrmZanthorix), services_(services) {
  ui_->setupUi(this);
  if (!services_.media) {
    noMedia_ = std::make_unique<NoMediaDevice>();
    services_.media = noMedia_.get();
  }
  mpSoundFX = new TMediaPlayer(*services_.media, TMPDeviceTypes::dtWaveAudio, this);
  mpSoundFX->setObjectName(QStringLiteral("mpSoundFX"));
  mpSoundFX->OnNotify = [this](QObject *sender) { mpSoundFXNotify(sender); };
  mpMusic = new TMediaPlayer(*services_.media, TMPDeviceTypes::dtSequencer, this);
  mpMusic->setObjectName(QStringLiteral("mpMusic"));
  mpMusic->OnNotify = [this](QObject *sender) { mpMusicNotify(sender); };
  ui_->boardArea->OnPaint = [this](QPainter &painter) { FormPaint(painter); };
  ui_->boardArea->OnMouseDown = [this](Qt::MouseButton button, int x, int y) {
    FormMouseDown(button, x, y);
  };
  Route(ui_->mnuFileNew, &TfrmZanthorix::mnuFileNewClick);
  Route(ui_->mnuFileExit, &TfrmZanthorix::mnuFileExitClick);
  Route(ui_->mnuOptionsSoundFX, &TfrmZanthorix::mnuOptionsSoundFXClick);
  Route(ui_->mnuOptionsMusic, &TfrmZanthorix::mnuOptionsMusicClick);
  Route(ui_->mnuOptionsUser, &TfrmZanthorix::mnuOptionsUserClick);
  Route(ui_->mnuBalls3, &TfrmZanthorix::mnuBalls3Click);
  Route(ui_->mnuBalls4, &TfrmZanthorix::mnuBalls4Click);
  Route(ui_->mnuBalls5, &TfrmZanthorix::mnuBalls5Click);
  Route(ui_->mnuBalls6, &TfrmZanthorix::mnuBalls6Click);
  Route(ui_->mnuBalls7, &TfrmZanthorix::mnuBalls7Click);
  Route(ui_->mnuHelpIndex, &TfrmZanthorix::mnuHelpIndexClick);
  Route(ui_->mnuHelpHighScores, &TfrmZanthorix::mnuHelpHighScoresClick);
  Route(ui_->mnuHelpAbout, &TfrmZanthorix::mnuHelpAboutClick);

  ApplyClientSize();
  // Until the board is first painted the program offers only the small icon
  // sizes: the X window system takes every size offered when a window is
  // made, and reading the large ones would hold up the first picture.
  QApplication::setWindowIcon(ProgramIcon(SmallIconSizes));
  Guarded([this] { FormCreate(); });
}

TfrmZanthorix::~TfrmZanthorix() {
  // The players close their devices before the device layer can go.
  delete mpSoundFX;
  delete mpMusic;
  delete ui_;
}

TStatusBar *TfrmZanthorix::barStatus() const { return ui_->barStatus; }

void TfrmZanthorix::Route(QAction *action, void (TfrmZanthorix::*handler)(QObject *)) {
  connect(action, &QAction::triggered, this, [this, action, handler] {
    if (action->isCheckable()) {
      // Qt has already flipped the mark; put it back for the handler.
      QSignalBlocker block(action);
      action->setChecked(!action->isChecked());
    }
    (this->*handler)(action);
  });
}

void TfrmZanthorix::FormCreate() {
  BallKinds = 4;
  BallSheet = QImage(QStringLiteral(":/Balls")).convertToFormat(QImage::Format_RGB32);
  SpriteOrigin = MakeSpriteOrigins();
  DealBoard(board, BallKinds, *services_.rng);

  TRegistry registry(services_.settings);
  registry.OpenKey(UserKey, false); // a missing key reads as an empty name
  PlayerName = registry.ReadString(QStringLiteral("User"));
  registry.CloseKey();
}

void TfrmZanthorix::showEvent(QShowEvent *event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  CentreOnScreen(this);
  // Opening the music is slow: it waits until the board is on screen. The
  // player sees the same boxes in the same order.
  showPending_ = true;
}

void TfrmZanthorix::FormShow() {
  const QString path = services_.programFolder + QStringLiteral("bgmusic.mid");
  if (!QFileInfo(path).isFile()) {
    services_.dialogs->MessageBox(QStringLiteral("Error finding ") + path + QLatin1Char('!'),
                                  QStringLiteral("Error!"), MsgButtons::Ok, MsgIcon::None);
    ui_->mnuOptionsMusic->setEnabled(false);
    return;
  }
  mpMusic->FileName = path;
  try {
    mpMusic->Open();
  } catch (const std::exception &) {
    ShowMusicError();
  }
}

void TfrmZanthorix::ShowMusicError() {
  services_.dialogs->MessageBox(QStringLiteral("Error code: ") + QString::number(mpMusic->Error()) +
                                    QStringLiteral("\r\n") + mpMusic->ErrorMessage(),
                                QStringLiteral("Error!"), MsgButtons::Ok, MsgIcon::Exclamation);
}

// The client area is the board with the status bar below it; the menu bar
// sits above it, outside.
void TfrmZanthorix::ApplyClientSize() {
  const int menu = menuBar()->sizeHint().height();
  const QSize wanted(BoardArea::Side, menu + BoardArea::Side + barStatus()->height());
  if (size() != wanted || minimumSize() != wanted || maximumSize() != wanted) setFixedSize(wanted);
}

void TfrmZanthorix::WriteScore() {
  barStatus()->SetPanelText(0, QStringLiteral("Score: ") + QString::number(Score));
}

void TfrmZanthorix::DrawBoard() {
  ApplyClientSize();
  WriteScore();
  ui_->boardArea->repaint();
}

void TfrmZanthorix::FormPaint(QPainter &painter) {
  if (BallSheet.isNull()) return; // released on the way out
  WriteScore();
  PaintBoard(painter, board, BallSheet, SpriteOrigin, palette().color(QPalette::Window),
             LargeBalls);
  if (showPending_) {
    showPending_ = false;
    QMetaObject::invokeMethod(
        this,
        [this] {
          QApplication::setWindowIcon(ProgramIcon(IconSizes));
          if (isVisible()) FormShow();
        },
        Qt::QueuedConnection);
  }
}

void TfrmZanthorix::SetPosition(const Board &position, std::optional<std::int32_t> score) {
  board = position;
  if (score) Score = *score;
}

// Every button alike; the second press of a double-click is one more press.
void TfrmZanthorix::FormMouseDown(Qt::MouseButton, int x, int y) {
  const QPoint square = SquareAt(x, y);
  const int column = square.x(), row = square.y();
  if (!Board::Contains(column, row)) return;

  const Cell cell = board(column, row);
  if (!cell.Selected) {
    ClearSelection(board);
    if (ui_->mnuOptionsSoundFX->isChecked()) PlaySound(QStringLiteral("pop2"));
    SelectGroup(board, column, row, cell.Kind, 1);
    barStatus()->SetPanelText(1,
                              QStringLiteral("Points: ") + QString::number(SelectionPoints(board)));
  } else {
    if (ui_->mnuOptionsSoundFX->isChecked()) PlaySound(QStringLiteral("pop"));
    RemoveSelection(board, Score);
    barStatus()->SetPanelText(1, QString());
    DrawBoard();
    if (CheckGameOver(board, Score, LastBonus)) {
      barStatus()->SetPanelText(1, QStringLiteral("Bonus: ") + QString::number(LastBonus));
      GameOver();
    }
  }
  DrawBoard();
}

void TfrmZanthorix::GameOver() {
  if (LastBonus > 0) {
    ShowBonusPicture(board, *services_.rng);
    DrawBoard();
  }
  // In the tables before the box is shown: a display lost or a session ended
  // while it is open ends the program inside it, and the last save must find
  // the score. Nothing shows the tables until the box is closed.
  RankScore();
  const QChar cr(13);
  services_.dialogs->MessageBox(QStringLiteral("Game Over!") + cr + QStringLiteral("Score: ") +
                                    QString::number(Score - LastBonus) + cr +
                                    barStatus()->PanelText(1) + cr + QStringLiteral("Total: ") +
                                    QString::number(Score),
                                QStringLiteral("Game Over..."), MsgButtons::Ok, MsgIcon::None);
  mnuFileNewClick(nullptr);
}

// The finished game's place in the high scores of its ball count.
void TfrmZanthorix::RankScore() {
  if (!services_.highScores) return;
  HighScoreTables &tables = *services_.highScores;
  const std::int32_t rank = FindRank(tables, BallKinds, Score);
  if (rank > 0)
    InsertHighScore(tables, BallKinds, rank, ToWindows1252(PlayerName.toStdU16String()), Score);
}

void TfrmZanthorix::PlaySound(const QString &name) {
  const QString path = services_.programFolder + name + QStringLiteral(".wav");
  if (!QFileInfo(path).isFile()) return;
  if (mpSoundFX->Mode() == mpPlaying) {
    mpSoundFX->Stop();
    mpSoundFX->Close();
  }
  mpSoundFX->FileName = path;
  try {
    mpSoundFX->Open();
    mpSoundFX->SetNotify(true);
    // Held here until the sound ends; the notification comes afterwards.
    mpSoundFX->SetWait(true);
    mpSoundFX->Play();
  } catch (const std::exception &) {
    services_.dialogs->MessageBox(QStringLiteral("Error playing sound! ") +
                                      mpSoundFX->ErrorMessage() + QStringLiteral(" (") +
                                      QString::number(mpSoundFX->Error()) + QLatin1Char(')'),
                                  QStringLiteral("Error!"), MsgButtons::Ok, MsgIcon::None);
  }
}

void TfrmZanthorix::mpSoundFXNotify(QObject *) {
  mpSoundFX->Stop();
  mpSoundFX->Close();
}

void TfrmZanthorix::mnuFileNewClick(QObject *) {
  DealBoard(board, BallKinds, *services_.rng);
  Score = 0;
  DrawBoard();
  barStatus()->SetPanelText(1, QString());
}

void TfrmZanthorix::mnuFileExitClick(QObject *) { close(); }

void TfrmZanthorix::mnuOptionsSoundFXClick(QObject *) {
  ui_->mnuOptionsSoundFX->setChecked(!ui_->mnuOptionsSoundFX->isChecked());
}

void TfrmZanthorix::mnuOptionsMusicClick(QObject *) {
  if (!ui_->mnuOptionsMusic->isChecked()) {
    ui_->mnuOptionsMusic->setChecked(true);
    try {
      mpMusic->SetNotify(true);
      mpMusic->Play(); // from where it was stopped
    } catch (const std::exception &) {
      ShowMusicError();
    }
  } else {
    ui_->mnuOptionsMusic->setChecked(false);
    try {
      mpMusic->Stop();
    } catch (const std::exception &) {
      ShowMusicError();
    }
  }
}

// Every notification of the music player: the end of the piece, and the
// extra ones of seeks and stops.
void TfrmZanthorix::mpMusicNotify(QObject *) {
  if (ui_->mnuOptionsMusic->isChecked() && mpMusic->Mode() == mpStopped) {
    mpMusic->Seek(mpMusic->StartPos); // an error here goes to the error box
    try {
      mpMusic->Play();
    } catch (const std::exception &) {
      ShowMusicError();
    }
  }
  mpMusic->SetNotify(true);
}
void TfrmZanthorix::mnuOptionsUserClick(QObject *) {
  TRegistry registry(services_.settings);
  PlayerName = services_.dialogs->InputBox(
      QStringLiteral("User Name"), QStringLiteral("Enter a name to use for the high scores"),
      PlayerName);
  if (!registry.OpenKey(UserKey, true)) {
    services_.dialogs->MessageBox(QStringLiteral("Error writing user name to registry!"),
                                  QStringLiteral("Error!"), MsgButtons::Ok, MsgIcon::None);
    // The game ends here without its closing steps, as it always has.
    if (services_.terminate)
      services_.terminate();
    else
      QCoreApplication::exit(0);
    return;
  }
  registry.WriteString(QStringLiteral("User"), PlayerName);
  registry.CloseKey();
}
void TfrmZanthorix::mnuBalls3Click(QObject *sender) { ChooseBallCount(3, sender); }
void TfrmZanthorix::mnuBalls4Click(QObject *sender) { ChooseBallCount(4, sender); }
void TfrmZanthorix::mnuBalls5Click(QObject *sender) { ChooseBallCount(5, sender); }
void TfrmZanthorix::mnuBalls6Click(QObject *sender) { ChooseBallCount(6, sender); }
void TfrmZanthorix::mnuBalls7Click(QObject *sender) { ChooseBallCount(7, sender); }

// Asks even when the count is already in force: Yes always deals a new game.
void TfrmZanthorix::ChooseBallCount(std::int32_t kinds, QObject *sender) {
  const MsgResult answer = services_.dialogs->MessageBox(
      QStringLiteral("Warning! This will start a new game with the new settings! Your current "
                     "game will be lost! Do you wish to proceed?"),
      QStringLiteral("Are you sure?"), MsgButtons::YesNo, MsgIcon::None);
  if (answer != MsgResult::Yes) return;
  BallKinds = kinds;
  ui_->mnuBalls3->setChecked(kinds == 3);
  ui_->mnuBalls4->setChecked(kinds == 4);
  ui_->mnuBalls5->setChecked(kinds == 5);
  ui_->mnuBalls6->setChecked(kinds == 6);
  ui_->mnuBalls7->setChecked(kinds == 7);
  mnuFileNewClick(sender);
}

bool TfrmZanthorix::HelpCommand(std::uint32_t command, std::uintptr_t data) {
  if (!services_.help) return false;
  const TApplication *app = TApplication::instance();
  return services_.help->Help(this, app ? app->HelpFile : QString(), command, data);
}

void TfrmZanthorix::mnuHelpIndexClick(QObject *) { HelpCommand(HELP_FINDER, 0); }

void TfrmZanthorix::mnuHelpHighScoresClick(QObject *) {
  if (frmHighScores) BringToFront(frmHighScores);
}

void TfrmZanthorix::mnuHelpAboutClick(QObject *) {
  if (frmAbout) frmAbout->ShowModeless();
}

void TfrmZanthorix::closeEvent(QCloseEvent *event) {
  FormClose();
  event->accept();
}

void TfrmZanthorix::FormClose() {
  // What the devices still have to report now comes from these closing steps
  // or from a sound that a termination request cut short: not an error.
  mpSoundFX->OnNotify = nullptr;
  mpMusic->OnNotify = nullptr;
  BallSheet = QImage();
  LargeBalls.Release();
  HelpCommand(HELP_QUIT, 0);
  if (mpMusic->Mode() == mpPlaying) mpMusic->Stop();
  mpMusic->Close();
  if (mpSoundFX->Mode() == mpPlaying) mpSoundFX->Stop();
  mpSoundFX->Close();
}

} // namespace zanthorix
