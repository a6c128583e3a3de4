// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/About.h"

#include "gui/Frame.h"
#include "gui/GameView.h"
#include "ui_About.h"

#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QShowEvent>

namespace zanthorix {

TfrmAbout::TfrmAbout(const GameView &main, QWidget *parent) : QDialog(parent), main_(main) {
  // Only the close box in the title bar.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(241, 193);
  setAttribute(Qt::WA_QuitOnClose, false);
}

// The controls are made when first needed: most games never show this window,
// and its fonts and picture would otherwise hold up the board's first picture.
Ui::TfrmAbout *TfrmAbout::ui() {
  if (ui_) return ui_;
  ui_ = new Ui::TfrmAbout;
  ui_->setupUi(this);
  ui_->imgIcon->setPixmap(QIcon(QStringLiteral(":/icon/zanthorix.ico")).pixmap(32, 32));
  ui_->lblProduct->adjustSize();
  ui_->lblPlayer->adjustSize();
  FitCredits();
  connect(ui_->btnOK, &QPushButton::clicked, this, [this] { btnOKClick(ui_->btnOK); });
  return ui_;
}

void TfrmAbout::setVisible(bool visible) {
  if (visible) ui();
  QDialog::setVisible(visible);
}

TfrmAbout::~TfrmAbout() { delete ui_; }

// The warning has a fixed box made for a narrow font. With a wider one its last
// line would fall outside the box, so the letters are narrowed until it fits.
void TfrmAbout::FitCredits() {
  QLabel *label = ui_->lblCredits;
  // Each narrowed font costs a font of its own to load: only when needed.
  if (label->heightForWidth(label->width()) <= label->height()) return;
  QFont font = label->font();
  for (int stretch = 95; stretch >= 70; stretch -= 5) {
    font.setStretch(stretch);
    label->setFont(font);
    if (label->heightForWidth(label->width()) <= label->height()) return;
  }
}

void TfrmAbout::ShowModeless() { BringToFront(this); }

void TfrmAbout::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  // Restored from the task bar, or shown afresh to come back: not a new showing.
  if (event->spontaneous() || ShownAgain(this)) return;
  if (!placed_) {
    placed_ = true;
    CentreOnScreen(this);
  }
  FormShow();
}

void TfrmAbout::FormShow() {
  ui_->lblPlayer->setText(QStringLiteral("Current Player: ") + main_.CurrentPlayerName());
  // One line, as wide as its text, even past the frame.
  ui_->lblPlayer->adjustSize();
}

void TfrmAbout::btnOKClick(QObject *) { hide(); }

// There is no cancel button, so Esc does nothing. Enter still reaches the
// default button through QDialog.
void TfrmAbout::keyPressEvent(QKeyEvent *event) {
  if (event->matches(QKeySequence::Cancel) || event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

} // namespace zanthorix
