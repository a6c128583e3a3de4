// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/InputBox.h"

#include "gui/Frame.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

#include <algorithm>
#include <cmath>

namespace zanthorix {

namespace {

// The edit box's limit: typing stops at MaxTyped characters, but a longer
// initial text is held in full and may be shortened. QLineEdit's own limit
// would cut it at once.
class TypingLimit : public QValidator {
public:
  static constexpr int MaxTyped = 255;
  explicit TypingLimit(QLineEdit *edit)
      : QValidator(edit), allowed_(std::max<qsizetype>(MaxTyped, edit->text().size())) {
    connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) {
      allowed_ = std::max<qsizetype>(MaxTyped, std::min(allowed_, text.size()));
    });
  }
  State validate(QString &input, int &) const override {
    return input.size() <= allowed_ ? Acceptable : Invalid;
  }

private:
  qsizetype allowed_;
};

// a * b / c rounded half away from zero, as dialog-unit arithmetic does it.
int MulDiv(int a, int b, int c) {
  return static_cast<int>(std::lround(static_cast<double>(a) * b / c));
}

} // namespace

TInputBox::TInputBox(const QString &caption, const QString &prompt, const QString &initial,
                     QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      initial_(initial) {
  setWindowTitle(caption);
  setWindowModality(Qt::ApplicationModal);

  const QFontMetrics metrics(font());
  averageWidth_ = metrics.horizontalAdvance(
                      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                  52;
  height_ = metrics.height();

  lblPrompt = new QLabel(prompt, this);
  lblPrompt->move(UnitsX(8), UnitsY(8));
  lblPrompt->adjustSize();

  txtValue = new QLineEdit(this);
  txtValue->setMaxLength(
      static_cast<int>(std::max<qsizetype>(TypingLimit::MaxTyped, initial.size())));
  txtValue->setText(initial);
  txtValue->setValidator(new TypingLimit(txtValue));
  shown_ = txtValue->text();
  txtValue->selectAll();
  txtValue->setGeometry(UnitsX(8), UnitsY(19), UnitsX(164), txtValue->sizeHint().height());

  btnOK = new QPushButton(tr("OK"), this);
  btnOK->setDefault(true);
  btnOK->setGeometry(UnitsX(38), UnitsY(41), UnitsX(50), UnitsY(14));
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

  // QDialog already takes Esc as a reject.
  btnCancel = new QPushButton(tr("Cancel"), this);
  btnCancel->setGeometry(UnitsX(92), UnitsY(41), UnitsX(50), UnitsY(14));
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  setFixedSize(UnitsX(180), UnitsY(63));
  txtValue->setFocus();

  CentreOnScreen(this);
}

int TInputBox::UnitsX(int units) const { return MulDiv(units, averageWidth_, 4); }
int TInputBox::UnitsY(int units) const { return MulDiv(units, height_, 8); }

// An edit box holds at most 32767 characters: a name left as it was shown
// comes back whole, however long.
QString TInputBox::Value() const {
  if (result() != Accepted || txtValue->text() == shown_) return initial_;
  return txtValue->text();
}

QString InputBox(const QString &caption, const QString &prompt, const QString &initial) {
  TInputBox box(caption, prompt, initial);
  box.exec();
  return box.Value();
}

} // namespace zanthorix
