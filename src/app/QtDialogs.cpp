// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/QtDialogs.h"

#include "gui/Frame.h"
#include "player/InputBox.h"

#include <QApplication>
#include <QMessageBox>

namespace zanthorix {

namespace {

// Qt centres a box on the window it belongs to, from a guess at the frame;
// the game centres every window on the screen, frame and all.
class CentredBox : public QMessageBox {
public:
  using QMessageBox::QMessageBox;

protected:
  void showEvent(QShowEvent *event) override {
    QMessageBox::showEvent(event); // the box takes its final size here
    CentreOnScreen(this);
  }
};

} // namespace

MsgResult QtDialogs::MessageBox(const QString &text, const QString &caption, MsgButtons buttons,
                                MsgIcon icon) {
  CentredBox box(QApplication::activeWindow());
  box.setWindowModality(Qt::ApplicationModal);
  box.setWindowTitle(caption);
  // A lone carriage return breaks the line, as the texts are written.
  QString shown = text;
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"))
      .replace(QLatin1Char('\r'), QLatin1Char('\n'));
  box.setText(shown);
  box.setTextFormat(Qt::PlainText);
  switch (icon) {
  case MsgIcon::None:
    box.setIcon(QMessageBox::NoIcon);
    break;
  case MsgIcon::Error:
    box.setIcon(QMessageBox::Critical);
    break;
  case MsgIcon::Exclamation:
    box.setIcon(QMessageBox::Warning);
    break;
  }
  if (buttons == MsgButtons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
  }
  FitCaption(box);
  const int answer = box.exec();
  if (buttons == MsgButtons::Ok) return MsgResult::Ok;
  return answer == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
}

QString QtDialogs::InputBox(const QString &caption, const QString &prompt, const QString &initial) {
  return zanthorix::InputBox(caption, prompt, initial);
}

} // namespace zanthorix
