// The High Scores window: one table at a time, picked by ball count, and the
// command that erases them all. It owns the loading and the saving of the
// file, which happen when it is made and when it goes.
#pragma once

#include "app/Main.h"
#include "scores/HighScoreTables.h"

#include <QWidget>

namespace Ui {
class TfrmHighScores;
}

namespace zanthorix {

class ScoreFileSystem;

class TfrmHighScores : public QWidget {
  Q_OBJECT
public:
  // main is read for the ball count in play and the player's name.
  TfrmHighScores(const Services &services, const TfrmZanthorix &main, QWidget *parent = nullptr);
  ~TfrmHighScores() override;

  Ui::TfrmHighScores *ui() const { return ui_; }

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

  Ui::TfrmHighScores *ui_;
  Services services_;
  const TfrmZanthorix &main_;
  HighScoreTables &tables_;
};

} // namespace zanthorix
