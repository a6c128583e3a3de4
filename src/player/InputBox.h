// SPDX-License-Identifier: GPL-3.0-or-later
// The small modal prompt for one line of text, laid out in dialog units of
// its font so that it keeps its proportions with any font.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zanthorix {

class TInputBox : public QDialog {
  Q_OBJECT
public:
  TInputBox(const QString &caption, const QString &prompt, const QString &initial,
            QWidget *parent = nullptr);

  // What the box gives: the typed text after OK, the initial text otherwise.
  QString Value() const;

  // Dialog units of the box's font, in pixels.
  int UnitsX(int units) const;
  int UnitsY(int units) const;

  QLabel *lblPrompt;
  QLineEdit *txtValue;
  QPushButton *btnOK;
  QPushButton *btnCancel;

private:
  QString initial_;
  QString shown_; // the initial text as the edit box holds it
  int averageWidth_ = 0;
  int height_ = 0;
};

// Shows the box modally and returns what it gives.
QString InputBox(const QString &caption, const QString &prompt, const QString &initial);

} // namespace zanthorix
