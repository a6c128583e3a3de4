// SPDX-License-Identifier: GPL-3.0-or-later
// The High Scores window: one table at a time, picked by ball count, and the
// command that erases them all. It owns the loading and the saving of the
// file, which happen when it is made and when it goes.
#pragma once

#include "scores/HighScoreTables.h"

#include <QString>
#include <QWidget>

namespace Ui {
class TfrmHighScores;
}

namespace zanthorix {

class Dialogs;
class GameView;
class ScoreFileSystem;

// What the window is handed by the program entry, or by a test.
struct ScoreServices {
  Dialogs *dialogs = nullptr;
  QString programFolder;                 // with its trailing separator
  HighScoreTables *highScores = nullptr; // owned by the program entry
  ScoreFileSystem *scoreFiles = nullptr; // the real files when null
};

class TfrmHighScores : public QWidget {
  Q_OBJECT
public:
  // main is read for the ball count in play and the player's name.
  TfrmHighScores(const ScoreServices &services, const GameView &main, QWidget *parent = nullptr);
  ~TfrmHighScores() override;

  Ui::TfrmHighScores *ui();
  void setVisible(bool visible) override;

public slots:
  void tabHighScoresChange(QObject *sender = nullptr);
  void btnOKClick(QObject *sender = nullptr);
  void btnEraseScoresClick(QObject *sender = nullptr);

protected:
  void showEvent(QShowEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;

private:
  void FormCreate();
  void FormShow();
  void FormDestroy();

  Ui::TfrmHighScores *ui_ = nullptr;
  ScoreServices services_;
  const GameView &main_;
  HighScoreTables &tables_;
};

} // namespace zanthorix
