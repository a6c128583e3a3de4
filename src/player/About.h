// SPDX-License-Identifier: GPL-3.0-or-later
// The About window: the product line, a word of warning and the name of the
// current player. Created once, hidden, and shown again on request.
#pragma once

#include <QDialog>

namespace Ui {
class TfrmAbout;
}

namespace zanthorix {

class GameView;

class TfrmAbout : public QDialog {
  Q_OBJECT
public:
  // The player's name is read from the main window each time this one is shown.
  explicit TfrmAbout(const GameView &main, QWidget *parent = nullptr);
  ~TfrmAbout() override;

  Ui::TfrmAbout *ui();
  void setVisible(bool visible) override;

  // Makes the window visible without blocking the game, and brings it to the front.
  void ShowModeless();

public slots:
  void btnOKClick(QObject *sender = nullptr);

protected:
  void showEvent(QShowEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;

private:
  void FormShow();
  void FitCredits();

  Ui::TfrmAbout *ui_ = nullptr;
  const GameView &main_;
  bool placed_ = false;
};

} // namespace zanthorix
